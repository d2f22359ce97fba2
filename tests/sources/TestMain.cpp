// The sources tests need GStreamer and the program's elements; no display is used.
#include "VidorraElements.h"

#include <QCoreApplication>
#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    if (!vidorraRegisterStatic())
        return 1;
    return RUN_ALL_TESTS();
}
