// End-to-end tests of Corvane against the stand-in game on a real X server with a window manager
// (scripts/with-x11.sh). Keys travel through XTEST and the server, as they would to the game.
#include "BanHandle.h"
#include "Declares.h"
#include "FixtureBans.h"
#include "Form1.h"
#include "Notices.h"
#include "StandIn.h"
#include "X11WindowDriver.h"
#include "XKeyboard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int FastIntervalMs = 300;

const char* const ActivationError =
    "ERROR : The program could not activate the specified window. Check that you have set the correct version of "
    "Continuum, and remember that you have to enter Continuum before attempting to download. The download been "
    "aborted due to this error.";

// The 33 commands of a run, in order.
QList<QByteArray> runCommands(bool network) {
    const QByteArray all = network ? "-* " : "";
    QList<QByteArray> out{network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt"};
    for (int start = 3; start <= 3001; start = start == 3 ? 101 : start + 100) {
        out << "?listban -d " + all + "#" + QByteArray::number(start) + " 100";
    }
    return out << "?log";
}

// Form1 on the real driver, with fast timers; records its message boxes ("title: text") and the status line after
// every tick.
class Harness {
public:
    Harness() : form(driver) {
        previous_ =
            Notices::setHandler([this](const QString& title, const QString& text) { messages << title + ": " + text; });
        for (const char* name : {"NetworkKeysTimer", "ZoneKeysTimer"}) {
            auto* timer = form.findChild<QTimer*>(name);
            timer->setInterval(FastIntervalMs);
            // Connected after Form1's own handler, so this sees the status the tick left.
            QObject::connect(timer, &QTimer::timeout, &form, [this] { statuses << status(); });
        }
        form.show();
    }
    ~Harness() { Notices::setHandler(std::move(previous_)); }

    void click(const char* button) { form.findChild<QAbstractButton*>(button)->click(); }
    QString status() const { return form.findChild<QLabel*>("StatusLabel")->text(); }
    bool timersStopped() const {
        return !form.findChild<QTimer*>("NetworkKeysTimer")->isActive() &&
               !form.findChild<QTimer*>("ZoneKeysTimer")->isActive();
    }

    X11WindowDriver driver;
    Form1 form;
    QStringList messages;
    QStringList statuses;

private:
    Notices::Handler previous_;
};

// Each line must be the command at its place; a line cut off by the game closing must begin one.
bool isPrefixOfRun(QList<QByteArray> lines, const QList<QByteArray>& commands) {
    const QByteArray unfinished = "<unfinished>";
    if (!lines.isEmpty() && lines.last().startsWith(unfinished)) {
        const QByteArray begun = lines.takeLast().mid(unfinished.size());
        if (lines.size() >= commands.size() || !commands[lines.size()].startsWith(begun)) {
            return false;
        }
    }
    return lines == commands.mid(0, lines.size());
}

// The record the analyser makes of a listed ban: the moderator padded to 12 characters and the blanks around machine
// id and IP kept, as listed.
Declares::BanRecord expectedRecord(fixture::Ban b) {
    b.moderator.resize(12, ' ');
    return {{b.access}, {b.mark}, b.id, b.moderator, b.date, b.name, b.mid + " ", b.days, " " + b.ip};
}

bool runProcess(const QString& program, const QStringList& args, QByteArray* output = nullptr) {
    QProcess p;
    p.start(program, args);
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output != nullptr) {
        *output = p.readAllStandardOutput().simplified() + ' ';
    }
    return ok;
}

// Puts the keyboard back as every case expects it: US layout, Caps Lock off, Shift up.
struct KeyboardReset {
    ~KeyboardReset() {
        xkeyboard::holdShift(false);
        xkeyboard::setCapsLock(false);
        runProcess("setxkbmap", {"us"});
    }
};

// Types, as a run does, a few commands that together use every character a run types.
bool typeSample(X11WindowDriver& driver) {
    const char* const keys[] = {
        "?log Zone Banlog.txt", "{ENTER}", "?listban -d -* #3001 100", "{ENTER}", "?log", "{ENTER}"};
    return std::all_of(std::begin(keys), std::end(keys), [&](const char* k) { return driver.sendKeys(k); });
}
const QList<QByteArray> SampleLines = {"?log Zone Banlog.txt", "?listban -d -* #3001 100", "?log"};

} // namespace

class TestCorvaneX11 : public QObject {
    Q_OBJECT

private slots:
    void fullRun_data() {
        QTest::addColumn<bool>("network");
        QTest::newRow("zone") << false;
        QTest::newRow("network") << true;
    }

    void fullRun() {
        QFETCH(bool, network);
        StandIn game({"--title", "Continuum"});
        Harness h;
        h.click(network ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive");
        QTRY_VERIFY_WITH_TIMEOUT(!h.messages.empty(), 60000);

        const QString file = network ? "Network Banlog.txt" : "Zone Banlog.txt";
        QTRY_COMPARE_WITH_TIMEOUT(game.transcript(), runCommands(network), 5000);
        QCOMPARE(h.messages,
                 QStringList{"Download complete: Ban log downloaded and saved in your logs folder as " + file});
        QVERIFY(h.timersStopped());

        QStringList expectedStatuses;
        for (int tick = 1; tick <= 33; ++tick) {
            const bool progress = tick == 1 || (tick % 4 == 0 && tick <= 32);
            expectedStatuses << (progress  ? QString("Download progress : %1/238").arg(tick * 7)
                                 : network ? "Downloading network ban log file..."
                                           : "Downloading local zone ban log file...");
        }
        expectedStatuses << "Download completed, log saved...";
        QCOMPARE(h.statuses, expectedStatuses);

        // The game's log, read by the analyser, holds every listed page in order (the first page starts at entry 3;
        // neighbouring pages overlap by two entries).
        Declares::BanFilePath = game.logPath(file).toLocal8Bit().toStdString();
        const auto outcome = BanHandle::LoadBanFile();
        QVERIFY2(outcome.ok(), outcome.reason.c_str());
        const auto& bans = fixture::banList(network);
        std::vector<Declares::BanRecord> expected;
        for (std::size_t s = 3; s <= 3001; s = s == 3 ? 101 : s + 100) {
            for (std::size_t k = s; k < s + 100 && k <= bans.size(); ++k) {
                expected.push_back(expectedRecord(bans[k - 1]));
            }
        }
        std::vector<Declares::BanRecord> got(Declares::BanRecordTable.begin() + 2,
                                             Declares::BanRecordTable.begin() + Declares::BanRecordCount + 1);
        const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
        QVERIFY2(diff.first == got.end() && diff.second == expected.end(),
                 qPrintable(QString("record %1 of %2 differs").arg(diff.first - got.begin() + 2).arg(got.size() + 1)));
    }

    // Which window a title picks. Each row starts its windows in order (the last one starts on top
    // and with the focus); "receiver" is the index of the window that must get the keys, -1 for none.
    void windowChoice_data() {
        QTest::addColumn<QList<QStringList>>("windows");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("receiver");
        const QStringList continuum{"--title", "Continuum"};
        QTest::newRow("exact caption wins over a prefix on top")
            << QList<QStringList>{continuum, {"--title", "Continuum Notes"}} << "Continuum" << 0;
        QTest::newRow("prefix when none is exact")
            << QList<QStringList>{{"--title", "Continuum 1.0"}} << "Continuum" << 0;
        QTest::newRow("minimised game is restored")
            << QList<QStringList>{{"--title", "Continuum", "--iconic"}, {"--title", "Other"}} << "Continuum" << 0;
        QTest::newRow("Wine desktop holding the game")
            << QList<QStringList>{{"--title", "Continuum", "--wine-desktop"}, {"--title", "Other"}} << "Continuum" << 0;
        QTest::newRow("empty title") << QList<QStringList>{continuum} << "" << -1;
        QTest::newRow("case differs") << QList<QStringList>{continuum} << "continuum" << -1;
        QTest::newRow("title longer than caption") << QList<QStringList>{continuum} << "Continuum 2" << -1;
        QTest::newRow("child window of an ordinary program")
            << QList<QStringList>{{"--title", "Continuum", "--wine-desktop", "--desktop-title", "Notes"}} << "Continuum"
            << -1;
    }

    void windowChoice() {
        QFETCH(QList<QStringList>, windows);
        QFETCH(QString, title);
        QFETCH(int, receiver);
        std::vector<std::unique_ptr<StandIn>> running;
        for (const QStringList& options : windows) {
            running.push_back(std::make_unique<StandIn>(options));
        }
        X11WindowDriver driver;
        const bool activated = driver.activateWindow(title.toStdString());
        QCOMPARE(activated, receiver >= 0);
        if (activated) {
            QVERIFY2(typeSample(driver), driver.lastError().c_str());
        } else {
            QVERIFY(!driver.sendKeys("?log{ENTER}"));
        }
        for (int i = 0; i < static_cast<int>(running.size()); ++i) {
            const auto expected = i == receiver ? SampleLines : QList<QByteArray>{};
            QTRY_COMPARE_WITH_TIMEOUT(running[static_cast<std::size_t>(i)]->transcript(), expected, 3000);
        }
    }

    // The driver alone, against a window that takes the focus back at once whenever it loses it. Holding the focus
    // when the game is activated, it makes the activation fail; taking it after a good activation, it makes the
    // sending fail. Either way nothing is typed, into the game or into the thief.
    void focusNotConfirmed_data() {
        QTest::addColumn<QStringList>("thief");
        QTest::addColumn<bool>("beforeActivation");
        const QStringList managed{"--title", "Intruder", "--recorder", "--steal-focus"};
        const QStringList unmanaged = managed + QStringList{"--unmanaged"};
        QTest::newRow("managed thief before activation") << managed << true;
        QTest::newRow("unmanaged thief before activation") << unmanaged << true;
        QTest::newRow("managed thief after activation") << managed << false;
        QTest::newRow("unmanaged thief after activation") << unmanaged << false;
    }

    void focusNotConfirmed() {
        QFETCH(QStringList, thief);
        QFETCH(bool, beforeActivation);
        std::unique_ptr<StandIn> stealer;
        if (beforeActivation) {
            stealer = std::make_unique<StandIn>(thief);
        }
        StandIn game({"--title", "Continuum"});
        X11WindowDriver driver;
        QCOMPARE(driver.activateWindow("Continuum"), !beforeActivation);
        if (!stealer) {
            stealer = std::make_unique<StandIn>(thief);
        }
        QVERIFY(!driver.sendKeys("?log Zone Banlog.txt{ENTER}"));
        QTest::qWait(300);
        QCOMPARE(stealer->transcript().join(' '), QByteArray());
        QCOMPARE(game.transcript(), QList<QByteArray>{});
    }

    // The keyboard's state must not change what arrives, and is as it was afterwards.
    void keyboardState_data() {
        QTest::addColumn<bool>("capsLock");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("layout");
        QTest::newRow("caps lock") << true << false << "us";
        QTest::newRow("shift held") << false << true << "us";
        QTest::newRow("german layout") << false << false << "de";
        QTest::newRow("german layout, caps lock and shift") << true << true << "de";
    }

    void keyboardState() {
        QFETCH(bool, capsLock);
        QFETCH(bool, shift);
        QFETCH(QString, layout);
        KeyboardReset reset;
        QVERIFY(runProcess("setxkbmap", {layout}));
        StandIn game({"--title", "Continuum"});
        X11WindowDriver driver;
        QVERIFY2(driver.activateWindow("Continuum"), driver.lastError().c_str());
        xkeyboard::setCapsLock(capsLock);
        xkeyboard::holdShift(shift);
        QVERIFY2(typeSample(driver), driver.lastError().c_str());
        QTRY_COMPARE_WITH_TIMEOUT(game.transcript(), SampleLines, 3000);
        QCOMPARE(xkeyboard::capsLockOn(), capsLock);
        QCOMPARE(xkeyboard::shiftHeld(), shift);
        QByteArray query;
        QVERIFY(runProcess("setxkbmap", {"-query"}, &query));
        QVERIFY2(query.contains(" layout: " + layout.toLatin1() + ' '), query.constData());
    }

    // A character the layout lacks fails the whole send; one it has on a third level arrives as is.
    // The German game starts after the layout change: a client that is running when the layout
    // changes may read the next few keys with its old map, which is not the driver's doing.
    void charactersOfTheLayout() {
        KeyboardReset reset;
        {
            StandIn game({"--title", "Continuum"});
            X11WindowDriver driver;
            QVERIFY(driver.activateWindow("Continuum"));
            QVERIFY(!driver.sendKeys("abc \xC3\xBC")); // u with diaeresis: not on a US keyboard
            QVERIFY(!driver.sendKeys("{F13}"));
            QVERIFY(driver.sendKeys("{ENTER}"));
            QTRY_COMPARE_WITH_TIMEOUT(game.transcript(), QList<QByteArray>{""}, 3000);
        }
        QVERIFY(runProcess("setxkbmap", {"de"}));
        StandIn game({"--title", "Continuum"});
        X11WindowDriver driver;
        QVERIFY(driver.activateWindow("Continuum"));
        QVERIFY2(driver.sendKeys("M\xC3\xBCll @ #{{}x{}}\n"), driver.lastError().c_str());
        QTRY_COMPARE_WITH_TIMEOUT(game.transcript(), QList<QByteArray>{"M\xFCll @ #{x}"}, 3000);
    }

    // Another window takes the focus and takes it back at once whenever it loses it, so that every activation ends
    // with the focus in that window. An unmanaged (override-redirect) one does so without the window manager's
    // knowledge, so the window manager still calls the game active. Started before the run, it holds the focus from
    // the first activation on and the game must receive nothing at all.
    void focusStolen_data() {
        QTest::addColumn<QStringList>("thief");
        QTest::addColumn<bool>("beforeRun");
        const QStringList managed{"--title", "Intruder", "--recorder", "--steal-focus"};
        const QStringList unmanaged = managed + QStringList{"--unmanaged"};
        QTest::newRow("managed window, mid-run") << managed << false;
        QTest::newRow("unmanaged window, mid-run") << unmanaged << false;
        QTest::newRow("managed window, before the run") << managed << true;
        QTest::newRow("unmanaged window, before the run") << unmanaged << true;
    }
    void focusStolen() {
        QFETCH(QStringList, thief);
        QFETCH(bool, beforeRun);
        interruptedRun(thief, beforeRun ? Interruption::ThiefFirst : Interruption::ThiefMidRun);
    }
    // The game closes mid-run: the window that then gets the focus receives nothing.
    void gameClosedDuringRun() { interruptedRun({"--title", "Bystander", "--recorder"}, Interruption::GameCloses); }

    void stopButtonEndsLogging() {
        StandIn game({"--title", "Continuum"});
        Harness h;
        h.click("CMD_ZoneBanRetrive");
        QTRY_VERIFY_WITH_TIMEOUT(game.transcript().size() >= 2, 10000);
        h.click("CMD_STOP");
        QVERIFY(h.timersStopped());
        QCOMPARE(h.status(), QStringLiteral("Download has been stopped. File saved..."));
        QTRY_VERIFY_WITH_TIMEOUT(game.transcript().endsWith("?log"), 3000);
        auto lines = game.transcript();
        lines.removeLast();
        QVERIFY2(isPrefixOfRun(lines, runCommands(false)), lines.join('|').constData());
        QVERIFY(h.messages.empty());
        QFile log(game.logPath("Zone Banlog.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().endsWith("Log file closed\r\n"));
    }

private:
    enum class Interruption { ThiefFirst, ThiefMidRun, GameCloses };

    // The run stops with the activation error, shown once, and types nothing into the other window.
    void interruptedRun(const QStringList& otherOptions, Interruption how) {
        const bool closeGame = how == Interruption::GameCloses;
        std::unique_ptr<StandIn> other;
        if (how != Interruption::ThiefMidRun) {
            // Started first: the thief holds the focus when the game comes up; the bystander lies under the game, to
            // get the focus when it closes.
            other = std::make_unique<StandIn>(otherOptions);
        }
        StandIn game({"--title", "Continuum"});
        Harness h;
        h.click(closeGame ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive");
        if (how != Interruption::ThiefFirst) {
            QTRY_VERIFY_WITH_TIMEOUT(game.transcript().size() >= 3, 10000);
        }
        if (closeGame) {
            game.close();
        } else if (!other) {
            other = std::make_unique<StandIn>(otherOptions);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!h.messages.empty(), 20000);
        QTest::qWait(3 * FastIntervalMs);
        // First what the other window got, so that keys typed into the wrong window are what a failure shows.
        QCOMPARE(other->transcript().join(' '), QByteArray());
        QCOMPARE(h.messages, QStringList{QStringLiteral("Corvane Error: ") + ActivationError});
        QVERIFY(h.timersStopped());
        const auto lines = game.transcript();
        if (how == Interruption::ThiefFirst) {
            QCOMPARE(lines, QList<QByteArray>{});
        } else {
            QVERIFY(lines.size() < 33);
            QVERIFY2(isPrefixOfRun(lines, runCommands(closeGame)), lines.join('|').constData());
        }
    }
};

int main(int argc, char** argv) {
    // Without a display this must fail, never pass by skipping.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "test_corvane_x11: DISPLAY is not set; run it under scripts/with-x11.sh\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestCorvaneX11 test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_corvane_x11.moc"
