#include "BanHandle.h"
#include "Declares.h"
#include "TextCuts.h"

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

// Numbers texts so the quadratic passes compare integers: equal texts get equal numbers.
class Interner {
public:
    int operator()(std::string_view text) {
        return numbers.try_emplace(text, static_cast<int>(numbers.size())).first->second;
    }

private:
    std::unordered_map<std::string_view, int> numbers;
};

} // namespace

std::vector<std::string> FindRepeatedOffendersByMid() {
    auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    std::vector<std::string> lines;

    // Machine ids and trimmed names as numbers; "REMOVED" is number 0, also where the file says so.
    const auto count = static_cast<std::size_t>(last) + 1;
    std::vector<std::string> trimmedNames(count);
    std::vector<int> mids(count), names(count);
    Interner midNumber, nameNumber;
    const int removed = midNumber(Removed);
    for (int r = 2; r <= last; ++r) {
        mids[r] = midNumber(table[r].Mid);
        trimmedNames[r] = TextCuts::TrimSpaces(table[r].Name);
        names[r] = nameNumber(trimmedNames[r]);
    }

    for (int f = 2; f <= last; ++f) {
        const int mid = mids[f]; // as the pass starts, possibly already removed
        for (int x = f; mid != removed && x <= last; ++x) {
            if (mids[x] == mid && names[x] != names[f]) {
                lines.emplace_back(" ");
                lines.push_back("Repeated offender found : " + table[x].Name + " MATCH As : " + table[f].Name);
                lines.push_back("Match 1 details : " + Details(table[x]));
                lines.push_back("Match 2 details : " + Details(table[f]));
                lines.emplace_back(" ");
                table[x].Mid = Removed;
                mids[x] = removed;
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
