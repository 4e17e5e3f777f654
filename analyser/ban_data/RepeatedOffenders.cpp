#include "BanHandle.h"
#include "Declares.h"

#include <string_view>
#include <unordered_map>

namespace BanHandle {
namespace {

using Declares::BanRecord;

const std::string Removed = "REMOVED";
constexpr std::string_view Separator = "...........";

// The detail layout of a record, after its head ("Match 1 details : " or "Match 2 details : ").
ReportLines::Span StoreDetails(ReportLines& lines, std::string_view head, const BanRecord& row) {
    return lines.store(head, row.Name, "/MID : ", row.Mid, "/BanIP : ", row.Ip, "/Date : ", row.Date,
                       "   ( Ban # : ", row.Id, ", Days : ", row.Days, ", By : ", row.By, " )");
}

// What StoreDetails stores and the offender line, counted without building them.
std::size_t DetailsLength(const BanRecord& row) {
    constexpr std::size_t literals = std::string_view("Match 1 details : /MID : /BanIP : /Date : ").size() +
                                     std::string_view("   ( Ban # : , Days : , By :  )").size();
    return literals + row.Name.size() + row.Mid.size() + row.Ip.size() + row.Date.size() + row.Id.size() +
           row.Days.size() + row.By.size();
}

constexpr std::string_view OffenderHead = "Repeated offender found : ";
constexpr std::string_view OffenderMiddle = " MATCH As : ";

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
ReportLines FindRepeatedOffendersByMid() {
    auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    ReportLines lines;
    if (last < 2) {
        return lines;
    }

    // "REMOVED" in the file is already marked, so its rows find nothing.
    const auto count = static_cast<std::size_t>(last) + 1;
    auto [next, first] = ChainRowsBy(&BanRecord::Mid, last);
    for (int r = 2; r <= last; ++r) {
        first[r] = first[r] && table[r].Mid != Removed;
    }

    // Which records are reported, and how long their lines are, first: all lines then fit in one allocation.
    std::vector<bool> reported(count, false);
    std::size_t pairs = 0;
    std::size_t characters = 1 + Separator.size();
    for (int f = 2; f <= last; ++f) {
        if (first[f]) {
            const std::string_view name = Trimmed(table[f].Name);
            const std::size_t before = pairs;
            for (int x = next[f]; x != 0; x = next[x]) {
                if (Trimmed(table[x].Name) != name) {
                    reported[x] = true;
                    characters += OffenderHead.size() + table[x].Name.size() + OffenderMiddle.size() +
                                  table[f].Name.size() + DetailsLength(table[x]);
                    ++pairs;
                }
            }
            characters += pairs > before ? DetailsLength(table[f]) : 0;
        }
    }

    lines.reserve(count - 1 + 5 * pairs, characters);
    const ReportLines::Span blank = lines.store(" ");
    const ReportLines::Span separator = lines.store(Separator);
    for (int f = 2; f <= last; ++f) {
        if (first[f]) {
            ReportLines::Span secondMatch{}; // the same for every record that f pairs with
            for (int x = next[f]; x != 0; x = next[x]) {
                if (reported[x]) {
                    if (secondMatch.length == 0) {
                        secondMatch = StoreDetails(lines, "Match 2 details : ", table[f]);
                    }
                    lines.push(blank);
                    lines.append(OffenderHead, table[x].Name, OffenderMiddle, table[f].Name);
                    lines.push(StoreDetails(lines, "Match 1 details : ", table[x]));
                    lines.push(secondMatch);
                    lines.push(blank);
                    table[x].Mid = Removed;
                }
            }
        }
        lines.push(separator);
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
