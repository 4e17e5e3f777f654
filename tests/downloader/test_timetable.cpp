// The timetable against the rows of the download timetable as the moderators were given them.
#include "Timetable.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using Timetable::Kind;

namespace {

// First entry of each listing page, ticks 2 to 32.
const std::vector<std::string> PageStarts = {"#3",    "#101",  "#201",  "#301",  "#401",  "#501",  "#601",  "#701",
                                             "#801",  "#901",  "#1001", "#1101", "#1201", "#1301", "#1401", "#1501",
                                             "#1601", "#1701", "#1801", "#1901", "#2001", "#2101", "#2201", "#2301",
                                             "#2401", "#2501", "#2601", "#2701", "#2801", "#2901", "#3001"};

const std::map<int, std::string> NormalProgress = {{1, "7/238"},    {4, "28/238"},   {8, "56/238"},
                                                   {12, "84/238"},  {16, "112/238"}, {20, "140/238"},
                                                   {24, "168/238"}, {28, "196/238"}, {32, "224/238"}};
const std::map<int, std::string> ExtendedProgress = {{1, "15/510"},   {4, "60/510"},   {8, "120/510"},
                                                     {12, "180/510"}, {16, "240/510"}, {20, "300/510"},
                                                     {24, "360/510"}, {28, "420/510"}, {32, "480/510"}};

std::string downloading(Kind kind) {
    return kind == Kind::Network ? "Downloading network ban log file..." : "Downloading local zone ban log file...";
}

struct Expected {
    std::string command; // empty: nothing typed
    std::string status;
    bool completes = false;
};

Expected expected(Kind kind, int tick, bool extended) {
    Expected e;
    if (tick == 1)
        e.command = kind == Kind::Network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt";
    else if (tick >= 2 && tick <= 32)
        e.command = std::string("?listban -d ") + (kind == Kind::Network ? "-* " : "") +
                    PageStarts.at(static_cast<size_t>(tick - 2)) + " 100";
    else if (tick == 33)
        e.command = "?log";

    const auto& progress = extended ? ExtendedProgress : NormalProgress;
    if (tick == 34) {
        e.status = "Download completed, log saved...";
        e.completes = true;
    } else if (auto it = progress.find(tick); it != progress.end()) {
        e.status = "Download progress : " + it->second;
    } else {
        e.status = downloading(kind);
    }
    return e;
}

void expectStep(Kind kind, int tick, int mode, const Expected& e) {
    SCOPED_TRACE((kind == Kind::Network ? "network tick " : "zone tick ") + std::to_string(tick) + " mode " +
                 std::to_string(mode));
    const Timetable::Step s = Timetable::step(kind, tick, mode);
    if (e.command.empty())
        EXPECT_TRUE(s.keys.empty());
    else
        EXPECT_EQ(s.keys, (std::vector<std::string>{e.command, "{ENTER}"}));
    EXPECT_EQ(s.status, e.status);
    EXPECT_EQ(s.completes, e.completes);
}

} // namespace

TEST(Timetable, EveryTickOfBothKindsInBothModes) {
    for (Kind kind : {Kind::Network, Kind::Zone})
        for (int mode : {0, 1})
            for (int tick = 1; tick <= Timetable::TickCount; ++tick)
                expectStep(kind, tick, mode, expected(kind, tick, mode == 1));
}

TEST(Timetable, SampleRowsWordForWord) {
    struct Row {
        Kind kind;
        int tick;
        int mode;
        Expected e;
    };
    const Row rows[] = {
        {Kind::Network, 1, 0, {"?log Network Banlog.txt", "Download progress : 7/238"}},
        {Kind::Zone, 1, 1, {"?log Zone Banlog.txt", "Download progress : 15/510"}},
        {Kind::Network, 2, 0, {"?listban -d -* #3 100", "Downloading network ban log file..."}},
        {Kind::Zone, 2, 0, {"?listban -d #3 100", "Downloading local zone ban log file..."}},
        {Kind::Network, 3, 1, {"?listban -d -* #101 100", "Downloading network ban log file..."}},
        {Kind::Zone, 12, 0, {"?listban -d #1001 100", "Download progress : 84/238"}},
        {Kind::Network, 12, 1, {"?listban -d -* #1001 100", "Download progress : 180/510"}},
        {Kind::Zone, 31, 0, {"?listban -d #2901 100", "Downloading local zone ban log file..."}},
        {Kind::Network, 32, 1, {"?listban -d -* #3001 100", "Download progress : 480/510"}},
        {Kind::Zone, 33, 0, {"?log", "Downloading local zone ban log file..."}},
        {Kind::Network, 33, 1, {"?log", "Downloading network ban log file..."}},
        {Kind::Network, 34, 0, {"", "Download completed, log saved...", true}},
        {Kind::Zone, 34, 1, {"", "Download completed, log saved...", true}},
    };
    for (const Row& r : rows)
        expectStep(r.kind, r.tick, r.mode, r.e);
}

TEST(Timetable, TicksOutsideTheTableOnlyShowTheDownloadingText) {
    for (Kind kind : {Kind::Network, Kind::Zone})
        for (int mode : {0, 1})
            for (int tick : {35, 36, 68, 1000, 0, -1})
                expectStep(kind, tick, mode, {"", downloading(kind), false});
}

// Mode is compared with 1 only; any other value keeps the normal figures.
TEST(Timetable, OnlyModeOneIsExtended) {
    for (int mode : {2, -1, 0x7fff})
        for (int tick : {1, 12, 32})
            expectStep(Kind::Zone, tick, mode, expected(Kind::Zone, tick, false));
}

TEST(Timetable, ExtendedModeSwitchedOnMidRun) {
    for (int switchAt : {2, 4, 12, 13, 33, 34}) {
        for (Kind kind : {Kind::Network, Kind::Zone}) {
            int commands = 0;
            for (int tick = 1; tick <= Timetable::TickCount; ++tick) {
                const int mode = tick >= switchAt ? 1 : 0;
                expectStep(kind, tick, mode, expected(kind, tick, mode == 1));
                commands += Timetable::step(kind, tick, mode).keys.empty() ? 0 : 1;
            }
            EXPECT_EQ(commands, 33);
        }
    }
}

TEST(Timetable, CompletionMessage) {
    EXPECT_STREQ(Timetable::CompletionTitle, "Download complete");
    EXPECT_EQ(Timetable::completionText(Kind::Network),
              "Ban log downloaded and saved in your logs folder as Network Banlog.txt");
    EXPECT_EQ(Timetable::completionText(Kind::Zone),
              "Ban log downloaded and saved in your logs folder as Zone Banlog.txt");
}
