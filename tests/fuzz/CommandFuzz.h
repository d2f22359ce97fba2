#pragma once

#include "CommandRunner.h"
#include "FuzzSupport.h"
#include "SuperAction.h"

#include <QGuiApplication>

// An action list shaped like the main window's (plain and toggle actions, an auto-checking
// one, a disabled one, names shared by switch and token), whose handlers do what the
// program's may do to the runner that calls them: read the arguments, stop the list, parse
// and run another list on the same runner.
namespace fuzz {

class CommandBench {
public:
    TtoggleAction fullScreen, freezeCapture;
    TSuperAction formatCapture, sourceVideo, grab, vertFlip, disabled, stop, again;
    TScript runner;
    int handlers = 0;
    int depth = 0;
    QStringList nested; // what the "again" action parses

    CommandBench() {
        name(fullScreen, "fs", "full_screen");
        fullScreen.OnfalseExecute = [this](QObject*) {
            fullScreen.SetChecked(true);
            count();
        };
        fullScreen.OnTrueExecute = [this](QObject*) {
            fullScreen.SetChecked(false);
            count();
        };
        name(freezeCapture, "fc", "freeze_capture");
        freezeCapture.AutoCheck = true;
        freezeCapture.OnfalseExecute = freezeCapture.OnTrueExecute = [this](QObject*) { count(); };
        name(formatCapture, "fc", "format_capture");
        formatCapture.Onexecute = [this](QObject*) { count(); };
        name(sourceVideo, "sv", "source_video");
        sourceVideo.Onexecute = [this](QObject*) { count(); };
        name(grab, "g", "grab");
        grab.Onexecute = [this](QObject*) { count(); };
        name(vertFlip, "vf", "vertical_flip");
        vertFlip.AutoCheck = true;
        vertFlip.Onexecute = [this](QObject*) { count(); };
        name(disabled, "d", "disabled");
        disabled.Onexecute = [](QObject*) { FUZZ_CHECK(!"a disabled action ran"); };
        disabled.setEnabled(false);
        name(stop, "x", "stop");
        stop.Onexecute = [this](QObject*) { runner.abort(); };
        name(again, "r", "run_again");
        again.Onexecute = [this](QObject*) {
            if (depth >= 2)
                return;
            ++depth;
            runner.ParseCommandLine(nested);
            runner.RunCommands();
            --depth;
        };
        runner.actionlist = {&fullScreen, &freezeCapture, &formatCapture, &sourceVideo, &grab,
                             &vertFlip,   &disabled,      &stop,          &again};
        runner.closeMainWindow = [] {};
    }

    // Every command names an action of the list with a known mode.
    void CheckCommands() const {
        for (const TActionEx& c : runner.commands()) {
            FUZZ_CHECK(c.action && runner.actionlist.contains(c.action));
            FUZZ_CHECK(c.mode >= TActionEx::Set && c.mode <= TActionEx::Plain);
        }
    }

private:
    static void name(TCustomSuperAction& a, const char* sw, const char* token) {
        a.setSwitch(QLatin1String(sw));
        a.setToken(QLatin1String(token));
    }
    void count() {
        ++handlers;
        FUZZ_CHECK(ActionArguments().size() == 1);
    }
};

inline void CommandSetup() {
    QuietLogs();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vidorra";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the fuzzer ends the process from inside its loop.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

} // namespace fuzz
