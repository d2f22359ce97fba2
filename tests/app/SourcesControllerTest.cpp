#include "SourcesController.h"
#include "AppPaths.h"
#include "CaptureForm.h"
#include "CaptureFormats.h"
#include "DVGenerator.h"
#include "Dm.h"
#include "DossiersFrame.h"
#include "FakeV4l2Card.h"
#include "IniFile.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "SourcesFrame.h"
#include "SourcesPanel.h"
#include "SuperAction.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <malloc.h>
#include <mutex>
#include <set>
#include <unistd.h>

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
            // A sound card: a mixer, and whatever rate, size and channels are asked for.
            const bool soundCard = names[i] == QStringLiteral("Carte son");
            if (isVideo && names[i] == QStringLiteral("Carte TV"))
                d.v4l2Path = QStringLiteral("/dev/fake-card");
            if (soundCard) {
                d.alsaCard = QStringLiteral("hw:fake");
                gst_caps_unref(d.caps);
                d.caps = gst_caps_from_string("audio/x-raw,format={S16LE,S32LE},"
                                              "rate=[8000,48000],channels=[1,2],"
                                              "layout=interleaved");
            }
            const bool fragile = names[i] == QStringLiteral("Fragile");
            d.createSource = [isVideo, broken, soundCard, fragile]() -> GstElement* {
                if (broken) // fails when it starts, as an unplugged camera does
                    return gst_parse_bin_from_description("filesrc location=/nonexistent/camera",
                                                          TRUE, nullptr);
                if (soundCard)
                    return gst_parse_bin_from_description("audiotestsrc is-live=true", TRUE,
                                                          nullptr);
                if (fragile) // a read error after three seconds, as a camera pulled out
                    return gst_parse_bin_from_description(
                        "videotestsrc is-live=true ! capsfilter caps=\"video/x-raw,format=BGR,"
                        "width=320,height=240,framerate=25/1\" ! identity error-after=75",
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

// A sound card's mixer: its inputs, of which one records, and its recording levels.
struct FakeMixerState {
    QStringList inputs{"Mic", "Line", "CD"};
    QString active = "Mic";
    std::vector<IAlsaMixer::Level> levels{{"Capture", 0, 63, 40}};
    bool refuse = false; // the card will not switch
};

class FakeMixer : public IAlsaMixer {
public:
    explicit FakeMixer(std::shared_ptr<FakeMixerState> state) : m(std::move(state)) {}
    QStringList CaptureInputs() override { return m->inputs; }
    QString ActiveCaptureInput() override { return m->active; }
    bool EnableCaptureInput(const QString& name) override {
        if (m->refuse || !m->inputs.contains(name))
            return false;
        m->active = name;
        return true;
    }
    std::vector<Level> CaptureLevels() override { return m->levels; }
    bool SetCaptureLevel(const QString& name, long value) override {
        for (Level& l : m->levels)
            if (l.name == name)
                return l.value = value, true;
        return false;
    }

private:
    std::shared_ptr<FakeMixerState> m;
};

QStringList items(QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// What the process holds: resident memory once the allocator has given back its free pages
// (what it merely caches for the next thread is noise here), and open descriptors.
struct Footprint {
    long rssKb = 0;
    int fds = 0;
    static Footprint now() {
        malloc_trim(0);
        Footprint f;
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (statm.open(QIODevice::ReadOnly))
            f.rssKb = statm.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
        f.fds = int(QDir(QStringLiteral("/proc/self/fd"))
                        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                        .size());
        return f;
    }
};

// Counts the elements of the given names, taken from the pipeline as they appear, that are
// still alive anywhere (inside the pipeline or out of it). Those still alive when the count
// goes are no longer watched.
class Survivors {
public:
    ~Survivors() {
        std::lock_guard lock(m_lock);
        for (GObject* o : m_alive)
            g_object_weak_unref(o, &Survivors::gone, this);
    }
    void watch(GstBin* pipeline, const char* name) {
        GstElement* e = gst_bin_get_by_name(pipeline, name);
        if (!e)
            return;
        {
            std::lock_guard lock(m_lock);
            if (m_alive.insert(G_OBJECT(e)).second)
                g_object_weak_ref(G_OBJECT(e), &Survivors::gone, this);
        }
        gst_object_unref(e);
    }
    int alive() const {
        std::lock_guard lock(m_lock);
        return int(m_alive.size());
    }

private:
    // The last unref may come on a streaming thread.
    static void gone(gpointer self, GObject* object) {
        auto* s = static_cast<Survivors*>(self);
        std::lock_guard lock(s->m_lock);
        s->m_alive.erase(object);
    }
    mutable std::mutex m_lock;
    std::set<GObject*> m_alive;
};

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
              (QStringList{"Webcam", "Webcam #2", "Cassée", "Fichier DV…", "aucun flux vidéo"}));
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
    EXPECT_TRUE(waitFor([&] { return p.form.session().exclusionList.contains("Cassée"); }));
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
    p.form.sourcesPanel->FillSettingsMenu(menu, true);
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
    p.form.sourcesPanel->FillSettingsMenu(again, true);
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
    EXPECT_EQ(p.form.sources->plugins().Count(), 9); // two of them refused
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

// A sound card: its input list comes from the mixer and switches the card's recording input;
// its settings menu offers the mixer and the formats the card takes, and a chosen format is
// what the source then delivers.
TEST(SourcesController, ASoundCardsInputsLevelsAndFormat) {
    Sandbox box;
    ScriptedPrompts prompts;
    PromptsGuard guard(&prompts);
    Program p;
    p.devices->audio = QStringList{"Micro", "Carte son"};
    auto mixer = std::make_shared<FakeMixerState>();
    QStringList opened;
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TSourcesController& sources = *p.form.sources;
    TSourcesFrame& frame = *p.form.SourcesFrame;
    sources.openMixer = [&](const QString& card) -> std::unique_ptr<IAlsaMixer> {
        opened << card;
        return std::make_unique<FakeMixer>(mixer);
    };

    // Not a sound card: no input list, no page.
    sources.SelectAudioSource("Micro");
    EXPECT_FALSE(frame.cbEntries->isVisibleTo(&p.form));
    QMenu plain;
    p.form.sourcesPanel->FillSettingsMenu(plain, false);
    ASSERT_EQ(plain.actions().size(), 1);
    EXPECT_EQ(plain.actions()[0]->text(), QString("[aucune page de réglages]"));
    EXPECT_TRUE(opened.isEmpty());

    // The card: the list shows the input the card records from.
    Prm.soundCardEntry->Value = "CD";
    sources.SelectAudioSource("Carte son");
    EXPECT_TRUE(frame.cbEntries->isVisibleTo(&p.form));
    EXPECT_EQ(items(frame.cbEntries), mixer->inputs);
    EXPECT_EQ(frame.cbEntries->currentText(), QString("Mic"));
    EXPECT_EQ(Prm.soundCardEntry->Value, QString("Mic"));
    EXPECT_TRUE(opened.contains("hw:fake"));

    // Choosing a line records from it.
    frame.cbEntries->setCurrentIndex(1);
    emit frame.cbEntries->activated(1);
    EXPECT_EQ(mixer->active, QString("Line"));
    EXPECT_EQ(Prm.soundCardEntry->Value, QString("Line"));
    EXPECT_TRUE(prompts.asked.isEmpty());
    // A card that will not switch says so, and which line it keeps.
    mixer->refuse = true;
    frame.cbEntries->setCurrentIndex(2);
    emit frame.cbEntries->activated(2);
    EXPECT_EQ(mixer->active, QString("Line"));
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_TRUE(prompts.asked[0].contains("« CD »") && prompts.asked[0].contains("« Line »"))
        << prompts.asked[0].toStdString();

    QMenu menu;
    p.form.sourcesPanel->FillSettingsMenu(menu, false);
    QStringList entries;
    for (QAction* a : menu.actions())
        entries << a->text();
    EXPECT_EQ(entries, QStringList({"Filtre de Capture Audio...", "Broche de Capture Audio..."}));

    // The formats offered are those the card takes, and a choice reaches the graph.
    const auto choices = sources.AudioFormatChoices();
    QStringList labels;
    for (const auto& c : choices)
        labels << c.first;
    EXPECT_TRUE(labels.contains("22050 Hz 16 bits 1 canaux"));
    EXPECT_TRUE(labels.contains("48000 Hz 32 bits 2 canaux"));
    EXPECT_FALSE(labels.contains("96000 Hz 16 bits 2 canaux"));
    EXPECT_FALSE(labels.contains("44100 Hz 24 bits 2 canaux"));
    const int mono = int(labels.indexOf("22050 Hz 16 bits 1 canaux"));
    sources.currentAudio()->Device->ChosenFormat = choices[mono].second;
    sources.SelectAudioSource("Micro");
    sources.SelectAudioSource("Carte son");
    EXPECT_TRUE(waitFor([&] { return frame.LabAudio->text() == "22050 Hz 16 bits 1 canaux"; }))
        << frame.LabAudio->text().toStdString();
    p.form.hide();
}

// Each change of source builds a new source and a new preview chain; the former ones must go
// entirely, with their threads, buffers and descriptors: 200 changes leave the process where
// 10 left it.
TEST(SourcesController, ChangingSourcesFreesTheFormerOnes) {
    Sandbox box;
    Program p;
    p.devices->video = QStringList{"Webcam", "Webcam"};
    p.devices->audio = QStringList{"Micro", "Micro"};
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TSourcesFrame& frame = *p.form.SourcesFrame;
    GstBin* pipeline = p.dm.pipeline();

    struct Kind {
        QComboBox* combo;
        QStringList sources;              // the two sources changed between
        std::vector<const char*> watched; // a source bin and the preview sink
        std::function<bool()> flowing;    // the new chain has carried its stream
    };
    const auto pictures = [&] { return p.dm.previewFrames() > 0; };
    const auto sound = [&] { return p.dm.audioFormat().rate > 0; };
    const Kind video{
        frame.cboxvideo, {"Webcam #2", "Webcam"}, {"vid_source", "video window"}, pictures};
    const Kind audio{frame.cboxAudio, {"Micro #2", "Micro"}, {"aud_source", "audiorender"}, sound};

    for (const Kind* kind : {&video, &audio}) {
        SCOPED_TRACE(kind == &video ? "video" : "audio");
        Survivors survivors;
        int changes = 0;
        const auto change = [&](int times) {
            for (int i = 0; i < times; ++i, ++changes) {
                // As the user does: an item picked in the list.
                const int item = kind->combo->findText(kind->sources[changes % 2]);
                ASSERT_GE(item, 0);
                kind->combo->setCurrentIndex(item);
                emit kind->combo->activated(item);
                ASSERT_TRUE(waitFor(kind->flowing)) << "change " << changes;
                for (const char* name : kind->watched)
                    survivors.watch(pipeline, name);
            }
        };
        ASSERT_NO_FATAL_FAILURE(change(10));
        const Footprint after10 = Footprint::now();
        ASSERT_NO_FATAL_FAILURE(change(200));
        QApplication::processEvents(); // messages still queued for the UI thread
        const Footprint after210 = Footprint::now();
        // Only the current source and its chain are left.
        EXPECT_EQ(survivors.alive(), int(kind->watched.size()));
        EXPECT_LE(after210.fds, after10.fds + 2);
        // A former source and chain kept about 650 kB (video) or 200 kB (audio), over 40 MB in
        // 200 changes; the allocator's own share moves by 1 to 3 MB from run to run.
        EXPECT_LE(after210.rssKb, after10.rssKb + 8 * 1024)
            << after10.rssKb << " kB after 10 changes, " << after210.rssKb << " kB after 210";
    }
    p.form.hide();
}

// A camera that fails in the middle of a recording: the part ends readable with what came
// before the failure, the user is told, and the preview goes on with another camera.
TEST(SourcesController, ACameraFailingWhileRecordingLeavesAReadableFile) {
    Sandbox box;
    ScriptedPrompts prompts;
    PromptsGuard guard(&prompts);
    Program p;
    p.devices->video = QStringList{"Webcam", "Fragile"};
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TSourcesController& sources = *p.form.sources;
    QDir().mkpath(box.path("videos"));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    sources.SelectAudioSource(TSourcesController::kNoAudio);
    sources.SelectVideoSource("Fragile");
    ASSERT_EQ(sources.currentVideo()->Name, QString("Fragile"));
    sources.FillCaptureFormats(cfDivx);
    ASSERT_EQ(Prm.captureFormat->Value, cfDivx);
    TRecordingController& rec = *p.form.recorder;
    // The camera's source posts a second error while the file is being finished (the window
    // handles events meanwhile), as the pattern behind the failing element does.
    GstElement* cameraSource =
        GST_ELEMENT(gst_object_ref(sources.currentVideo()->Device->SourceFilter));
    const auto stop = sources.stopRecording;
    sources.stopRecording = [&](bool changed) {
        QTimer::singleShot(0, [&] {
            emit p.form.dm()->sourceError(cameraSource,
                                          QStringLiteral("flux de données interrompu"));
        });
        stop(changed);
    };
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_EQ(rec.state(), RecordingState::rsRecording);
    const QString file = rec.currentFile();
    ASSERT_TRUE(waitFor([&] { return rec.state() == RecordingState::rsPreview; }, 30000));
    sources.stopRecording = stop;
    gst_object_unref(cameraSource);
    ASSERT_FALSE(prompts.asked.isEmpty());
    EXPECT_TRUE(prompts.asked.join('\n').contains("La source de l'enregistrement a été perdue"))
        << prompts.asked.join('\n').toStdString();
    EXPECT_TRUE(p.form.session().exclusionList.contains("Fragile"));
    ASSERT_NE(sources.currentVideo(), nullptr);
    EXPECT_EQ(sources.currentVideo()->Name, QString("Webcam"));

    QProcess probe;
    probe.start("ffprobe",
                {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                 "stream=codec_name,nb_read_frames", "-of", "csv=p=0", file});
    ASSERT_TRUE(probe.waitForFinished(60000));
    const QString info = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
    EXPECT_EQ(probe.exitCode(), 0) << info.toStdString();
    EXPECT_EQ(info.section(',', 0, 0), QString("mpeg4")) << info.toStdString();
    const int frames = info.section(',', 1, 1).toInt();
    // The frames before the failure, never more than the camera gave.
    EXPECT_GT(frames, 0) << info.toStdString();
    EXPECT_LE(frames, 75) << info.toStdString();
    p.form.hide();
}

// "Fichier DV…" in the video list opens a DV file as a tape: listed after the other devices
// under its own name, chosen with its sound, kept for the next start; a file that cannot be
// played, or that went, is said in French and not chosen.
TEST(SourcesController, ADvFilePlaysAsATapeAndIsKept) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"})); // portable: kept at close
    dv::ClipSpec spec;
    spec.frames = 50;
    std::string error;
    const QString tape = box.path("vacances 2004.dv");
    ASSERT_TRUE(dv::GenerateClip(tape.toStdString(), spec, &error)) << error;
    const QByteArray bytes = Sandbox::read(tape);
    ScriptedPrompts answers;
    PromptsGuard guard(&answers);
    {
        Program p;
        p.form.show();
        ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
        TSourcesController& sources = *p.form.sources;
        TSourcesFrame& frame = *p.form.SourcesFrame;
        EXPECT_EQ(items(frame.cboxvideo), (QStringList{"Webcam", "Webcam #2", "Cassée",
                                                       "Fichier DV…", "aucun flux vidéo"}));
        // No file chosen in the dialog: nothing changes.
        sources.VideoChosen("Fichier DV…");
        EXPECT_EQ(answers.asked, QStringList{"Fichier DV"});
        EXPECT_EQ(frame.cboxvideo->currentText(), "Webcam");
        answers.asked.clear();

        answers.file = tape;
        sources.VideoChosen("Fichier DV…");
        ASSERT_TRUE(waitFor([&] {
            return sources.currentVideo() && sources.currentVideo()->Name == "Fichier DV - Video";
        }));
        ASSERT_NE(sources.currentAudio(), nullptr);
        EXPECT_EQ(sources.currentAudio()->Name, "Fichier DV - Audio");
        EXPECT_EQ(frame.cboxvideo->currentText(), "Fichier DV - Video");
        EXPECT_EQ(items(frame.cboxvideo),
                  (QStringList{"Webcam", "Webcam #2", "Cassée", "Fichier DV - Video", "Fichier DV…",
                               "aucun flux vidéo"}));
        EXPECT_EQ(sources.currentVideo()->Device->Transport(), sources.dvFileDeck().get());
        EXPECT_NE(sources.currentVideo()->SceneDetector(), nullptr);
        EXPECT_EQ(Prm.fichierDv->Value, tape);
        EXPECT_EQ(Prm.sourceVideo->Value, "Fichier DV - Video");
        const quint64 shown = p.dm.previewFrames();
        EXPECT_TRUE(waitFor([&] { return p.dm.previewFrames() > shown + 5; }));
        EXPECT_EQ(answers.asked, QStringList{"Fichier DV"}); // the dialog's title
        answers.asked.clear();

        // A file that cannot be played: said, and the tape stays.
        ASSERT_TRUE(Sandbox::write(box.path("vide.avi"), {}));
        EXPECT_FALSE(sources.ChooseDvFile(box.path("vide.avi")));
        ASSERT_EQ(answers.asked.size(), 1) << answers.asked.join("\n").toStdString();
        EXPECT_EQ(answers.asked[0], "Le fichier DV « " + box.path("vide.avi") +
                                        " » ne peut pas être lu : il est vide.");
        EXPECT_EQ(sources.currentVideo()->Name, "Fichier DV - Video");
        EXPECT_EQ(sources.dvFile(), tape);
        answers.asked.clear();

        // A file cut short plays up to its last whole frame, and the user is told.
        const QString cut = box.path("coupée.dv");
        ASSERT_TRUE(Sandbox::write(cut, bytes.left(bytes.size() / 2 + 1000)));
        EXPECT_TRUE(sources.ChooseDvFile(cut));
        ASSERT_EQ(answers.asked.size(), 1);
        EXPECT_EQ(answers.asked[0], "Le fichier DV « " + cut +
                                        " » est coupé avant sa fin : ses 25 images entières sont "
                                        "lues.");
        ASSERT_TRUE(waitFor([&] { return sources.dvFile() == cut && sources.currentVideo(); }));
        EXPECT_TRUE(waitFor([&] {
            return sources.currentVideo()->Device->Transport() == sources.dvFileDeck().get();
        }));
        EXPECT_EQ(sources.currentVideo()->Name, "Fichier DV - Video");
        EXPECT_TRUE(sources.ChooseDvFile(tape));
        EXPECT_TRUE(waitFor([&] {
            return sources.currentVideo() &&
                   sources.currentVideo()->Device->Transport() == sources.dvFileDeck().get();
        }));
        answers.asked.clear();
        p.form.close();
        ASSERT_TRUE(waitFor([&] { return !p.form.isVisible(); }));
    }
    EXPECT_TRUE(answers.asked.isEmpty()) << answers.asked.join('\n').toStdString();
    {
        // The next start plays the same file.
        Program p;
        p.form.show();
        ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
        ASSERT_NE(p.form.sources->currentVideo(), nullptr);
        EXPECT_EQ(p.form.sources->currentVideo()->Name, "Fichier DV - Video");
        EXPECT_EQ(p.form.sources->dvFile(), tape);
        p.form.close();
        ASSERT_TRUE(waitFor([&] { return !p.form.isVisible(); }));
    }
    EXPECT_TRUE(answers.asked.isEmpty()) << answers.asked.join('\n').toStdString();
    EXPECT_EQ(Sandbox::read(tape), bytes); // played, never written
    ASSERT_TRUE(QFile::remove(tape));
    {
        // The file went: said once, not chosen, forgotten.
        Program p;
        p.form.show();
        ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
        ASSERT_EQ(answers.asked.size(), 1);
        EXPECT_EQ(answers.asked[0], "Le fichier DV « " + tape +
                                        " » ne peut pas être lu : il n'existe pas. La source "
                                        "« Fichier DV » n'est pas choisie.");
        ASSERT_NE(p.form.sources->currentVideo(), nullptr);
        EXPECT_EQ(p.form.sources->currentVideo()->Name, "Webcam");
        EXPECT_EQ(p.form.sources->dvFile(), QString());
        EXPECT_EQ(Prm.fichierDv->Value, QString());
        EXPECT_LT(items(p.form.SourcesFrame->cboxvideo).indexOf("Fichier DV - Video"), 0);
        answers.asked.clear();

        // From the command line: a missing file is said and not chosen; a file is.
        p.form.receiveCommandLine({"/dv_fichier=" + box.path("nulle part.dv")});
        ASSERT_TRUE(waitFor([&] { return !answers.asked.isEmpty(); }));
        EXPECT_TRUE(answers.asked[0].contains("il n'existe pas")) << answers.asked[0].toStdString();
        EXPECT_EQ(p.form.sources->currentVideo()->Name, "Webcam");
        answers.asked.clear();
        p.form.receiveCommandLine({"/dv_fichier=vacances 2004.dv"});
        ASSERT_TRUE(waitFor([&] { return !answers.asked.isEmpty(); }));
        EXPECT_EQ(answers.asked[0], "Le fichier DV « vacances 2004.dv » n'est pas pris : il doit "
                                    "être donné par son chemin complet.");
        ASSERT_TRUE(Sandbox::write(tape, bytes));
        p.form.receiveCommandLine({"/dv_fichier=" + tape});
        EXPECT_TRUE(waitFor([&] {
            return p.form.sources->currentVideo() &&
                   p.form.sources->currentVideo()->Name == "Fichier DV - Video";
        }));
        p.form.close();
        ASSERT_TRUE(waitFor([&] { return !p.form.isVisible(); }));
    }
}
