#include "BanHandle.h"
#include "Declares.h"

#include <string_view>

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

std::string_view TrimmedLeft(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view Trimmed(std::string_view text) {
    text = TrimmedLeft(text);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// text lower-cased equals wanted, which is lower-case already.
bool LowerEquals(std::string_view text, std::string_view wanted) {
    if (text.size() != wanted.size()) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (LowerByte(static_cast<unsigned char>(text[k])) != static_cast<unsigned char>(wanted[k])) {
            return false;
        }
    }
    return true;
}

// Whether the row's comparison text under the mode equals the query's. Compared in place: a search visits every
// row, and a copy per row would cost more than the comparison. Lower-casing keeps blanks, so the moderator is
// trimmed first.
bool RowMatches(const BanRecord& row, SearchModeKind mode, std::string_view wanted) {
    switch (mode) {
    case SearchModeKind::IP:
        return TrimmedLeft(row.Ip) == wanted;
    case SearchModeKind::MID:
        return Trimmed(row.Mid) == wanted;
    case SearchModeKind::Nick:
        return LowerEquals(row.Name, wanted);
    case SearchModeKind::BanID:
        return row.Id == wanted;
    case SearchModeKind::Moderator:
        return LowerEquals(Trimmed(row.By), wanted);
    case SearchModeKind::None:
        break;
    }
    return false;
}

// The query loses the blanks that the row's side loses, and no others: a field copied from the results keeps
// the log's padding (" 10.0.0.1", "Sheriff   ") and must find its row again, while a name keeps its blanks.
std::string QueryKey(std::string_view query, SearchModeKind mode) {
    switch (mode) {
    case SearchModeKind::IP:
        return std::string(TrimmedLeft(query));
    case SearchModeKind::MID:
        return std::string(Trimmed(query));
    case SearchModeKind::Moderator:
        return LowerCase(std::string(Trimmed(query)));
    default:
        return LowerCase(std::string(query));
    }
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
        if (RowMatches(row, mode, wanted)) {
            matches.push_back(SearchMatch{row.Name, row.Days, row.Ip, row.Date, row.By, row.AccessLevel, row.Id,
                                          StatusText(row.StatusMark, mode)});
        }
    }
    return matches;
}

} // namespace BanHandle
