// What Corvane needs of the window system: bring a window to the front by its caption and type
// into it. One implementation per platform, plus a recording fake for tests.
#pragma once

#include <string>

class WindowDriver {
public:
    virtual ~WindowDriver() = default;

    // Brings to the front the top-level window whose caption equals title or, when none does, one
    // whose caption begins with it, and confirms it holds the keyboard focus. False when there is
    // none or the focus could not be confirmed; nothing may be typed then.
    virtual bool activateWindow(const std::string& title) = 0;

    // Types keys into the window activated last; "{ENTER}" is the Return key. False when a
    // character cannot be typed or the window no longer holds the focus.
    virtual bool sendKeys(const std::string& keys) = 0;
};
