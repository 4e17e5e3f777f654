#include "GameChat.h"

#include "FixtureBans.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <thread>
#include <utility>

namespace standin {
namespace {

void appendLine(const std::string& path, const std::string& line) {
    std::ofstream(path, std::ios::app | std::ios::binary) << line << '\n';
}

} // namespace

bool parse(int argc, char** argv, Options& o) {
    const std::map<std::string, std::string*> values = {
        {"--title", &o.title},     {"--logs", &o.logs},         {"--transcript", &o.transcript},
        {"--ready", &o.ready},     {"--stamps", &o.stamps},     {"--desktop-title", &o.desktopTitle},
        {"--retitle", &o.retitle}, {"--focus-log", &o.focusLog}};
    const std::map<std::string, bool*> flags = {{"--iconic", &o.iconic},          {"--recorder", &o.recorder},
                                                {"--steal-focus", &o.stealFocus}, {"--wine-desktop", &o.wineDesktop},
                                                {"--unmanaged", &o.unmanaged},    {"--drop-focus", &o.dropFocus}};
    for (int i = 1; i < argc; ++i) {
        if (const auto v = values.find(argv[i]); v != values.end() && i + 1 < argc) {
            *v->second = argv[++i];
        } else if (const auto f = flags.find(argv[i]); f != flags.end()) {
            *f->second = true;
        } else {
            std::fprintf(stderr, "stand_in_game: bad argument %s\n", argv[i]);
            return false;
        }
    }
    return true;
}

void logDone(const Options& o, const std::string& what) {
    appendLine(o.focusLog, what + " " + std::to_string(now()));
}

void watchFocus(const Options& o, const std::function<bool()>& holds) {
    // The time before a look bounds a change after it from below, the time after it one before it from above.
    std::int64_t lastLook = 0;
    bool held = false;
    bool first = true;
    for (;;) {
        const std::int64_t before = now();
        const bool h = holds();
        const std::int64_t after = now();
        if (first || h != held) {
            appendLine(o.focusLog,
                       std::string(h ? "held " : "lost ") + std::to_string(lastLook) + " " + std::to_string(after));
            held = h;
            first = false;
        }
        lastLook = before;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Chat::character(unsigned code) {
    if (code >= 0x20 && code != 0x7F && code <= 0xFF) {
        typed_ += static_cast<char>(code); // Latin-1, as the client's chat
    } else {
        char hex[16];
        std::snprintf(hex, sizeof hex, "<%02x>", code);
        typed_ += hex;
    }
}

void Chat::note(const std::string& text) {
    if (opt_.recorder) {
        appendLine(opt_.transcript, text);
    } else {
        typed_ += text;
    }
}

void Chat::ready() {
    if (!std::exchange(ready_, true)) {
        appendLine(opt_.ready, "ready");
    }
}

void Chat::line(const std::string& text) {
    appendLine(opt_.stamps, std::to_string(now()));
    appendLine(opt_.transcript, text);

    static const std::regex listban(R"(\?listban -d( -\*)? #([0-9]{1,6}) ([0-9]{1,4}))");
    std::smatch m;
    if (text == "?log") {
        if (log_.is_open()) {
            say("Log file closed");
            log_.close();
        }
    } else if (text.starts_with("?log ") && text.size() > 5) {
        log_.close();
        log_.open(opt_.logs + "/" + text.substr(5), std::ios::app | std::ios::binary);
        say("Logging to " + text.substr(5));
    } else if (std::regex_match(text, m, listban)) {
        const auto& bans = fixture::banList(m[1].matched);
        const long first = std::stol(m[2].str());
        const long last = first + std::stol(m[3].str()) - 1;
        say("BanG: ban list, entries " + m[2].str() + " to " + std::to_string(last) + " of " +
            std::to_string(bans.size()));
        for (long k = first; k <= last && k <= static_cast<long>(bans.size()); ++k) {
            say(bans[static_cast<std::size_t>(k - 1)]);
        }
    }
}

void Chat::say(const std::string& text) {
    if (log_.is_open()) {
        log_ << text << "\r\n" << std::flush;
    }
}

} // namespace standin
