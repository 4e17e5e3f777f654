// The windows that read the ban file when they open or search: the raw viewer's lines, both repeated-offender
// reports in Windows-1252, and the one message of a load that is not whole, in each of them.
#include "DatabaseForm.h"
#include "GuiTest.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <memory>

namespace {

// One entry line in the ban list's column layout.
QByteArray entry(const QByteArray& name, const QByteArray& mid) {
    return "  #50  xxxxxx2    Mod          2004-05-12 14:22:11 ab1 192.168.7.70, mid:" + mid + ' ' + name;
}

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordedMessages messages;

private slots:
    void init() { messages.clear(); }

    // The viewer shows every line in place, blank ones too, after "Beginning of file" and an empty line; it and both
    // reports decode Windows-1252.
    void linesDecodedFromWindows1252() {
        useBanFile(dir, "viewed.txt", "\r\na\r\n\r\n  #12 b\r\ncaf\xe9 \x80 \x93q\x94\r\n");
        QCOMPARE(texts(ShowBans().findChild<QListView*>("LoadBans")),
                 (QStringList{"Beginning of file", "", "", "a", "", "  #12 b", QString::fromUtf8("café € “q”")}));
        useBanFile(dir, "ban.txt",
                   banFile({entry("\xC9ric\x80", "m\x80"), entry("Eric", "m\x80"), entry("\xC9ric\x80", "m7")}));
        QCOMPARE(texts(RepeatedOffendersForm().findChild<QListView*>("RepeatedOffendersList")).value(1),
                 QString::fromUtf8("Repeated offender found : Eric MATCH As : \u00c9ric\u20ac"));
        QCOMPARE(texts(NameRepeatedOffendersForm().findChild<QListView*>("LST_NAMEREPOFF")),
                 QStringList{QString::fromUtf8("\u00c9ric\u20ac was found banned again.")});
        QVERIFY(messages.isEmpty());
    }

    // Each window loads the file itself and shows one message per load, naming the file and the reason; what was
    // read is shown all the same. Past line 2999 the second "Bob" is not read.
    void loadOutcomeIsShownOnce_data() {
        QTest::addColumn<QString>("file");         // "" for no file chosen
        QTest::addColumn<int>("chatLines");        // -1: the file is not written
        QTest::addColumn<QList<int>>("lines");     // viewer, search for "Bob", report by id, report by name
        QTest::addColumn<QStringList>("mentions"); // what the message says, none for no message
        const QList<int> none{0, 0, 0, 0};
        QTest::newRow("whole file") << "ban.txt" << 0 << QList<int>{7, 2, 8, 1} << QStringList{};
        QTest::newRow("no file chosen") << "" << -1 << none << QStringList{"No ban file", "Select banfile."};
        QTest::newRow("missing file") << "missing.txt" << -1 << none
                                      << QStringList{"missing.txt", "cannot be opened", "No such file"};
        QTest::newRow("too many lines") << "ban.txt" << 3100 << QList<int>{3001, 1, 2, 0}
                                        << QStringList{"ban.txt", "more than 2999 lines"};
    }

    void loadOutcomeIsShownOnce() {
        QFETCH(QString, file);
        QFETCH(int, chatLines);
        QFETCH(QList<int>, lines);
        QFETCH(QStringList, mentions);
        const QByteArray chat = QByteArray("chat line\r\n").repeated(qMax(chatLines, 0));
        useBanFile(dir, file,
                   chatLines < 0
                       ? QByteArray()
                       : banFile({entry("Bob", "m1"), entry("Ann", "m2") + "\r\n" + chat + entry("Bob", "m2")}));
        const std::pair<std::function<QWidget*()>, const char*> windows[] = {
            {[] { return new ShowBans; }, "LoadBans"},
            {[] { return new DatabaseForm; }, "BannedAliases"},
            {[] { return new RepeatedOffendersForm; }, "RepeatedOffendersList"},
            {[] { return new NameRepeatedOffendersForm; }, "LST_NAMEREPOFF"},
        };
        QList<int> shown;
        for (const auto& [make, list] : windows) {
            messages.clear();
            const std::unique_ptr<QWidget> window(make());
            if (auto* query = window->findChild<QLineEdit*>("SearchQuery")) { // the search loads at each search
                QVERIFY(messages.isEmpty());
                window->findChild<QRadioButton*>("Optn_SearchByNick")->click();
                query->setText("Bob");
                window->findChild<QPushButton*>("Command1")->click();
            }
            shown.append(int(texts(window.get(), list).size()));
            QCOMPARE(messages.size(), mentions.isEmpty() ? 0 : 1);
            for (const QString& part : mentions)
                QVERIFY2(messages.first().startsWith("Mirewatch: ") && messages.first().contains(part),
                         qPrintable(messages.first()));
        }
        QCOMPARE(shown, lines);
    }
};

QTEST_MAIN(TestReportWindows)
#include "test_report_windows.moc"
