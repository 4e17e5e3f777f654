// The ban file chooser: its drive, directory and file lists, and storing the chosen path in Config.ini, where a
// fresh main window finds it.
#include "API.h"
#include "BanHandle.h"
#include "BanPathForm.h"
#include "GuiTest.h"
#include "LoadOutcomeBox.h"
#include "MainForm.h"
#include "WindowRegistry.h"

#include <memory>
#include <optional>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Clicks the entry with the text, or double-clicks it (a click first, as a user's double click begins).
void click(QListWidget* list, const QString& text, bool twice = false) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(text));
    list->scrollToItem(found.first());
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class TestChooser : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString configPath = QString::fromStdString(API::ConfigFilePath());
    std::optional<QByteArray> savedConfig;
    RecordedMessages messages;
    std::unique_ptr<BanPathForm> form;

    // Builds the window fresh, as opening it does.
    void open() {
        form = std::make_unique<BanPathForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    QComboBox* drive() const { return form->findChild<QComboBox*>(QStringLiteral("BanDrive")); }
    QListWidget* directories() const { return form->findChild<QListWidget*>(QStringLiteral("BanPath")); }
    QListWidget* files() const { return form->findChild<QListWidget*>(QStringLiteral("ChooseBanFileName")); }
    QLineEdit* typed() const { return form->findChild<QLineEdit*>(QStringLiteral("TXT_Path")); }
    void enter(const QString& directory) { click(directories(), directory, true); }
    void removeConfig() {
        QVERIFY(QFileInfo(configPath).isDir() ? QDir(configPath).removeRecursively()
                                              : !QFile::exists(configPath) || QFile::remove(configPath));
    }

private slots:
    void initTestCase() {
        QFile config(configPath);
        if (QFileInfo(configPath).isFile() && config.open(QIODevice::ReadOnly))
            savedConfig = config.readAll();
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("logs/old")) &&
                QDir(dir.path()).mkpath(QStringLiteral(".cache")));
        for (const char* name : {"Zone Banlog.txt", "Network Banlog.txt", ".hidden", "logs/inner.txt"})
            writeFile(dir.filePath(name), "chat\r\n");
#ifdef Q_OS_WIN
        for (const char* name : {".hidden", ".cache"}) // hidden by attribute there, not by the dot
            QVERIFY(SetFileAttributesW(dir.filePath(name).toStdWString().c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif
    }

    void cleanupTestCase() {
        removeConfig();
        if (savedConfig)
            writeFile(configPath, *savedConfig);
    }

    void init() {
        messages.clear();
        removeConfig();
        QVERIFY(QDir::setCurrent(dir.path()));
        Declares::BanFilePath.clear();
        open();
    }

    void cleanup() {
        form.reset();
    }

    // "/" first, then the mounted drives but no kernel file systems (on Windows the drive letters), each shown in the
    // platform's spelling with its root as the item's data; the drive of the current directory is selected.
    void drives() {
        QStringList roots;
        for (int i = 0; i < drive()->count(); ++i) {
            roots.append(drive()->itemData(i).toString());
            QCOMPARE(drive()->itemText(i), QDir::toNativeSeparators(roots.last()));
        }
#ifdef Q_OS_WIN
        QVERIFY2(roots.filter(QRegularExpression("^[A-Z]:/$")) == roots && roots.contains(QDir::rootPath()),
                 qPrintable(roots.join(' ')));
#else
        QCOMPARE(roots.first(), QStringLiteral("/"));
        QVERIFY2(roots.contains(QStorageInfo(QDir::homePath()).rootPath()) && !roots.contains("/proc") &&
                     !roots.contains("/sys"),
                 qPrintable(roots.join(' ')));
#endif
        QCOMPARE(drive()->currentData().toString(), QStorageInfo(dir.path()).rootPath());

        // Another drive shows its root, and going back shows the directory last shown on the first one; a drive
        // that cannot be read is named in a message, and the previous drive stays.
        const int first = drive()->currentIndex();
        for (const QString& root : {dir.filePath(QStringLiteral("logs")), QStringLiteral("/mirewatch-no-such-drive")})
            drive()->addItem(root, root);
        drive()->setCurrentIndex(drive()->count() - 2);
        QCOMPARE(canonical(form->currentPath()), canonical(dir.filePath(QStringLiteral("logs"))));
        drive()->setCurrentIndex(first);
        QCOMPARE(canonical(form->currentPath()), canonical(dir.path()));
        drive()->setCurrentIndex(drive()->count() - 1);
        QVERIFY2(messages.size() == 1 &&
                     messages.first().startsWith("Select ban file to examine: The drive " +
                                                 QDir::toNativeSeparators("/mirewatch-no-such-drive ")),
                 qPrintable(messages.join('|')));
        QCOMPARE(drive()->currentIndex(), first);
        QCOMPARE(canonical(form->currentPath()), canonical(dir.path()));
    }

    // The directories and files of the directory shown, hidden ones left out. It opens in the chosen ban file's
    // directory; with none chosen (here) or its directory gone, in the current directory. The path field shows it.
    void directoryAndFileLists() {
        QCOMPARE(canonical(form->currentPath()), canonical(dir.path()));
        QCOMPARE(texts(directories()), (QStringList{QDir::toNativeSeparators(form->currentPath()), "..", "logs"}));
        QCOMPARE(texts(files()), (QStringList{"Network Banlog.txt", "Zone Banlog.txt"}));
        enter(QStringLiteral("logs"));
        QCOMPARE(canonical(form->currentPath()), canonical(dir.filePath(QStringLiteral("logs"))));
        QCOMPARE(texts(directories()).mid(1), (QStringList{"..", "old"}));
        QCOMPARE(texts(files()), QStringList{"inner.txt"});
        enter(QStringLiteral("old"));
        QCOMPARE(texts(files()), QStringList{});
        enter(QStringLiteral(".."));
        QCOMPARE(texts(files()), QStringList{"inner.txt"});
        for (const auto& [chosen, start] : {std::pair{"logs/old/x.txt", "logs/old"}, {"gone/x.txt", "."}}) {
            Declares::BanFilePath = QFile::encodeName(dir.filePath(chosen)).toStdString();
            open();
            QCOMPARE(canonical(form->currentPath()), canonical(dir.filePath(start)));
            QCOMPARE(typed() ? typed()->text() : QString(), QDir::toNativeSeparators(form->currentPath()));
        }
        QVERIFY(messages.isEmpty());
    }

    // A click, Enter or Space stores the file's path in Config.ini, where a fresh main window finds it, and the chooser
    // stays open for another choice. When Config.ini cannot be written (a directory here, whoever runs the test), the
    // path is still used for this run and the message says it is not saved.
    void choosingAFileStoresItsPath() {
        const QString top = form->currentPath();
        const std::tuple<const char*, const char*, const char*, Qt::Key> choices[] = {
            {"", "Zone Banlog.txt", "/Zone Banlog.txt", Qt::Key_unknown}, // a click
            {"logs", "inner.txt", "/logs/inner.txt", Qt::Key_Return},
            {"..", "Network Banlog.txt", "/Network Banlog.txt", Qt::Key_Space}, // Config.ini a directory
        };
        for (int i = 0; i < 3; ++i) {
            const auto& [directory, name, below, key] = choices[i];
            const bool saved = i < 2;
            if (*directory)
                enter(directory);
            if (!saved)
                QVERIFY(QFile::remove(configPath) && QDir().mkpath(configPath));
            messages.clear();
            if (key == Qt::Key_unknown) {
                click(files(), name);
            } else {
                files()->setCurrentItem(files()->findItems(name, Qt::MatchExactly).value(0));
                QTest::keyClick(files(), key);
            }
            const QString path = QDir::toNativeSeparators(top + below);
            QCOMPARE(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)), path);
            QVERIFY(form->isVisible());
            QCOMPARE(messages.size(), 1);
            if (saved) {
                QCOMPARE(messages.first(), "Ban file path: File path to ban file set\n\n" + path); // names the file
                Declares::BanFilePath.clear();
                MainForm fresh; // reads the stored path at start
                QCOMPARE(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)), path);
            } else {
                const QString notSaved =
                    QStringLiteral(
                        "Ban file path: File path to ban file set for this run only.\n\nIt could not be saved in %1: ")
                        .arg(configPath);
                QVERIFY2(messages.first().startsWith(notSaved), qPrintable(messages.first()));
                QVERIFY(BanHandle::LoadBanFile().ok());
                // At the next start the main window says what is wrong with the settings file, and where it is.
                MainForm fresh;
                QTRY_COMPARE(messages.size(), 2);
                QVERIFY2(messages.last().startsWith("Mirewatch: The settings file " + configPath + " cannot be read: "),
                         qPrintable(messages.last()));
                // So does a window that then finds no ban file.
                showLoadOutcome(nullptr, BanHandle::LoadBanFile());
                QVERIFY2(messages.last().startsWith("Mirewatch: No ban file is known: The settings file " + configPath +
                                                    " cannot be read: "),
                         qPrintable(messages.last()));
            }
        }
    }

    // Escape closes the Drive list when it is open, and the chooser only when it is not. Keys go to the windows, as
    // the window system delivers them.
    void escapeClosesTheDriveListFirst() {
        prepareWindow(form.get(), WindowRole::Ordinary);
        showActive(form.get());
        drive()->setFocus();
        drive()->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(form->isVisible());
        form->windowHandle()->requestActivate(); // the offscreen platform leaves the focus on the closed list
        QTRY_COMPARE(QGuiApplication::focusWindow(), form->windowHandle());
        QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
        QVERIFY(!form->isVisible());
    }

    // A path typed or pasted into the path field, full or from the directory shown, in the platform's spelling, in
    // double quotes: Enter shows a directory, chooses a file as a click on it does (a hidden one too), and names a
    // path that is neither.
    void typedPath() {
        QVERIFY(typed());
        const QString top = form->currentPath();
        const std::tuple<QString, const char*, const char*, QString> cases[] = {
            // typed, directory shown, file chosen, message
            {"logs", "/logs", "", ""},
            {" \"" + QDir::toNativeSeparators(top + "/logs/old") + "\" ", "/logs/old", "", ""},
            {QDir::toNativeSeparators(top + "/logs/inner.txt"), "/logs", "/logs/inner.txt",
             "File path to ban file set"},
            {"../.hidden", "", "/.hidden", "File path to ban file set"},
            {"missing.txt", "", "", QDir::toNativeSeparators(top + "/missing.txt") + " cannot be found."},
        };
        for (const auto& [path, shown, chosen, message] : cases) {
            messages.clear();
            Declares::BanFilePath.clear();
            typed()->setText(path);
            QTest::keyClick(typed(), Qt::Key_Return);
            QCOMPARE(form->currentPath(), top + shown);
            QCOMPARE(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)),
                     *chosen ? QDir::toNativeSeparators(top + chosen) : QString());
            QVERIFY2(message.isEmpty() ? messages.isEmpty() : messages.size() == 1 && messages[0].contains(message),
                     qPrintable(path + ": " + messages.join('|')));
        }
    }

    // At the root the separator is not doubled, and the file is found.
    void fileAtTheRoot() {
        QFile rootFile(QDir::rootPath() +
                       QStringLiteral("mirewatch-chooser-%1.txt").arg(QCoreApplication::applicationPid()));
        if (!rootFile.open(QIODevice::WriteOnly) || rootFile.write("line at the root\r\n") < 0)
            QSKIP("the root directory is not writable for this user");
        rootFile.close();
        const auto removeRootFile = qScopeGuard([&] { rootFile.remove(); });
        QVERIFY(QDir::setCurrent(QDir::rootPath()));
        open();
        click(files(), QFileInfo(rootFile).fileName());
        QCOMPARE(QFile::decodeName(QByteArray::fromStdString(Declares::BanFilePath)),
                 QDir::toNativeSeparators(rootFile.fileName()));
        QVERIFY(BanHandle::LoadBanFile().ok());
        QCOMPARE(QByteArray::fromStdString(Declares::BanFileLines[2]), QByteArray("line at the root"));
    }
};

QTEST_MAIN(TestChooser)
#include "test_chooser.moc"
