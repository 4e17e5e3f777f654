// Feeds arbitrary bytes to the analyser as its ban file: load twice, search in every mode, both reports, the
// linked names and the raw viewer, and aborts when a rule that must hold for every file is broken. The expectations
// come from the input and the table, not from the core's own code, wherever that is possible.
#include "BanHandle.h"
#include "Declares.h"
#include "LinkedNames.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using Declares::BanRecord;
using Declares::BanRecordTable;
using Mode = Declares::SearchModeKind;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_banfile: broken rule: %s\n", what);
        std::abort();
    }
}

// The input goes to one file in memory, rewritten for every input: creating and removing a file on disk
// for each input cost more than the analysis of a small one. Nothing is left behind when the process ends.
const std::string& WriteInput(std::string_view input) {
    static const int fd = memfd_create("fuzz_banfile", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    Check(fd >= 0 && pwrite(fd, input.data(), input.size(), 0) == static_cast<ssize_t>(input.size()) &&
              ftruncate(fd, static_cast<off_t>(input.size())) == 0,
          "the input is written");
    return path;
}

// The lines the loader must keep: CR LF, CR and LF end a line, a last line without one counts too, a line is
// cut at MaxStoredLineLength, and only the first MaxBanFileLines lines are read (more: something follows them).
std::vector<std::string_view> SplitLines(std::string_view text, bool& more) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size() && !(more = lines.size() == Declares::MaxBanFileLines)) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        lines.push_back(text.substr(pos, std::min(end - pos, Declares::MaxStoredLineLength)));
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

std::string_view Trim(std::string_view text, bool trailing = true) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos
               ? std::string_view()
               : text.substr(first, trailing ? text.find_last_not_of(' ') - first + 1 : std::string_view::npos);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The digits from column 4 of an entry line, five at most.
std::string_view BanNumber(std::string_view line) {
    return line.substr(3, std::min(line.find_first_not_of("0123456789", 3), std::size_t{8}) - 3);
}

void CheckLoad(const BanHandle::LoadOutcome& outcome, const std::vector<std::string_view>& lines, bool more) {
    using Kind = BanHandle::LoadOutcome::Kind;
    Check(outcome.kind == (more ? Kind::TooManyLines : Kind::Loaded), "a file loads, cut after MaxBanFileLines lines");
    Check(outcome.ok() == outcome.reason.empty(), "a reason exactly when not loaded in full");
    Check(Declares::BanFileLineCount == static_cast<int>(lines.size()) + 1 &&
              Declares::BanFileLines[1] == "Beginning of file" &&
              std::equal(lines.begin(), lines.end(), Declares::BanFileLines.begin() + 2),
          "slot 1 is the start slot, then every line as split, the last one too");
    const int count = Declares::BanRecordCount;
    Check(count >= 1 && count <= Declares::MaxBanFileLines + 1, "at most MaxBanFileLines records");
    Check(BanRecordTable[1] == BanRecord{}, "row 1 stays empty");
    const std::string eof = "EOF";
    Check(BanRecordTable[count + 1] == BanRecord{eof, eof, eof, eof, eof, eof, eof, eof, eof}, "end marker row");

    // Log sessions begin at "Log file opened" lines; of a ban number (the digits from column 4, five at most)
    // only the entries of the last session that lists it are counted.
    std::vector<std::pair<std::string_view, int>> entries; // line and session
    std::unordered_map<std::string_view, int> latest;      // session, by ban number
    int session = 0, downloads = 0;
    for (std::string_view line : lines) {
        if (line.starts_with("Log file opened")) {
            ++session;
        } else if (line.starts_with("  #") || line.starts_with("  ^")) {
            downloads += entries.empty() || entries.back().second != session;
            entries.emplace_back(line, session);
            if (const std::string_view number = BanNumber(line); !number.empty()) {
                latest[number] = session;
            }
        }
    }
    Check(outcome.downloads == downloads, "downloads are the sessions with entries");

    int row = 1;
    for (const auto& [line, lineSession] : entries) {
        if (const std::string_view number = BanNumber(line); !number.empty() && latest[number] != lineSession) {
            continue;
        }
        Check(++row <= count, "one record per entry line counted");
        const BanRecord& r = BanRecordTable[row];
        Check(r.StatusMark == line.substr(2, 1), "status mark is column 3 of its line");
        Check(r.Id.size() <= 5 && (r.Id.size() <= 1 || AllDigits(r.Id)), "ban number");
        Check(line.substr(3).starts_with(r.Id), "ban number starts at column 4");
        Check(r.Date.empty() || (r.Date.size() >= 3 && r.Date.size() <= 10 && r.Date.starts_with("20") &&
                                 AllDigits(r.Date.substr(2, 1))),
              "date begins with a year 20xx");
        Check(r.AccessLevel.size() <= 1 && r.By.size() <= 21 && r.Days.size() <= 4 && r.Name.size() <= 30,
              "at most 1 character of access level, 21 of moderator (columns 18-38), 4 of days, 30 of name");
        Check(r.Ip.empty() || (r.Ip.size() >= 9 && r.Ip.size() <= 19 && r.Ip[0] == ' '), "IP text");
        Check(r.Mid.empty() || (r.Mid.size() <= 15 && r.Mid.find(' ') == r.Mid.size() - 1), "machine id");
        // Nothing carries over from other lines: a stage that found nothing leaves all later fields empty.
        Check((!r.Date.empty() || (r.By.empty() && r.Days.empty())) && (!r.Days.empty() || r.Ip.empty()) &&
                  (!r.Ip.empty() || r.Mid.empty()) && (!r.Mid.empty() || r.Name.empty()),
              "no date: no moderator or days; no days: no IP; no IP: no machine id; no machine id: no name");
    }
    Check(row == count, "every record comes from a counted entry line");
}

// Each mode's rule stated plainly: the text a row is compared by; the query is lower-cased but for IP and MID.
void RowText(const BanRecord& row, Mode mode, std::string& text) {
    text.assign(mode == Mode::IP          ? Trim(row.Ip, false)
                : mode == Mode::MID       ? Trim(row.Mid)
                : mode == Mode::Nick      ? std::string_view(row.Name)
                : mode == Mode::Moderator ? Trim(row.By)
                                          : std::string_view(row.Id));
    if (mode == Mode::Nick || mode == Mode::Moderator) {
        text = BanHandle::LowerCase(std::move(text));
    }
}

// found lists, in table order, the records whose text under the mode is the query's, as the search window lists
// them. Compared record by record, without building the expected list: the searches are most of each run.
bool SameMatches(const std::vector<BanHandle::SearchMatch>& found, Mode mode, const std::vector<std::string>& texts,
                 const std::string& query) {
    // The query loses the blanks the row loses: leading ones for an IP, both ends for a machine id or moderator.
    const std::string wanted = mode == Mode::IP          ? std::string(Trim(query, false))
                               : mode == Mode::MID       ? std::string(Trim(query))
                               : mode == Mode::Moderator ? BanHandle::LowerCase(std::string(Trim(query)))
                                                         : BanHandle::LowerCase(query);
    std::size_t k = 0;
    for (int r = 2; r <= Declares::BanRecordCount; ++r) {
        const BanRecord& row = BanRecordTable[r];
        if (texts[r] != wanted) {
            continue;
        }
        const std::string_view status = row.StatusMark == "^"   ? "Expired"
                                        : row.StatusMark == "#" ? "Still valid"
                                        : mode == Mode::MID     ? "Unknown Error - 117"
                                                                : "Unknown Error";
        if (k == found.size()) {
            return false;
        }
        const BanHandle::SearchMatch& m = found[k++];
        if (m.Name != row.Name || m.Days != row.Days || m.Ip != row.Ip || m.Date != row.Date || m.By != row.By ||
            m.AccessLevel != row.AccessLevel || m.Id != row.Id || m.Status != status) {
            return false;
        }
    }
    return k == found.size();
}

void CheckSearches(std::string_view input) {
    const int count = Declares::BanRecordCount;
    const std::string raw(input.substr(input.size() - std::min<std::size_t>(input.size(), 24)));
    const std::string lowered = BanHandle::LowerCase(raw);
    Check(lowered.size() == raw.size() && BanHandle::LowerCase(lowered) == lowered, "lower-casing is idempotent");
    for (std::size_t k = 0; k < raw.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(raw[k]);
        Check(c >= 0x80 || lowered[k] == (c >= 'A' && c <= 'Z' ? c + 32 : c), "A-Z become a-z, other ASCII stays");
    }
    // A query that hits: the fields of a record picked by the input.
    const BanRecord& pick = BanRecordTable[count > 1 ? 2 + static_cast<int>(input.size() % (count - 1)) : 1];
    const std::pair<Mode, std::string> hits[] = {
        {Mode::BanID, pick.Id},
        {Mode::IP, std::string(Trim(pick.Ip, false))},
        {Mode::MID, std::string(Trim(pick.Mid))},
        {Mode::Moderator, std::string(Trim(pick.By))},
        {Mode::Nick, pick.Name},
    };
    std::vector<std::string> texts(static_cast<std::size_t>(count) + 1);
    const std::string none;
    for (const auto& [mode, hitQuery] : hits) {
        for (int r = 2; r <= count; ++r) {
            RowText(BanRecordTable[r], mode, texts[r]);
        }
        Declares::SearchMode = mode;
        for (const std::string* query : {&hitQuery, &raw, &none}) {
            const auto found = BanHandle::SearchBanTable(*query);
            Check(SameMatches(found, mode, texts, *query), "search results");
            // A ban number that is a capital letter is not found.
            Check(query != &hitQuery || count == 1 || mode == Mode::BanID || !found.empty(), "a record finds itself");
        }
    }
    Declares::SearchMode = Mode::None;
    Check(BanHandle::SearchBanTable(raw).empty(), "no mode, no matches");
}

// The machine-id report by groups: only the first record of a machine id reports, pairing it with every
// later record of that id under another trimmed name. rows[k] is table row k + 1, as loaded.
std::vector<std::string> ExpectedMidReport(const std::vector<BanRecord>& rows) {
    std::unordered_map<std::string_view, std::vector<std::size_t>> groups;
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        groups[rows[k].Mid].push_back(k);
    }
    auto details = [](const BanRecord& r) {
        return r.Name + "/MID : " + r.Mid + "/BanIP : " + r.Ip + "/Date : " + r.Date + "   ( Ban # : " + r.Id +
               ", Days : " + r.Days + ", By : " + r.By + " )";
    };
    std::vector<std::string> out;
    for (std::size_t f = 1; f + 1 < rows.size(); ++f) {
        const auto& group = groups[rows[f].Mid];
        for (std::size_t k = 0; group.front() == f && rows[f].Mid != "REMOVED" && k < group.size(); ++k) {
            const BanRecord &x = rows[group[k]], &head = rows[f];
            if (Trim(x.Name) != Trim(head.Name)) {
                out.insert(out.end(), {" ", "Repeated offender found : " + x.Name + " MATCH As : " + head.Name,
                                       "Match 1 details : " + details(x), "Match 2 details : " + details(head), " "});
            }
        }
        out.emplace_back("...........");
    }
    return out;
}

// The name report: a line for every record of a name after its first, names in order of their first record.
std::vector<std::string> ExpectedNameReport(const std::vector<BanRecord>& rows) {
    std::unordered_map<std::string_view, std::size_t> seen;
    std::vector<std::string> out;
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        ++seen[rows[k].Name];
    }
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        for (std::size_t& n = seen[rows[k].Name]; n > 1; --n) {
            out.push_back(rows[k].Name + " was found banned again.");
        }
        seen[rows[k].Name] = 0;
    }
    return out;
}

// Linked names, by machine id with the usual hub threshold and by IP too with a small one: every name in one
// group at most, each group of two names or more holding every record of its names, and every link an id that
// records of both its names carry.
void CheckLinkedNames() {
    for (const bool byIp : {false, true}) {
        const auto found = BanHandle::FindLinkedNames({byIp, byIp ? 2 : BanHandle::DefaultHubThreshold});
        std::unordered_map<std::string_view, std::size_t> groupOf;
        int nameCount = 0;
        for (std::size_t g = 0; g < found.groups.size(); ++g) {
            const auto& group = found.groups[g];
            const auto names = found.NamesOf(group);
            const auto keys = found.KeysOf(group);
            Check(names.size() >= 2, "a linked group holds two names or more");
            std::size_t rows = 0;
            for (const auto& name : names) {
                Check(groupOf.emplace(BanRecordTable[name.row].Name, g).second, "a name is in one group at most");
                for (int r : found.BansOf(name)) {
                    Check(BanRecordTable[r].Name == BanRecordTable[name.row].Name, "a name's bans are its own");
                }
                rows += found.BansOf(name).size();
                ++nameCount;
            }
            Check(rows == found.RowsOf(group).size(), "a group's bans are its names' bans");
            for (const auto& link : found.LinksOf(group)) {
                const auto& key = keys[static_cast<std::size_t>(link.key)];
                const std::string_view text = BanHandle::KeyText(key.kind, key.row);
                auto carries = [&](int n) {
                    const auto rowsOf = found.BansOf(names[static_cast<std::size_t>(n)]);
                    return std::any_of(rowsOf.begin(), rowsOf.end(),
                                       [&](int r) { return BanHandle::KeyText(key.kind, r) == text; });
                };
                Check(link.first != link.second && carries(link.first) && carries(link.second) &&
                          BanHandle::IsLinkKey(key.kind, text) && (byIp || key.kind == BanHandle::LinkKind::Mid),
                      "a link is a usable id that both names carry");
            }
        }
        Check(nameCount == found.nameCount, "the name count is the names in groups");
        int counted = 0;
        for (int r = 2; r <= Declares::BanRecordCount; ++r) {
            counted += groupOf.count(BanRecordTable[r].Name) ? 1 : 0;
        }
        std::size_t grouped = 0;
        for (const auto& group : found.groups) {
            grouped += found.RowsOf(group).size();
        }
        Check(static_cast<std::size_t>(counted) == grouped, "every record of a grouped name is in its group");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    bool more = false;
    const std::vector<std::string_view> lines = SplitLines(input, more);
    Declares::BanFilePath = WriteInput(input);

    CheckLoad(BanHandle::LoadBanFile(), lines, more);
    const std::vector<BanRecord> rows(BanRecordTable.begin() + 1,
                                      BanRecordTable.begin() + Declares::BanRecordCount + 2);
    CheckLoad(BanHandle::LoadBanFile(), lines, more);
    Check(rows.size() == static_cast<std::size_t>(Declares::BanRecordCount) + 1 &&
              std::equal(rows.begin(), rows.end(), BanRecordTable.begin() + 1),
          "loading twice gives the same table");

    CheckSearches(input);
    CheckLinkedNames(); // before the machine-id report marks machine ids
    Check(BanHandle::FindRepeatedOffendersByName() == ExpectedNameReport(rows), "name report");
    Check(BanHandle::FindRepeatedOffendersByMid() == ExpectedMidReport(rows), "machine-id report");

    const auto viewer = BanHandle::ReadBanFileForViewer();
    Check(viewer.size() == lines.size() + 2 && viewer[0] == "Beginning of file" && viewer[1].empty() &&
              std::equal(lines.begin(), lines.end(), viewer.begin() + 2),
          "the viewer shows the start, a blank line and every loaded line");
    return 0;
}
