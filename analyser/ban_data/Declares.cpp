#include "Declares.h"

namespace Declares {

std::array<std::string, BanFileSlots + 1> BanFileLines;
std::int32_t BanFileLineCount = 0;
std::string BanFilePath;
std::vector<char> BanFileReadBuffer(std::size_t(1) << 18);

std::array<BanRecord, BanTableRows + 1> BanRecordTable;
std::int16_t BanRecordCount = 0;
std::int32_t BanFileDownloads = 0;

std::string EntryStatusMark;
std::string EntryBanId;
std::string EntryAccessLevel;
std::string EntryBannedBy;
std::string EntryDate;
std::string EntryName;
std::string EntryMid;
std::string EntryDays;
std::string EntryIp;
std::string EntryTail;
std::string EntryAfterDays;
std::string EntryAfterMid;
std::int16_t BanIdExtraDigits = 0;

SearchModeKind SearchMode = SearchModeKind::None;

} // namespace Declares
