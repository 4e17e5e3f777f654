// Keyboard state of the X server, for the tests that change it. Xlib stays out of the Qt sources.
#pragma once

namespace xkeyboard {

bool capsLockOn();
void setCapsLock(bool on);

// Presses or releases the left Shift key through XTEST, as a user holding it would.
void holdShift(bool down);
bool shiftHeld();

} // namespace xkeyboard
