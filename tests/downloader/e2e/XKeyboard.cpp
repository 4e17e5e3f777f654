#include "Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <string>

namespace keyboard {
namespace {

// The test program has checked DISPLAY before.
Display* display() {
    static Display* dpy = XOpenDisplay(nullptr);
    return dpy;
}

} // namespace

bool capsLockOn() {
    XkbStateRec state{};
    XkbGetState(display(), XkbUseCoreKbd, &state);
    return (state.locked_mods & LockMask) != 0;
}

void setCapsLock(bool on) {
    XkbLockModifiers(display(), XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(display(), False);
}

void holdShift(bool down) {
    XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), XK_Shift_L), down ? True : False, CurrentTime);
    XSync(display(), False);
}

bool shiftHeld() {
    char keys[32] = {};
    XQueryKeymap(display(), keys);
    const KeyCode kc = XKeysymToKeycode(display(), XK_Shift_L);
    return (keys[kc / 8] & (1 << (kc % 8))) != 0;
}

bool setLayout(const char* name) {
    return std::system(("setxkbmap " + std::string(name)).c_str()) == 0;
}

} // namespace keyboard
