// Waiting for a program a test started to end.
#pragma once

#include <QtCore>

namespace child_program {

// Waits at most `ms` milliseconds for the program to end and tells whether it has.
//
// The end is taken from QProcess's own exit notifier, through the event loop, and never reaped directly
// (QProcess::waitForFinished, or destroying a QProcess whose program still runs). Under Wine 8 the notifier's wait
// thread may wake on the program's end, then queue the notifier's callback after waitForFinished has reaped the
// program and freed the notifier: the callback posts an event to the freed object and crashes the test on a
// thread-pool thread. When the notifier reports the end itself, its callback has already run.
inline bool waitForEnd(QProcess& process, int ms) {
    if (process.state() == QProcess::NotRunning) {
        return true;
    }
    QEventLoop loop;
    QObject::connect(&process, &QProcess::stateChanged, &loop, [&loop](QProcess::ProcessState state) {
        if (state == QProcess::NotRunning) {
            loop.quit();
        }
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return process.state() == QProcess::NotRunning;
}

// Asks the program to close, as a user closing its window would, and kills it if it has not ended after `ms`
// milliseconds. Tells whether it has ended.
inline bool end(QProcess& process, int ms) {
    if (process.state() == QProcess::NotRunning) {
        return true;
    }
    process.terminate();
    if (waitForEnd(process, ms)) {
        return true;
    }
    process.kill();
    return waitForEnd(process, ms);
}

} // namespace child_program
