// One instance per window class for the whole program: the first open creates and shows it, later opens
// only raise it, and closing destroys it so the next open loads it afresh.
#pragma once

#include <QPointer>
#include <QWidget>

template <class Window> QPointer<Window>& windowSlot() {
    static QPointer<Window> slot;
    return slot;
}

template <class Window> Window* openWindow() {
    QPointer<Window>& slot = windowSlot<Window>();
    if (!slot) {
        slot = new Window();
        slot->setAttribute(Qt::WA_DeleteOnClose);
        slot->show();
    } else {
        slot->show();
        slot->showNormal();
        slot->raise();
        slot->activateWindow();
    }
    return slot.data();
}
