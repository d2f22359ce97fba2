// Device lists, naming, exclusions and classification against an enumerator double.
#include "Sources.h"
#include "CaptureDevice.h"

#include <gtest/gtest.h>

namespace {

TDeviceDescriptor Desc(const char* id, const char* name, const char* caps) {
    TDeviceDescriptor d;
    d.id = QString::fromUtf8(id);
    d.friendlyName = QString::fromUtf8(name);
    d.caps = gst_caps_from_string(caps);
    d.createSource = [] { return gst_element_factory_make("videotestsrc", nullptr); };
    return d;
}

const char* kWebcam = "video/x-raw, format=YUY2, width=640, height=480; image/jpeg";
const char* kDv = "video/x-dv, systemstream=(boolean)true";
const char* kMic = "audio/x-raw, format=S16LE, rate=48000, channels=2";

class FakeEnumerator : public IDeviceEnumerator {
public:
    std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override {
        return category == TDeviceCategory::Video ? video : audio;
    }
    std::vector<TDeviceDescriptor> video, audio;
};

struct Lists {
    TCaptureDeviceList video{TDeviceCategory::Video};
    TCaptureDeviceList audio{TDeviceCategory::Audio};
    TSourceLists sources;
    TSourceExclusions exclusions;
    QStringList runExclusions;

    void Refresh(FakeEnumerator& e, std::vector<TCaptureDevice*>* removed = nullptr) {
        auto onRemoved = [removed](TCaptureDevice* d) {
            if (removed)
                removed->push_back(d);
        };
        ASSERT_TRUE(video.Refresh(e, onRemoved));
        ASSERT_TRUE(audio.Refresh(e, onRemoved));
        sources.Rebuild(video, audio, runExclusions, exclusions);
    }
};

} // namespace

TEST(Classification, ByCaps) {
    struct Case {
        const char* caps;
        TDeviceKind kind;
    } cases[] = {
        {kDv, dkDV},
        {"video/x-dv, systemstream=(boolean)false", dkVideo},
        {kWebcam, dkVideo},
        {"image/jpeg, width=1280, height=720", dkVideo},
        {"video/mpeg, mpegversion=2, systemstream=(boolean)false", dkVideo},
        {"video/mpeg, mpegversion=2, systemstream=(boolean)true", dkNone},
        {"video/mpegts, systemstream=(boolean)true", dkNone},
        {kMic, dkAudio},
        // DV wins over any other structure, video over audio.
        {"video/x-raw; video/x-dv, systemstream=(boolean)true", dkDV},
        {"audio/x-raw; video/x-raw", dkVideo},
        {"application/x-rtp", dkNone},
    };
    for (const Case& c : cases) {
        GstCaps* caps = gst_caps_from_string(c.caps);
        EXPECT_EQ(ClassifyCaps(caps), c.kind) << c.caps;
        gst_caps_unref(caps);
    }
    EXPECT_EQ(ClassifyCaps(nullptr), dkNone);
    GstCaps* any = gst_caps_new_any();
    EXPECT_EQ(ClassifyCaps(any), dkNone);
    gst_caps_unref(any);
}

TEST(DeviceCreation, KindsCountsAndNativeFormats) {
    auto dv = CreateCaptureDevice(Desc("dv", "Sony DCR", kDv), 1);
    ASSERT_TRUE(dv);
    EXPECT_EQ(dv->Kind, dkDV);
    EXPECT_EQ(dv->DisplayName, "DV Source");
    EXPECT_EQ(dv->FriendlyName, "Sony DCR");
    EXPECT_EQ(dv->NativeFormat1, 1);
    EXPECT_EQ(dv->NativeFormat2, 2);
    EXPECT_NE(dv->SceneDetector(), nullptr);
    auto cam = CreateCaptureDevice(Desc("cam", "Webcam", kWebcam), 3);
    ASSERT_TRUE(cam);
    EXPECT_EQ(cam->DisplayName, "Webcam #3");
    EXPECT_EQ(cam->NativeFormat1, 5);
    EXPECT_EQ(cam->AudioStreamCount, 0);
    EXPECT_EQ(cam->SceneDetector(), nullptr);
    auto mic = CreateCaptureDevice(Desc("mic", "Micro", kMic), 1);
    ASSERT_TRUE(mic);
    EXPECT_EQ(mic->VideoStreamCount, 0);
    EXPECT_EQ(mic->AudioStreamCount, 1);
    // Not listed: unknown caps, or no way to open the device.
    EXPECT_FALSE(CreateCaptureDevice(Desc("x", "Rtp", "application/x-rtp"), 1));
    TDeviceDescriptor closed = Desc("y", "Webcam", kWebcam);
    closed.createSource = nullptr;
    EXPECT_FALSE(CreateCaptureDevice(closed, 1));
}

TEST(Naming, IdenticalWebcamsAndDvStreams) {
    FakeEnumerator e;
    e.video = {Desc("v4l2:/dev/v4l/by-id/a", "Webcam", kWebcam),
               Desc("v4l2:/dev/v4l/by-id/b", "Webcam", kWebcam), Desc("1394:1", "Sony", kDv),
               Desc("1394:2", "Canon", kDv)};
    e.audio = {Desc("alsa:1", "Micro", kMic)};
    Lists l;
    l.Refresh(e);
    EXPECT_EQ(l.sources.VideoNames(),
              QStringList({"Webcam", "Webcam #2", "DV Source - Video", "DV Source - Video"}));
    // Two DV devices of different names are both instance 1 of their name.
    EXPECT_EQ(l.sources.AudioNames(),
              QStringList({"DV Source - Audio", "DV Source - Audio", "Micro"}));
    e.video[3].friendlyName = "Sony";
    e.video[3].id = "1394:3";
    Lists l2;
    l2.Refresh(e);
    EXPECT_EQ(l2.sources.VideoNames().last(), "DV Source #2 - Video");
    EXPECT_EQ(l2.sources.AudioNames()[1], "DV Source #2 - Audio");
    // Stream kinds: DV video 5; audio of a DV device 4, of an audio capture device 3.
    EXPECT_EQ(l.sources.video[2]->StreamKind, 5);
    EXPECT_EQ(l.sources.video[0]->StreamKind, 1);
    EXPECT_EQ(l.sources.audio[0]->StreamKind, 4);
    EXPECT_EQ(l.sources.audio[2]->StreamKind, 3);
    EXPECT_EQ(l.sources.audio[0]->SceneDetector(), l.sources.video[2]->SceneDetector());
    // Equal names resolve to the first source of that name.
    EXPECT_EQ(l.sources.FindVideo("DV Source - Video"), l.sources.video[2].get());
    EXPECT_EQ(l.sources.FindVideo("absent"), nullptr);
}

TEST(Naming, SecondStreams) {
    auto d = CreateCaptureDevice(Desc("cam", "Carte", kWebcam), 1);
    d->VideoStreamCount = 2;
    d->AudioStreamCount = 2;
    EXPECT_EQ(VideoSourceName(*d, 1), "Carte - Video");
    EXPECT_EQ(VideoSourceName(*d, 2), "Carte #2");
    EXPECT_EQ(AudioSourceName(*d, 1), "Carte - Audio");
    EXPECT_EQ(AudioSourceName(*d, 2), "Carte#2");
}

TEST(Enumeration, RemovedDeviceHandedOverAndIndexReused) {
    FakeEnumerator e;
    e.video = {Desc("a", "Webcam", kWebcam), Desc("b", "Webcam", kWebcam)};
    Lists l;
    l.Refresh(e);
    TCaptureDevice* second = l.video.Get(1);
    TCaptureDevice* first = l.video.Get(0);
    // The first camera is unplugged while it is the current source.
    e.video.erase(e.video.begin());
    std::vector<TCaptureDevice*> removed;
    l.Refresh(e, &removed);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], first);
    EXPECT_EQ(l.video.Count(), 1);
    EXPECT_EQ(l.video.Get(0), second); // kept across refreshes, with its name
    EXPECT_EQ(l.sources.VideoNames(), QStringList({"Webcam #2"}));
    EXPECT_EQ(l.video.NextIndex("Webcam"), 1);
    EXPECT_EQ(l.video.NextIndex("Autre"), 1);
    // Plugged in again: it takes the free instance number.
    e.video.push_back(Desc("a", "Webcam", kWebcam));
    l.Refresh(e);
    EXPECT_EQ(l.sources.VideoNames(), QStringList({"Webcam #2", "Webcam"}));
    EXPECT_EQ(l.video.NextIndex("Webcam"), 3);
    EXPECT_EQ(l.video.FindByMoniker("a"), 1);
    EXPECT_EQ(l.video.FindByMoniker("zz"), -1);
    EXPECT_EQ(l.video.Get(2), nullptr);
    EXPECT_EQ(l.video.Get(-1), nullptr);
}

TEST(Exclusions, LoadSaveAllow) {
    TSourceExclusions x;
    x.Load("Webcam\r\nMicro\r\n\r\nWebcam\r\n");
    ASSERT_EQ(x.Items().size(), 2u);
    EXPECT_FALSE(x.Allow("Webcam"));
    EXPECT_TRUE(x.Allow("Nouvelle"));
    EXPECT_EQ(x.Items().back(), std::make_pair(QString("Nouvelle"), true));
    EXPECT_TRUE(x.Allow("Nouvelle"));
    EXPECT_EQ(x.Items().size(), 3u);
    EXPECT_EQ(x.Save(), "Webcam\r\nMicro\r\n");
    x.SetChecked("Webcam", true);
    EXPECT_EQ(x.Save(), "Micro\r\n");
    x.SetChecked("Nouvelle", false);
    EXPECT_EQ(x.Save(), "Micro\r\nNouvelle\r\n");
    x.Load("");
    EXPECT_TRUE(x.Items().empty());
    EXPECT_EQ(x.Save(), "");
}

TEST(Exclusions, SkipExcludedAndFailedDevices) {
    FakeEnumerator e;
    e.video = {Desc("a", "Webcam", kWebcam), Desc("d", "Sony", kDv)};
    e.audio = {Desc("m", "Micro", kMic), Desc("n", "Ligne", kMic)};
    Lists l;
    l.exclusions.Load("Micro\r\n");
    l.runExclusions << "Sony"; // failed to connect during this run
    l.Refresh(e);
    EXPECT_EQ(l.sources.VideoNames(), QStringList({"Webcam"}));
    EXPECT_EQ(l.sources.AudioNames(), QStringList({"Ligne"}));
    // Every listed name reached the check list, checked; the failed one did not.
    QStringList names;
    for (const auto& [name, checked] : l.exclusions.Items())
        names << name + (checked ? "+" : "-");
    EXPECT_EQ(names, QStringList({"Micro-", "Webcam+", "Ligne+"}));
}
