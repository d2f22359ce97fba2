// The native MPEG-1 format: a device that delivers an MPEG-1 stream (made here with
// mpeg2enc and played by the same live-deck code as "MPEG virtuel") records that stream.
#include "CaptureDevice.h"
#include "Dm.h"
#include "EndPart.h"
#include "LiveDeckSrc.h"
#include "Sandbox.h"
#include "VirtualDevices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool makeMpeg1Clip(const QString& path) {
    const QString description =
        "videotestsrc pattern=ball num-buffers=50 ! video/x-raw,format=I420,width=352,"
        "height=288,framerate=25/1 ! mpeg2enc format=0 b-per-refframe=0 ! mpegvideoparse ! "
        "filesink location=\"" +
        path + "\"";
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    if (!pipeline)
        return false;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* m = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
    if (m)
        gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

} // namespace

TEST(NativeMpeg, Mpeg1StreamIsRecordedAsItComes) {
    for (const char* name : {"mpeg2enc", "mpegpsmux"}) {
        GstElementFactory* factory = gst_element_factory_find(name);
        if (!factory)
            GTEST_SKIP() << name << " missing";
        gst_object_unref(factory);
    }
    Sandbox box;
    const QString clip = box.path("clip.m1v");
    ASSERT_TRUE(makeMpeg1Clip(clip));
    auto material = std::make_shared<TVirtualMaterial>(
        clip, [](const std::string&, std::string*, const std::atomic<bool>&) { return true; });
    material->Ensure();
    ASSERT_TRUE(material->WaitReady(5000));
    auto feed = std::make_shared<TVirtualMpegFeed>(material);
    ASSERT_EQ(feed->readiness(), 1);

    TDeviceDescriptor d;
    d.id = QStringLiteral("test:mpeg1");
    d.friendlyName = QStringLiteral("MPEG-1");
    d.caps = feed->caps();
    d.createSource = [feed] { return MakeLiveDeck(feed); };
    auto device = CreateCaptureDevice(d, 1);
    ASSERT_NE(device, nullptr);

    Tdm dm;
    device->SourceFilter = device->SetSourceGraph(dm);
    ASSERT_TRUE(device->SetVideoGraph(dm, 1));
    ASSERT_TRUE(dm.BuildPreviewVideoChain(nullptr));
    ASSERT_TRUE(dm.RunGraph());
    ASSERT_TRUE(waitFor([&] { return dm.previewFrames() > 3; }, 15000));
    const QString file = box.path("natif.mpg");
    ASSERT_TRUE(dm.BuildRecording(4, file, nullptr, TRecordingSettings{}))
        << dm.lastError().toStdString();
    waitFor([] { return false; }, 2000);
    endPart(dm);
    dm.StopGraph();
    dm.RemovePreviewVideoChain();
    device->KillVideoGraph(dm);
    device->KillSourceGraph(dm);

    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                            "stream=codec_name,nb_read_frames", "-of", "csv=p=0", file});
    probe.waitForFinished(60000);
    const QString info = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
    ASSERT_TRUE(info.startsWith("mpeg1video,")) << info.toStdString();
    EXPECT_GE(info.section(',', 1).toInt(), 30) << info.toStdString();
}
