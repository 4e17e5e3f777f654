// Form1's controls and operations against the recording driver; message boxes go to a handler.
#include "Form1.h"
#include "Messages.h"
#include "RecordingDriver.h"
#include "Timetable.h"

#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using Kind = Timetable::Kind;
Q_DECLARE_METATYPE(Timetable::Kind)

namespace {

const QString ErrorText = QStringLiteral(
    "ERROR : The program could not activate the specified window. Check that you have set the correct version of "
    "Continuum, and remember that you have to enter Continuum before attempting to download. The download been "
    "aborted due to this error.");
const QString Waiting = QStringLiteral("Status : Waiting.....");
const QString ExtendedText =
    QStringLiteral("Extended timeout mode selected, download will take twice as long, but should be more realiable...");

// The control table, in tab order; Label5's wording is checked on its own.
struct Control {
    const char* name;
    const char* type;
    const char* container;
    QRect geometry;
    const char* text;
};
Control row(const char* name, const char* type, const char* container, QRect geometry, const char* text) {
    return {name, type, container, geometry, text};
}
const Control Controls[] = {
    row("Frame1", "QGroupBox", "Form1", {16, 16, 513, 249}, ""),
    row("Label1", "QLabel", "Frame1", {16, 16, 489, 33},
        "This program retrives banlogs from the zone which you are a moderator in, these logs can be used for "
        "reviewing or used with my Mirewatch program."),
    row("Label2", "QLabel", "Frame1", {16, 56, 489, 33},
        "Usage : Enter Continuum ( full screen mode ), log on to BanG, then alt+tab out to windows and press "
        "either one of the two buttons listed below, depending on your level of access to BanG."),
    row("CMD_ZoneBanRetrive", "QPushButton", "Form1", {24, 384, 513, 33}, "Retrive zone ban log"),
    row("CMD_NetworkRetrive", "QPushButton", "Form1", {24, 432, 513, 33}, "Retrive network ban log"),
    row("Label3", "QLabel", "Frame1", {16, 96, 489, 41},
        "The download will take 4 minutes, during that time you must not touch any keys or shift the focus away "
        "from the continuum chat window. You will recieve a notification when the download is complete."),
    row("Label4", "QLabel", "Frame1", {16, 168, 465, 17},
        "Atleast the network download option require level 2 Bang, but this might be subject to change."),
    row("Label5", "QLabel", "Frame1", {16, 200, 457, 33}, nullptr),
    row("Label6", "QLabel", "Frame1", {16, 136, 481, 33},
        "This program does not pay much respect to lag, so if you are downloading incomplete files, you can try "
        "pressing the button labeled \"Extended timeout\""),
    row("Option4", "QRadioButton", "Form1", {200, 288, 121, 25}, "Extended timeout"),
    row("Frame2", "QGroupBox", "Form1", {24, 320, 505, 41}, ""),
    row("StatusLabel", "QLabel", "Frame2", {16, 16, 473, 17}, "Status : Waiting....."),
    row("CMD_STOP", "QPushButton", "Form1", {24, 480, 513, 33}, "Stop download and save the log file"),
};

// A box as it was shown, with the window's state() at that moment.
struct Notice {
    QString title, text, state;
};

// The driver calls of one activation of the game followed by the sends of keys.
QStringList typed(const std::vector<std::string>& keys) {
    QStringList calls{"activate Continuum"};
    for (const std::string& k : keys)
        calls << QString::fromStdString(k);
    return calls;
}

} // namespace

Q_DECLARE_METATYPE(const Control*)

class TestForm1 : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingDriver> driver;
    std::unique_ptr<Form1> form;
    std::vector<Notice> notices;

    QTimer* timerOf(Kind k) {
        return form->findChild<QTimer*>(k == Kind::Network ? "NetworkKeysTimer" : "ZoneKeysTimer");
    }
    int tickOf(Kind k) { return k == Kind::Network ? form->networkTick() : form->zoneTick(); }
    QString status() { return form->findChild<QLabel*>("StatusLabel")->text(); }
    // Both timers and counters and the status line, e.g. "network on 3, zone off 0: Status : Waiting.....".
    QString state() {
        auto on = [this](Kind k) { return QString(timerOf(k)->isActive() ? "on" : "off"); };
        return QStringLiteral("network %1 %2, zone %3 %4: %5")
            .arg(on(Kind::Network), QString::number(form->networkTick()), on(Kind::Zone),
                 QString::number(form->zoneTick()), status());
    }
    void click(const char* name) { form->findChild<QAbstractButton*>(name)->click(); }
    void start(Kind k) { click(k == Kind::Network ? "CMD_NetworkRetrive" : "CMD_ZoneBanRetrive"); }

    QStringList since(size_t mark) {
        QStringList calls;
        for (size_t i = mark; i < driver->calls.size(); ++i)
            calls << QString::fromStdString(driver->calls[i]);
        return calls;
    }
    // One tick, as the event loop delivers it: only from an enabled timer. Returns the driver calls it made.
    QStringList fire(Kind k) {
        if (!timerOf(k)->isActive())
            return {"<timer off>"};
        const size_t mark = driver->calls.size();
        QMetaObject::invokeMethod(timerOf(k), "timeout", Qt::DirectConnection);
        return since(mark);
    }
    void ticks(Kind k, int count) {
        for (int i = 0; i < count; ++i)
            QCOMPARE(fire(k).value(0), QStringLiteral("activate Continuum"));
    }
    void twoRuns() {
        start(Kind::Zone);
        ticks(Kind::Zone, 1);
        start(Kind::Network);
        ticks(Kind::Network, 3);
    }

private slots:
    void init() {
        driver = std::make_unique<RecordingDriver>();
        form = std::make_unique<Form1>(*driver);
        notices.clear();
        Messages::setHandler([this](const QString& title, const QString& text) {
            notices.push_back({title, text, state()});
        });
    }
    void cleanup() { Messages::setHandler({}); }

    void controls_data() {
        QTest::addColumn<const Control*>("control");
        for (const Control& c : Controls)
            QTest::newRow(c.name) << &c;
    }
    void controls() {
        QFETCH(const Control*, control);
        const auto found = form->findChildren<QWidget*>(control->name);
        QCOMPARE(found.size(), 1);
        QWidget* w = found.front();
        QCOMPARE(w->metaObject()->className(), control->type);
        QCOMPARE(w->parentWidget()->objectName(), control->container);
        QCOMPARE(w->geometry(), control->geometry);
        QVERIFY(!w->isHidden() && w->isEnabled());
        if (control->text) // a frame's caption is its title
            QCOMPARE(w->property(w->inherits("QGroupBox") ? "title" : "text").toString(), control->text);
        if (auto* label = qobject_cast<QLabel*>(w))
            QVERIFY(label->wordWrap());
    }

    void window() {
        QCOMPARE(form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Ban log retrive"));
        QCOMPARE(form->size(), QSize(594, 549));
        QCOMPARE(form->minimumSize(), QSize(594, 549));
        QCOMPARE(form->maximumSize(), QSize(594, 549));
        for (QTimer* t : {timerOf(Kind::Network), timerOf(Kind::Zone)}) {
            QCOMPARE(t->interval(), 7000);
            QCOMPARE(t->timerType(), Qt::PreciseTimer);
            QVERIFY(!t->isSingleShot() && !t->isActive());
        }

        QStringList order, chain; // the tab order is the order of the table
        for (const Control& c : Controls)
            order << c.name;
        for (QWidget* w = form->nextInFocusChain(); w != form.get(); w = w->nextInFocusChain())
            if (order.contains(w->objectName()))
                chain << w->objectName();
        QCOMPARE(chain, order);

        // The contact line invites comments and questions, says how to reach the author, names nobody and nowhere.
        const QString contact = form->findChild<QLabel*>("Label5")->text();
        for (const char* word : {"question", "comment", "e-mail", "game"})
            QVERIFY2(contact.contains(QLatin1String(word), Qt::CaseInsensitive), word);
        QVERIFY(!contact.contains('@') && !contact.contains("www", Qt::CaseInsensitive));
    }

    // The box a user (or a script through the active modal widget) sees when no handler takes it.
    void realMessageBox() {
        Messages::setHandler({});
        QMessageBox* seen = nullptr;
        QTimer::singleShot(0, form.get(), [&] {
            seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(seen); // never leave the test waiting on a box
            seen->close();
            QCOMPARE(seen->objectName(), QStringLiteral("MessageBox"));
            QCOMPARE(seen->windowTitle(), QStringLiteral("Corvane Error"));
            QCOMPARE(seen->text(), ErrorText);
            QCOMPARE(seen->icon(), QMessageBox::NoIcon);
            QCOMPARE(seen->buttons().size(), 1);
        });
        click("CMD_STOP"); // before any start: the activation error
        QVERIFY(seen);
    }

    // A whole run, one of them with the option selected mid-run (twice: it cannot be deselected), which types
    // nothing, sets both timers to 15 s and the figures of the run going on to the extended ones.
    void wholeRun_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("extendedFrom");
        QTest::newRow("network") << Kind::Network << 99;
        QTest::newRow("zone, extended from tick 6") << Kind::Zone << 6;
    }
    void wholeRun() {
        QFETCH(Kind, kind);
        QFETCH(int, extendedFrom);
        start(kind); // only activates the game and enables its own timer
        QCOMPARE(since(0), typed({}));
        QCOMPARE(state(), QStringLiteral("network %1 0, zone %2 0: ")
                                  .arg(kind == Kind::Network ? "on" : "off", kind == Kind::Zone ? "on" : "off") +
                              Waiting);
        for (int tick = 1; tick < 34; ++tick) {
            if (tick == extendedFrom) {
                const size_t mark = driver->calls.size();
                auto* option = form->findChild<QRadioButton*>("Option4");
                option->click();
                option->click();
                QVERIFY(option->isChecked());
                QCOMPARE(since(mark), QStringList{});
                QCOMPARE(status(), ExtendedText);
                QCOMPARE(timerOf(Kind::Network)->interval(), 15000);
                QCOMPARE(timerOf(Kind::Zone)->interval(), 15000);
            }
            const Timetable::Step step = Timetable::step(kind, tick, tick >= extendedFrom ? 1 : 0);
            QCOMPARE(fire(kind), typed(step.keys));
            QCOMPARE(status(), QString::fromStdString(step.status));
            QCOMPARE(tickOf(kind), tick);
        }
        QVERIFY(notices.empty());
        QCOMPARE(fire(kind), QStringList{});
        QCOMPARE(notices.size(), size_t(1));
        const Notice& n = notices.front();
        QCOMPARE(n.title, QString::fromLatin1(Timetable::CompletionTitle));
        QCOMPARE(n.text, QString::fromStdString(Timetable::completionText(kind)));
        // Timer off and counter back at 0 while the box is still open.
        QCOMPARE(n.state, QStringLiteral("network off 0, zone off 0: Download completed, log saved..."));
        QCOMPARE(state(), n.state);
    }

    // Operations with a zone run at tick 1 and a network run at tick 3 going on (or before any start), the game
    // there throughout, gone (callsLeft 0) or lost after callsLeft calls. One that fails types nothing more and
    // shows the activation error once, after the runs it ends are off: a stop both, a start its own, a tick its own.
    void operations_data() {
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("ops");
        QTest::addColumn<int>("callsLeft");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("after");
        auto row = [](const char* name, bool running, const char* ops, int callsLeft, const char* calls,
                      const QString& after) {
            QTest::newRow(name) << running << QString(ops) << callsLeft << QString(calls) << after;
        };
        const QString downloading = "Downloading network ban log file...";
        // Stop ends both runs and resets both counters, so the next start of either kind opens a new log.
        row("stop", true, "stop", -1, "activate Continuum|?log|{ENTER}",
            "network off 0, zone off 0: Download has been stopped. File saved...");
        row("starts after a stop", true, "stop; zone start; zone tick; network start; network tick", -1,
            "activate Continuum|?log|{ENTER}|activate Continuum|activate Continuum|?log Zone Banlog.txt|{ENTER}|"
            "activate Continuum|activate Continuum|?log Network Banlog.txt|{ENTER}",
            "network on 1, zone off 1: Download progress : 7/238");
        // A start during a run: of the same kind the run continues; of the other kind, the next tick of the run
        // going on turns it off again, and a tick of its own turns off the other.
        row("start during the run", true, "network start; network tick", -1,
            "activate Continuum|activate Continuum|?listban -d -* #201 100|{ENTER}",
            "network on 4, zone off 1: Download progress : 28/238");
        row("start of the other kind", true, "zone start; network tick", -1,
            "activate Continuum|activate Continuum|?listban -d -* #201 100|{ENTER}",
            "network on 4, zone off 1: Download progress : 28/238");
        row("other kind ticking", true, "zone start; zone tick", -1,
            "activate Continuum|activate Continuum|?listban -d #3 100|{ENTER}",
            "network off 3, zone on 2: Downloading local zone ban log file...");
        row("stop before any start", false, "stop", -1, "", "network off 0, zone off 0: " + Waiting);
        row("stop, game gone", true, "stop", 0, "activate Continuum FAILED",
            "network off 0, zone off 0: " + downloading);
        row("start, game gone", true, "network start", 0, "activate Continuum FAILED",
            "network off 0, zone off 1: " + downloading);
        row("start of the other kind, game gone", true, "zone start", 0, "activate Continuum FAILED",
            "network on 3, zone off 0: " + downloading);
        row("tick, game gone", true, "network tick", 0, "activate Continuum FAILED",
            "network off 0, zone off 1: " + downloading);
        row("tick, command lost", true, "network tick", 1, "activate Continuum|?listban -d -* #201 100 FAILED",
            "network off 0, zone off 1: " + downloading);
    }
    void operations() {
        QFETCH(bool, running);
        QFETCH(QString, ops);
        QFETCH(int, callsLeft);
        QFETCH(QString, calls);
        QFETCH(QString, after);
        if (running)
            twoRuns();
        driver->callsLeft = callsLeft;
        const size_t mark = driver->calls.size();
        for (const QString& op : ops.split("; ")) {
            const Kind kind = op.startsWith("zone") ? Kind::Zone : Kind::Network;
            if (op == "stop")
                click("CMD_STOP");
            else if (op.endsWith("start"))
                start(kind);
            else
                fire(kind);
        }
        QCOMPARE(since(mark).join('|'), calls);
        QCOMPARE(state(), after);
        if (running && callsLeft < 0) {
            QVERIFY(notices.empty());
            return;
        }
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].title, QStringLiteral("Corvane Error"));
        QCOMPARE(notices[0].text, ErrorText);
        QCOMPARE(notices[0].state, after);
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
