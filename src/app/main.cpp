#include "CaptureForm.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidorra"));
    QApplication::setOrganizationName(QStringLiteral("Ardoval"));
    TCaptureForm form;
    form.show();
    return app.exec();
}
