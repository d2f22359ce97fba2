#include "CaptureFormats.h"

#include <gtest/gtest.h>

TEST(CaptureFormats, LabelsAndParsing) {
    EXPECT_EQ(CaptureFormatLabel(0), QString());
    EXPECT_EQ(CaptureFormatLabel(6), QString("dv type 2 (recomp)"));
    EXPECT_EQ(CaptureFormatShortLabel(6), QString("dv2 rec"));
    EXPECT_EQ(CaptureFormatShortLabel(3), QString("natif"));
    EXPECT_EQ(CaptureFormatLabel(10), QString("défaut"));
    // Only the low 7 bits select the row; anything past the table is "défaut".
    EXPECT_EQ(CaptureFormatLabel(0x80 | 7), QString("Wmv"));
    EXPECT_EQ(CaptureFormatLabel(13), QString("défaut"));
    EXPECT_EQ(CaptureFormatShortLabel(127), QString("défaut"));

    for (uint8_t v : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12})
        EXPECT_EQ(CaptureFormatFromLabel(CaptureFormatLabel(v)), v) << int(v);
    EXPECT_EQ(CaptureFormatFromLabel("Aucun"), 0);
    EXPECT_EQ(CaptureFormatFromLabel(""), 10); // the empty label of 0 does not parse back
    EXPECT_EQ(CaptureFormatFromLabel("WMV"), 10);

    EXPECT_EQ(FrequenceFromLabel("natif"), 0);
    EXPECT_EQ(FrequenceFromLabel("44100"), 2);
    EXPECT_EQ(FrequenceFromLabel("22050"), 0);
    EXPECT_EQ(AudioRateOfFrequenceDV(0), 44100);
    EXPECT_EQ(AudioRateOfFrequenceDV(1), 32000);
    EXPECT_EQ(AudioRateOfFrequenceDV(2), 44100);
    EXPECT_EQ(AudioRateOfFrequenceDV(3), 48000);
}
