// The search window: what each mode finds, shown across the eight lists, in Windows-1252 both ways; stepping
// through the matches; the mode still in force when the window is opened again.
#include "DatabaseForm.h"
#include "GuiTest.h"
#include "MainForm.h"

#include <memory>

namespace {

// Entry lines in the ban list's column layout.
const QList<QByteArray> kStandard{
    "  #123  xxxxxx2    ModName      2004-05-12 14:22:11 ab2 192.168.1.10, mid:abc123 BoB",
    "  ^12  xxxxxx1    Other        2005-01-01 14:22:11 ab30 10.20.30.140, mid:def456 bob",
    "  #4567  xxxxxx3    modname      2006-02-03 14:22:11 ab365 172.16.254.01, mid:abc123 Bobby",
    "  ^5  xxxxxx0    Zed          2007-03-04 14:22:11 ab7 192.168.1.100, mid:xyz Carol",
    "  #77  xxxxxx2    Admin        2008-04-05 14:22:11 ab1 192.168.2.20, mid:qq BOB",
    "  #78  xxxxxx2    Admin        2008-04-06 14:22:11 ab1 192.168.2.21, mid:qr bo?",
    "  #90  xxxxxx4    Mod\xC9         2009-01-02 14:22:11 ab3 192.168.9.90, mid:m\x80 \xC9ric\x80",
};

const QStringList kLists{"AccessLevelList", "BannedStatus", "BannedID", "BannedDays",
                         "BannedDate",      "BannedBy",     "BannedIP", "BannedAliases"};
const QStringList kOptions{"Optn_SearchByIP", "Optn_SearchByMID", "Optn_SearchByNick", "Optn_SearchByMod",
                           "Optn_SearchByBanID"};

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

    KeptConfig keptConfig; // the search mode is stored in it
    QTemporaryDir dir;
    RecordedMessages messages;
    std::unique_ptr<DatabaseForm> form;

    void openWindow() {
        form = std::make_unique<DatabaseForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    // Chooses the option when one is named, types the query and presses Enter in it.
    void search(const QString& option, const QString& query) {
        if (!option.isEmpty())
            form->findChild<QRadioButton*>(option)->click();
        auto* edit = form->findChild<QLineEdit*>("SearchQuery");
        edit->setText(query);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // Every list at the same scroll position and top row, with the same current and selected rows.
    void checkAligned(int scroll, int current, const QString& selected) {
        for (const QString& name : kLists) {
            QListView* view = form->findChild<QListView*>(name);
            QStringList rows;
            for (int row = 0; row < view->model()->rowCount(); ++row) {
                if (view->selectionModel()->isSelected(view->model()->index(row, view->modelColumn())))
                    rows.append(QString::number(row));
            }
            const QString state =
                QString(": %1 %2 %3 ").arg(view->verticalScrollBar()->value()).arg(view->indexAt({4, 4}).row());
            QCOMPARE(name + state.arg(view->currentIndex().row()) + rows.join(','),
                     name + QString(": %1 %1 %2 %3").arg(scroll).arg(current).arg(selected));
        }
    }
    QStringList shown(const QString& list) const { return texts(form->findChild<QListView*>(list)); }
    // Each row across the lists, left to right, its fields joined by "|".
    QStringList rows() const {
        QStringList joined;
        for (int row = 0; row < shown("BannedID").size(); ++row) {
            QStringList fields;
            for (const QString& list : kLists)
                fields.append(shown(list).value(row));
            joined.append(fields.join('|'));
        }
        return joined;
    }

private slots:
    void init() {
        messages.clear();
        Declares::SearchMode = Declares::SearchModeKind::None;
        useBanFile(dir, "ban.txt", banFile(kStandard));
        openWindow();
    }

    void cleanup() { form.reset(); }

    // What each mode finds, by the ban numbers listed. The query is matched in Windows-1252; one with a character
    // that has no Windows-1252 form matches nothing (a lossy conversion to "?" would find "bo?").
    void everyModeFindsItsMatches_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("query");
        QTest::newRow("no mode") << "" << QStringList{} << "bob";
        QTest::newRow("ip") << "Optn_SearchByIP" << QStringList{"123"} << "192.168.1.10";
        QTest::newRow("mid") << "Optn_SearchByMID" << QStringList{"123", "4567"} << "abc123";
        QTest::newRow("nick") << "Optn_SearchByNick" << QStringList{"123", "12", "77"} << "BOB";
        QTest::newRow("moderator") << "Optn_SearchByMod" << QStringList{"123", "4567"} << "MODNAME";
        QTest::newRow("ban id") << "Optn_SearchByBanID" << QStringList{"12"} << "12";
        QTest::newRow("nick in windows-1252") << "Optn_SearchByNick" << QStringList{"90"} << "\u00e9ric\u20ac";
        QTest::newRow("mid in windows-1252") << "Optn_SearchByMID" << QStringList{"90"} << "m\u20ac";
        QTest::newRow("no windows-1252 form") << "Optn_SearchByNick" << QStringList{} << "bo\u0100";
        QTest::newRow("question mark") << "Optn_SearchByNick" << QStringList{"78"} << "bo?";
    }

    void everyModeFindsItsMatches() {
        QFETCH(QString, option);
        QFETCH(QStringList, ids);
        QFETCH(QString, query);
        search(option, query);
        QCOMPARE(shown("BannedID"), ids);
        const QString counted[] = {"No match", "1 match"};
        if (!option.isEmpty())
            QCOMPARE(form->findChild<QLabel*>("MatchCount")->text(),
                     ids.size() < 2 ? counted[ids.size()] : QString("%1 matches").arg(ids.size()));
        QVERIFY(messages.isEmpty());
    }

    void rowsStayAligned_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : kLists)
            QTest::newRow(qPrintable(name)) << name;
    }
    // Keys, the wheel, the scroll bar, clicks and Shift-clicks in any list move and select the same rows in all.
    void rowsStayAligned() {
        QFETCH(QString, name);
        QList<QByteArray> entries;
        for (int i = 0; i < 200; ++i)
            entries.append(entry("Player " + QByteArray::number(i)));
        useBanFile(dir, "ban.txt", banFile(entries));
        search("Optn_SearchByMod", "Mod");
        QCOMPARE(form->findChild<QLabel*>("MatchCount")->text(), QString("200 matches"));
        auto* acted = form->findChild<QListView*>(name);
        const auto rowCenter = [](QListView* view, int row) {
            return view->visualRect(view->model()->index(row, view->modelColumn())).center();
        };
        acted->setFocus();
        QTest::keyClick(acted, Qt::Key_End);
        const int bottom = acted->verticalScrollBar()->maximum();
        QVERIFY(bottom > 100);
        checkAligned(bottom, 199, "199");
        QWheelEvent wheel(QPointF(5, 5), acted->viewport()->mapToGlobal(QPointF(5, 5)), {}, {0, 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(acted->viewport(), &wheel);
        const int scrolled = acted->verticalScrollBar()->value();
        QVERIFY(scrolled < bottom);
        checkAligned(scrolled, 199, "199");
        form->findChild<QListView*>("BannedAliases")->verticalScrollBar()->setValue(10); // the one scroll bar shown
        QTest::mouseClick(acted->viewport(), Qt::LeftButton, {}, rowCenter(acted, 12));
        checkAligned(10, 12, "12");
        auto* other = form->findChild<QListView*>(kLists[(kLists.indexOf(name) + 3) % 8]);
        QTest::mouseClick(other->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCenter(other, 14));
        checkAligned(10, 14, "12,13,14");
        QTest::keyClick(other, Qt::Key_Up, Qt::ShiftModifier);
        checkAligned(10, 13, "12,13");
    }

    // Each match is one row across the eight lists, decoded from Windows-1252; a search replaces the earlier result.
    void eachMatchFillsAllEightLists() {
        search("Optn_SearchByBanID", "4567");
        search("Optn_SearchByNick", "bob");
        QCOMPARE(rows(), (QStringList{"2|Still valid|123|2|2004-05-12|ModName     | 192.168.1.10|BoB",
                                      "1|Expired|12|30|2005-01-01|Other       | 10.20.30.140|bob",
                                      "2|Still valid|77|1|2008-04-05|Admin       | 192.168.2.20|BOB"}));
        search("", "\u00e9ric\u20ac");
        QCOMPARE(rows(), QStringList{"4|Still valid|90|3|2009-01-02|Mod\u00c9        | 192.168.9.90|\u00c9ric\u20ac"});
        // A field wider than its list shows whole in the tool tip.
        const QByteArray longName = "Wide Name WWWWWWWWWWWWWWWWWWWW"; // as long as a stored name can be
        useBanFile(dir, "ban.txt", banFile({entry(longName)}));
        search("", longName);
        auto* names = form->findChild<QListView*>("BannedAliases");
        QVERIFY(names->fontMetrics().horizontalAdvance(longName) > names->viewport()->width());
        QCOMPARE(names->model()->index(0, names->modelColumn()).data(Qt::ToolTipRole).toString(), longName);
    }

    // The buttons step through the matches in every list; past the last match and before "no row" they do nothing.
    void stepping() {
        search("Optn_SearchByNick", "bob");
        const std::pair<const char*, int> steps[] = {
            {"Cmd_ScrollNext", 0},  {"Cmd_ScrollNext", 1},  {"Cmd_ScrollNext", 2},
            {"Cmd_ScrollNext", 2},  {"Cmd_ScrollLast", 1},  {"Cmd_ScrollLast", 0},
            {"Cmd_ScrollLast", -1}, {"Cmd_ScrollLast", -1}, {"Cmd_ScrollNext", 0}};
        checkAligned(0, -1, "");
        for (const auto& [button, row] : steps) {
            form->findChild<QPushButton*>(button)->click();
            checkAligned(0, row, row < 0 ? "" : QString::number(row));
        }
        search("", "bob"); // a new search starts again with no current match
        checkAligned(0, -1, "");
    }

    // The reopened window shows the mode still in force selected, and searches by it; the next run starts with
    // it too (the main window reads it). The query box has the focus.
    void modePersistsAndIsShownOnReopen() {
        for (const QString& option : kOptions) {
            form->findChild<QRadioButton*>(option)->click();
            Declares::SearchMode = Declares::SearchModeKind::None;
            { const MainForm nextRun; }
            openWindow();
            for (const QString& name : kOptions)
                QCOMPARE(form->findChild<QRadioButton*>(name)->isChecked(), name == option);
        }
        showActive(form.get());
        QCOMPARE(QApplication::focusWidget(), form->findChild<QLineEdit*>("SearchQuery"));
        useBanFile(dir, "ban.txt", banFile(kStandard));
        search("", "5"); // still by ban id
        QCOMPARE(shown("BannedAliases"), QStringList{"Carol"});

        // A mode that cannot be stored still holds for the run, and the window says once that it was not saved.
        const QString config = QString::fromStdString(API::ConfigFilePath());
        QVERIFY(QFile::remove(config) && QDir().mkpath(config));
        for (const char* option : {"Optn_SearchByNick", "Optn_SearchByMID"})
            form->findChild<QRadioButton*>(option)->click();
        QCOMPARE(Declares::SearchMode, Declares::SearchModeKind::MID);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains("could not be saved in " + config + ": "), qPrintable(messages.first()));
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
