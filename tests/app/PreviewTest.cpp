#include "CaptureForm.h"
#include "CaptureFormats.h"
#include "Dm.h"
#include "Encoders.h"
#include "EndPart.h"
#include "GstRef.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "Sandbox.h"
#include "SceneDetect.h"
#include "SourcesController.h"
#include "SourcesFrame.h"
#include "StatusPanels.h"
#include "SuperAction.h"
#include "SystemDevices.h"
#include "VideoWidget.h"
#include "WaitFor.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

namespace {} // namespace

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
    // The picture says it is frozen: a dark box at its top left corner.
    EXPECT_TRUE(form.videoWidget->notice().contains("figée"));
    const QImage shown = form.videoWidget->grab().toImage();
    EXPECT_LT(qGray(shown.pixel(6, 6)), 90);
    // What was on its way (until no picture came for 300 ms, on a loaded machine too).
    quint64 frozenAt = dm.previewFrames();
    for (int i = 0; i < 10; ++i) {
        waitFor([] { return false; }, 300);
        if (dm.previewFrames() == frozenAt)
            break;
        frozenAt = dm.previewFrames();
    }
    waitFor([] { return false; }, 400);
    EXPECT_EQ(dm.previewFrames(), frozenAt);
    form.action("taFreezepreview")->executeInteractive(&form);
    EXPECT_FALSE(dm.previewFrozen());
    EXPECT_TRUE(form.videoWidget->notice().isEmpty());
    EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > frozenAt + 3; }));

    form.sources->SelectVideoSource("DV Source - Video");
    ASSERT_NE(form.sources->currentVideo(), nullptr);
    EXPECT_EQ(form.sources->currentVideo()->Name, QString("DV Source - Video"));
    GstElement* detector = form.sources->currentVideo()->SceneDetector();
    ASSERT_NE(detector, nullptr);
    const quint64 dvBefore = dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > dvBefore + 5; }, 30000));
    EXPECT_TRUE(waitFor([&] {
        TDVFrameInfo* newest = nullptr;
        g_object_get(detector, "current-frame", &newest, nullptr);
        const TGstRef<TDVFrameInfo> info(newest);
        return info && info->DateValid;
    }));

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

// A sound output that fails while playing silences the preview; the audio source goes on
// (recordings take it before the preview) and is not excluded.
TEST(Preview, FailingSoundOutputKeepsTheSource) {
    Sandbox box;
    TEnumeratorOptions options;
    options.deviceMonitor = false;
    options.firewire = false;
    options.virtualDevices.generate = false;
    auto enumerator = CreateSystemDeviceEnumerator(options);
    std::unique_ptr<TCaptureDevice> tone;
    for (const TDeviceDescriptor& d : enumerator->enumerate(TDeviceCategory::Audio))
        if (d.friendlyName == QLatin1String("Signal de test"))
            tone = CreateCaptureDevice(d, 1);
    ASSERT_NE(tone, nullptr);

    Tdm dm;
    dm.audioSinkFactory = [] {
        return gst_parse_bin_from_description("identity error-after=5 ! fakesink sync=false", TRUE,
                                              nullptr);
    };
    int sourceErrors = 0;
    QObject::connect(&dm, &Tdm::sourceError, [&](GstElement*, const QString&) { ++sourceErrors; });
    tone->SourceFilter = tone->SetSourceGraph(dm);
    ASSERT_TRUE(tone->SetAudioGraph(dm, 1));
    ASSERT_TRUE(dm.BuildPreviewAudioChain());
    static std::atomic<int> buffers{0};
    buffers = 0;
    GstElement* tap = dm.element("infdecaudio");
    ASSERT_NE(tap, nullptr);
    GstPad* pad = gst_element_get_static_pad(tap, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            ++buffers;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(pad);
    ASSERT_TRUE(dm.RunGraph());
    ASSERT_TRUE(waitFor([&] { return dm.audioOutputFailed(); }, 5000));
    const int at = buffers;
    EXPECT_TRUE(waitFor([&] { return buffers > at + 10; }, 5000));
    EXPECT_EQ(sourceErrors, 0);
    dm.StopGraph();
    dm.RemovePreviewAudioChain();
    tone->KillAudioGraph(dm);
    tone->KillSourceGraph(dm);
}

// A recording branch that fails (here an encoder whose hardware is missing) ends its part
// without stopping the source or the preview.
TEST(Preview, FailingRecordingBranchKeepsThePreview) {
    GstElementFactory* omx = gst_element_factory_find("avenc_mpeg4_omx");
    if (!omx)
        GTEST_SKIP() << "no encoder that fails here";
    gst_object_unref(omx);
    Sandbox box;
    TEnumeratorOptions options;
    options.deviceMonitor = false;
    options.firewire = false;
    options.virtualDevices.generate = false;
    auto enumerator = CreateSystemDeviceEnumerator(options);
    std::unique_ptr<TCaptureDevice> mire;
    for (const TDeviceDescriptor& d : enumerator->enumerate(TDeviceCategory::Video))
        if (d.friendlyName == QLatin1String("Mire de test"))
            mire = CreateCaptureDevice(d, 1);
    ASSERT_NE(mire, nullptr);
    Tdm dm;
    int sourceErrors = 0, ended = 0;
    QObject::connect(&dm, &Tdm::recordingEndedByError,
                     [&](const QString&, const QString&) { ++ended; });
    mire->SourceFilter = mire->SetSourceGraph(dm);
    ASSERT_TRUE(mire->SetVideoGraph(dm, 1));
    ASSERT_TRUE(dm.BuildPreviewVideoChain(nullptr));
    QObject::connect(&dm, &Tdm::sourceError, [&](GstElement* e, const QString&) {
        if (e == mire->SourceFilter ||
            gst_object_has_as_ancestor(GST_OBJECT(e), GST_OBJECT(mire->SourceFilter)))
            ++sourceErrors;
    });
    ASSERT_TRUE(dm.RunGraph());
    ASSERT_TRUE(waitFor([&] { return dm.previewFrames() > 3; }));
    Encoders().Assign({{"OMX", "avenc_mpeg4_omx", "XVID"}}, false);
    ASSERT_TRUE(dm.BuildRecording(9, box.path("echec.avi"), nullptr, TRecordingSettings{}));
    EXPECT_TRUE(waitFor([&] { return ended > 0; }, 5000));
    const quint64 at = dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > at + 10; }, 5000));
    EXPECT_EQ(sourceErrors, 0);
    if (dm.hasRecordingBranch())
        endPart(dm);
    dm.StopGraph();
    dm.RemovePreviewVideoChain();
    mire->KillVideoGraph(dm);
    mire->KillSourceGraph(dm);
    Encoders().Discover();
}

namespace {

// Counts the frames that the overlay changes: each picture's checksum as it enters, compared
// with the same picture as it leaves (the overlay draws in place).
struct InlayCounter {
    explicit InlayCounter(GstElement* overlay) : m_overlay(overlay) {
        m_in = gst_element_get_static_pad(overlay, "sink");
        m_out = gst_element_get_static_pad(overlay, "src");
        m_inProbe = gst_pad_add_probe(m_in, GST_PAD_PROBE_TYPE_BUFFER, &InlayCounter::entering,
                                      this, nullptr);
        m_outProbe = gst_pad_add_probe(m_out, GST_PAD_PROBE_TYPE_BUFFER, &InlayCounter::leaving,
                                       this, nullptr);
    }
    ~InlayCounter() {
        gst_pad_remove_probe(m_in, m_inProbe);
        gst_pad_remove_probe(m_out, m_outProbe);
        gst_object_unref(m_in);
        gst_object_unref(m_out);
    }
    std::atomic<int> changed{0}, seen{0};

private:
    static quint64 sum(GstBuffer* buffer) {
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return 0;
        const quint64 s = qHash(QByteArrayView(map.data, qsizetype(map.size)));
        gst_buffer_unmap(buffer, &map);
        return s;
    }
    static GstPadProbeReturn entering(GstPad*, GstPadProbeInfo* info, gpointer self) {
        static_cast<InlayCounter*>(self)->m_last = sum(GST_PAD_PROBE_INFO_BUFFER(info));
        return GST_PAD_PROBE_OK;
    }
    static GstPadProbeReturn leaving(GstPad*, GstPadProbeInfo* info, gpointer self) {
        auto* c = static_cast<InlayCounter*>(self);
        ++c->seen;
        if (sum(GST_PAD_PROBE_INFO_BUFFER(info)) != c->m_last)
            ++c->changed;
        return GST_PAD_PROBE_OK;
    }
    GstElement* m_overlay;
    GstPad *m_in, *m_out;
    gulong m_inProbe, m_outProbe;
    std::atomic<quint64> m_last{0};
};

bool incrustActive(GstElement* overlay) {
    gboolean on = FALSE;
    g_object_get(overlay, "incrust-active", &on, nullptr);
    return on;
}

} // namespace

// The inlay chosen on one source goes on when another source is chosen, whatever chooses it:
// the command line, the combo, a device change.
TEST(Preview, InlayGoesOnAfterASourceChange) {
    Sandbox box;
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    // DivX keeps the effects on in the locked preview, for every source.
    form.setCommandLine({"/sv=Mire de test", "/format_capture=divx"});
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    ASSERT_TRUE(waitFor([&] { return Prm.captureFormat->Value == cfDivx; }));
    // The camcorder's recording date on two lines.
    TincrustRec rec = Prm.incrustRec->Value;
    rec.WhatIncrust = wiDatecode;
    rec.FormatDate1 = "dddddd";
    rec.FormatDate2 = "tt";
    Prm.incrustRec->Value = rec;
    form.action("taIncruster")->executeInteractive(&form);
    ASSERT_TRUE(form.action("taIncruster")->isChecked());
    GstElement* overlay = dm.overlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(incrustActive(overlay));

    auto expectInlaid = [&](const char* after) {
        SCOPED_TRACE(after);
        EXPECT_TRUE(waitFor([&] { return incrustActive(overlay); }));
        EXPECT_TRUE(form.statusPanels->text(1).contains(" in"))
            << form.statusPanels->text(1).toStdString();
        InlayCounter counter(overlay);
        EXPECT_TRUE(waitFor([&] { return counter.changed > 5; }, 30000))
            << counter.changed << " of " << counter.seen << " frames inlaid";
    };
    form.sources->SelectVideoSource("DV Source - Video");
    expectInlaid("the DV camcorder chosen");
    QComboBox* combo = form.SourcesFrame->cboxvideo;
    combo->setCurrentIndex(combo->findText("Mire de test"));
    emit combo->activated(combo->currentIndex());
    expectInlaid("the test pattern chosen in the combo");
    form.sources->ReselectSources();
    expectInlaid("the sources chosen again after a device change");
    form.hide();
}

// The window draws both kinds of picture the graph hands it, colours in their places: the
// 24-bit BGR of a source already in RGB and the 32-bit RGB a YUV picture is converted to.
TEST(Preview, TheWindowShowsBothPictureFormats) {
    TVideoWidget widget;
    widget.resize(64, 48);
    // A picture of 8 x 2 pixels, its left half orange and its right half blue.
    auto sample = [](const char* format, int bytesPerPixel, const uint8_t(&left)[4],
                     const uint8_t(&right)[4]) {
        const int width = 8, height = 2, stride = width * bytesPerPixel;
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize(stride * height), nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                memcpy(map.data + y * stride + x * bytesPerPixel, x < width / 2 ? left : right,
                       size_t(bytesPerPixel));
        gst_buffer_unmap(buffer, &map);
        const TGstRef<GstCaps> caps(gst_caps_new_simple(
            "video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT, width, "height",
            G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION, 25, 1, nullptr));
        GstSample* made = gst_sample_new(buffer, caps.get(), nullptr, nullptr);
        gst_buffer_unref(buffer);
        return made;
    };
    const QColor orange(250, 120, 10), blue(20, 40, 230);
    const bool little = G_BYTE_ORDER == G_LITTLE_ENDIAN;
    struct Case {
        const char* format;
        int bytes;
        uint8_t left[4], right[4];
    };
    const Case cases[] = {
        {"BGR", 3, {10, 120, 250, 0}, {230, 40, 20, 0}},
        {little ? "BGRx" : "xRGB",
         4,
         {little ? uint8_t(10) : uint8_t(255), little ? uint8_t(120) : uint8_t(250),
          little ? uint8_t(250) : uint8_t(120), little ? uint8_t(255) : uint8_t(10)},
         {little ? uint8_t(230) : uint8_t(255), little ? uint8_t(40) : uint8_t(20),
          little ? uint8_t(20) : uint8_t(40), little ? uint8_t(255) : uint8_t(230)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        GstSample* s = sample(c.format, c.bytes, c.left, c.right);
        widget.pushSample(s);
        gst_sample_unref(s);
        const QImage image = widget.currentImage();
        ASSERT_EQ(image.size(), QSize(8, 2));
        EXPECT_EQ(QColor(image.pixel(1, 1)), orange);
        EXPECT_EQ(QColor(image.pixel(6, 0)), blue);
        // Drawn into the window, the left half stays orange.
        const QImage drawn = widget.grab().toImage();
        EXPECT_EQ(QColor(drawn.pixel(8, 24)), orange);
        EXPECT_EQ(QColor(drawn.pixel(56, 24)), blue);
    }
    // A picture of another format is not drawn as garbage: the window stays black.
    const uint8_t grey[4] = {128, 128, 128, 128};
    GstSample* yuv = sample("GRAY8", 1, grey, grey);
    widget.pushSample(yuv);
    gst_sample_unref(yuv);
    EXPECT_TRUE(widget.currentImage().isNull());
}
