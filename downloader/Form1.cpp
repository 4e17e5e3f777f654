#include "Form1.h"

#include "Messages.h"

#include <QButtonGroup>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <utility>

namespace {

const char* const GameCaption = "Continuum";
const char* const ErrorTitle = "Corvane Error";
const char* const IdleText = "Status : Waiting.....";
const char* const ActivationErrorText =
    "ERROR : The program could not activate the specified window. Check that you have set the correct version of "
    "Continuum, and remember that you have to enter Continuum before attempting to download. The download been "
    "aborted due to this error.";

QGroupBox* frame(QWidget* parent, const char* name, QRect geometry) {
    auto* box = new QGroupBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

QLabel* label(QWidget* parent, const char* name, QRect geometry, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, QRect geometry, const char* text) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    return b;
}

QTimer* keysTimer(QObject* parent, const char* name) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    // A coarse timer may fire up to 5 % early, which eats into the game's time to print a page.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(Timetable::NormalIntervalMs);
    return timer;
}

} // namespace

Form1::Form1(WindowDriver& driver, QWidget* parent) : QWidget(parent), driver(driver) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ban log retrive"));
    setFixedSize(594, 549);
    // The layout was drawn for a narrow 8-point dialog font; the usual desktop fonts at their default
    // size would clip the labels, so they are set small and condensed.
    QFont small = font();
    small.setPixelSize(11);
    small.setStretch(85);
    setFont(small);

    buildControls();

    NetworkKeysTimer = keysTimer(this, "NetworkKeysTimer");
    ZoneKeysTimer = keysTimer(this, "ZoneKeysTimer");
    connect(NetworkKeysTimer, &QTimer::timeout, this, [this] { tick(Timetable::Kind::Network); });
    connect(ZoneKeysTimer, &QTimer::timeout, this, [this] { tick(Timetable::Kind::Zone); });
}

void Form1::buildControls() {
    // Created in tab order: a new widget joins the end of the window's focus chain.
    QGroupBox* frame1 = frame(this, "Frame1", {16, 16, 513, 249});
    label(frame1, "Label1", {16, 16, 489, 33},
          "This program retrives banlogs from the zone which you are a moderator in, these logs can be used for "
          "reviewing or used with my Mirewatch program.");
    label(frame1, "Label2", {16, 56, 489, 33},
          "Usage : Enter Continuum ( full screen mode ), log on to BanG, then alt+tab out to windows and press either "
          "one of the two buttons listed below, depending on your level of access to BanG.");
    QPushButton* zoneButton = button(this, "CMD_ZoneBanRetrive", {24, 384, 513, 33}, "Retrive zone ban log");
    QPushButton* networkButton = button(this, "CMD_NetworkRetrive", {24, 432, 513, 33}, "Retrive network ban log");
    label(frame1, "Label3", {16, 96, 489, 41},
          "The download will take 4 minutes, during that time you must not touch any keys or shift the focus away "
          "from the continuum chat window. You will recieve a notification when the download is complete.");
    label(frame1, "Label4", {16, 168, 465, 17},
          "Atleast the network download option require level 2 Bang, but this might be subject to change.");
    label(frame1, "Label5", {16, 200, 457, 33},
          "Comments and questions are welcome: send the author a private message in the game or write an e-mail.");
    label(frame1, "Label6", {16, 136, 481, 33},
          "This program does not pay much respect to lag, so if you are downloading incomplete files, you can try "
          "pressing the button labeled \"Extended timeout\"");
    auto* option4 = new QRadioButton(QStringLiteral("Extended timeout"), this);
    option4->setObjectName(QStringLiteral("Option4"));
    option4->setGeometry(200, 288, 121, 25);
    // Qt lets a lone radio button be unchecked; an exclusive group keeps it selected for good.
    (new QButtonGroup(this))->addButton(option4);
    QGroupBox* frame2 = frame(this, "Frame2", {24, 320, 505, 41});
    StatusLabel = label(frame2, "StatusLabel", {16, 16, 473, 17}, IdleText);
    QPushButton* stopButton = button(this, "CMD_STOP", {24, 480, 513, 33}, "Stop download and save the log file");

    connect(networkButton, &QPushButton::clicked, this, [this] { start(NetworkKeysTimer); });
    connect(zoneButton, &QPushButton::clicked, this, [this] { start(ZoneKeysTimer); });
    connect(stopButton, &QPushButton::clicked, this, [this] { stop(); });
    connect(option4, &QRadioButton::clicked, this, [this] { selectExtendedTimeout(); });
}

bool Form1::typeIntoGame(const std::vector<std::string>& keys) {
    // The caption picked the window when the run began; a window that took its place, or a similar
    // caption such as a text editor's "Continuum notes.txt", must not get the keys.
    if (RunWindow == 0 || !driver.reactivateWindow(RunWindow, SSMODE))
        return false;
    for (const std::string& k : keys) {
        if (!driver.sendKeys(RunWindow, k))
            return false;
    }
    return true;
}

void Form1::showActivationError(bool runEnded) {
    if (runEnded && !NetworkKeysTimer->isActive() && !ZoneKeysTimer->isActive())
        StatusLabel->setText(QString::fromLatin1(IdleText));
    Messages::show(this, QString::fromLatin1(ErrorTitle), QString::fromLatin1(ActivationErrorText));
}

void Form1::start(QTimer* ownTimer) {
    SSMODE = GameCaption;
    const bool ownRunning = ownTimer->isActive();
    // A start during a run (of either kind) stays with the run's window; only a new run picks one by caption.
    const bool running = NetworkKeysTimer->isActive() || ZoneKeysTimer->isActive();
    // Enabling a running timer keeps its phase: the run continues where it is.
    if (!ownRunning)
        ownTimer->start();
    bool activated = false;
    if (running) {
        activated = typeIntoGame({});
    } else if (const WindowDriver::WindowId window = driver.activateWindow(SSMODE); window != 0) {
        RunWindow = window;
        activated = true;
    }
    if (!activated) {
        // A run of this kind ends here; the next start opens a new log at tick 1.
        ownTimer->stop();
        (ownTimer == NetworkKeysTimer ? NetworkTick : ZoneTick) = 0;
        showActivationError(ownRunning);
    }
}

void Form1::stop() {
    ZoneKeysTimer->stop();
    NetworkKeysTimer->stop();
    // The "?log" below ends the game's log, so the next start must open a new one at tick 1.
    NetworkTick = 0;
    ZoneTick = 0;
    if (!typeIntoGame({"?log", "{ENTER}"})) {
        showActivationError(true);
        return;
    }
    StatusLabel->setText(QStringLiteral("Download has been stopped. File saved..."));
}

void Form1::selectExtendedTimeout() {
    Mode = 1;
    StatusLabel->setText(QStringLiteral(
        "Extended timeout mode selected, download will take twice as long, but should be more realiable..."));
    // Setting the interval restarts a running timer. With both running (a start of the other kind during a run),
    // the one due first is restarted first, so the run under way still ticks first and turns off the other
    // before that one could type its "?log" into the open log.
    QTimer* first = ZoneKeysTimer;
    QTimer* second = NetworkKeysTimer;
    if (second->isActive() && (!first->isActive() || second->remainingTime() < first->remainingTime()))
        std::swap(first, second);
    first->setInterval(Timetable::ExtendedIntervalMs);
    second->setInterval(Timetable::ExtendedIntervalMs);
}

void Form1::tick(Timetable::Kind kind) {
    const bool network = kind == Timetable::Kind::Network;
    QTimer* ownTimer = network ? NetworkKeysTimer : ZoneKeysTimer;
    QTimer* otherTimer = network ? ZoneKeysTimer : NetworkKeysTimer;
    int& counter = network ? NetworkTick : ZoneTick;

    otherTimer->stop();
    StatusLabel->setText(QString::fromStdString(Timetable::downloadingText(kind)));
    ++counter;
    const Timetable::Step step = Timetable::step(kind, counter, Mode);

    if (!step.keys.empty() && !typeIntoGame(step.keys)) {
        // The game is gone or lost the focus: further keys would land elsewhere. Reported now, by the
        // tick that failed, and the run is over.
        ownTimer->stop();
        counter = 0;
        showActivationError(true);
        return;
    }
    StatusLabel->setText(QString::fromStdString(step.status));
    if (step.completes) {
        // Stopped before the box, so no tick runs while it is open.
        ownTimer->stop();
        counter = 0;
        Messages::show(this, QString::fromLatin1(Timetable::CompletionTitle),
                       QString::fromStdString(Timetable::completionText(kind)));
    }
}
