#include "Keyboard.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace keyboard {
namespace {

void key(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
    Sleep(50); // SendInput only queues the event
}

} // namespace

bool capsLockOn() {
    return (GetKeyState(VK_CAPITAL) & 1) != 0;
}

void setCapsLock(bool on) {
    if (capsLockOn() != on) {
        key(VK_CAPITAL, true);
        key(VK_CAPITAL, false);
    }
}

void holdShift(bool down) {
    key(VK_LSHIFT, down);
}

bool shiftHeld() {
    return (GetAsyncKeyState(VK_LSHIFT) & 0x8000) != 0;
}

} // namespace keyboard
