// The sound level meter's measures on the graph fed by the virtual sound source: what is
// recorded is measured whatever the monitoring does, about 15 times a second, and a source
// that reaches full scale lights the clip mark.
#include "Dm.h"
#include "EndPart.h"
#include "LevelMeter.h"
#include "RecordingRig.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct Levels {
    int count = 0;
    std::vector<double> peak, rms;
};

// Listens while context lives (the module outlives the test's variables, and tells that the
// sound went when it goes).
void listen(Tdm& dm, Levels& levels, QObject& context) {
    QObject::connect(&dm, &Tdm::audioLevels, &context,
                     [&levels](const std::vector<double>& peak, const std::vector<double>& rms) {
                         ++levels.count;
                         levels.peak = peak;
                         levels.rms = rms;
                     });
}

// The virtual source's own tone generator, inside its bin.
GstElement* toneOf(Tdm& dm) {
    GstIterator* it = gst_bin_iterate_recurse(dm.pipeline());
    GValue item = G_VALUE_INIT;
    GstElement* found = nullptr;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        if (g_strcmp0(GST_OBJECT_NAME(gst_element_get_factory(e)), "audiotestsrc") == 0)
            found = e; // the pipeline keeps it
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

void expectInRange(const Levels& levels) {
    ASSERT_EQ(levels.peak.size(), 2u); // stereo
    for (size_t i = 0; i < 2; ++i) {
        // A sine at a fifth of full scale: -14 dBFS peak, 3 dB less RMS.
        EXPECT_GT(levels.peak[i], -60.0);
        EXPECT_LT(levels.peak[i], 0.0);
        EXPECT_NEAR(levels.peak[i], -14.0, 1.0);
        EXPECT_NEAR(levels.rms[i], -17.0, 1.0);
    }
}

} // namespace

TEST(Meter, MeasuresTheRecordedSoundWhateverThePreviewAndTheMute) {
    Rig rig("", "Signal de test");
    ASSERT_TRUE(rig.ok());
    Levels levels;
    QObject context;
    listen(rig.dm, levels, context);
    ASSERT_TRUE(waitFor([&] { return levels.count >= 3; }, 5000));
    expectInRange(levels);
    // About 15 a second.
    levels.count = 0;
    pump(2000);
    EXPECT_GE(levels.count, 24);
    EXPECT_LE(levels.count, 34);

    // A frozen preview and a muted monitoring leave the measure as it was.
    rig.dm.SetPreviewFrozen(true);
    rig.dm.SetVolume(0);
    levels = {};
    ASSERT_TRUE(waitFor([&] { return levels.count >= 5; }, 5000));
    expectInRange(levels);

    // While a WAV file is written the meter measures what goes into it.
    ASSERT_TRUE(rig.dm.BuildRecording(11, rig.box.path("son.wav"), nullptr, TRecordingSettings{}));
    levels = {};
    ASSERT_TRUE(waitFor([&] { return levels.count >= 5; }, 5000));
    expectInRange(levels);
    EXPECT_TRUE(endPart(rig.dm));
}

TEST(Meter, AFullScaleSourceLightsTheClipMarkForTwoSeconds) {
    Rig rig("", "Signal de test");
    ASSERT_TRUE(rig.ok());
    Levels levels;
    QObject context;
    listen(rig.dm, levels, context);
    GstElement* tone = toneOf(rig.dm);
    ASSERT_NE(tone, nullptr);
    g_object_set(tone, "volume", 1.0, "wave", 1 /* square */, nullptr);
    ASSERT_TRUE(waitFor([&] { return !levels.peak.empty() && levels.peak[0] >= -0.1; }, 5000));

    // The window's meter, on times of the test's own.
    TLevelMeter meter;
    meter.setActive(true, 0);
    meter.feed(1000, levels.peak, levels.rms);
    EXPECT_TRUE(meter.clipLit(1000));
    g_object_set(tone, "volume", 0.2, "wave", 0 /* sine */, nullptr);
    levels = {};
    ASSERT_TRUE(waitFor([&] { return !levels.peak.empty() && levels.peak[0] < -3.0; }, 5000));
    meter.feed(1500, levels.peak, levels.rms);
    EXPECT_TRUE(meter.clipLit(2999));
    EXPECT_FALSE(meter.clipLit(3000));
}

TEST(Meter, FollowsTheSourceAsItGoesAndComesBack) {
    Rig rig("", "Signal de test");
    ASSERT_TRUE(rig.ok());
    Levels levels;
    QObject context;
    listen(rig.dm, levels, context);
    std::vector<bool> changes;
    QObject changesContext;
    QObject::connect(&rig.dm, &Tdm::audioMeterChanged, &changesContext,
                     [&changes](bool active) { changes.push_back(active); });
    ASSERT_TRUE(waitFor([&] { return levels.count >= 1; }, 5000));

    rig.dm.StopGraph();
    rig.dm.RemovePreviewAudioChain();
    EXPECT_EQ(changes, std::vector<bool>{false});
    // Measures of the meter that went are not passed on.
    levels = {};
    pump(300);
    EXPECT_EQ(levels.count, 0);

    ASSERT_TRUE(rig.dm.BuildPreviewAudioChain());
    ASSERT_TRUE(rig.dm.RunGraph());
    EXPECT_EQ(changes, (std::vector<bool>{false, true}));
    ASSERT_TRUE(waitFor([&] { return levels.count >= 3; }, 5000));
    expectInRange(levels);
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
