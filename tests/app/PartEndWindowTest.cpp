// A stop returns at once and the recording's file gets its end from the event loop: what the
// user, a script or another start asks meanwhile waits for that end, in order.
#include "CaptureForm.h"
#include "CaptureFormats.h"
#include "CommandRunner.h"
#include "Dm.h"
#include "EndPart.h"
#include "ParameterTable.h"
#include "ProgramUnderTest.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "SourcesController.h"
#include "SuperAction.h"
#include "VideoWidget.h"
#include "WaitFor.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Program = ProgramUnderTest;

// "mpeg4 frames|mp3 frames" as ffprobe counts them in a file.
QString streamsOf(const QString& file) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                        "stream=codec_name,nb_read_frames", "-of", "csv=p=0", file});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().replace('\n', '|');
}

int framesOf(const QString& streams, const QString& codec) {
    for (const QString& s : streams.split('|'))
        if (s.startsWith(codec + ","))
            return s.section(',', 1).toInt();
    return -1;
}

// The end of stream reaches the file writer 400 ms late, so that an end lasts long enough
// for what a test asks meanwhile.
void slowEndOfStream(Tdm& dm) {
    GstIterator* it = gst_bin_iterate_recurse(dm.pipeline());
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(e);
        if (f && g_str_equal(GST_OBJECT_NAME(f), "filesink")) {
            GstPad* pad = gst_element_get_static_pad(e, "sink");
            gst_pad_add_probe(
                pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
                [](GstPad*, GstPadProbeInfo* info, gpointer) {
                    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
                        QThread::msleep(400);
                    return GST_PAD_PROBE_OK;
                },
                nullptr, nullptr);
            gst_object_unref(pad);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

// The program recording DivX with sound from the test devices into the sandbox.
bool startRecording(Program& p, const Sandbox& box) {
    QDir().mkpath(box.path("videos"));
    p.form.setCommandLine({"/sv=Mire de test", "/sa=Signal de test", "/format_capture=divx"});
    p.form.show();
    if (!waitFor([&] { return p.form.startupFinished(); }))
        return false;
    Prm.videoDirectory->Value = box.path("videos") + "/";
    p.form.recorder->RecomputeNextName();
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    return p.form.recorder->state() == RecordingState::rsRecording;
}

void run(Program& p, const QString& command) {
    TScript script;
    script.actionlist = p.form.al;
    script.ParseCommandLine({command});
    script.RunCommands();
}

} // namespace

// A format chosen, a sound source dropped by a script and a picture source dropped by a
// command line handed over by a second start, all while the file gets its end: the file is
// finished with its sources in place, then each change runs, in order.
TEST(PartEndWindow, ChangesDuringAnEndWaitForTheFile) {
    Sandbox box;
    Program p;
    ASSERT_TRUE(startRecording(p, box));
    const QString file = p.form.recorder->currentFile();
    pause(2000);
    slowEndOfStream(p.dm);
    bool sourcesAtTheEnd = false;
    uint8_t formatAtTheEnd = 0;
    bool wholeAtTheEnd = false;
    QObject::connect(&p.dm, &Tdm::recordingPartFinished, [&](const QString&, bool complete) {
        sourcesAtTheEnd = p.form.sources->currentVideo() && p.form.sources->currentAudio();
        formatAtTheEnd = Prm.captureFormat->Value;
        wholeAtTheEnd = complete;
    });
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    ASSERT_TRUE(p.dm.endingPart());
    run(p, "/format_capture=Wmv");
    run(p, "/sa=aucun flux audio");
    p.form.receiveCommandLine({"/sv=aucun flux vidéo"});
    EXPECT_EQ(Prm.captureFormat->Value, cfDivx);
    EXPECT_NE(p.form.sources->currentAudio(), nullptr);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    EXPECT_TRUE(sourcesAtTheEnd);
    EXPECT_EQ(formatAtTheEnd, cfDivx);
    EXPECT_TRUE(wholeAtTheEnd);
    EXPECT_TRUE(waitFor([&] { return p.form.sources->currentVideo() == nullptr; }));
    EXPECT_EQ(p.form.sources->currentAudio(), nullptr);
    EXPECT_EQ(Prm.captureFormat->Value, cfWmv);
    const QString streams = streamsOf(file);
    EXPECT_GT(framesOf(streams, "mpeg4"), 30) << streams.toStdString();
    EXPECT_GT(framesOf(streams, "mp3"), 30) << streams.toStdString();
    p.form.hide();
}

// Stop and start again at once: the new recording begins once the first file has its end,
// in a file of its own; both are whole.
TEST(PartEndWindow, StopAndStartAgainAtOnce) {
    Sandbox box;
    Program p;
    ASSERT_TRUE(startRecording(p, box));
    const QString first = p.form.recorder->currentFile();
    pause(1500);
    slowEndOfStream(p.dm);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(p.dm.endingPart());
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    const QString second = p.form.recorder->currentFile();
    EXPECT_NE(second, first);
    pause(1500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    for (const QString& file : {first, second}) {
        const QString streams = streamsOf(file);
        EXPECT_GT(framesOf(streams, "mpeg4"), 20) << file.toStdString() << streams.toStdString();
        EXPECT_GT(framesOf(streams, "mp3"), 20) << file.toStdString() << streams.toStdString();
    }
    p.form.hide();
}

// The window and its modules go while a file is being finished (as at the end of the
// process): nothing is reported to them any more, and the file waits for the repair of the
// next start.
TEST(PartEndWindow, TheWindowGoesDuringAnEnd) {
    Sandbox box;
    auto p = std::make_unique<Program>();
    ASSERT_TRUE(startRecording(*p, box));
    const QString file = p->form.recorder->currentFile();
    pause(1500);
    slowEndOfStream(p->dm);
    p->form.action("saCapturerBascule")->executeInteractive(&p->form);
    ASSERT_TRUE(p->dm.endingPart());
    p->form.hide();
    p.reset();
    pause(600);
    EXPECT_TRUE(QFileInfo::exists(file));
}

// A graph that cannot start (here a sound output that cannot be opened) says why in French,
// and the window stays usable: without that sound source the preview and a recording work.
TEST(PartEndWindow, AGraphThatCannotStartLeavesTheWindowUsable) {
    Sandbox box;
    ScriptedPrompts said;
    PromptsGuard guard(&said);
    Program p;
    const QString nowhere = box.path("absent/sortie.raw");
    p.dm.audioSinkFactory = [nowhere] {
        GstElement* sink = gst_element_factory_make("filesink", nullptr);
        g_object_set(sink, "location", QFile::encodeName(nowhere).constData(), nullptr);
        return sink;
    };
    QDir().mkpath(box.path("videos"));
    p.form.setCommandLine({"/sv=Mire de test", "/sa=Signal de test", "/format_capture=divx"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    const QString why =
        "Le graphe de capture n'a pas pu démarrer : le fichier ne peut pas être écrit.";
    ASSERT_TRUE(waitFor([&] { return said.asked.contains(why); }))
        << said.asked.join('|').toStdString();
    EXPECT_FALSE(p.dm.isRunning());
    run(p, "/sa=aucun flux audio");
    ASSERT_TRUE(waitFor([&] { return p.dm.isRunning(); }));
    const quint64 shown = p.form.videoWidget->framesShown();
    EXPECT_TRUE(waitFor([&] { return p.form.videoWidget->framesShown() > shown + 5; }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    p.form.recorder->RecomputeNextName();
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    const QString file = p.form.recorder->currentFile();
    pause(1500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    EXPECT_GT(framesOf(streamsOf(file), "mpeg4"), 20);
    p.form.hide();
}

// The program asked to close while a cut finishes its first file (a signal, a session that
// ends): the cut finishes, the second part ends too, and both files are whole.
TEST(PartEndWindow, ACloseDuringACutEndsBothParts) {
    Sandbox box;
    Program p;
    ASSERT_TRUE(startRecording(p, box));
    const QString first = p.form.recorder->currentFile();
    QStringList finished;
    QObject::connect(&p.dm, &Tdm::recordingPartFinished, [&](const QString& file, bool complete) {
        finished << QFileInfo(file).fileName() + (complete ? " complet" : " réparé");
    });
    pause(1500);
    slowEndOfStream(p.dm);
    p.form.action("acCouper")->executeInteractive(&p.form);
    ASSERT_TRUE(p.dm.endingPart());
    const QString second = p.form.recorder->currentFile();
    ASSERT_NE(second, first);
    p.form.closeWithoutQuestion();
    ASSERT_TRUE(waitFor([&] { return !p.form.isVisible(); }, 30000));
    EXPECT_EQ(finished, QStringList({QFileInfo(first).fileName() + " complet",
                                     QFileInfo(second).fileName() + " complet"}));
    EXPECT_GT(framesOf(streamsOf(first), "mpeg4"), 20);
    EXPECT_GT(framesOf(streamsOf(second), "mpeg4"), 0);
}
