#include "MainForm.h"

#include "API.h"
#include "AboutMeForm.h"
#include "BanHandle.h"
#include "BanPathForm.h"
#include "BetaTesters.h"
#include "ChooseFindRepForm.h"
#include "DatabaseForm.h"
#include "HelpMeForm.h"
#include "LinkedNamesForm.h"
#include "Messages.h"
#include "ShowBans.h"
#include "WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& toolTip) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setMinimumSize(210, 56);
    return button;
}

QAction* makeAction(QWidget* parent, const char* name, const QString& caption) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

MainForm::MainForm() {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Mirewatch"));

    // The path is only read here; the windows that need the ban file load it themselves.
    const API::ReadOutcome config = API::ReadConfigValue(API::BanFileSection, API::BanFileKey);
    BanHandle::SetBanFilePath(config.value);
    if (!config.reason.empty()) {
        // Said once the window is up, so the message has a window to stand over.
        QTimer::singleShot(0, this, [this, reason = Messages::displayPath(config.reason)] {
            Messages::show(this, windowTitle(), reason);
        });
    }
    DatabaseForm::useStoredMode();

    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MenuBar"));

    auto* betaTest = makeAction(this, "Betatest", QStringLiteral("Beta testers"));
    auto* fileMenu = new QMenu(QStringLiteral("&File"), this);
    fileMenu->setObjectName(QStringLiteral("FileMe"));
    fileMenu->menuAction()->setObjectName(QStringLiteral("FileMe"));
    auto* helpMe = makeAction(this, "HelpMe", QStringLiteral("&Help"));
    auto* aboutMe = makeAction(this, "AboutMe", QStringLiteral("&About"));
    auto* exitMe = makeAction(this, "ExitMe", QStringLiteral("&Exit"));

    // Window shortcuts, also added to the window itself, so F1 and F2 work whatever has the focus.
    helpMe->setShortcut(QKeySequence(Qt::Key_F1));
    aboutMe->setShortcut(QKeySequence(Qt::Key_F2));
    for (QAction* action : {helpMe, aboutMe}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    menuBar->addAction(betaTest);
    menuBar->addMenu(fileMenu);
    fileMenu->addAction(helpMe);
    fileMenu->addAction(aboutMe);
    menuBar->addAction(exitMe);

    connect(betaTest, &QAction::triggered, this, [] { openWindow<BetaTesters>(); });
    connect(helpMe, &QAction::triggered, this, [] { openWindow<HelpMeForm>(); });
    connect(aboutMe, &QAction::triggered, this, [] { openWindow<AboutMeForm>(); });
    connect(exitMe, &QAction::triggered, this, [] { exitProgram(); });

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* selectBanFile = makeButton(this, "Cmd_SelectBanFile", QStringLiteral("Select banfile."),
                                     QStringLiteral("Select the banfile to be used for creating the database"));
    auto* showBans = makeButton(this, "Command2", QStringLiteral("Show currently loaded bans."),
                                QStringLiteral("Show contents of the specified banfile."));
    auto* findRepeated = makeButton(this, "Command1", QStringLiteral("Search for repeated offenders."),
                                    QStringLiteral("Search the database for repeated offenders."));
    auto* openDatabase = makeButton(this, "Cmd_OpenDatabse", QStringLiteral("Spesific database search."),
                                    QStringLiteral("Search the database"));

    auto* linkedNames =
        makeButton(this, "Cmd_LinkedNames", QStringLiteral("Linked names."),
                   QStringLiteral("Show every person behind the bans, linked through shared machine ids "
                                  "and IP addresses."));

    connect(selectBanFile, &QPushButton::clicked, this, [] { openWindow<BanPathForm>(); });
    connect(showBans, &QPushButton::clicked, this, [] { openWindow<ShowBans>(); });
    connect(findRepeated, &QPushButton::clicked, this, [] { openWindow<ChooseFindRepForm>(); });
    connect(openDatabase, &QPushButton::clicked, this, [] { openWindow<DatabaseForm>(); });
    connect(linkedNames, &QPushButton::clicked, this, [] { openWindow<LinkedNamesForm>(); });

    auto* grid = new QGridLayout;
    grid->setSpacing(10);
    grid->addWidget(selectBanFile, 0, 0);
    grid->addWidget(showBans, 0, 1);
    grid->addWidget(findRepeated, 1, 0);
    grid->addWidget(openDatabase, 1, 1);
    grid->addWidget(linkedNames, 2, 0);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 1);

    banFileInfo_ = new QLabel(this);
    banFileInfo_->setObjectName(QStringLiteral("BanFileInfo"));
    banFileInfo_->setTextFormat(Qt::PlainText);
    banFileInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A deep folder is cut at the window's edge rather than widening the window; the tool tip holds it whole.
    banFileInfo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    showBanFile();
    // The chooser sets the path; the label follows at once.
    BanHandle::SetBanFilePathListener([this] { showBanFile(); });

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(line);
    layout->addLayout(grid, 1);
    layout->addWidget(banFileInfo_);
}

MainForm::~MainForm() {
    BanHandle::SetBanFilePathListener({});
}

bool MainForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        showBanFile();
    }
    return QWidget::event(event);
}

void MainForm::showBanFile() {
    QString text;
    if (Declares::BanFilePath.empty()) {
        text = QStringLiteral("Ban file: none chosen yet. Choose one with \"Select banfile.\"");
    } else {
        const QFileInfo file(Messages::displayPath(Declares::BanFilePath));
        text = QStringLiteral("Ban file: %1\nFolder: %2\n")
                   .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()));
        if (!file.exists()) {
            text += QStringLiteral("Not found.");
        } else if (!file.isFile()) {
            text += QStringLiteral("Not a file.");
        } else {
            text += QStringLiteral("Size: %1, changed %2")
                        .arg(QLocale().formattedDataSize(file.size(), 1, QLocale::DataSizeTraditionalFormat),
                             file.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        }
    }
    banFileInfo_->setText(text);
    banFileInfo_->setToolTip(text);
}

void MainForm::closeEvent(QCloseEvent* event) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible()) {
            window->close();
        }
    }
    event->accept();
    QCoreApplication::quit();
}

void MainForm::exitProgram() {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}
