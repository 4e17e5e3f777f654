#include "Keyboard.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <string>

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

bool shiftHeld() {
    return (GetAsyncKeyState(VK_LSHIFT) & 0x8000) != 0;
}

// Under Wine a focus change that the X server reports late sets the modifiers to the X keyboard's, and that
// keyboard knows nothing of a Shift sent from here: the game's activation could release the Shift held after it.
// The state must hold for half a second before the test goes on.
void holdShift(bool down) {
    for (int tries = 0; tries < 5; ++tries) {
        key(VK_LSHIFT, down);
        int steady = 0;
        while (steady < 500 && shiftHeld() == down) {
            Sleep(10);
            steady += 10;
        }
        if (steady >= 500) {
            return;
        }
    }
}

// Wine starts Unix programs but cannot wait for them: the layout has changed when this process's keyboard map puts
// "z" where a German keyboard has it.
bool setLayout(const char* name) {
    std::wstring command = L"/usr/bin/setxkbmap " + std::wstring(name, name + std::strlen(name));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) ==
        FALSE) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const bool german = std::strcmp(name, "de") == 0;
    for (int i = 0; i < 500; ++i) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // takes in the X server's news
        if ((MapVirtualKeyW(VkKeyScanW(L'z') & 0xFF, MAPVK_VK_TO_VSC) == 0x15) == german) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

} // namespace keyboard
