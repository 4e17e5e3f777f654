// The stand-in game's chat, shared by its X11 and Win32 windows, which only feed it keys. It collects
// typed characters into a chat line and handles the line on Return, as the client's chat does:
//   "?log NAME"                      logs all chat to LOGS/NAME until "?log"
//   "?listban -d [-*] #N COUNT"      prints a header and entries N.. of the zone (or network) ban list
// Every typed line is appended to the transcript, so tests see exactly which commands arrived.
// As a recorder it interprets nothing and writes each key it receives to the transcript.
//
// Options: --title T  --logs DIR  --transcript FILE  --ready FILE  --stamps FILE  --focus-log FILE
//          --iconic (start minimised)  --recorder  --steal-focus (take the focus, and take it back
//          whenever it is lost)  --wine-desktop (a window titled "Default - Wine desktop", or
//          --desktop-title, holding a child window titled T)  --unmanaged (X11: override-redirect,
//          unknown to the window manager)  --retitle T (once it has read two lines, the window is
//          titled T)  --drop-focus (once it has read two lines, the window lets the keyboard focus go)
//
// The focus log holds what a test needs to judge whether the window reacted in time: "retitled T" and
// "dropped T" once done, and for a focus thief each change of its focus as "held A B" or "lost A B",
// A the last look that saw the other state, B the first that saw this one. Times are steady-clock
// nanoseconds, comparable between processes (CLOCK_MONOTONIC on Linux, the performance counter on
// Windows, as the tests read them).
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

namespace standin {

struct Options {
    std::string title = "Continuum", logs = ".", transcript, ready, stamps, focusLog;
    std::string desktopTitle = "Default - Wine desktop", retitle;
    bool dropFocus = false, iconic = false, recorder = false, stealFocus = false, wineDesktop = false,
         unmanaged = false;
};

// False, with a message, on an unknown option.
bool parse(int argc, char** argv, Options& options);

// Steady-clock nanoseconds: CLOCK_MONOTONIC on Linux, the performance counter on Windows, so that the stand-ins'
// times and a test's compare.
inline std::int64_t now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Writes "what T" to the focus log, T the time now: call it once the action is done.
void logDone(const Options& options, const std::string& what);

// Looks about once a millisecond whether the window holds the focus, for ever, and logs each change.
// Run it on a thread of its own; holds must be safe to call there.
[[noreturn]] void watchFocus(const Options& options, const std::function<bool()>& holds);

class Chat {
public:
    explicit Chat(const Options& options) : opt_(options) {}

    // One typed character (a code point); control characters are kept visible as "<xx>".
    void character(unsigned code);
    // Handles the typed line; returns how many lines were handled so far.
    int enter() {
        line(std::exchange(typed_, {}));
        return ++lines_;
    }
    // What a recorder notes for a key, or a marker for an odd key event.
    void note(const std::string& text);
    // Writes the ready file, once: the window can now be found and activated.
    void ready();

private:
    void line(const std::string& text);
    void say(const std::string& text);

    const Options& opt_;
    std::string typed_;
    std::ofstream log_;
    bool ready_ = false;
    int lines_ = 0;
};

} // namespace standin
