// Both repeated-offender report windows: exact lines on known logs, Windows-1252 names, reloading on
// reopening and load outcomes.
#include "Declares.h"
#include "Messages.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Ban {
    char mark;
    std::string id;
    std::string by; // at most 12 characters, padded to 12
    std::string days;
    std::string ip; // 11 to 18 characters, so the stored IP is the blank and the address
    std::string mid;
    std::string name;
};

// One entry line in the ban list's column layout; the date is always 2004-05-12.
std::string entryLine(const Ban& ban) {
    std::string line = "  ";
    line += ban.mark + ban.id + "  xxxxxx2    ";
    line += ban.by + std::string(12 - ban.by.size(), ' ');
    line += " 2004-05-12 14:22:11 ab" + ban.days + ' ' + ban.ip + ", mid:" + ban.mid + ' ' + ban.name;
    return line;
}

// The last line of a ban file is never an entry.
std::string banFile(const std::vector<Ban>& bans, int chatLinesBeforeLast = 0) {
    std::string text = "Log opened\r\n";
    for (std::size_t i = 0; i < bans.size(); ++i) {
        if (i + 1 == bans.size()) {
            for (int k = 0; k < chatLinesBeforeLast; ++k) {
                text += "chat line\r\n";
            }
        }
        text += entryLine(bans[i]) + "\r\n";
    }
    return text + "Log closed\r\n";
}

Ban named(const std::string& name, const std::string& mid = "m9") {
    return {'#', "50", "Mod", "1", "192.168.7.70", mid, name};
}

const QString kSeparator = "...........";

struct Message {
    QString title;
    QString text;
};

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void machineIdWindowLayout();
    void nameWindowLayout();
    void machineIdReportLines();
    void nameReportLines();
    void reopeningReloadsWhileOpenWindowStays();
    void loadOutcomeIsShownOnce_data();
    void loadOutcomeIsShownOnce();

private:
    void writeBanFile(const std::string& bytes);
    template <class Window> std::unique_ptr<Window> open();
    static QStringList items(const QWidget* window, const char* listName);

    std::unique_ptr<QTemporaryDir> dir;
    std::vector<Message> messages;
};

void TestReportWindows::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    messages.clear();
    Messages::setHandler([this](const QString& title, const QString& text) { messages.push_back({title, text}); });
    Declares::BanFilePath = QFile::encodeName(dir->filePath("ban.txt")).toStdString();
}

void TestReportWindows::cleanup() {
    Messages::setHandler({});
    dir.reset();
}

void TestReportWindows::writeBanFile(const std::string& bytes) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

template <class Window> std::unique_ptr<Window> TestReportWindows::open() {
    auto window = std::make_unique<Window>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        qWarning("window not exposed");
    }
    return window;
}

QStringList TestReportWindows::items(const QWidget* window, const char* listName) {
    QStringList texts;
    const auto* list = window->findChild<QListWidget*>(listName);
    for (int i = 0; list && i < list->count(); ++i) {
        texts.append(list->item(i)->text());
    }
    return texts;
}

void TestReportWindows::machineIdWindowLayout() {
    writeBanFile(banFile({}));
    auto window = open<RepeatedOffendersForm>();
    QCOMPARE(window->objectName(), QString("RepeatedOffendersForm"));
    QCOMPARE(window->windowTitle(), QString("Show repeated offenders by MID"));
    auto* list = window->findChild<QListWidget*>("RepeatedOffendersList");
    QVERIFY(list);
    QCOMPARE(list->count(), 0);
    auto* notice = window->findChild<QGroupBox*>();
    QVERIFY(notice);
    QCOMPARE(notice->title(), QString("Notice"));
    auto* text = notice->findChild<QLabel*>();
    QVERIFY(text);
    QCOMPARE(text->text(), QString("This function does not find players banned under the same nick, only alias names "
                                   "used by the same computer."));
    // The list fills the upper part, the notice stands below it.
    QVERIFY(list->geometry().bottom() < notice->geometry().top());
    QVERIFY(list->height() > notice->height());
    QVERIFY(list->width() > window->width() * 9 / 10);
    QVERIFY(messages.empty());
}

void TestReportWindows::nameWindowLayout() {
    writeBanFile(banFile({}));
    auto window = open<NameRepeatedOffendersForm>();
    QCOMPARE(window->objectName(), QString("NameRepeatedOffendersForm"));
    QCOMPARE(window->windowTitle(), QString("Players banned for the second time is listed below"));
    auto* list = window->findChild<QListWidget*>("LST_NAMEREPOFF");
    QVERIFY(list);
    QCOMPARE(list->count(), 0);
    QVERIFY(list->width() > window->width() * 9 / 10);
    QVERIFY(list->height() > window->height() * 9 / 10);
    QVERIFY(messages.empty());
}

void TestReportWindows::machineIdReportLines() {
    writeBanFile(banFile({
        {'#', "11", "ModA", "2", "192.168.1.11", "m1", "A"},
        {'^', "12", "ModB", "30", "192.168.1.12", "m2", "B"},
        {'#', "13", "ModC", "365", "192.168.1.13", "m1", "C"},
        {'^', "14", "ModD", "7", "192.168.1.14", "m1", "A"},
        {'#', "15", "Mod\xC9", "1", "10.0.100.200", "m\x80", "\xC9ric"},
        {'#', "16", "ModF", "1", "10.0.100.201", "m\x80", "Eric"},
    }));
    auto window = open<RepeatedOffendersForm>();
    const QStringList expected{
        " ",
        "Repeated offender found : C MATCH As : A",
        "Match 1 details : C/MID : m1 /BanIP :  192.168.1.13/Date : 2004-05-12   ( Ban # : 13, Days : 365, By : "
        "ModC         )",
        "Match 2 details : A/MID : m1 /BanIP :  192.168.1.11/Date : 2004-05-12   ( Ban # : 11, Days : 2, By : "
        "ModA         )",
        " ",
        kSeparator,
        kSeparator,
        kSeparator,
        kSeparator,
        " ",
        QString::fromUtf8("Repeated offender found : Eric MATCH As : \u00c9ric"),
        QString::fromUtf8("Match 1 details : Eric/MID : m\u20ac /BanIP :  10.0.100.201/Date : 2004-05-12   ( Ban # : "
                          "16, Days : 1, By : "
                          "ModF         )"),
        QString::fromUtf8(
            "Match 2 details : \u00c9ric/MID : m\u20ac /BanIP :  10.0.100.200/Date : 2004-05-12   ( Ban # : "
            "15, Days : 1, By : Mod\u00c9         )"),
        " ",
        kSeparator,
        kSeparator,
    };
    QCOMPARE(items(window.get(), "RepeatedOffendersList"), expected);
    QVERIFY(messages.empty());
}

void TestReportWindows::nameReportLines() {
    writeBanFile(banFile({named("Bob"), named("Ann"), named("Bob"), named("bob"), named("\xC9ric\x80"), named("Bob"),
                          named("\xC9ric\x80"), named("Ann ")}));
    auto window = open<NameRepeatedOffendersForm>();
    const QStringList expected{"Bob was found banned again.", "Bob was found banned again.",
                               QString::fromUtf8("\u00c9ric\u20ac was found banned again.")};
    QCOMPARE(items(window.get(), "LST_NAMEREPOFF"), expected);
    QVERIFY(messages.empty());
}

void TestReportWindows::reopeningReloadsWhileOpenWindowStays() {
    writeBanFile(banFile({named("Bob", "m1"), named("Ann", "m1"), named("Bob", "m2")}));
    auto firstById = open<RepeatedOffendersForm>();
    auto firstByName = open<NameRepeatedOffendersForm>();
    const QStringList byId = items(firstById.get(), "RepeatedOffendersList");
    QCOMPARE(byId.size(), 5 + 3);
    QCOMPARE(byId[1], QString("Repeated offender found : Ann MATCH As : Bob"));
    QCOMPARE(items(firstByName.get(), "LST_NAMEREPOFF"), QStringList{"Bob was found banned again."});

    writeBanFile(banFile({named("Cy", "m1"), named("Cy", "m2")}));
    auto secondById = open<RepeatedOffendersForm>();
    auto secondByName = open<NameRepeatedOffendersForm>();
    QCOMPARE(items(secondById.get(), "RepeatedOffendersList"), (QStringList{kSeparator, kSeparator}));
    QCOMPARE(items(secondByName.get(), "LST_NAMEREPOFF"), QStringList{"Cy was found banned again."});
    QCOMPARE(items(firstById.get(), "RepeatedOffendersList"), byId);
    QCOMPARE(items(firstByName.get(), "LST_NAMEREPOFF"), QStringList{"Bob was found banned again."});
}

void TestReportWindows::loadOutcomeIsShownOnce_data() {
    QTest::addColumn<bool>("byName");
    QTest::addColumn<QString>("file"); // "" for no file chosen
    QTest::addColumn<int>("chatLines");
    QTest::addColumn<int>("messageCount");
    QTest::addColumn<QString>("textPart");
    QTest::addColumn<int>("lineCount");

    // The fixture log yields one name line and 5 + 3 machine-id lines when read whole.
    QTest::newRow("by id, whole file") << false << "ban.txt" << 0 << 0 << "" << 8;
    QTest::newRow("by name, whole file") << true << "ban.txt" << 0 << 0 << "" << 1;
    QTest::newRow("by id, missing file") << false << "missing.txt" << 0 << 1 << "missing.txt" << 0;
    QTest::newRow("by name, missing file") << true << "missing.txt" << 0 << 1 << "missing.txt" << 0;
    QTest::newRow("by id, no file chosen") << false << "" << 0 << 1 << "Select banfile." << 0;
    QTest::newRow("by name, no file chosen") << true << "" << 0 << 1 << "Select banfile." << 0;
    // Past line 2999 the last entry is not read: no pair by id, one separator fewer.
    QTest::newRow("by id, too many lines") << false << "ban.txt" << 3100 << 1 << "ban.txt" << 2;
    QTest::newRow("by name, too many lines") << true << "ban.txt" << 3100 << 1 << "ban.txt" << 0;
}

void TestReportWindows::loadOutcomeIsShownOnce() {
    QFETCH(bool, byName);
    QFETCH(QString, file);
    QFETCH(int, chatLines);
    QFETCH(int, messageCount);
    QFETCH(QString, textPart);
    QFETCH(int, lineCount);

    writeBanFile(banFile({named("Bob", "m1"), named("Ann", "m2"), named("Bob", "m2")}, chatLines));
    Declares::BanFilePath = file.isEmpty() ? std::string() : QFile::encodeName(dir->filePath(file)).toStdString();
    std::unique_ptr<QWidget> window;
    if (byName) {
        window = open<NameRepeatedOffendersForm>();
    } else {
        window = open<RepeatedOffendersForm>();
    }
    QCOMPARE(static_cast<int>(messages.size()), messageCount);
    for (const Message& message : messages) {
        QCOMPARE(message.title, QString("Mirewatch"));
        QVERIFY2(message.text.contains(textPart), qPrintable(message.text));
    }
    QCOMPARE(items(window.get(), byName ? "LST_NAMEREPOFF" : "RepeatedOffendersList").size(), lineCount);
}

QTEST_MAIN(TestReportWindows)
#include "test_report_windows.moc"
