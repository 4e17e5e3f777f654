// The analyser's shared data: one ban file buffer and one ban record table per process,
// overwritten by every load. Indices are 1-based as in the file's own numbering; index 0 is unused.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace Declares {

// Sized so that BanRecordCount, 16 bits, can count every row: a file of MaxBanFileLines entry lines fills
// rows 2 to 32767, and the end marker takes the row after them.
constexpr int MaxBanFileLines = 32766;
constexpr int BanFileSlots = MaxBanFileLines + 1; // slot 1 holds "Beginning of file"; file line k is in slot k + 1
constexpr int BanTableRows = MaxBanFileLines + 2; // 32766 records at most, after row 1, plus the end marker row
static_assert(MaxBanFileLines + 1 == std::numeric_limits<std::int16_t>::max());
constexpr std::size_t MaxStoredLineLength = 4096; // the parser never reads past column 140

struct BanRecord {
    std::string AccessLevel;
    std::string StatusMark;
    std::string Id;
    std::string By;
    std::string Date;
    std::string Name;
    std::string Mid;
    std::string Days;
    std::string Ip;

    bool operator==(const BanRecord&) const = default;
};

enum class SearchModeKind { None, BanID, IP, MID, Moderator, Nick };

// Text is kept as bytes, one byte one character, exactly as in the file.
extern std::array<std::string, BanFileSlots + 1> BanFileLines;
extern std::int32_t BanFileLineCount;
extern std::string BanFilePath;
// The loader reads the ban file through this buffer, one chunk of its size at a time; sized once for the
// process, so a load allocates nothing for it. Never empty.
extern std::vector<char> BanFileReadBuffer;

extern std::array<BanRecord, BanTableRows + 1> BanRecordTable;
extern std::int16_t BanRecordCount;
// How many downloads of the ban list the last parse found (0 for a file without entries). Of a ban number that
// several downloads list, the table holds the listings of the latest only.
extern std::int32_t BanFileDownloads;

// The parser's working state for the entry line in hand; cleared before each line.
extern std::string EntryStatusMark;
extern std::string EntryBanId;
extern std::string EntryAccessLevel;
extern std::string EntryBannedBy;
extern std::string EntryDate;
extern std::string EntryName;
extern std::string EntryMid;
extern std::string EntryDays;
extern std::string EntryIp;
extern std::string EntryTail;
extern std::string EntryAfterDays;
extern std::string EntryAfterMid;
extern std::int16_t BanIdExtraDigits;

// Kept for the whole run, also across reopening the search window.
extern SearchModeKind SearchMode;

} // namespace Declares
