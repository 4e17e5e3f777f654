#include "BanHandle.h"
#include "Declares.h"

#include <string_view>
#include <unordered_map>

namespace BanHandle {
namespace {

using Declares::BanRecord;

const std::string Removed = "REMOVED";

// One string from its parts, allocated once: the reports build tens of thousands of lines.
template <class... Parts> std::string Join(const Parts&... parts) {
    std::string out;
    out.reserve((std::string_view(parts).size() + ...));
    (out.append(parts), ...);
    return out;
}

std::string DetailsLine(std::string_view head, const BanRecord& row) {
    return Join(head, row.Name, "/MID : ", row.Mid, "/BanIP : ", row.Ip, "/Date : ", row.Date, "   ( Ban # : ", row.Id,
                ", Days : ", row.Days, ", By : ", row.By, " )");
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view()
                                           : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Rows sharing a field's text, chained in row order: next[r] is the following row with r's text, 0 after the
// last; first[r] says that r is the first row with its text. Row 1 holds no record and is left out.
struct Chains {
    std::vector<int> next;
    std::vector<bool> first;
};

Chains ChainRowsBy(const std::string BanRecord::*field, int last) {
    const auto& table = Declares::BanRecordTable;
    const auto count = static_cast<std::size_t>(last) + 1;
    Chains chains{std::vector<int>(count, 0), std::vector<bool>(count, false)};
    std::unordered_map<std::string_view, int> lastRowOf;
    lastRowOf.reserve(count);
    for (int r = 2; r <= last; ++r) {
        const auto [it, isNew] = lastRowOf.try_emplace(table[r].*field, r);
        chains.first[r] = isNew;
        if (!isNew) {
            chains.next[it->second] = r;
            it->second = r;
        }
    }
    return chains;
}

} // namespace

// Row by row, a row whose machine id is not yet marked pairs with every later row of that machine id under
// another name, and those are marked. Only the first row of a machine id can find any: once its pass is over,
// every unmarked row of that id bears its name. So each machine id's rows are visited once, in row order.
std::vector<std::string> FindRepeatedOffendersByMid() {
    auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    std::vector<std::string> lines;
    if (last < 2) {
        return lines;
    }

    // "REMOVED" in the file is already marked, so its rows find nothing.
    const auto count = static_cast<std::size_t>(last) + 1;
    auto [next, first] = ChainRowsBy(&BanRecord::Mid, last);
    for (int r = 2; r <= last; ++r) {
        first[r] = first[r] && table[r].Mid != Removed;
    }

    // Which records are reported, first, so that the lines are allocated once.
    std::vector<bool> reported(count, false);
    std::size_t pairs = 0;
    for (int f = 2; f <= last; ++f) {
        if (first[f]) {
            const std::string_view name = Trimmed(table[f].Name);
            for (int x = next[f]; x != 0; x = next[x]) {
                if (Trimmed(table[x].Name) != name) {
                    reported[x] = true;
                    ++pairs;
                }
            }
        }
    }

    lines.reserve(count - 1 + 5 * pairs);
    for (int f = 2; f <= last; ++f) {
        if (first[f]) {
            std::string secondMatch; // the same for every record that f pairs with
            for (int x = next[f]; x != 0; x = next[x]) {
                if (reported[x]) {
                    if (secondMatch.empty()) {
                        secondMatch = DetailsLine("Match 2 details : ", table[f]);
                    }
                    lines.emplace_back(" ");
                    lines.push_back(Join("Repeated offender found : ", table[x].Name, " MATCH As : ", table[f].Name));
                    lines.push_back(DetailsLine("Match 1 details : ", table[x]));
                    lines.push_back(secondMatch);
                    lines.emplace_back(" ");
                    table[x].Mid = Removed;
                }
            }
        }
        lines.emplace_back("...........");
    }
    return lines;
}

// Every later record of a name is reported at the first record of that name, in row order.
std::vector<std::string> FindRepeatedOffendersByName() {
    const auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    std::vector<std::string> lines;
    if (last < 2) {
        return lines;
    }

    const auto [next, first] = ChainRowsBy(&BanRecord::Name, last);
    for (int a = 2; a <= last; ++a) {
        if (first[a] && next[a] != 0) {
            const std::string line = table[a].Name + " was found banned again.";
            for (int i = next[a]; i != 0; i = next[i]) {
                lines.push_back(line);
            }
        }
    }
    return lines;
}

} // namespace BanHandle
