#include "VidorraElements.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
