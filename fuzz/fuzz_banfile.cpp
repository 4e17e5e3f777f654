// Feeds arbitrary bytes to the analyser as its ban file: load, search in every mode, both reports and
// the raw viewer, and aborts when a rule that must hold for every file is broken.
#include "BanHandle.h"
#include "Declares.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using Declares::BanRecord;
using Declares::BanRecordTable;
using Declares::SearchModeKind;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_banfile: broken rule: %s\n", what);
        std::abort();
    }
}

// One file per process, rewritten for every input and removed after it (libFuzzer skips atexit
// handlers), so only the input of a crash stays behind.
const std::string& InputPath() {
    static const std::string path = "/tmp/fuzz_banfile_" + std::to_string(::getpid()) + ".txt";
    return path;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string TrimLeading(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsEntryLine(const std::string& line) {
    return line.compare(0, 3, "  #") == 0 || line.compare(0, 3, "  ^") == 0;
}

std::vector<BanRecord> TableRows() {
    return {BanRecordTable.begin() + 1, BanRecordTable.begin() + Declares::BanRecordCount + 2};
}

void CheckLoadedData(const BanHandle::LoadOutcome& outcome) {
    using Kind = BanHandle::LoadOutcome::Kind;
    Check(outcome.kind == Kind::Loaded || outcome.kind == Kind::TooManyLines, "a written file loads");
    Check(outcome.ok() == outcome.reason.empty(), "a reason exactly when not loaded in full");
    const int lines = Declares::BanFileLineCount;
    const int count = Declares::BanRecordCount;
    Check(lines >= 1 && lines <= Declares::BanFileSlots, "1 <= BanFileLineCount <= 3000");
    Check(outcome.kind != Kind::TooManyLines || lines == Declares::BanFileSlots, "a cut file fills every slot");
    Check(Declares::BanFileLines[1] == "Beginning of file", "slot 1 is the start slot");
    // Every line is an entry at most, and the last line counts too.
    Check(count >= 1 && count <= lines, "1 <= BanRecordCount <= BanFileLineCount");
    Check(count <= Declares::MaxBanFileLines + 1, "at most 2999 records");
    Check(BanRecordTable[1] == BanRecord{}, "row 1 stays empty");
    const std::string eof = "EOF";
    Check(BanRecordTable[count + 1] == BanRecord{eof, eof, eof, eof, eof, eof, eof, eof, eof}, "end marker row");

    int row = 1;
    for (int i = 2; i <= lines; ++i) {
        const std::string& line = Declares::BanFileLines[i];
        Check(line.size() <= Declares::MaxStoredLineLength, "stored lines are bounded");
        Check(line.find_first_of("\r\n") == std::string::npos, "no terminator inside a stored line");
        if (!IsEntryLine(line)) {
            continue;
        }
        ++row;
        Check(row <= count, "one record per entry line");
        const BanRecord& r = BanRecordTable[row];
        Check(r.StatusMark == line.substr(2, 1), "status mark is column 3 of its line");
        Check(r.Id.size() <= 5 && (r.Id.size() <= 1 || AllDigits(r.Id)), "ban number");
        Check(line.compare(3, r.Id.size(), r.Id) == 0, "ban number starts at column 4");
        Check(r.AccessLevel.size() <= 1, "access level is one character");
        Check(r.Date.empty() || (r.Date.size() >= 3 && r.Date.size() <= 10 && r.Date.compare(0, 2, "20") == 0 &&
                                 AllDigits(r.Date.substr(2, 1))),
              "date begins with a year 20xx");
        Check(r.By.size() <= 21, "moderator fits between column 18 and column 38");
        Check(r.Days.size() <= 4, "days have 1 to 4 characters");
        Check(r.Ip.empty() || (r.Ip.size() >= 9 && r.Ip.size() <= 19 && r.Ip[0] == ' '), "IP text");
        Check(r.Mid.empty() || (r.Mid.size() <= 15 && r.Mid.find(' ') == r.Mid.size() - 1), "machine id");
        Check(r.Name.size() <= 30, "name has at most 30 characters");
        // Nothing carries over from other lines: a stage that found nothing leaves all later fields empty.
        if (r.Date.empty()) {
            Check(r.By.empty() && r.Days.empty(), "no date, no moderator or days");
        }
        if (r.Days.empty()) {
            Check(r.Ip.empty(), "no days, no IP");
        }
        if (r.Ip.empty()) {
            Check(r.Mid.empty(), "no IP, no machine id");
        }
        if (r.Mid.empty()) {
            Check(r.Name.empty(), "no machine id, no name");
        }
    }
    Check(row == count, "every record comes from an entry line");
}

// Independent of the core's own search: each mode's rule stated plainly, row by row.
std::vector<BanHandle::SearchMatch> ExpectedMatches(SearchModeKind mode, const std::string& query) {
    std::vector<BanHandle::SearchMatch> out;
    if (mode == SearchModeKind::None) {
        return out;
    }
    const std::string lowered = BanHandle::LowerCase(query);
    for (int r = 2; r <= Declares::BanRecordCount; ++r) {
        const BanRecord& row = BanRecordTable[r];
        bool hit = false;
        switch (mode) {
        case SearchModeKind::IP:
            hit = TrimLeading(row.Ip) == query;
            break;
        case SearchModeKind::MID:
            hit = Trim(row.Mid) == query;
            break;
        case SearchModeKind::Nick:
            hit = BanHandle::LowerCase(row.Name) == lowered;
            break;
        case SearchModeKind::BanID:
            hit = row.Id == lowered;
            break;
        case SearchModeKind::Moderator:
            hit = Trim(BanHandle::LowerCase(row.By)) == lowered;
            break;
        case SearchModeKind::None:
            break;
        }
        if (hit) {
            const std::string status = row.StatusMark == "^"         ? "Expired"
                                       : row.StatusMark == "#"       ? "Still valid"
                                       : mode == SearchModeKind::MID ? "Unknown Error - 117"
                                                                     : "Unknown Error";
            out.push_back({row.Name, row.Days, row.Ip, row.Date, row.By, row.AccessLevel, row.Id, status});
        }
    }
    return out;
}

void CheckLowerCase(const std::string& text) {
    const std::string lowered = BanHandle::LowerCase(text);
    Check(lowered.size() == text.size(), "lower-casing keeps the length");
    Check(BanHandle::LowerCase(lowered) == lowered, "lower-casing is idempotent");
    for (std::size_t k = 0; k < text.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        const unsigned char l = static_cast<unsigned char>(lowered[k]);
        if (c >= 'A' && c <= 'Z') {
            Check(l == c + 32, "A-Z become a-z");
        } else if (c < 0x80) {
            Check(l == c, "other ASCII stays");
        }
    }
}

void CheckSearches(const std::uint8_t* data, std::size_t size) {
    const int count = Declares::BanRecordCount;
    const std::string raw(reinterpret_cast<const char*>(data) + size - std::min<std::size_t>(size, 24),
                          std::min<std::size_t>(size, 24));
    CheckLowerCase(raw);
    // A query that hits: the fields of a record picked by the input.
    const BanRecord& pick = BanRecordTable[count > 1 ? 2 + static_cast<int>(size % (count - 1)) : 1];
    const std::pair<SearchModeKind, std::string> hits[] = {
        {SearchModeKind::BanID, pick.Id},      {SearchModeKind::IP, TrimLeading(pick.Ip)},
        {SearchModeKind::MID, Trim(pick.Mid)}, {SearchModeKind::Moderator, Trim(pick.By)},
        {SearchModeKind::Nick, pick.Name},
    };
    for (const auto& [mode, hitQuery] : hits) {
        Declares::SearchMode = mode;
        for (const std::string& query : {hitQuery, raw, std::string()}) {
            Check(BanHandle::SearchBanTable(query) == ExpectedMatches(mode, query), "search results");
        }
        if (count > 1 && mode != SearchModeKind::BanID) { // a ban number that is a capital letter is not found
            Check(!BanHandle::SearchBanTable(hitQuery).empty(), "a record's own field finds it");
        }
    }
    Declares::SearchMode = SearchModeKind::None;
    Check(BanHandle::SearchBanTable(raw).empty(), "no mode, no matches");
}

std::string Details(const BanRecord& row) {
    return row.Name + "/MID : " + row.Mid + "/BanIP : " + row.Ip + "/Date : " + row.Date + "   ( Ban # : " + row.Id +
           ", Days : " + row.Days + ", By : " + row.By + " )";
}

// The machine-id report from groups: only the first record of a machine id reports, pairing it with
// every later record of that id under another trimmed name.
std::vector<std::string> ExpectedMidReport(const std::vector<BanRecord>& rows) {
    const int count = static_cast<int>(rows.size()) - 1; // rows[k] is table row k + 1
    std::map<std::string, std::vector<int>> groups;
    for (int k = 1; k < count; ++k) {
        groups[rows[k].Mid].push_back(k);
    }
    std::vector<std::string> out;
    for (int f = 1; f < count; ++f) {
        const BanRecord& head = rows[f];
        const std::vector<int>& group = groups[head.Mid];
        if (group.front() == f && head.Mid != "REMOVED") {
            for (int x : group) {
                if (Trim(rows[x].Name) != Trim(head.Name)) {
                    out.insert(out.end(),
                               {" ", "Repeated offender found : " + rows[x].Name + " MATCH As : " + head.Name,
                                "Match 1 details : " + Details(rows[x]), "Match 2 details : " + Details(head), " "});
                }
            }
        }
        out.emplace_back("...........");
    }
    return out;
}

std::vector<std::string> ExpectedNameReport(const std::vector<BanRecord>& rows) {
    std::vector<std::string> order;
    std::map<std::string, int> seen;
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        if (seen[rows[k].Name]++ == 0) {
            order.push_back(rows[k].Name);
        }
    }
    std::vector<std::string> out;
    for (const auto& name : order) {
        out.insert(out.end(), static_cast<std::size_t>(seen[name] - 1), name + " was found banned again.");
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Check(file != nullptr, "the input file can be written");
    Check(std::fwrite(data, 1, size, file) == size, "the input is written");
    std::fclose(file);
    Declares::BanFilePath = path;

    CheckLoadedData(BanHandle::LoadBanFile());
    const std::vector<std::string> lines(Declares::BanFileLines.begin() + 1,
                                         Declares::BanFileLines.begin() + Declares::BanFileLineCount + 1);
    const std::vector<BanRecord> rows = TableRows();
    BanHandle::LoadBanFile();
    Check(std::equal(lines.begin(), lines.end(), Declares::BanFileLines.begin() + 1) &&
              static_cast<std::size_t>(Declares::BanFileLineCount) == lines.size(),
          "loading twice gives the same lines");
    Check(TableRows() == rows, "loading twice gives the same table");

    CheckSearches(data, size);

    const auto byName = BanHandle::FindRepeatedOffendersByName();
    Check(byName == ExpectedNameReport(rows), "name report");
    const auto byMid = BanHandle::FindRepeatedOffendersByMid();
    Check(std::count(byMid.begin(), byMid.end(), "...........") == Declares::BanRecordCount - 1,
          "one separator line per record");
    Check(byMid == ExpectedMidReport(rows), "machine-id report");

    const auto viewer = BanHandle::ReadBanFileForViewer();
    Check(viewer.size() == lines.size() + 1, "the viewer shows the start, a blank line and every loaded line");
    Check(viewer[0] == "Beginning of file" && viewer[1].empty(), "the viewer's first two entries");
    Check(std::equal(lines.begin() + 1, lines.end(), viewer.begin() + 2), "the viewer shows the loaded lines");
    std::remove(path.c_str());
    return 0;
}
