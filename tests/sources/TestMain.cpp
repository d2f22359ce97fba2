// The sources tests need GStreamer and the program's elements; no display is used.
#include "PluginExaminer.h"
#include "PluginGuard.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The plug-in folder is searched by a helper: this program, started again.
    if (argc > 1 && std::strcmp(argv[1], kExaminerOption) == 0)
        return RunPluginExaminer(argc, argv);
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
