#include "CaptureForm.h"
#include "Dm.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "Sandbox.h"
#include "SceneDetect.h"
#include "SourcesController.h"
#include "SourcesFrame.h"
#include "SuperAction.h"
#include "VideoWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

// The program on its built-in virtual devices: the test pattern is previewed, the virtual
// DV camcorder can be chosen and its frames reach the scene detector.
TEST(Preview, VirtualDevicesArePreviewed) {
    Sandbox box;
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    ASSERT_NE(form.sources, nullptr);

    QComboBox* video = form.SourcesFrame->cboxvideo;
    EXPECT_GE(video->findText("Mire de test"), 0);
    EXPECT_GE(video->findText("DV Source - Video"), 0);
    EXPECT_EQ(video->itemText(video->count() - 1), QString("aucun flux vidéo"));
    EXPECT_EQ(form.SourcesFrame->cboxAudio->itemText(form.SourcesFrame->cboxAudio->count() - 1),
              QString("aucun flux audio"));

    form.sources->SelectVideoSource("Mire de test");
    const quint64 before = dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > before + 5; }));
    EXPECT_TRUE(waitFor([&] { return form.videoWidget->framesShown() > 0; }));
    EXPECT_TRUE(waitFor([&] { return form.SourcesFrame->LabVideo->text().contains("720x576"); }));
    EXPECT_FALSE(form.Panel2->isVisible());

    // A frozen preview shows nothing new; released, the pictures come again.
    form.action("taFreezepreview")->executeInteractive(&form);
    ASSERT_TRUE(dm.previewFrozen());
    waitFor([] { return false; }, 200); // what was on its way
    const quint64 frozenAt = dm.previewFrames();
    waitFor([] { return false; }, 400);
    EXPECT_EQ(dm.previewFrames(), frozenAt);
    form.action("taFreezepreview")->executeInteractive(&form);
    EXPECT_FALSE(dm.previewFrozen());
    EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > frozenAt + 3; }));

    form.sources->SelectVideoSource("DV Source - Video");
    ASSERT_NE(form.sources->currentVideo(), nullptr);
    EXPECT_EQ(form.sources->currentVideo()->Name, QString("DV Source - Video"));
    GstElement* detector = form.sources->currentVideo()->SceneDetector();
    ASSERT_NE(detector, nullptr);
    const quint64 dvBefore = dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > dvBefore + 5; }, 30000));
    TDVFrameInfo info;
    EXPECT_TRUE(waitFor([&] { return vrSceneDetectCurrent(detector, info) && info.DateValid; }));

    // The virtual MPEG-2 device offers its own stream as a recording format.
    form.sources->SelectVideoSource("MPEG virtuel");
    ASSERT_NE(form.sources->currentVideo(), nullptr);
    EXPECT_TRUE(waitFor(
        [&] { return form.SourcesFrame->cbFormatCapture->findText("flux mpeg2 natif") >= 0; }));
    EXPECT_TRUE(waitFor([&] { return form.SourcesFrame->LabVideo->text().startsWith("MPEG2"); }));

    // No video: the no-video panel comes back and the preview stops.
    form.sources->SelectVideoSource("aucun flux vidéo");
    EXPECT_EQ(form.sources->currentVideo(), nullptr);
    EXPECT_TRUE(form.Panel2->isVisibleTo(&form));
    form.hide();
}

// Selecting a source from the command line, after start-up.
TEST(Preview, CommandLineSelectsTheVirtualCamcorder) {
    Sandbox box;
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.setCommandLine({"/sv=DV Source - Video", "/sa=Signal de test"});
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    ASSERT_TRUE(waitFor([&] {
        return form.sources->currentVideo() &&
               form.sources->currentVideo()->Name == "DV Source - Video";
    }));
    ASSERT_TRUE(waitFor([&] {
        return form.sources->currentAudio() &&
               form.sources->currentAudio()->Name == "Signal de test";
    }));
    EXPECT_EQ(form.SourcesFrame->cboxvideo->currentText(), QString("DV Source - Video"));
    // A DV source with a sound source offers the native DV formats first.
    EXPECT_EQ(form.SourcesFrame->cbFormatCapture->itemText(0), QString("dv type 1 natif"));
    form.hide();
}
