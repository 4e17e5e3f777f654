// The two repeated-offender reports.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using BanHandle::FindRepeatedOffendersByMid;
using BanHandle::FindRepeatedOffendersByName;

namespace {

const std::string Sep = "...........";

std::vector<std::string> PairLines(const Declares::BanRecord& x, const Declares::BanRecord& f) {
    auto details = [](const Declares::BanRecord& r) {
        return r.Name + "/MID : " + r.Mid + "/BanIP : " + r.Ip + "/Date : " + r.Date + "   ( Ban # : " + r.Id +
               ", Days : " + r.Days + ", By : " + r.By + " )";
    };
    return {" ", "Repeated offender found : " + x.Name + " MATCH As : " + f.Name, "Match 1 details : " + details(x),
            "Match 2 details : " + details(f), " "};
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST(ByMid, LaterRecordsUnderAnotherNameArePairedAndMarkedRemoved) {
    const auto a = Record("A", "m1"), b = Record("B", "m2"), c = Record("C", "m1");
    SetRecords({a, b, c, a});
    EXPECT_EQ(FindRepeatedOffendersByMid(), Concat({PairLines(c, a), {Sep, Sep, Sep, Sep}}));
    EXPECT_EQ(Declares::BanRecordTable[4].Mid, "REMOVED");
    EXPECT_EQ(Declares::BanRecordTable[2].Mid, "m1");
}

TEST(ByMid, ExactLayoutOfAPair) {
    Declares::BanRecord f{"3", "#", "101", "Sheriff   ", "2004-01-02", "First", "77 ", "30", " 1.2.3.4"};
    Declares::BanRecord x{"1", "^", "5", "Deputy", "2015-12-31", "Second", "77 ", "9999", "  5.6.7.8"};
    SetRecords({f, x});
    EXPECT_EQ(FindRepeatedOffendersByMid(),
              (std::vector<std::string>{
                  " ", "Repeated offender found : Second MATCH As : First",
                  "Match 1 details : Second/MID : 77 /BanIP :   5.6.7.8/Date : 2015-12-31   ( Ban # : 5, Days : 9999, "
                  "By : Deputy )",
                  "Match 2 details : First/MID : 77 /BanIP :  1.2.3.4/Date : 2004-01-02   ( Ban # : 101, Days : 30, "
                  "By : Sheriff    )",
                  " ", Sep, Sep}));
}

TEST(ByMid, GroupsNamesAndMarks) {
    struct Case {
        const char* what;
        std::vector<Declares::BanRecord> rows;
        std::vector<std::pair<int, int>> pairs; // (x, f) as 0-based indices into rows
    } cases[] = {
        {"A B B C on one machine",
         {Record("A", "m"), Record("B", "m"), Record("B", "m"), Record("C", "m")},
         {{1, 0}, {2, 0}, {3, 0}}},
        {"surrounding blanks do not make another name", {Record(" A", "m"), Record("A  ", "m")}, {}},
        {"case does", {Record("A", "m"), Record("a", "m")}, {{1, 0}}},
        {"machine ids are compared untrimmed", {Record("A", "m"), Record("B", " m")}, {}},
        {"a literal REMOVED is never paired", {Record("A", "REMOVED"), Record("B", "REMOVED")}, {}},
        {"empty machine ids pair like any other", {Record("A", ""), Record("B", "")}, {{1, 0}}},
        {"same name twice on one machine", {Record("A", "m"), Record("A", "m")}, {}},
    };
    for (const auto& c : cases) {
        SetRecords(c.rows);
        std::vector<std::string> expected;
        // Every pair is reported in the pass of its first record, before that pass's separator.
        for (std::size_t f = 0; f < c.rows.size(); ++f) {
            for (const auto& [px, pf] : c.pairs) {
                if (static_cast<std::size_t>(pf) == f) {
                    auto lines = PairLines(c.rows[px], c.rows[pf]);
                    expected.insert(expected.end(), lines.begin(), lines.end());
                }
            }
            expected.push_back(Sep);
        }
        EXPECT_EQ(FindRepeatedOffendersByMid(), expected) << c.what;
    }
}

TEST(ByMid, NoRecordsNoLines) {
    SetRecords({});
    EXPECT_TRUE(FindRepeatedOffendersByMid().empty());
}

TEST(ByName, RepeatsPerName) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::vector<std::string> lines;
    } cases[] = {
        {"three bans of one name",
         {"Bob", "x", "Bob", "Bob"},
         {"Bob was found banned again.", "Bob was found banned again."}},
        {"case counts", {"Bob", "bob"}, {}},
        {"a trailing blank counts", {"Bob", "Bob "}, {}},
        {"groups in order of first occurrence",
         {"B", "A", "A", "B"},
         {"B was found banned again.", "A was found banned again."}},
        {"empty names only among records", {"", "x", ""}, {" was found banned again."}},
        {"a single empty name is no repeat", {"", "x"}, {}},
        {"no records", {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<Declares::BanRecord> rows;
        for (const auto& name : c.names) {
            rows.push_back(Record(name, "m"));
        }
        SetRecords(rows);
        EXPECT_EQ(FindRepeatedOffendersByName(), c.lines) << c.what;
    }
}

TEST(Reports, OnTheFullSample) {
    Declares::BanFilePath = std::string(MW_EXAMPLES_DIR) + "/ban_full.txt";
    ASSERT_TRUE(BanHandle::LoadBanFile().ok());
    const int records = Declares::BanRecordCount - 1;
    ASSERT_GT(records, 1000);
    auto byMid = FindRepeatedOffendersByMid();
    EXPECT_EQ(std::count(byMid.begin(), byMid.end(), Sep), records);
    EXPECT_GT(byMid.size(), static_cast<std::size_t>(records)) << "the sample has machine ids under several names";
    EXPECT_FALSE(FindRepeatedOffendersByName().empty());
}

} // namespace
