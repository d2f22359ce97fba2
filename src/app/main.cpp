#include "CaptureForm.h"
#include "CommandLineHelp.h"
#include "Dm.h"
#include "Log.h"
#include "Plaque.h"
#include "PlatformCheck.h"
#include "PluginExaminer.h"
#include "PluginGuard.h"
#include "QtFrench.h"
#include "RaccourcisForm.h"
#include "SingleInstance.h"
#include "VidorraElements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gst/gst.h>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
// SIGTERM and SIGINT close the program as "Quitter" does, from the event loop: the handler
// only writes one byte that the loop reads.
int g_signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[0], &byte, 1);
}

// Whoever asks the program to end this way expects it gone within seconds. Should a part of
// the close hang (a device that does not let go), the process ends all the same: a
// recording left unfinished then is repaired from the journal at the next start. The
// longest end a recording may take comes first, and 10 s for the rest of the close.
void closeWithinSeconds(TCaptureForm& form) {
    static std::once_flag watchdog;
    std::call_once(watchdog, [] {
        const int limitMs = Tdm::longestEndMs() + 10000;
        std::thread([limitMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(limitMs));
            std::fprintf(stderr, "vidorra: the close did not end in %d s, the program stops\n",
                         limitMs / 1000);
            _exit(1);
        }).detach();
    });
    form.closeWithoutQuestion();
}

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Without a platform to show on (no X11 or Wayland display, as under cron), Qt would abort;
// say why instead.
bool haveDisplay(const QStringList& arguments) {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           arguments.contains(QLatin1String("-platform")) ||
           arguments.contains(QLatin1String("--platform"));
}
} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    // The helper that searches the plug-in folder for the program: no bus, no display.
    if (argc > 1 && std::strcmp(argv[1], kExaminerOption) == 0)
        return RunPluginExaminer(argc, argv);
    // The program's own options come first, before anything starts: no display, no
    // GStreamer, no window.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ProgramOptions options = ParseProgramOptions(arguments);
    if (options.help) {
        print(stdout, CommandLineHelp());
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("Vidorra %1\n").arg(QLatin1String(VIDORRA_VERSION)));
        return 0;
    }
    // A program already open in the session takes the command line and this start ends.
    if (!options.newInstance) {
        SingleInstance::findSessionBus();
        QString error;
        switch (SingleInstance::handOver(options.commands, &error)) {
        case SingleInstance::HandOver::Done:
            return 0;
        case SingleInstance::HandOver::Failed:
            print(stderr, QStringLiteral("vidorra : Vidorra est déjà ouvert dans la session mais "
                                         "n'a pas pris les commandes (%1)\n")
                              .arg(error));
            return 1;
        case SingleInstance::HandOver::NoProgram:
            break;
        }
    }
    if (!haveDisplay(arguments)) {
        print(stderr,
              QStringLiteral("vidorra : aucun écran pour afficher la fenêtre (ni DISPLAY ni "
                             "WAYLAND_DISPLAY)%1\n")
                  .arg(options.newInstance
                           ? QString()
                           : QStringLiteral(", et aucun Vidorra ouvert dans la session "
                                            "pour recevoir les commandes")));
        return 1;
    }

    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidorra"));
    QApplication::setApplicationVersion(QStringLiteral(VIDORRA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Ardoval"));
    InstallQtFrench(app);

    if (!PlatformCheck::checkRuntime())
        return 1;
    vidorraRegisterStatic();
    // A plug-in that stopped the last run is set aside before anything loads it again.
    for (const QString& notice : PluginGuard::CollectLeftovers())
        addUserNotice(notice);
    PluginGuard::InstallCrashHandler();

    // The name on the session bus, taken before the windows are made, so that a start
    // meanwhile hands its command line over: it waits for this one's start-up.
    TInstanceService instance;
    if (!options.newInstance &&
        instance.registerOnSessionBus() == TInstanceService::Registration::NameTaken &&
        SingleInstance::handOver(options.commands) == SingleInstance::HandOver::Done)
        return 0; // another start took the name first

    // The four windows, in this order; all live until the process ends.
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    if (qEnvironmentVariableIsSet("VIDORRA_EXIT_AT_FIRST_FRAME")) {
        // For the start-up benchmark: the time to the first previewed picture, then out.
        dm.onVideoSample = [inner = dm.onVideoSample, sinceStart](GstSample* sample) {
            static std::atomic<bool> seen{false};
            inner(sample);
            if (!seen.exchange(true)) {
                std::printf("first-frame-ms %lld\n", static_cast<long long>(sinceStart.elapsed()));
                std::fflush(stdout);
                _exit(0);
            }
        };
    }
    form.setCommandLine(ParseProgramOptions(app.arguments().mid(1)).commands);
    instance.setReceiver(
        [&form](const QStringList& commands) { form.receiveCommandLine(commands); });

    std::unique_ptr<QSocketNotifier> terminate;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        terminate = std::make_unique<QSocketNotifier>(g_signalPipe[1], QSocketNotifier::Read);
        QObject::connect(terminate.get(), &QSocketNotifier::activated, &form, [&form] {
            char byte;
            [[maybe_unused]] const auto n = ::read(g_signalPipe[1], &byte, 1);
            closeWithinSeconds(form);
        });
        struct sigaction action {};
        action.sa_handler = onTerminate;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    // The session's end closes the program the same way.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { closeWithinSeconds(form); });
    form.show();
    const int code = app.exec();
    // The window is closed: a new start is a program of its own while this one ends.
    instance.unregister();
    return code;
}
