#include "BanHandle.h"
#include "Declares.h"
#include "TextCuts.h"

namespace BanHandle {
namespace {

using Declares::BanRecord;

const std::string Removed = "REMOVED";

std::string Details(const BanRecord& row) {
    return row.Name + "/MID : " + row.Mid + "/BanIP : " + row.Ip + "/Date : " + row.Date + "   ( Ban # : " + row.Id +
           ", Days : " + row.Days + ", By : " + row.By + " )";
}

} // namespace

std::vector<std::string> FindRepeatedOffendersByMid() {
    auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    std::vector<std::string> lines;

    // Trimmed names once, not once per comparison: the pairing is quadratic.
    std::vector<std::string> names(static_cast<std::size_t>(last) + 1);
    for (int r = 2; r <= last; ++r) {
        names[r] = TextCuts::TrimSpaces(table[r].Name);
    }

    for (int f = 2; f <= last; ++f) {
        const std::string mid = table[f].Mid;
        for (int x = f; x <= last; ++x) {
            BanRecord& other = table[x];
            if (other.Mid == mid && other.Mid != Removed && names[f] != names[x]) {
                lines.emplace_back(" ");
                lines.push_back("Repeated offender found : " + other.Name + " MATCH As : " + table[f].Name);
                lines.push_back("Match 1 details : " + Details(other));
                lines.push_back("Match 2 details : " + Details(table[f]));
                lines.emplace_back(" ");
                other.Mid = Removed;
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
    std::vector<bool> marked(static_cast<std::size_t>(last) + 1, false);

    // Row 1 holds no record, so it is neither compared nor reported.
    for (int a = 2; a <= last; ++a) {
        if (marked[a]) {
            continue;
        }
        marked[a] = true;
        const std::string& name = table[a].Name;
        for (int i = 2; i <= last; ++i) {
            if (!marked[i] && table[i].Name == name) {
                lines.push_back(name + " was found banned again.");
                marked[i] = true;
            }
        }
    }
    return lines;
}

} // namespace BanHandle
