// Form1's controls and operations against the recording driver; message boxes go to a handler.
#include "Form1.h"
#include "Notices.h"
#include "RecordingDriver.h"
#include "Timetable.h"

#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString ErrorTitle = QStringLiteral("Corvane Error");
const QString ErrorText = QStringLiteral(
    "ERROR : The program could not activate the specified window. Check that you have set the correct version of "
    "Continuum, and remember that you have to enter Continuum before attempting to download. The download been "
    "aborted due to this error.");
const QString Waiting = QStringLiteral("Status : Waiting.....");
const QString Stopped = QStringLiteral("Download has been stopped. File saved...");
const QString Completed = QStringLiteral("Download completed, log saved...");
const QString ExtendedText =
    QStringLiteral("Extended timeout mode selected, download will take twice as long, but should be more realiable...");

// A box as it was shown, with what the window looked like at that moment.
struct Notice {
    QString title;
    QString text;
    bool networkTimerActive;
    bool zoneTimerActive;
    int networkTick;
    int zoneTick;
    QString status;
};

using Kind = Timetable::Kind;

} // namespace

Q_DECLARE_METATYPE(Timetable::Kind)

class TestForm1 : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingDriver> driver;
    std::unique_ptr<Form1> form;
    std::vector<Notice> notices;

    QTimer* timer(const char* name) { return form->findChild<QTimer*>(QString::fromLatin1(name)); }
    QTimer* networkTimer() { return timer("NetworkKeysTimer"); }
    QTimer* zoneTimer() { return timer("ZoneKeysTimer"); }
    QTimer* timerOf(Kind k) { return k == Kind::Network ? networkTimer() : zoneTimer(); }
    QTimer* otherTimer(Kind k) { return k == Kind::Network ? zoneTimer() : networkTimer(); }
    int tickOf(Kind k) { return k == Kind::Network ? form->networkTick() : form->zoneTick(); }
    QString status() { return form->findChild<QLabel*>(QStringLiteral("StatusLabel"))->text(); }

    void click(const char* name) {
        auto* b = form->findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY(b);
        b->click();
    }
    void start(Kind k) { click(k == Kind::Network ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive"); }

    // The window system only delivers ticks of an enabled timer.
    bool fire(QTimer* t) {
        if (!t->isActive())
            return false;
        return QMetaObject::invokeMethod(t, "timeout", Qt::DirectConnection);
    }
    void ticks(QTimer* t, int count) {
        for (int i = 0; i < count; ++i)
            QVERIFY(fire(t));
    }

    std::vector<std::string> sentSince(size_t mark) {
        std::vector<std::string> keys;
        for (size_t i = mark; i < driver->calls.size(); ++i)
            if (driver->calls[i].kind == RecordingDriver::Call::Kind::Send)
                keys.push_back(driver->calls[i].text);
        return keys;
    }

private slots:
    void init() {
        driver = std::make_unique<RecordingDriver>();
        form = std::make_unique<Form1>(*driver);
        notices.clear();
        Notices::setHandler([this](const QString& title, const QString& text) {
            notices.push_back({title, text, networkTimer()->isActive(), zoneTimer()->isActive(), form->networkTick(),
                               form->zoneTick(), status()});
        });
    }
    void cleanup() {
        Notices::setHandler({});
        form.reset();
        driver.reset();
    }

    void controls_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* kind, const char* container, QRect r, const QString& text) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(container) << r << text;
        };
        row("Frame1", "frame", "Form1", {16, 16, 513, 249}, {});
        row("Label1", "label", "Frame1", {16, 16, 489, 33},
            "This program retrives banlogs from the zone which you are a moderator in, these logs can be used for "
            "reviewing or used with my Mirewatch program.");
        row("Label2", "label", "Frame1", {16, 56, 489, 33},
            "Usage : Enter Continuum ( full screen mode ), log on to BanG, then alt+tab out to windows and press "
            "either one of the two buttons listed below, depending on your level of access to BanG.");
        row("Label3", "label", "Frame1", {16, 96, 489, 41},
            "The download will take 4 minutes, during that time you must not touch any keys or shift the focus away "
            "from the continuum chat window. You will recieve a notification when the download is complete.");
        row("Label6", "label", "Frame1", {16, 136, 481, 33},
            "This program does not pay much respect to lag, so if you are downloading incomplete files, you can try "
            "pressing the button labeled \"Extended timeout\"");
        row("Label4", "label", "Frame1", {16, 168, 465, 17},
            "Atleast the network download option require level 2 Bang, but this might be subject to change.");
        row("Label5", "label", "Frame1", {16, 200, 457, 33}, {}); // wording checked separately
        row("Option4", "option", "Form1", {200, 288, 121, 25}, "Extended timeout");
        row("Frame2", "frame", "Form1", {24, 320, 505, 41}, {});
        row("StatusLabel", "label", "Frame2", {16, 16, 473, 17}, Waiting);
        row("CMD_ZoneBanRetrive", "button", "Form1", {24, 384, 513, 33}, "Retrive zone ban log");
        row("CMD_NetworkRetrive", "button", "Form1", {24, 432, 513, 33}, "Retrive network ban log");
        row("CMD_STOP", "button", "Form1", {24, 480, 513, 33}, "Stop download and save the log file");
    }
    void controls() {
        QFETCH(QString, kind);
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const auto found = form->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QWidget* w = found.front();
        QCOMPARE(w->parentWidget()->objectName(), container);
        QCOMPARE(w->geometry(), geometry);
        QVERIFY(!w->isHidden());
        QVERIFY(w->isEnabled());
        if (kind == "frame") {
            auto* box = qobject_cast<QGroupBox*>(w);
            QVERIFY(box);
            QVERIFY(box->title().isEmpty());
        } else if (kind == "label") {
            auto* l = qobject_cast<QLabel*>(w);
            QVERIFY(l);
            QVERIFY(l->wordWrap());
            if (!text.isEmpty())
                QCOMPARE(l->text(), text);
        } else if (kind == "option") {
            auto* o = qobject_cast<QRadioButton*>(w);
            QVERIFY(o);
            QCOMPARE(o->text(), text);
            QVERIFY(!o->isChecked());
        } else {
            auto* b = qobject_cast<QPushButton*>(w);
            QVERIFY(b);
            QCOMPARE(b->text(), text);
        }
    }

    void window() {
        QCOMPARE(form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Ban log retrive"));
        QCOMPARE(form->size(), QSize(594, 549));
        QCOMPARE(form->minimumSize(), QSize(594, 549));
        QCOMPARE(form->maximumSize(), QSize(594, 549));
        for (QTimer* t : {networkTimer(), zoneTimer()}) {
            QVERIFY(t);
            QCOMPARE(t->interval(), 7000);
            QCOMPARE(t->timerType(), Qt::PreciseTimer);
            QVERIFY(!t->isSingleShot());
            QVERIFY(!t->isActive());
        }
        QCOMPARE(form->findChildren<QTimer*>().size(), 2);
        QCOMPARE(form->findChildren<QRadioButton*>().size(), 1);
    }

    // Invites comments and questions, says how to reach the author, and names nobody and nowhere.
    void contactLine() {
        const QString text = form->findChild<QLabel*>(QStringLiteral("Label5"))->text();
        QVERIFY(text.contains(QStringLiteral("question"), Qt::CaseInsensitive));
        QVERIFY(text.contains(QStringLiteral("comment"), Qt::CaseInsensitive));
        QVERIFY(text.contains(QStringLiteral("e-mail"), Qt::CaseInsensitive));
        QVERIFY(text.contains(QStringLiteral("game"), Qt::CaseInsensitive));
        QVERIFY(!text.contains(QLatin1Char('@')));
        QVERIFY(!text.contains(QStringLiteral("www"), Qt::CaseInsensitive));
    }

    void tabOrder() {
        const QStringList expected = {"Frame1",
                                      "Label1",
                                      "Label2",
                                      "CMD_ZoneBanRetrive",
                                      "CMD_NetworkRetrive",
                                      "Label3",
                                      "Label4",
                                      "Label5",
                                      "Label6",
                                      "Option4",
                                      "Frame2",
                                      "StatusLabel",
                                      "CMD_STOP"};
        QStringList chain;
        for (QWidget* w = form->nextInFocusChain(); w != form.get(); w = w->nextInFocusChain())
            if (expected.contains(w->objectName()))
                chain << w->objectName();
        QCOMPARE(chain, expected);
    }

    void extendedTimeout() {
        auto* option = form->findChild<QRadioButton*>(QStringLiteral("Option4"));
        option->click();
        QVERIFY(option->isChecked());
        QCOMPARE(form->mode(), 1);
        QCOMPARE(status(), ExtendedText);
        QCOMPARE(networkTimer()->interval(), 15000);
        QCOMPARE(zoneTimer()->interval(), 15000);
        QVERIFY(!networkTimer()->isActive());
        QVERIFY(!zoneTimer()->isActive());
        form->findChild<QLabel*>(QStringLiteral("StatusLabel"))->setText(Waiting);
        option->click(); // cannot be deselected; selecting again repeats the same steps
        QVERIFY(option->isChecked());
        QCOMPARE(form->mode(), 1);
        QCOMPARE(status(), ExtendedText);
        QCOMPARE(networkTimer()->interval(), 15000);
        QCOMPARE(zoneTimer()->interval(), 15000);
        QVERIFY(driver->calls.empty());
    }

    // The box a user (or a script through the active modal widget) sees, when no handler takes it.
    void realMessageBox() {
        Notices::setHandler({});
        QMessageBox* seen = nullptr;
        bool modal = false;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Warning;
        QList<QAbstractButton*> buttons;
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* active = QApplication::activeModalWidget();
            seen = form->findChild<QMessageBox*>(QStringLiteral("CorvaneMessage"));
            if (!seen) {
                if (active) // never leave the test waiting on a box
                    active->close();
                return;
            }
            modal = active == seen;
            title = seen->windowTitle();
            text = seen->text();
            icon = seen->icon();
            buttons = seen->buttons();
            seen->accept();
        });
        click("CMD_STOP"); // before any start: the activation error
        QVERIFY(seen);
        QVERIFY(modal);
        QCOMPARE(title, ErrorTitle);
        QCOMPARE(text, ErrorText);
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons.size(), 1);
        QVERIFY(!form->findChild<QMessageBox*>()); // gone once closed
    }

    void startActivatesOnly_data() {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("network") << Kind::Network;
        QTest::newRow("zone") << Kind::Zone;
    }
    void startActivatesOnly() {
        QFETCH(Kind, kind);
        start(kind);
        QCOMPARE(form->ssmode(), std::string("Continuum"));
        QCOMPARE(driver->calls.size(), size_t(1));
        QCOMPARE(driver->calls[0].kind, RecordingDriver::Call::Kind::Activate);
        QCOMPARE(driver->calls[0].text, std::string("Continuum"));
        QVERIFY(timerOf(kind)->isActive());
        QVERIFY(!otherTimer(kind)->isActive());
        QCOMPARE(status(), Waiting);
        QVERIFY(notices.empty());
    }

    void wholeRun_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("extended");
        QTest::newRow("network") << Kind::Network << false;
        QTest::newRow("zone") << Kind::Zone << false;
        QTest::newRow("network extended") << Kind::Network << true;
        QTest::newRow("zone extended") << Kind::Zone << true;
    }
    void wholeRun() {
        QFETCH(Kind, kind);
        QFETCH(bool, extended);
        if (extended)
            click("Option4");
        start(kind);
        QTimer* own = timerOf(kind);
        QCOMPARE(own->interval(), extended ? 15000 : 7000);
        for (int tick = 1; tick <= 34; ++tick) {
            const size_t mark = driver->calls.size();
            QVERIFY(fire(own));
            const Timetable::Step step = Timetable::step(kind, tick, extended ? 1 : 0);
            QCOMPARE(sentSince(mark), step.keys);
            if (!step.keys.empty()) {
                // One activation of the game, then the sends, all into it.
                QCOMPARE(driver->calls.size() - mark, size_t(3));
                QCOMPARE(driver->calls[mark].kind, RecordingDriver::Call::Kind::Activate);
                QCOMPARE(driver->calls[mark].text, std::string("Continuum"));
                QCOMPARE(driver->calls[mark + 1].target, std::string("Continuum"));
                QCOMPARE(driver->calls[mark + 2].target, std::string("Continuum"));
            } else {
                QCOMPARE(driver->calls.size(), mark);
            }
            if (tick < 34) {
                QCOMPARE(status(), QString::fromStdString(step.status));
                QCOMPARE(tickOf(kind), tick);
                QVERIFY(notices.empty());
            }
        }
        const bool network = kind == Kind::Network;
        const std::vector<std::string> all = driver->sent();
        QCOMPARE(all.size(), size_t(66));
        QCOMPARE(all.front(), std::string(network ? "?log Network Banlog.txt" : "?log Zone Banlog.txt"));
        QCOMPARE(all[2], std::string(network ? "?listban -d -* #3 100" : "?listban -d #3 100"));
        QCOMPARE(all[64], std::string("?log"));
        QCOMPARE(all.back(), std::string("{ENTER}"));

        QCOMPARE(notices.size(), size_t(1));
        const Notice& n = notices.front();
        QCOMPARE(n.title, QStringLiteral("Download complete"));
        QCOMPARE(n.text, network
                             ? QStringLiteral("Ban log downloaded and saved in your logs folder as Network Banlog.txt")
                             : QStringLiteral("Ban log downloaded and saved in your logs folder as Zone Banlog.txt"));
        // Timer off and counter back at 0 while the box is still open.
        QVERIFY(!n.networkTimerActive);
        QVERIFY(!n.zoneTimerActive);
        QCOMPARE(network ? n.networkTick : n.zoneTick, 0);
        QCOMPARE(n.status, Completed);
        QCOMPARE(status(), Completed);

        // A new start begins afresh.
        start(kind);
        const size_t mark = driver->calls.size();
        QVERIFY(fire(own));
        QCOMPARE(sentSince(mark).front(), all.front());
    }

    void extendedSwitchedOnMidRun() {
        start(Kind::Zone);
        ticks(zoneTimer(), 5);
        QCOMPARE(status(), QStringLiteral("Downloading local zone ban log file..."));
        click("Option4");
        QCOMPARE(status(), ExtendedText);
        QVERIFY(zoneTimer()->isActive());
        QCOMPARE(zoneTimer()->interval(), 15000);
        QVERIFY(fire(zoneTimer())); // 6
        QCOMPARE(status(), QStringLiteral("Downloading local zone ban log file..."));
        ticks(zoneTimer(), 2); // 8
        QCOMPARE(status(), QStringLiteral("Download progress : 120/510"));
        ticks(zoneTimer(), 4); // 12
        QCOMPARE(status(), QStringLiteral("Download progress : 180/510"));
        QCOMPARE(driver->sent()[22], std::string("?listban -d #1001 100"));
    }

    void otherStartDuringRun_data() {
        QTest::addColumn<Kind>("running");
        QTest::newRow("zone during network") << Kind::Network;
        QTest::newRow("network during zone") << Kind::Zone;
    }
    void otherStartDuringRun() {
        QFETCH(Kind, running);
        const Kind other = running == Kind::Network ? Kind::Zone : Kind::Network;
        start(running);
        ticks(timerOf(running), 3);
        start(other);
        QVERIFY(timerOf(other)->isActive());
        QVERIFY(timerOf(running)->isActive());
        const size_t mark = driver->calls.size();
        QVERIFY(fire(timerOf(running)));
        QVERIFY(!timerOf(other)->isActive());
        QVERIFY(timerOf(running)->isActive());
        QCOMPARE(sentSince(mark), Timetable::step(running, 4, 0).keys);
        QCOMPARE(tickOf(running), 4);
        QCOMPARE(tickOf(other), 0);
        QVERIFY(notices.empty());
    }

    void ownStartDuringRunContinues() {
        start(Kind::Network);
        ticks(networkTimer(), 3);
        const size_t mark = driver->calls.size();
        start(Kind::Network);
        QCOMPARE(driver->calls.size(), mark + 1);
        QCOMPARE(driver->calls.back().kind, RecordingDriver::Call::Kind::Activate);
        QVERIFY(networkTimer()->isActive());
        QVERIFY(fire(networkTimer()));
        QCOMPARE(form->networkTick(), 4);
        QCOMPARE(driver->sent().back(), std::string("{ENTER}"));
        QCOMPARE(driver->sent()[driver->sent().size() - 2], std::string("?listban -d -* #201 100"));
    }

    void failedStart_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("before"); // 0 idle, 1 a run of the same kind, 2 a run of the other kind
        QTest::newRow("network idle") << Kind::Network << 0;
        QTest::newRow("zone idle") << Kind::Zone << 0;
        QTest::newRow("network during network") << Kind::Network << 1;
        QTest::newRow("zone during zone") << Kind::Zone << 1;
        QTest::newRow("network during zone") << Kind::Network << 2;
        QTest::newRow("zone during network") << Kind::Zone << 2;
    }
    void failedStart() {
        QFETCH(Kind, kind);
        QFETCH(int, before);
        const Kind other = kind == Kind::Network ? Kind::Zone : Kind::Network;
        if (before != 0) {
            const Kind running = before == 1 ? kind : other;
            start(running);
            ticks(timerOf(running), 2);
        }
        const QString statusBefore = status();
        const int sendsBefore = driver->sendCount();
        driver->windows.clear(); // the game is not running
        start(kind);
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].title, ErrorTitle);
        QCOMPARE(notices[0].text, ErrorText);
        QVERIFY(!timerOf(kind)->isActive());
        QCOMPARE(otherTimer(kind)->isActive(), before == 2);
        QCOMPARE(driver->sendCount(), sendsBefore);
        QCOMPARE(status(), statusBefore);
        // The ended run's counter is back at 0; a run of the other kind keeps its place.
        QCOMPARE(tickOf(kind), 0);
        QCOMPARE(tickOf(other), before == 2 ? 2 : 0);
    }

    void stop_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("ticksBefore");
        QTest::newRow("network run") << Kind::Network << 5;
        QTest::newRow("zone run") << Kind::Zone << 33;
        QTest::newRow("idle after a start") << Kind::Zone << 0; // still closes the log
    }
    void stop() {
        QFETCH(Kind, kind);
        QFETCH(int, ticksBefore);
        start(kind);
        ticks(timerOf(kind), ticksBefore);
        const size_t mark = driver->calls.size();
        click("CMD_STOP");
        QVERIFY(!networkTimer()->isActive());
        QVERIFY(!zoneTimer()->isActive());
        QCOMPARE(sentSince(mark), (std::vector<std::string>{"?log", "{ENTER}"}));
        QCOMPARE(driver->calls[mark].kind, RecordingDriver::Call::Kind::Activate);
        QCOMPARE(driver->calls[mark].text, std::string("Continuum"));
        QCOMPARE(status(), Stopped);
        QCOMPARE(form->networkTick(), 0);
        QCOMPARE(form->zoneTick(), 0);
        QVERIFY(notices.empty());

        // A start after a stop opens a new log at tick 1.
        start(kind);
        const size_t again = driver->calls.size();
        QVERIFY(fire(timerOf(kind)));
        QCOMPARE(sentSince(again), Timetable::step(kind, 1, 0).keys);
    }

    void stopBeforeAnyStart() {
        click("CMD_STOP");
        QCOMPARE(driver->sendCount(), 0);
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].title, ErrorTitle);
        QCOMPARE(notices[0].text, ErrorText);
        QCOMPARE(status(), Waiting);
        QVERIFY(!networkTimer()->isActive());
        QVERIFY(!zoneTimer()->isActive());
    }

    void stopFails_data() {
        QTest::addColumn<bool>("gameGone");
        QTest::addColumn<int>("failSend"); // the send of the stop that fails, 0 none
        QTest::newRow("game gone") << true << 0;
        QTest::newRow("?log not typed") << false << 1;
        QTest::newRow("enter not typed") << false << 2;
    }
    void stopFails() {
        QFETCH(bool, gameGone);
        QFETCH(int, failSend);
        start(Kind::Network);
        ticks(networkTimer(), 3);
        start(Kind::Zone);
        const QString statusBefore = status();
        const int sendsBefore = driver->sendCount();
        if (gameGone)
            driver->windows.clear();
        if (failSend)
            driver->failSendFrom = sendsBefore + failSend;
        click("CMD_STOP");
        QVERIFY(!networkTimer()->isActive());
        QVERIFY(!zoneTimer()->isActive());
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].title, ErrorTitle);
        QCOMPARE(notices[0].text, ErrorText);
        QCOMPARE(status(), statusBefore);
        if (gameGone)
            QCOMPARE(driver->sendCount(), sendsBefore);
        // Nothing after the failed send.
        QCOMPARE(driver->sendCount(), sendsBefore + failSend);
    }

    void tickFails_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("how"); // 0 activation, 1 the command, 2 the Enter
        QTest::addColumn<int>("atTick");
        QTest::newRow("network activation") << Kind::Network << 0 << 4;
        QTest::newRow("zone activation") << Kind::Zone << 0 << 1;
        QTest::newRow("network command") << Kind::Network << 1 << 33;
        QTest::newRow("zone command") << Kind::Zone << 1 << 2;
        QTest::newRow("network enter") << Kind::Network << 2 << 1;
        QTest::newRow("zone enter") << Kind::Zone << 2 << 12;
    }
    void tickFails() {
        QFETCH(Kind, kind);
        QFETCH(int, how);
        QFETCH(int, atTick);
        start(kind);
        ticks(timerOf(kind), atTick - 1);
        if (how == 0)
            driver->failActivationFrom = driver->activationCount() + 1;
        else
            driver->failSendFrom = driver->sendCount() + how;
        const int sendsBefore = driver->sendCount();
        QVERIFY(fire(timerOf(kind)));
        QVERIFY(!timerOf(kind)->isActive());
        QCOMPARE(tickOf(kind), 0);
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].title, ErrorTitle);
        QCOMPARE(notices[0].text, ErrorText);
        QVERIFY(!notices[0].networkTimerActive);
        QVERIFY(!notices[0].zoneTimerActive);
        QCOMPARE(driver->sendCount(), sendsBefore + how);
        QCOMPARE(status(), QString::fromStdString(Timetable::downloadingText(kind)));

        // The game back: a new start begins again at tick 1.
        driver->failActivationFrom = 0;
        driver->failSendFrom = 0;
        start(kind);
        const size_t mark = driver->calls.size();
        QVERIFY(fire(timerOf(kind)));
        QCOMPARE(sentSince(mark), Timetable::step(kind, 1, 0).keys);
        QCOMPARE(notices.size(), size_t(1));
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
