// The main window, its navigation and the windows it opens: the raw viewer and the information windows.
#include "API.h"
#include "AboutMeForm.h"
#include "BanPathForm.h"
#include "BetaTesters.h"
#include "ChooseFindRepForm.h"
#include "DatabaseForm.h"
#include "Declares.h"
#include "HelpMeForm.h"
#include "MainForm.h"
#include "Messages.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

struct Message {
    QString title;
    QString text;
};

QList<QWidget*> visibleWindows(const QString& name) {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == name) {
            found.append(widget);
        }
    }
    return found;
}

QStringList entries(QWidget* window, const char* listName) {
    QStringList texts;
    auto* list = window->findChild<QListWidget*>(QString::fromLatin1(listName));
    if (!list) {
        return {QStringLiteral("<no list %1>").arg(QString::fromLatin1(listName))};
    }
    for (int i = 0; i < list->count(); ++i) {
        texts.append(list->item(i)->text());
    }
    return texts;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// An entry line in the layout the parser reads, its date in column 34.
QByteArray entryLine(const QByteArray& id, const QByteArray& name, const QByteArray& mid) {
    QByteArray line = "  #" + id + "xxxxxxxx2yyyyModerator";
    line = line.leftJustified(32, ' ');
    return line + " 2004-05-12 14:22:11   30 10.0.0.1 mid:" + mid + " " + name + "\r\n";
}

} // namespace

class TestMainWindows : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QList<Message> messages;
    MainForm* mainForm = nullptr;
    std::optional<QByteArray> savedConfig;

    QString filePath(const QString& name) const { return dir.filePath(name); }
    void useBanFile(const QString& path) { Declares::BanFilePath = QFile::encodeName(path).toStdString(); }

    // Presses a button or triggers a menu entry of the given window.
    void activate(QWidget* window, const QString& control) {
        if (auto* button = window->findChild<QAbstractButton*>(control)) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (auto* action = window->findChild<QAction*>(control)) {
            action->trigger();
        } else {
            QFAIL(qPrintable(QStringLiteral("no control %1").arg(control)));
        }
    }

    QWidget* only(const QString& name) {
        const QList<QWidget*> found = visibleWindows(name);
        return found.size() == 1 ? found.first() : nullptr;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        Messages::setHandler([this](const QString& title, const QString& text) { messages.append({title, text}); });
        QFile config(QString::fromStdString(API::ConfigFilePath()));
        if (config.open(QIODevice::ReadOnly)) {
            savedConfig = config.readAll();
        }
        writeFile(filePath(QStringLiteral("plain.txt")), "chat line one\r\nchat line two\r\n");
    }

    void cleanupTestCase() {
        const QString config = QString::fromStdString(API::ConfigFilePath());
        QFile::remove(config);
        if (savedConfig) {
            writeFile(config, *savedConfig);
        }
        Messages::setHandler({});
    }

    void init() {
        messages.clear();
        mainForm = new MainForm;
        useBanFile(filePath(QStringLiteral("plain.txt"))); // after the main window has read Config.ini
        mainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(mainForm));
    }

    void cleanup() {
        QApplication::closeAllWindows();
        delete mainForm;
        mainForm = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void mainFormButtons_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("select") << "Cmd_SelectBanFile" << 0 << 0 << "Select banfile."
                                << "Select the banfile to be used for creating the database";
        QTest::newRow("show") << "Command2" << 0 << 1 << "Show currently loaded bans."
                              << "Show contents of the specified banfile.";
        QTest::newRow("repeated") << "Command1" << 1 << 0 << "Search for repeated offenders."
                                  << "Search the database for repeated offenders.";
        QTest::newRow("database") << "Cmd_OpenDatabse" << 1 << 1 << "Spesific database search."
                                  << "Search the database";
    }

    void mainFormButtons() {
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        QCOMPARE(mainForm->windowTitle(), QStringLiteral("Mirewatch"));
        auto* button = mainForm->findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolTip(), toolTip);

        // Two by two, all four of one size.
        auto* grid = mainForm->findChild<QGridLayout*>();
        QVERIFY(grid);
        int r = -1, c = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(button), &r, &c, &rowSpan, &columnSpan);
        QCOMPARE(r, row);
        QCOMPARE(c, column);
        QCOMPARE(button->size(), mainForm->findChild<QPushButton*>(QStringLiteral("Cmd_SelectBanFile"))->size());

        auto* line = mainForm->findChild<QFrame*>(QStringLiteral("Line1"));
        QVERIFY(line);
        QCOMPARE(line->frameShape(), QFrame::HLine);
    }

    void menuBar() {
        auto* bar = mainForm->findChild<QMenuBar*>();
        QVERIFY(bar);
        QStringList top;
        QStringList topNames;
        for (QAction* action : bar->actions()) {
            top.append(action->text());
            topNames.append(action->objectName());
        }
        QCOMPARE(top, (QStringList{"Beta testers", "&File", "&Exit"}));
        QCOMPARE(topNames, (QStringList{"Betatest", "FileMe", "ExitMe"}));

        auto* file = mainForm->findChild<QMenu*>(QStringLiteral("FileMe"));
        QVERIFY(file);
        QCOMPARE(bar->actions().at(1)->menu(), file);
        QStringList inFile;
        for (QAction* action : file->actions()) {
            inFile.append(action->objectName() + "=" + action->text() + "=" + action->shortcut().toString());
        }
        QCOMPARE(inFile, (QStringList{"HelpMe=&Help=F1", "AboutMe=&About=F2"}));
    }

    void mainFormReadsStoredPath_data() {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("stored") << QByteArray("[Ban file path]\r\nPath=/logs/Zone Banlog.txt\r\n")
                                << QByteArray("/logs/Zone Banlog.txt");
        QTest::newRow("other section") << QByteArray("[Other]\r\nPath=/x\r\n") << QByteArray();
        QTest::newRow("no file") << QByteArray() << QByteArray();
    }

    void mainFormReadsStoredPath() {
        QFETCH(QByteArray, config);
        QFETCH(QByteArray, expected);
        const QString configPath = QString::fromStdString(API::ConfigFilePath());
        QFile::remove(configPath);
        if (!config.isEmpty()) {
            writeFile(configPath, config);
        }
        Declares::BanFilePath = "left over";
        MainForm fresh;
        QCOMPARE(QByteArray::fromStdString(Declares::BanFilePath), expected);
        QFile::remove(configPath);
        QVERIFY(messages.isEmpty()); // the main window does not load the ban file
    }

    void controlsOpenTheirWindow_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        QTest::newRow("select banfile") << "MainForm"
                                        << "Cmd_SelectBanFile"
                                        << "BanPathForm"
                                        << "Select ban file to examine";
        QTest::newRow("show bans") << "MainForm"
                                   << "Command2"
                                   << "ShowBans"
                                   << "Show bans";
        QTest::newRow("repeated") << "MainForm"
                                  << "Command1"
                                  << "ChooseFindRepForm"
                                  << "Select search mode";
        QTest::newRow("database") << "MainForm"
                                  << "Cmd_OpenDatabse"
                                  << "DatabaseForm"
                                  << "Search database";
        QTest::newRow("beta testers") << "MainForm"
                                      << "Betatest"
                                      << "BetaTesters"
                                      << "Beta Testers";
        QTest::newRow("help") << "MainForm"
                              << "HelpMe"
                              << "HelpMeForm"
                              << "Help!";
        QTest::newRow("about") << "MainForm"
                               << "AboutMe"
                               << "AboutMeForm"
                               << "About";
        QTest::newRow("by machine id") << "ChooseFindRepForm"
                                       << "CMD_FindRepOffendersMid"
                                       << "RepeatedOffendersForm"
                                       << "Show repeated offenders by MID";
        QTest::newRow("by name") << "ChooseFindRepForm"
                                 << "CMD_FindRepOffendersName"
                                 << "NameRepeatedOffendersForm"
                                 << "Players banned for the second time is listed below";
    }

    void controlsOpenTheirWindow() {
        QFETCH(QString, from);
        QFETCH(QString, control);
        QFETCH(QString, window);
        QFETCH(QString, title);
        QWidget* origin = mainForm;
        if (from == QLatin1String("ChooseFindRepForm")) {
            activate(mainForm, QStringLiteral("Command1"));
            origin = only(from);
            QVERIFY(origin);
        }

        activate(origin, control);
        QPointer<QWidget> first = only(window);
        QVERIFY(first);
        QCOMPARE(first->windowTitle(), title);
        QVERIFY(first->isWindow());
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(origin->isVisible()); // modeless: the opener stays

        // Open again: the same window, brought back even from the task bar.
        first->showMinimized();
        activate(origin, control);
        QCOMPARE(visibleWindows(window).size(), 1);
        QCOMPARE(only(window), first.data());
        QVERIFY(!first->isMinimized());

        // Closing destroys it; opening again builds a new one.
        first->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(visibleWindows(window).isEmpty());
        activate(origin, control);
        QVERIFY(only(window));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.isEmpty() ? QString() : messages.first().text));
    }

    void reportStaysSingleAcrossChooser() {
        activate(mainForm, QStringLiteral("Command1"));
        QPointer<QWidget> chooser = only(QStringLiteral("ChooseFindRepForm"));
        QVERIFY(chooser);
        activate(chooser, QStringLiteral("CMD_FindRepOffendersMid"));
        QPointer<QWidget> report = only(QStringLiteral("RepeatedOffendersForm"));
        QVERIFY(report);
        QVERIFY(chooser->isVisible()); // the chooser stays open after its button

        chooser->close();
        QTRY_VERIFY(chooser.isNull());
        QVERIFY(report);
        activate(mainForm, QStringLiteral("Command1"));
        chooser = only(QStringLiteral("ChooseFindRepForm"));
        QVERIFY(chooser);
        activate(chooser, QStringLiteral("CMD_FindRepOffendersMid"));
        QCOMPARE(visibleWindows(QStringLiteral("RepeatedOffendersForm")).size(), 1);
        QCOMPARE(only(QStringLiteral("RepeatedOffendersForm")), report.data());
    }

    // An open window keeps what it loaded; only a fresh one reads the changed file.
    void reopeningReloadsChangedFile_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("viewer") << "MainForm"
                                << "Command2"
                                << "ShowBans"
                                << "LoadBans" << QByteArray("first\r\n") << QByteArray("second\r\nthird\r\n");
        QTest::newRow("machine id report") << "ChooseFindRepForm"
                                           << "CMD_FindRepOffendersMid"
                                           << "RepeatedOffendersForm"
                                           << "RepeatedOffendersList" << entryLine("1", "Alpha", "777")
                                           << entryLine("1", "Alpha", "777") + entryLine("2", "Beta", "777");
    }

    void reopeningReloadsChangedFile() {
        QFETCH(QString, from);
        QFETCH(QString, control);
        QFETCH(QString, window);
        QFETCH(QString, list);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString path = filePath(QStringLiteral("changing.txt"));
        writeFile(path, before);
        useBanFile(path);
        QWidget* origin = mainForm;
        if (from == QLatin1String("ChooseFindRepForm")) {
            activate(mainForm, QStringLiteral("Command1"));
            origin = only(from);
            QVERIFY(origin);
        }
        const QByteArray listName = list.toLatin1();

        activate(origin, control);
        QPointer<QWidget> first = only(window);
        QVERIFY(first);
        const QStringList shown = entries(first, listName.constData());

        writeFile(path, after);
        activate(origin, control);
        QCOMPARE(only(window), first.data());
        QCOMPARE(entries(first, listName.constData()), shown);

        first->close();
        QTRY_VERIFY(first.isNull());
        activate(origin, control);
        QWidget* second = only(window);
        QVERIFY(second);
        const QStringList reloaded = entries(second, listName.constData());
        QVERIFY2(reloaded != shown, qPrintable(reloaded.join('|')));
        if (window == QLatin1String("ShowBans")) {
            QCOMPARE(reloaded, (QStringList{"Beginning of file", "", "second", "third"}));
        }
        QVERIFY(messages.isEmpty());
    }

    void functionKeysWorkAnywhere_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("window");
        QTest::newRow("F1 on a button") << "Command1" << int(Qt::Key_F1) << "HelpMeForm";
        QTest::newRow("F2 on a button") << "Cmd_OpenDatabse" << int(Qt::Key_F2) << "AboutMeForm";
        QTest::newRow("F1 on the window") << "" << int(Qt::Key_F1) << "HelpMeForm";
        QTest::newRow("F2 on the window") << "" << int(Qt::Key_F2) << "AboutMeForm";
    }

    void functionKeysWorkAnywhere() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, window);
        mainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainForm));
        QWidget* target = focus.isEmpty() ? mainForm : mainForm->findChild<QWidget*>(focus);
        QVERIFY(target);
        target->setFocus();
        QVERIFY(visibleWindows(window).isEmpty());
        QTest::keyClick(target, Qt::Key(key));
        QTRY_COMPARE(visibleWindows(window).size(), 1);
    }

    void exitEndsTheProgramAtOnce() {
        for (const char* control : {"Command1", "Command2", "Cmd_SelectBanFile", "HelpMe", "Betatest"}) {
            activate(mainForm, QString::fromLatin1(control));
        }
        int open = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            open += widget->isVisible() ? 1 : 0;
        }
        QCOMPARE(open, 6);

        // The real event loop, so the quit request can end it; a guard ends it otherwise.
        QTimer::singleShot(0, mainForm, [this] { activate(mainForm, QStringLiteral("ExitMe")); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(guard.isActive());
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
        }
        QVERIFY(messages.isEmpty());
    }

    void viewerEntries_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("small") << QByteArray("one\r\ntwo\r\n  #12 three\r\n")
                               << QStringList{"Beginning of file", "", "one", "two", "  #12 three"};
        QTest::newRow("empty") << QByteArray() << QStringList{"Beginning of file", ""};
        QTest::newRow("blank lines in place")
            << QByteArray("\r\na\r\n\r\n\r\nb\r\n") << QStringList{"Beginning of file", "", "", "a", "", "", "b"};
        QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80 \x93q\x94\r\n")
                                      << QStringList{"Beginning of file", "", QString::fromUtf8("café € “q”")};
    }

    void viewerEntries() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        const QString path = filePath(QStringLiteral("viewer.txt"));
        writeFile(path, content);
        useBanFile(path);
        activate(mainForm, QStringLiteral("Command2"));
        QWidget* viewer = only(QStringLiteral("ShowBans"));
        QVERIFY(viewer);
        QCOMPARE(entries(viewer, "LoadBans"), expected);
        QVERIFY(messages.isEmpty());
    }

    void loadOutcomeMessages_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("lines"); // lines written, -1 for none
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("no file chosen") << "" << -1 << 0 << "Select banfile.";
        QTest::newRow("missing file") << "missing.txt" << -1 << 0 << "missing.txt";
        QTest::newRow("over 2999 lines") << "long.txt" << 3100 << 2 + 2999 << "long.txt";
        QTest::newRow("exactly 2999 lines") << "full.txt" << 2999 << 2 + 2999 << "";
    }

    void loadOutcomeMessages() {
        QFETCH(QString, file);
        QFETCH(int, lines);
        QFETCH(int, listed);
        QFETCH(QString, mentions);
        Declares::BanFilePath.clear();
        if (!file.isEmpty()) {
            QByteArray content;
            for (int i = 1; i <= lines; ++i) {
                content += "line " + QByteArray::number(i) + "\r\n";
            }
            if (lines >= 0) {
                writeFile(filePath(file), content);
            }
            useBanFile(filePath(file));
        }
        activate(mainForm, QStringLiteral("Command2"));
        QWidget* viewer = only(QStringLiteral("ShowBans"));
        QVERIFY(viewer);
        QCOMPARE(entries(viewer, "LoadBans").size(), listed);
        if (mentions.isEmpty()) {
            QCOMPARE(messages.size(), 0);
            return;
        }
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().title, QStringLiteral("Mirewatch"));
        QVERIFY2(messages.first().text.contains(mentions), qPrintable(messages.first().text));
    }

    void informationTexts_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("about 2")
            << "AboutMe"
            << "AboutMeForm"
            << "Label2"
            << "It offers a wide variety of options, like checking up on individual bans, searching after bans made by "
               "a spesific moderator, IP and MID search and a has a very unique search algorithm which effectively "
               "finds any repeated offender within your zone.";
        QTest::newRow("about 3") << "AboutMe"
                                 << "AboutMeForm"
                                 << "Label3"
                                 << "It has one requirement : That you have BanG access level 2.";
        QTest::newRow("about 4") << "AboutMe"
                                 << "AboutMeForm"
                                 << "Label4"
                                 << "If you do not have access to this level, ask one of the sysops to get the file "
                                    "for you. ( instructions on how to do this is found in the Readme! file.";
        QTest::newRow("help 1") << "HelpMe"
                                << "HelpMeForm"
                                << "Label1"
                                << "Question : Where do I get these \"ban files\"";
        QTest::newRow("help 2") << "HelpMe"
                                << "HelpMeForm"
                                << "Label2"
                                << "Answer : This is probably the biggest disadvantage of this program, you`ll have to "
                                   "retrive them yourself from within the zone. Read Readme!.txt for details on how to "
                                   "do this.";
        QTest::newRow("help 3") << "HelpMe"
                                << "HelpMeForm"
                                << "Label3"
                                << "Question : I have retrived the file as you specified, but nothing shows up!";
        QTest::newRow("help 4") << "HelpMe"
                                << "HelpMeForm"
                                << "Label4"
                                << "Answer : You need atleast level 2 BanG access to the zone, or you haven`t retrived "
                                   "the file using the correct syntax. Read Readme.txt once more.";
        QTest::newRow("help 5") << "HelpMe"
                                << "HelpMeForm"
                                << "Label5"
                                << "Question : I have done everything you have specified, but it the program either "
                                   "crashes or won`t find any information";
    }

    void informationTexts() {
        QFETCH(QString, control);
        QFETCH(QString, window);
        QFETCH(QString, label);
        QFETCH(QString, text);
        activate(mainForm, control);
        QWidget* opened = only(window);
        QVERIFY(opened);
        auto* shown = opened->findChild<QLabel*>(label);
        QVERIFY(shown);
        QCOMPARE(shown->text(), text);
        QVERIFY(shown->wordWrap());
    }

    void lastHelpAnswerAndBanner() {
        activate(mainForm, QStringLiteral("HelpMe"));
        QWidget* help = only(QStringLiteral("HelpMeForm"));
        QVERIFY(help);
        auto* answer = help->findChild<QLabel*>(QStringLiteral("Label6"));
        QVERIFY(answer);
        QVERIFY(answer->text().startsWith(QStringLiteral("Answer : This program has been tested countless times, but "
                                                         "if you are sure something is not working, ")));
        QCOMPARE(help->findChildren<QFrame*>(QRegularExpression(QStringLiteral("^Line\\d$"))).size(), 2);

        activate(mainForm, QStringLiteral("Betatest"));
        QWidget* beta = only(QStringLiteral("BetaTesters"));
        QVERIFY(beta);
        auto* banner = beta->findChild<QLabel*>(QStringLiteral("Banner"));
        QVERIFY(banner);
        QCOMPARE(banner->pixmap().size(), QSize(600, 81));
        QCOMPARE(beta->findChild<QFrame*>(QStringLiteral("Frame1"))->findChildren<QLabel*>().size(), 2);
    }
};

QTEST_MAIN(TestMainWindows)
#include "test_main_windows.moc"
