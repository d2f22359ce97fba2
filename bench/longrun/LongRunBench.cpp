// Long runs of the whole program (main window, graph and recording controller on the virtual
// devices, offscreen), run by hand: longrun_bench [minutes] [cycles] [scenes] (0 skips a part).
//  1. `minutes` of media (default 60) recorded at accelerated speed, the virtual sources made
//     non-live (VIDORRA_BENCH_NONLIVE=1) and held up by the recording (as fast as it goes), in DV
//     type 2 recompressed and in DivX with the inlay on: resident memory at every minute of media
//     against its value after the first minute, and the whole file decoded by ffprobe (its frames
//     against those through the capture gate).
//  2. `cycles` start/stop cycles (default 500) then as many cuts in one recording, the sources
//     live: resident memory (after malloc_trim) and open descriptors before and after, frames
//     through the capture gate against frames written and frames in the files (ffprobe on
//     every file, and on every part of the cut recording).
//  3. `scenes` scene changes (default 10000) in one DV recording of a generated stream with a
//     date jump every three frames, the scene list on: records in the ".scn", and the time per
//     frame over the first and the last thousand scenes.
#include "CaptureForm.h"
#include "CpuTime.h"
#include "DVGenerator.h"
#include "Dm.h"
#include "IncrusterFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "Prompts.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "SceneFile.h"
#include "SuperAction.h"
#include "VidorraElements.h"
#include "WaitFor.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <gst/gst.h>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// Messages the program would show in a box are printed; questions are answered "Non".
class PrintedPrompts : public IPrompts {
public:
    Answer question(QWidget*, const QString& text, bool, bool) override {
        std::fprintf(stderr, "question: %s\n", qPrintable(text));
        return No;
    }
    void information(QWidget*, const QString& text) override { print("information", text); }
    void warning(QWidget*, const QString& text) override { print("warning", text); }
    void error(QWidget*, const QString& text) override { print("error", text); }

private:
    static void print(const char* kind, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", kind, qPrintable(text));
    }
};

// Resident memory in MB, after the allocator gave its free pages back.
double residentMB() {
    malloc_trim(0);
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int openDescriptors() {
    return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// Frames of the first video stream, every one decoded by ffprobe; -1 when it cannot read it.
long long probedFrames(const QString& file) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                        "stream=nb_read_frames", "-of", "csv=p=0", file});
    if (!p.waitForFinished(3600 * 1000) || p.exitCode() != 0)
        return -1;
    bool ok = false;
    const long long n = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toLongLong(&ok);
    return ok ? n : -1;
}

// Buffers leaving each element of the recording branch (by element name), so that a
// recording that stops writing shows where its frames stop.
struct StageCounts {
    struct Stage {
        std::string name;
        std::atomic<quint64> buffers{0};
        std::atomic<GstClockTime> lastPts{GST_CLOCK_TIME_NONE};
        GstElement* element = nullptr;
    };
    std::vector<std::unique_ptr<Stage>> stages;

    void attach(GstBin* pipeline) {
        GstIterator* it = gst_bin_iterate_recurse(pipeline);
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto* e = GST_ELEMENT(g_value_get_object(&item));
            const gchar* name = GST_OBJECT_NAME(e);
            GstElementFactory* f = gst_element_get_factory(e);
            const gchar* factory = f ? GST_OBJECT_NAME(f) : "";
            const bool branch =
                g_str_has_prefix(name, "DVenc") || g_str_has_prefix(name, "DV Header") ||
                g_str_has_prefix(name, "VideoCap") || g_str_has_prefix(name, "AudioCap") ||
                g_str_has_prefix(name, "divx") || g_str_has_prefix(name, "mp3") ||
                g_str_has_prefix(name, "acmcap") || g_str_has_prefix(name, "Resizer") ||
                g_str_has_prefix(name, "Control_Capture") || g_str_equal(factory, "avimux") ||
                g_str_has_prefix(factory, "avenc_");
            if (branch)
                if (GstPad* src = gst_element_get_static_pad(e, "src")) {
                    auto stage = std::make_unique<Stage>();
                    stage->name = name;
                    stage->element = e;
                    gst_pad_add_probe(
                        src, GST_PAD_PROBE_TYPE_BUFFER,
                        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
                            auto* stage = static_cast<Stage*>(data);
                            ++stage->buffers;
                            stage->lastPts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
                            return GST_PAD_PROBE_OK;
                        },
                        stage.get(), nullptr);
                    gst_object_unref(src);
                    stages.push_back(std::move(stage));
                }
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
    }
    void print() const {
        for (const auto& s : stages) {
            std::fprintf(stderr, "    %s: %llu, last %" GST_TIME_FORMAT "\n", s->name.c_str(),
                         (unsigned long long)s->buffers.load(), GST_TIME_ARGS(s->lastPts.load()));
            GstElementFactory* f = gst_element_get_factory(s->element);
            if (f && g_str_equal(GST_OBJECT_NAME(f), "videorate")) {
                guint64 in = 0, out = 0, drop = 0, dup = 0;
                g_object_get(s->element, "in", &in, "out", &out, "drop", &drop, "duplicate", &dup,
                             nullptr);
                std::fprintf(stderr, "      videorate in %llu out %llu drop %llu dup %llu\n",
                             (unsigned long long)in, (unsigned long long)out,
                             (unsigned long long)drop, (unsigned long long)dup);
            }
        }
    }
};

// A recording is removed once read back, or moved into the folder LONGRUN_KEEP names (to
// look into it), its name prefixed with a number so that runs do not overwrite each other.
void keepOrRemove(const QString& file) {
    const QString folder = qEnvironmentVariable("LONGRUN_KEEP");
    static int kept = 0;
    if (folder.isEmpty() ||
        !QFile::rename(
            file,
            QStringLiteral("%1/%2-%3").arg(folder).arg(++kept).arg(QFileInfo(file).fileName())))
        QFile::remove(file);
}

// The four windows of the running program, the sound preview into a sink that does not wait
// (so that non-live sources run as fast as the recording takes them).
struct Program {
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    std::atomic<quint64> gateFrames{0};

    explicit Program(const QStringList& commandLine) {
        dm.audioSinkFactory = [] {
            GstElement* sink = gst_element_factory_make("fakesink", nullptr);
            g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
            return sink;
        };
        form.attachModules(&dm, &plaque, &raccourcis);
        form.setCommandLine(commandLine);
        form.show();
        // Non-live sources outrun any encoder: the recording's queues, which lose their oldest
        // buffers rather than hold up a live source, are made to hold up the source instead.
        if (qEnvironmentVariableIntValue("VIDORRA_BENCH_NONLIVE") == 1)
            throttling = g_signal_connect(dm.pipeline(), "deep-element-added",
                                          G_CALLBACK(&Program::throttleQueue), nullptr);
        // Every frame that leaves the capture gate (the same element for every recording;
        // nothing is frozen in these runs, so the gate's own probes drop nothing after it).
        if (GstElement* gate = dm.element("Control_Capture_Video")) {
            GstPad* out = gst_element_get_static_pad(gate, "src");
            gst_pad_add_probe(
                out, GST_PAD_PROBE_TYPE_BUFFER,
                [](GstPad*, GstPadProbeInfo*, gpointer self) {
                    ++static_cast<Program*>(self)->gateFrames;
                    return GST_PAD_PROBE_OK;
                },
                this, nullptr);
            gst_object_unref(out);
        }
    }
    ~Program() {
        if (throttling)
            g_signal_handler_disconnect(dm.pipeline(), throttling);
        form.hide();
    }
    gulong throttling = 0;

    static void throttleQueue(GstBin*, GstBin*, GstElement* element, gpointer) {
        const gchar* name = GST_OBJECT_NAME(element);
        if (!g_str_has_prefix(name, "VideoCap queue") && !g_str_has_prefix(name, "AudioCap queue"))
            return;
        GstPad* in = gst_element_get_static_pad(element, "sink");
        gst_pad_add_probe(
            in, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad* pad, GstPadProbeInfo*, gpointer) {
                GstElement* queue = gst_pad_get_parent_element(pad);
                // At most 2 s, should the branch stop taking buffers.
                for (int i = 0; queue && i < 2000; ++i) {
                    guint level = 0;
                    g_object_get(queue, "current-level-buffers", &level, nullptr);
                    if (level < 10)
                        break;
                    g_usleep(1000);
                }
                if (queue)
                    gst_object_unref(queue);
                return GST_PAD_PROBE_OK;
            },
            nullptr, nullptr);
        gst_object_unref(in);
    }

    bool started(const QString& videos) {
        if (!waitFor([&] { return form.startupFinished(); }, 120000))
            return false;
        // The lists of devices settle (the plug-ins' and the monitor's rounds) before any
        // recording.
        pause(3000);
        Prm.videoDirectory->Value = videos + "/";
        Prm.videoDate->Value = false;
        return true;
    }
    bool recording() const { return form.recorder->state() == RecordingState::rsRecording; }
    bool toggle() {
        const bool wasRecording = recording();
        form.action("saCapturerBascule")->executeInteractive(&form);
        // A stop returns at once; its file is finished from the event loop.
        return waitFor([&] { return recording() != wasRecording; }, 30000) &&
               waitFor([&] { return !dm.endingPart(); }, 30000);
    }
};

// ---------------------------------------------------------------- an hour of media

void mediaRun(const char* label, const QString& format, bool inlay, int minutes) {
    qputenv("VIDORRA_BENCH_NONLIVE", "1");
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    // Pictures only: two non-live sources would each run at their own pace, far apart.
    auto program = std::make_unique<Program>(
        QStringList{"/sv=Mire de test", "/sa=aucun flux audio", "/format_capture=" + format});
    Program& p = *program;
    if (!p.started(box.path("videos"))) {
        std::printf("%s: the program did not start\n", label);
        return;
    }
    if (inlay && waitFor([&] { return p.dm.previewFrames() > 3; }, 30000)) {
        // The computer's time, as a user sets it in the inlay panel.
        p.form.action("acIncrusterFrame")->executeInteractive(&p.form);
        p.form.IncrusterFrame1->cbDatecode1->setEditText("tt");
        p.form.IncrusterFrame1->cbDatecode2->setEditText("");
        p.form.IncrusterFrame1->JvImgBtn5->click();
    }
    if (inlay && !p.form.action("taIncruster")->isChecked())
        std::printf("%s: the inlay did not turn on\n", label);
    p.form.recorder->RecomputeNextName();
    const quint64 before = p.gateFrames;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    if (!p.toggle()) {
        std::printf("%s: the recording did not start\n", label);
        return;
    }
    // Probes stay on elements that outlive the run's recording: the counts outlive them too.
    static std::vector<std::unique_ptr<StageCounts>> counted;
    counted.push_back(std::make_unique<StageCounts>());
    StageCounts& stages = *counted.back();
    const quint64 perMinute = 25 * 60;
    const quint64 target = quint64(minutes) * perMinute;
    std::printf("\n%s, %d min of media (resident MB after malloc_trim):\n", label, minutes);
    std::printf("%8s %10s %10s %10s %8s\n", "minute", "frames", "RSS MB", "vs min 1", "x real");
    std::fflush(stdout);
    double first = 0, worst = 0, lastMinute = 0;
    int minute = 1;
    qint64 shown = 0;
    while (p.recording() && minute <= minutes) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        const quint64 frames = p.gateFrames - before;
        if (clock.elapsed() - shown >= 10000) {
            // Progress, on the error stream.
            shown = clock.elapsed();
            std::fprintf(stderr, "%.0f s: %llu frames through the gate, %llu written, %llu lost\n",
                         shown / 1000.0, (unsigned long long)frames,
                         (unsigned long long)p.dm.recordedFrames(),
                         (unsigned long long)p.dm.droppedFrames());
            if (stages.stages.empty())
                stages.attach(GST_BIN(p.dm.pipeline()));
            stages.print();
        }
        if (frames < quint64(minute) * perMinute)
            continue;
        const double rss = residentMB();
        if (minute == 1)
            first = rss;
        worst = std::max(worst, std::abs(rss - first));
        // Speed over this minute of media, in multiples of real time.
        const double now = clock.elapsed() / 1000.0;
        std::printf("%8d %10llu %10.1f %+10.1f %8.1f\n", minute, (unsigned long long)frames, rss,
                    rss - first, 60.0 / std::max(0.001, now - lastMinute));
        lastMinute = now;
        std::fflush(stdout);
        ++minute;
    }
    if (p.recording() && !p.toggle())
        std::printf("%s: the recording did not stop\n", label);
    const double cpu = cpuSeconds() - cpu0;
    const quint64 passed = p.gateFrames - before;
    const QStringList files = p.form.recorder->recordedFiles();
    // The program closes first: its non-live preview would take the processor from ffprobe.
    program.reset();
    long long inFiles = 0;
    for (const QString& file : files) {
        const long long n = probedFrames(file);
        if (n < 0)
            std::printf("  ffprobe cannot read %s\n", qPrintable(file));
        inFiles += std::max(0LL, n);
        keepOrRemove(file);
    }
    std::printf("  largest change after minute 1: %.1f MB (limit 5)\n", worst);
    std::printf("  frames through the gate %llu (target %llu), in %lld file(s) read by ffprobe "
                "%lld%s\n",
                (unsigned long long)passed, (unsigned long long)target, (long long)files.size(),
                inFiles, inFiles == (long long)passed ? "" : "  <- DIFFERENT");
    std::printf("  %.0f s wall, %.0f us CPU per frame\n", clock.elapsed() / 1000.0,
                passed ? cpu / passed * 1e6 : 0);
    std::fflush(stdout);
}

// ---------------------------------------------------------------- start/stop and cut cycles

void cycleRuns(int cycles) {
    qunsetenv("VIDORRA_BENCH_NONLIVE");
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    Program p({"/sv=Mire de test", "/sa=Signal de test", "/format_capture=divx"});
    if (!p.started(box.path("videos"))) {
        std::printf("cycles: the program did not start\n");
        return;
    }
    p.form.recorder->RecomputeNextName();
    const int framesPerPart = 3;
    auto partHasFrames = [&] {
        return waitFor([&] { return p.dm.recordedFrames() >= quint64(framesPerPart); }, 10000);
    };

    std::printf("\n%d start/stop cycles, DivX from \"Mire de test\" (live), %d frames each:\n",
                cycles, framesPerPart);
    // A few cycles first: caches and encoder tables settle.
    for (int i = 0; i < 3; ++i)
        if (!p.toggle() || !partHasFrames() || !p.toggle())
            std::printf("  warm-up cycle %d failed\n", i);
    const double rss0 = residentMB();
    const int fd0 = openDescriptors();
    QElapsedTimer clock;
    clock.start();
    int failed = 0, written = 0, probed = 0, unreadable = 0;
    long long lost = 0, probeLost = 0;
    for (int i = 0; i < cycles; ++i) {
        const quint64 before = p.gateFrames;
        if (!p.toggle() || !partHasFrames() || !p.toggle()) {
            ++failed;
            continue;
        }
        const long long passed = (long long)(p.gateFrames - before);
        const long long recorded = (long long)p.dm.recordedFrames();
        lost += std::abs(passed - recorded);
        written += int(recorded);
        const QString file =
            p.form.recorder->recordedFiles().value(p.form.recorder->recordedFiles().size() - 1);
        ++probed;
        const long long n = probedFrames(file);
        if (n < 0)
            ++unreadable;
        else
            probeLost += std::abs(passed - n);
        if (n != passed || recorded != passed)
            std::fprintf(stderr,
                         "cycle %d: %lld frames through the gate, %lld written, %lld in %s\n", i,
                         passed, recorded, n, qPrintable(file));
        keepOrRemove(file);
    }
    const double rss1 = residentMB();
    const int fd1 = openDescriptors();
    std::printf("  %.0f s; failed cycles %d; frames written %d\n", clock.elapsed() / 1000.0, failed,
                written);
    std::printf("  RSS %.1f -> %.1f MB (%+.1f); descriptors %d -> %d\n", rss0, rss1, rss1 - rss0,
                fd0, fd1);
    std::printf("  frames through the gate but not written: %lld; files read by ffprobe %d, "
                "unreadable %d, frames missing from them %lld\n",
                lost, probed, unreadable, probeLost);
    std::fflush(stdout);

    std::printf("\n%d cuts in one DivX recording (live), %d frames or more per part:\n", cycles,
                framesPerPart);
    const int filesBefore = int(p.form.recorder->recordedFiles().size());
    const quint64 before = p.gateFrames;
    if (!p.toggle()) {
        std::printf("  the recording did not start\n");
        return;
    }
    double rssCut0 = 0;
    int fdCut0 = 0;
    clock.restart();
    failed = 0;
    for (int i = 0; i < cycles + 3; ++i) {
        if (i == 3) {
            // After a few cuts, as for the cycles, once the part before has been finalised.
            pause(1000);
            rssCut0 = residentMB();
            fdCut0 = openDescriptors();
        }
        if (!partHasFrames())
            ++failed;
        p.form.action("acCouper")->executeInteractive(&p.form);
    }
    partHasFrames();
    pause(1000);
    const double rssCut1 = residentMB();
    const int fdCut1 = openDescriptors();
    p.toggle();
    const double seconds = clock.elapsed() / 1000.0;
    const long long passed = (long long)(p.gateFrames - before);
    const QStringList parts = p.form.recorder->recordedFiles().mid(filesBefore);
    long long inFiles = 0;
    unreadable = 0;
    int empty = 0;
    for (const QString& part : parts) {
        const long long n = probedFrames(part);
        if (n < 0)
            ++unreadable;
        else if (n == 0)
            ++empty;
        inFiles += std::max(0LL, n);
    }
    std::printf("  %.0f s; parts %lld; parts without frames before the next cut %d\n", seconds,
                (long long)parts.size(), failed);
    std::printf("  RSS %.1f -> %.1f MB (%+.1f); descriptors %d -> %d\n", rssCut0, rssCut1,
                rssCut1 - rssCut0, fdCut0, fdCut1);
    std::printf("  frames through the gate %lld, in the parts (ffprobe, every part) %lld, lost "
                "%lld; unreadable parts %d, empty parts %d\n",
                passed, inFiles, passed - inFiles, unreadable, empty);
    std::fflush(stdout);
}

// ---------------------------------------------------------------- scene changes

// The scene count the ".scn" holds (updated with every record).
int sceneCount(const QString& scn, qint64 countAt) {
    const int fd = ::open(QFile::encodeName(scn).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    uint8_t count[2] = {0, 0};
    const bool ok = ::pread(fd, count, 2, countAt) == 2;
    ::close(fd);
    return ok ? count[0] | (count[1] << 8) : 0;
}

void sceneRun(int scenes) {
    qputenv("VIDORRA_BENCH_NONLIVE", "1");
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    // The DV camcorder plays a clip of its own: a jump of 10 s every 3 frames; the deck plays
    // it over and over, and the way back to its start is one more jump.
    const QString data = box.path("data");
    QDir().mkpath(data + "/vidorra");
    dv::ClipSpec spec;
    const int every = 3;
    spec.frames = 300;
    for (int f = every; f < spec.frames; f += every)
        spec.dateJumps.push_back({f, 10.0});
    std::string error;
    if (!dv::GenerateClip((data + "/vidorra/dv-virtuel.dv").toStdString(), spec, &error)) {
        std::printf("scenes: cannot make the DV clip: %s\n", error.c_str());
        return;
    }
    qputenv("XDG_DATA_HOME", data.toUtf8());
    Program p(
        {"/sv=DV Source - Video", "/sa=DV Source - Audio", "/format_capture=dv type 1 natif"});
    if (!p.started(box.path("videos"))) {
        std::printf("scenes: the program did not start\n");
        return;
    }
    Prm.scn->Value = true;
    p.form.recorder->RecomputeNextName();
    if (!p.toggle() || !waitFor([&] { return !p.form.recorder->waitingForSource(); }, 60000)) {
        std::printf("scenes: the recording did not start\n");
        return;
    }
    const QString file = p.form.recorder->currentFile();
    const QString scn = TSceneFile::PathFor(file);
    const qint64 countAt = TSceneFile::Header(TSceneFile::NameBytes(scn)).size();
    struct Sample {
        qint64 ns;
        double cpu;
        quint64 frames;
        int scenes;
    };
    std::vector<Sample> samples;
    QElapsedTimer clock;
    clock.start();
    const quint64 before = p.gateFrames;
    while (p.recording()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        const Sample s{clock.nsecsElapsed(), cpuSeconds(), p.gateFrames - before,
                       sceneCount(scn, countAt)};
        samples.push_back(s);
        if (s.scenes >= scenes || clock.elapsed() > 4 * 3600 * 1000)
            break;
    }
    p.toggle();
    const int written = sceneCount(scn, countAt);
    const quint64 frames = p.dm.recordedFrames();
    QFile::remove(file);
    // Time per frame between the first samples that reached `from` and `to` scenes.
    auto perFrame = [&samples](int from, int to, double* cpu) {
        auto at = [&samples](int n) {
            return std::find_if(samples.begin(), samples.end(),
                                [n](const Sample& s) { return s.scenes >= n; });
        };
        const auto a = at(from), b = at(to);
        if (a == samples.end() || b == samples.end() || b->frames <= a->frames)
            return 0.0;
        *cpu = (b->cpu - a->cpu) / double(b->frames - a->frames) * 1e6;
        return double(b->ns - a->ns) / double(b->frames - a->frames) / 1000.0;
    };
    const int span = std::min(1000, std::max(1, scenes / 10));
    double cpuFirst = 0, cpuLast = 0;
    const double wallFirst = perFrame(1, 1 + span, &cpuFirst);
    const double wallLast = perFrame(scenes - span, scenes, &cpuLast);
    std::printf("\n%d scene changes (a date jump every %d frames), DV type 1 from the DV "
                "camcorder (non-live), scene list on:\n",
                scenes, every);
    std::printf("  frames recorded %llu; scenes in the .scn %d (limit %d)\n",
                (unsigned long long)frames, written, TSceneFile::kMaxRecords);
    std::printf("  per frame over the first %d scenes: %.0f us wall, %.0f us CPU\n", span,
                wallFirst, cpuFirst);
    std::printf("  per frame over the last %d scenes : %.0f us wall, %.0f us CPU\n", span, wallLast,
                cpuLast);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QApplication app(argc, argv);
    PrintedPrompts printed;
    setPrompts(&printed);
    const int minutes = argc > 1 ? std::max(0, std::atoi(argv[1])) : 60;
    const int cycles = argc > 2 ? std::max(0, std::atoi(argv[2])) : 500;
    const int scenes =
        argc > 3 ? std::clamp(std::atoi(argv[3]), 0, int(TSceneFile::kMaxRecords) - 1) : 10000;
    if (minutes > 0) {
        mediaRun("dv type 2 (recomp)", "dv type 2 (recomp)", false, minutes);
        mediaRun("divx, inlay on", "divx", true, minutes);
    }
    if (cycles > 0)
        cycleRuns(cycles);
    if (scenes > 0)
        sceneRun(scenes);
    return 0;
}
