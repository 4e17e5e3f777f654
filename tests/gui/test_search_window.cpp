// The search window: matching by every key, status texts, the eight lists, stepping, the search
// mode across reopening, Windows-1252 text and load outcomes.
#include "DatabaseForm.h"
#include "Declares.h"
#include "Messages.h"

#include <QFile>
#include <QFrame>
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

struct Ban {
    char mark;
    std::string id;
    char access;
    std::string by; // at most 12 characters, padded to 12
    std::string date;
    std::string days;
    std::string ip; // 11 to 18 characters, so the stored IP is the blank and the address
    std::string mid;
    std::string name;
};

// One entry line in the ban list's column layout.
std::string entryLine(const Ban& ban) {
    std::string line = "  ";
    line += ban.mark;
    line += ban.id;
    line += "  xxxxxx";
    line += ban.access;
    line += "    ";
    line += ban.by + std::string(12 - ban.by.size(), ' ');
    line += ' ' + ban.date + ' ';
    line += "14:22:11 ab" + ban.days + ' ' + ban.ip + ", mid:" + ban.mid + ' ' + ban.name;
    return line;
}

const std::vector<Ban> kStandard{
    {'#', "123", '2', "ModName", "2004-05-12", "2", "192.168.1.10", "abc123", "BoB"},
    {'^', "12", '1', "Other", "2005-01-01", "30", "10.20.30.140", "def456", "bob"},
    {'#', "4567", '3', "modname", "2006-02-03", "365", "172.16.254.01", "abc123", "Bobby"},
    {'^', "5", '0', "Zed", "2007-03-04", "7", "192.168.1.100", "xyz", "Carol"},
    {'#', "77", '2', "Admin", "2008-04-05", "1", "192.168.2.20", "qq", "BOB"},
    {'#', "78", '2', "Admin", "2008-04-06", "1", "192.168.2.21", "qr", "bo?"},
    {'^', "79", '5', "Admin", "2008-04-07", "9", "192.168.2.22", "", "Dave"},
};

// The last line of a ban file is never an entry.
std::string banFile(const std::vector<Ban>& bans) {
    std::string text = "Log opened\r\n";
    for (const Ban& ban : bans) {
        text += entryLine(ban) + "\r\n";
    }
    return text + "Log closed\r\n";
}

// Lists in the order the window shows them, left to right.
const QStringList kListsLeftToRight{"AccessLevelList", "BannedStatus", "BannedID", "BannedDays",
                                    "BannedDate",      "BannedBy",     "BannedIP", "BannedAliases"};
const QStringList kHeadingsLeftToRight{"Acess Level :", "Ban status :", "BanID :",        "Days :",
                                       "Date of ban :", "Banned by :",  "IP of banned :", "Banned as :"};

struct Message {
    QString title;
    QString text;
};

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsCarryTheirTexts();
    void listsStandUnderTheirHeadings();
    void matchingByEveryKey_data();
    void matchingByEveryKey();
    void eachMatchFillsAllEightLists();
    void noModeListsNothing();
    void lastChosenModeIsUsed();
    void steppingMovesAllListsWithinBounds();
    void listsClickedOutOfStepStayOutOfStep();
    void modePersistsAndIsShownOnReopen_data();
    void modePersistsAndIsShownOnReopen();
    void queryWithoutWindows1252FormMatchesNothing();
    void windows1252NameIsDecodedAndFound();
    void fileChangedOnDiskIsSeenByNextSearch();
    void loadOutcomeIsShownOncePerSearch_data();
    void loadOutcomeIsShownOncePerSearch();

private:
    void writeBanFile(const std::string& bytes);
    void openWindow();
    void search(const char* option, const QString& query);
    QListWidget* list(const QString& name) const;
    QStringList items(const QString& name) const;
    void press(const char* button);
    QList<int> currentRows() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DatabaseForm> form;
    std::vector<Message> messages;
};

void TestSearchWindow::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    messages.clear();
    Messages::setHandler([this](const QString& title, const QString& text) { messages.push_back({title, text}); });
    Declares::SearchMode = Declares::SearchModeKind::None;
    Declares::BanFilePath = QFile::encodeName(dir->filePath("ban.txt")).toStdString();
    writeBanFile(banFile(kStandard));
    openWindow();
}

void TestSearchWindow::cleanup() {
    form.reset();
    Messages::setHandler({});
    dir.reset();
}

void TestSearchWindow::writeBanFile(const std::string& bytes) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

void TestSearchWindow::openWindow() {
    form = std::make_unique<DatabaseForm>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestSearchWindow::search(const char* option, const QString& query) {
    if (option != nullptr) {
        auto* button = form->findChild<QRadioButton*>(option);
        QVERIFY(button);
        button->click();
    }
    auto* line = form->findChild<QLineEdit*>("SearchQuery");
    QVERIFY(line);
    line->setText(query);
    press("Command1");
}

QListWidget* TestSearchWindow::list(const QString& name) const {
    return form->findChild<QListWidget*>(name);
}

QStringList TestSearchWindow::items(const QString& name) const {
    QStringList texts;
    QListWidget* widget = list(name);
    for (int i = 0; widget && i < widget->count(); ++i) {
        texts.append(widget->item(i)->text());
    }
    return texts;
}

void TestSearchWindow::press(const char* button) {
    auto* widget = form->findChild<QPushButton*>(button);
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::LeftButton);
}

QList<int> TestSearchWindow::currentRows() const {
    QList<int> rows;
    for (const QString& name : kListsLeftToRight) {
        rows.append(list(name)->currentRow());
    }
    return rows;
}

void TestSearchWindow::controlsCarryTheirTexts() {
    QCOMPARE(form->objectName(), QString("DatabaseForm"));
    QCOMPARE(form->windowTitle(), QString("Search database"));
    const std::vector<std::pair<const char*, const char*>> buttons{
        {"Optn_SearchByIP", "IP (exact)"}, {"Optn_SearchByMID", "MID"},     {"Optn_SearchByNick", "Nick"},
        {"Optn_SearchByMod", "Moderator"}, {"Optn_SearchByBanID", "BanID"}, {"Command1", "Search"},
        {"Cmd_ScrollLast", "Last item"},   {"Cmd_ScrollNext", "Next item"},
    };
    for (const auto& [name, caption] : buttons) {
        auto* button = form->findChild<QAbstractButton*>(name);
        QVERIFY2(button, name);
        QCOMPARE(button->text(), QString(caption));
    }
    QCOMPARE(form->findChild<QPushButton*>("Command1")->toolTip(), QString("Search the database."));
    QCOMPARE(form->findChild<QLineEdit*>("SearchQuery")->text(), QString());
    for (const QString& name : kListsLeftToRight) {
        QVERIFY2(list(name), qPrintable(name));
        QCOMPARE(list(name)->count(), 0);
    }
}

void TestSearchWindow::listsStandUnderTheirHeadings() {
    const auto labels = form->findChildren<QLabel*>();
    auto frameOf = [&labels](const QString& text) -> QWidget* {
        for (QLabel* label : labels) {
            if (label->text() == text) {
                return label->parentWidget();
            }
        }
        return nullptr;
    };
    int previousRight = -1;
    for (qsizetype i = 0; i < kListsLeftToRight.size(); ++i) {
        QListWidget* widget = list(kListsLeftToRight[i]);
        QWidget* heading = frameOf(kHeadingsLeftToRight[i]);
        QVERIFY2(heading && qobject_cast<QFrame*>(heading), qPrintable(kHeadingsLeftToRight[i]));
        QCOMPARE(heading->geometry().left(), widget->geometry().left());
        QCOMPARE(heading->geometry().width(), widget->geometry().width());
        QVERIFY(heading->geometry().bottom() < widget->geometry().top());
        QVERIFY(widget->geometry().left() > previousRight);
        previousRight = widget->geometry().right();
    }
    QVERIFY(frameOf("Search by :"));
    // The option column reads top to bottom in its fixed order; "Last item" stands above "Next item".
    int previousTop = frameOf("Search by :")->geometry().top();
    for (const char* name :
         {"Optn_SearchByIP", "Optn_SearchByMID", "Optn_SearchByNick", "Optn_SearchByMod", "Optn_SearchByBanID"}) {
        auto* button = form->findChild<QRadioButton*>(name);
        QVERIFY(button->geometry().top() > previousTop);
        QVERIFY(!button->isChecked());
        previousTop = button->geometry().top();
    }
    auto* last = form->findChild<QPushButton*>("Cmd_ScrollLast");
    auto* next = form->findChild<QPushButton*>("Cmd_ScrollNext");
    QVERIFY(last->mapTo(form.get(), QPoint()).y() < next->mapTo(form.get(), QPoint()).y());
}

void TestSearchWindow::matchingByEveryKey_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("statuses");

    const QStringList none;
    QTest::newRow("nick ignores case") << "Optn_SearchByNick"
                                       << "bob" << QStringList{"BoB", "bob", "BOB"}
                                       << QStringList{"Still valid", "Expired", "Still valid"};
    QTest::newRow("nick query lower-cased")
        << "Optn_SearchByNick"
        << "BOB" << QStringList{"BoB", "bob", "BOB"} << QStringList{"Still valid", "Expired", "Still valid"};
    QTest::newRow("nick is whole name") << "Optn_SearchByNick"
                                        << "bobb" << none << none;
    QTest::newRow("ip without stored blanks") << "Optn_SearchByIP"
                                              << "192.168.1.10" << QStringList{"BoB"} << QStringList{"Still valid"};
    QTest::newRow("ip typed with a blank") << "Optn_SearchByIP"
                                           << " 192.168.1.10" << none << none;
    QTest::newRow("mid trimmed on the row side")
        << "Optn_SearchByMID"
        << "abc123" << QStringList{"BoB", "Bobby"} << QStringList{"Still valid", "Still valid"};
    QTest::newRow("mid query as typed") << "Optn_SearchByMID"
                                        << " abc123" << none << none;
    QTest::newRow("mid is case-sensitive") << "Optn_SearchByMID"
                                           << "ABC123" << none << none;
    QTest::newRow("moderator ignores case")
        << "Optn_SearchByMod"
        << "MODNAME" << QStringList{"BoB", "Bobby"} << QStringList{"Still valid", "Still valid"};
    QTest::newRow("moderator query keeps its blank") << "Optn_SearchByMod"
                                                     << "modname " << none << none;
    QTest::newRow("ban id is exact") << "Optn_SearchByBanID"
                                     << "12" << QStringList{"bob"} << QStringList{"Expired"};
    QTest::newRow("ban id longer") << "Optn_SearchByBanID"
                                   << "123" << QStringList{"BoB"} << QStringList{"Still valid"};
    // The blank that ends the machine id is trimmed away, so an empty query finds an empty id.
    QTest::newRow("empty mid") << "Optn_SearchByMID"
                               << "" << QStringList{"Dave"} << QStringList{"Expired"};
}

void TestSearchWindow::matchingByEveryKey() {
    QFETCH(QString, option);
    QFETCH(QString, query);
    QFETCH(QStringList, names);
    QFETCH(QStringList, statuses);
    search(qPrintable(option), query);
    QCOMPARE(items("BannedAliases"), names);
    QCOMPARE(items("BannedStatus"), statuses);
    for (const QString& name : kListsLeftToRight) {
        QCOMPARE(list(name)->count(), names.size());
    }
    QVERIFY(messages.empty());
}

void TestSearchWindow::eachMatchFillsAllEightLists() {
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

void TestSearchWindow::noModeListsNothing() {
    search(nullptr, "bob");
    for (const QString& name : kListsLeftToRight) {
        QCOMPARE(list(name)->count(), 0);
    }
    QVERIFY(messages.empty());
}

void TestSearchWindow::lastChosenModeIsUsed() {
    form->findChild<QRadioButton*>("Optn_SearchByBanID")->click();
    search("Optn_SearchByMod", "modname");
    QCOMPARE(items("BannedAliases"), (QStringList{"BoB", "Bobby"}));
    QCOMPARE(Declares::SearchMode, Declares::SearchModeKind::Moderator);
}

void TestSearchWindow::steppingMovesAllListsWithinBounds() {
    search("Optn_SearchByNick", "bob");
    QCOMPARE(currentRows(), QList<int>(8, -1));
    // (button, row every list shows afterwards): past the last entry and below -1 are refused.
    const std::vector<std::pair<const char*, int>> steps{
        {"Cmd_ScrollNext", 0},  {"Cmd_ScrollNext", 1},  {"Cmd_ScrollNext", 2},
        {"Cmd_ScrollNext", 2},  {"Cmd_ScrollLast", 1},  {"Cmd_ScrollLast", 0},
        {"Cmd_ScrollLast", -1}, {"Cmd_ScrollLast", -1}, {"Cmd_ScrollNext", 0},
    };
    int pressCount = 0;
    for (const auto& [button, row] : steps) {
        press(button);
        ++pressCount;
        QVERIFY2(currentRows() == QList<int>(8, row), qPrintable(QString("after press %1").arg(pressCount)));
        if (row == -1) {
            QCOMPARE(list("BannedAliases")->currentItem(), nullptr);
            QVERIFY(list("BannedAliases")->selectedItems().isEmpty());
        } else {
            QCOMPARE(list("BannedID")->selectedItems().size(), 1);
        }
    }
    // A new search starts the lists again with no current entry.
    search(nullptr, "bob");
    QCOMPARE(currentRows(), QList<int>(8, -1));
}

void TestSearchWindow::listsClickedOutOfStepStayOutOfStep() {
    search("Optn_SearchByNick", "bob");
    QListWidget* dates = list("BannedDate");
    QTest::mouseClick(dates->viewport(), Qt::LeftButton, {}, dates->visualItemRect(dates->item(2)).center());
    QCOMPARE(dates->currentRow(), 2);
    // Only the clicked list moved.
    QCOMPARE(currentRows(), (QList<int>{-1, -1, -1, -1, 2, -1, -1, -1}));
    press("Cmd_ScrollNext");
    QCOMPARE(currentRows(), (QList<int>{0, 0, 0, 0, 2, 0, 0, 0}));
    press("Cmd_ScrollLast");
    QCOMPARE(currentRows(), (QList<int>{-1, -1, -1, -1, 1, -1, -1, -1}));
    press("Cmd_ScrollLast");
    QCOMPARE(currentRows(), (QList<int>{-1, -1, -1, -1, 0, -1, -1, -1}));
    press("Cmd_ScrollLast");
    QCOMPARE(currentRows(), QList<int>(8, -1));
}

void TestSearchWindow::modePersistsAndIsShownOnReopen_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("ip") << "Optn_SearchByIP"
                        << "192.168.1.100" << QStringList{"Carol"};
    QTest::newRow("mid") << "Optn_SearchByMID"
                         << "xyz" << QStringList{"Carol"};
    QTest::newRow("nick") << "Optn_SearchByNick"
                          << "carol" << QStringList{"Carol"};
    QTest::newRow("moderator") << "Optn_SearchByMod"
                               << "zed" << QStringList{"Carol"};
    QTest::newRow("ban id") << "Optn_SearchByBanID"
                            << "5" << QStringList{"Carol"};
}

void TestSearchWindow::modePersistsAndIsShownOnReopen() {
    QFETCH(QString, option);
    QFETCH(QString, query);
    QFETCH(QStringList, names);
    const QStringList options{"Optn_SearchByIP", "Optn_SearchByMID", "Optn_SearchByNick", "Optn_SearchByMod",
                              "Optn_SearchByBanID"};
    for (const QString& name : options) {
        QVERIFY(!form->findChild<QRadioButton*>(name)->isChecked());
    }
    form->findChild<QRadioButton*>(option)->click();
    form->close();
    form.reset();

    openWindow();
    for (const QString& name : options) {
        QCOMPARE(form->findChild<QRadioButton*>(name)->isChecked(), name == option);
    }
    search(nullptr, query);
    QCOMPARE(items("BannedAliases"), names);
}

void TestSearchWindow::queryWithoutWindows1252FormMatchesNothing() {
    search("Optn_SearchByNick", "bob");
    QCOMPARE(list("BannedAliases")->count(), 3);
    // U+0100 has no Windows-1252 form; a lossy conversion to "?" would find "bo?".
    search(nullptr, QString::fromUtf8("bo\u0100"));
    for (const QString& name : kListsLeftToRight) {
        QCOMPARE(list(name)->count(), 0);
    }
    search(nullptr, "bo?");
    QCOMPARE(items("BannedAliases"), QStringList{"bo?"});
}

void TestSearchWindow::windows1252NameIsDecodedAndFound() {
    std::vector<Ban> bans = kStandard;
    bans.push_back({'#', "90", '4', "Mod\xC9", "2009-01-02", "3", "192.168.9.90", "m\x80", "\xC9ric\x80"});
    writeBanFile(banFile(bans));
    search("Optn_SearchByNick", QString::fromUtf8("\u00e9ric\u20ac"));
    QCOMPARE(items("BannedAliases"), QStringList{QString::fromUtf8("\u00c9ric\u20ac")});
    QCOMPARE(items("BannedBy"), QStringList{QString::fromUtf8("Mod\u00c9        ")});
    search("Optn_SearchByMID", QString::fromUtf8("m\u20ac"));
    QCOMPARE(items("BannedAliases"), QStringList{QString::fromUtf8("\u00c9ric\u20ac")});
}

void TestSearchWindow::fileChangedOnDiskIsSeenByNextSearch() {
    search("Optn_SearchByNick", "bob");
    QCOMPARE(items("BannedID"), (QStringList{"123", "12", "77"}));
    writeBanFile(banFile({kStandard[1], kStandard[3]}));
    QCOMPARE(items("BannedID"), (QStringList{"123", "12", "77"})); // nothing reloads until the next search
    search(nullptr, "bob");
    QCOMPARE(items("BannedID"), QStringList{"12"});
}

void TestSearchWindow::loadOutcomeIsShownOncePerSearch_data() {
    QTest::addColumn<QString>("file");     // "" for no file chosen
    QTest::addColumn<QByteArray>("bytes"); // written when not empty
    QTest::addColumn<int>("messageCount");
    QTest::addColumn<QString>("textPart");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("whole file") << "other.txt" << QByteArray::fromStdString(banFile(kStandard)) << 0 << ""
                                << QStringList{"BoB", "bob", "BOB"};
    QTest::newRow("missing file") << "missing.txt" << QByteArray() << 1 << "missing.txt" << QStringList();
    QTest::newRow("no file chosen") << "" << QByteArray() << 1 << "Select banfile." << QStringList();
    // Only the first 2999 lines are read: the entry on line 2 is found, the one on line 3100 is not.
    std::string longFile = "Log opened\r\n" + entryLine(kStandard[0]) + "\r\n";
    for (int i = 0; i < 3100; ++i) {
        longFile += "chat line\r\n";
    }
    longFile += entryLine(kStandard[1]) + "\r\nend\r\n";
    QTest::newRow("too many lines") << "long.txt" << QByteArray::fromStdString(longFile) << 1 << "long.txt"
                                    << QStringList{"BoB"};
}

void TestSearchWindow::loadOutcomeIsShownOncePerSearch() {
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, messageCount);
    QFETCH(QString, textPart);
    QFETCH(QStringList, names);

    search("Optn_SearchByNick", "bob"); // earlier results must go
    QCOMPARE(list("BannedAliases")->count(), 3);
    Declares::BanFilePath = file.isEmpty() ? std::string() : QFile::encodeName(dir->filePath(file)).toStdString();
    if (!bytes.isEmpty()) {
        writeBanFile(bytes.toStdString());
    }
    search(nullptr, "bob");
    QCOMPARE(static_cast<int>(messages.size()), messageCount);
    for (const Message& message : messages) {
        QCOMPARE(message.title, QString("Mirewatch"));
        QVERIFY2(message.text.contains(textPart), qPrintable(message.text));
    }
    QCOMPARE(items("BannedAliases"), names);
    for (const QString& name : kListsLeftToRight) {
        QCOMPARE(list(name)->count(), names.size());
    }
}

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
