// One instance per window class for the whole program: the first open creates and shows it, later opens
// only raise it, and closing destroys it so the next open loads it afresh.
#pragma once

#include <QPointer>
#include <QWidget>

enum class WindowRole {
    Ordinary, // Escape closes it
    Main,     // the program's hub; Escape leaves it open
};

// What every window gets before it is first shown: Enter on a focused button presses it, Escape closes an
// ordinary window, and the window is made no larger than the screen's free area so no part starts off-screen.
void prepareWindow(QWidget* window, WindowRole role);

template <class Window> QPointer<Window>& windowSlot() {
    static QPointer<Window> slot;
    return slot;
}

template <class Window> Window* openWindow(WindowRole role = WindowRole::Ordinary) {
    QPointer<Window>& slot = windowSlot<Window>();
    if (!slot) {
        slot = new Window();
        slot->setAttribute(Qt::WA_DeleteOnClose);
        prepareWindow(slot, role);
        slot->show();
    } else {
        slot->show();
        slot->showNormal();
        slot->raise();
        slot->activateWindow();
    }
    return slot.data();
}
