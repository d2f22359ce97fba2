// Capture plug-ins: the search of the folder, the devices they take over and their graph
// operations, with real "*.pvr" libraries built by the test suite (tests/sources/plugins).
#include "PlugIns.h"
#include "GraphFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kFolder = QStringLiteral(VR_TEST_PLUGINS);
const QString kLongName = [] {
    QString name;
    for (int i = 0; i < 300; ++i)
        name += QChar('a' + i % 26);
    return name;
}();

class Devices : public IDeviceEnumerator {
public:
    std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override {
        return category == TDeviceCategory::Video ? video : std::vector<TDeviceDescriptor>{};
    }
    void Add(const QString& name) {
        TDeviceDescriptor d;
        d.id = "test:" + name;
        d.friendlyName = name;
        d.caps = gst_caps_from_string("video/x-raw,width=320,height=240");
        d.createSource = [] { return gst_element_factory_make("videotestsrc", nullptr); };
        video.push_back(d);
    }
    std::vector<TDeviceDescriptor> video;
};

std::vector<QString> names(const TCaptureDeviceList& list) {
    std::vector<QString> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Get(i)->DisplayName);
    return out;
}

} // namespace

// The folder's libraries in file-name order, each with the name it declares: the one written
// for a newer interface and the file that is not a library are left out, the long name is
// kept to its first 255 characters, the library without exports has no name.
TEST(PlugIns, TheFolderIsSearchedInNameOrder) {
    TpluginList list;
    list.Discover(kFolder);
    std::vector<QString> found;
    for (int i = 0; i < list.Count(); ++i)
        found.push_back(list.At(i).driverName);
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(found[0], QStringLiteral("Caméra plug-in"));
    EXPECT_EQ(found[1], "Sans instance");
    EXPECT_EQ(found[2], "Mauvais");
    EXPECT_EQ(found[3], kLongName.left(255));
    EXPECT_EQ(found[4], "Double");
    EXPECT_EQ(found[5], "Double");
    EXPECT_EQ(found[6], "");
    EXPECT_TRUE(QFileInfo(list.At(0).path).isAbsolute());
    EXPECT_TRUE(list.At(0).enabled);
    // A device name is compared on its first 255 characters, exactly; the first plug-in wins.
    EXPECT_EQ(list.IndexOf(kLongName), 3);
    EXPECT_EQ(list.IndexOf("Double"), 4);
    EXPECT_EQ(list.IndexOf("double"), -1);
    EXPECT_EQ(list.IndexOf(""), -1);

    QTemporaryDir empty;
    list.Discover(empty.path());
    EXPECT_EQ(list.Count(), 0);
    list.Discover(empty.path() + "/absent");
    EXPECT_EQ(list.Count(), 0);
}

TEST(PlugIns, NamesAreTakenUpToTheirEnd) {
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(PluginName(unterminated, sizeof unterminated), "abcd");
    EXPECT_EQ(PluginName("\xC3\xA9t\xC3\xA9", 6), QStringLiteral("été"));
    EXPECT_EQ(PluginName(nullptr, 10), "");
    const std::string wide(400, 'x');
    EXPECT_EQ(PluginName(wide.c_str(), wide.size() + 1).size(), 255);
}

// The devices the plug-ins declare are theirs: one whose instance cannot be made is not
// listed and its plug-in shows as not enabled; of two plug-ins with one name the first serves;
// a device no plug-in declares is the ordinary one.
TEST(PlugIns, DevicesAreTakenOver) {
    TpluginList plugins;
    plugins.Discover(kFolder);
    Devices devices;
    for (const QString& name : {QStringLiteral("Caméra plug-in"), QStringLiteral("Sans instance"),
                                QStringLiteral("Double"), kLongName, QStringLiteral("Ordinaire")})
        devices.Add(name);
    TCaptureDeviceList list(TDeviceCategory::Video);
    list.SetPlugins(&plugins);
    ASSERT_TRUE(list.Refresh(devices));
    const std::vector<QString> shown = names(list);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], QStringLiteral("Caméra du plug-in de test"));
    EXPECT_EQ(shown[1], "Double (premier)");
    EXPECT_EQ(shown[2], "Nom long");
    EXPECT_EQ(shown[3], "Ordinaire");
    auto* camera = dynamic_cast<TPlugInCaptureDevice*>(list.Get(0));
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->Kind, dkPlugIn);
    EXPECT_EQ(camera->FriendlyName, QStringLiteral("Caméra plug-in"));
    EXPECT_EQ(camera->VideoStreamCount, 1);
    EXPECT_EQ(camera->AudioStreamCount, 1);
    EXPECT_EQ(list.Get(3)->Kind, dkVideo);
    EXPECT_TRUE(plugins.At(0).enabled);
    EXPECT_FALSE(plugins.At(1).enabled);
    EXPECT_TRUE(plugins.At(3).enabled);
    // Refreshing again keeps the devices as they are.
    ASSERT_TRUE(list.Refresh(devices));
    EXPECT_EQ(names(list), shown);
    EXPECT_EQ(list.Get(0), camera);
}

// The plug-in builds its branches in the program's pipeline: pictures and sound come out of
// the pads it reports, its tee and native formats are taken, and everything goes again.
TEST(PlugIns, GraphOperationsGoThroughThePlugIn) {
    TpluginList plugins;
    plugins.Discover(kFolder);
    Devices devices;
    devices.Add(QStringLiteral("Caméra plug-in"));
    TCaptureDeviceList list(TDeviceCategory::Video);
    list.SetPlugins(&plugins);
    ASSERT_TRUE(list.Refresh(devices));
    ASSERT_EQ(list.Count(), 1);
    TCaptureDevice* device = list.Get(0);
    FakeGraph g;
    const int before = GST_BIN(g.pipe)->numchildren;
    device->SourceFilter = device->SetSourceGraph(g);
    ASSERT_NE(device->SourceFilter, nullptr);
    EXPECT_FALSE(device->SetVideoGraph(g, 2));
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    ASSERT_TRUE(device->SetAudioGraph(g, 1));
    EXPECT_EQ(g.videoDevice, device);
    ASSERT_NE(g.videoBranchTee, nullptr);
    ASSERT_NE(g.audioBranchTee, nullptr);
    EXPECT_EQ(device->NativeFormat1, 1);
    EXPECT_EQ(device->NativeFormat2, 5);
    std::atomic<int> pictures{0}, sound{0};
    g.Sink(g.videoOutputPad, pictures);
    g.Sink(g.audioPin, sound);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return pictures > 5 && sound > 5; }, 5000));
    EXPECT_EQ(g.Error(), "");
    gst_element_set_state(g.pipe, GST_STATE_NULL);
    device->KillVideoGraph(g);
    device->KillAudioGraph(g);
    EXPECT_EQ(g.videoOutputPad, nullptr);
    EXPECT_EQ(g.videoBranchTee, nullptr);
    EXPECT_EQ(g.audioPin, nullptr);
    EXPECT_EQ(g.videoDevice, nullptr);
    device->KillSourceGraph(g);
    EXPECT_EQ(GST_BIN(g.pipe)->numchildren, before + 2); // the test's two sinks
}

// A plug-in that reports a pad outside the pipeline is not trusted again: its device fails,
// the plug-in shows as not enabled, and the next refresh drops the device for good.
TEST(PlugIns, AnUnusablePadDropsTheDevice) {
    TpluginList plugins;
    plugins.Discover(kFolder);
    Devices devices;
    devices.Add("Mauvais");
    TCaptureDeviceList list(TDeviceCategory::Video);
    list.SetPlugins(&plugins);
    ASSERT_TRUE(list.Refresh(devices));
    ASSERT_EQ(list.Count(), 1);
    TCaptureDevice* device = list.Get(0);
    FakeGraph g;
    device->SourceFilter = device->SetSourceGraph(g);
    ASSERT_NE(device->SourceFilter, nullptr);
    EXPECT_FALSE(device->SetVideoGraph(g, 1));
    EXPECT_EQ(g.videoOutputPad, nullptr);
    EXPECT_FALSE(device->Valid);
    const int mauvais = plugins.IndexOf("Mauvais");
    EXPECT_FALSE(plugins.At(mauvais).enabled);
    EXPECT_TRUE(plugins.At(mauvais).broken);
    device->KillSourceGraph(g);
    std::vector<TCaptureDevice*> removed;
    ASSERT_TRUE(list.Refresh(devices, [&](TCaptureDevice* d) { removed.push_back(d); }));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(removed.size(), 1u);
    ASSERT_TRUE(list.Refresh(devices));
    EXPECT_EQ(list.Count(), 0);
}
