// Matching rules of the record search, per mode.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;
using BanHandle::SearchBanTable;
using Mode = Declares::SearchModeKind;

namespace {

class Search : public ::testing::Test {
protected:
    void SetUp() override {
        SetRecords({
            {"2", "#", "123", "  Sheriff   ", "2004-05-12", "BoB", "1111 ", "30", "   10.0.0.1"},
            {"2", "^", "12", "sheriff", "2004-05-12", "bob", " 1111", "30", " 10.0.0.2"},
            {"2", "?", "7", "Deputy", "2004-05-12", "\xC9lise", "2222 ", "30", " 10.0.0.1"},
            {"2", "#", "", "", "2004-05-12", "", "", "30", ""},
        });
        // A leftover of a longer load past the end marker.
        Declares::BanRecordTable[7] = {"2", "#", "999", "x", "", "bob", "1111", "", "10.0.0.1"};
    }

    // The ban numbers and status texts of the matches, in list order.
    static std::vector<std::string> Ids(Mode mode, const std::string& query) {
        Declares::SearchMode = mode;
        std::vector<std::string> ids;
        for (const auto& match : SearchBanTable(query)) {
            ids.push_back(match.Id + "/" + match.Status);
        }
        return ids;
    }
};

TEST_F(Search, MatchingRulesPerMode) {
    struct Case {
        Mode mode;
        std::string query;
        std::vector<std::string> ids;
    } cases[] = {
        {Mode::None, "bob", {}},
        // IP: leading blanks are ignored on both sides, trailing ones count.
        {Mode::IP, "10.0.0.1", {"123/Still valid", "7/Unknown Error"}},
        {Mode::IP, "  10.0.0.1", {"123/Still valid", "7/Unknown Error"}},
        {Mode::IP, "10.0.0.1 ", {}},
        // MID: blanks on both sides are ignored on both sides.
        {Mode::MID, "1111", {"123/Still valid", "12/Expired"}},
        {Mode::MID, " 1111 ", {"123/Still valid", "12/Expired"}},
        {Mode::MID, "2222", {"7/Unknown Error - 117"}},
        // Nick: both sides lower-cased, nothing trimmed.
        {Mode::Nick, "BOB", {"123/Still valid", "12/Expired"}},
        {Mode::Nick, "bob ", {}},
        {Mode::Nick, "\xE9LISE", {"7/Unknown Error"}},
        // BanID: the stored number exactly.
        {Mode::BanID, "12", {"12/Expired"}},
        {Mode::BanID, "12 ", {}},
        // Moderator: both sides lower-cased and trimmed.
        {Mode::Moderator, "SHERIFF", {"123/Still valid", "12/Expired"}},
        {Mode::Moderator, " sheriff  ", {"123/Still valid", "12/Expired"}},
        {Mode::Moderator, "sher iff", {}},
        // An empty query finds the empty record but never row 1.
        {Mode::Nick, "", {"/Still valid"}},
        {Mode::IP, "", {"/Still valid"}},
        {Mode::MID, "", {"/Still valid"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ids(c.mode, c.query), c.ids) << static_cast<int>(c.mode) << " '" << c.query << "'";
    }
}

// A field copied from the results (or, for the machine id, from the report) and pasted back as the query finds
// its row, whatever padding the log gave it.
TEST(SearchSamples, ACopiedFieldFindsItsRow) {
    using R = Declares::BanRecord;
    const std::pair<Mode, std::string R::*> fields[] = {{Mode::IP, &R::Ip},
                                                        {Mode::MID, &R::Mid},
                                                        {Mode::Nick, &R::Name},
                                                        {Mode::BanID, &R::Id},
                                                        {Mode::Moderator, &R::By}};
    for (const char* sample : {"ban_small.txt", "ban_full.txt"}) {
        ASSERT_TRUE(LoadBytes(ReadSample(sample)).ok());
        for (const auto& [mode, field] : fields) {
            Declares::SearchMode = mode;
            for (const R& row : Records()) {
                EXPECT_TRUE(std::ranges::any_of(SearchBanTable(row.*field),
                                                [&](const BanHandle::SearchMatch& m) {
                                                    return m.Id == row.Id && m.Name == row.Name && m.Ip == row.Ip &&
                                                           m.By == row.By;
                                                }))
                    << sample << " mode " << static_cast<int>(mode) << " '" << row.*field << "'";
            }
        }
    }
    Declares::SearchMode = Mode::None;
}

TEST(LowerCase, LatinAndWindows1252Capitals) {
    // A-Z, À..Þ except ×, and Š Œ Ž Ÿ; everything else stays.
    EXPECT_EQ(BanHandle::LowerCase("AZaz09[@\xC0\xDE\xD7\x8A\x8C\x8E\x9F\xDF\xFF"),
              "azaz09[@\xE0\xFE\xD7\x9A\x9C\x9E\xFF\xDF\xFF");
}

} // namespace
