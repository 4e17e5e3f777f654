// A window driver for tests: records every activation and every send in order, and fails on request.
#pragma once

#include "WindowDriver.h"

#include <string>
#include <vector>

class RecordingDriver : public WindowDriver {
public:
    struct Call {
        enum class Kind { Activate, Send };
        Kind kind;
        std::string text;   // the title asked for, or the keys sent
        std::string target; // for a send: the caption of the window activated last, empty when none
        bool result;
    };

    // Captions of the open top-level windows; activation matches them the way the real drivers do.
    std::vector<std::string> windows{"Continuum"};
    // 1-based number of the activation (or send) from which every later one fails; 0 for never.
    int failActivationFrom = 0;
    int failSendFrom = 0;

    std::vector<Call> calls;

    bool activateWindow(const std::string& title) override {
        ++activations;
        bool found = false;
        for (const std::string& caption : windows) {
            if (caption == title || caption.starts_with(title)) {
                active = caption;
                found = true;
                break;
            }
        }
        const bool ok = found && !(failActivationFrom > 0 && activations >= failActivationFrom);
        if (!ok)
            active.clear();
        calls.push_back({Call::Kind::Activate, title, {}, ok});
        return ok;
    }

    bool sendKeys(const std::string& keys) override {
        ++sends;
        const bool ok = !active.empty() && !(failSendFrom > 0 && sends >= failSendFrom);
        calls.push_back({Call::Kind::Send, keys, active, ok});
        return ok;
    }

    // The keys of every send, in order.
    std::vector<std::string> sent() const {
        std::vector<std::string> keys;
        for (const Call& c : calls) {
            if (c.kind == Call::Kind::Send)
                keys.push_back(c.text);
        }
        return keys;
    }

    int activationCount() const { return activations; }
    int sendCount() const { return sends; }

private:
    int activations = 0;
    int sends = 0;
    std::string active;
};
