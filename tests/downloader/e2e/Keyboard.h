// The keyboard state that tests change, one implementation per window system (XKeyboard.cpp,
// WinKeyboard.cpp), kept apart from the Qt sources.
#pragma once

namespace keyboard {

bool capsLockOn();
void setCapsLock(bool on);

// Presses or releases the left Shift key, as a user holding it would.
void holdShift(bool down);
bool shiftHeld();

// Sets the X server's layout, "us" or "de" (setxkbmap), and waits until this process reads keys by it.
// Wine takes its keyboard layout from the X server.
bool setLayout(const char* name);

} // namespace keyboard
