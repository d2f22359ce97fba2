// The sources tests need GStreamer and the program's elements; no display is used.
#include "PluginGuard.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The plug-ins' cache and crash markers of these tests stay theirs.
    QTemporaryDir own;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(own.filePath("cache")));
    PluginGuard::SetFolder(own.filePath("donnees"));
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    if (!vidorraRegisterStatic())
        return 1;
    return RUN_ALL_TESTS();
}
