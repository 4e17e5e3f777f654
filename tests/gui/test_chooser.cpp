// The ban file chooser: its drive, directory and file lists and the store sequence.
#include "API.h"
#include "BanHandle.h"
#include "BanPathForm.h"
#include "Declares.h"
#include "Messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

namespace {

struct Message {
    QString title;
    QString text;
};

QStringList texts(const QListWidget* list) {
    QStringList found;
    for (int i = 0; i < list->count(); ++i) {
        found.append(list->item(i)->text());
    }
    return found;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Clicks the entry with the text, or double-clicks it (a click first, as a user's double click begins).
void click(QListWidget* list, const QString& text, bool twice = false) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(text));
    list->scrollToItem(found.first());
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
}

} // namespace

class TestChooser : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString startDirectory;
    QString configPath;
    std::optional<QByteArray> savedConfig;
    QList<Message> messages;
    std::unique_ptr<BanPathForm> form;
    QComboBox* drive = nullptr;
    QListWidget* directories = nullptr;
    QListWidget* files = nullptr;

    // Builds the window fresh, as opening it does.
    void open() {
        form = std::make_unique<BanPathForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        drive = form->findChild<QComboBox*>(QStringLiteral("BanDrive"));
        directories = form->findChild<QListWidget*>(QStringLiteral("BanPath"));
        files = form->findChild<QListWidget*>(QStringLiteral("ChooseBanFileName"));
        QVERIFY(drive && directories && files);
    }

    void removeConfig() {
        QVERIFY(QFileInfo(configPath).isDir() ? QDir(configPath).removeRecursively()
                                              : !QFile::exists(configPath) || QFile::remove(configPath));
    }

    QString canonical(const QString& path) const { return QFileInfo(path).canonicalFilePath(); }

    void enter(const QString& directory) { click(directories, directory, true); }

    QByteArray configContent() const {
        QFile config(configPath);
        return config.open(QIODevice::ReadOnly) ? config.readAll() : QByteArray("<no Config.ini>");
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        startDirectory = QDir::currentPath();
        configPath = QString::fromStdString(API::ConfigFilePath());
        QFile config(configPath);
        if (QFileInfo(configPath).isFile() && config.open(QIODevice::ReadOnly)) {
            savedConfig = config.readAll();
        }
        Messages::setHandler([this](const QString& title, const QString& text) { messages.append({title, text}); });

        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("logs/old")));
        writeFile(dir.filePath(QStringLiteral("Zone Banlog.txt")), "  #12 a\r\n");
        writeFile(dir.filePath(QStringLiteral("Network Banlog.txt")), "chat\r\n");
        writeFile(dir.filePath(QStringLiteral(".hidden")), "");
        writeFile(dir.filePath(QStringLiteral("logs/inner.txt")), "inner\r\n");
    }

    void cleanupTestCase() {
        removeConfig();
        if (savedConfig) {
            writeFile(configPath, *savedConfig);
        }
        Messages::setHandler({});
    }

    void init() {
        messages.clear();
        Declares::BanFilePath = "before";
        removeConfig();
        QVERIFY(QDir::setCurrent(dir.path()));
        open();
    }

    void cleanup() {
        form.reset();
        QDir::setCurrent(startDirectory);
        removeConfig();
    }

    void offersMountedDrives() {
        QStringList drives;
        for (int i = 0; i < drive->count(); ++i) {
            drives.append(drive->itemText(i));
        }
        QCOMPARE(drives.first(), QStringLiteral("/"));
        QVERIFY(drives.contains(QStorageInfo(QDir::homePath()).rootPath()));
        QVERIFY2(!drives.contains(QStringLiteral("/proc")) && !drives.contains(QStringLiteral("/sys")),
                 qPrintable(drives.join(' ')));
        QCOMPARE(drive->currentText(), QStorageInfo(dir.path()).rootPath());
    }

    // Starts at the current directory, also when opened again after moving elsewhere.
    void directoryAndFileLists() {
        for (int opening = 0; opening < 2; ++opening) {
            QCOMPARE(canonical(form->currentPath()), canonical(dir.path()));
            QCOMPARE(texts(directories), (QStringList{form->currentPath(), "..", "logs"}));
            QCOMPARE(texts(files), (QStringList{".hidden", "Network Banlog.txt", "Zone Banlog.txt"}));
            enter(QStringLiteral("logs"));
            QCOMPARE(canonical(form->currentPath()), canonical(dir.filePath(QStringLiteral("logs"))));
            QCOMPARE(texts(directories).mid(1), (QStringList{"..", "old"}));
            QCOMPARE(texts(files), QStringList{"inner.txt"});
            enter(QStringLiteral("old"));
            QCOMPARE(texts(files), QStringList{});
            enter(QStringLiteral(".."));
            QCOMPARE(texts(files), QStringList{"inner.txt"});
            Declares::BanFilePath = QFile::encodeName(dir.filePath(QStringLiteral("logs/old/x.txt"))).toStdString();
            open();
        }
        QVERIFY(messages.isEmpty());
    }

    void unreadableDriveKeepsThePrevious() {
        const int before = drive->currentIndex();
        const QString path = form->currentPath();
        drive->addItem(QStringLiteral("/mirewatch-no-such-drive"), QStringLiteral("/mirewatch-no-such-drive"));
        drive->setCurrentIndex(drive->count() - 1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().title, QStringLiteral("Select ban file to examine"));
        QVERIFY2(messages.first().text.contains(QStringLiteral("/mirewatch-no-such-drive")),
                 qPrintable(messages.first().text));
        QCOMPARE(drive->currentIndex(), before);
        QCOMPARE(form->currentPath(), path);
        QCOMPARE(texts(files).size(), 3);
    }

    // Each click stores the path composed with its separator in Config.ini, replacing the earlier one.
    void choosingAFileStoresItsPath() {
        for (const char* name : {"Zone Banlog.txt", "inner.txt"}) {
            if (files->findItems(name, Qt::MatchExactly).isEmpty()) { // the second one lies in logs
                enter(QStringLiteral("logs"));
            }
            click(files, name);
            const QByteArray expected = QFile::encodeName(form->currentPath() + '/' + name);
            QCOMPARE(QByteArray::fromStdString(Declares::BanFilePath), expected);
            QCOMPARE(configContent(), "[Ban file path]\r\nPath=" + expected + "\r\n");
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages.first().title, QStringLiteral("Ban file path"));
            QCOMPARE(messages.takeFirst().text, QStringLiteral("File path to ban file set"));
            QVERIFY(form->isVisible()); // the window stays open for another choice
        }
    }

    // Config.ini is a directory here, so the save fails whoever runs the test.
    void failedSaveIsNotConfirmed() {
        QVERIFY(QDir().mkpath(configPath));
        click(files, QStringLiteral("Network Banlog.txt"));
        const QByteArray expected = QFile::encodeName(form->currentPath() + QStringLiteral("/Network Banlog.txt"));
        QCOMPARE(QByteArray::fromStdString(Declares::BanFilePath), expected); // still used for this run
        QVERIFY(BanHandle::LoadBanFile().ok());
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().title, QStringLiteral("Ban file path"));
        const API::WriteOutcome outcome = API::WriteConfigValue("Ban file path", "Path", "x");
        QVERIFY(!outcome.stored);
        const QString text =
            QStringLiteral("File path to ban file set for this run only.\n\nIt could not be saved in %1: %2");
        QCOMPARE(messages.first().text, text.arg(configPath, QString::fromLocal8Bit(outcome.reason.c_str())));
    }

    // At the root the separator is not doubled, and the file is found.
    void fileAtTheRoot() {
        const QString name = QStringLiteral("mirewatch-chooser-%1.txt").arg(QCoreApplication::applicationPid());
        QFile rootFile(QStringLiteral("/") + name);
        if (!rootFile.open(QIODevice::WriteOnly)) {
            QSKIP("the root directory is not writable for this user");
        }
        rootFile.write("line at the root\r\n");
        rootFile.close();
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        open();
        click(files, name);
        const std::string stored = Declares::BanFilePath;
        const bool loaded = BanHandle::LoadBanFile().ok();
        rootFile.remove();
        QCOMPARE(QByteArray::fromStdString(stored), "/" + name.toLatin1());
        QCOMPARE(messages.size(), 1);
        QVERIFY(loaded);
        QCOMPARE(QByteArray::fromStdString(Declares::BanFileLines[2]), QByteArray("line at the root"));
    }
};

QTEST_MAIN(TestChooser)
#include "test_chooser.moc"
