// The windows that read the ban file when they open or search: the raw viewer's lines, both repeated-offender
// reports in Windows-1252, the one message of a load that is not whole, in each of them, and copying and saving.
#include "DatabaseForm.h"
#include "GuiTest.h"
#include "LoadOutcomeBox.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"

#include "RowExport.h"

#include <QIODevice>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

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

// A device on a full disk: it takes room bytes, then fails as write() does there.
struct FullDevice : QIODevice {
    explicit FullDevice(qint64 room) : room(room) {}
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        if (room == written) {
            setErrorString("No space left on device");
            return -1;
        }
        const qint64 taken = qMin(size, room - written);
        written += taken;
        return taken;
    }
    qint64 room, written = 0;
};

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

    KeptConfig keptConfig; // the search stores its mode
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
        QTest::addColumn<QString>("status");       // what each window's status line says
        QTest::addColumn<QString>("searchSays");   // beside the search's lists, after two searches
        const QList<int> none{0, 0, 0, 0};
        const QString in = " (in " + QDir::toNativeSeparators(dir.path()) + ")";
        QTest::newRow("whole file") << "ban.txt" << 0 << QList<int>{7, 3, 8, 1} << QStringList{}
                                    << "ban.txt" + in + ": 5 lines, 3 ban entries."
                                    << "3 matches";
        QTest::newRow("no file chosen") << "" << -1 << none << QStringList{"No ban file", "Select banfile."}
                                        << "No ban file chosen."
                                        << "No ban file chosen.";
        QTest::newRow("missing file") << "missing.txt" << -1 << none
                                      << QStringList{"missing.txt", "cannot be opened", "No such file"}
                                      << "missing.txt" + in + " could not be read: No such file or directory."
                                      << "The ban file could not be read.";
        const int most = Declares::MaxBanFileLines;
        QTest::newRow("too many lines") << "ban.txt" << most + 100 << QList<int>{most + 2, 2, 2, 0}
                                        << QStringList{"ban.txt", QString("more than %1 lines").arg(most)}
                                        << "ban.txt" + in +
                                               QString(": only its first %1 lines read, 2 ban entries.").arg(most)
                                        << "2 matches";
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
        QFETCH(QString, status);
        QFETCH(QString, searchSays);
        QList<int> shown;
        for (const auto& [make, list] : kWindows) {
            messages.clear();
            const std::unique_ptr<QWidget> window(make());
            searchModerator(window.get());
            shown.append(int(texts(window->findChild<QListView*>(list)).size()));
            QCOMPARE(window->findChild<QLabel*>("BanFileStatus")->text(), status);
            // A second search tells again of a file that cannot be read, not again of one too long.
            if (auto* count = window->findChild<QLabel*>("MatchCount")) {
                searchModerator(window.get());
                QCOMPARE(count->text(), searchSays);
                QCOMPARE(messages.size(), file.isEmpty() || chatLines < 0 ? 2 : mentions.size() ? 1 : 0);
                while (messages.size() > 1)
                    messages.removeLast();
            }
            QCOMPARE(messages.size(), mentions.isEmpty() ? 0 : 1);
            for (const QString& part : mentions)
                QVERIFY2(messages.first().startsWith("Mirewatch: ") && messages.first().contains(part),
                         qPrintable(messages.first()));
        }
        QCOMPARE(shown, lines);
    }

    // An empty report says why in the list, and the notice is no row: "Copy all" takes only the report's lines.
    void emptyReportsSayWhy_data() {
        QTest::addColumn<QList<QByteArray>>("entries");
        QTest::addColumn<QString>("notice"); // in both reports; empty: none
        QTest::newRow("no ban entries") << QList<QByteArray>{"chat line"} << "No ban entries in this file";
        QTest::newRow("nobody again") << QList<QByteArray>{entry("Ann", "m1"), entry("Bob", "m2")}
                                      << "No repeated offender found in this file";
        QTest::newRow("both found") << QList<QByteArray>{entry("Ann", "m1"), entry("Al", "m1"), entry("Ann", "m2")}
                                    << "";
    }
    void emptyReportsSayWhy() {
        QFETCH(QList<QByteArray>, entries);
        QFETCH(QString, notice);
        useBanFile(dir, "ban.txt", banFile(entries));
        for (int window : {2, 3}) {
            const std::unique_ptr<QWidget> form(kWindows[window].first());
            showActive(form.get());
            auto* shown = form->findChild<QLabel*>("ListNotice");
            QCOMPARE(shown && shown->isVisible() ? shown->text() : QString(), notice);
            QApplication::clipboard()->clear();
            form->findChild<QPushButton*>("Cmd_CopyAll")->click();
            QCOMPARE(QApplication::clipboard()->text(),
                     texts(form->findChild<QListView*>(kWindows[window].second)).join('\n'));
        }
        QVERIFY(messages.isEmpty());
    }

    // The status line counts the downloads a file holds when there are several; none counted reads as one.
    void statusLineCountsDownloads() {
        const QString more = "; %1 downloads in this file; each ban counted once, at its latest listing.";
        for (BanHandle::LoadOutcome outcome; outcome.downloads < 4; ++outcome.downloads)
            QCOMPARE(describeLoad(QFile::encodeName(dir.filePath("ban.txt")).toStdString(), outcome, 40, 30),
                     QString("ban.txt (in %1): 40 lines, 30 ban entries").arg(QDir::toNativeSeparators(dir.path())) +
                         (outcome.downloads < 2 ? "." : more.arg(outcome.downloads)));
    }

    // The worst machine-id report, every record of a full file on one machine id under distinct names, lists every
    // line and is worked from the keyboard; its lines take about their size in bytes, not a widget item each.
    void worstMachineIdReport() {
        QByteArray file;
        for (int i = 0; i < Declares::MaxBanFileLines; ++i)
            file += entry("Pilot " + QByteArray::number(i), "m1") + "\r\n";
        useBanFile(dir, "worst.txt", file);
        const auto statusMb = [](const QByteArray& key) {
            QFile status("/proc/self/status");
            const QByteArray all = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
            return all.mid(all.indexOf(key + ':') + key.size() + 1).trimmed().split(' ').value(0).toInt() / 1024;
        };
        QFile peak("/proc/self/clear_refs"); // VmHWM from here on
        if (peak.open(QIODevice::WriteOnly))
            peak.write("5");
        peak.close();
        const int before = statusMb("VmRSS");
        RepeatedOffendersForm form;
        showActive(&form);
        const int growth = statusMb("VmHWM") - before;
        auto* view = form.findChild<QListView*>("RepeatedOffendersList");
        const int pairs = Declares::MaxBanFileLines - 1, last = 5 * pairs + pairs;
        QCOMPARE(view->model()->rowCount(), last + 1);
        QCOMPARE(view->model()->index(last - pairs - 4, 0).data().toString(),
                 QString("Repeated offender found : Pilot %1 MATCH As : Pilot 0").arg(pairs));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_End);
        QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), "...........\n...........");
        QVERIFY2(growth < 50, qPrintable(QString("%1 MB").arg(growth))); // 0 where there is no /proc
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
        // A name typed without an extension gets the suggested one; the status line is cleared by the next action.
        const QString good = dir.filePath("saved"), suffix = file.isEmpty() ? ".txt" : ".csv";
        auto* status = form->findChild<QLabel*>("StatusLine");
        for (const QString& path : {dir.filePath("no such dir/x"), dir.filePath("ban.txt/x"), good}) {
            messages.clear();
            Messages::setFileNameHandler([path](const QString&) { return path; });
            form->findChild<QPushButton*>("Cmd_SaveAs")->click();
            QVERIFY2(status->text().startsWith("Saved") == (path == good), qPrintable(status->text()));
            const QString why =
                messages.value(0).section(QDir::toNativeSeparators(path + suffix) + " could not be saved: ", 1);
            QVERIFY2(messages.size() == (path == good ? 0 : 1) && (path == good || why.size() > 3),
                     qPrintable(messages.join('|')));
            QCOMPARE(QFile::exists(path + suffix), path == good);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(0, 0)).center());
            QCOMPARE(status->text(), QString());
        }
        Messages::setFileNameHandler({});
        QFile saved(good + suffix);
        QVERIFY(saved.open(file.isEmpty() ? QIODevice::ReadOnly | QIODevice::Text : QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file.isEmpty() ? (lines.join('\n') + '\n').toUtf8() : file);
        QVERIFY(saved.remove());
        // Lines are never cut short: a narrow list scrolls sideways to the end of the widest; the viewer's font is
        // fixed-width so the log's columns line up.
        if (QListView* list = window == 1 ? nullptr : view) {
            form->resize(300, 300);
            int widest = 0;
            for (const QString& line : lines)
                widest = qMax(widest, list->fontMetrics().horizontalAdvance(line));
            QTRY_VERIFY(list->horizontalScrollBar()->maximum() + list->viewport()->width() >= widest);
            QVERIFY(window != 0 || QFontInfo(list->font()).fixedPitch());
        }
    }

    // A cell a spreadsheet would run as a formula is written as text; plain numbers stay numbers.
    void csvCellsAreSpreadsheetSafe() {
        const QStringList cells = {"=1+2", "+cmd|' /c calc'!A0", "@SUM(A1)", "\tx", "\r=x", "-", "a=b", "-12", "+3.5"};
        QCOMPARE(RowExport::csvRecord(cells),
                 QString("'=1+2,'+cmd|' /c calc'!A0,'@SUM(A1),'\tx,\"'\r=x\",'-,a=b,-12,+3.5"));
    }

    // A full disk: the save says why and never reports success; the old file stays whole, no temporary is left.
    // Every byte is handed on after a short write, so the device's reason comes out.
    void saveOnAFullDisk() {
        FullDevice device(4096);
        QVERIFY(device.open(QIODevice::WriteOnly));
        QCOMPARE(RowExport::writeAll(device, QByteArray(10000, 'x')), QString("No space left on device"));
        QCOMPARE(device.written, 4096);
#ifndef Q_OS_WIN
        // The file size limit makes write() stop part way, as a full file system does (with its own reason).
        QTemporaryDir full;
        const QString path = full.filePath("old.csv");
        writeFile(path, "old");
        for (const qsizetype size : {10000, 100000}) {
            rlimit saved{}, limit{4096, RLIM_INFINITY};
            QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0 && (limit.rlim_max = saved.rlim_max) >= 4096);
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
            const QString reason = RowExport::saveFile(path, QByteArray(size, 'x'), false);
            QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);
            std::signal(SIGXFSZ, handler);
            QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
            QCOMPARE(QDir(full.path()).entryList(QDir::Files), QStringList{"old.csv"});
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
        }
#endif
    }
};

QTEST_MAIN(TestReportWindows)
#include "test_report_windows.moc"
