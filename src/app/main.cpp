#include "CaptureForm.h"
#include "Dm.h"
#include "Plaque.h"
#include "PlatformCheck.h"
#include "RaccourcisForm.h"
#include "VidorraElements.h"

#include <QApplication>
#include <gst/gst.h>

int main(int argc, char** argv) {
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
    form.setCommandLine(app.arguments().mid(1));
    form.show();
    return app.exec();
}
