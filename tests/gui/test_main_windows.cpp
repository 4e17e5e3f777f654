// The main window, its navigation and the windows it opens: the raw viewer and the information windows.
#include "API.h"
#include "Declares.h"
#include "MainForm.h"
#include "Messages.h"

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

#include <algorithm>
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

QWidget* only(const QString& name) {
    const QList<QWidget*> found = visibleWindows(name);
    return found.size() == 1 ? found.first() : nullptr;
}

QStringList entries(QWidget* window, const QString& listName) {
    auto* list = window->findChild<QListWidget*>(listName);
    QStringList texts;
    for (int i = 0; list && i < list->count(); ++i) {
        texts.append(list->item(i)->text());
    }
    return list ? texts : QStringList{QStringLiteral("<no list %1>").arg(listName)};
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// An entry line in the layout the parser reads, its date in column 34.
QByteArray entryLine(const QByteArray& id, const QByteArray& name, const QByteArray& mid) {
    return ("  #" + id + "xxxxxxxx2yyyyModerator").leftJustified(32, ' ') +
           " 2004-05-12 14:22:11   30 10.0.0.1 mid:" + mid + " " + name + "\r\n";
}

QStringList numbered(int n) {
    QStringList lines;
    for (int i = 1; i <= n; ++i) {
        lines.append(QStringLiteral("line %1").arg(i));
    }
    return lines;
}

const QString kChooser = QStringLiteral("ChooseFindRepForm");

} // namespace

class TestMainWindows : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QList<Message> messages;
    MainForm* mainForm = nullptr;
    std::optional<QByteArray> savedConfig;

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

    // The window holding the control: the main window, or the chooser it opens.
    QWidget* opener(const QString& from) {
        if (from == kChooser) {
            activate(mainForm, QStringLiteral("Command1"));
            return only(kChooser);
        }
        return mainForm;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        Messages::setHandler([this](const QString& title, const QString& text) { messages.append({title, text}); });
        QFile config(QString::fromStdString(API::ConfigFilePath()));
        if (config.open(QIODevice::ReadOnly)) {
            savedConfig = config.readAll();
        }
        writeFile(dir.filePath(QStringLiteral("plain.txt")), "chat line one\r\nchat line two\r\n");
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
        useBanFile(dir.filePath(QStringLiteral("plain.txt"))); // after the main window has read Config.ini
        mainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(mainForm));
    }

    void cleanup() {
        QApplication::closeAllWindows();
        delete mainForm;
        mainForm = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void mainFormControls() {
        QCOMPARE(mainForm->windowTitle(), QStringLiteral("Mirewatch"));
        struct Button {
            const char *name, *caption, *toolTip;
            int row, column;
        };
        const Button buttons[] = {
            {"Cmd_SelectBanFile", "Select banfile.", "Select the banfile to be used for creating the database", 0, 0},
            {"Command2", "Show currently loaded bans.", "Show contents of the specified banfile.", 0, 1},
            {"Command1", "Search for repeated offenders.", "Search the database for repeated offenders.", 1, 0},
            {"Cmd_OpenDatabse", "Spesific database search.", "Search the database", 1, 1},
        };
        auto* grid = mainForm->findChild<QGridLayout*>();
        QVERIFY(grid);
        for (const Button& expected : buttons) {
            auto* button = mainForm->findChild<QPushButton*>(expected.name);
            QVERIFY2(button, expected.name);
            QCOMPARE(button->text(), expected.caption);
            QCOMPARE(button->toolTip(), expected.toolTip);
            int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(button), &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(QPoint(column, row), QPoint(expected.column, expected.row));
            QCOMPARE(button->size(), mainForm->findChild<QPushButton*>(QStringLiteral("Command1"))->size());
        }
        QCOMPARE(mainForm->findChild<QFrame*>(QStringLiteral("Line1"))->frameShape(), QFrame::HLine);

        auto* bar = mainForm->findChild<QMenuBar*>();
        QVERIFY(bar);
        QStringList menu;
        for (QAction* action : bar->actions() + mainForm->findChild<QMenu*>(QStringLiteral("FileMe"))->actions()) {
            menu.append(action->objectName() + "=" + action->text() + "=" + action->shortcut().toString());
        }
        QCOMPARE(menu, (QStringList{"Betatest=Beta testers=", "FileMe=&File=", "ExitMe=&Exit=", "HelpMe=&Help=F1",
                                    "AboutMe=&About=F2"}));
    }

    void mainFormReadsStoredPath() {
        const QString configPath = QString::fromStdString(API::ConfigFilePath());
        const std::pair<QByteArray, QByteArray> cases[] = {
            {"[Ban file path]\r\nPath=/logs/Zone Banlog.txt\r\n", "/logs/Zone Banlog.txt"}, {"", ""}};
        for (const auto& [config, expected] : cases) {
            QFile::remove(configPath);
            if (!config.isEmpty()) {
                writeFile(configPath, config);
            }
            Declares::BanFilePath = "left over";
            MainForm fresh;
            QCOMPARE(QByteArray::fromStdString(Declares::BanFilePath), expected);
        }
        QFile::remove(configPath);
        QVERIFY(messages.isEmpty()); // the main window does not load the ban file
    }

    // Each control opens its own window, modeless, all at once; opening again only brings it back; Exit ends all.
    void controlsOpenTheirWindowAndExit() {
        struct Row {
            const char *control, *window, *title;
        };
        const Row rows[] = {
            {"Cmd_SelectBanFile", "BanPathForm", "Select ban file to examine"},
            {"Command2", "ShowBans", "Show bans"},
            {"Command1", "ChooseFindRepForm", "Select search mode"},
            {"Cmd_OpenDatabse", "DatabaseForm", "Search database"},
            {"Betatest", "BetaTesters", "Beta Testers"},
            {"HelpMe", "HelpMeForm", "Help!"},
            {"AboutMe", "AboutMeForm", "About"},
            {"CMD_FindRepOffendersMid", "RepeatedOffendersForm", "Show repeated offenders by MID"},
            {"CMD_FindRepOffendersName", "NameRepeatedOffendersForm",
             "Players banned for the second time is listed below"},
        };
        for (int pass = 0; pass < 2; ++pass) {
            for (const Row& row : rows) {
                QWidget* origin = QByteArray(row.control).startsWith("CMD_") ? only(kChooser) : mainForm;
                QVERIFY(origin);
                activate(origin, row.control);
                QVERIFY(!QApplication::activeModalWidget());
                QVERIFY2(only(row.window), row.window);
                QCOMPARE(only(row.window)->windowTitle(), row.title);
            }
            const QWidgetList all = QApplication::topLevelWidgets();
            QCOMPARE(std::count_if(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); }), 10);
        }
        QVERIFY2(messages.isEmpty(), qPrintable(messages.isEmpty() ? QString() : messages.first().text));

        // "&Exit" ends the program at once: the real event loop, so the quit request can end it; a guard otherwise.
        QTimer::singleShot(0, mainForm, [this] { activate(mainForm, QStringLiteral("ExitMe")); });
        QTimer guard;
        connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(guard.isActive());
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
        }
    }

    // Opening an open window raises it and keeps what it loaded; closing destroys it, so a fresh one reloads.
    void reopeningReloadsChangedFile_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("reloaded"); // how the fresh window begins
        QTest::newRow("viewer") << QStringLiteral("MainForm") << "Command2"
                                << "ShowBans"
                                << "LoadBans" << QByteArray("first\r\n") << QByteArray("second\r\nthird\r\n")
                                << QStringList{"Beginning of file", "", "second", "third"};
        // Its chooser is closed and opened again in between: the report stays the one instance.
        QTest::newRow("machine id report") << kChooser << "CMD_FindRepOffendersMid"
                                           << "RepeatedOffendersForm"
                                           << "RepeatedOffendersList" << entryLine("1", "Alpha", "777")
                                           << entryLine("1", "Alpha", "777") + entryLine("2", "Beta", "777")
                                           << QStringList{" ", "Repeated offender found : Beta MATCH As : Alpha"};
    }

    void reopeningReloadsChangedFile() {
        QFETCH(QString, from);
        QFETCH(QString, control);
        QFETCH(QString, window);
        QFETCH(QString, list);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, reloaded);
        const QString path = dir.filePath(QStringLiteral("changing.txt"));
        writeFile(path, before);
        useBanFile(path);
        QPointer<QWidget> origin = opener(from);
        QVERIFY(origin);
        activate(origin, control);
        QPointer<QWidget> first = only(window);
        QVERIFY(first);
        QVERIFY(origin->isVisible()); // the opener stays
        const QStringList shown = entries(first, list);

        writeFile(path, after);
        first->showMinimized();
        if (origin != mainForm) {
            origin->close();
            QTRY_VERIFY(origin.isNull());
            origin = opener(from);
        }
        activate(origin, control);
        QCOMPARE(visibleWindows(window).size(), 1);
        QCOMPARE(only(window), first.data());
        QVERIFY(!first->isMinimized());
        QCOMPARE(entries(first, list), shown);

        first->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(visibleWindows(window).isEmpty());
        activate(origin, control);
        QVERIFY(only(window));
        const QStringList now = entries(only(window), list);
        QVERIFY2(now != shown, qPrintable(now.join('|')));
        QCOMPARE(now.mid(0, reloaded.size()), reloaded);
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

    // The viewer's entries, and the one message a load that is not whole shows.
    void viewerEntriesAndLoadOutcomes_data() {
        QTest::addColumn<QString>("file");       // empty: no ban file chosen
        QTest::addColumn<QByteArray>("content"); // null: the file is not written
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("mentions"); // empty: no message
        const QStringList start{"Beginning of file", ""};
        const auto lines = [](int n) { return numbered(n).join("\r\n").toLatin1() + "\r\n"; };
        QTest::newRow("empty") << "v.txt" << QByteArray("") << start << "";
        QTest::newRow("blank lines in place")
            << "v.txt" << QByteArray("\r\na\r\n\r\n  #12 b\r\n") << start + QStringList{"", "a", "", "  #12 b"} << "";
        QTest::newRow("windows-1252") << "v.txt" << QByteArray("caf\xe9 \x80 \x93q\x94\r\n")
                                      << start + QStringList{QString::fromUtf8("café € “q”")} << "";
        QTest::newRow("exactly 2999 lines") << "full.txt" << lines(2999) << start + numbered(2999) << "";
        QTest::newRow("over 2999 lines") << "long.txt" << lines(3100) << start + numbered(2999) << "long.txt";
        QTest::newRow("no file chosen") << "" << QByteArray() << QStringList() << "Select banfile.";
        QTest::newRow("missing file") << "missing.txt" << QByteArray() << QStringList() << "missing.txt";
    }

    void viewerEntriesAndLoadOutcomes() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QFETCH(QString, mentions);
        Declares::BanFilePath.clear();
        if (!file.isEmpty()) {
            if (!content.isNull()) {
                writeFile(dir.filePath(file), content);
            }
            useBanFile(dir.filePath(file));
        }
        activate(mainForm, QStringLiteral("Command2"));
        QWidget* viewer = only(QStringLiteral("ShowBans"));
        QVERIFY(viewer);
        QCOMPARE(entries(viewer, QStringLiteral("LoadBans")), expected);
        QCOMPARE(messages.size(), mentions.isEmpty() ? 0 : 1);
        if (!mentions.isEmpty()) {
            QCOMPARE(messages.first().title, QStringLiteral("Mirewatch"));
            QVERIFY2(messages.first().text.contains(mentions), qPrintable(messages.first().text));
        }
    }

    void informationWindows() {
        struct Text {
            const char *window, *label, *text;
        };
        const Text texts[] = {
            {"AboutMeForm", "Label2",
             "It offers a wide variety of options, like checking up on individual bans, searching after bans made by "
             "a spesific moderator, IP and MID search and a has a very unique search algorithm which effectively "
             "finds any repeated offender within your zone."},
            {"AboutMeForm", "Label3", "It has one requirement : That you have BanG access level 2."},
            {"AboutMeForm", "Label4",
             "If you do not have access to this level, ask one of the sysops to get the file for you. ( instructions "
             "on how to do this is found in the Readme! file."},
            {"HelpMeForm", "Label1", "Question : Where do I get these \"ban files\""},
            {"HelpMeForm", "Label2",
             "Answer : This is probably the biggest disadvantage of this program, you`ll have to retrive them yourself "
             "from within the zone. Read Readme!.txt for details on how to do this."},
            {"HelpMeForm", "Label3", "Question : I have retrived the file as you specified, but nothing shows up!"},
            {"HelpMeForm", "Label4",
             "Answer : You need atleast level 2 BanG access to the zone, or you haven`t retrived the file using the "
             "correct syntax. Read Readme.txt once more."},
            {"HelpMeForm", "Label5",
             "Question : I have done everything you have specified, but it the program either crashes or won`t find "
             "any information"},
            {"HelpMeForm", "Label6",
             "Answer : This program has been tested countless times, but if you are sure something is not working, "},
        };
        for (const char* control : {"AboutMe", "HelpMe", "Betatest"}) {
            activate(mainForm, control);
        }
        for (const Text& expected : texts) {
            QWidget* window = only(expected.window);
            QVERIFY2(window, expected.window);
            auto* shown = window->findChild<QLabel*>(expected.label);
            QVERIFY2(shown, expected.label);
            // The last help answer ends in a contact text of our own; the written part starts it.
            const bool ownEnding = QByteArray(expected.label) == "Label6";
            QCOMPARE(ownEnding ? shown->text().left(qstrlen(expected.text)) : shown->text(), expected.text);
            QVERIFY(shown->wordWrap());
        }
        QCOMPARE(only("HelpMeForm")->findChildren<QFrame*>(QRegularExpression("^Line\\d$")).size(), 2);
        QWidget* beta = only(QStringLiteral("BetaTesters"));
        QCOMPARE(beta->findChild<QLabel*>(QStringLiteral("Banner"))->pixmap().size(), QSize(600, 81));
        QCOMPARE(beta->findChild<QFrame*>(QStringLiteral("Frame1"))->findChildren<QLabel*>().size(), 2);
    }
};

QTEST_MAIN(TestMainWindows)
#include "test_main_windows.moc"
