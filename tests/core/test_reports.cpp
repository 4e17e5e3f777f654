// The two repeated-offender reports.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {

TEST(Reports, NameReportForAHandMadeFile) {
    ASSERT_TRUE(LoadBytes(CrLf({Entry{.name = "First"}.line(), Entry{.mark = '^', .name = "Second"}.line(),
                                "Chat: First was here", Entry{.name = "First"}.line(), Entry{.name = "First "}.line(),
                                Entry{.name = "first"}.line(), "  #9 no date, no name", "  #10 no date, no name"}))
                    .ok());
    // Names compare exactly, in the order of their first record; the empty names of two records count too.
    EXPECT_EQ(BanHandle::FindRepeatedOffendersByName(),
              (std::vector<std::string>{"First was found banned again.", " was found banned again."}));
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
            expected.emplace_back("...........");
        }
        EXPECT_EQ(BanHandle::FindRepeatedOffendersByMid(), expected) << what;
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

// The game client appends a new log session to a file that holds one, and logs get joined by hand: a ban number
// counts once, with the listings of the latest download that lists it.
TEST(Downloads, ABanNumberCountsOnceWithItsLatestListing) {
    const std::string opened = "Log file opened: Sat Nov 28 21:14:07 2026";
    auto e = [](char mark, const char* id) { return Entry{.mark = mark, .id = id, .name = id}.line(); };
    const struct {
        std::vector<std::string> lines;
        std::vector<std::string> records; // mark and ban number
        int downloads;
    } cases[] = {
        {{opened, "chat", opened}, {}, 0},
        // Pages that overlap list a ban twice in one download; a session without entries is no download.
        {{opened, e('#', "5"), e('#', "6"), e('#', "6"), opened, "?log"}, {"#5", "#6", "#6"}, 1},
        // Entries before the first session are a download too; "  #" has no ban number.
        {{e('#', "7"), opened, e('#', "5"), e('#', "6"), "  #", opened, "chat", e('^', "5"), e('#', "8"), e('#', "8")},
         {"#7", "#6", "#", "^5", "#8", "#8"},
         3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadBytes(CrLf(c.lines)).downloads, c.downloads);
        std::vector<std::string> records;
        for (const auto& r : Records()) {
            records.push_back(r.StatusMark + r.Id);
        }
        EXPECT_EQ(records, c.records);
    }

    // Of two downloads a week apart, the second lists every ban of the first, some of them expired since.
    const std::string both = ReadSample("ban_twice.txt");
    ASSERT_EQ(LoadBytes(both.substr(both.find("\r\nLog file opened") + 2)).downloads, 1);
    const auto second = Records();
    EXPECT_EQ(LoadBytes(both).downloads, 2);
    EXPECT_EQ(Records(), second);

    // A file of one download keeps every entry; the same download twice gives the same table and reports.
    for (const char* sample : {"ban_small.txt", "ban_full.txt", "ban_over.txt"}) {
        const std::string text = ReadSample(sample);
        const BanHandle::LoadOutcome once = LoadBytes(text);
        std::size_t entries = 0;
        for (std::size_t at = 0, lines = 0; at < text.size() && lines < Declares::MaxBanFileLines; ++lines) {
            entries += text.compare(at, 3, "  #") == 0 || text.compare(at, 3, "  ^") == 0;
            at = text.find("\r\n", at) + 2;
        }
        const auto rows = Records();
        EXPECT_EQ(rows.size(), entries) << sample;
        const auto byMid = BanHandle::FindRepeatedOffendersByMid().strings();
        const auto byName = BanHandle::FindRepeatedOffendersByName();
        EXPECT_EQ(LoadBytes(text + text).downloads, once.ok() ? 2 : 1) << sample; // the over-long one: its first
        EXPECT_EQ(Records(), rows) << sample;
        EXPECT_EQ(BanHandle::FindRepeatedOffendersByMid(), byMid) << sample;
        EXPECT_EQ(BanHandle::FindRepeatedOffendersByName(), byName) << sample;
    }
}

} // namespace
