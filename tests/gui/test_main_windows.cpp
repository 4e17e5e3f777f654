// The main window and the windows it opens: every control opens its own window, one instance each; opening an
// open window raises it, closing destroys it and the next opening reloads; F1 and F2 work wherever the focus is.
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
            QCOMPARE(std::count_if(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); }), 10);
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

    // Opening an open window raises it and keeps what it loaded; closing destroys it, so a fresh one reloads.
    void reopeningRaisesOrReloads() {
        useBanFile(dir, "ban.txt", "first\r\n");
        activate(mainForm, QStringLiteral("Command2"));
        QPointer<QWidget> viewer = only(QStringLiteral("ShowBans"));
        QVERIFY(viewer);
        useBanFile(dir, "ban.txt", "second\r\nthird\r\n");
        viewer->showMinimized();
        activate(mainForm, QStringLiteral("Command2"));
        QCOMPARE(only(QStringLiteral("ShowBans")), viewer.data());
        QVERIFY(!viewer->isMinimized());
        QCOMPARE(texts(viewer->findChild<QListView*>("LoadBans")), (QStringList{"Beginning of file", "", "first"}));

        viewer->close();
        QTRY_VERIFY(viewer.isNull());
        activate(mainForm, QStringLiteral("Command2"));
        QCOMPARE(texts(only(QStringLiteral("ShowBans"))->findChild<QListView*>("LoadBans")),
                 (QStringList{"Beginning of file", "", "second", "third"}));
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
