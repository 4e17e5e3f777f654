// Daily use: the search window's lists as one row set, the keyboard paths, copying and saving rows.
#include "API.h"
#include "AboutMeForm.h"
#include "BanPathForm.h"
#include "DatabaseForm.h"
#include "Declares.h"
#include "MainForm.h"
#include "Messages.h"
#include "ShowBans.h"
#include "Text1252.h"
#include "WindowRegistry.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QStringList kLists{"AccessLevelList", "BannedStatus", "BannedID", "BannedDays",
                         "BannedDate",      "BannedBy",     "BannedIP", "BannedAliases"};

// An entry line in the ban list's column layout, banned by "Mod", and a ban file around entries.
QByteArray entry(int id, const QByteArray& name) {
    return "  #" + QByteArray::number(id) + "  xxxxxx2    Mod          2004-05-12 14:22:11 ab1 192.168.7.70, mid:m " +
           name;
}
QByteArray banFile(const QList<QByteArray>& entries) {
    return "Log opened\r\n" + entries.join("\r\n") + "\r\nLog closed\r\n";
}
const QList<QByteArray> kTwo{entry(15, "Bob, \"the\" Bot"), entry(16, "\xC9ric\x80")};

// What one list shows of the row set: its scroll position, top row, current row and selected rows.
QString rowState(const QListView* list) {
    QStringList selected;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        if (list->selectionModel()->isSelected(list->model()->index(row, list->modelColumn()))) {
            selected.append(QString::number(row));
        }
    }
    return QStringLiteral("scroll %1 top %2 current %3 selected %4")
        .arg(list->verticalScrollBar()->value())
        .arg(list->indexAt(QPoint(4, 4)).row())
        .arg(list->currentIndex().row())
        .arg(selected.join(u','));
}

} // namespace

class TestDailyUse : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QStringList messages; // "title: text"
    DatabaseForm* search = nullptr;

    void writeBanFile(const QByteArray& bytes) {
        QFile file(dir.filePath("ban.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        Declares::BanFilePath = QFile::encodeName(file.fileName()).toStdString();
    }
    template <class Window> Window* open(WindowRole role = WindowRole::Ordinary) {
        Window* window = openWindow<Window>(role);
        window->activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(window)); }(); // keys go to the active window
        return window;
    }
    QListView* list(const QString& name) const { return search->findChild<QListView*>(name); }
    void searchModerator() {
        search->findChild<QRadioButton*>("Optn_SearchByMod")->click();
        search->findChild<QLineEdit*>("SearchQuery")->setText("Mod");
        search->findChild<QPushButton*>("Command1")->click();
    }
    void checkAligned(const QString& expected) {
        for (const QString& name : kLists) {
            QCOMPARE(name + ": " + rowState(list(name)), name + ": " + expected);
        }
    }

private slots:
    void init() {
        messages.clear();
        Messages::setHandler(
            [this](const QString& title, const QString& text) { messages.append(title + ": " + text); });
        Declares::SearchMode = Declares::SearchModeKind::None;
        QList<QByteArray> entries;
        for (int i = 0; i < 200; ++i) {
            entries.append(entry(1000 + i, "Player " + QByteArray::number(i)));
        }
        writeBanFile(banFile(entries));
        search = open<DatabaseForm>();
    }
    void cleanup() {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Messages::setHandler({});
        Messages::setFileNameHandler({});
    }

    void rowsStayAligned_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : kLists) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    // Keys, the wheel, the scroll bar, clicks and Shift-clicks in any list move and select the same rows in all.
    void rowsStayAligned() {
        QFETCH(QString, name);
        searchModerator();
        QListView* acted = list(name);
        acted->setFocus();
        QTest::keyClick(acted, Qt::Key_End);
        const int bottom = acted->verticalScrollBar()->maximum();
        QVERIFY(bottom > 100);
        checkAligned(QStringLiteral("scroll %1 top %1 current 199 selected 199").arg(bottom));
        QWheelEvent wheel(QPointF(5, 5), acted->viewport()->mapToGlobal(QPointF(5, 5)), {}, {0, 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(acted->viewport(), &wheel);
        const int scrolled = acted->verticalScrollBar()->value();
        QVERIFY(scrolled < bottom);
        checkAligned(QStringLiteral("scroll %1 top %1 current 199 selected 199").arg(scrolled));
        list("BannedAliases")->verticalScrollBar()->setValue(10); // the one scroll bar shown
        const auto rowCenter = [](QListView* view, int row) {
            return view->visualRect(view->model()->index(row, view->modelColumn())).center();
        };
        QTest::mouseClick(acted->viewport(), Qt::LeftButton, {}, rowCenter(acted, 12));
        checkAligned("scroll 10 top 10 current 12 selected 12");
        QListView* other = list(kLists[(kLists.indexOf(name) + 3) % 8]);
        QTest::mouseClick(other->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCenter(other, 14));
        checkAligned("scroll 10 top 10 current 14 selected 12,13,14");
        QTest::keyClick(other, Qt::Key_Up, Qt::ShiftModifier);
        checkAligned("scroll 10 top 10 current 13 selected 12,13");
        search->findChild<QPushButton*>("Cmd_ScrollNext")->click();
        checkAligned("scroll 10 top 10 current 14 selected 14");
        QCOMPARE(search->findChild<QLabel*>("MatchCount")->text(), QString("200 matches"));
    }

    // Enter in the query searches, Tab reaches the lists, Enter presses the focused button, Escape closes.
    void searchByKeyboard() {
        search->findChild<QRadioButton*>("Optn_SearchByMod")->click();
        auto* query = search->findChild<QLineEdit*>("SearchQuery");
        QTest::keyClicks(query, "Nobody");
        QTest::keyClick(query, Qt::Key_Return);
        QCOMPARE(search->findChild<QLabel*>("MatchCount")->text(), QString("No match"));
        query->setText("Mod");
        QTest::keyClick(query, Qt::Key_Enter, Qt::KeypadModifier);
        auto* next = search->findChild<QPushButton*>("Cmd_ScrollNext");
        next->setFocus();
        QTest::keyClick(next, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), list("AccessLevelList"));
        checkAligned("scroll 0 top 0 current 0 selected 0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), list("BannedStatus"));
        next->setFocus();
        QTest::keyClick(next, Qt::Key_Return);
        checkAligned("scroll 0 top 0 current 1 selected 1");
        QPointer<QWidget> window = search;
        QTest::keyClick(list("BannedDate"), Qt::Key_Escape);
        QTRY_VERIFY(window.isNull());
    }

    // Escape closes a window also when nothing in it has the focus, but not the main window; closing that one
    // closes all.
    void escapeAndTheMainWindow() {
        QPointer<QWidget> about = open<AboutMeForm>(); // nothing in it takes the focus
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(about.isNull());
        const std::string banFilePath = Declares::BanFilePath;
        auto* main = open<MainForm>(WindowRole::Main); // reads Config.ini
        Declares::BanFilePath = banFilePath;
        QTest::keyClick(main, Qt::Key_Escape);
        QVERIFY(main->isVisible());
        QPointer<QWidget> others[] = {search, open<ShowBans>(), open<BanPathForm>()};
        main->close();
        for (const QPointer<QWidget>& window : others) {
            QTRY_VERIFY(window.isNull());
        }
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
    }

    // Enter or Space on a file in the chooser stores it as a click does.
    void chooserByKeyboard() {
        QFile config(QString::fromStdString(API::ConfigFilePath()));
        const std::optional<QByteArray> saved =
            config.open(QIODevice::ReadOnly) ? std::optional(config.readAll()) : std::nullopt;
        config.close();
        const QString start = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        auto* files = open<BanPathForm>()->findChild<QListWidget*>("ChooseBanFileName");
        QDir::setCurrent(start);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
            messages.clear();
            files->setCurrentItem(files->findItems("ban.txt", Qt::MatchExactly).value(0));
            QTest::keyClick(files, key);
            QCOMPARE(messages, QStringList{"Ban file path: File path to ban file set"});
            QCOMPARE(QFileInfo(QFile::decodeName(Declares::BanFilePath.c_str())).canonicalFilePath(),
                     QFileInfo(dir.filePath("ban.txt")).canonicalFilePath());
        }
        QVERIFY(saved ? config.open(QIODevice::WriteOnly) && config.write(*saved) == saved->size() : config.remove());
    }

    // Ctrl+A and Ctrl+C copy every row; the search saves CSV, the viewer UTF-8 text; a failed save says why.
    void copyAndSave_data() {
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QByteArray>("file"); // empty: the clipboard's lines
        const QString rows =
            "2\tStill valid\t15\t1\t2004-05-12\tMod         \t 192.168.7.70\tBob, \"the\" Bot\n" +
            QString::fromUtf8("2\tStill valid\t16\t1\t2004-05-12\tMod         \t 192.168.7.70\t\u00c9ric\u20ac");
        QTest::newRow("search")
            << false << rows
            << "\xEF\xBB\xBF"
               "Acess Level,Ban status,BanID,Days,Date of ban,Banned by,IP of banned,Banned as\r\n"
               "2,Still valid,15,1,2004-05-12,Mod         , 192.168.7.70,\"Bob, \"\"the\"\" Bot\"\r\n" +
                   rows.section('\n', 1).replace('\t', ',').toUtf8() + "\r\n";
        QTest::newRow("viewer") << true
                                << "Beginning of file\n\nLog opened\n" +
                                       Text1252::decode(kTwo.join('\n').toStdString()) + "\nLog closed"
                                << QByteArray();
    }
    void copyAndSave() {
        QFETCH(bool, viewer);
        QFETCH(QString, clipboard);
        QFETCH(QByteArray, file);
        writeBanFile(banFile(kTwo));
        QWidget* window = viewer ? static_cast<QWidget*>(open<ShowBans>()) : search;
        searchModerator();
        auto* view = window->findChildren<QAbstractItemView*>().first();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), clipboard);
        const QString good = dir.filePath("saved");
        for (const QString& path : {dir.filePath("no such dir/x"), dir.filePath("ban.txt/x"), good}) {
            messages.clear();
            Messages::setFileNameHandler([path](const QString&) { return path; });
            window->findChild<QPushButton*>("Cmd_SaveAs")->click();
            const QString status = window->findChild<QLabel*>("StatusLine")->text();
            QVERIFY2(status.startsWith("Saved") == (path == good), qPrintable(status));
            const QString why = messages.value(0).section(QDir::toNativeSeparators(path) + " could not be saved: ", 1);
            QVERIFY2(messages.size() == (path == good ? 0 : 1) && (path == good || why.size() > 3),
                     qPrintable(messages.join('|')));
            QCOMPARE(QFile::exists(path), path == good);
        }
        QFile saved(good);
        QVERIFY(saved.open(viewer ? QIODevice::ReadOnly | QIODevice::Text : QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file.isEmpty() ? (clipboard + '\n').toUtf8() : file);
        // Lines are never cut short: a narrow list scrolls sideways to the end of the longest.
        window->resize(300, 300);
        if (auto* lines = qobject_cast<QListWidget*>(view)) {
            QTRY_VERIFY(lines->horizontalScrollBar()->maximum() + lines->viewport()->width() >=
                        lines->fontMetrics().horizontalAdvance(lines->item(3)->text()));
        }
    }
};

QTEST_MAIN(TestDailyUse)
#include "test_daily_use.moc"
