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

// One entry line in the ban list's column layout; "by" is at most 12 characters.
std::string entry(const std::string& name, const std::string& mid, const std::string& id = "50",
                  const std::string& by = "Mod") {
    return "  #" + id + "  xxxxxx2    " + by + std::string(12 - by.size(), ' ') +
           " 2004-05-12 14:22:11 ab1 192.168.7.70, mid:" + mid + ' ' + name;
}

const QString kSeparator = "...........";
const char* const kById = "RepeatedOffendersList";
const char* const kByName = "LST_NAMEREPOFF";

QStringList items(const QWidget* window, const char* listName) {
    QStringList texts;
    const auto* list = window->findChild<QListWidget*>(listName);
    for (int i = 0; i < list->count(); ++i) {
        texts.append(list->item(i)->text());
    }
    return texts;
}

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QList<QPair<QString, QString>> messages; // title, text

    // Writes the lines as the ban file; its last line is never an entry.
    void writeBanFile(const std::vector<std::string>& lines) {
        std::string text = "Log opened\r\n";
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        text += "Log closed\r\n";
        QFile file(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(text.data(), qint64(text.size())), qint64(text.size()));
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        messages.clear();
        Messages::setHandler([this](const QString& title, const QString& text) { messages.append({title, text}); });
        Declares::BanFilePath = QFile::encodeName(dir->filePath("ban.txt")).toStdString();
    }

    void cleanup() {
        Messages::setHandler({});
        dir.reset();
    }

    void machineIdNotice() {
        writeBanFile({});
        auto window = std::make_unique<RepeatedOffendersForm>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* notice = window->findChild<QGroupBox*>();
        QCOMPARE(notice->title(), QString("Notice"));
        QCOMPARE(notice->findChild<QLabel*>()->text(),
                 QString("This function does not find players banned under the "
                         "same nick, only alias names used by the same computer."));
        QVERIFY(window->findChild<QListWidget*>(kById)->geometry().bottom() < notice->geometry().top());
        QCOMPARE(items(window.get(), kById), QStringList());
    }

    // Exact lines of both reports, decoded from Windows-1252.
    void reportLinesOnAKnownLog() {
        writeBanFile({entry("\xC9ric\x80", "m\x80", "15", "Mod\xC9"), entry("Eric", "m\x80", "16", "ModF"),
                      entry("\xC9ric\x80", "m7", "17")});
        const QStringList byId{
            " ",
            QString::fromUtf8("Repeated offender found : Eric MATCH As : \u00c9ric\u20ac"),
            QString::fromUtf8(
                "Match 1 details : Eric/MID : m\u20ac /BanIP :  192.168.7.70/Date : 2004-05-12   ( Ban # : "
                "16, Days : 1, By : ModF         )"),
            QString::fromUtf8(
                "Match 2 details : \u00c9ric\u20ac/MID : m\u20ac /BanIP :  192.168.7.70/Date : 2004-05-12   ( "
                "Ban # : 15, Days : 1, By : Mod\u00c9         )"),
            " ",
            kSeparator,
            kSeparator,
            kSeparator,
        };
        QCOMPARE(items(std::make_unique<RepeatedOffendersForm>().get(), kById), byId);
        QCOMPARE(items(std::make_unique<NameRepeatedOffendersForm>().get(), kByName),
                 QStringList{QString::fromUtf8("\u00c9ric\u20ac was found banned again.")});
        QVERIFY(messages.isEmpty());
    }

    // The name report loads when it opens: a new one shows the changed file, an open one keeps what it loaded.
    void reopeningReloadsWhileOpenWindowStays() {
        writeBanFile({entry("Bob", "m1"), entry("Bob", "m2")});
        auto first = std::make_unique<NameRepeatedOffendersForm>();
        writeBanFile({entry("Cy", "m1"), entry("Cy", "m2")});
        QCOMPARE(items(std::make_unique<NameRepeatedOffendersForm>().get(), kByName),
                 QStringList{"Cy was found banned again."});
        QCOMPARE(items(first.get(), kByName), QStringList{"Bob was found banned again."});
    }

    // Each window loads the file itself and shows one message per load.
    void loadOutcomeIsShownOnce_data() {
        QTest::addColumn<QString>("file"); // "" for no file chosen
        QTest::addColumn<int>("chatLines");
        QTest::addColumn<QString>("message"); // part of its text, "" for none
        QTest::addColumn<int>("idLines");
        QTest::addColumn<int>("nameLines");
        // The log yields one name line and 5 + 3 machine-id lines when read whole; past line 2999 its last
        // entry is not read: no pair by id, one separator fewer, no name repeated.
        QTest::newRow("whole file") << "ban.txt" << 0 << "" << 8 << 1;
        QTest::newRow("missing file") << "missing.txt" << 0 << "missing.txt" << 0 << 0;
        QTest::newRow("no file chosen") << "" << 0 << "Select banfile." << 0 << 0;
        QTest::newRow("too many lines") << "ban.txt" << 3100 << "ban.txt" << 2 << 0;
    }

    void loadOutcomeIsShownOnce() {
        QFETCH(QString, file);
        QFETCH(int, chatLines);
        QFETCH(QString, message);
        QFETCH(int, idLines);
        QFETCH(int, nameLines);
        std::vector<std::string> lines{entry("Bob", "m1"), entry("Ann", "m2")};
        lines.insert(lines.end(), static_cast<std::size_t>(chatLines), "chat line");
        lines.push_back(entry("Bob", "m2"));
        writeBanFile(lines);
        Declares::BanFilePath = file.isEmpty() ? std::string() : QFile::encodeName(dir->filePath(file)).toStdString();
        for (const bool byName : {false, true}) {
            messages.clear();
            const std::unique_ptr<QWidget> window =
                byName ? std::unique_ptr<QWidget>(std::make_unique<NameRepeatedOffendersForm>())
                       : std::make_unique<RepeatedOffendersForm>();
            QCOMPARE(items(window.get(), byName ? kByName : kById).size(), byName ? nameLines : idLines);
            QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
            for (const auto& [title, text] : messages) {
                QCOMPARE(title, QString("Mirewatch"));
                QVERIFY2(text.contains(message), qPrintable(text));
            }
        }
    }
};

QTEST_MAIN(TestReportWindows)
#include "test_report_windows.moc"
