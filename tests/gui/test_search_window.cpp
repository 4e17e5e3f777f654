// The search window: what the core finds in every mode, stepping, the mode across reopening,
// Windows-1252 text and load outcomes.
#include "DatabaseForm.h"
#include "Declares.h"
#include "Messages.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace {

// Entry lines in the ban list's column layout.
const std::vector<std::string> kStandard{
    "  #123  xxxxxx2    ModName      2004-05-12 14:22:11 ab2 192.168.1.10, mid:abc123 BoB",
    "  ^12  xxxxxx1    Other        2005-01-01 14:22:11 ab30 10.20.30.140, mid:def456 bob",
    "  #4567  xxxxxx3    modname      2006-02-03 14:22:11 ab365 172.16.254.01, mid:abc123 Bobby",
    "  ^5  xxxxxx0    Zed          2007-03-04 14:22:11 ab7 192.168.1.100, mid:xyz Carol",
    "  #77  xxxxxx2    Admin        2008-04-05 14:22:11 ab1 192.168.2.20, mid:qq BOB",
    "  #78  xxxxxx2    Admin        2008-04-06 14:22:11 ab1 192.168.2.21, mid:qr bo?",
    "  #90  xxxxxx4    Mod\xC9         2009-01-02 14:22:11 ab3 192.168.9.90, mid:m\x80 \xC9ric\x80",
};

// The last line of a ban file is never an entry.
std::string banFile(const std::vector<std::string>& entries) {
    std::string text = "Log opened\r\n";
    for (const std::string& entry : entries) {
        text += entry + "\r\n";
    }
    return text + "Log closed\r\n";
}

const QStringList kLists{"AccessLevelList", "BannedStatus", "BannedID", "BannedDays",
                         "BannedDate",      "BannedBy",     "BannedIP", "BannedAliases"};
const QStringList kHeadings{"Acess Level :", "Ban status :", "BanID :",        "Days :",
                            "Date of ban :", "Banned by :",  "IP of banned :", "Banned as :"};
const QStringList kOptions{"Optn_SearchByIP", "Optn_SearchByMID", "Optn_SearchByNick", "Optn_SearchByMod",
                           "Optn_SearchByBanID"};

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DatabaseForm> form;
    QList<QPair<QString, QString>> messages; // title, text

    // Chooses the ban file ("" for none) and writes the bytes to it when there are any.
    void useFile(const QString& name, const std::string& bytes = {}) {
        Declares::BanFilePath = name.isEmpty() ? std::string() : QFile::encodeName(dir->filePath(name)).toStdString();
        QFile file(dir->filePath(name));
        QVERIFY(bytes.empty() || (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                                  file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size())));
    }
    void openWindow() {
        form = std::make_unique<DatabaseForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    // Chooses the option when one is named, types the query and presses "Search".
    void search(const QString& option, const QString& query) {
        if (!option.isEmpty()) {
            form->findChild<QRadioButton*>(option)->click();
        }
        form->findChild<QLineEdit*>("SearchQuery")->setText(query);
        press("Command1");
    }
    void press(const char* button) { QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton); }
    QListWidget* list(const QString& name) const { return form->findChild<QListWidget*>(name); }
    QStringList items(const QString& name) const {
        QStringList texts;
        for (int i = 0; i < list(name)->count(); ++i) {
            texts.append(list(name)->item(i)->text());
        }
        return texts;
    }
    // Per list, left to right: its entry count, or its current row.
    QList<int> perList(bool currentRow) const {
        QList<int> values;
        for (const QString& name : kLists) {
            values.append(currentRow ? list(name)->currentRow() : list(name)->count());
        }
        return values;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        messages.clear();
        Messages::setHandler([this](const QString& title, const QString& text) { messages.append({title, text}); });
        Declares::SearchMode = Declares::SearchModeKind::None;
        useFile("ban.txt", banFile(kStandard));
        openWindow();
    }

    void cleanup() {
        form.reset();
        Messages::setHandler({});
        dir.reset();
    }

    void controlsAndLayout() {
        const QStringList names = kOptions + QStringList{"Command1", "Cmd_ScrollLast", "Cmd_ScrollNext"};
        const QStringList captions{"IP (exact)", "MID",    "Nick",      "Moderator",
                                   "BanID",      "Search", "Last item", "Next item"};
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(form->findChild<QAbstractButton*>(names[i])->text(), captions[i]);
            QVERIFY(!form->findChild<QAbstractButton*>(names[i])->isChecked());
        }
        QCOMPARE(form->findChild<QPushButton*>("Command1")->toolTip(), QString("Search the database."));
        // Each list stands under its heading, with the same left edge and width, left to right.
        int previousRight = -1;
        for (qsizetype i = 0; i < kLists.size(); ++i) {
            QWidget* heading = nullptr;
            for (QLabel* label : form->findChildren<QLabel*>()) {
                heading = label->text() == kHeadings[i] ? label->parentWidget() : heading;
            }
            QVERIFY2(heading, qPrintable(kHeadings[i]));
            const QRect box = list(kLists[i])->geometry();
            QCOMPARE(heading->geometry().left(), box.left());
            QCOMPARE(heading->geometry().width(), box.width());
            QVERIFY(heading->geometry().bottom() < box.top() && box.left() > previousRight);
            previousRight = box.right();
        }
        QCOMPARE(perList(false), QList<int>(8, 0));
    }

    void everyModeShowsWhatTheCoreFinds_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("query");
        QTest::newRow("no mode") << "" << QStringList{} << "bob";
        QTest::newRow("ip") << "Optn_SearchByIP" << QStringList{"123"} << "192.168.1.10";
        QTest::newRow("mid") << "Optn_SearchByMID" << QStringList{"123", "4567"} << "abc123";
        QTest::newRow("nick") << "Optn_SearchByNick" << QStringList{"123", "12", "77"} << "BOB";
        QTest::newRow("moderator") << "Optn_SearchByMod" << QStringList{"123", "4567"} << "MODNAME";
        QTest::newRow("ban id") << "Optn_SearchByBanID" << QStringList{"12"} << "12";
    }

    void everyModeShowsWhatTheCoreFinds() {
        QFETCH(QString, option);
        QFETCH(QStringList, ids);
        QFETCH(QString, query);
        search(option, query);
        QCOMPARE(items("BannedID"), ids);
        QCOMPARE(perList(false), QList<int>(8, static_cast<int>(ids.size())));
        QVERIFY(messages.isEmpty());
    }

    void eachMatchFillsAllEightLists() {
        search("Optn_SearchByBanID", "4567");
        search("Optn_SearchByNick", "bob"); // replaces, does not add to, the earlier result
        QCOMPARE(items("BannedAliases"), (QStringList{"BoB", "bob", "BOB"}));
        QCOMPARE(items("BannedDays"), (QStringList{"2", "30", "1"}));
        QCOMPARE(items("BannedIP"), (QStringList{" 192.168.1.10", " 10.20.30.140", " 192.168.2.20"}));
        QCOMPARE(items("BannedDate"), (QStringList{"2004-05-12", "2005-01-01", "2008-04-05"}));
        QCOMPARE(items("BannedBy"), (QStringList{"ModName     ", "Other       ", "Admin       "}));
        QCOMPARE(items("AccessLevelList"), (QStringList{"2", "1", "2"}));
        QCOMPARE(items("BannedID"), (QStringList{"123", "12", "77"}));
        QCOMPARE(items("BannedStatus"), (QStringList{"Still valid", "Expired", "Still valid"}));
    }

    void stepping() {
        search("Optn_SearchByNick", "bob");
        QCOMPARE(perList(true), QList<int>(8, -1));
        // (button, row every list shows afterwards): past the last entry and below -1 are refused.
        const std::vector<std::pair<const char*, int>> steps{
            {"Cmd_ScrollNext", 0},  {"Cmd_ScrollNext", 1},  {"Cmd_ScrollNext", 2},
            {"Cmd_ScrollNext", 2},  {"Cmd_ScrollLast", 1},  {"Cmd_ScrollLast", 0},
            {"Cmd_ScrollLast", -1}, {"Cmd_ScrollLast", -1}, {"Cmd_ScrollNext", 0},
        };
        for (std::size_t i = 0; i < steps.size(); ++i) {
            press(steps[i].first);
            QVERIFY2(perList(true) == QList<int>(8, steps[i].second), qPrintable(QString("press %1").arg(i + 1)));
        }
        search("", "bob"); // a new search starts again with no current entry
        QCOMPARE(perList(true), QList<int>(8, -1));

        // A list clicked out of step moves by itself and stays out of step.
        QListWidget* dates = list("BannedDate");
        QTest::mouseClick(dates->viewport(), Qt::LeftButton, {}, dates->visualItemRect(dates->item(2)).center());
        QCOMPARE(perList(true), (QList<int>{-1, -1, -1, -1, 2, -1, -1, -1}));
        press("Cmd_ScrollNext");
        QCOMPARE(perList(true), (QList<int>{0, 0, 0, 0, 2, 0, 0, 0}));
        press("Cmd_ScrollLast");
        QCOMPARE(perList(true), (QList<int>{-1, -1, -1, -1, 1, -1, -1, -1}));
        QVERIFY(list("BannedAliases")->selectedItems().isEmpty());
    }

    // Decided change: the reopened window shows the mode still in force selected.
    void modePersistsAndIsShownOnReopen() {
        for (const QString& option : kOptions) {
            form->findChild<QRadioButton*>(option)->click();
            form->close();
            openWindow();
            for (const QString& name : kOptions) {
                QCOMPARE(form->findChild<QRadioButton*>(name)->isChecked(), name == option);
            }
        }
        search("", "5"); // still by ban id
        QCOMPARE(items("BannedAliases"), QStringList{"Carol"});
    }

    void windows1252DecodedAndEncoded() {
        search("Optn_SearchByNick", QString::fromUtf8("\u00e9ric\u20ac"));
        QCOMPARE(items("BannedAliases"), QStringList{QString::fromUtf8("\u00c9ric\u20ac")});
        QCOMPARE(items("BannedBy"), QStringList{QString::fromUtf8("Mod\u00c9        ")});
        search("Optn_SearchByMID", QString::fromUtf8("m\u20ac"));
        QCOMPARE(items("BannedID"), QStringList{"90"});
        // U+0100 has no Windows-1252 form; a lossy conversion to "?" would find "bo?".
        search("Optn_SearchByNick", QString::fromUtf8("bo\u0100"));
        QCOMPARE(perList(false), QList<int>(8, 0));
        search("", "bo?");
        QCOMPARE(items("BannedID"), QStringList{"78"});
    }

    // The file is loaded at each search: a change on disk is seen, load outcomes are shown once.
    void eachSearchLoadsTheFile_data() {
        QTest::addColumn<QString>("file"); // "" for no file chosen
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("message"); // part of its text, "" for none
        QTest::addColumn<QByteArray>("bytes");
        // Only the first 2999 lines are read: the entry on line 2 is found, the one on line 3102 is not.
        const std::string chat = QByteArray("chat line\r\n").repeated(3100).chopped(2).toStdString();
        const QByteArray longFile = QByteArray::fromStdString(banFile({kStandard[0], chat, kStandard[1]}));
        const QByteArray changed = QByteArray::fromStdString(banFile({kStandard[1], kStandard[3]}));
        QTest::newRow("changed file") << "ban.txt" << QStringList{"12"} << "" << changed;
        QTest::newRow("missing file") << "missing.txt" << QStringList() << "missing.txt" << QByteArray();
        QTest::newRow("no file chosen") << "" << QStringList() << "Select banfile." << QByteArray();
        QTest::newRow("too many lines") << "long.txt" << QStringList{"123"} << "long.txt" << longFile;
    }

    void eachSearchLoadsTheFile() {
        QFETCH(QString, file);
        QFETCH(QStringList, ids);
        QFETCH(QString, message);
        QFETCH(QByteArray, bytes);
        search("Optn_SearchByNick", "bob"); // earlier results must go
        useFile(file, bytes.toStdString());
        QCOMPARE(items("BannedID"), (QStringList{"123", "12", "77"})); // nothing reloads until the next search
        search("", "bob");
        QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
        for (const auto& [title, text] : messages) {
            QCOMPARE(title, QString("Mirewatch"));
            QVERIFY2(text.contains(message), qPrintable(text));
        }
        QCOMPARE(items("BannedID"), ids);
        QCOMPARE(perList(false), QList<int>(8, static_cast<int>(ids.size())));
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
