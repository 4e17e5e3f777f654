// The window Mirewatch starts with: reads the stored ban file path and opens every other window.
#pragma once

#include "WindowHost.h"

#include <QPointer>
#include <QWidget>

class QAction;

// One instance of each window for the whole program, whichever window opens it.
template <class Window> QPointer<Window>& windowSlot() {
    static QPointer<Window> slot;
    return slot;
}

template <class Window> Window* openWindow() {
    return openSingle(windowSlot<Window>());
}

class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm();

    // Ends the program at once: every window is closed and the event loop told to quit.
    static void exitProgram();
};
