#include "VidorraElements.h"

#include <QApplication>
#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test binaries may run without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
