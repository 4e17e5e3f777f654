#include "Timetable.h"

namespace Timetable {
namespace {

constexpr int LastListingTick = 32;
constexpr int LogOffTick = 33;

bool isProgressTick(int tick) {
    return tick == 1 || (tick >= 4 && tick <= LastListingTick && tick % 4 == 0);
}

// Tick 2 skips the first two entries; from tick 3 on the pages start on whole hundreds plus one.
int firstListedEntry(int tick) {
    return tick == 2 ? 3 : (tick - 2) * 100 + 1;
}

std::string command(Kind kind, int tick) {
    if (tick == 1)
        return "?log " + logFileName(kind);
    if (tick == LogOffTick)
        return "?log";
    const std::string scope = kind == Kind::Network ? "-* " : "";
    return "?listban -d " + scope + "#" + std::to_string(firstListedEntry(tick)) + " 100";
}

} // namespace

std::string logFileName(Kind kind) {
    return kind == Kind::Network ? "Network Banlog.txt" : "Zone Banlog.txt";
}

std::string downloadingText(Kind kind) {
    return kind == Kind::Network ? "Downloading network ban log file..." : "Downloading local zone ban log file...";
}

std::string progressText(int tick, int mode) {
    const bool extended = mode == 1;
    const int seconds = extended ? ExtendedIntervalMs / 1000 : NormalIntervalMs / 1000;
    return "Download progress : " + std::to_string(tick * seconds) + "/" + std::to_string(TickCount * seconds);
}

std::string completionText(Kind kind) {
    return "Ban log downloaded and saved in your logs folder as " + logFileName(kind);
}

Step step(Kind kind, int tick, int mode) {
    Step result;
    if (tick < 1 || tick > TickCount) {
        result.status = downloadingText(kind);
        return result;
    }
    if (tick == TickCount) {
        result.status = "Download completed, log saved...";
        result.completes = true;
        return result;
    }
    result.keys = {command(kind, tick), "{ENTER}"};
    result.status = isProgressTick(tick) ? progressText(tick, mode) : downloadingText(kind);
    return result;
}

} // namespace Timetable
