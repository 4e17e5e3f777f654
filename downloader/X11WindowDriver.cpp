// X11 window driver. No Qt header may be included here: Xlib's macros (None, Bool, KeyPress, ...)
// clash with Qt's. Window lookup, focus checks and typing are plain Xlib/XKB/XTEST; libxdo is used
// for the window manager's activation request only.
#include "X11WindowDriver.h"

#include "X11Keystrokes.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

// Debian's xdo.h (3.20160805) declares its C functions without extern "C".
extern "C" {
#include <xdo.h>
}

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long activation waits for the window manager to hand the game window the focus.
constexpr auto ActivationTimeout = 1000ms;
constexpr auto PollInterval = 10ms;

using x11keys::Stroke;

// Xlib's default error handler ends the process on BadWindow, which any window may cause by closing
// between two requests. While a trap is alive, errors of our own connection are recorded instead.
// The handler is process-wide, so the previous one is restored afterwards and gets other displays'.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* dpy) : dpy_(dpy), outer_(active_) {
        XSync(dpy_, False);
        active_ = this;
        previous_ = XSetErrorHandler(&ErrorTrap::handle);
    }
    ~ErrorTrap() {
        XSync(dpy_, False);
        XSetErrorHandler(previous_);
        active_ = outer_;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // True when an X error arrived since the last call; syncs first so that it cannot be missed.
    bool failed() {
        XSync(dpy_, False);
        return std::exchange(failed_, false);
    }

private:
    static int handle(Display* dpy, XErrorEvent* event) {
        for (ErrorTrap* trap = active_; trap != nullptr; trap = trap->outer_) {
            if (trap->dpy_ == dpy) {
                trap->failed_ = true;
                return 0;
            }
        }
        ErrorTrap* outermost = active_;
        while (outermost != nullptr && outermost->outer_ != nullptr) {
            outermost = outermost->outer_;
        }
        return outermost != nullptr && outermost->previous_ != nullptr ? outermost->previous_(dpy, event) : 0;
    }

    static inline ErrorTrap* active_ = nullptr;
    Display* dpy_;
    ErrorTrap* outer_;
    XErrorHandler previous_ = nullptr;
    bool failed_ = false;
};

// A window that a title may name, and the top-level window to activate for it (the same window
// but for a game inside a Wine desktop).
struct Candidate {
    std::string caption;
    Window named;
    Window activate;
};

std::string latin1ToUtf8(const unsigned char* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

struct X11WindowDriver::Impl {
    Display* dpy = nullptr;
    xdo_t* xdo = nullptr;
    Window root = 0;
    Window activated = 0;   // the top-level window that holds the focus while keys are typed
    Window activatedId = 0; // and the window the caller knows, by which it was found
    std::string error;
    Atom wmState = 0, netWmName = 0, utf8String = 0, netActiveWindow = 0, netSupported = 0;

    ~Impl() {
        if (xdo != nullptr) {
            xdo_free(xdo); // leaves the display open: it was handed over opened
        }
        if (dpy != nullptr) {
            XCloseDisplay(dpy);
        }
    }

    bool fail(std::string why) {
        error = std::move(why);
        return false;
    }

    std::optional<std::vector<unsigned char>> property(Window w, Atom name, Atom type, int format) {
        Atom actualType = 0;
        int actualFormat = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, w, name, 0, 4096, False, type, &actualType, &actualFormat, &count, &after, &data) !=
                Success ||
            data == nullptr) {
            return std::nullopt;
        }
        std::optional<std::vector<unsigned char>> out;
        if (actualType == type && actualFormat == format) {
            const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
            out.emplace(data, data + count * unit);
        }
        XFree(data);
        return out;
    }

    std::optional<long> cardinal(Window w, Atom name, Atom type) {
        const auto bytes = property(w, name, type, 32);
        if (!bytes || bytes->size() < sizeof(long)) {
            return std::nullopt;
        }
        long value = 0;
        std::copy_n(bytes->data(), sizeof(long), reinterpret_cast<unsigned char*>(&value));
        return value;
    }

    // The caption as UTF-8: _NET_WM_NAME when set, else WM_NAME.
    std::optional<std::string> caption(Window w) {
        if (auto utf8 = property(w, netWmName, utf8String, 8)) {
            return std::string(utf8->begin(), utf8->end());
        }
        XTextProperty text{};
        if (XGetWMName(dpy, w, &text) == 0 || text.value == nullptr) {
            return std::nullopt;
        }
        std::optional<std::string> out;
        if (text.encoding == XA_STRING) {
            out = latin1ToUtf8(text.value, text.nitems);
        } else {
            char** list = nullptr;
            int n = 0;
            if (Xutf8TextPropertyToTextList(dpy, &text, &list, &n) >= Success && n > 0 && list != nullptr) {
                out = list[0];
            } else {
                out = std::string(reinterpret_cast<const char*>(text.value), text.nitems);
            }
            if (list != nullptr) {
                XFreeStringList(list);
            }
        }
        XFree(text.value);
        return out;
    }

    std::vector<Window> children(Window w) {
        Window rootRet = 0, parent = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        std::vector<Window> out;
        if (XQueryTree(dpy, w, &rootRet, &parent, &kids, &n) != 0 && kids != nullptr) {
            out.assign(kids, kids + n); // bottom to top
            XFree(kids);
        }
        return out;
    }

    std::optional<Window> parentOf(Window w) {
        Window rootRet = 0, parent = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        if (XQueryTree(dpy, w, &rootRet, &parent, &kids, &n) == 0) {
            return std::nullopt;
        }
        if (kids != nullptr) {
            XFree(kids);
        }
        return parent;
    }

    // Client windows are those that carry WM_STATE (normal or minimised); under a reparenting window
    // manager they sit inside frame windows, so the search descends until it meets one.
    void collectClients(Window w, int depth, std::vector<Window>& out) {
        for (Window child : children(w)) {
            const auto state = cardinal(child, wmState, wmState);
            if (state) {
                if (*state == NormalState || *state == IconicState) {
                    out.push_back(child);
                }
            } else if (depth > 1) {
                collectClients(child, depth - 1, out);
            }
        }
    }

    // Named windows inside a Wine virtual desktop: the game's window is a child there.
    void collectNamedDescendants(Window w, Window desktop, int depth, std::vector<Candidate>& out) {
        for (Window child : children(w)) {
            if (auto name = caption(child)) {
                out.push_back({std::move(*name), child, desktop});
            }
            if (depth > 1) {
                collectNamedDescendants(child, desktop, depth - 1, out);
            }
        }
    }

    std::vector<Candidate> candidates() {
        std::vector<Window> clients;
        collectClients(root, 4, clients);
        std::vector<Candidate> out;
        static const std::string wineSuffix = " - Wine desktop";
        for (Window w : clients) {
            auto name = caption(w);
            if (!name) {
                continue;
            }
            const bool wineDesktop = name->size() >= wineSuffix.size() && name->ends_with(wineSuffix);
            out.push_back({std::move(*name), w, w});
            if (wineDesktop) {
                collectNamedDescendants(w, w, 4, out);
            }
        }
        std::reverse(out.begin(), out.end()); // topmost first
        return out;
    }

    // By title: the exact caption first, then the first caption that begins with it. By id: that
    // window, still found as a top-level window and still captioned so.
    std::optional<Candidate> find(const std::string& title, Window id = 0) {
        const auto all = candidates();
        for (const auto& c : all) {
            if (id == 0 ? c.caption == title : c.named == id && c.caption.starts_with(title)) {
                return c;
            }
        }
        for (const auto& c : all) {
            if (id == 0 && c.caption.starts_with(title)) {
                return c;
            }
        }
        return std::nullopt;
    }

    bool windowManagerActivates() {
        const auto atoms = property(root, netSupported, XA_ATOM, 32);
        if (!atoms) {
            return false;
        }
        for (std::size_t i = 0; i + sizeof(long) <= atoms->size(); i += sizeof(long)) {
            long atom = 0;
            std::copy_n(atoms->data() + i, sizeof(long), reinterpret_cast<unsigned char*>(&atom));
            if (static_cast<Atom>(atom) == netActiveWindow) {
                return true;
            }
        }
        return false;
    }

    bool holdsFocus(Window target) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        if (focus == None || focus == PointerRoot) {
            return false;
        }
        for (Window w = focus; w != 0 && w != root;) {
            if (w == target) {
                return true;
            }
            const auto parent = parentOf(w);
            if (!parent) {
                return false;
            }
            w = *parent;
        }
        return false;
    }

    bool isActive(Window target) {
        const auto active = cardinal(root, netActiveWindow, XA_WINDOW);
        return active && static_cast<Window>(*active) == target;
    }

    bool confirmed(Window target, ErrorTrap& trap) {
        const bool ok = isActive(target) && holdsFocus(target);
        return !trap.failed() && ok;
    }

    // Activates the window that title names or, given an id, that window alone (activatedId then).
    bool activate(const std::string& title, Window id) {
        activated = 0;
        activatedId = 0;
        if (title.empty()) {
            return fail("an empty title names no window");
        }
        ErrorTrap trap(dpy);
        if (!windowManagerActivates()) {
            return fail("no window manager that supports _NET_ACTIVE_WINDOW is running");
        }
        const auto target = find(title, id);
        trap.failed(); // a window that closed during the search is simply not found
        if (!target) {
            return fail(id == 0 ? "no top-level window is titled \"" + title + "\""
                                : "the window of the run is gone or no longer titled \"" + title + "\"");
        }
        // libxdo asks the window manager as a pager would, which it honours even while another
        // program has the focus; it also switches to the window's desktop and restores a minimised one.
        if (xdo_activate_window(xdo, target->activate) != 0 || trap.failed()) {
            return fail("the window manager could not be asked to activate \"" + title + "\"");
        }
        // xdo_wait_for_window_active reports success after its timeout too, so the wait is our own.
        const auto deadline = Clock::now() + ActivationTimeout;
        while (Clock::now() < deadline) {
            if (confirmed(target->activate, trap)) {
                std::this_thread::sleep_for(WindowDriver::SettleTime);
                if (confirmed(target->activate, trap)) {
                    activated = target->activate;
                    activatedId = target->named;
                    error.clear();
                    return true;
                }
            }
            std::this_thread::sleep_for(PollInterval);
        }
        return fail("\"" + title + "\" did not get the keyboard focus");
    }

    void tap(const Stroke& stroke, XModifierKeymap* modmap) {
        const auto mods = x11keys::modifierKeysFor(modmap, stroke.mods).value_or(std::vector<KeyCode>{});
        for (KeyCode m : mods) {
            XTestFakeKeyEvent(dpy, m, True, CurrentTime);
        }
        XTestFakeKeyEvent(dpy, stroke.keycode, True, CurrentTime);
        XTestFakeKeyEvent(dpy, stroke.keycode, False, CurrentTime);
        for (auto it = mods.rbegin(); it != mods.rend(); ++it) {
            XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
        }
    }

    bool send(Window window, const std::string& keys) {
        if (activated == 0 || window != activatedId) {
            return fail("keys go only to the window activated last");
        }
        const auto syms = x11keys::parseKeys(keys, error);
        if (!syms) {
            return false;
        }
        ErrorTrap trap(dpy);
        XkbDescPtr xkb = XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd);
        XModifierKeymap* modmap = XGetModifierMapping(dpy);
        XkbStateRec state{};
        XkbGetState(dpy, XkbUseCoreKbd, &state);
        const bool ok = xkb != nullptr && modmap != nullptr && typeAll(*syms, xkb, modmap, state, trap);
        if (modmap != nullptr) {
            XFreeModifiermap(modmap);
        }
        if (xkb != nullptr) {
            XkbFreeKeyboard(xkb, XkbAllComponentsMask, True);
        } else {
            fail("the keyboard map could not be read");
        }
        return ok && keepsFocus(trap);
    }

    bool typeAll(const std::vector<KeySym>& syms, XkbDescPtr xkb, XModifierKeymap* modmap, const XkbStateRec& state,
                 ErrorTrap& trap) {
        // Every key is looked up first: a character the keyboard cannot produce types nothing at all.
        std::vector<Stroke> strokes;
        for (KeySym sym : syms) {
            const auto stroke = x11keys::strokeFor(xkb, state.group, modmap, sym);
            if (!stroke) {
                const char* name = XKeysymToString(sym);
                return fail(std::string("the keyboard has no key for ") + (name != nullptr ? name : "a character"));
            }
            strokes.push_back(*stroke);
        }
        // The server goes to the focus when it handles each key, and another program may move the
        // focus between any check of ours and that moment. While the server is grabbed it serves no
        // other program, so the window checked is the window that gets every key.
        XGrabServer(dpy);
        const bool ok = holdsFocus(activated) && !trap.failed();
        if (ok) {
            const auto held = heldModifierKeys(modmap);
            const unsigned int locked = state.locked_mods;
            clearModifiers(held, locked, state.latched_mods);
            for (const Stroke& s : strokes) {
                tap(s, modmap);
            }
            restoreModifiers(held, locked);
        }
        XSync(dpy, False); // the fake keys are handled before the grab ends
        XUngrabServer(dpy);
        XFlush(dpy);
        return ok || fail("the activated window no longer holds the focus");
    }

    // The keys are in the game's queue now. A game that loses the focus while it reads them has lost
    // the run all the same; watching for a while lets this send report it.
    bool keepsFocus(ErrorTrap& trap) {
        const auto until = Clock::now() + WindowDriver::DeliveryTime;
        for (;;) {
            if (!holdsFocus(activated) || trap.failed()) {
                return fail("the activated window lost the focus while the keys were on their way");
            }
            if (Clock::now() >= until) {
                error.clear();
                return true;
            }
            std::this_thread::sleep_for(PollInterval);
        }
    }

    std::vector<KeyCode> heldModifierKeys(XModifierKeymap* modmap) {
        char keys[32] = {};
        XQueryKeymap(dpy, keys);
        std::vector<KeyCode> held;
        for (int i = 0; i < 8 * modmap->max_keypermod; ++i) {
            const KeyCode kc = modmap->modifiermap[i];
            if (kc != 0 && (keys[kc / 8] & (1 << (kc % 8))) != 0 &&
                std::find(held.begin(), held.end(), kc) == held.end()) {
                held.push_back(kc);
            }
        }
        return held;
    }

    void clearModifiers(const std::vector<KeyCode>& held, unsigned int locked, unsigned int latched) {
        for (KeyCode kc : held) {
            XTestFakeKeyEvent(dpy, kc, False, CurrentTime);
        }
        if (locked != 0) {
            XkbLockModifiers(dpy, XkbUseCoreKbd, locked, 0);
        }
        if (latched != 0) {
            XkbLatchModifiers(dpy, XkbUseCoreKbd, latched, 0);
        }
        XSync(dpy, False);
    }

    void restoreModifiers(const std::vector<KeyCode>& held, unsigned int locked) {
        if (locked != 0) {
            XkbLockModifiers(dpy, XkbUseCoreKbd, locked, locked);
        }
        for (KeyCode kc : held) {
            XTestFakeKeyEvent(dpy, kc, True, CurrentTime);
        }
    }
};

X11WindowDriver::X11WindowDriver() : d(std::make_unique<Impl>()) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        d->error = "DISPLAY is not set";
        return;
    }
    d->dpy = XOpenDisplay(name);
    if (d->dpy == nullptr) {
        d->error = std::string("cannot open display ") + name;
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (XTestQueryExtension(d->dpy, &event, &error, &major, &minor) == 0) {
        d->error = "the X server has no XTEST extension";
        XCloseDisplay(std::exchange(d->dpy, nullptr));
        return;
    }
    d->root = DefaultRootWindow(d->dpy);
    d->wmState = XInternAtom(d->dpy, "WM_STATE", False);
    d->netWmName = XInternAtom(d->dpy, "_NET_WM_NAME", False);
    d->utf8String = XInternAtom(d->dpy, "UTF8_STRING", False);
    d->netActiveWindow = XInternAtom(d->dpy, "_NET_ACTIVE_WINDOW", False);
    d->netSupported = XInternAtom(d->dpy, "_NET_SUPPORTED", False);
    d->xdo = xdo_new_with_opened_display(d->dpy, nullptr, 0);
    if (d->xdo == nullptr) {
        d->error = "libxdo could not be set up";
        XCloseDisplay(std::exchange(d->dpy, nullptr));
        return;
    }
    d->xdo->quiet = 1;
}

X11WindowDriver::~X11WindowDriver() = default;

WindowDriver::WindowId X11WindowDriver::activateWindow(const std::string& title) {
    return d->dpy != nullptr && d->activate(title, 0) ? d->activatedId : 0;
}

bool X11WindowDriver::reactivateWindow(WindowId window, const std::string& title) {
    if (d->dpy == nullptr) {
        return false;
    }
    // An id of 0 would let the caption pick the window.
    if (window == 0) {
        d->activated = d->activatedId = 0;
        return d->fail("no window to activate again");
    }
    return d->activate(title, static_cast<Window>(window));
}

bool X11WindowDriver::sendKeys(WindowId window, const std::string& keys) {
    return d->dpy != nullptr && d->send(static_cast<Window>(window), keys);
}

const std::string& X11WindowDriver::lastError() const {
    return d->error;
}
