// Entry recognition and field cutting, through whole loads of small files.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using Declares::BanRecord;
using Declares::BanRecordCount;
using Declares::BanRecordTable;

namespace {

BanRecord Fields(const std::string& access, const std::string& mark, const std::string& id, const std::string& by,
                 const std::string& date, const std::string& name, const std::string& mid, const std::string& days,
                 const std::string& ip) {
    return BanRecord{access, mark, id, by, date, name, mid, days, ip};
}

// Loads the lines and returns the records in rows 2 to BanRecordCount.
std::vector<BanRecord> Parse(const std::vector<std::string>& lines) {
    EXPECT_TRUE(LoadBytes(CrLf(lines)).ok());
    std::vector<BanRecord> records;
    for (int r = 2; r <= BanRecordCount; ++r) {
        records.push_back(BanRecordTable[r]);
    }
    const BanRecord eof{"EOF", "EOF", "EOF", "EOF", "EOF", "EOF", "EOF", "EOF", "EOF"};
    EXPECT_EQ(BanRecordTable[BanRecordCount + 1], eof);
    EXPECT_EQ(BanRecordTable[1], BanRecord{});
    return records;
}

BanRecord ParseOne(const std::string& line) {
    auto records = Parse({"Chat line before", line});
    EXPECT_EQ(records.size(), 1u) << line;
    return records.empty() ? BanRecord{} : records.front();
}

TEST(EntryRecognition, OnlyTwoBlanksAndAMarkStartAnEntry) {
    struct Case {
        std::string line;
        bool entry;
    } cases[] = {
        {"  #12", true},
        {"  ^12", true},
        {"  #", true},
        {" #12 one blank", false},
        {"   #12 three blanks", false},
        {"\t #12 tab", false},
        {"  *12 other mark", false},
        {"x #12", false},
        {"", false},
        {"Beginning of file", false},
    };
    for (const auto& c : cases) {
        auto records = Parse({"header", c.line});
        EXPECT_EQ(records.size(), c.entry ? 1u : 0u) << '"' << c.line << '"';
    }
}

TEST(EntryRecognition, ARecordPerEntryInFileOrderDuplicatesIncluded) {
    Entry a;
    a.name = "Alpha";
    Entry b;
    b.name = "Bravo";
    b.mark = '^';
    auto records = Parse({"Beginning", a.line(), "chat", b.line(), a.line(), ""});
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Name, "Alpha");
    EXPECT_EQ(records[1].Name, "Bravo");
    EXPECT_EQ(records[1].StatusMark, "^");
    EXPECT_EQ(records[2], records[0]);
    EXPECT_EQ(BanRecordCount, 4);
}

TEST(EntryFields, AWellFormedEntryIsCutIntoItsFields) {
    Entry e;
    e.id = "4711";
    e.level = '5';
    e.moderator = "Sheriff";
    e.dateColumn = 35;
    e.date = "2005-11-30";
    e.days = "365";
    e.ip = "192.168.100.200";
    e.mid = "987654321";
    e.name = "Some Player";
    // The moderator keeps its padding up to the column before the separator.
    EXPECT_EQ(ParseOne(e.line()), Fields("5", "#", "4711", "Sheriff      ", "2005-11-30", "Some Player", "987654321 ",
                                         "365", " 192.168.100.200"));
}

TEST(EntryFields, BanNumberWidthDecidesTheHeadColumns) {
    // The run of digits from column 4, five at most, moves the access level and the moderator.
    struct Case {
        std::string id;
        std::string storedId;
    } cases[] = {{"7", "7"}, {"12", "12"}, {"123", "123"}, {"1234", "1234"}, {"12345", "12345"}};
    for (const auto& c : cases) {
        Entry e;
        e.id = c.id;
        e.level = '3';
        e.moderator = "Mod";
        e.dateColumn = 35;
        BanRecord r = ParseOne(e.line());
        EXPECT_EQ(r.Id, c.storedId);
        EXPECT_EQ(r.AccessLevel, "3") << c.id;
        EXPECT_EQ(r.By.substr(0, 3), "Mod") << c.id;
        EXPECT_EQ(r.Name, "Player") << c.id;
    }
    // Six digits: only five are the number, and the head is cut as for five.
    std::string six = "  #123456xxxxxxx3yyyyMod        2004-05-12 14:22:11   30 10.0.0.1 mid:12345678 Player";
    BanRecord r = ParseOne(six);
    EXPECT_EQ(r.Id, "12345");
    EXPECT_EQ(r.AccessLevel, "3");
    EXPECT_EQ(r.By, "Mod       ");
}

TEST(EntryFields, DateColumnSearch) {
    struct Case {
        const char* what;
        std::string moderator;
        int dateColumn;
        std::string date;
        std::string expectBy;
        std::string expectDate;
    } cases[] = {
        {"first candidate column", "", 19, "2004-01-02", "", "2004-01-02"},
        {"extraction range end", "ModNameHere", 32, "2004-01-02", "ModNameHere  ", "2004-01-02"},
        {"date found by the second search", "ModeratorName", 33, "2003-03-03", "ModeratorName ", "2003-03-03"},
        {"last candidate column", "ModeratorWithLongName", 40, "2008-08-08", "ModeratorWithLongName", "2008-08-08"},
        {"year 2010 and later", "Mod", 25, "2015-06-07", "Mod   ", "2015-06-07"},
        {"year 2026 late column", "ModeratorWithName", 38, "2026-12-01", "ModeratorWithName  ", "2026-12-01"},
        {"a 200 in the name wins", "Ace200", 30, "2004-01-02", "Ac", "200      2"},
    };
    for (const auto& c : cases) {
        Entry e;
        e.id = "5";
        e.moderator = c.moderator;
        e.dateColumn = c.dateColumn;
        e.date = c.date;
        BanRecord r = ParseOne(e.line());
        EXPECT_EQ(r.Date, c.expectDate) << c.what;
        if (std::string(c.what) != "a 200 in the name wins") {
            EXPECT_EQ(r.By, c.expectBy) << c.what;
            EXPECT_EQ(r.Name, "Player") << c.what;
            EXPECT_EQ(r.Ip, " 10.0.0.1") << c.what;
        } else {
            EXPECT_EQ(r.By, c.expectBy) << c.what;
        }
    }
}

TEST(EntryFields, ADateOf200xWinsOverALaterYearInTheModeratorName) {
    // "2017" inside the moderator's name stands before the date, but a "200" wins wherever it stands.
    Entry e;
    e.id = "5";
    e.moderator = "Zed2017";
    e.dateColumn = 30;
    e.date = "2004-02-03";
    BanRecord r = ParseOne(e.line());
    EXPECT_EQ(r.Date, "2004-02-03");
    EXPECT_EQ(r.By, "Zed2017    ");
    EXPECT_EQ(r.Name, "Player");
}

TEST(EntryFields, FirstDateAt33WinsOver36) {
    std::string line = Entry{.id = "1", .moderator = "ModeratorName", .dateColumn = 33}.line();
    line.replace(35, 3, "200"); // also "200" at column 36, inside the date's own text
    BanRecord r = ParseOne(line);
    EXPECT_EQ(r.Date.substr(0, 3), "200");
    EXPECT_EQ(r.By, "ModeratorName ");
}

TEST(EntryFields, NoDateLeavesOnlyTheHead) {
    BanRecord r = ParseOne("  ^42xxxxxxxx7yyyyNobody writes a date here at all mid:1 x");
    EXPECT_EQ(r, Fields("7", "^", "42", "", "", "", "", "", ""));
    // Only the mark: the head fields are empty too.
    EXPECT_EQ(ParseOne("  #"), Fields("", "#", "", "", "", "", "", "", ""));
}

TEST(EntryFields, NoRoomForTheModerator) {
    // Five digits (N = 4) and the date at column 20: below N + 19, so no moderator.
    std::string line = "  #12345xxxxxxxxxx 2004-05-12 14:22:11   30 10.0.0.1 mid:12345678 Player";
    BanRecord r = ParseOne(line);
    EXPECT_EQ(r.By, "");
    EXPECT_EQ(r.Date, "2004-05-12");
    EXPECT_EQ(r.Name, "Player");
    // Exactly N + 19: empty as well.
    EXPECT_EQ(ParseOne(Entry{.id = "1", .moderator = "", .dateColumn = 19}.line()).By, "");
}

TEST(EntryFields, DaysTakeTheBlankTestedFromSixteenDown) {
    struct Case {
        std::string days;
        std::string ip;
        std::string expectDays;
        std::string expectIp;
    } cases[] = {
        {"7", "10.0.0.1", "7", " 10.0.0.1"},
        {"30", "10.0.0.1", "30", " 10.0.0.1"},
        {"365", "10.0.0.1", "365", " 10.0.0.1"},
        {"9999", "10.0.0.1", "9999", " 10.0.0.1"},
    };
    for (const auto& c : cases) {
        Entry e;
        e.days = c.days;
        e.ip = c.ip;
        BanRecord r = ParseOne(e.line());
        EXPECT_EQ(r.Days, c.expectDays);
        EXPECT_EQ(r.Ip, c.expectIp);
        EXPECT_EQ(r.Mid, "12345678 ");
    }
    // One digit with blanks at 13 and 16: the later blank wins and the days take the next characters too.
    Entry e;
    e.days = "7";
    e.ip = "12 .0.0.1";
    EXPECT_EQ(ParseOne(e.line()).Days, "7 12");
}

TEST(EntryFields, MarkerPositionsGiveTheIpLength) {
    // p - 2 characters up to 14, p - 3 from 15 on.
    struct Case {
        std::string afterDays;
        std::string ip;
        std::string mid;
    } cases[] = {
        {" 1.1.1.1 mid:M1 N", " 1.1.1.1", "M1 "},                  // p = 10: not found
        {" 1.1.1.12 mid:M1 N", " 1.1.1.12", "M1 "},                // p = 11
        {" 1.1.1.123 mid:M1 N", " 1.1.1.123", "M1 "},              // p = 12
        {" 1.1.1.1234 mid:M1 N", " 1.1.1.1234", "M1 "},            // p = 13
        {" 1.1.1.12345 mid:M1 N", " 1.1.1.12345", "M1 "},          // p = 14
        {" 1.1.1.12345  mid:M1 N", " 1.1.1.12345", "M1 "},         // p = 15, two separators
        {" 1.1.1.123456 mid:M1 N", " 1.1.1.12345", "M1 "},         // p = 15: still 12 characters
        {" 111.111.111.111xxmid:M1 N", " 111.111.111.111", "M1 "}, // p = 19
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const std::string line = "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   30" + cases[k].afterDays;
        BanRecord r = ParseOne(line);
        if (k == 0) {
            EXPECT_EQ(r.Ip, "") << "p = 10 is not searched";
            EXPECT_EQ(r.Mid, "");
            EXPECT_EQ(r.Days, "30");
            continue;
        }
        EXPECT_EQ(r.Ip, cases[k].ip) << cases[k].afterDays;
        EXPECT_EQ(r.Mid, cases[k].mid) << cases[k].afterDays;
        EXPECT_EQ(r.Name, "N") << cases[k].afterDays;
    }
}

TEST(EntryFields, DefectiveTailsLeaveTheirFieldsEmpty) {
    struct Case {
        const char* what;
        std::string line;
        BanRecord expect;
    } cases[] = {
        {"five-digit days", "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   12345 10.0.0.1 mid:1 Name",
         Fields("2", "#", "1", "Mod", "2004-05-12", "", "", "", "")},
        {"marker too far", "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   30 10.100.100.100xxxxxxxmid:1 Name",
         Fields("2", "#", "1", "Mod", "2004-05-12", "", "", "30", "")},
        {"marker in capitals", "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   30 10.0.0.1 MID:1 Name",
         Fields("2", "#", "1", "Mod", "2004-05-12", "", "", "30", "")},
        {"machine id without a blank", "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   30 10.0.0.1 mid:123456789012345",
         Fields("2", "#", "1", "Mod", "2004-05-12", "", "", "30", " 10.0.0.1")},
        {"line ends after the date", "  #1xxxxxxxx2yyyyMod 2004-05-12",
         Fields("2", "#", "1", "Mod", "2004-05-12", "", "", "", "")},
        {"blank right after the marker", "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   30 10.0.0.1 mid: Name",
         Fields("2", "#", "1", "Mod", "2004-05-12", "Name", " ", "30", " 10.0.0.1")},
    };
    Entry good;
    good.name = "Earlier";
    for (const auto& c : cases) {
        // A complete entry first: none of its fields may show up in the defective one.
        auto records = Parse({good.line(), c.line});
        ASSERT_EQ(records.size(), 2u) << c.what;
        EXPECT_EQ(records[1], c.expect) << c.what;
    }
}

TEST(EntryFields, NamesKeepInnerBlanksAndAreCutAtThirty) {
    EXPECT_EQ(ParseOne(Entry{.name = "Mister  With Blanks "}.line()).Name, "Mister  With Blanks ");
    EXPECT_EQ(ParseOne(Entry{.name = std::string(40, 'n')}.line()).Name, std::string(30, 'n'));
    EXPECT_EQ(ParseOne(Entry{.name = "\xC9t\xE9 \x8A"}.line()).Name, "\xC9t\xE9 \x8A");
}

TEST(EntryFields, LeadingBlanksBeforeTheIpAreKeptAtEveryDateColumn) {
    for (int column : {20, 21, 30, 35}) {
        // Four-digit days end at 15, so the blank at 16 and the one after it both lead the IP.
        Entry e{.id = "1", .moderator = "M", .dateColumn = column, .days = "9999", .ip = " 1.2.3.4"};
        EXPECT_EQ(ParseOne(e.line()).Ip, "  1.2.3.4") << column;
    }
}

TEST(Walk, TheLastLineOfTheFileIsARecord) {
    Entry e;
    // Without a terminator, and with one.
    ASSERT_TRUE(LoadBytes("chat\r\n" + e.line()).ok());
    EXPECT_EQ(BanRecordCount, 2);
    EXPECT_EQ(BanRecordTable[2].Name, "Player");
    ASSERT_TRUE(LoadBytes(e.line() + "\r\n").ok());
    EXPECT_EQ(BanRecordCount, 2);
}

TEST(Walk, AFullFileOfEntriesFitsWithItsEndMarker) {
    std::vector<std::string> lines(Declares::MaxBanFileLines, Entry{}.line());
    ASSERT_TRUE(LoadBytes(CrLf(lines)).ok());
    EXPECT_EQ(BanRecordCount, 3000);
    EXPECT_EQ(BanRecordTable[3000].Name, "Player");
    EXPECT_EQ(BanRecordTable[3001].Ip, "EOF");
}

TEST(Walk, NothingCarriesOverBetweenLinesOrLoads) {
    // Column 4 without a digit: the width is 0 for this line, not the width of the line before.
    Entry wide{.id = "12345", .moderator = "M", .dateColumn = 30};
    const std::string narrow = "  #xyyyyyyyy3yyyyMod 2004-05-12 14:22:11   30 10.0.0.1 mid:55 Short";
    auto records = Parse({wide.line(), "99999 a chat line starting with digits", narrow});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].Id, "x");
    EXPECT_EQ(records[1].AccessLevel, "3");

    // A defective entry first in a file: nothing from the previous load.
    ASSERT_TRUE(LoadBytes(CrLf({Entry{.name = "FromBefore"}.line()})).ok());
    records = Parse({"  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   12345 x"});
    EXPECT_EQ(records.at(0).Name, "");

    // Loading the same file twice gives identical tables.
    const std::string text = CrLf({"  #1", Entry{}.line(), "  ^77xxxxxxx1yyyyno date"});
    ASSERT_TRUE(LoadBytes(text).ok());
    std::vector<BanRecord> first(BanRecordTable.begin(), BanRecordTable.begin() + BanRecordCount + 2);
    ASSERT_TRUE(LoadBytes(CrLf({Entry{.name = "Other"}.line()})).ok());
    ASSERT_TRUE(LoadBytes(text).ok());
    std::vector<BanRecord> second(BanRecordTable.begin(), BanRecordTable.begin() + BanRecordCount + 2);
    EXPECT_EQ(first, second);
}

TEST(Walk, ParseBanEntryLineLooksOnlyAtColumns33To40) {
    Declares::BanFileLines[5] = Entry{.id = "1", .moderator = "M", .dateColumn = 25, .name = "Late"}.line();
    Declares::BanIdExtraDigits = 0;
    Declares::EntryName = "unchanged";
    BanHandle::ParseBanEntryLine(5);
    EXPECT_EQ(Declares::EntryName, "unchanged");
    Declares::BanFileLines[5] = Entry{.id = "1", .moderator = "ModeratorLongName", .dateColumn = 36}.line();
    BanHandle::ParseBanEntryLine(5);
    EXPECT_EQ(Declares::EntryName, "Player");
    EXPECT_EQ(Declares::EntryBannedBy, "ModeratorLongName");
}

} // namespace
