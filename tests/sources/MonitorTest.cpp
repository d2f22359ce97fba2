// The device monitor path against a device provider of the test's own: identities, sink
// monitors left out, and coalesced change notifications on the UI thread.
#include "SystemDevices.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

struct VrTestDevice {
    GstDevice parent;
};
struct VrTestDeviceClass {
    GstDeviceClass parent_class;
};
G_DEFINE_TYPE(VrTestDevice, vr_test_device, GST_TYPE_DEVICE)

GstElement* TestCreateElement(GstDevice*, const gchar* name) {
    return gst_element_factory_make("videotestsrc", name);
}
void vr_test_device_class_init(VrTestDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = TestCreateElement;
}
void vr_test_device_init(VrTestDevice*) {}

struct VrTestProvider {
    GstDeviceProvider parent;
};
struct VrTestProviderClass {
    GstDeviceProviderClass parent_class;
};
G_DEFINE_TYPE(VrTestProvider, vr_test_provider, GST_TYPE_DEVICE_PROVIDER)

GList* TestProbe(GstDeviceProvider*) {
    return nullptr;
}
gboolean TestStart(GstDeviceProvider*) {
    return TRUE;
}
void TestStop(GstDeviceProvider*) {}
void vr_test_provider_class_init(VrTestProviderClass* klass) {
    GstDeviceProviderClass* dp = GST_DEVICE_PROVIDER_CLASS(klass);
    dp->probe = TestProbe;
    dp->start = TestStart;
    dp->stop = TestStop;
    gst_device_provider_class_set_static_metadata(dp, "Vidorra test devices", "Audio/Video/Source",
                                                  "Test devices", "Ardoval");
}
void vr_test_provider_init(VrTestProvider*) {}

GstDevice* MakeDevice(const char* name, const char* caps, const char* klass, GstStructure* props) {
    GstCaps* c = gst_caps_from_string(caps);
    auto* d = GST_DEVICE(g_object_new(vr_test_device_get_type(), "display-name", name, "caps", c,
                                      "device-class", klass, "properties", props, nullptr));
    gst_caps_unref(c);
    gst_structure_free(props);
    return d;
}

void Pump(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

const TDeviceDescriptor* Find(const std::vector<TDeviceDescriptor>& list, const char* name) {
    for (const auto& d : list)
        if (d.friendlyName == name)
            return &d;
    return nullptr;
}

} // namespace

TEST(Monitor, DevicesIdentitiesAndCoalescedChanges) {
    static const bool registered = gst_device_provider_register(
        nullptr, "vrtestprovider", GST_RANK_PRIMARY, vr_test_provider_get_type());
    ASSERT_TRUE(registered);
    QTemporaryDir dir;
    TEnumeratorOptions options;
    options.firewire = false;
    options.virtualDevices.dataDir = dir.path();
    options.virtualDevices.generate = false;
    options.coalesceMilliseconds = 100;
    auto e = CreateSystemDeviceEnumerator(options);
    int changes = 0;
    e->onDevicesChanged = [&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        ++changes;
    };
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("vrtestprovider");
    ASSERT_TRUE(provider);

    GstDevice* cam = MakeDevice(
        "Webcam Test", "video/x-raw, width=640, height=480", "Video/Source",
        gst_structure_new("props", "api.v4l2.path", G_TYPE_STRING, "/dev/video42", nullptr));
    GstDevice* monitor =
        MakeDevice("Monitor of Built-in Audio", "audio/x-raw", "Audio/Source",
                   gst_structure_new("props", "device.class", G_TYPE_STRING, "monitor", nullptr));
    GstDevice* mic = MakeDevice("Micro Test", "audio/x-raw, rate=48000", "Audio/Source",
                                gst_structure_new("props", "alsa.card", G_TYPE_STRING, "1",
                                                  "node.name", G_TYPE_STRING, "alsa_input.usb-mic",
                                                  "device.api", G_TYPE_STRING, "alsa", nullptr));
    // Three arrivals close together make one notification.
    gst_device_provider_device_add(provider, cam);
    gst_device_provider_device_add(provider, monitor);
    gst_device_provider_device_add(provider, mic);
    Pump(400);
    EXPECT_EQ(changes, 1);

    const auto video = e->enumerate(TDeviceCategory::Video);
    const TDeviceDescriptor* c = Find(video, "Webcam Test");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->id, "v4l2:/dev/video42");
    EXPECT_EQ(c->v4l2Path, "/dev/video42");
    GstElement* src = c->createSource();
    ASSERT_TRUE(src);
    gst_object_unref(gst_object_ref_sink(src));
    EXPECT_EQ(video.back().friendlyName, "MPEG virtuel"); // the virtual ones come after
    const auto audio = e->enumerate(TDeviceCategory::Audio);
    EXPECT_FALSE(Find(audio, "Monitor of Built-in Audio"));
    const TDeviceDescriptor* m = Find(audio, "Micro Test");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->id, "alsa:alsa_input.usb-mic");
    EXPECT_EQ(m->alsaCard, "hw:1");
    EXPECT_FALSE(Find(audio, "Webcam Test"));

    gst_device_provider_device_remove(provider, cam);
    Pump(300);
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(Find(e->enumerate(TDeviceCategory::Video), "Webcam Test"));
    gst_device_provider_device_remove(provider, monitor);
    gst_device_provider_device_remove(provider, mic);
    e.reset();
    Pump(200); // a notification queued for a gone enumerator is dropped
    EXPECT_LE(changes, 3);
    gst_object_unref(provider);
}
