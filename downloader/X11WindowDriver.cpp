// X11 window driver. No Qt header may be included here: Xlib's macros (None, Bool, KeyPress, ...)
// clash with Qt's. Window lookup, focus checks and typing are plain Xlib/XKB/XTEST; libxdo is used
// for the window manager's activation request only.
#include "X11WindowDriver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

// Debian's xdo.h (3.20160805) declares its C functions without extern "C".
extern "C" {
#include <xdo.h>
}

#include <algorithm>
#include <bit>
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
// The focus must still be there this much later: a program that grabs the focus back at once must
// not get the keys that follow.
constexpr auto SettleTime = 40ms;

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

// A window that a title may name, and the top-level window to activate for it.
struct Candidate {
    std::string caption;
    Window activate;
};

// One key to type: its keycode and the real modifiers that select the wanted level.
struct Stroke {
    KeyCode keycode;
    unsigned int mods;
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

// Decodes UTF-8 into code points; nullopt for malformed input.
std::optional<std::vector<char32_t>> decodeUtf8(const std::string& text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size()) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

KeySym keysymForCodePoint(char32_t cp) {
    if (cp == U'\n' || cp == U'\r') {
        return XK_Return; // a line break means Enter here, never Linefeed
    }
    if (cp == U'\t') {
        return XK_Tab;
    }
    if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<KeySym>(cp);
    }
    if (cp > 0xFF && cp <= 0x10FFFF) {
        return static_cast<KeySym>(0x01000000 | cp);
    }
    return NoSymbol;
}

} // namespace

struct X11WindowDriver::Impl {
    Display* dpy = nullptr;
    xdo_t* xdo = nullptr;
    Window root = 0;
    Window activated = 0;
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
                out.push_back({std::move(*name), desktop});
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
            out.push_back({std::move(*name), w});
            if (wineDesktop) {
                collectNamedDescendants(w, w, 4, out);
            }
        }
        std::reverse(out.begin(), out.end()); // topmost first
        return out;
    }

    std::optional<Window> find(const std::string& title) {
        const auto all = candidates();
        for (const auto& c : all) {
            if (c.caption == title) {
                return c.activate;
            }
        }
        for (const auto& c : all) {
            if (c.caption.starts_with(title)) {
                return c.activate;
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

    bool activate(const std::string& title) {
        activated = 0;
        if (title.empty()) {
            return fail("an empty title names no window");
        }
        ErrorTrap trap(dpy);
        if (!windowManagerActivates()) {
            return fail("no window manager that supports _NET_ACTIVE_WINDOW is running");
        }
        const auto target = find(title);
        trap.failed(); // a window that closed during the search is simply not found
        if (!target) {
            return fail("no top-level window is titled \"" + title + "\"");
        }
        // libxdo asks the window manager as a pager would, which it honours even while another
        // program has the focus; it also switches to the window's desktop and restores a minimised one.
        if (xdo_activate_window(xdo, *target) != 0 || trap.failed()) {
            return fail("the window manager could not be asked to activate \"" + title + "\"");
        }
        // xdo_wait_for_window_active reports success after its timeout too, so the wait is our own.
        const auto deadline = Clock::now() + ActivationTimeout;
        while (Clock::now() < deadline) {
            if (confirmed(*target, trap)) {
                std::this_thread::sleep_for(SettleTime);
                if (confirmed(*target, trap)) {
                    activated = *target;
                    error.clear();
                    return true;
                }
            }
            std::this_thread::sleep_for(PollInterval);
        }
        return fail("\"" + title + "\" did not get the keyboard focus");
    }

    // Finds a key of the current keyboard group that yields sym, with the fewest modifiers; Lock is
    // never used, since pressing it would toggle Caps Lock.
    std::optional<Stroke> strokeFor(XkbDescPtr xkb, int group, XModifierKeymap* modmap, KeySym sym) {
        std::optional<Stroke> best;
        for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
            const auto code = static_cast<KeyCode>(kc);
            const int groups = XkbKeyNumGroups(xkb, code);
            if (groups == 0) {
                continue;
            }
            const int g = group < groups ? group : group % groups;
            XkbKeyTypePtr type = XkbKeyKeyType(xkb, code, g);
            for (int level = 0; level < type->num_levels; ++level) {
                if (XkbKeySymEntry(xkb, code, level, g) != sym) {
                    continue;
                }
                std::vector<unsigned int> choices;
                bool levelZeroTaken = false;
                for (int e = 0; e < type->map_count; ++e) {
                    const XkbKTMapEntryRec& entry = type->map[e];
                    if (!entry.active) {
                        continue;
                    }
                    if (entry.mods.mask == 0 && entry.level != 0) {
                        levelZeroTaken = true;
                    }
                    if (entry.level == level && (entry.mods.mask & LockMask) == 0) {
                        choices.push_back(entry.mods.mask);
                    }
                }
                if (level == 0 && !levelZeroTaken) {
                    choices.push_back(0);
                }
                for (unsigned int mods : choices) {
                    if (!modifierKeysFor(modmap, mods)) {
                        continue;
                    }
                    if (!best || std::popcount(mods) < std::popcount(best->mods)) {
                        best = Stroke{code, mods};
                    }
                }
            }
        }
        return best;
    }

    // One key per modifier bit, taken from the modifier map; nullopt when a bit has none.
    static std::optional<std::vector<KeyCode>> modifierKeysFor(XModifierKeymap* modmap, unsigned int mods) {
        std::vector<KeyCode> keys;
        for (int bit = 0; bit < 8; ++bit) {
            if ((mods & (1U << bit)) == 0) {
                continue;
            }
            KeyCode found = 0;
            for (int i = 0; i < modmap->max_keypermod && found == 0; ++i) {
                found = modmap->modifiermap[bit * modmap->max_keypermod + i];
            }
            if (found == 0) {
                return std::nullopt;
            }
            keys.push_back(found);
        }
        return keys;
    }

    // Parses the SendKeys text: "{ENTER}" is Return, "{{}" and "{}}" are braces; other characters
    // stand for themselves.
    std::optional<std::vector<KeySym>> parse(const std::string& keys) {
        std::vector<KeySym> out;
        std::string plain;
        auto flush = [&]() -> bool {
            const auto cps = decodeUtf8(plain);
            plain.clear();
            if (!cps) {
                return fail("the text is not valid UTF-8");
            }
            for (char32_t cp : *cps) {
                const KeySym sym = keysymForCodePoint(cp);
                if (sym == NoSymbol) {
                    return fail("character U+" + std::to_string(static_cast<unsigned long>(cp)) + " has no key");
                }
                out.push_back(sym);
            }
            return true;
        };
        for (std::size_t i = 0; i < keys.size();) {
            if (keys[i] != '{') {
                plain += keys[i++];
                continue;
            }
            if (!flush()) {
                return std::nullopt;
            }
            if (keys.compare(i, 7, "{ENTER}") == 0) {
                out.push_back(XK_Return);
                i += 7;
            } else if (keys.compare(i, 3, "{{}") == 0 || keys.compare(i, 3, "{}}") == 0) {
                out.push_back(static_cast<KeySym>(keys[i + 1]));
                i += 3;
            } else {
                fail("unknown key name at \"" + keys.substr(i, 12) + "\"");
                return std::nullopt;
            }
        }
        if (!flush()) {
            return std::nullopt;
        }
        return out;
    }

    void tap(const Stroke& stroke, XModifierKeymap* modmap) {
        const auto mods = modifierKeysFor(modmap, stroke.mods).value_or(std::vector<KeyCode>{});
        for (KeyCode m : mods) {
            XTestFakeKeyEvent(dpy, m, True, CurrentTime);
        }
        XTestFakeKeyEvent(dpy, stroke.keycode, True, CurrentTime);
        XTestFakeKeyEvent(dpy, stroke.keycode, False, CurrentTime);
        for (auto it = mods.rbegin(); it != mods.rend(); ++it) {
            XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
        }
    }

    bool send(const std::string& keys) {
        if (activated == 0) {
            return fail("no window has been activated");
        }
        const auto syms = parse(keys);
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
        return ok;
    }

    bool typeAll(const std::vector<KeySym>& syms, XkbDescPtr xkb, XModifierKeymap* modmap, const XkbStateRec& state,
                 ErrorTrap& trap) {
        // Every key is looked up first: a character the keyboard cannot produce types nothing at all.
        std::vector<Stroke> strokes;
        for (KeySym sym : syms) {
            const auto stroke = strokeFor(xkb, state.group, modmap, sym);
            if (!stroke) {
                const char* name = XKeysymToString(sym);
                return fail(std::string("the keyboard has no key for ") + (name != nullptr ? name : "a character"));
            }
            strokes.push_back(*stroke);
        }
        if (!holdsFocus(activated) || trap.failed()) {
            return fail("the activated window no longer holds the focus");
        }
        const auto held = heldModifierKeys(modmap);
        const unsigned int locked = state.locked_mods;
        clearModifiers(held, locked, state.latched_mods);
        bool ok = true;
        for (const Stroke& s : strokes) {
            if (!holdsFocus(activated) || trap.failed()) {
                ok = fail("the activated window lost the focus while typing");
                break;
            }
            tap(s, modmap);
            XFlush(dpy);
        }
        restoreModifiers(held, locked);
        XSync(dpy, False);
        if (ok) {
            error.clear();
        }
        return ok;
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

bool X11WindowDriver::activateWindow(const std::string& title) {
    if (d->dpy == nullptr) {
        d->activated = 0;
        return false;
    }
    return d->activate(title);
}

bool X11WindowDriver::sendKeys(const std::string& keys) {
    if (d->dpy == nullptr) {
        return false;
    }
    return d->send(keys);
}

const std::string& X11WindowDriver::lastError() const {
    return d->error;
}
