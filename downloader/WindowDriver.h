// What Corvane needs of the window system: bring a window to the front and type into it. A run picks
// its window once, by caption, and from then on names it by its id, so that no key of the run can go
// to another window that carries a similar caption. One implementation per platform, plus a recording
// fake for tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class WindowDriver {
public:
    // The focus must still be there this long after activation saw it: a program that grabs the
    // focus back at once must not get the keys that follow.
    static constexpr std::chrono::milliseconds SettleTime{40};
    // How long a send keeps watching the focus after its last key. A window reads a key when it
    // has the focus, not when the key was sent: a game that loses the focus while it reads the keys
    // has lost them, and the send reports it at once rather than the next tick's activation.
    static constexpr std::chrono::milliseconds DeliveryTime{100};

    // A window as the window system knows it (its handle on Windows, its id on X11); 0 is none.
    using WindowId = std::uintptr_t;

    virtual ~WindowDriver() = default;

    // Brings to the front the top-level window whose caption equals title or, when none does, one
    // whose caption begins with it, and confirms it holds the keyboard focus. Returns that window,
    // or 0 when there is none or the focus could not be confirmed; nothing may be typed then.
    virtual WindowId activateWindow(const std::string& title) = 0;

    // Brings the window a run picked back to the front and confirms the focus, as above. False, with
    // no other window considered, when it is gone or its caption no longer equals or begins with title.
    virtual bool reactivateWindow(WindowId window, const std::string& title) = 0;

    // Types keys into window, which must be the window activated last; "{ENTER}" is the Return key.
    // False when a character cannot be typed, or when the window did not hold the focus from before
    // the first key until the keys had arrived, so that a send that fails is known to have failed at once.
    virtual bool sendKeys(WindowId window, const std::string& keys) = 0;
};
