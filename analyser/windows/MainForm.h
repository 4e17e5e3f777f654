// The window Mirewatch starts with: reads the stored ban file path and opens every other window.
#pragma once

#include <QWidget>

class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm();

    // Ends the program at once: every window is closed and the event loop told to quit.
    static void exitProgram();

protected:
    // The other windows are opened from here only, so closing this one ends the program as "&Exit" does.
    void closeEvent(QCloseEvent* event) override;
};
