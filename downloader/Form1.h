// Corvane's one window: two start buttons, a stop button and the extended-timeout option, and the
// two timers that type the timetable into the game window.
#pragma once

#include "Timetable.h"
#include "WindowDriver.h"

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QTimer;

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(WindowDriver& driver, QWidget* parent = nullptr);

    // The window state, read-only from outside.
    const std::string& ssmode() const { return SSMODE; }
    std::int16_t mode() const { return Mode; }
    int networkTick() const { return NetworkTick; }
    int zoneTick() const { return ZoneTick; }

private:
    void buildControls();
    void start(QTimer* ownTimer);
    void stop();
    void selectExtendedTimeout();
    void tick(Timetable::Kind kind);
    // Activates the run's window again and types keys into it, one send each; false as soon as a step
    // fails, so nothing is typed anywhere but into the window the run began with.
    bool typeIntoGame(const std::vector<std::string>& keys);
    // Shows the activation error; when it ended a run and none is left, the status line goes back to idle.
    void showActivationError(bool runEnded);

    WindowDriver& driver;

    std::string SSMODE;
    // The window activated by the start of the run under way, or of the last run: every later
    // activation and key of the run, and Stop's, go to it alone. 0 before any run.
    WindowDriver::WindowId RunWindow = 0;
    std::int16_t Mode = 0;
    int NetworkTick = 0;
    int ZoneTick = 0;
    QTimer* NetworkKeysTimer = nullptr;
    QTimer* ZoneKeysTimer = nullptr;
    QLabel* StatusLabel = nullptr;
};
