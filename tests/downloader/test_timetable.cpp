// The timetable against the rows of the download timetable as the moderators were given them.
#include "Timetable.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

using Timetable::Kind;

namespace {

// First entry listed at ticks 2 to 32.
const char* const PageStarts[] = {"#3",    "#101",  "#201",  "#301",  "#401",  "#501",  "#601",  "#701",
                                  "#801",  "#901",  "#1001", "#1101", "#1201", "#1301", "#1401", "#1501",
                                  "#1601", "#1701", "#1801", "#1901", "#2001", "#2101", "#2201", "#2301",
                                  "#2401", "#2501", "#2601", "#2701", "#2801", "#2901", "#3001"};

// The ticks that show progress: the figures in normal and in extended mode.
const std::map<int, std::pair<std::string, std::string>> Progress = {
    {1, {"7/238", "15/510"}},     {4, {"28/238", "60/510"}},    {8, {"56/238", "120/510"}},
    {12, {"84/238", "180/510"}},  {16, {"112/238", "240/510"}}, {20, {"140/238", "300/510"}},
    {24, {"168/238", "360/510"}}, {28, {"196/238", "420/510"}}, {32, {"224/238", "480/510"}}};

void expectTick(Kind kind, int tick, int mode) {
    const bool network = kind == Kind::Network;
    SCOPED_TRACE((network ? "network tick " : "zone tick ") + std::to_string(tick) + " mode " + std::to_string(mode));
    std::vector<std::string> keys;
    if (tick == 1)
        keys = {network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt", "{ENTER}"};
    else if (tick >= 2 && tick <= 32)
        keys = {std::string("?listban -d ") + (network ? "-* " : "") + PageStarts[tick - 2] + " 100", "{ENTER}"};
    else if (tick == 33)
        keys = {"?log", "{ENTER}"};
    std::string status = network ? "Downloading network ban log file..." : "Downloading local zone ban log file...";
    if (tick == 34)
        status = "Download completed, log saved...";
    else if (auto it = Progress.find(tick); it != Progress.end())
        status = "Download progress : " + (mode == 1 ? it->second.second : it->second.first);

    const Timetable::Step s = Timetable::step(kind, tick, mode);
    EXPECT_EQ(s.keys, keys);
    EXPECT_EQ(s.status, status);
    EXPECT_EQ(s.completes, tick == 34);
}

} // namespace

// All 34 ticks in normal mode, in extended mode and with extended mode switched on at tick 12; then
// ticks outside the table, which type nothing and only show the downloading text.
TEST(Timetable, EveryTickOfBothKinds) {
    for (Kind kind : {Kind::Network, Kind::Zone}) {
        for (int extendedFrom : {1, 12, 99})
            for (int tick = 1; tick <= Timetable::TickCount; ++tick)
                expectTick(kind, tick, tick >= extendedFrom ? 1 : 0);
        for (int mode : {0, 1})
            for (int tick : {0, 35, 36, 1000})
                expectTick(kind, tick, mode);
    }
}

TEST(Timetable, CompletionMessage) {
    EXPECT_STREQ(Timetable::CompletionTitle, "Download complete");
    EXPECT_EQ(Timetable::completionText(Kind::Network),
              "Ban log downloaded and saved in your logs folder as Network Banlog.txt");
    EXPECT_EQ(Timetable::completionText(Kind::Zone),
              "Ban log downloaded and saved in your logs folder as Zone Banlog.txt");
}
