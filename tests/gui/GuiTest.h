// Helpers shared by the window tests.
#pragma once

#include "API.h"
#include "Declares.h"
#include "Messages.h"

#include <QtTest>
#include <QtWidgets>

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Chooses the file in the directory as the ban file (an empty name: none) and writes the bytes to it unless they
// are null.
inline void useBanFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes = {}) {
    if (!name.isEmpty() && !bytes.isNull())
        writeFile(dir.filePath(name), bytes);
    Declares::BanFilePath = name.isEmpty() ? std::string() : QFile::encodeName(dir.filePath(name)).toStdString();
}

// An entry line in the ban list's column layout, banned by "Mod".
inline QByteArray entry(const QByteArray& name, const QByteArray& mid = "m") {
    return "  #50  xxxxxx2    Mod          2004-05-12 14:22:11 ab1 192.168.7.70, mid:" + mid + ' ' + name;
}

// A ban file holding the entry lines; its first and last lines are never entries.
inline QByteArray banFile(const QList<QByteArray>& entries) {
    return "Log opened\r\n" + entries.join("\r\n") + "\r\nLog closed\r\n";
}

// The texts of a list's entries, in order; nothing when there is no list.
inline QStringList texts(const QListView* list) {
    QStringList found;
    for (int row = 0; list && row < list->model()->rowCount(); ++row)
        found.append(list->model()->index(row, list->modelColumn()).data().toString());
    return found;
}

// Shows the window and waits until it takes the keys: shortcuts act only in the active window.
inline void showActive(QWidget* window) {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// Takes every message box while it lives, as "title: text".
struct RecordedMessages : QStringList {
    RecordedMessages() {
        Messages::setHandler([this](const QString& title, const QString& text) { append(title + ": " + text); });
    }
    ~RecordedMessages() { Messages::setHandler({}); }
};

// Puts Config.ini back as it was (or removes it) when the test ends.
struct KeptConfig {
    // Read and closed at once: on Windows a file held open cannot be replaced, and the tests write it.
    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString path = QString::fromStdString(API::ConfigFilePath());
    QByteArray bytes = contentOf(path);
    ~KeptConfig() {
        QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
        if (!bytes.isNull())
            writeFile(path, bytes);
    }
};
