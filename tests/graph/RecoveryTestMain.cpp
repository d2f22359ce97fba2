// The repair tests make their material with GStreamer and the program's own elements.
#include "VidorraElements.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    gst_init(&argc, &argv);
    if (!vidorraRegisterStatic())
        return 1;
    return RUN_ALL_TESTS();
}
