#pragma once

#include "CaptureForm.h"
#include "Dm.h"
#include "Plaque.h"
#include "RaccourcisForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

// The four windows of a running program, as the process entry makes them.
struct ProgramUnderTest {
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    ProgramUnderTest() { form.attachModules(&dm, &plaque, &raccourcis); }

    // Lets the event loop run until done (start-up, a command line, a closed window).
    bool runUntil(const std::function<bool()>& done, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
};
