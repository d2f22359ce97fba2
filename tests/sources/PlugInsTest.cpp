// Capture plug-ins: the search of the folder, the devices they take over and their graph
// operations, with real "*.pvr" libraries built by the test suite (tests/sources/plugins).
#include "PlugIns.h"
#include "GraphFixture.h"
#include "Log.h"
#include "PluginExaminer.h"
#include "PluginGuard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/file.h>

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
// for a newer interface and the file that is not a library are listed without a name and
// with their reason, the long name is kept to its first 255 characters, the library without
// exports has no name.
TEST(PlugIns, TheFolderIsSearchedInNameOrder) {
    TpluginList list;
    list.Discover(kFolder);
    std::vector<QString> found;
    for (int i = 0; i < list.Count(); ++i)
        found.push_back(list.At(i).driverName);
    ASSERT_EQ(found.size(), 9u);
    EXPECT_EQ(found[0], QStringLiteral("Caméra plug-in"));
    EXPECT_EQ(found[1], "Sans instance");
    EXPECT_EQ(found[2], "Mauvais");
    EXPECT_EQ(found[3], kLongName.left(255));
    EXPECT_EQ(found[4], "Double");
    EXPECT_EQ(found[5], "Double");
    EXPECT_EQ(found[6], "");
    EXPECT_EQ(found[7], "");
    EXPECT_EQ(found[8], "");
    EXPECT_TRUE(list.At(6).refused);
    EXPECT_EQ(list.At(6).reason, "écrit pour la version 2 de l'interface des modules ; ce "
                                 "programme a la version 1");
    EXPECT_FALSE(list.At(7).refused);
    EXPECT_TRUE(list.At(8).refused);
    EXPECT_EQ(list.At(8).reason, "ce n'est pas une bibliothèque");
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
    g.Sink(g.videoOutputPad.get(), pictures);
    g.Sink(g.audioPin.get(), sound);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return pictures > 5 && sound > 5; }, 5000));
    EXPECT_EQ(g.Error(), "");
    gst_element_set_state(g.pipe, GST_STATE_NULL);
    device->KillVideoGraph(g);
    device->KillAudioGraph(g);
    EXPECT_EQ(g.videoOutputPad.get(), nullptr);
    EXPECT_EQ(g.videoBranchTee, nullptr);
    EXPECT_EQ(g.audioPin.get(), nullptr);
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
    EXPECT_EQ(g.videoOutputPad.get(), nullptr);
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

namespace {

const QString kHostile = QStringLiteral(VR_HOSTILE_PLUGINS);

// A folder of its own holding copies of the libraries (hostile ones by their name, others
// by their path).
void fill(const QTemporaryDir& dir, const QStringList& libraries) {
    for (const QString& library : libraries) {
        const QString from = library.contains('/') ? library : kHostile + "/" + library + ".pvr";
        ASSERT_TRUE(QFile::copy(from, dir.filePath(QFileInfo(from).fileName())))
            << from.toStdString();
    }
}

QString reasonOf(const TpluginList& list, const QString& file) {
    for (int i = 0; i < list.Count(); ++i)
        if (QFileInfo(list.At(i).path).fileName() == file)
            return list.At(i).refused || list.At(i).setAside ? list.At(i).reason : "(utilisé)";
    return "(absent)";
}

} // namespace

// Libraries that crash, hang or scribble while they are loaded and named cost the helper
// that examines them, never the program: each is listed with its reason in French and said
// once; the good one among them serves its device. The next search takes every answer from
// the cache; a library changed on disk is examined again.
TEST(PlugIns, HostileLibrariesAreRefusedWithTheirReasons) {
    QTemporaryDir dir;
    fill(dir, {kFolder + "/a_camera.pvr", "crash_nom", "crash_chargement", "debordement", "bloque",
               "symbole", kFolder + "/i_pas_une_bibliotheque.pvr"});
    takeUserNotices();
    TpluginList list;
    list.Discover(dir.path());
    ASSERT_EQ(list.Count(), 7);
    EXPECT_EQ(reasonOf(list, "a_camera.pvr"), "(utilisé)");
    EXPECT_EQ(reasonOf(list, "crash_nom.pvr"),
              "a arrêté le programme d'examen pendant la lecture de son nom (accès mémoire "
              "invalide)");
    EXPECT_EQ(reasonOf(list, "crash_chargement.pvr"),
              "a arrêté le programme d'examen pendant son chargement (accès mémoire invalide)");
    EXPECT_EQ(reasonOf(list, "debordement.pvr"),
              "écrit au-delà de la zone prévue pour son nom pendant la lecture de son nom");
    EXPECT_EQ(reasonOf(list, "bloque.pvr"),
              "ne répond plus pendant la lecture de son nom (plus de 5 s)");
    EXPECT_EQ(reasonOf(list, "symbole.pvr"), "un symbole lui manque (vr_nowhere_to_be_found)");
    EXPECT_EQ(reasonOf(list, "i_pas_une_bibliotheque.pvr"), "ce n'est pas une bibliothèque");
    // None of them serves "Mire de test", which they all meant to take over.
    EXPECT_EQ(list.IndexOf("Mire de test"), -1);
    EXPECT_EQ(list.IndexOf(QStringLiteral("Caméra plug-in")), 0);
    const QStringList notices = takeUserNotices();
    EXPECT_EQ(notices.size(), 6);
    EXPECT_TRUE(notices.contains("Le module symbole.pvr n'a pas été retenu : un symbole lui manque "
                                 "(vr_nowhere_to_be_found)."))
        << notices.join('\n').toStdString();

    TpluginList again;
    again.Discover(dir.path());
    EXPECT_EQ(reasonOf(again, "bloque.pvr"), reasonOf(list, "bloque.pvr"));
    EXPECT_EQ(reasonOf(again, "crash_nom.pvr"), reasonOf(list, "crash_nom.pvr"));
    EXPECT_TRUE(takeUserNotices().isEmpty());
    const QStringList paths{dir.filePath("a_camera.pvr"), dir.filePath("symbole.pvr")};
    for (const TPluginExamination& e : ExaminePlugins(paths))
        EXPECT_FALSE(e.fresh) << e.path.toStdString();
    QFile changed(dir.filePath("a_camera.pvr"));
    ASSERT_TRUE(changed.open(QIODevice::Append));
    changed.write("x"); // still a library, another size
    changed.close();
    const std::vector<TPluginExamination> examined = ExaminePlugins(paths);
    EXPECT_TRUE(examined[0].fresh);
    EXPECT_TRUE(examined[0].usable);
    EXPECT_FALSE(examined[1].fresh);
}

TEST(PlugIns, LoadFailuresAreSaidInFrench) {
    EXPECT_EQ(LoadFailureReason("/p/x.pvr: undefined symbol: gst_truc_new"),
              "un symbole lui manque (gst_truc_new)");
    EXPECT_EQ(LoadFailureReason("/p/x.pvr: invalid ELF header"), "ce n'est pas une bibliothèque");
    EXPECT_EQ(LoadFailureReason("/p/x.pvr: file too short"), "ce n'est pas une bibliothèque");
    EXPECT_EQ(LoadFailureReason("/p/x.pvr: wrong ELF class: ELFCLASS32"),
              "c'est une bibliothèque pour un autre processeur");
    EXPECT_EQ(LoadFailureReason("libabsente.so.3: cannot open shared object file: No such file"),
              "une bibliothèque dont il a besoin manque (libabsente.so.3)");
}

// What a run that ended inside a plug-in left behind sets that plug-in aside at the next
// start, once, with a notice that names it; a marker still held by a living process, and a
// damaged one, change nothing. The user enables it again; a new build of it is tried anew.
TEST(PlugIns, APlugInThatStoppedTheProgramIsSetAside) {
    QTemporaryDir dir, data;
    const QString before = PluginGuard::Folder();
    PluginGuard::SetFolder(data.path());
    for (const char* name : {"a.pvr", "b.pvr", "c.pvr", "d.pvr", "e.pvr"})
        ASSERT_TRUE(QFile::copy(kFolder + "/a_camera.pvr", dir.filePath(name)));
    const QByteArray a = QUrl::toPercentEncoding(dir.filePath("a.pvr"), "/");
    const QByteArray b = QUrl::toPercentEncoding(dir.filePath("b.pvr"), "/");
    const QByteArray c = QUrl::toPercentEncoding(dir.filePath("c.pvr"), "/");
    const QByteArray d = QUrl::toPercentEncoding(dir.filePath("d.pvr"), "/");
    const QByteArray e = QUrl::toPercentEncoding(dir.filePath("e.pvr"), "/");
    auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("plug-ins-1000001.marque", "appel\t" + a + "\tpi_create\nactif\t" + b + "\n");
    write("plug-ins-1000002.plantage", "11\t" + b + "\n");
    write("plug-ins-1000003.marque", QByteArray("\x01\xff\tappel\t\t\n\0\0", 11));
    write("plug-ins-1000004.marque", "appel\t" + c + "\tpi_setsourcegraph\n");
    // Gone without a word while d streamed; crashed in code of its own while e streamed.
    write("plug-ins-1000005.marque", "actif\t" + d + "\n");
    write("plug-ins-1000006.marque", "actif\t" + e + "\n");
    write("plug-ins-1000006.plantage", "11\t\n");
    QFile held(data.filePath("plug-ins-1000004.marque"));
    ASSERT_TRUE(held.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

    const QStringList notices = PluginGuard::CollectLeftovers();
    ASSERT_EQ(notices.size(), 3) << notices.join('\n').toStdString();
    EXPECT_EQ(notices[0], "Le module a.pvr a arrêté le programme pendant la création de son "
                          "instance ; il a été désactivé. Il peut être réactivé depuis la page "
                          "« Système » du panneau d'aide.");
    EXPECT_TRUE(notices[1].startsWith(
        "Le module b.pvr a arrêté le programme pendant l'aperçu ou l'enregistrement ;"));
    EXPECT_EQ(notices[2], "Le programme s'est arrêté brutalement pendant que le module d.pvr "
                          "était utilisé ; ce module a été désactivé. Il peut être réactivé "
                          "depuis la page « Système » du panneau d'aide.");
    EXPECT_TRUE(PluginGuard::CollectLeftovers().isEmpty()); // said once
    EXPECT_TRUE(QFile::exists(data.filePath("plug-ins-1000004.marque")));
    EXPECT_FALSE(QFile::exists(data.filePath("plug-ins-1000001.marque")));

    TpluginList list;
    list.Discover(dir.path());
    ASSERT_EQ(list.Count(), 5);
    EXPECT_TRUE(list.At(0).setAside);
    EXPECT_FALSE(list.At(0).enabled);
    EXPECT_EQ(list.At(0).reason, "a arrêté le programme pendant la création de son instance");
    EXPECT_TRUE(list.At(1).setAside);
    EXPECT_FALSE(list.At(2).setAside);
    EXPECT_TRUE(list.At(3).setAside);
    EXPECT_FALSE(list.At(4).setAside);
    EXPECT_EQ(list.IndexOf(QStringLiteral("Caméra plug-in")), 2);

    TpluginList::Enable(dir.filePath("a.pvr"));
    QFile rebuilt(dir.filePath("b.pvr"));
    ASSERT_TRUE(rebuilt.open(QIODevice::Append));
    rebuilt.write("x");
    rebuilt.close();
    list.Discover(dir.path());
    EXPECT_FALSE(list.At(0).setAside);
    EXPECT_FALSE(list.At(1).setAside);
    EXPECT_EQ(list.IndexOf(QStringLiteral("Caméra plug-in")), 0);
    held.close();
    PluginGuard::SetFolder(before);
}

// An exception a plug-in lets out on the window thread is caught: its device fails, the
// plug-in is out of use for the run with its reason, and the user is told.
TEST(PlugIns, AnExceptionOutOfAPlugInIsCaught) {
    QTemporaryDir dir;
    fill(dir, {"exception"});
    TpluginList plugins;
    plugins.Discover(dir.path());
    Devices devices;
    devices.Add("Mire de test");
    TCaptureDeviceList list(TDeviceCategory::Video);
    list.SetPlugins(&plugins);
    ASSERT_TRUE(list.Refresh(devices));
    ASSERT_EQ(list.Count(), 1);
    takeUserNotices();
    FakeGraph g;
    EXPECT_EQ(list.Get(0)->SetSourceGraph(g), nullptr);
    EXPECT_FALSE(list.Get(0)->Valid);
    EXPECT_TRUE(plugins.At(0).broken);
    EXPECT_EQ(plugins.At(0).reason, "a levé une exception pendant la mise en place de sa source");
    EXPECT_EQ(takeUserNotices(),
              QStringList{"Le module exception.pvr a levé une exception pendant la mise en "
                          "place de sa source ; il a été désactivé jusqu'au prochain démarrage."});
    list.Get(0)->KillSourceGraph(g);
    ASSERT_TRUE(list.Refresh(devices));
    EXPECT_EQ(list.Count(), 0);
}

namespace {

// A device of a hostile plug-in taking over "Mire de test", its picture in a small graph.
struct HostileRig {
    explicit HostileRig(const QString& plugin) {
        qputenv("HOSTILE_GOOD_PICTURES", "5");
        fill(dir, {plugin});
        plugins.Discover(dir.path());
        devices.Add("Mire de test");
        list.SetPlugins(&plugins);
        list.Refresh(devices);
        device = dynamic_cast<TPlugInCaptureDevice*>(list.Get(0));
        if (device) {
            device->SourceFilter = device->SetSourceGraph(g);
            device->SetVideoGraph(g, 1);
            g.Sink(g.videoOutputPad.get(), pictures);
        }
    }
    ~HostileRig() { qunsetenv("HOSTILE_GOOD_PICTURES"); }
    QTemporaryDir dir;
    TpluginList plugins;
    Devices devices;
    TCaptureDeviceList list{TDeviceCategory::Video};
    TPlugInCaptureDevice* device = nullptr;
    FakeGraph g;
    std::atomic<int> pictures{0};
};

} // namespace

// Pictures smaller than their format says, or without memory, never go further: they are
// dropped at the plug-in's pad and counted.
TEST(PlugIns, BrokenPicturesAreDroppedAndCounted) {
    for (const char* plugin : {"images_courtes", "images_vides"}) {
        HostileRig rig(plugin);
        ASSERT_NE(rig.device, nullptr) << plugin;
        ASSERT_NE(rig.g.videoOutputPad.get(), nullptr) << plugin;
        ASSERT_TRUE(rig.g.Play());
        EXPECT_TRUE(WaitFor([&] { return rig.device->BrokenFrames() > 10; }, 10000)) << plugin;
        EXPECT_LE(rig.pictures.load(), 6) << plugin;
        EXPECT_EQ(rig.g.Error(), "") << plugin;
        gst_element_set_state(rig.g.pipe, GST_STATE_NULL);
        rig.device->KillVideoGraph(rig.g);
        rig.device->KillSourceGraph(rig.g);
    }
}

// A plug-in whose streaming thread never comes back is not waited for: its elements are
// given a time limit to stop, then it is abandoned (out of the pipeline, never called again)
// and the pipeline stops at once.
TEST(PlugIns, AStuckPlugInIsAbandonedNotWaitedFor) {
    HostileRig rig("bloque_flux");
    ASSERT_NE(rig.device, nullptr);
    ASSERT_TRUE(rig.g.Play());
    ASSERT_TRUE(WaitFor([&] { return rig.pictures >= 5; }, 10000));
    QThread::msleep(300); // the next picture, 40 ms later, never comes out of the plug-in
    takeUserNotices();
    QElapsedTimer clock;
    clock.start();
    TPlugInCaptureDevice::StopPluginsIn(GST_BIN(rig.g.pipe), 500);
    gst_element_set_state(rig.g.pipe, GST_STATE_NULL);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(rig.device->abandoned());
    EXPECT_FALSE(rig.device->Valid);
    EXPECT_EQ(rig.plugins.At(0).reason, "ne s'est pas arrêté dans les 0.5 s");
    EXPECT_TRUE(takeUserNotices().join('\n').contains(
        "Le module bloque_flux.pvr ne s'est pas arrêté dans les 0.5 s : il a été abandonné"));
    EXPECT_TRUE(PlugInsAbandoned());
    // Taking its branches out calls nothing of it any more.
    rig.device->KillVideoGraph(rig.g);
    rig.device->KillSourceGraph(rig.g);
    // A plug-in that stops in time stays as it was.
    HostileRig good("images_courtes");
    ASSERT_NE(good.device, nullptr);
    ASSERT_TRUE(good.g.Play());
    ASSERT_TRUE(WaitFor([&] { return good.pictures >= 1; }, 10000));
    TPlugInCaptureDevice::StopPluginsIn(GST_BIN(good.g.pipe), 2000);
    EXPECT_FALSE(good.device->abandoned());
    gst_element_set_state(good.g.pipe, GST_STATE_NULL);
    good.device->KillVideoGraph(good.g);
    good.device->KillSourceGraph(good.g);
}
