// End-to-end tests of Corvane against the stand-in game, on a real X server with a window manager
// (scripts/with-x11.sh): natively through X11, and as Windows programs under Wine on the same server.
// Keys travel through the window system, as they would to the game.
#include "BanHandle.h"
#include "Declares.h"
#include "FixtureBans.h"
#include "Form1.h"
#include "GameChat.h"
#include "Keyboard.h"
#include "Messages.h"
#include "PlatformWindowDriver.h"
#include "StandIn.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <stdexcept>

namespace {

constexpr int FastIntervalMs = 300;

// A window that takes the focus and takes it back at once whenever it loses it. An unmanaged one (X11:
// override-redirect) does so without the window manager's knowledge, which then still calls the game active.
const QString Thief = "Intruder --recorder --steal-focus";
const QString UnmanagedThief = Thief + " --unmanaged";

// The 33 commands of a run, in order.
QList<QByteArray> runCommands(bool network) {
    const QByteArray all = network ? "-* " : "";
    QList<QByteArray> out{network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt"};
    for (int start = 3; start <= 3001; start = start == 3 ? 101 : start + 100)
        out << "?listban -d " + all + "#" + QByteArray::number(start) + " 100";
    return out << "?log";
}

// The real driver, noting when each call began (steady-clock nanoseconds, as the stand-ins note theirs).
class TimedDriver : public WindowDriver {
public:
    struct Call {
        qint64 start;
        bool send;
        std::string keys;
    };

    WindowId activateWindow(const std::string& title) override {
        calls.push_back({standin::now(), false, {}});
        return real.activateWindow(title);
    }
    bool reactivateWindow(WindowId window, const std::string& title) override {
        calls.push_back({standin::now(), false, {}});
        return real.reactivateWindow(window, title);
    }
    bool sendKeys(WindowId window, const std::string& keys) override {
        calls.push_back({standin::now(), true, keys});
        return real.sendKeys(window, keys);
    }

    std::vector<Call> calls;

private:
    PlatformWindowDriver real;
};

// Form1 on the real driver, with fast timers; records its message boxes as "title: text".
class Harness {
public:
    // With active set, it waits until Corvane's window is active before a button is pressed, as a user would press
    // it, so that the window manager does not hand it the focus later, while a run is under way.
    explicit Harness(bool active = true) : form(driver) {
        Messages::setHandler([this](const QString& title, const QString& text) { messages << title + ": " + text; });
        for (const char* name : {"NetworkKeysTimer", "ZoneKeysTimer"})
            form.findChild<QTimer*>(name)->setInterval(FastIntervalMs);
        form.show();
        if (active && !QTest::qWaitForWindowActive(&form))
            throw std::runtime_error("Corvane's window did not become active");
    }
    ~Harness() { Messages::setHandler({}); }

    void click(const char* button) { form.findChild<QAbstractButton*>(button)->click(); }
    bool timersStopped() const {
        return !form.findChild<QTimer*>("NetworkKeysTimer")->isActive() &&
               !form.findChild<QTimer*>("ZoneKeysTimer")->isActive();
    }

    TimedDriver driver;
    Form1 form;
    QStringList messages;
};

constexpr qint64 nanoseconds(std::chrono::milliseconds ms) {
    return std::chrono::nanoseconds(ms).count();
}

// Whether a focus thief held the focus before Corvane's last look (no earlier than lastLook) and always
// took it back before Corvane could trust it: activation trusts the focus only when it still holds SettleTime after
// it was seen. The thief's log bounds each time without it, from the last look that saw it held to the first that
// saw it held again. Empty when the thief was fast enough, else why not.
QString thiefTooSlow(const QList<QByteArray>& log, qint64 lastLook) {
    qint64 lostSince = -1;
    qint64 longest = 0;
    bool held = false; // before it first held the focus, the thief had nothing to take back
    for (const QByteArray& line : log) {
        const auto f = line.split(' ');
        if (f.size() != 3 || (f[0] != "held" && f[0] != "lost"))
            return "the thief's focus log is unreadable at \"" + QString::fromLatin1(line) + "\"";
        if (f[0] == "lost") {
            lostSince = held ? f[1].toLongLong() : -1;
            continue;
        }
        if (!held && f[2].toLongLong() >= lastLook)
            return "the thief came after Corvane's last look";
        if (lostSince >= 0)
            longest = std::max(longest, f[2].toLongLong() - lostSince);
        lostSince = -1;
        held = true;
    }
    if (lostSince >= 0)
        return "the thief did not take the focus back";
    if (longest >= nanoseconds(WindowDriver::SettleTime))
        return QString("the thief was without the focus for up to %1 ms").arg(double(longest) / 1e6, 0, 'f', 1);
    return {};
}

// Whether the game let the focus go, or took another caption, on its second line before Corvane looked again: a
// send watches the focus for DeliveryTime after its keys, and the next tick's activation checks the caption.
QString gameTooSlow(const QList<QByteArray>& log, const std::vector<TimedDriver::Call>& calls) {
    const auto f = log.isEmpty() ? QList<QByteArray>{} : log.last().split(' ');
    if (f.size() != 2)
        return "the game noted no reaction to its second line";
    const qint64 done = f[1].toLongLong();
    auto call = calls.begin();
    for (int enters = 0; call != calls.end(); ++call) {
        if (call->send && call->keys == "{ENTER}" && ++enters == 2)
            break;
    }
    if (call == calls.end())
        return "Corvane sent no second Return";
    qint64 look = call->start + nanoseconds(WindowDriver::DeliveryTime);
    if (f[0] != "dropped") {
        const auto next = std::find_if(call, calls.end(), [](const TimedDriver::Call& c) { return !c.send; });
        look = next == calls.end() ? std::numeric_limits<qint64>::max() : next->start;
    }
    if (done >= look)
        return QString("the game was %1 ms late for Corvane's look").arg(double(done - look) / 1e6, 0, 'f', 1);
    return {};
}

// Commands that together use every character a run types, sent as a run sends them.
const QStringList Sample = {
    "?log Zone Banlog.txt", "{ENTER}", "?listban -d -* #3001 100", "{ENTER}", "?log", "{ENTER}"};
const QList<QByteArray> SampleLines = {"?log Zone Banlog.txt", "?listban -d -* #3001 100", "?log"};

} // namespace

class TestCorvaneE2e : public QObject {
    Q_OBJECT

private slots:
    void fullRun_data() {
        QTest::addColumn<bool>("network");
        QTest::newRow("zone") << false;
        QTest::newRow("network") << true;
    }

    void fullRun() {
        QFETCH(bool, network);
        StandIn game("Continuum");
        Harness h;
        h.click(network ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive");
        QTRY_VERIFY_WITH_TIMEOUT(!h.messages.empty(), 60000);

        const QString file = network ? "Network Banlog.txt" : "Zone Banlog.txt";
        QCOMPARE(h.messages,
                 QStringList{"Download complete: Ban log downloaded and saved in your logs folder as " + file});
        QTRY_COMPARE_WITH_TIMEOUT(game.transcript(), runCommands(network), 5000);
        QVERIFY(h.timersStopped());

        // The game's log, read by the analyser, holds every listed page in order (the first page starts at entry 3;
        // neighbouring pages overlap by two entries), each entry a record.
        Declares::BanFilePath = game.logPath(file).toLocal8Bit().toStdString();
        const auto outcome = BanHandle::LoadBanFile();
        QVERIFY2(outcome.ok(), outcome.reason.c_str());
        const auto& bans = fixture::banList(network);
        std::vector<std::string> expected, got;
        for (std::size_t s = 3; s <= 3001; s = s == 3 ? 101 : s + 100)
            expected.insert(expected.end(), bans.begin() + s - 1, bans.begin() + std::min(s + 99, bans.size()));
        for (int i = 2; i <= Declares::BanFileLineCount; ++i) {
            if (Declares::BanFileLines[i].starts_with("  #") || Declares::BanFileLines[i].starts_with("  ^"))
                got.push_back(Declares::BanFileLines[i]);
        }
        const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
        QVERIFY2(diff.first == got.end() && diff.second == expected.end(),
                 qPrintable(QString("entry %1 of %2 differs").arg(diff.first - got.begin() + 1).arg(got.size())));
        QCOMPARE(Declares::BanRecordCount - 1, int(expected.size()));
    }

    // The driver alone: which window a title picks, whether the focus is confirmed, and what arrives. Each row sets
    // the keyboard layout, starts its windows in order (the last one starts on top and with the focus), sets Caps
    // Lock, activates, holds Shift as the keyboard column says, starts the window "later" if any, and types. "receiver"
    // is the index of the window that must get the lines, -1 for none; activation succeeds when there is one, or
    // when the window that takes the focus comes only later. The keyboard's state must not change what arrives, and
    // is as it was afterwards. The games start after the layout change: a client that is running when the layout
    // changes may read the next few keys with its old map, which is not the driver's doing.
    void driver_data() {
        QTest::addColumn<QStringList>("windows");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("receiver");
        QTest::addColumn<QString>("later");
        QTest::addColumn<QString>("keyboard");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QList<QByteArray>>("lines");
        auto row = [](const char* name, QStringList windows, QString title, int receiver, QString later = {},
                      QString keyboard = "us", QStringList keys = Sample, QList<QByteArray> lines = SampleLines) {
            QTest::newRow(name) << windows << title << receiver << later << keyboard << keys << lines;
        };
        const QStringList game{"Continuum"};
        row("exact caption wins over a prefix on top", {"Continuum", "Continuum Notes"}, "Continuum", 0);
        row("prefix when none is exact", {"Continuum 1.0"}, "Continuum", 0);
        row("minimised game is restored", {"Continuum --iconic", "Other"}, "Continuum", 0);
#ifndef _WIN32
        row("Wine desktop holding the game", {"Continuum --wine-desktop", "Other"}, "Continuum", 0);
#endif
        row("empty title", game, "", -1);
        row("case differs", game, "continuum", -1);
        row("title longer than caption", game, "Continuum 2", -1);
        row("child window of an ordinary program", {"Continuum --wine-desktop --desktop-title Notes"}, "Continuum", -1);
        row("thief after activation", game, "Continuum", -1, Thief);
        row("unmanaged thief after activation", game, "Continuum", -1, UnmanagedThief);
        row("shift held", game, "Continuum", 0, {}, "us shift");
        row("german layout and shift", game, "Continuum", 0, {}, "de shift");
#ifndef _WIN32
        // Under Wine the keyboard's locks are the X server's, and Wine takes them from there at its own times: a
        // Caps Lock set from a Windows program does not reliably reach the game. Wine also looks characters up
        // through the locale's one-byte code page and takes AltGr from the X server's own key events, so it can
        // neither find the umlaut nor make the third level from sent keys.
        row("caps lock", game, "Continuum", 0, {}, "us caps");
        row("german layout, caps lock and shift", game, "Continuum", 0, {}, "de caps shift");
        row("german umlaut and third level", game, "Continuum", 0, {}, "de", {"M\xC3\xBCll @ #{{}x{}}\n"},
            {"M\xFCll @ #{x}"});
#endif
    }

    void driver() {
        QFETCH(QStringList, windows);
        QFETCH(QString, title);
        QFETCH(int, receiver);
        QFETCH(QString, later);
        QFETCH(QString, keyboard);
        QFETCH(QStringList, keys);
        QFETCH(QList<QByteArray>, lines);
        const QStringList state = keyboard.split(' ');
        // The keyboard goes back as every case expects it: US layout, Caps Lock off, Shift up.
        const auto reset = qScopeGuard([] {
            keyboard::holdShift(false);
            keyboard::setCapsLock(false);
            keyboard::setLayout("us");
        });
        QVERIFY(keyboard::setLayout(qPrintable(state[0])));
        std::vector<std::unique_ptr<StandIn>> running;
        for (const QString& window : windows)
            running.push_back(std::make_unique<StandIn>(window));
        keyboard::setCapsLock(state.contains("caps"));
        PlatformWindowDriver driver;
        const auto window = driver.activateWindow(title.toStdString());
        QCOMPARE(window != 0, receiver >= 0 || !later.isEmpty());
        keyboard::holdShift(state.contains("shift"));
        if (!later.isEmpty())
            running.push_back(std::make_unique<StandIn>(later));
        // A snowman is on no keyboard here: nothing of the text may arrive.
        // Nor may keys addressed to another window.
        QVERIFY(!driver.sendKeys(window, "abc \xE2\x98\x83") && !driver.sendKeys(window, "{F13}") &&
                !driver.sendKeys(window + 1, "x"));
        QCOMPARE(std::all_of(keys.begin(), keys.end(),
                             [&](const QString& k) { return driver.sendKeys(window, k.toStdString()); }),
                 receiver >= 0);
        for (int i = 0; i < static_cast<int>(running.size()); ++i) {
            const auto expected = i == receiver ? lines : QList<QByteArray>{};
            QTRY_COMPARE_WITH_TIMEOUT(running[static_cast<std::size_t>(i)]->transcript(), expected, 3000);
        }
        QCOMPARE(keyboard::capsLockOn(), state.contains("caps"));
        QCOMPARE(keyboard::shiftHeld(), state.contains("shift"));
    }

    // A run cut short: by a focus thief started before the run or during it, by the game letting the focus go as it
    // reads command 2, or by the game closing or taking another caption after command 2. The other window, started
    // first, lies under the game; the editor "Continuum Notes" is what the caption would pick once the game has gone.
    // The run stops with the activation error, shown once, by the tick that failed, and types nothing into the other
    // window; the game received the first commands of the run only (none with a thief from the start, exactly two
    // where the game itself ends the run at command 2).
    // That holds when the other program reacts before Corvane looks again, which a busy machine may delay; the
    // programs' logs tell. When it did not, Corvane rightly found the game holding the focus, and the row checks what
    // must hold under any load: no key in the other window, and one message, true to what the game received.
    void runInterrupted_data() {
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("how");
        const QString notes = "Continuum Notes --recorder";
        QTest::newRow("thief before the run") << "Continuum" << Thief << int(ThiefFirst);
        QTest::newRow("unmanaged thief before the run") << "Continuum" << UnmanagedThief << int(ThiefFirst);
        QTest::newRow("thief mid-run") << "Continuum" << Thief << int(ThiefMidRun);
        QTest::newRow("unmanaged thief mid-run") << "Continuum" << UnmanagedThief << int(ThiefMidRun);
        QTest::newRow("focus let go mid-run") << "Continuum --drop-focus" << notes << int(GameEnds);
        QTest::newRow("game retitled mid-run") << "Continuum --retitle Notes" << notes << int(GameEnds);
        QTest::newRow("game closed mid-run") << "Continuum" << notes << int(GameCloses);
    }

    void runInterrupted() {
        QFETCH(QString, game);
        QFETCH(QString, other);
        QFETCH(int, how);
        // A thief there before the run comes up after the game, so that it holds the focus when the run starts:
        // started first, the game's window could take the focus at a moment the thief cannot win it back.
        std::unique_ptr<StandIn> window;
        if (how != ThiefMidRun && how != ThiefFirst)
            window = std::make_unique<StandIn>(other);
        StandIn continuum(game);
        if (how == ThiefFirst)
            window = std::make_unique<StandIn>(other);
        Harness h(how != ThiefFirst); // a thief there already keeps Corvane's window from becoming active
        h.click(how == GameCloses ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive");
        if (how != ThiefFirst)
            QTRY_VERIFY_WITH_TIMEOUT(continuum.transcript().size() >= (how == ThiefMidRun ? 3 : 2), 10000);
        if (how == GameCloses) {
            continuum.close();
        } else if (!window) {
            window = std::make_unique<StandIn>(other);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!h.messages.empty(), 60000);
        QTest::qWait(3 * FastIntervalMs);
        // First what the other window got, so that keys typed into the wrong window are what a failure shows.
        QCOMPARE(window->transcript().join(' '), QByteArray());
        QCOMPARE(h.messages.size(), 1);
        QVERIFY(h.timersStopped());
        QString late;
        if (how == ThiefFirst || how == ThiefMidRun) {
            const auto log = window->focusLog();
            QVERIFY2(std::any_of(log.begin(), log.end(), [](const QByteArray& l) { return l.startsWith("held "); }),
                     "the thief never noted holding the focus");
            // A send's last look is at least DeliveryTime after it began, an activation's SettleTime.
            const auto& last = h.driver.calls.back();
            late = thiefTooSlow(
                log, last.start + nanoseconds(last.send ? WindowDriver::DeliveryTime : WindowDriver::SettleTime));
        } else if (how == GameEnds) {
            late = gameTooSlow(continuum.focusLog(), h.driver.calls);
        }
        const auto commands = runCommands(how == GameCloses);
        const bool error = h.messages[0].startsWith("Corvane Error: ERROR : The program could not activate");
        if (error) {
            QCOMPARE(h.form.findChild<QLabel*>("StatusLabel")->text(), "Status : Waiting.....");
        } else {
            QVERIFY2(!late.isEmpty(), qPrintable(h.messages[0]));
            qInfo("%s: the run went through, as it should then", qPrintable(late));
            QVERIFY2(h.messages[0].startsWith("Download complete:"), qPrintable(h.messages[0]));
            QTRY_COMPARE_WITH_TIMEOUT(continuum.transcript(), commands, 5000);
        }
        const auto lines = continuum.transcript();
        QVERIFY2(lines == commands.mid(0, lines.size()), lines.join('|').constData());
        // A thief that comes while the last Return is on its way ends the run after the game got every line.
        if (late.isEmpty())
            QVERIFY((how == ThiefMidRun || lines.size() < 33) && (how != ThiefFirst || lines.isEmpty()) &&
                    (how != GameEnds || lines.size() == 2));
    }

private:
    enum Interruption { ThiefFirst, ThiefMidRun, GameEnds, GameCloses };
};

// Without a display the application cannot start, so the test fails rather than passes by skipping.
QTEST_MAIN(TestCorvaneE2e)
#include "test_corvane_e2e.moc"
