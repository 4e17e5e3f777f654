// One instance per window: the first open creates and shows it, later opens only raise it, and
// closing destroys it so the next open loads it afresh.
#pragma once

#include <QPointer>
#include <QWidget>
#include <utility>

template <class Window, class... Args> Window* openSingle(QPointer<Window>& slot, Args&&... args) {
    if (!slot) {
        slot = new Window(std::forward<Args>(args)...);
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
