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

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

constexpr int FastIntervalMs = 300;

const char* const ActivationError =
    "ERROR : The program could not activate the specified window. Check that you have set the correct version of "
    "Continuum, and remember that you have to enter Continuum before attempting to download. The download been "
    "aborted due to this error.";

// The 33 commands of a run, in order.
QList<QByteArray> runCommands(bool network) {
    QList<QByteArray> out;
    const QByteArray all = network ? "-* " : "";
    out << (network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt");
    out << "?listban -d " + all + "#3 100";
    for (int start = 101; start <= 3001; start += 100) {
        out << "?listban -d " + all + "#" + QByteArray::number(start) + " 100";
    }
    out << "?log";
    return out;
}

struct Message {
    QString title;
    QString text;
};

// Form1 on the real driver, with fast timers; records its message boxes and the status line after
// every tick.
class Harness {
public:
    Harness() : form(driver) {
        previous_ = Notices::setHandler([this](const QString& title, const QString& text) {
            messages.push_back({title, text});
        });
        for (const char* name : {"NetworkKeysTimer", "ZoneKeysTimer"}) {
            auto* timer = form.findChild<QTimer*>(name);
            if (timer == nullptr) {
                throw std::runtime_error("Form1 has no timer " + std::string(name));
            }
            timer->setInterval(FastIntervalMs);
            // Connected after Form1's own handler, so this sees the status the tick left.
            QObject::connect(timer, &QTimer::timeout, &form, [this] { statuses << status(); });
        }
        form.show();
    }
    ~Harness() { Notices::setHandler(std::move(previous_)); }

    void click(const char* button) {
        auto* b = form.findChild<QAbstractButton*>(button);
        if (b == nullptr) {
            throw std::runtime_error(std::string("Form1 has no button ") + button);
        }
        b->click();
    }
    QString status() const { return form.findChild<QLabel*>("StatusLabel")->text(); }
    bool timersStopped() const {
        return !form.findChild<QTimer*>("NetworkKeysTimer")->isActive() &&
               !form.findChild<QTimer*>("ZoneKeysTimer")->isActive();
    }

    X11WindowDriver driver;
    Form1 form;
    std::vector<Message> messages;
    QStringList statuses;

private:
    Notices::Handler previous_;
};

// Each line must be the command at its place; a line cut off by the game closing must begin one.
bool isPrefixOfRun(const QList<QByteArray>& lines, const QList<QByteArray>& commands) {
    if (lines.size() > commands.size()) {
        return false;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray unfinished = "<unfinished>";
        if (lines[i].startsWith(unfinished)) {
            return i == lines.size() - 1 && commands[i].startsWith(lines[i].mid(unfinished.size()));
        }
        if (lines[i] != commands[i]) {
            return false;
        }
    }
    return true;
}

Declares::BanRecord expectedRecord(const fixture::Ban& b) {
    Declares::BanRecord r;
    r.AccessLevel = std::string(1, b.access);
    r.StatusMark = std::string(1, b.mark);
    r.Id = b.id;
    r.By = b.moderator + std::string(12 - b.moderator.size(), ' '); // padded, as listed
    r.Date = b.date;
    r.Name = b.name;
    r.Mid = b.mid + " ";
    r.Days = b.days;
    r.Ip = " " + b.ip;
    return r;
}

bool runProcess(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray xkbLayout() {
    QProcess p;
    p.start("setxkbmap", {"-query"});
    p.waitForFinished(10000);
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("layout:")) {
            return line.mid(7).trimmed();
        }
    }
    return {};
}

// Types a few commands that together use every character a run types.
bool typeSample(X11WindowDriver& driver) {
    for (const char* keys :
         {"?log Zone Banlog.txt", "{ENTER}", "?listban -d -* #3001 100", "{ENTER}", "?log", "{ENTER}"}) {
        if (!driver.sendKeys(keys)) {
            return false;
        }
    }
    return true;
}
const QList<QByteArray> SampleLines = {"?log Zone Banlog.txt", "?listban -d -* #3001 100", "?log"};

} // namespace

class TestCorvaneX11 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "DISPLAY is not set: run under scripts/with-x11.sh");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

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

        const auto commands = runCommands(network);
        QTRY_COMPARE_WITH_TIMEOUT(game.transcript(), commands, 5000);
        QCOMPARE(h.messages.size(), std::size_t(1));
        QCOMPARE(h.messages[0].title, QStringLiteral("Download complete"));
        QCOMPARE(h.messages[0].text, QStringLiteral("Ban log downloaded and saved in your logs folder as ") +
                                         (network ? "Network Banlog.txt" : "Zone Banlog.txt"));
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

        // The game's log, read by the analyser, holds every listed page in order (the first page
        // starts at entry 3; neighbouring pages overlap by two entries).
        Declares::BanFilePath =
            game.logPath(network ? "Network Banlog.txt" : "Zone Banlog.txt").toLocal8Bit().toStdString();
        const auto outcome = BanHandle::LoadBanFile();
        QVERIFY2(outcome.ok(), outcome.reason.c_str());
        const auto& bans = fixture::banList(network);
        std::vector<Declares::BanRecord> expected;
        std::vector<std::size_t> starts{3};
        for (std::size_t s = 101; s <= 3001; s += 100) {
            starts.push_back(s);
        }
        for (std::size_t s : starts) {
            for (std::size_t k = s; k < s + 100 && k <= bans.size(); ++k) {
                expected.push_back(expectedRecord(bans[k - 1]));
            }
        }
        std::vector<Declares::BanRecord> got(Declares::BanRecordTable.begin() + 2,
                                             Declares::BanRecordTable.begin() + Declares::BanRecordCount + 1);
        QCOMPARE(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            QVERIFY2(got[i] == expected[i], qPrintable(QString("record %1 (id %2) differs: got id %3 name '%4' ip '%5'")
                                                           .arg(i + 2)
                                                           .arg(QString::fromStdString(expected[i].Id))
                                                           .arg(QString::fromStdString(got[i].Id))
                                                           .arg(QString::fromStdString(got[i].Name))
                                                           .arg(QString::fromStdString(got[i].Ip))));
        }
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
        struct Restore {
            ~Restore() {
                xkeyboard::holdShift(false);
                xkeyboard::setCapsLock(false);
                runProcess("setxkbmap", {"us"});
            }
        } restore;
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
        QCOMPARE(xkbLayout(), layout.toLatin1());
    }

    // A character the layout lacks fails the whole send; one it has on a third level arrives as is.
    // The German game starts after the layout change: a client that is running when the layout
    // changes may read the next few keys with its old map, which is not the driver's doing.
    void charactersOfTheLayout() {
        struct Restore {
            ~Restore() { runProcess("setxkbmap", {"us"}); }
        } restore;
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

    // An unmanaged (override-redirect) window takes the focus without the window manager's knowledge,
    // so the window manager still calls the game active.
    void focusStolenDuringRun_data() {
        QTest::addColumn<QStringList>("intruderOptions");
        QTest::newRow("managed window") << QStringList{"--title", "Intruder", "--recorder", "--steal-focus"};
        QTest::newRow("unmanaged window")
            << QStringList{"--title", "Intruder", "--recorder", "--steal-focus", "--unmanaged"};
    }

    void focusStolenDuringRun() {
        QFETCH(QStringList, intruderOptions);
        StandIn game({"--title", "Continuum"});
        Harness h;
        h.click("CMD_ZoneBanRetrive");
        QTRY_VERIFY_WITH_TIMEOUT(game.transcript().size() >= 3, 10000);
        StandIn intruder(intruderOptions);
        QTRY_VERIFY_WITH_TIMEOUT(!h.messages.empty(), 20000);
        QCOMPARE(h.messages[0].title, QStringLiteral("Corvane Error"));
        QCOMPARE(h.messages[0].text, QString::fromLatin1(ActivationError));
        QVERIFY(h.timersStopped());
        QTest::qWait(3 * FastIntervalMs);
        QCOMPARE(intruder.transcript(), QList<QByteArray>{});
        const auto lines = game.transcript();
        QVERIFY(lines.size() < 33);
        QVERIFY2(isPrefixOfRun(lines, runCommands(false)), lines.join('|').constData());
    }

    // The game closes during a run: the run stops with the error and the window that gets the focus
    // then receives nothing.
    void gameClosedDuringRun() {
        StandIn bystander({"--title", "Bystander", "--recorder"});
        StandIn game({"--title", "Continuum"});
        Harness h;
        h.click("CMD_NetworkRetrive");
        QTRY_VERIFY_WITH_TIMEOUT(game.transcript().size() >= 3, 10000);
        game.close();
        QTRY_VERIFY_WITH_TIMEOUT(!h.messages.empty(), 20000);
        QCOMPARE(h.messages[0].title, QStringLiteral("Corvane Error"));
        QCOMPARE(h.messages[0].text, QString::fromLatin1(ActivationError));
        QVERIFY(h.timersStopped());
        QTest::qWait(3 * FastIntervalMs);
        QCOMPARE(bystander.transcript(), QList<QByteArray>{});
        const auto lines = game.transcript();
        QVERIFY2(isPrefixOfRun(lines, runCommands(true)), lines.join('|').constData());
    }

    void stopButtonEndsLogging() {
        StandIn game({"--title", "Continuum"});
        Harness h;
        h.click("CMD_ZoneBanRetrive");
        QTRY_VERIFY_WITH_TIMEOUT(game.transcript().size() >= 2, 10000);
        h.click("CMD_STOP");
        QVERIFY(h.timersStopped());
        QCOMPARE(h.status(), QStringLiteral("Download has been stopped. File saved..."));
        QTRY_COMPARE_WITH_TIMEOUT(game.transcript().value(game.transcript().size() - 1), QByteArray("?log"), 3000);
        auto lines = game.transcript();
        lines.removeLast();
        QVERIFY2(isPrefixOfRun(lines, runCommands(false)), lines.join('|').constData());
        QVERIFY(h.messages.empty());
        QFile log(game.logPath("Zone Banlog.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().endsWith("Log file closed\r\n"));
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
