// The search window: what each mode finds, shown across the eight lists, in Windows-1252 both ways; stepping
// through the matches; the mode still in force when the window is opened again.
#include "DatabaseForm.h"
#include "GuiTest.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

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

    QTemporaryDir dir;
    RecordedMessages messages;
    std::unique_ptr<DatabaseForm> form;

    void openWindow() {
        form = std::make_unique<DatabaseForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    // Chooses the option when one is named, types the query and presses "Search".
    void search(const QString& option, const QString& query) {
        if (!option.isEmpty())
            form->findChild<QRadioButton*>(option)->click();
        form->findChild<QLineEdit*>("SearchQuery")->setText(query);
        press("Command1");
    }
    void press(const char* button) { QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton); }
    QStringList shown(const QString& list) const { return texts(form.get(), list); }
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
    // Per list, left to right: its entry count, or its current row.
    QList<int> perList(bool currentRow) const {
        QList<int> values;
        for (const QString& name : kLists) {
            auto* list = form->findChild<QListView*>(name);
            values.append(currentRow ? list->currentIndex().row() : list->model()->rowCount());
        }
        return values;
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
        QCOMPARE(perList(false), QList<int>(8, static_cast<int>(ids.size())));
        QVERIFY(messages.isEmpty());
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
    }

    // Every list shows the same row; past the last match and before "no row" the buttons do nothing.
    void stepping() {
        search("Optn_SearchByNick", "bob");
        const std::pair<const char*, int> steps[] = {
            {"Cmd_ScrollNext", 0},  {"Cmd_ScrollNext", 1},  {"Cmd_ScrollNext", 2},
            {"Cmd_ScrollNext", 2},  {"Cmd_ScrollLast", 1},  {"Cmd_ScrollLast", 0},
            {"Cmd_ScrollLast", -1}, {"Cmd_ScrollLast", -1}, {"Cmd_ScrollNext", 0},
        };
        QCOMPARE(perList(true), QList<int>(8, -1));
        for (const auto& [button, row] : steps) {
            press(button);
            QCOMPARE(perList(true), QList<int>(8, row));
        }
        search("", "bob"); // a new search starts again with no current match
        QCOMPARE(perList(true), QList<int>(8, -1));
    }

    // The reopened window shows the mode still in force selected, and searches by it.
    void modePersistsAndIsShownOnReopen() {
        for (const QString& option : kOptions) {
            form->findChild<QRadioButton*>(option)->click();
            openWindow();
            for (const QString& name : kOptions)
                QCOMPARE(form->findChild<QRadioButton*>(name)->isChecked(), name == option);
        }
        search("", "5"); // still by ban id
        QCOMPARE(shown("BannedAliases"), QStringList{"Carol"});
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
