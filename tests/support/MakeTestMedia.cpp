// Makes the virtual devices' clips in the tests' shared media folder once, before the tests
// that play them start (they would otherwise wait for it, each within its own time limit).
#include "VidorraElements.h"
#include "VirtualDevices.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <gst/gst.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    if (!vidorraRegisterStatic())
        return 1;
    qputenv("XDG_DATA_HOME", (QDir::tempPath() + "/vidorra-test-data").toUtf8());
    TVirtualDevices devices;
    devices.dvMaterial()->Ensure();
    devices.mpegMaterial()->Ensure();
    const bool dv = devices.dvMaterial()->WaitReady(300000);
    const bool mpeg = devices.mpegMaterial()->WaitReady(300000);
    std::printf("DV clip %s (%.1f s), MPEG clip %s (%.1f s)\n", dv ? "ready" : "FAILED",
                devices.dvMaterial()->generationSeconds(), mpeg ? "ready" : "FAILED",
                devices.mpegMaterial()->generationSeconds());
    return dv && mpeg ? 0 : 1;
}
