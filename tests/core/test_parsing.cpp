// Entry recognition and field cutting, through whole loads of small files.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using Declares::BanRecord;
using Declares::BanRecordTable;

namespace {

// Loads the lines and returns the records, checking that row 1 stays empty.
std::vector<BanRecord> Parse(const std::vector<std::string>& lines) {
    EXPECT_TRUE(LoadBytes(CrLf(lines)).ok());
    EXPECT_EQ(BanRecordTable[1], BanRecord{});
    return Records();
}

// The record of a line that follows a complete entry, none of whose fields may show up in it.
BanRecord ParseOne(const std::string& line) {
    const auto records = Parse({"Chat line", Entry{.name = "Earlier"}.line(), line});
    EXPECT_EQ(records.size(), 2u) << line;
    return records.size() == 2 ? records[1] : BanRecord{};
}

TEST(Walk, OneRecordPerEntryLineInFileOrderUpToTheLastLine) {
    const std::string text = CrLf({"Beginning of file", Entry{.name = "Alpha"}.line(), " #12 one blank",
                                   "   #12 three blanks", "\t #12 tab", "  *12 other mark", "x #12", "",
                                   Entry{.mark = '^', .name = "Bravo"}.line(), Entry{.name = "Alpha"}.line(), "  #"});
    ASSERT_TRUE(LoadBytes(text.substr(0, text.size() - 2)).ok()); // the last line without a terminator
    std::vector<std::string> seen;
    for (const auto& r : Records()) {
        seen.push_back(r.StatusMark + r.Name);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"#Alpha", "^Bravo", "#Alpha", "#"}));
}

TEST(EntryFields, AWellFormedEntryIsCutIntoItsFields) {
    // The moderator keeps its padding up to the column before the separator; a long IP has two after it.
    EXPECT_EQ(
        ParseOne(
            "  #4711xxxxxxxx5yyyySheriff       2005-11-30 14:22:11   365 192.168.100.200  mid:987654321 Some Player"),
        (BanRecord{"5", "#", "4711", "Sheriff      ", "2005-11-30", "Some Player", "987654321 ", "365",
                   " 192.168.100.200"}));
}

TEST(EntryFields, TheRunOfDigitsFromColumn4DecidesTheHeadColumns) {
    // The moderator runs from column 18 + extra digits to two columns before the date (35).
    for (const auto& [id, by] : {std::pair{"7", 16}, {"1234", 13}, {"12345", 12}}) {
        const BanRecord r = ParseOne(Entry{.id = id, .level = '3', .moderator = "Mod", .dateColumn = 35}.line());
        EXPECT_EQ(r.Id + r.AccessLevel + r.By + r.Name, id + ("3Mod" + std::string(by - 3, ' ') + "Player"));
    }
    // Six digits: five are the number, and the head is cut as for five.
    const BanRecord r =
        ParseOne("  #123456xxxxxxx3yyyyMod        2004-05-12 14:22:11   30 10.0.0.1 mid:12345678 Player");
    EXPECT_EQ(r.Id + r.AccessLevel + r.By + r.Name, "123453Mod       Player");
}

TEST(EntryFields, DateColumnSearch) {
    struct Case {
        std::string moderator;
        int column;
        std::string date, by, found, ip = " 10.0.0.1";
    } cases[] = {
        {"", 19, "2004-01-02", "", "2004-01-02"},
        {"ModNameHere", 32, "2004-01-02", "ModNameHere  ", "2004-01-02"}, // the last column searched first
        {"ModeratorName", 33, "2003-03-03", "ModeratorName ", "2003-03-03"},
        {"ModeratorWithLongName", 40, "2008-08-08", "ModeratorWithLongName", "2008-08-08"},
        {"ModeratorWithName", 38, "2026-12-01", "ModeratorWithName  ", "2026-12-01"},
        {"Ace200", 30, "2004-01-02", "Ace200     ", "2004-01-02"},  // a whole date wins over a 200 in the name
        {"Zed2017", 30, "2004-02-03", "Zed2017    ", "2004-02-03"}, // and over a year before it
        {"Sys 2019", 27, "2015-11-19", "Sys 2019", "2015-11-19"},   // whatever the year, from 2010 on too
        {"Ace200", 30, "2004-01-0x", "Ac", "200      2", ""},       // no whole date: a 200 comes first
        {"Zed2017", 30, "2004/02/03", "Zed2017    ", "2004/02/03"}, // no whole date: a 200 wins over a 2017
    };
    for (const auto& c : cases) {
        const BanRecord r =
            ParseOne(Entry{.id = "5", .moderator = c.moderator, .dateColumn = c.column, .date = c.date}.line());
        EXPECT_EQ(r.By + "|" + r.Date + "|" + r.Ip, c.by + "|" + c.found + "|" + c.ip) << c.moderator;
    }
    // "200" at columns 33 and 36: 33.
    std::string line = Entry{.id = "1", .moderator = "ModeratorName", .dateColumn = 33}.line();
    EXPECT_EQ(ParseOne(line.replace(35, 3, "200")).Date, "2002005-12");
    // Five digits put the moderator at column 22; the date at 20 leaves no room for it.
    EXPECT_EQ(ParseOne("  #12345xxxxxxxxxx 2004-05-12 14:22:11   30 10.0.0.1 mid:12345678 Player"),
              (BanRecord{"x", "#", "12345", "", "2004-05-12", "Player", "12345678 ", "30", " 10.0.0.1"}));
}

TEST(EntryFields, DaysIpMachineIdAndName) {
    // What follows the eleven characters after the date; p is the column of "mid:" after the days.
    struct Case {
        std::string tail, days, ip, mid, name;
    } cases[] = {
        {"9999 10.0.0.1 mid:12345678 Player", "9999", " 10.0.0.1", "12345678 ", "Player"},
        {"7 12 .0.0.1 mid:1 N", "7 12", "", "", ""}, // the blank tested from column 16 down wins
        {"12345 10.0.0.1 mid:1 Name", "", "", "", ""},
        {"30 1.1.1.1 mid:M1 N", "30", "", "", ""},                      // p = 10 is not searched
        {"30 1.1.1.12 mid:M1 N", "30", " 1.1.1.12", "M1 ", "N"},        // p = 11: p - 2 characters
        {"30 1.1.1.12345  mid:M1 N", "30", " 1.1.1.12345", "M1 ", "N"}, // p = 15: p - 3 characters
        {"30 1.1.1.123456 mid:M1 N", "30", " 1.1.1.12345", "M1 ", "N"},
        {"30 111.111.111.111xxmid:M1 N", "30", " 111.111.111.111", "M1 ", "N"}, // p = 19
        {"30 10.100.100.100xxxxxxxmid:1 Name", "30", "", "", ""},               // p = 23
        {"30 10.0.0.1 mid:123456789012345", "30", " 10.0.0.1", "", ""},
        {"30 10.0.0.1 mid: Name", "30", " 10.0.0.1", " ", "Name"},
        {"30 10.0.0.1 mid:1 Mister  With Blanks ", "30", " 10.0.0.1", "1 ", "Mister  With Blanks "},
        {"30 10.0.0.1 mid:1 " + std::string(40, 'n'), "30", " 10.0.0.1", "1 ", std::string(30, 'n')},
    };
    for (const auto& c : cases) {
        const BanRecord r = ParseOne("  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   " + c.tail);
        EXPECT_EQ(r, (BanRecord{"2", "#", "1", "Mod", "2004-05-12", c.name, c.mid, c.days, c.ip})) << c.tail;
    }
}

TEST(EntryFields, LeadingBlanksBeforeTheIpAreKeptAtEveryDateColumn) {
    for (int column : {20, 21, 30, 35}) {
        // Four-digit days end at 15, so the blank at 16 and the one after it both lead the IP.
        const Entry e{.id = "1", .moderator = "M", .dateColumn = column, .days = "9999", .ip = " 1.2.3.4"};
        EXPECT_EQ(ParseOne(e.line()).Ip, "  1.2.3.4") << column;
    }
}

TEST(Walk, NothingCarriesOverBetweenLinesOrLoads) {
    // Column 4 without a digit: the width is 0 for this line, not the width of the line before.
    const std::string narrow = "  #xyyyyyyyy3yyyyMod 2004-05-12 14:22:11   30 10.0.0.1 mid:55 Short";
    auto records = Parse({Entry{.id = "12345", .moderator = "M", .dateColumn = 30}.line(), "99999 chat", narrow});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1], (BanRecord{"3", "#", "x", "Mod", "2004-05-12", "Short", "55 ", "30", " 10.0.0.1"}));

    // Defective entries first in a file keep only what they hold themselves, nothing of the previous load.
    Parse({Entry{.name = "FromBefore"}.line()});
    records = Parse(
        {"  ^42xxxxxxxx7yyyyNobody writes a date here mid:1 x", "  #1xxxxxxxx2yyyyMod 2004-05-12 14:22:11   12345 x"});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], (BanRecord{"7", "^", "42", "", "", "", "", "", ""}));
    EXPECT_EQ(records[1], (BanRecord{"2", "#", "1", "Mod", "2004-05-12", "", "", "", ""}));
}

} // namespace
