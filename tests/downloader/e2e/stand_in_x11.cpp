// A stand-in for the game client, a plain Xlib program. Its window collects typed characters into a
// chat line and handles the line on Return, as the client's chat does:
//   "?log NAME"                      logs all chat to LOGS/NAME until "?log"
//   "?listban -d [-*] #N COUNT"      prints a header and entries N.. of the zone (or network) ban list
// Every typed line is appended to the transcript, so tests see exactly which commands arrived.
//
// As a recorder (--recorder) it interprets nothing and writes each key it receives to the transcript;
// with --steal-focus it also takes the focus and takes it back whenever it loses it.
//
// Options: --title T  --logs DIR  --transcript FILE  --ready FILE  --stamps FILE
//          --iconic (start minimised)  --wine-desktop (a "Default - Wine desktop" window holding a
//          child window titled T; --desktop-title names the outer window otherwise)
//          --recorder  --steal-focus  --unmanaged (override-redirect: the window manager never
//          learns of it, nor of its taking the focus)
#include "FixtureBans.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <regex>
#include <string>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

struct Options {
    std::string title = "Continuum";
    std::string logs = ".";
    std::string transcript;
    std::string ready;
    std::string stamps;
    bool iconic = false;
    bool wineDesktop = false;
    std::string desktopTitle = "Default - Wine desktop";
    bool recorder = false;
    bool stealFocus = false;
    bool unmanaged = false;
};

void appendLine(const std::string& path, const std::string& line) {
    if (path.empty()) {
        return;
    }
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line << '\n';
}

class Game {
public:
    explicit Game(const Options& o) : opt_(o) {}

    // Handles one finished chat line.
    void line(const std::string& text) {
        if (!opt_.stamps.empty()) {
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            appendLine(opt_.stamps, std::to_string(ts.tv_sec * 1000000000LL + ts.tv_nsec));
        }
        appendLine(opt_.transcript, text);

        static const std::regex listban(R"(\?listban -d( -\*)? #([0-9]{1,6}) ([0-9]{1,4}))");
        std::smatch m;
        if (text == "?log") {
            if (log_.is_open()) {
                chat("Log file closed");
                log_.close();
            }
        } else if (text.rfind("?log ", 0) == 0 && text.size() > 5) {
            if (log_.is_open()) {
                log_.close();
            }
            log_.open(opt_.logs + "/" + text.substr(5), std::ios::app | std::ios::binary);
            chat("Logging to " + text.substr(5));
        } else if (std::regex_match(text, m, listban)) {
            const auto& bans = fixture::banList(m[1].matched);
            const long first = std::stol(m[2].str());
            const long last = first + std::stol(m[3].str()) - 1;
            chat("BanG: ban list, entries " + m[2].str() + " to " + std::to_string(last) + " of " +
                 std::to_string(bans.size()));
            for (long k = first; k <= last && k <= static_cast<long>(bans.size()); ++k) {
                chat(fixture::entryLine(bans[static_cast<std::size_t>(k - 1)]));
            }
        } else if (!text.empty() && text[0] != '?') {
            chat("Moderator> " + text);
        }
    }

private:
    void chat(const std::string& text) {
        if (log_.is_open()) {
            log_ << text << "\r\n";
            log_.flush();
        }
    }

    const Options& opt_;
    std::ofstream log_;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                return false;
            }
            into = argv[++i];
            return true;
        };
        bool ok = true;
        if (a == "--title") {
            ok = value(o.title);
        } else if (a == "--logs") {
            ok = value(o.logs);
        } else if (a == "--transcript") {
            ok = value(o.transcript);
        } else if (a == "--ready") {
            ok = value(o.ready);
        } else if (a == "--stamps") {
            ok = value(o.stamps);
        } else if (a == "--iconic") {
            o.iconic = true;
        } else if (a == "--desktop-title") {
            ok = value(o.desktopTitle);
        } else if (a == "--wine-desktop") {
            o.wineDesktop = true;
        } else if (a == "--recorder") {
            o.recorder = true;
        } else if (a == "--steal-focus") {
            o.stealFocus = true;
        } else if (a == "--unmanaged") {
            o.unmanaged = true;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "stand_in_game: bad argument %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

void setTitle(Display* dpy, Window w, const std::string& title) {
    XStoreName(dpy, w, title.c_str());
    XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False), XInternAtom(dpy, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
}

void requestActivation(Display* dpy, Window w) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureNotifyMask | SubstructureRedirectMask, &ev);
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parse(argc, argv, opt)) {
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "stand_in_game: cannot open display\n");
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    const int screen = DefaultScreen(dpy);
    const Window top = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 40, 40, 480, 320, 0, BlackPixel(dpy, screen),
                                           WhitePixel(dpy, screen));
    const long mask = KeyPressMask | FocusChangeMask | StructureNotifyMask | PropertyChangeMask;
    XSelectInput(dpy, top, mask);
    if (opt.unmanaged) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        XChangeWindowAttributes(dpy, top, CWOverrideRedirect, &attributes);
    }
    setTitle(dpy, top, opt.wineDesktop ? opt.desktopTitle : opt.title);
    XClassHint cls{const_cast<char*>("stand_in_game"), const_cast<char*>("StandInGame")};
    XSetClassHint(dpy, top, &cls);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = opt.iconic ? IconicState : NormalState;
    XSetWMHints(dpy, top, &hints);
    Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, top, &deleteWindow, 1);
    if (opt.wineDesktop) {
        // The game's own window inside the virtual desktop: a child, not a top-level window.
        const Window child =
            XCreateSimpleWindow(dpy, top, 10, 10, 400, 260, 0, BlackPixel(dpy, screen), WhitePixel(dpy, screen));
        XSelectInput(dpy, child, KeyPressMask);
        setTitle(dpy, child, opt.title);
        XMapWindow(dpy, child);
    }
    XMapWindow(dpy, top);
    XFlush(dpy);

    const Atom wmState = XInternAtom(dpy, "WM_STATE", False);
    Game game(opt);
    std::string chatLine;
    bool managed = false;
    bool readyWritten = false;
    auto writeReady = [&]() {
        if (!readyWritten && !opt.ready.empty()) {
            appendLine(opt.ready, "ready");
        }
        readyWritten = true;
    };
    // The first time it asks the window manager; later it takes the focus behind its back, so the
    // window manager may still call another window active.
    auto takeFocus = [&](bool viaWindowManager) {
        XSetInputFocus(dpy, top, RevertToParent, CurrentTime);
        if (viaWindowManager) {
            requestActivation(dpy, top);
        }
        XFlush(dpy);
    };

    pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
    bool running = true;
    while (running && stopRequested == 0) {
        if (XPending(dpy) == 0) {
            poll(&pfd, 1, 50);
            continue;
        }
        XEvent ev;
        XNextEvent(dpy, &ev);
        switch (ev.type) {
        case PropertyNotify:
            // The window manager has taken the window on: it can now be found and activated.
            if (ev.xproperty.atom == wmState && ev.xproperty.state == PropertyNewValue && !managed) {
                managed = true;
                if (opt.stealFocus) {
                    takeFocus(true);
                } else {
                    writeReady();
                }
            }
            break;
        case MapNotify:
            if (opt.unmanaged && !managed) {
                managed = true;
                if (opt.stealFocus) {
                    takeFocus(false);
                } else {
                    writeReady();
                }
            }
            break;
        case FocusIn:
            if (opt.stealFocus && ev.xfocus.detail != NotifyPointer) {
                writeReady();
            }
            break;
        case FocusOut:
            if (opt.stealFocus && managed && ev.xfocus.mode == NotifyNormal && ev.xfocus.detail != NotifyInferior &&
                ev.xfocus.detail != NotifyPointer) {
                takeFocus(false);
            }
            break;
        case MappingNotify:
            XRefreshKeyboardMapping(&ev.xmapping);
            break;
        case ClientMessage:
            if (static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow) {
                running = false;
            }
            break;
        case KeyPress: {
            char buf[32] = {};
            KeySym sym = NoSymbol;
            const int n = XLookupString(&ev.xkey, buf, sizeof buf - 1, &sym, nullptr);
            if (opt.recorder) {
                const char* name = XKeysymToString(sym);
                appendLine(opt.transcript, name != nullptr ? name : "NoSymbol");
                break;
            }
            if (sym == XK_Return || sym == XK_KP_Enter) {
                game.line(chatLine);
                chatLine.clear();
            } else if (sym == XK_BackSpace) {
                if (!chatLine.empty()) {
                    chatLine.pop_back();
                }
            } else {
                for (int i = 0; i < n; ++i) {
                    const auto c = static_cast<unsigned char>(buf[i]);
                    if (c >= 0x20 && c != 0x7F) {
                        chatLine += static_cast<char>(c);
                    } else {
                        char hex[8];
                        std::snprintf(hex, sizeof hex, "<%02x>", c);
                        chatLine += hex; // stray control keys stay visible in the transcript
                    }
                }
            }
            break;
        }
        default:
            break;
        }
    }
    if (!chatLine.empty()) {
        appendLine(opt.transcript, "<unfinished>" + chatLine);
    }
    XCloseDisplay(dpy);
    return 0;
}
