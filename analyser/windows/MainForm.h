// The window Mirewatch starts with: reads the stored ban file path and opens every other window.
#pragma once

#include <QWidget>

class QLabel;

class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm();
    ~MainForm() override;

    // Ends the program at once: every window is closed and the event loop told to quit.
    static void exitProgram();

protected:
    // The other windows are opened from here only, so closing this one ends the program as "&Exit" does.
    void closeEvent(QCloseEvent* event) override;
    // Coming back to the window shows the chosen file's size and date as they are now.
    bool event(QEvent* event) override;

private:
    // Names the chosen ban file: name, folder, size and date of last change.
    void showBanFile();

    QLabel* banFileInfo_ = nullptr;
};
