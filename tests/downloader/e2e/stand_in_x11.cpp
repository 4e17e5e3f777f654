// The stand-in game's X11 window, a plain Xlib client: key presses are looked up as the client
// would (XLookupString) and fed to the chat (GameChat.h). With --wine-desktop the window holds a
// child titled as the game, as Wine's virtual desktop does.
#include "GameChat.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <thread>

namespace {

void setTitle(Display* dpy, Window w, const std::string& title) {
    XStoreName(dpy, w, title.c_str());
    XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False), XInternAtom(dpy, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
}

// The first time it asks the window manager; later it takes the focus behind its back, so the
// window manager may still call another window active.
void takeFocus(Display* dpy, Window w, bool viaWindowManager) {
    XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
    if (viaWindowManager) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 2;
        XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureNotifyMask | SubstructureRedirectMask, &ev);
    }
    XFlush(dpy);
}

Window createWindow(Display* dpy, Window parent, int border) {
    const int screen = DefaultScreen(dpy);
    return XCreateSimpleWindow(dpy, parent, border, border, 480 - 2 * border, 320 - 2 * border, 0,
                               BlackPixel(dpy, screen), WhitePixel(dpy, screen));
}

} // namespace

int main(int argc, char** argv) {
    standin::Options opt;
    if (!standin::parse(argc, argv, opt)) {
        return 2;
    }
    XInitThreads(); // the focus watch has a connection and a thread of its own
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "stand_in_game: cannot open display\n");
        return 1;
    }

    const Window top = createWindow(dpy, DefaultRootWindow(dpy), 0);
    XSelectInput(dpy, top, KeyPressMask | FocusChangeMask | StructureNotifyMask | PropertyChangeMask);
    if (opt.unmanaged) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        XChangeWindowAttributes(dpy, top, CWOverrideRedirect, &attributes);
    }
    setTitle(dpy, top, opt.wineDesktop ? opt.desktopTitle : opt.title);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = opt.iconic ? IconicState : NormalState;
    XSetWMHints(dpy, top, &hints);
    if (opt.wineDesktop) {
        const Window child = createWindow(dpy, top, 10);
        XSelectInput(dpy, child, KeyPressMask);
        setTitle(dpy, child, opt.title);
        XMapWindow(dpy, child);
    }
    XMapWindow(dpy, top);
    XFlush(dpy);

    XSetWindowAttributes unmanaged{};
    unmanaged.override_redirect = True;
    const Window aside = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWOverrideRedirect, &unmanaged);
    if (opt.dropFocus) {
        XMapWindow(dpy, aside);
    }

    if (opt.stealFocus) {
        std::thread([top, &opt] {
            Display* own = XOpenDisplay(nullptr);
            standin::watchFocus(opt, [own, top] {
                Window focus = None;
                int revert = 0;
                XGetInputFocus(own, &focus, &revert);
                return focus == top;
            });
        }).detach();
    }

    const Atom wmState = XInternAtom(dpy, "WM_STATE", False);
    standin::Chat chat(opt);
    bool managed = false;
    // Runs until it is ended: the tests terminate it.
    for (;;) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        // Taken on by the window manager (WM_STATE set) or, unmanaged, mapped: it can now be found.
        const bool taken = opt.unmanaged ? ev.type == MapNotify
                                         : ev.type == PropertyNotify && ev.xproperty.atom == wmState &&
                                               ev.xproperty.state == PropertyNewValue;
        if (taken && !managed) {
            managed = true;
            if (opt.stealFocus) {
                takeFocus(dpy, top, !opt.unmanaged);
            } else {
                chat.ready();
            }
        } else if (ev.type == FocusIn && opt.stealFocus && ev.xfocus.detail != NotifyPointer) {
            chat.ready();
        } else if (ev.type == FocusOut && opt.stealFocus && managed && ev.xfocus.mode == NotifyNormal &&
                   ev.xfocus.detail != NotifyInferior && ev.xfocus.detail != NotifyPointer) {
            takeFocus(dpy, top, false);
        } else if (ev.type == MappingNotify) {
            XRefreshKeyboardMapping(&ev.xmapping);
        } else if (ev.type == KeyPress) {
            char buf[32] = {};
            KeySym sym = NoSymbol;
            const int n = XLookupString(&ev.xkey, buf, sizeof buf - 1, &sym, nullptr);
            const char* name = XKeysymToString(sym);
            if (opt.recorder) {
                chat.note(name != nullptr ? name : "NoSymbol");
            } else if (sym == XK_Return || sym == XK_KP_Enter) {
                if (chat.enter() == 2) {
                    if (!opt.retitle.empty()) {
                        setTitle(dpy, top, opt.retitle);
                        XSync(dpy, False);
                        standin::logDone(opt, "retitled");
                    }
                    if (opt.dropFocus) {
                        // To a window of its own that the window manager does not know: focus on no window
                        // at all would make the window manager hand it straight back.
                        XSetInputFocus(dpy, aside, RevertToNone, CurrentTime);
                        XSync(dpy, False);
                        standin::logDone(opt, "dropped");
                    }
                }
            } else {
                for (int i = 0; i < n; ++i) {
                    chat.character(static_cast<unsigned char>(buf[i]));
                }
            }
        }
    }
}
