#include "BanHandle.h"
#include "Declares.h"
#include "TextCuts.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace BanHandle {
namespace {

using namespace Declares;
using TextCuts::CharAt;
using TextCuts::CutInto;
using TextCuts::DigitAt;
using TextCuts::TextAt;

constexpr int FirstDateColumn = 19;
constexpr int LastExtractedColumn = 32; // from here on ParseBanEntryLine finds the date itself
constexpr int LastDateColumn = 40;

// "20" and a digit: years 2000 to 2099. A "200" wins wherever it stands in the searched columns, so a
// date of 2000-2009 is found even after a "2017" in the moderator's name; a later year counts only
// when no "200" is there.
int FindYear(const std::string& line, int from, int to) {
    int firstYear = 0;
    for (int d = from; d <= to; ++d) {
        if (TextAt(line, d, "20") && DigitAt(line, d + 2)) {
            if (CharAt(line, d + 2, '0')) {
                return d;
            }
            if (firstYear == 0) {
                firstYear = d;
            }
        }
    }
    return firstYear;
}

// "20yy-mm-dd" as digits and dashes: a year in a moderator's name is never followed by all of it.
bool WholeDateAt(const std::string& line, int d) {
    return TextAt(line, d, "20") && DigitAt(line, d + 2) && DigitAt(line, d + 3) && CharAt(line, d + 4, '-') &&
           DigitAt(line, d + 5) && DigitAt(line, d + 6) && CharAt(line, d + 7, '-') && DigitAt(line, d + 8) &&
           DigitAt(line, d + 9);
}

// The first whole date; a line without one falls back to the first year.
int FindDate(const std::string& line, int from, int to) {
    for (int d = from; d <= to; ++d) {
        if (WholeDateAt(line, d)) {
            return d;
        }
    }
    return FindYear(line, from, to);
}

// The ban number is the run of digits from column 4, five at most.
std::int16_t ExtraDigitsOf(const std::string& line) {
    int run = 0;
    while (run < 5 && DigitAt(line, 4 + run)) {
        ++run;
    }
    return static_cast<std::int16_t>(run > 0 ? run - 1 : 0);
}

bool IsEntryLine(const std::string& line) {
    return TextAt(line, 1, "  #") || TextAt(line, 1, "  ^");
}

void ClearEntryFields() {
    for (std::string* field : {&EntryStatusMark, &EntryBanId, &EntryAccessLevel, &EntryBannedBy, &EntryDate, &EntryName,
                               &EntryMid, &EntryDays, &EntryIp, &EntryTail, &EntryAfterDays, &EntryAfterMid}) {
        field->clear();
    }
}

// Assigned cell by cell so a reload reuses the storage the row already has.
void StoreRecord() {
    ++BanRecordCount;
    BanRecord& row = BanRecordTable[BanRecordCount];
    row.AccessLevel = EntryAccessLevel;
    row.StatusMark = EntryStatusMark;
    row.Id = EntryBanId;
    row.By = EntryBannedBy;
    row.Date = EntryDate;
    row.Name = EntryName;
    row.Mid = EntryMid;
    row.Days = EntryDays;
    row.Ip = EntryIp;
}

// A download is one log session of the game client: its chat log begins each session with a line
// "Log file opened: <date>", and a client that logs into an existing file appends the new session after the
// old one (people also join logs by hand). Lines before the first such line, in a file whose head was cut
// off, are a session too. A session counts as a download when it lists at least one ban entry.
bool OpensLogSession(const std::string& line) {
    return line.starts_with("Log file opened");
}

// A ban number is the Id of an entry whose column 4 holds a digit: one to five digits. Its key is its value,
// told apart by its length so that "12" and "012" stay different texts as everywhere else; -1 for an Id that
// is no ban number.
constexpr int BanNumberKeys = 6 * 100000;

int BanNumberKey(std::string_view id) {
    if (id.empty() || id.size() > 5) {
        return -1;
    }
    int value = 0;
    for (const char ch : id) {
        if (ch < '0' || ch > '9') {
            return -1;
        }
        value = value * 10 + (ch - '0');
    }
    return static_cast<int>(id.size()) * 100000 + value;
}

// Keeps, of each ban number, only the listings of the last download that lists it: a later download carries
// the ban's newer state, and counting both would pair every player with himself. Within one download a
// number listed twice (pages that overlap) stays twice, as it is in a file of one download. firstRows[d] is
// the first row of download d. The kept rows move down in file order; swapped, so every row keeps storage.
void KeepLatestListings(const std::vector<int>& firstRows) {
    const int last = BanRecordCount;
    std::vector<int> downloadOf(static_cast<std::size_t>(last) + 1, 0);
    for (std::size_t d = 0; d < firstRows.size(); ++d) {
        const auto end = d + 1 < firstRows.size() ? downloadOf.begin() + firstRows[d + 1] : downloadOf.end();
        std::fill(downloadOf.begin() + firstRows[d], end, static_cast<int>(d));
    }
    // Download by key; made once for the process, and every entry set here is reset before returning.
    static std::vector<int> latest(BanNumberKeys, -1);
    for (int r = 2; r <= last; ++r) {
        if (const int key = BanNumberKey(BanRecordTable[r].Id); key >= 0) {
            latest[static_cast<std::size_t>(key)] = downloadOf[static_cast<std::size_t>(r)];
        }
    }
    int kept = 1;
    for (int r = 2; r <= last; ++r) {
        const int key = BanNumberKey(BanRecordTable[r].Id);
        if ((key < 0 || latest[static_cast<std::size_t>(key)] == downloadOf[static_cast<std::size_t>(r)]) &&
            ++kept != r) {
            std::swap(BanRecordTable[kept], BanRecordTable[r]);
        }
    }
    for (int r = 2; r <= kept; ++r) {
        if (const int key = BanNumberKey(BanRecordTable[r].Id); key >= 0) {
            latest[static_cast<std::size_t>(key)] = -1;
        }
    }
    BanRecordCount = static_cast<std::int16_t>(kept);
}

} // namespace

void ExtractEntryFields(const std::string& line, int d) {
    const int n = BanIdExtraDigits;

    // The moderator ends two columns before the date; with no room for it, it is empty.
    CutInto(EntryBannedBy, line, n + 18, d - 19 - n);
    CutInto(EntryDate, line, d, 10);
    CutInto(EntryTail, line, d + 11, 90);

    for (int b = 16; b >= 13; --b) {
        if (CharAt(EntryTail, b, ' ')) {
            CutInto(EntryDays, EntryTail, 12, b - 12);
            CutInto(EntryAfterDays, EntryTail, b, 120);
            break;
        }
    }

    for (int p = 11; p <= 22; ++p) {
        if (TextAt(EntryAfterDays, p, "mid:")) {
            const int ipLength = p <= 14 ? p - 2 : p - 3;
            CutInto(EntryIp, EntryAfterDays, 1, ipLength);
            CutInto(EntryAfterMid, EntryAfterDays, p + 4, 50);
            break;
        }
    }

    for (int j = 1; j <= 15; ++j) {
        if (CharAt(EntryAfterMid, j, ' ')) {
            CutInto(EntryMid, EntryAfterMid, 1, j);
            CutInto(EntryName, EntryAfterMid, j + 1, 30);
            break;
        }
    }
}

void ParseBanEntryLine(int i) {
    if (i < 1 || i > BanFileSlots) {
        return;
    }
    const std::string& line = BanFileLines[i];
    const int d = FindDate(line, LastExtractedColumn + 1, LastDateColumn);
    if (d != 0) {
        ExtractEntryFields(line, d);
    }
}

void ParseBanFile() {
    BanRecordCount = 1;
    BanFileDownloads = 0;
    std::vector<int> firstRows; // of each download, in file order
    bool sessionListed = false; // the current log session has an entry
    for (int i = 1; i <= BanFileLineCount; ++i) {
        const std::string& line = BanFileLines[i];
        BanIdExtraDigits = ExtraDigitsOf(line);
        if (!IsEntryLine(line)) {
            sessionListed = sessionListed && !OpensLogSession(line);
            continue;
        }
        if (!sessionListed) {
            sessionListed = true;
            firstRows.push_back(BanRecordCount + 1);
        }
        ClearEntryFields();
        const int n = BanIdExtraDigits;
        CutInto(EntryAccessLevel, line, n + 13, 1);
        CutInto(EntryStatusMark, line, 3, 1);
        CutInto(EntryBanId, line, 4, n + 1);

        const int d = FindDate(line, FirstDateColumn, LastDateColumn);
        if (d != 0 && d <= LastExtractedColumn) {
            ExtractEntryFields(line, d);
        } else if (d != 0) {
            ParseBanEntryLine(i);
        }
        StoreRecord();
    }
    BanFileDownloads = static_cast<std::int32_t>(firstRows.size());
    if (firstRows.size() > 1) {
        KeepLatestListings(firstRows);
    }
    static const BanRecord endMarker{"EOF", "EOF", "EOF", "EOF", "EOF", "EOF", "EOF", "EOF", "EOF"};
    BanRecordTable[BanRecordCount + 1] = endMarker;
}

} // namespace BanHandle
