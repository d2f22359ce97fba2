#include "CaptureFormats.h"

#include <gtest/gtest.h>

TEST(CaptureFormats, SoundRates) {
    EXPECT_EQ(FrequenceFromLabel("natif"), 0);
    EXPECT_EQ(FrequenceFromLabel("44100"), 2);
    EXPECT_EQ(FrequenceFromLabel("22050"), 0);
    EXPECT_EQ(AudioRateOfFrequenceDV(0), 44100);
    EXPECT_EQ(AudioRateOfFrequenceDV(1), 32000);
    EXPECT_EQ(AudioRateOfFrequenceDV(2), 44100);
    EXPECT_EQ(AudioRateOfFrequenceDV(3), 48000);
}
