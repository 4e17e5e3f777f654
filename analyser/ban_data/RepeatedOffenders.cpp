#include "BanHandle.h"
#include "Declares.h"

#include <string_view>
#include <unordered_map>

namespace BanHandle {
namespace {

using Declares::BanRecord;

const std::string Removed = "REMOVED";

std::string Details(const BanRecord& row) {
    return row.Name + "/MID : " + row.Mid + "/BanIP : " + row.Ip + "/Date : " + row.Date + "   ( Ban # : " + row.Id +
           ", Days : " + row.Days + ", By : " + row.By + " )";
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view()
                                           : text.substr(first, text.find_last_not_of(' ') - first + 1);
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

    // next[r]: the following row of r's machine id, 0 after the last; first[r]: r opens its machine id.
    // "REMOVED" in the file is already marked, so its rows find nothing.
    const auto count = static_cast<std::size_t>(last) + 1;
    std::vector<int> next(count, 0);
    std::vector<bool> first(count, false);
    {
        std::unordered_map<std::string_view, int> lastRowOf;
        lastRowOf.reserve(count);
        for (int r = 2; r <= last; ++r) {
            const auto [it, isNew] = lastRowOf.try_emplace(table[r].Mid, r);
            if (isNew) {
                first[r] = table[r].Mid != Removed;
            } else {
                next[it->second] = r;
                it->second = r;
            }
        }
    }

    lines.reserve(count);
    for (int f = 2; f <= last; ++f) {
        if (first[f]) {
            const std::string_view name = Trimmed(table[f].Name);
            for (int x = next[f]; x != 0; x = next[x]) {
                if (Trimmed(table[x].Name) != name) {
                    lines.emplace_back(" ");
                    lines.push_back("Repeated offender found : " + table[x].Name + " MATCH As : " + table[f].Name);
                    lines.push_back("Match 1 details : " + Details(table[x]));
                    lines.push_back("Match 2 details : " + Details(table[f]));
                    lines.emplace_back(" ");
                    table[x].Mid = Removed;
                }
            }
        }
        lines.emplace_back("...........");
    }
    return lines;
}

std::vector<std::string> FindRepeatedOffendersByName() {
    const auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    std::vector<std::string> lines;

    // The rows of each name in row order, so a pass visits only the rows that can match.
    std::unordered_map<std::string_view, std::vector<int>> rowsOfName;
    for (int r = 2; r <= last; ++r) {
        rowsOfName[table[r].Name].push_back(r);
    }
    std::vector<bool> marked(static_cast<std::size_t>(last) + 1, false);

    // Row 1 holds no record, so it is neither compared nor reported.
    for (int a = 2; a <= last; ++a) {
        if (marked[a]) {
            continue;
        }
        marked[a] = true;
        const std::string& name = table[a].Name;
        for (int i : rowsOfName[name]) {
            if (!marked[i]) {
                lines.push_back(name + " was found banned again.");
                marked[i] = true;
            }
        }
    }
    return lines;
}

} // namespace BanHandle
