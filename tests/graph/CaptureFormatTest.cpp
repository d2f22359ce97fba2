#include "CaptureFormat.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(CaptureFormat, LabelsParseBackAndUnknownValuesAreDefault) {
    EXPECT_EQ(CaptureFormatLabel(0), QString());
    EXPECT_EQ(CaptureFormatShortLabel(0), QString());
    EXPECT_EQ(CaptureFormatLabel(6), QString("dv type 2 (recomp)"));
    EXPECT_EQ(CaptureFormatShortLabel(6), QString("dv2 rec"));
    EXPECT_EQ(CaptureFormatShortLabel(3), QString("natif"));
    EXPECT_EQ(CaptureFormatLabel(10), QString("défaut"));
    // Only the low 7 bits name the format; anything unknown is "défaut".
    EXPECT_EQ(CaptureFormatLabel(0x80 | 7), QString("Wmv"));
    EXPECT_EQ(CaptureFormatLabel(13), QString("défaut"));
    EXPECT_EQ(CaptureFormatShortLabel(127), QString("défaut"));

    for (uint8_t v : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12})
        EXPECT_EQ(CaptureFormatFromLabel(CaptureFormatLabel(v)), v) << int(v);
    EXPECT_EQ(CaptureFormatFromLabel("Aucun"), 0);
    EXPECT_EQ(CaptureFormatFromLabel(""), 10); // the empty label of 0 does not parse back
    EXPECT_EQ(CaptureFormatFromLabel("WMV"), 10);
    // A person may type any case; "Aucun" and "défaut" are names too.
    EXPECT_EQ(CaptureFormatFromTypedName(" WMV "), std::optional<uint8_t>(cfWmv));
    EXPECT_EQ(CaptureFormatFromTypedName("aucun"), std::optional<uint8_t>(cfNone));
    EXPECT_EQ(CaptureFormatFromTypedName("DÉFAUT"), std::optional<uint8_t>(cfDefault));
    EXPECT_EQ(CaptureFormatFromTypedName("h264"), std::nullopt);
    const QStringList names = CaptureFormatNames();
    EXPECT_EQ(names.size(), 13);
    EXPECT_EQ(names.first(), "Aucun");
    EXPECT_EQ(names.last(), "défaut");
}

TEST(CaptureFormat, ExtensionsByFormat) {
    const std::pair<uint8_t, const char*> table[] = {{cfNone, ".avi"},
                                                     {cfDvType1Native, ".avi"},
                                                     {cfDvType2Native, ".avi"},
                                                     {cfMpeg2Native, ".mpg"},
                                                     {cfMpeg1Native, ".mpg"},
                                                     {cfAviNative, ".avi"},
                                                     {cfDvType2Recompressed, ".avi"},
                                                     {cfWmv, ".wmv"},
                                                     {cfFrameByFrame, ".avi"},
                                                     {cfDivx, ".avi"},
                                                     {cfDefault, ".avi"},
                                                     {cfWav, ".wav"},
                                                     {cfMp3, ".mp3"},
                                                     {200, ".avi"}};
    for (auto [format, ext] : table)
        EXPECT_EQ(CaptureFormatExtension(format), QString::fromLatin1(ext)) << int(format);
}

// The list holds each stored value once, every descriptor builds, and the descriptors keep
// the rules the rest of the program asks of them.
TEST(CaptureFormat, DescriptorsAreWhole) {
    QSet<int> values;
    QSet<QString> labels;
    for (const TCaptureFormat* f : CaptureFormatList()) {
        SCOPED_TRACE(f->label);
        EXPECT_FALSE(values.contains(f->value));
        EXPECT_FALSE(labels.contains(QString::fromUtf8(f->label).toLower()));
        values << f->value;
        labels << QString::fromUtf8(f->label).toLower();
        EXPECT_NE(f->value, cfNone);
        EXPECT_NE(f->value, cfDefault);
        EXPECT_LT(f->value, 0x80);
        EXPECT_TRUE(f->build != nullptr);
        EXPECT_EQ(CaptureFormatOf(f->value), f);
        EXPECT_TRUE(QString::fromLatin1(f->extension).startsWith('.'));
        // A format without pictures says what it records in the status bar.
        if (f->streams == TFormatStreams::SoundOnly) {
            EXPECT_STRNE(f->statusText, "");
            EXPECT_EQ(f->lock.effects, TPreviewLock::Effects::Off);
        }
        // What the source gives as it comes carries no effects.
        if (f->offer == TFormatOffer::DeviceNative) {
            EXPECT_EQ(f->lock.effects, TPreviewLock::Effects::Off);
        }
    }
    EXPECT_EQ(values.size(), 11);
    EXPECT_TRUE(RecordsSoundOnly(cfWav) && RecordsSoundOnly(cfMp3 | 0x80));
    EXPECT_FALSE(RecordsSoundOnly(cfDivx) || RecordsSoundOnly(cfDefault));
    EXPECT_TRUE(RecordsImageByImage(cfFrameByFrame));
    EXPECT_EQ(CaptureFormatOf(cfDivx)->divxResizer, true);
    EXPECT_EQ(CaptureFormatOf(cfWmv)->container, TFormatContainer::Asf);
}
