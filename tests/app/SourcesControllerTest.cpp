#include "SourcesController.h"
#include "CaptureForm.h"
#include "Dm.h"
#include "DossiersFrame.h"
#include "FakeV4l2Card.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "Sandbox.h"
#include "SourcesFrame.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Devices made to order: webcams on the test pattern, a microphone on a tone, and a camera
// whose source cannot be opened.
class FakeDevices : public IDeviceEnumerator {
public:
    QStringList video{"Webcam", "Webcam", "Cassée"};
    QStringList audio{"Micro"};

    std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override {
        std::vector<TDeviceDescriptor> out;
        const QStringList& names = category == TDeviceCategory::Video ? video : audio;
        for (int i = 0; i < names.size(); ++i) {
            TDeviceDescriptor d;
            d.friendlyName = names[i];
            d.id = QStringLiteral("fake:%1:%2").arg(names[i]).arg(i);
            const bool isVideo = category == TDeviceCategory::Video;
            d.caps =
                gst_caps_from_string(isVideo ? "video/x-raw,format=BGR,width=320,height=240,"
                                               "framerate=25/1"
                                             : "audio/x-raw,format=S16LE,rate=48000,channels=2");
            const bool broken = names[i] == QStringLiteral("Cassée");
            if (isVideo && names[i] == QStringLiteral("Carte TV"))
                d.v4l2Path = QStringLiteral("/dev/fake-card");
            d.createSource = [isVideo, broken]() -> GstElement* {
                if (broken) // fails when it starts, as an unplugged camera does
                    return gst_parse_bin_from_description("filesrc location=/nonexistent/camera",
                                                          TRUE, nullptr);
                return gst_parse_bin_from_description(
                    isVideo
                        ? "videotestsrc is-live=true ! capsfilter caps=\"video/x-raw,format=BGR,"
                          "width=320,height=240,framerate=25/1\""
                        : "audiotestsrc is-live=true ! capsfilter "
                          "caps=\"audio/x-raw,rate=48000,channels=2\"",
                    TRUE, nullptr);
            };
            out.push_back(d);
        }
        return out;
    }
};

struct Program {
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    FakeDevices* devices;
    explicit Program() {
        auto fake = std::make_unique<FakeDevices>();
        devices = fake.get();
        form.setDeviceEnumerator(std::move(fake));
        form.attachModules(&dm, &plaque, &raccourcis);
    }
};

QStringList items(QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

} // namespace

TEST(SourcesController, NamesFormatsExclusionAndUnplugging) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TSourcesController& sources = *p.form.sources;
    TSourcesFrame& frame = *p.form.SourcesFrame;

    // Two identical webcams: N and N #2; every list ends with its "none" item.
    EXPECT_EQ(items(frame.cboxvideo),
              (QStringList{"Webcam", "Webcam #2", "Cassée", "aucun flux vidéo"}));
    EXPECT_EQ(items(frame.cboxAudio), (QStringList{"Micro", "aucun flux audio"}));
    ASSERT_NE(sources.currentVideo(), nullptr);
    EXPECT_EQ(sources.currentVideo()->Name, QString("Webcam"));

    // The device's native format needs an audio source too.
    EXPECT_EQ(frame.cbFormatCapture->itemText(0), QString("avi natif"));
    sources.SelectAudioSource("aucun flux audio");
    sources.FillCaptureFormats(Prm.captureFormat->Value);
    EXPECT_EQ(items(frame.cbFormatCapture),
              (QStringList{"dv type 2 (recomp)", "divx", "Wmv", "Image/Image"}));
    // No source at all hides the format group.
    sources.SelectVideoSource("aucun flux vidéo");
    sources.FillCaptureFormats(Prm.captureFormat->Value);
    EXPECT_FALSE(frame.gbFormatCapture->isVisibleTo(&p.form));
    sources.SelectAudioSource("Micro");
    sources.FillCaptureFormats(Prm.captureFormat->Value);
    EXPECT_EQ(items(frame.cbFormatCapture), (QStringList{"Wav", "mp3"}));

    // A camera that cannot be opened is dropped from the lists for this run.
    sources.SelectVideoSource("Cassée");
    EXPECT_TRUE(waitFor([&] { return p.form.exclusionList.contains("Cassée"); }));
    EXPECT_EQ(frame.cboxvideo->findText("Cassée"), -1);
    EXPECT_NE(sources.currentVideo() ? sources.currentVideo()->Name : QString(), QString("Cassée"));

    // The current webcam is unplugged: the list falls back to its first item.
    sources.SelectVideoSource("Webcam #2");
    ASSERT_EQ(sources.currentVideo()->Name, QString("Webcam #2"));
    p.devices->video = QStringList{"Webcam"};
    p.devices->onDevicesChanged();
    ASSERT_TRUE(waitFor([&] { return frame.cboxvideo->findText("Webcam #2") < 0; }));
    ASSERT_NE(sources.currentVideo(), nullptr);
    EXPECT_EQ(sources.currentVideo()->Name, QString("Webcam"));
    p.form.hide();
}

// A TV card's inputs: routed again at connection from "Video Input Select", listed by name
// under "Entrées Vidéo", a choice stored and routed.
TEST(SourcesController, InputsOfACaptureCard) {
    Sandbox box;
    Program p;
    p.devices->video = QStringList{"Carte TV", "Webcam"};
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    auto log = std::make_shared<FakeV4l2Card::Log>();
    p.form.sources->openInputs = [log](const QString& node) -> std::unique_ptr<IV4l2Inputs> {
        if (node != "/dev/fake-card")
            return nullptr;
        return std::make_unique<FakeV4l2Card>(
            std::vector<TV4l2Input>{FakeV4l2Card::input(0, "Tuner 1", true, 1),
                                    FakeV4l2Card::input(1, "Composite"),
                                    FakeV4l2Card::input(2, "S-Video")},
            log);
    };
    p.form.sources->SelectVideoSource("Webcam");
    EXPECT_EQ(p.form.sources->crossbar(), nullptr);
    Prm.videoInputSelect->Value = 2;
    p.form.sources->SelectVideoSource("Carte TV");
    ASSERT_NE(p.form.sources->crossbar(), nullptr);
    EXPECT_EQ(log->selected, std::vector<int>{2});

    QMenu menu;
    p.form.sources->FillSettingsMenu(menu, true);
    QStringList entries;
    QMenu* inputs = nullptr;
    for (QAction* a : menu.actions()) {
        entries << a->text();
        if (a->menu())
            inputs = a->menu();
    }
    EXPECT_TRUE(entries.contains("Crossbar Vidéo...")) << entries.join('|').toStdString();
    ASSERT_NE(inputs, nullptr);
    EXPECT_EQ(menu.actions().last()->text(), "Entrées Vidéo");
    QStringList names;
    int checked = -1;
    for (int i = 0; i < inputs->actions().size(); ++i) {
        names << inputs->actions()[i]->text();
        if (inputs->actions()[i]->isChecked())
            checked = i;
    }
    EXPECT_EQ(names, QStringList({"Video Tuner", "Video Composite", "Video SVideo"}));
    EXPECT_EQ(checked, 2); // the input chosen before, not switched away by opening the menu
    inputs->actions()[1]->trigger();
    EXPECT_EQ(Prm.videoInputSelect->Value, 1);
    EXPECT_EQ(log->selected.back(), 1);
    EXPECT_TRUE(inputs->actions()[1]->isChecked());

    // Without a choice stored, the tuner is checked and routed.
    Prm.videoInputSelect->Value = -1;
    QMenu again;
    p.form.sources->FillSettingsMenu(again, true);
    EXPECT_EQ(log->selected.back(), 0);
    p.form.hide();
}

// Another plug-in folder, typed in the folders panel: its plug-ins take their devices over at
// once; the former folder gives them back.
TEST(SourcesController, APlugInFolderTakesItsDevicesOver) {
    Sandbox box;
    Program p;
    p.devices->video = QStringList{QStringLiteral("Caméra plug-in"), "Webcam"};
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TSourcesFrame& frame = *p.form.SourcesFrame;
    const QString plain = QStringLiteral("Caméra plug-in");
    const QString served = QStringLiteral("Caméra du plug-in de test - Video");
    EXPECT_GE(frame.cboxvideo->findText(plain), 0)
        << items(frame.cboxvideo).join('|').toStdString();
    QLineEdit* folder = p.form.DossiersFrame1->PlugInDirEdit;
    const QString former = folder->text();
    folder->setText(QStringLiteral(VR_TEST_PLUGINS));
    emit folder->editingFinished();
    EXPECT_EQ(p.form.sources->plugins().Count(), 7);
    EXPECT_LT(frame.cboxvideo->findText(plain), 0);
    EXPECT_GE(frame.cboxvideo->findText(served), 0)
        << items(frame.cboxvideo).join('|').toStdString();
    EXPECT_GE(frame.cboxvideo->findText("Webcam"), 0);
    // The plug-in's device works as any other.
    p.form.sources->SelectVideoSource(served);
    ASSERT_NE(p.form.sources->currentVideo(), nullptr);
    EXPECT_EQ(p.form.sources->currentVideo()->Device->Kind, dkPlugIn);
    folder->setText(former);
    emit folder->editingFinished();
    EXPECT_GE(frame.cboxvideo->findText(plain), 0);
    EXPECT_LT(frame.cboxvideo->findText(served), 0);
    p.form.hide();
}
