// One real-time zone download against the stand-in game, measuring the timetable's timing:
// each tick's lateness against start + k x interval, the drift over the run, and how long one
// command takes to type (driver calls) and to arrive in the game (the game's own time stamps).
// Not a test: run it through scripts/corvane-timing.sh, natively or under Wine.
#include "Form1.h"
#include "Messages.h"
#include "PlatformWindowDriver.h"
#include "StandIn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock; // the clock of the game's time stamps

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Times every call on the way to the real driver.
class TimingDriver : public WindowDriver {
public:
    template <class Activate> auto timeActivation(Activate activate) {
        const auto t = Clock::now();
        commandStarts.push_back(t);
        const auto result = activate();
        activateTimes.push_back(Clock::now() - t);
        return result;
    }

    WindowId activateWindow(const std::string& title) override {
        return timeActivation([&] { return real.activateWindow(title); });
    }
    bool reactivateWindow(WindowId window, const std::string& title) override {
        return timeActivation([&] { return real.reactivateWindow(window, title); });
    }
    bool sendKeys(WindowId window, const std::string& keys) override {
        const auto t = Clock::now();
        const bool ok = real.sendKeys(window, keys);
        sendTimes.push_back(Clock::now() - t);
        return ok;
    }
    PlatformWindowDriver real;
    std::vector<Clock::time_point> commandStarts;
    std::vector<Clock::duration> activateTimes;
    std::vector<Clock::duration> sendTimes;
};

// Notes the moment each timer event reaches the timer, before Form1's handler runs.
class TickStamps : public QObject {
public:
    std::vector<Clock::time_point> ticks;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            ticks.push_back(Clock::now());
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "corvane_timing: DISPLAY is not set; run it under scripts/with-x11.sh\n");
        return 1;
    }
#ifndef _WIN32
    qputenv("QT_QPA_PLATFORM", "xcb");
#endif
    QApplication app(argc, argv);

    std::unique_ptr<StandIn> game;
    try {
        game = std::make_unique<StandIn>("Continuum");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane_timing: %s\n", e.what());
        return 1;
    }
    TimingDriver driver;
    Form1 form(driver);
    form.show();
    auto* timer = form.findChild<QTimer*>("ZoneKeysTimer");
    auto* button = form.findChild<QAbstractButton*>("CMD_ZoneBanRetrive");
    if (timer == nullptr || button == nullptr) {
        std::fprintf(stderr, "corvane_timing: Form1 lacks ZoneKeysTimer or CMD_ZoneBanRetrive\n");
        return 1;
    }
    TickStamps stamps;
    timer->installEventFilter(&stamps);
    bool done = false;
    Messages::setHandler([&](const QString& title, const QString&) {
        std::printf("message: %s\n", qPrintable(title));
        done = true;
        QTimer::singleShot(0, &app, &QApplication::quit);
    });

    const int interval = timer->interval();
    std::printf("interval %d ms, 34 ticks, about %d s\n", interval, 34 * interval / 1000);
    std::fflush(stdout);
    const auto start = Clock::now();
    button->click();
    app.exec();
    if (!done || stamps.ticks.size() != 34) {
        std::fprintf(stderr, "corvane_timing: the run did not complete (%zu ticks)\n", stamps.ticks.size());
        return 1;
    }

    std::printf("tick  due(ms)  lateness(ms)\n");
    std::vector<double> lateness;
    for (std::size_t k = 1; k <= stamps.ticks.size(); ++k) {
        const double late = ms(stamps.ticks[k - 1] - start) - static_cast<double>(k) * interval;
        lateness.push_back(late);
        std::printf("%4zu  %7d  %8.2f\n", k, static_cast<int>(k) * interval, late);
    }
    // Least-squares slope of lateness over the tick number.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = static_cast<double>(lateness.size());
    for (std::size_t i = 0; i < lateness.size(); ++i) {
        const double x = static_cast<double>(i + 1);
        sx += x;
        sy += lateness[i];
        sxx += x * x;
        sxy += x * lateness[i];
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const auto [minLate, maxLate] = std::minmax_element(lateness.begin(), lateness.end());
    std::printf("lateness: min %.2f ms, max %.2f ms; drift tick 34 - tick 1: %.2f ms; slope %.4f ms/tick\n", *minLate,
                *maxLate, lateness.back() - lateness.front(), slope);

    // Per command (the start button's activation excluded): activation, typing, and arrival.
    const auto lines = game->transcript();
    QFile stampFile(game->stampsPath());
    if (!stampFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "corvane_timing: no time stamps from the game\n");
        return 1;
    }
    const auto arrivals = stampFile.readAll().split('\n');
    double worstActivate = 0, worstType = 0, worstArrival = 0, sumArrival = 0;
    const std::size_t commands = driver.commandStarts.size() - 1;
    for (std::size_t c = 0; c < commands; ++c) {
        const auto startCmd = driver.commandStarts[c + 1];
        worstActivate = std::max(worstActivate, ms(driver.activateTimes[c + 1]));
        worstType = std::max(worstType, ms(driver.sendTimes[2 * c] + driver.sendTimes[2 * c + 1]));
        if (c < static_cast<std::size_t>(arrivals.size()) && !arrivals[static_cast<qsizetype>(c)].isEmpty()) {
            const auto arrived =
                Clock::time_point(std::chrono::nanoseconds(arrivals[static_cast<qsizetype>(c)].toLongLong()));
            const double a = ms(arrived - startCmd);
            worstArrival = std::max(worstArrival, a);
            sumArrival += a;
        }
    }
    std::printf("commands typed: %zu, lines the game received: %lld\n", commands, static_cast<long long>(lines.size()));
    std::printf("per command, worst: activation %.2f ms, typing (text + Enter) %.2f ms, "
                "activation start to line in game %.2f ms (mean %.2f ms)\n",
                worstActivate, worstType, worstArrival, sumArrival / static_cast<double>(commands));
    return 0;
}
