#include "BanHandle.h"
#include "Declares.h"
#include "TextCuts.h"

namespace BanHandle {
namespace {

using Declares::BanRecord;
using Declares::SearchModeKind;

unsigned char LowerByte(unsigned char ch) {
    if ((ch >= 'A' && ch <= 'Z') || (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)) {
        return static_cast<unsigned char>(ch + 0x20);
    }
    switch (ch) {
    case 0x8A: // Š
    case 0x8C: // Œ
    case 0x8E: // Ž
        return static_cast<unsigned char>(ch + 0x10);
    case 0x9F: // Ÿ
        return 0xFF;
    default:
        return ch;
    }
}

// The row's and the query's comparison texts under the mode.
std::string RowKey(const BanRecord& row, SearchModeKind mode) {
    switch (mode) {
    case SearchModeKind::IP:
        return TextCuts::TrimLeadingSpaces(row.Ip);
    case SearchModeKind::MID:
        return TextCuts::TrimSpaces(row.Mid);
    case SearchModeKind::Nick:
        return LowerCase(row.Name);
    case SearchModeKind::BanID:
        return row.Id;
    case SearchModeKind::Moderator:
        return TextCuts::TrimSpaces(LowerCase(row.By));
    case SearchModeKind::None:
        break;
    }
    return {};
}

std::string QueryKey(const std::string& query, SearchModeKind mode) {
    return mode == SearchModeKind::IP || mode == SearchModeKind::MID ? query : LowerCase(query);
}

std::string StatusText(const std::string& mark, SearchModeKind mode) {
    if (mark == "^") {
        return "Expired";
    }
    if (mark == "#") {
        return "Still valid";
    }
    return mode == SearchModeKind::MID ? "Unknown Error - 117" : "Unknown Error";
}

} // namespace

std::string LowerCase(std::string text) {
    for (char& ch : text) {
        ch = static_cast<char>(LowerByte(static_cast<unsigned char>(ch)));
    }
    return text;
}

std::vector<SearchMatch> SearchBanTable(const std::string& query) {
    const SearchModeKind mode = Declares::SearchMode;
    std::vector<SearchMatch> matches;
    if (mode == SearchModeKind::None) {
        return matches;
    }
    const std::string wanted = QueryKey(query, mode);
    // Row 1 holds no record; the records end at BanRecordCount, before the end marker row.
    for (int r = 2; r <= Declares::BanRecordCount; ++r) {
        const BanRecord& row = Declares::BanRecordTable[r];
        if (RowKey(row, mode) == wanted) {
            matches.push_back(SearchMatch{row.Name, row.Days, row.Ip, row.Date, row.By, row.AccessLevel, row.Id,
                                          StatusText(row.StatusMark, mode)});
        }
    }
    return matches;
}

} // namespace BanHandle
