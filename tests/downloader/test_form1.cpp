// Form1 against a recording window driver: what each operation types, the timers and counters it leaves and the
// message boxes it shows (taken by a handler, with the window's state at that moment).
#include "Form1.h"
#include "Messages.h"

#include <QtTest>
#include <QtWidgets>

#include <map>
#include <memory>
#include <string_view>

using Kind = Timetable::Kind;

// Windows by id, the game "Continuum" (1) and an editor "Continuum Notes" (2), picked by caption like the real
// drivers (exact caption first, then prefix, so an empty title matches too), and a record of every call in order.
class RecordingDriver : public WindowDriver {
public:
    std::map<WindowId, std::string> windows{{1, "Continuum"}, {2, "Continuum Notes"}};
    int callsLeft = -1; // calls that succeed before the game loses the focus for good; -1: all
    // "activate TITLE" (by caption), "activate #ID" (again) or the keys sent, with " @ID" for any window but the
    // game and " FAILED" appended on failure
    QStringList calls;

    WindowId activateWindow(const std::string& title) override {
        WindowId found = 0;
        for (bool exact : {true, false}) {
            for (const auto& [id, caption] : windows) {
                if (found == 0 && (exact ? caption == title : caption.starts_with(title)))
                    found = id;
            }
        }
        active = record("activate " + title, found != 0) ? found : 0;
        return active;
    }
    bool reactivateWindow(WindowId window, const std::string& title) override {
        const auto it = windows.find(window);
        active = record("activate #" + std::to_string(window), it != windows.end() && it->second.starts_with(title))
                     ? window
                     : 0;
        return active != 0;
    }
    bool sendKeys(WindowId window, const std::string& keys) override {
        return record(keys + (window == 1 ? "" : " @" + std::to_string(window)), window == active);
    }

private:
    bool record(const std::string& call, bool possible) {
        const bool ok = possible && callsLeft != 0;
        if (ok && callsLeft > 0)
            --callsLeft;
        calls << QString::fromStdString(call) + (ok ? "" : " FAILED");
        return ok;
    }
    WindowId active = 0;
};

class TestForm1 : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingDriver> driver;
    std::unique_ptr<Form1> form;
    QStringList notices; // "title: text @ state"

    static QTimer* timerOf(Form1& f, Kind k) {
        return f.findChild<QTimer*>(k == Kind::Network ? "NetworkKeysTimer" : "ZoneKeysTimer");
    }
    static void click(Form1& f, const char* name) { f.findChild<QAbstractButton*>(name)->click(); }
    static void start(Form1& f, Kind k) { click(f, k == Kind::Network ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive"); }
    QString status() { return form->findChild<QLabel*>("StatusLabel")->text(); }
    // Both timers and counters and the status line, e.g. "network on 3, zone off 0: Status : Waiting.....".
    QString state() {
        auto on = [this](Kind k) { return QString(timerOf(*form, k)->isActive() ? "on" : "off"); };
        return QStringLiteral("network %1 %2, zone %3 %4: %5")
            .arg(on(Kind::Network), QString::number(form->networkTick()), on(Kind::Zone),
                 QString::number(form->zoneTick()), status());
    }
    // One tick, as the event loop delivers it: only from an enabled timer. Returns the driver calls it made.
    QStringList fire(Kind k) {
        if (!timerOf(*form, k)->isActive())
            return {"<timer off>"};
        const qsizetype mark = driver->calls.size();
        QMetaObject::invokeMethod(timerOf(*form, k), "timeout", Qt::DirectConnection);
        return driver->calls.mid(mark);
    }

private slots:
    void init() {
        driver = std::make_unique<RecordingDriver>();
        form = std::make_unique<Form1>(*driver);
        notices.clear();
        Messages::setHandler(
            [this](const QString& title, const QString& text) { notices << title + ": " + text + " @ " + state(); });
    }
    void cleanup() { Messages::setHandler({}); }

    // A zone run with the option selected at tick 6 (twice: it cannot be deselected), which types nothing and
    // switches the figures of the run going on to the extended ones.
    void wholeRun() {
        start(*form, Kind::Zone);
        QCOMPARE(driver->calls, QStringList{"activate Continuum"}); // a start only activates the game
        QStringList commands, progress;
        for (int tick = 1; tick <= 34; ++tick) {
            if (tick == 6) {
                click(*form, "Option4");
                click(*form, "Option4");
                QCOMPARE(timerOf(*form, Kind::Network)->interval(), 15000);
                QCOMPARE(timerOf(*form, Kind::Zone)->interval(), 15000);
            }
            const QStringList calls = fire(Kind::Zone);
            if (tick < 34 && calls.size() == 3 && calls[0] + calls[2] == "activate #1{ENTER}")
                commands << calls[1];
            else
                QCOMPARE(calls, QStringList{});
            if (status().startsWith("Download progress : "))
                progress << status().mid(20);
        }
        QCOMPARE(commands.size(), 33);
        QCOMPARE(commands.first() + "|" + commands[1] + "|" + commands.last(),
                 QStringLiteral("?log Zone Banlog.txt|?listban -d #3 100|?log"));
        QCOMPARE(progress, (QStringList{"7/238", "28/238", "120/510", "180/510", "240/510", "300/510", "360/510",
                                        "420/510", "480/510"}));
        // Timer off and counter back at 0 while the box is still open.
        QCOMPARE(notices, QStringList{"Download complete: Ban log downloaded and saved in your logs folder as Zone "
                                      "Banlog.txt @ network off 0, zone off 0: Download completed, log saved..."});
    }

    // Operations with a zone run at tick 1 and a network run at tick 3 going on (or before any start), the game
    // there throughout, closed, restarted or retitled before them, or losing the focus after some calls. The editor
    // "Continuum Notes" is open throughout. One that fails types nothing more, into no window, and shows the
    // activation error once, after the runs it ends are off (a stop both, a start its own, a tick its own) and, when
    // none is left, with the status line back at idle.
    void operations_data() {
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("after");
        auto row = [](const char* name, bool running, const char* ops, const char* game, const char* calls,
                      const QString& after) {
            QTest::newRow(name) << running << QString(ops) << QString(game) << QString(calls) << after;
        };
        const char* const failed = "activate #1 FAILED";
        const QString last = "Downloading network ban log file..."; // the status line of the last tick
        const QString idle = "Status : Waiting.....";
        // Stop resets both counters, so the next start of either kind opens a new log. Only a start without a run
        // under way picks the window by its caption.
        row("starts after a stop", true, "stop; zone start; zone tick; network start; network tick", "there",
            "activate #1|?log|{ENTER}|activate Continuum|activate #1|?log Zone Banlog.txt|{ENTER}|"
            "activate #1|activate #1|?log Network Banlog.txt|{ENTER}",
            "network on 1, zone off 1: Download progress : 7/238");
        // A start during a run continues it; the next tick of the run turns off a start of the other kind.
        row("start during the run", true, "network start; zone start; network tick", "there",
            "activate #1|activate #1|activate #1|?listban -d -* #201 100|{ENTER}",
            "network on 4, zone off 1: Download progress : 28/238");
        row("stop during the runs", true, "stop", "there", "activate #1|?log|{ENTER}",
            "network off 0, zone off 0: Download has been stopped. File saved...");
        row("stop before any start", false, "stop", "there", "", "network off 0, zone off 0: " + idle);
        row("stop, game gone", true, "stop", "closed", failed, "network off 0, zone off 0: " + idle);
        row("start, game gone", true, "network start", "closed", failed, "network off 0, zone off 1: " + idle);
        row("start of the other kind, game gone", true, "zone start", "closed", failed,
            "network on 3, zone off 0: " + last);
        row("tick, game gone", true, "network tick", "closed", failed, "network off 0, zone off 1: " + idle);
        row("tick, game restarted", true, "network tick", "restarted", failed, "network off 0, zone off 1: " + idle);
        row("tick, game retitled", true, "network tick", "retitled", failed, "network off 0, zone off 1: " + idle);
        row("tick, command lost", true, "network tick", "lost", "activate #1|?listban -d -* #201 100 FAILED",
            "network off 0, zone off 1: " + idle);
    }
    void operations() {
        QFETCH(bool, running);
        QFETCH(QString, ops);
        QFETCH(QString, game);
        QFETCH(QString, calls);
        QFETCH(QString, after);
        if (running) {
            start(*form, Kind::Zone);
            fire(Kind::Zone);
            start(*form, Kind::Network);
            for (int i = 0; i < 3; ++i)
                fire(Kind::Network);
        }
        if (game != "there" && game != "lost")
            driver->windows.erase(1);
        if (game == "restarted")
            driver->windows[3] = "Continuum";
        if (game == "retitled")
            driver->windows[1] = "Notes";
        driver->callsLeft = game == "lost" ? 1 : -1;
        const qsizetype mark = driver->calls.size();
        for (const QString& op : ops.split("; ")) {
            const Kind kind = op.startsWith("zone") ? Kind::Zone : Kind::Network;
            if (op == "stop")
                click(*form, "CMD_STOP");
            else if (op.endsWith("start"))
                start(*form, kind);
            else
                fire(kind);
        }
        QCOMPARE(driver->calls.mid(mark).join('|'), calls);
        QCOMPARE(state(), after);
        QCOMPARE(notices.size(), running && game == "there" ? 0 : 1);
        for (const QString& notice : notices)
            QVERIFY2(notice.startsWith("Corvane Error: ERROR : The program could not activate the specified window.") &&
                         notice.endsWith(" @ " + after),
                     qPrintable(notice));
    }

    // Selecting the option restarts the running timers; the run started first must still tick first, or the
    // later run's "?log" would land in its open log. Two windows, one per kind started first, on real timers.
    void extendedKeepsTheEarlierRunFirst() {
        RecordingDriver networkFirst, zoneFirst;
        Form1 a(networkFirst), b(zoneFirst);
        start(a, Kind::Network);
        start(b, Kind::Zone);
        QTest::qWait(50);
        start(a, Kind::Zone);
        start(b, Kind::Network);
        for (Form1* f : {&a, &b})
            click(*f, "Option4");
        QTRY_VERIFY_WITH_TIMEOUT(networkFirst.calls.size() > 2 && zoneFirst.calls.size() > 2, 20000);
        QCOMPARE(networkFirst.calls.mid(2).join('|'), "activate #1|?log Network Banlog.txt|{ENTER}");
        QCOMPARE(zoneFirst.calls.mid(2).join('|'), "activate #1|?log Zone Banlog.txt|{ENTER}");
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
