// One instance per window class for the whole program: the first open creates and shows it, later opens
// only raise it, and closing destroys it so the next open loads it afresh. A window that shows something chosen
// elsewhere (a file) can say when it is out of date; opening it then loads it afresh in its place.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

enum class WindowRole {
    Ordinary, // Escape closes it
    Main,     // the program's hub; Escape leaves it open
};

// What every window gets before it is first shown: Enter on a focused button presses it, Escape closes an
// ordinary window, and the window is made no larger than the screen's free area so no part starts off-screen.
void prepareWindow(QWidget* window, WindowRole role);

// The window is out of date while the check says so (asked at each open, for as long as the window lives).
void setOutOfDateCheck(QWidget* window, std::function<bool()> outOfDate);
bool isOutOfDate(const QWidget* window);

// Puts the fresh window where the old one stands, shows it and closes the old one.
void takeOver(QWidget* old, QWidget* fresh);

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
    } else if (isOutOfDate(slot)) {
        Window* fresh = new Window();
        fresh->setAttribute(Qt::WA_DeleteOnClose);
        prepareWindow(fresh, role);
        Window* old = slot.data();
        slot = fresh;
        takeOver(old, fresh);
    } else {
        slot->show();
        slot->showNormal();
        slot->raise();
        slot->activateWindow();
    }
    return slot.data();
}
