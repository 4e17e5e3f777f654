// WindowDriver for Windows: finds the game's top-level window by caption, brings it to the foreground
// past the foreground lock, confirms the keyboard focus and types through SendInput. A window's id is
// its handle. <windows.h>
// stays in the .cpp: its macros clash with Qt's headers.
#pragma once

#include "WindowDriver.h"

#include <memory>
#include <string>

class Win32WindowDriver : public WindowDriver {
public:
    Win32WindowDriver();
    ~Win32WindowDriver() override;
    Win32WindowDriver(const Win32WindowDriver&) = delete;
    Win32WindowDriver& operator=(const Win32WindowDriver&) = delete;

    WindowId activateWindow(const std::string& title) override;
    bool reactivateWindow(WindowId window, const std::string& title) override;
    bool sendKeys(WindowId window, const std::string& keys) override;

    // Why the last call failed, for diagnostics; empty after a success.
    const std::string& lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
