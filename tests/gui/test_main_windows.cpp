// The main window and the windows it opens: every control opens its own window, one instance each; opening an
// open window raises it, closing destroys it and the next opening reloads; F1 and F2 work wherever the focus is.
#include "BanHandle.h"
#include "GuiTest.h"
#include "MainForm.h"

#include <algorithm>
#include <tuple>

namespace {

// The one visible window of the name; none when there is none or more than one.
QWidget* only(const QString& name) {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == name)
            found.append(widget);
    }
    return found.size() == 1 ? found.first() : nullptr;
}

// Presses a button or triggers a menu entry of the window.
void activate(QWidget* window, const QString& control) {
    if (auto* button = window->findChild<QAbstractButton*>(control))
        QTest::mouseClick(button, Qt::LeftButton);
    else if (auto* action = window->findChild<QAction*>(control))
        action->trigger();
    else
        QFAIL(qPrintable("no control " + control));
}

} // namespace

class TestMainWindows : public QObject {
    Q_OBJECT

    KeptConfig keptConfig; // the chooser and the search window write it
    QTemporaryDir dir;
    RecordedMessages messages;
    MainForm* mainForm = nullptr;

private slots:
    void init() {
        messages.clear();
        mainForm = new MainForm;
        // After the main window has read the stored path.
        useBanFile(dir, "ban.txt", "chat line one\r\nchat line two\r\n");
        mainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(mainForm));
    }

    // No test here expects a message box.
    void cleanup() {
        QApplication::closeAllWindows();
        delete mainForm;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
    }

    // Each control opens its own window, modeless, all at once; opening again only brings it back, also after the
    // report chooser was closed in between; Exit ends all.
    void controlsOpenTheirWindowAndExit() {
        const std::pair<const char*, const char*> rows[] = {{"Cmd_SelectBanFile", "BanPathForm"},
                                                            {"Command2", "ShowBans"},
                                                            {"Command1", "ChooseFindRepForm"},
                                                            {"Cmd_OpenDatabse", "DatabaseForm"},
                                                            {"Cmd_LinkedNames", "LinkedNamesForm"},
                                                            {"Betatest", "BetaTesters"},
                                                            {"HelpMe", "HelpMeForm"},
                                                            {"AboutMe", "AboutMeForm"},
                                                            {"CMD_FindRepOffendersMid", "RepeatedOffendersForm"},
                                                            {"CMD_FindRepOffendersName", "NameRepeatedOffendersForm"}};
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& [control, window] : rows) {
                // The reports are opened from the report chooser, which an earlier row opened.
                activate(QByteArray(control).startsWith("CMD_") ? only("ChooseFindRepForm") : mainForm, control);
                QVERIFY(!QApplication::activeModalWidget());
                QVERIFY2(only(window), window);
            }
            const QWidgetList all = QApplication::topLevelWidgets();
            QCOMPARE(std::count_if(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); }), 11);
            only(QStringLiteral("ChooseFindRepForm"))->close(); // the reports it opened stay, and stay the only ones
        }

        // "&Exit" ends the program at once: the real event loop, so the quit request can end it; a guard otherwise.
        QTimer::singleShot(0, mainForm, [this] { activate(mainForm, QStringLiteral("ExitMe")); });
        QTimer guard;
        connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }

    // Opening an open window raises it and keeps what it loaded while its file is still the chosen one; once
    // another file is chosen, opening loads it afresh in its place; closing destroys it, so a fresh one reloads.
    // Each names the file it shows in its status line (the search window: the file of its last search).
    void reopeningRaisesOrReloads_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("list");
        for (const auto& [control, window, list] :
             {std::tuple{"Command2", "ShowBans", "LoadBans"},
              {"CMD_FindRepOffendersMid", "RepeatedOffendersForm", "RepeatedOffendersList"},
              {"CMD_FindRepOffendersName", "NameRepeatedOffendersForm", "LST_NAMEREPOFF"},
              {"Cmd_OpenDatabse", "DatabaseForm", "BannedAliases"}})
            QTest::newRow(window) << QString(control) << QString(window) << QString(list);
    }
    void reopeningRaisesOrReloads() {
        QFETCH(QString, control);
        QFETCH(QString, window);
        QFETCH(QString, list);
        const QByteArray ann = banFile({entry("Ann", "m1"), entry("Al", "m1"), entry("Ann", "m2")});
        const QByteArray bob = banFile({entry("Bob", "m1"), entry("Bo", "m1"), entry("Bob", "m2")});
        const auto open = [&] {
            if (control.startsWith("CMD_"))
                activate(mainForm, "Command1");
            activate(control.startsWith("CMD_") ? only("ChooseFindRepForm") : mainForm, control);
            QWidget* shown = only(window);
            if (auto* query = shown ? shown->findChild<QLineEdit*>("SearchQuery") : nullptr) {
                shown->findChild<QRadioButton*>("Optn_SearchByMod")->click();
                query->setText("Mod");
                QTest::keyClick(query, Qt::Key_Return);
            }
            return shown;
        };
        const auto shows = [&](QWidget* shown, const QString& name, const QString& file) {
            const QString status = shown->findChild<QLabel*>("BanFileStatus")->text();
            return texts(shown->findChild<QListView*>(list)).join('|').contains(name) &&
                   status.startsWith(file + " (in " + QDir::toNativeSeparators(dir.path()) + "): 5 lines, 3 ban ");
        };
        useBanFile(dir, "a.txt", ann);
        QPointer<QWidget> first = open();
        QVERIFY(first && shows(first, "Ann", "a.txt"));
        useBanFile(dir, "a.txt", bob); // the same file, changed: only raised
        first->showMinimized();
        activate(control.startsWith("CMD_") ? only("ChooseFindRepForm") : mainForm, control);
        QCOMPARE(only(window), first.data());
        QVERIFY(!first->isMinimized() && shows(first, "Ann", "a.txt"));

        useBanFile(dir, "b.txt", bob); // another file: loaded afresh in the same place
        first->move(first->pos() + QPoint(40, 30));
        const QRect place = first->geometry();
        QPointer<QWidget> second = open();
        QVERIFY(second && second != first);
        QTRY_VERIFY(first.isNull());
        QVERIFY(shows(second, "Bob", "b.txt"));
        QCOMPARE(second->geometry(), place);

        second->close();
        QTRY_VERIFY(second.isNull());
        useBanFile(dir, "b.txt", ann);
        QVERIFY(shows(open(), "Ann", "b.txt"));
    }

    // The main window names the chosen file, its folder, size and date, and follows a choice at once.
    void mainWindowNamesTheChosenFile() {
        const QString folder = QDir::toNativeSeparators(dir.path()), path = dir.filePath("Zone Banlog.txt");
        writeFile(path, QByteArray(2600, 'x'));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(QDateTime(QDate(2004, 5, 12), QTime(14, 22)), QFileDevice::FileModificationTime));
        file.close();
        BanHandle::SetBanFilePath(QFile::encodeName(path).toStdString()); // as the chooser does
        auto* info = mainForm->findChild<QLabel*>("BanFileInfo");
        QCOMPARE(info->text(), "Ban file: Zone Banlog.txt\nFolder: " + QDir::toNativeSeparators(folder) + "\nSize: " +
                                   QLocale().formattedDataSize(2600, 1, QLocale::DataSizeTraditionalFormat) +
                                   ", changed 2004-05-12 14:22");
        BanHandle::SetBanFilePath("");
        QVERIFY(info->text().contains("none chosen"));
    }

    // F1 and F2 open Help and About wherever the focus is; Escape closes any other window, also with nothing in it
    // focused; closing the main window closes the rest.
    void keysAndClosingTheMainWindow() {
        for (const auto& [focus, key, window] :
             {std::tuple{"Command1", Qt::Key_F1, "HelpMeForm"}, {"", Qt::Key_F2, "AboutMeForm"}}) {
            showActive(mainForm);
            QWidget* target = *focus ? mainForm->findChild<QWidget*>(focus) : mainForm;
            target->setFocus();
            QTest::keyClick(target, key);
            QTRY_VERIFY2(only(window), window);
        }
        QPointer<QWidget> about = only("AboutMeForm");
        showActive(about);
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(about.isNull());
        for (const char* control : {"Command2", "Cmd_SelectBanFile", "Cmd_OpenDatabse"})
            activate(mainForm, control);
        const QPointer<QWidget> others[] = {only("ShowBans"), only("BanPathForm"), only("DatabaseForm"),
                                            only("HelpMeForm")};
        mainForm->close();
        for (const QPointer<QWidget>& window : others)
            QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(TestMainWindows)
#include "test_main_windows.moc"
