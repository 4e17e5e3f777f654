// The keystroke timetable of a download, free of any toolkit: for a tick of a timetable, what to
// type into the game and what the status line shows afterwards. Form1's tick handlers only apply it.
#pragma once

#include <string>
#include <vector>

namespace Timetable {

enum class Kind { Network, Zone };

inline constexpr int TickCount = 34;
inline constexpr int NormalIntervalMs = 7000;
inline constexpr int ExtendedIntervalMs = 15000;

// What one tick does once its counter has been advanced to the tick number.
struct Step {
    // Sent one by one, in order, into the game window; empty when the tick types nothing.
    std::vector<std::string> keys;
    // The status line after the tick.
    std::string status;
    // The last tick: the run is complete and the completion message is due.
    bool completes = false;
};

// mode is Form1's Mode; only the value 1 selects the extended figures.
Step step(Kind kind, int tick, int mode);

// Shown at the start of every tick, and kept by ticks without a progress figure.
std::string downloadingText(Kind kind);

// "Download progress : E/T" for a tick; E at tick 12 in extended mode follows the same rule.
std::string progressText(int tick, int mode);

std::string logFileName(Kind kind);

inline constexpr const char* CompletionTitle = "Download complete";
std::string completionText(Kind kind);

} // namespace Timetable
