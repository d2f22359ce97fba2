// The hardware paths run up to "no device" here; their identity rules and the enumerator's
// order are checked with doubles.
#include "AlsaMixer.h"
#include "CaptureDevice.h"
#include "SystemDevices.h"
#include "V4l2Controls.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FakeTransport : public IDvTransport {
public:
    bool setMode(Mode m) override {
        mode_ = m;
        return true;
    }
    Mode mode() const override { return mode_; }
    Timecode timecode() const override { return {}; }
    bool isVcr() const override { return false; }
    bool isCamera() const override { return true; }
    Mode mode_ = ED_MODE_STOP;
};

class FakeBus : public IFirewireBus {
public:
    std::vector<TFirewireUnit> Units() override { return units; }
    std::shared_ptr<IDvTransport> Transport(const TFirewireUnit&) override { return transport; }
    std::vector<TFirewireUnit> units;
    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
};

QStringList Names(const std::vector<TDeviceDescriptor>& list) {
    QStringList names;
    for (const auto& d : list)
        names << d.friendlyName;
    return names;
}

} // namespace

TEST(Enumerator, RealUnitsThenVirtualDevices) {
    QTemporaryDir dir;
    auto bus = std::make_shared<FakeBus>();
    bus->units = {{0x0800460102030405ull, "Caméscope Sony", false, true}};
    TEnumeratorOptions options;
    options.deviceMonitor = false;
    options.firewireBus = bus;
    options.virtualDevices.dataDir = dir.path();
    options.virtualDevices.generate = false;
    auto e = CreateSystemDeviceEnumerator(options);
    const auto video = e->enumerate(TDeviceCategory::Video);
    EXPECT_EQ(Names(video),
              QStringList({"Caméscope Sony", "Mire de test", "DV virtuel", "MPEG virtuel"}));
    EXPECT_EQ(video[0].id, "ieee1394:0800460102030405");
    EXPECT_EQ(video[0].transport, bus->transport);
    EXPECT_EQ(ClassifyCaps(video[0].caps), dkDV);
    GstElement* src = video[0].createSource();
    ASSERT_TRUE(src);
    guint64 guid = 0;
    g_object_get(src, "guid", &guid, nullptr);
    EXPECT_EQ(guid, 0x0800460102030405ull);
    gst_object_unref(gst_object_ref_sink(src));
    EXPECT_EQ(Names(e->enumerate(TDeviceCategory::Audio)), QStringList({"Signal de test"}));

    // The virtual devices keep one identity and one deck for the whole run.
    const auto again = e->enumerate(TDeviceCategory::Video);
    EXPECT_EQ(again[2].id, video[2].id);
    EXPECT_EQ(again[2].transport, video[2].transport);
    EXPECT_EQ(ClassifyCaps(video[2].caps), dkDV);
    EXPECT_EQ(ClassifyCaps(video[3].caps), dkVideo);
    // Nothing was generated: the options asked for no generation.
    EXPECT_FALSE(QFile::exists(dir.filePath("dv-virtuel.dv")));
}

TEST(Enumerator, RealBusAndMonitorWithoutHardware) {
    // No FireWire controller here: the real bus answers with no unit.
    EXPECT_TRUE(CreateFirewireBus()->Units().empty());
    QTemporaryDir dir;
    TEnumeratorOptions options;
    options.virtualDevices.dataDir = dir.path();
    options.virtualDevices.generate = false;
    auto e = CreateSystemDeviceEnumerator(options);
    const auto video = e->enumerate(TDeviceCategory::Video);
    ASSERT_GE(video.size(), 3u);
    // Whatever the system has, the virtual devices come last.
    EXPECT_EQ(video[video.size() - 3].friendlyName, "Mire de test");
    for (const auto& d : e->enumerate(TDeviceCategory::Audio))
        EXPECT_FALSE(d.friendlyName.startsWith("Monitor of")) << d.friendlyName.toStdString();
}

TEST(V4l2Path, StableLinkPreferred) {
    QTemporaryDir dir;
    QFile node(dir.filePath("video0"));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    QDir(dir.path()).mkpath("by-id");
    QDir(dir.path()).mkpath("by-path");
    QFile::link(node.fileName(), dir.filePath("by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index0"));
    const QStringList dirs = {dir.filePath("by-id"), dir.filePath("by-path")};
    EXPECT_EQ(StableV4l2Path(node.fileName(), dirs),
              dir.filePath("by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index0"));
    QFile::link(node.fileName(), dir.filePath("by-id/usb-Logitech_C920_1234-video-index0"));
    EXPECT_EQ(StableV4l2Path(node.fileName(), dirs),
              dir.filePath("by-id/usb-Logitech_C920_1234-video-index0"));
    // A node without links keeps its own path.
    EXPECT_EQ(StableV4l2Path("/dev/video7", dirs), "/dev/video7");
}

TEST(Hardware, OpenFailsCleanlyWithoutDevices) {
    EXPECT_EQ(OpenV4l2Controls(""), nullptr);
    EXPECT_EQ(OpenV4l2Controls("/dev/video99"), nullptr);
    EXPECT_EQ(OpenV4l2Controls("/dev/null"), nullptr); // opens, but is no V4L2 node
    EXPECT_EQ(OpenAlsaMixer(""), nullptr);
    EXPECT_EQ(OpenAlsaMixer("hw:97"), nullptr);
}
