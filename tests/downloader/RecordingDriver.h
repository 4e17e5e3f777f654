// A window driver for tests: the game window "Continuum", matched by caption prefix like the real drivers
// (so an empty title matches it too), and a record of every call in order.
#pragma once

#include "WindowDriver.h"

#include <string>
#include <string_view>
#include <vector>

class RecordingDriver : public WindowDriver {
public:
    int callsLeft = -1;             // calls that succeed before the game is gone and every later one fails; -1: all
    std::vector<std::string> calls; // "activate TITLE" or the keys sent, with " FAILED" appended on failure

    bool activateWindow(const std::string& title) override {
        active = std::string_view("Continuum").starts_with(title) && succeeds();
        calls.push_back("activate " + title + (active ? "" : " FAILED"));
        return active;
    }

    bool sendKeys(const std::string& keys) override {
        const bool ok = active && succeeds();
        calls.push_back(keys + (ok ? "" : " FAILED"));
        return ok;
    }

private:
    bool succeeds() {
        if (callsLeft > 0)
            --callsLeft;
        else if (callsLeft == 0)
            return false;
        return true;
    }
    bool active = false;
};
