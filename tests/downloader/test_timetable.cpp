// The timetable against its rows written out by hand: the page starts and the progress figures are listed, not
// computed, so a wrong formula in the timetable cannot agree with them.
#include "Timetable.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

using Timetable::Kind;

// First entry listed at ticks 2 to 32.
static const char* const PageStarts[] = {"#3",    "#101",  "#201",  "#301",  "#401",  "#501",  "#601",  "#701",
                                         "#801",  "#901",  "#1001", "#1101", "#1201", "#1301", "#1401", "#1501",
                                         "#1601", "#1701", "#1801", "#1901", "#2001", "#2101", "#2201", "#2301",
                                         "#2401", "#2501", "#2601", "#2701", "#2801", "#2901", "#3001"};

// The ticks that show progress, with the figures in normal and in extended mode.
static const std::map<int, std::array<std::string, 2>> Progress = {
    {1, {"7/238", "15/510"}},     {4, {"28/238", "60/510"}},    {8, {"56/238", "120/510"}},
    {12, {"84/238", "180/510"}},  {16, {"112/238", "240/510"}}, {20, {"140/238", "300/510"}},
    {24, {"168/238", "360/510"}}, {28, {"196/238", "420/510"}}, {32, {"224/238", "480/510"}}};

// All 34 ticks of both kinds in normal mode, in extended mode and with extended mode switched on at tick 12;
// ticks outside the table type nothing and only show the downloading text.
TEST(Timetable, EveryTickOfBothKinds) {
    for (const bool network : {true, false}) {
        for (const int extendedFrom : {1, 12, 99}) {
            for (int tick = -1; tick <= 36; ++tick) {
                const int mode = tick >= extendedFrom ? 1 : 0;
                SCOPED_TRACE((network ? "network tick " : "zone tick ") + std::to_string(tick) + " mode " +
                             std::to_string(mode));
                std::vector<std::string> keys;
                if (tick == 1)
                    keys = {network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt", "{ENTER}"};
                else if (tick >= 2 && tick <= 32)
                    keys = {std::string("?listban -d ") + (network ? "-* " : "") + PageStarts[tick - 2] + " 100",
                            "{ENTER}"};
                else if (tick == 33)
                    keys = {"?log", "{ENTER}"};
                std::string status =
                    network ? "Downloading network ban log file..." : "Downloading local zone ban log file...";
                if (tick == 34)
                    status = "Download completed, log saved...";
                else if (Progress.contains(tick))
                    status = "Download progress : " + Progress.at(tick)[mode];

                const Timetable::Step s = Timetable::step(network ? Kind::Network : Kind::Zone, tick, mode);
                EXPECT_EQ(s.keys, keys);
                EXPECT_EQ(s.status, status);
                EXPECT_EQ(s.completes, tick == 34);
            }
        }
    }
}
