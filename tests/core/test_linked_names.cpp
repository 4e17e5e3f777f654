// Linked names: the groups against a plain breadth-first search over the names graph, and hand tables for
// their order, the hub threshold and the evidence.
#include "LinkedNames.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <set>
#include <tuple>

using namespace testing_support;
using BanHandle::LinkKind;
using Declares::BanRecord;
using Declares::BanRecordTable;

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The link rules stated plainly: a signed decimal machine id; a dotted address of four numbers up to 255.
bool Usable(LinkKind kind, const std::string& text) {
    static const std::regex mid("-?[0-9]+"), ip("([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})");
    std::smatch parts;
    if (kind == LinkKind::Mid) {
        return std::regex_match(text, mid);
    }
    return std::regex_match(text, parts, ip) &&
           std::all_of(parts.begin() + 1, parts.end(), [](const auto& p) { return std::stoi(p.str()) <= 255; });
}

using Key = std::pair<LinkKind, std::string>;
using Names = std::set<std::string>;

struct Expected {
    std::set<Names> groups;
    std::map<Key, Names> keys; // the usable keys that are not hubs, with their names
    std::map<Key, int> hubs;
};

// Names are nodes; a usable key carried by at most threshold names joins every pair of them.
Expected ByBreadthFirstSearch(const std::vector<BanRecord>& rows, bool byIp, int threshold) {
    std::map<Key, Names> carriers;
    Names all;
    for (const BanRecord& r : rows) {
        all.insert(r.Name);
        for (LinkKind kind : {LinkKind::Mid, LinkKind::Ip}) {
            const std::string text = Trim(kind == LinkKind::Mid ? r.Mid : r.Ip);
            if ((kind == LinkKind::Mid || byIp) && !text.empty() && Usable(kind, text)) {
                carriers[{kind, text}].insert(r.Name);
            }
        }
    }
    Expected out;
    std::map<std::string, Names> edges;
    for (const auto& [key, names] : carriers) {
        if (static_cast<int>(names.size()) > threshold) {
            out.hubs[key] = static_cast<int>(names.size());
            continue;
        }
        out.keys[key] = names;
        for (const auto& a : names) {
            edges[a].insert(names.begin(), names.end());
        }
    }
    Names seen;
    for (const auto& start : all) {
        if (!seen.insert(start).second) {
            continue;
        }
        Names group{start};
        for (std::deque<std::string> queue{start}; !queue.empty(); queue.pop_front()) {
            for (const auto& next : edges[queue.front()]) {
                if (seen.insert(next).second) {
                    group.insert(next);
                    queue.push_back(next);
                }
            }
        }
        if (group.size() >= 2) {
            out.groups.insert(group);
        }
    }
    return out;
}

std::string NameOf(const BanHandle::LinkedName& name) {
    return BanRecordTable[name.row].Name;
}

// Everything the result says, checked against the search and the table.
void Check(const std::vector<BanRecord>& rows, bool byIp, int threshold, const std::string& what) {
    SetRecords(rows);
    const auto found = BanHandle::FindLinkedNames({byIp, threshold});
    const Expected expected = ByBreadthFirstSearch(rows, byIp, threshold);

    std::map<Key, int> hubs;
    for (const auto& hub : found.hubs) {
        hubs[{hub.kind, std::string(BanHandle::KeyText(hub.kind, hub.row))}] = hub.names;
    }
    EXPECT_EQ(hubs, expected.hubs) << what;
    // Each key (or hub) stands for its first record; ties of the documented orders go to the earlier record.
    const auto firstCarrier = [](LinkKind kind, int row) {
        int r = 2;
        while (BanHandle::KeyText(kind, r) != BanHandle::KeyText(kind, row)) {
            ++r;
        }
        return r;
    };
    for (std::size_t h = 0; h < found.hubs.size(); ++h) {
        const auto& hub = found.hubs[h];
        EXPECT_EQ(hub.row, firstCarrier(hub.kind, hub.row)) << what;
        if (h > 0) {
            const auto& before = found.hubs[h - 1];
            EXPECT_LT(std::tuple(-before.names, before.kind, before.row), std::tuple(-hub.names, hub.kind, hub.row))
                << what << ": hub order";
        }
    }
    // The newest of two records: the later date, then the later row.
    const auto newer = [](int a, int b) {
        return std::pair(BanRecordTable[a].Date, a) > std::pair(BanRecordTable[b].Date, b);
    };

    std::set<Names> groups;
    int nameCount = 0;
    for (std::size_t g = 0; g < found.groups.size(); ++g) {
        const auto& group = found.groups[g];
        const auto groupNames = found.NamesOf(group);
        const auto groupKeys = found.KeysOf(group);
        const std::vector<int> groupRows(found.RowsOf(group).begin(), found.RowsOf(group).end());
        Names names;
        std::vector<int> rowsOfNames;
        for (std::size_t n = 0; n < groupNames.size(); ++n) {
            const auto& name = groupNames[n];
            names.insert(NameOf(name));
            std::vector<int> own;
            for (int r = 2; r <= Declares::BanRecordCount; ++r) {
                if (BanRecordTable[r].Name == NameOf(name)) {
                    own.push_back(r);
                }
            }
            EXPECT_EQ(std::vector<int>(found.BansOf(name).begin(), found.BansOf(name).end()), own) << what;
            EXPECT_EQ(name.row, own.front()) << what;
            // Its latest ban, the last of its date; its earliest, the first of its date.
            EXPECT_EQ(name.lastRow, *std::min_element(own.begin(), own.end(), newer)) << what;
            EXPECT_EQ(name.firstRow, *std::max_element(own.begin(), own.end(), newer)) << what;
            bool valid = false;
            for (int r : own) {
                valid = valid || BanRecordTable[r].StatusMark == "#";
            }
            EXPECT_EQ(name.stillValid, valid) << what;
            rowsOfNames.insert(rowsOfNames.end(), own.begin(), own.end());
            if (n > 0) {
                EXPECT_TRUE(newer(groupNames[n - 1].lastRow, name.lastRow)) << what << ": names by their latest ban";
            }
        }
        std::sort(rowsOfNames.begin(), rowsOfNames.end());
        auto sortedRows = groupRows;
        std::sort(sortedRows.begin(), sortedRows.end());
        EXPECT_EQ(sortedRows, rowsOfNames) << what;
        EXPECT_EQ(group.lastRow, groupNames[0].lastRow) << what;
        EXPECT_EQ(group.stillValid,
                  std::any_of(groupNames.begin(), groupNames.end(), [](const auto& n) { return n.stillValid; }))
            << what;
        if (g > 0) {
            const auto& before = found.groups[g - 1];
            EXPECT_TRUE(before.stillValid > group.stillValid ||
                        (before.stillValid == group.stillValid && newer(before.lastRow, group.lastRow)))
                << what << ": group order";
        }
        // Its keys are exactly the usable keys of its names; every link is a key both names carry, and the
        // links join all the names.
        std::map<Key, Names> keys;
        for (std::size_t k = 0; k < groupKeys.size(); ++k) {
            const auto& key = groupKeys[k];
            EXPECT_EQ(key.row, firstCarrier(key.kind, key.row)) << what;
            if (k > 0) {
                const auto& before = groupKeys[k - 1];
                EXPECT_LT(std::tuple(before.kind, -before.names.count, before.row),
                          std::tuple(key.kind, -key.names.count, key.row))
                    << what << ": key order";
            }
            Names carriers;
            for (int n : found.NamesOf(key)) {
                carriers.insert(NameOf(groupNames[n]));
            }
            keys[{key.kind, std::string(BanHandle::KeyText(key.kind, key.row))}] = carriers;
        }
        std::map<Key, Names> wanted;
        for (const auto& [key, carriers] : expected.keys) {
            if (names.count(*carriers.begin())) {
                wanted[key] = carriers;
            }
        }
        EXPECT_EQ(keys, wanted) << what;
        std::vector<int> joined(groupNames.size());
        std::iota(joined.begin(), joined.end(), 0);
        std::function<int(int)> root = [&](int x) { return joined[x] == x ? x : root(joined[x]); };
        for (const auto& link : found.LinksOf(group)) {
            const auto carriers = found.NamesOf(groupKeys[link.key]);
            EXPECT_NE(link.first, link.second) << what;
            EXPECT_TRUE(std::count(carriers.begin(), carriers.end(), link.first) &&
                        std::count(carriers.begin(), carriers.end(), link.second))
                << what << ": a link is a key both names carry";
            joined[root(link.first)] = root(link.second);
        }
        for (std::size_t n = 1; n < groupNames.size(); ++n) {
            EXPECT_EQ(root(static_cast<int>(n)), root(0)) << what << ": the links join the group";
        }
        EXPECT_TRUE(groups.insert(names).second) << what;
        nameCount += static_cast<int>(names.size());
    }
    EXPECT_EQ(groups, expected.groups) << what;
    EXPECT_EQ(found.nameCount, nameCount) << what;
}

BanRecord Ban(std::string name, std::string mid, std::string date = "2004-01-01", std::string mark = "^",
              std::string ip = " 9.9.9.9 ") {
    return {"2", mark, "1", "Mod", date, name, mid, "30", ip};
}

TEST(LinkedNames, GroupsAsABreadthFirstSearchFindsThem) {
    // Few names, with case and blank variants; ids empty, malformed, padded, and some shared by many.
    const char* names[] = {"Bob", "bob", "Bob ", " Bob", "Ann", "Cy", "Dee", "Eve", "", "Fox Lee"};
    // Ids of 16 and of 17 or more characters (some differing only in their last) among the short ones.
    const char* mids[] = {"1 ",
                          "1",
                          " 2 ",
                          "-3 ",
                          "",
                          "  ",
                          "x1",
                          "4-",
                          "-",
                          "1234567890123456 ",
                          "-1234567890123456",
                          "12345678901234567890 ",
                          "12345678901234567891",
                          "77 "};
    const char* ips[] = {" 1.2.3.4 ", "1.2.3.4", " 1.2.3.5",    "",      "1.2.3", "256.1.1.1",
                         "1.2.3.4.5", "a.b.c.d", " 10.0.0.1  ", "1..2.3"};
    const char* dates[] = {"2004-01-02", "2004-01-03", "2003-12-31", "", "2004-01-02"};
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::mt19937 random(seed);
        std::vector<BanRecord> rows(random() % 40);
        for (auto& r : rows) {
            r = Ban(names[random() % 10], mids[random() % 14], dates[random() % 5], random() % 3 ? "^" : "#",
                    ips[random() % 10]);
        }
        const int threshold = seed % 4 == 0 ? BanHandle::DefaultHubThreshold : 2 + static_cast<int>(seed % 3);
        Check(rows, seed % 2 == 0, threshold, "seed " + std::to_string(seed));
    }
    // The whole sample, both ways.
    Declares::BanFilePath = std::string(MW_EXAMPLES_DIR) + "/ban_full.txt";
    ASSERT_TRUE(BanHandle::LoadBanFile().ok());
    const auto sample = Records();
    Check(sample, false, BanHandle::DefaultHubThreshold, "full sample by machine id");
    Check(sample, true, BanHandle::DefaultHubThreshold, "full sample by IP too");
    EXPECT_FALSE(BanHandle::FindLinkedNames({true}).groups.empty()) << "the sample has linked names";
}

TEST(LinkedNames, OrderHubsAndEvidence) {
    // Still valid first, then by the latest ban, newest first; names by their latest ban.
    SetRecords({Ban("Old", "1 ", "2003-01-01"), Ban("Older", "1 ", "2002-01-01"), Ban("New", "2 ", "2005-01-01"),
                Ban("Newer", "2 ", "2005-02-01"), Ban("Valid", "3 ", "2001-01-01", "#"),
                Ban("Gone", "3 ", "2001-06-01"), Ban("Alone", "4 ", "2009-01-01", "#")});
    auto found = BanHandle::FindLinkedNames();
    std::vector<std::vector<std::string>> order;
    for (const auto& group : found.groups) {
        order.emplace_back();
        for (const auto& name : found.NamesOf(group)) {
            order.back().push_back(NameOf(name));
        }
    }
    EXPECT_EQ(order, (std::vector<std::vector<std::string>>{{"Gone", "Valid"}, {"Newer", "New"}, {"Old", "Older"}}));
    EXPECT_EQ(found.nameCount, 6);

    // 25 names on one machine id link; 26 do not, and the id is listed as a hub with its count.
    for (int count : {25, 26}) {
        std::vector<BanRecord> rows;
        for (int n = 0; n < count; ++n) {
            // Appended rather than "P" + ...: g++ 12 at -O3 warns falsely (-Wrestrict) on the concatenation.
            const std::string name = std::string("P").append(std::to_string(n));
            rows.push_back(Ban(name, " 7 "));
            rows.push_back(Ban(name, " 7 ")); // the same name again counts once
        }
        SetRecords(rows);
        found = BanHandle::FindLinkedNames();
        EXPECT_EQ(found.groups.size(), count == 25 ? 1u : 0u) << count;
        EXPECT_EQ(found.hubs.size(), count == 25 ? 0u : 1u) << count;
        if (!found.hubs.empty()) {
            EXPECT_EQ(found.hubs[0].names, 26);
            EXPECT_EQ(BanHandle::KeyText(found.hubs[0].kind, found.hubs[0].row), "7");
        }
    }

    // Evidence: which id joined which two names, machine ids before IPs, the most shared first.
    SetRecords({Ban("A", "1 ", "2004-01-01", "^", " 5.5.5.5 "), Ban("B", "1", "2004-01-01", "^", " 6.6.6.6"),
                Ban("C", "2 ", "2004-01-01", "^", "6.6.6.6 "), Ban("B", "2 "), Ban("D", "2 ", "2004-01-01", "^", "")});
    found = BanHandle::FindLinkedNames({true});
    ASSERT_EQ(found.groups.size(), 1u);
    const auto& group = found.groups[0];
    std::vector<std::string> evidence;
    const auto groupNames = found.NamesOf(group);
    for (const auto& link : found.LinksOf(group)) {
        const auto& key = found.KeysOf(group)[link.key];
        evidence.push_back(NameOf(groupNames[link.first]) + "-" + NameOf(groupNames[link.second]) + " by " +
                           std::string(BanHandle::KeyText(key.kind, key.row)));
    }
    EXPECT_EQ(evidence, (std::vector<std::string>{"C-B by 2", "C-D by 2", "A-B by 1", "B-C by 6.6.6.6"}));
}

} // namespace
