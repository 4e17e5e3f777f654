// WindowDriver for X11: finds the game's top-level window by caption, activates it through the window
// manager, confirms the keyboard focus and types through XTEST. A window's id is its X window id. All Xlib and libxdo
// use stays in the .cpp, so this header can sit next to Qt's.
#pragma once

#include "WindowDriver.h"

#include <memory>
#include <string>

class X11WindowDriver : public WindowDriver {
public:
    // Connects to the display named by $DISPLAY. Without one every call fails (see lastError()).
    X11WindowDriver();
    ~X11WindowDriver() override;
    X11WindowDriver(const X11WindowDriver&) = delete;
    X11WindowDriver& operator=(const X11WindowDriver&) = delete;

    WindowId activateWindow(const std::string& title) override;
    bool reactivateWindow(WindowId window, const std::string& title) override;
    bool sendKeys(WindowId window, const std::string& keys) override;

    // Why the last call failed, for diagnostics; empty after a success.
    const std::string& lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
