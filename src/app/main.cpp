#include "CaptureForm.h"
#include "Dm.h"
#include "Plaque.h"
#include "PlatformCheck.h"
#include "RaccourcisForm.h"
#include "VidorraElements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
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
// recording left unfinished then is repaired from the journal at the next start.
void closeWithinSeconds(TCaptureForm& form) {
    static std::once_flag watchdog;
    std::call_once(watchdog, [] {
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            std::fputs("vidorra: the close did not end in 10 s, the program stops\n", stderr);
            _exit(1);
        }).detach();
    });
    form.closeWithoutQuestion();
}
} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidorra"));
    QApplication::setApplicationVersion(QStringLiteral(VIDORRA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Ardoval"));

    if (!PlatformCheck::checkRuntime())
        return 1;
    vidorraRegisterStatic();

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
    form.setCommandLine(app.arguments().mid(1));

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
    return app.exec();
}
