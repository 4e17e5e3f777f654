// The linked-names window: groups, filter and Enter, IP links, copy, opening from a search row, and the command
// line printing what "Copy all" copies.
#include "ChildProgram.h"
#include "DatabaseForm.h"
#include "GuiTest.h"
#include "LinkedNamesForm.h"
#include "WindowRegistry.h"

namespace {

// An entry line in the parser's layout, with the IP and machine id given.
QByteArray ban(const QByteArray& name, const QByteArray& mid, const QByteArray& ip, char mark = '^',
               const QByteArray& date = "2004-05-12") {
    return QByteArray("  ") + mark + "12xxxxxxxx2yyyyModerator " + date + " 14:22:11   30 " + ip +
           (ip.size() >= 12 ? "  " : " ") + "mid:" + mid + ' ' + name;
}

// Ann and Bob share a machine id; Cy shares only an IP with Bob; Dee has a still-valid ban under two machine ids.
const QList<QByteArray> kBans = {
    ban("Ann", "111", "10.1.1.1"),
    ban("Bob", "111", "10.2.2.2", '^', "2004-06-01"),
    ban("Cy", "333", "10.2.2.2"),
    ban("Dee", "444", "10.4.4.4", '#', "2003-01-01"),
    ban("D\xe9"
        "e2",
        "444", "10.5.5.5"),
};

QStringList topLevel(QTreeView* tree) {
    QStringList rows;
    for (int row = 0; row < tree->model()->rowCount(); ++row)
        rows.append(tree->model()->index(row, 0).data().toString());
    return rows;
}

} // namespace

class TestLinkedNamesForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordedMessages messages;

private slots:
    void init() {
        messages.clear();
        useBanFile(dir, "ban.txt", banFile(kBans));
    }
    void cleanup() {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
    }

    // Groups in order (a still-valid ban first), the counts, the filter by name, machine id and IP, Enter, and the
    // IP box joining Cy.
    void groupsFilterAndIpLinks() {
        LinkedNamesForm form;
        showActive(&form);
        auto* tree = form.findChild<QTreeView*>("LinkedTree");
        QCOMPARE(topLevel(tree),
                 (QStringList{QString::fromUtf8("STILL BANNED - 2 names: Dée2, Dee"), "2 names: Bob, Ann"}));
        QCOMPARE(form.findChild<QLabel*>("LinkedCounts")->text(), "2 people with more than one name, 4 names");
        QVERIFY(form.findChild<QLabel*>("FileStatus")->text().endsWith("ban.txt - 7 lines"));

        auto* filter = form.findChild<QLineEdit*>("LinkedFilter");
        const std::pair<const char*, int> cases[] = {{"ann", 1}, {"444", 1}, {"11", 1}, {"10.2.2.2", 0}, {"", 2}};
        for (const auto& [text, groups] : cases) {
            filter->setText(text);
            QCOMPARE(tree->model()->rowCount(), groups);
        }
        filter->setText("bob");
        filter->setFocus();
        QTest::keyClick(filter, Qt::Key_Return);
        QVERIFY(tree->hasFocus());
        QVERIFY(tree->isExpanded(tree->currentIndex()));
        QCOMPARE(tree->currentIndex().data().toString(), "2 names: Bob, Ann");
        QVERIFY(form.findChild<QPlainTextEdit*>("LinkedEvidence")
                    ->toPlainText()
                    .contains("Ann and Bob share machine id 111"));
        // The names under it, then a name's bans with the search window's fields.
        const QModelIndex bob = tree->model()->index(0, 0, tree->currentIndex());
        QCOMPARE(bob.data().toString(), "Bob - 1 ban, 2004-06-01");
        QCOMPARE(tree->model()->index(0, 7, bob).data().toString(), "10.2.2.2");

        filter->clear();
        form.findChild<QCheckBox*>("LinkByIp")->click();
        QCOMPARE(topLevel(tree).value(1), "3 names: Bob, Cy, Ann");
        filter->setText("10.2.2.2");
        QCOMPARE(tree->model()->rowCount(), 1);
    }

    // Ctrl+C copies the selected row at its level; "Copy all" copies every group, as the command line prints it.
    void copyAndCommandLine() {
        LinkedNamesForm form;
        showActive(&form);
        auto* tree = form.findChild<QTreeView*>("LinkedTree");
        const QModelIndex dee = tree->model()->index(0, 0);
        tree->expand(dee);
        const QModelIndex firstBan = tree->model()->index(0, 0, tree->model()->index(1, 0, dee));
        tree->selectionModel()->setCurrentIndex(firstBan,
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        tree->setFocus();
        QTest::keySequence(tree, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), "2\tStill valid\t12\t30\t2003-01-01\tModerator\t10.4.4.4\tDee");

        form.findChild<QPushButton*>("Cmd_CopyAll")->click();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.contains(QString::fromUtf8("  Link: Dee and Dée2 share machine id 444")));
        QCOMPARE(copied.count("\n2 names: "), 1);

        QProcess program;
        const auto ended = qScopeGuard([&program] { child_program::end(program, 5000); }); // also after a failure
        program.start(MW_PROGRAM, {"--linked", QString::fromStdString(Declares::BanFilePath)});
        QVERIFY(child_program::waitForEnd(program, 60000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).remove('\r'), copied + '\n');

        program.start(MW_PROGRAM, {"--linked", dir.filePath("missing.txt")});
        QVERIFY(child_program::waitForEnd(program, 60000));
        QVERIFY(program.exitCode() != 0);
        QVERIFY(program.readAllStandardOutput().isEmpty());
        QVERIFY(program.readAllStandardError().contains("cannot read the ban file"));
    }

    // A search row's context menu entry and its key open the group of the row's name.
    void openedFromASearchRow() {
        auto* search = openWindow<DatabaseForm>();
        showActive(search);
        search->findChild<QRadioButton*>("Optn_SearchByNick")->click();
        search->findChild<QLineEdit*>("SearchQuery")->setText("ann");
        search->findChild<QPushButton*>("Command1")->click();
        auto* names = search->findChild<QListView*>("BannedAliases");
        names->setCurrentIndex(names->model()->index(0, 0));
        auto* open = search->findChild<QAction*>("ShowLinkedNames");
        QVERIFY(open);
        QVERIFY(names->actions().contains(open));
        open->trigger();
        auto* form = windowSlot<LinkedNamesForm>().data();
        QVERIFY(form);
        auto* tree = form->findChild<QTreeView*>("LinkedTree");
        QCOMPARE(tree->currentIndex().data().toString(), "Ann - 1 ban, 2004-05-12");
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // A name with no other names: the window opens and says so.
        search->findChild<QLineEdit*>("SearchQuery")->setText("cy");
        search->findChild<QPushButton*>("Command1")->click();
        names->setFocus();
        names->setCurrentIndex(names->model()->index(0, 0));
        QTest::keySequence(names, open->shortcut());
        form = windowSlot<LinkedNamesForm>().data();
        QVERIFY(form);
        QCOMPARE(form->findChild<QLabel*>("StatusLine")->text(), "Cy shares no machine id with another name.");
    }
};

QTEST_MAIN(TestLinkedNamesForm)
#include "test_linked_names_form.moc"
