// Runs the stand-in game (or a recorder window) as a child process and reads what it received.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <stdexcept>

class StandIn {
public:
    // Starts the program with the given options, adding --transcript, --logs, --ready and --stamps, and waits
    // until the window manager has taken its window on (or, with --steal-focus, it holds the focus).
    explicit StandIn(QStringList options) {
        if (!dir_.isValid()) {
            throw std::runtime_error("no temporary directory");
        }
        options << "--transcript" << transcriptPath() << "--logs" << dir_.path() << "--ready" << readyPath()
                << "--stamps" << stampsPath();
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral(STAND_IN_GAME), options);
        if (!process_.waitForStarted(5000)) {
            throw std::runtime_error("the stand-in game did not start");
        }
        const QDeadlineTimer deadline(10000);
        while (!QFile::exists(readyPath())) {
            if (deadline.hasExpired() || process_.state() != QProcess::Running) {
                throw std::runtime_error("the stand-in game's window did not come up");
            }
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
    }
    ~StandIn() { close(); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Ends the program as the user closing the game would.
    void close() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
    }

    QString transcriptPath() const { return dir_.filePath("transcript.txt"); }
    QString readyPath() const { return dir_.filePath("ready"); }
    // One CLOCK_MONOTONIC time in nanoseconds per typed line, when the game handled it.
    QString stampsPath() const { return dir_.filePath("stamps.txt"); }
    QString logPath(const QString& name) const { return dir_.filePath(name); }

    // The lines typed so far (or, for a recorder, the keys received).
    QList<QByteArray> transcript() const {
        QFile f(transcriptPath());
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        QList<QByteArray> lines = f.readAll().split('\n');
        lines.removeLast(); // after the last newline
        return lines;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};
