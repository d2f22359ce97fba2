#pragma once

#include "Dm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

// Lets the event loop run until no recording part is being ended or cut (the end of a part
// goes on in the event loop); false when ms passed first.
inline bool waitUntilIdle(Tdm& dm, int ms = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (dm.endingPart() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return !dm.endingPart();
}

// Ends the running recording part (after a cut under way) and waits until its file is
// finished; true when it got its end in time (or nothing was recording).
inline bool endPart(Tdm& dm, int ms = 60000) {
    bool complete = true;
    const QMetaObject::Connection told = QObject::connect(
        &dm, &Tdm::recordingPartFinished, [&complete](const QString&, bool ok) { complete = ok; });
    dm.EndRecordingPart();
    QElapsedTimer clock;
    clock.start();
    while ((dm.hasRecordingBranch() || dm.endingPart()) && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    QObject::disconnect(told);
    return complete && !dm.hasRecordingBranch() && !dm.endingPart();
}
