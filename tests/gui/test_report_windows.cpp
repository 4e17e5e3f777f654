// The windows that read the ban file when they open or search: the raw viewer's lines, both repeated-offender
// reports in Windows-1252, and the one message of a load that is not whole, in each of them.
#include "DatabaseForm.h"
#include "GuiTest.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"

#include <functional>
#include <memory>

namespace {

// Each window reading the ban file, and the list showing what it read.
const std::pair<std::function<QWidget*()>, const char*> kWindows[] = {
    {[] { return new ShowBans; }, "LoadBans"},
    {[] { return new DatabaseForm; }, "BannedAliases"},
    {[] { return new RepeatedOffendersForm; }, "RepeatedOffendersList"},
    {[] { return new NameRepeatedOffendersForm; }, "LST_NAMEREPOFF"},
};

// The search loads at each search: this one finds every entry.
void searchModerator(QWidget* window) {
    if (auto* query = window->findChild<QLineEdit*>("SearchQuery")) {
        window->findChild<QRadioButton*>("Optn_SearchByMod")->click();
        query->setText("Mod");
        window->findChild<QPushButton*>("Command1")->click();
    }
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
    // read is shown all the same. Past the last line read, the last entry is not.
    void loadOutcomeIsShownOnce_data() {
        QTest::addColumn<QString>("file");         // "" for no file chosen
        QTest::addColumn<int>("chatLines");        // -1: the file is not written
        QTest::addColumn<QList<int>>("lines");     // viewer, search, report by id, report by name
        QTest::addColumn<QStringList>("mentions"); // what the message says, none for no message
        const QList<int> none{0, 0, 0, 0};
        QTest::newRow("whole file") << "ban.txt" << 0 << QList<int>{7, 3, 8, 1} << QStringList{};
        QTest::newRow("no file chosen") << "" << -1 << none << QStringList{"No ban file", "Select banfile."};
        QTest::newRow("missing file") << "missing.txt" << -1 << none
                                      << QStringList{"missing.txt", "cannot be opened", "No such file"};
        const int most = Declares::MaxBanFileLines;
        QTest::newRow("too many lines") << "ban.txt" << most + 100 << QList<int>{most + 2, 2, 2, 0}
                                        << QStringList{"ban.txt", QString("more than %1 lines").arg(most)};
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
        QList<int> shown;
        for (const auto& [make, list] : kWindows) {
            messages.clear();
            const std::unique_ptr<QWidget> window(make());
            searchModerator(window.get());
            shown.append(int(texts(window->findChild<QListView*>(list)).size()));
            QCOMPARE(messages.size(), mentions.isEmpty() ? 0 : 1);
            for (const QString& part : mentions)
                QVERIFY2(messages.first().startsWith("Mirewatch: ") && messages.first().contains(part),
                         qPrintable(messages.first()));
        }
        QCOMPARE(shown, lines);
    }

    // Ctrl+C copies the selected rows, "Copy all" every row (the search's fields tab-separated); "Save as" writes
    // CSV for the search, UTF-8 text for the others; a failed save says why and never reports success.
    void copyAndSave_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("selected"); // rows 0 and 2 of the search; empty: as the list shows them
        QTest::addColumn<QByteArray>("file");  // empty: the lines shown, as UTF-8 text
        const QString row = "2\tStill valid\t50\t1\t2004-05-12\tMod         \t 192.168.7.70\t";
        QTest::newRow("viewer") << 0 << QString() << QByteArray();
        QTest::newRow("search")
            << 1 << row + "Bob, \"the\" Bot\n" + row + QString::fromUtf8("\u00c9ric\u20ac")
            << QByteArray("\xEF\xBB\xBF"
                          "Acess Level,Ban status,BanID,Days,Date of ban,Banned by,IP of banned,Banned as\r\n"
                          "2,Still valid,50,1,2004-05-12,Mod         , 192.168.7.70,\"Bob, \"\"the\"\" Bot\"\r\n"
                          "2,Still valid,50,1,2004-05-12,Mod         , 192.168.7.70,\xC3\x89ric\xE2\x82\xAC\r\n"
                          "2,Still valid,50,1,2004-05-12,Mod         , 192.168.7.70,\xC3\x89ric\xE2\x82\xAC\r\n");
        QTest::newRow("report by id") << 2 << QString() << QByteArray();
    }
    void copyAndSave() {
        QFETCH(int, window);
        QFETCH(QString, selected);
        QFETCH(QByteArray, file);
        useBanFile(dir, "ban.txt",
                   banFile({entry("Bob, \"the\" Bot", "m1"), entry("\xC9ric\x80"), entry("\xC9ric\x80", "m1")}));
        const std::unique_ptr<QWidget> form(kWindows[window].first());
        showActive(form.get());
        searchModerator(form.get());
        auto* view = form->findChild<QListView*>(kWindows[window].second);
        const QStringList lines = texts(view);
        QVERIFY(!lines.isEmpty() && messages.isEmpty());
        for (int row : {0, int(lines.size()) - 1}) {
            const QRect rect = view->visualRect(view->model()->index(row, view->modelColumn()));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, row ? Qt::ControlModifier : Qt::NoModifier,
                              rect.center());
        }
        if (selected.isEmpty())
            selected = lines.size() > 1 ? lines.first() + '\n' + lines.last() : lines.first();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), selected);
        form->findChild<QPushButton*>("Cmd_CopyAll")->click();
        const QString all = QApplication::clipboard()->text();
        QCOMPARE(all.count('\n'), lines.size() - 1);
        QVERIFY(file.isEmpty() ? all == lines.join('\n') : all.startsWith(selected.section('\n', 0, 0) + '\n'));
        const QString good = dir.filePath("saved");
        for (const QString& path : {dir.filePath("no such dir/x"), dir.filePath("ban.txt/x"), good}) {
            messages.clear();
            Messages::setFileNameHandler([path](const QString&) { return path; });
            form->findChild<QPushButton*>("Cmd_SaveAs")->click();
            const QString status = form->findChild<QLabel*>("StatusLine")->text();
            QVERIFY2(status.startsWith("Saved") == (path == good), qPrintable(status));
            const QString why = messages.value(0).section(QDir::toNativeSeparators(path) + " could not be saved: ", 1);
            QVERIFY2(messages.size() == (path == good ? 0 : 1) && (path == good || why.size() > 3),
                     qPrintable(messages.join('|')));
            QCOMPARE(QFile::exists(path), path == good);
        }
        Messages::setFileNameHandler({});
        QFile saved(good);
        QVERIFY(saved.open(file.isEmpty() ? QIODevice::ReadOnly | QIODevice::Text : QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file.isEmpty() ? (lines.join('\n') + '\n').toUtf8() : file);
        QVERIFY(saved.remove());
        // Lines are never cut short: a narrow list scrolls sideways to the end of the widest; the viewer's font is
        // fixed-width so the log's columns line up.
        if (auto* list = qobject_cast<QListWidget*>(view)) {
            form->resize(300, 300);
            int widest = 0;
            for (const QString& line : lines)
                widest = qMax(widest, list->fontMetrics().horizontalAdvance(line));
            QTRY_VERIFY(list->horizontalScrollBar()->maximum() + list->viewport()->width() >= widest);
            QVERIFY(window != 0 || QFontInfo(list->font()).fixedPitch());
        }
    }
};

QTEST_MAIN(TestReportWindows)
#include "test_report_windows.moc"
