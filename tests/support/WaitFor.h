#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

// Runs the event loop until done() holds or ms have passed; returns done().
inline bool waitFor(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Lets the event loop run for ms.
inline void pause(int ms) {
    waitFor([] { return false; }, ms);
}
