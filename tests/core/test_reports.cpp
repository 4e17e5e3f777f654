// The two repeated-offender reports.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;
using BanHandle::FindRepeatedOffendersByMid;
using BanHandle::FindRepeatedOffendersByName;
using Declares::BanRecordTable;

namespace {

const std::string Sep = "...........";

TEST(Reports, ExactLinesForAHandMadeFile) {
    ASSERT_TRUE(LoadBytes(CrLf({
                              "  #101xxxxxxxx3yyyySheriff   2004-01-02 14:22:11   30 10.1.2.3 mid:77 First",
                              "  ^5xxxxxxxx1yyyyDeputy 2015-12-31 14:22:11   9999  5.6.7.80 mid:77 Second",
                              "Chat: First was here",
                              "  #6xxxxxxxx1yyyyDeputy 2015-12-31 14:22:11   30 10.5.6.7 mid:88 First",
                              "  #7xxxxxxxx1yyyyDeputy 2015-12-31 14:22:11   30 10.5.6.7 mid:77 First ",
                              "  #8xxxxxxxx1yyyyDeputy 2015-12-31 14:22:11   30 10.5.6.7 mid:77 first",
                              "  #9 no date, no name",
                              "  #10 no date, no name",
                          }))
                    .ok());
    // Names compare exactly, in the order of their first record; the empty names of two records count too.
    EXPECT_EQ(FindRepeatedOffendersByName(),
              (std::vector<std::string>{"First was found banned again.", " was found banned again."}));
    EXPECT_EQ(FindRepeatedOffendersByMid(),
              (std::vector<std::string>{
                  " ", "Repeated offender found : Second MATCH As : First",
                  "Match 1 details : Second/MID : 77 /BanIP :   5.6.7.80/Date : 2015-12-31   ( Ban # : 5, Days : 9999, "
                  "By : Deputy )",
                  "Match 2 details : First/MID : 77 /BanIP :  10.1.2.3/Date : 2004-01-02   ( Ban # : 101, Days : 30, "
                  "By : Sheriff   )",
                  " ", " ", "Repeated offender found : first MATCH As : First",
                  "Match 1 details : first/MID : 77 /BanIP :  10.5.6.7/Date : 2015-12-31   ( Ban # : 8, Days : 30, "
                  "By : Deputy )",
                  "Match 2 details : First/MID : 77 /BanIP :  10.1.2.3/Date : 2004-01-02   ( Ban # : 101, Days : 30, "
                  "By : Sheriff   )",
                  " ", Sep, Sep, Sep, Sep, Sep, Sep, Sep}));
    // The reported records' machine ids are marked; the first record keeps its own.
    const auto rows = Records();
    EXPECT_EQ(rows[0].Mid, "77 ");
    EXPECT_EQ(rows[1].Mid, "REMOVED");
    EXPECT_EQ(rows[3].Mid, "77 ");
    EXPECT_EQ(rows[4].Mid, "REMOVED");
}

TEST(Reports, MachineIdsAsAPlainPairwiseSearchFindsThem) {
    // Every record f whose machine id is not yet marked pairs with each later record x of that machine id under
    // another name (blanks around the names aside), and x is marked; then comes f's separator.
    auto trim = [](const std::string& s) {
        const auto first = s.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(' ') - first + 1);
    };
    auto details = [](const Declares::BanRecord& r) {
        return r.Name + "/MID : " + r.Mid + "/BanIP : " + r.Ip + "/Date : " + r.Date + "   ( Ban # : " + r.Id +
               ", Days : " + r.Days + ", By : " + r.By + " )";
    };
    auto check = [&](std::vector<Declares::BanRecord> rows, const std::string& what) {
        std::vector<std::string> expected;
        for (auto& f : rows) {
            for (auto x = &f + 1; f.Mid != "REMOVED" && x != rows.data() + rows.size(); ++x) {
                if (x->Mid == f.Mid && trim(x->Name) != trim(f.Name)) {
                    expected.insert(expected.end(),
                                    {" ", "Repeated offender found : " + x->Name + " MATCH As : " + f.Name,
                                     "Match 1 details : " + details(*x), "Match 2 details : " + details(f), " "});
                    x->Mid = "REMOVED";
                }
            }
            expected.push_back(Sep);
        }
        EXPECT_EQ(FindRepeatedOffendersByMid(), expected) << what;
        EXPECT_EQ(Records(), rows) << what;
        return expected.size();
    };

    Declares::BanFilePath = std::string(MW_EXAMPLES_DIR) + "/ban_full.txt";
    ASSERT_TRUE(BanHandle::LoadBanFile().ok());
    const auto rows = Records();
    ASSERT_GT(rows.size(), 3000u);
    EXPECT_GT(check(rows, "full sample"), rows.size()) << "the sample has machine ids under several names";

    // Few machine ids and names, so that ids recur under equal, blank-padded and other names.
    const char* mids[] = {"1 ", "2 ", "1", "REMOVED", ""};
    const char* names[] = {"A", "A ", " A", "B", "", " "};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        std::vector<Declares::BanRecord> table(random() % 25);
        for (std::size_t k = 0; k < table.size(); ++k) {
            table[k] = {"2",  "#",      std::to_string(k), "By", "2004-01-02", names[random() % 6], mids[random() % 5],
                        "30", "1.2.3.4"};
        }
        SetRecords(table);
        check(table, "seed " + std::to_string(seed));
    }
}

} // namespace
