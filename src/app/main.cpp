#include "CaptureForm.h"
#include "Dm.h"
#include "Plaque.h"
#include "PlatformCheck.h"
#include "RaccourcisForm.h"
#include "VidorraElements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <gst/gst.h>
#include <unistd.h>

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidorra"));
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
    form.show();
    return app.exec();
}
