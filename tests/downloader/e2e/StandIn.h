// Runs the stand-in game (or a recorder window) as a child process and reads what it received.
#pragma once

#include "ChildProgram.h"

#include <QtCore>

#include <stdexcept>

class StandIn {
public:
    // Starts the program for a window titled as the command line's text up to the first " --", with the options that
    // follow ("Continuum 1.0 --iconic"), adding --transcript, --logs, --ready, --stamps and --focus-log, and waits
    // until the window can be found and activated (or, with --steal-focus, it holds the focus).
    explicit StandIn(const QString& commandLine) {
        QStringList parts = commandLine.split(" --");
        QStringList options{"--title", parts.takeFirst()};
        for (const QString& option : parts) {
            options += ("--" + option).split(' ');
        }
        const QString ready = dir_.filePath("ready");
        options << "--transcript" << logPath("transcript.txt") << "--logs" << dir_.path() << "--ready" << ready
                << "--stamps" << stampsPath() << "--focus-log" << logPath("focus.txt");
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral(STAND_IN_GAME), options);
        process_.waitForStarted(5000); // if it did not start, the wait below fails at once
        const QDeadlineTimer deadline(10000);
        while (!QFile::exists(ready)) {
            if (deadline.hasExpired() || process_.state() != QProcess::Running) {
                close();
                throw std::runtime_error("the stand-in game's window did not come up");
            }
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
    }
    ~StandIn() { close(); }

    // Ends the program as the user closing the game would, or kills it if it does not end.
    void close() { child_program::end(process_, 5000); }

    // One steady-clock time in nanoseconds per typed line, when the game handled it.
    QString stampsPath() const { return dir_.filePath("stamps.txt"); }
    QString logPath(const QString& name) const { return dir_.filePath(name); }

    // The lines typed so far (or, for a recorder, the keys received).
    QList<QByteArray> transcript() const { return linesOf("transcript.txt"); }
    // When the window lost and took the focus, retitled itself or let the focus go (one "what time..." a line).
    QList<QByteArray> focusLog() const { return linesOf("focus.txt"); }

private:
    QList<QByteArray> linesOf(const QString& name) const {
        QFile f(logPath(name));
        QList<QByteArray> lines = f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>{""};
        lines.removeLast(); // after the last newline
        return lines;
    }

    QTemporaryDir dir_;
    QProcess process_;
};
