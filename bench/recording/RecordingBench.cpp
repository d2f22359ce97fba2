// Recording cost, side by side in one run (run by hand: recording_bench [seconds] [runs]):
// for each capture format, the program previewing and recording from the virtual devices
// against the stock pipeline doing the same work (live test sources, a preview branch and the
// same encoder and muxer). Prints the CPU time (all threads of the process) per recorded
// frame, or per 40 ms of sound for the audio formats. Then the throughput of the recompressing
// branches fed by a non-live source at 720 x 576, in multiples of real time.
#include "CaptureDevice.h"
#include "CpuTime.h"
#include "DVGenerator.h"
#include "Dm.h"
#include "Encoders.h"
#include "EndPart.h"
#include "SystemDevices.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gst/gst.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

const char* kVideo = "videotestsrc is-live=true pattern=smpte ! "
                     "video/x-raw,format=BGR,width=720,height=576,framerate=25/1,"
                     "pixel-aspect-ratio=16/15 ! clockoverlay ! tee name=t "
                     "t. ! queue leaky=2 max-size-buffers=2 ! videoconvert ! "
                     "fakesink sync=false t. ! queue ";
const char* kAudio = "audiotestsrc is-live=true samplesperbuffer=960 ! "
                     "audio/x-raw,format=S16LE,rate=48000,channels=2 ! tee name=a "
                     "a. ! queue ! audioconvert ! volume ! fakesink sync=true a. ! queue ! "
                     "audioconvert ! audioresample ! ";

// CPU seconds spent by a stock pipeline during `seconds` of running.
double stock(const std::string& description, int seconds) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "stock pipeline: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return 0;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    spin(1000);
    const double c0 = cpuSeconds();
    spin(seconds * 1000);
    const double cpu = cpuSeconds() - c0;
    gst_element_send_event(pipeline, gst_event_new_eos());
    spin(300);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return cpu;
}

struct Program {
    std::unique_ptr<IDeviceEnumerator> enumerator;
    std::unique_ptr<TCaptureDevice> video, audio;
    Tdm dm;
    // The recordings' settings: the defaults, with the encoders' settings as stored.
    TRecordingSettings settings = [] {
        TRecordingSettings s;
        s.divx = LoadDivxSettings();
        s.mp3BitrateKbps = LoadMp3Bitrate();
        return s;
    }();

    Program(const QString& videoName, bool separateAudio) {
        TEnumeratorOptions options;
        options.deviceMonitor = false;
        options.firewire = false;
        enumerator = CreateSystemDeviceEnumerator(options);
        for (const TDeviceDescriptor& d : enumerator->enumerate(TDeviceCategory::Video))
            if (d.friendlyName == videoName)
                video = CreateCaptureDevice(d, 1);
        for (const TDeviceDescriptor& d : enumerator->enumerate(TDeviceCategory::Audio))
            if (separateAudio && d.friendlyName == QLatin1String("Signal de test"))
                audio = CreateCaptureDevice(d, 1);
        dm.audioSinkFactory = [] {
            GstElement* sink = gst_element_factory_make("fakesink", nullptr);
            g_object_set(sink, "sync", TRUE, nullptr);
            return sink;
        };
        if (video) {
            video->SourceFilter = video->SetSourceGraph(dm);
            video->SetVideoGraph(dm, 1);
            if (!dm.BuildPreviewVideoChain(video->SceneDetector()))
                qWarning("the preview video chain was not built");
        }
        TCaptureDevice* sound = separateAudio ? audio.get() : video.get();
        if (audio)
            audio->SourceFilter = audio->SetSourceGraph(dm);
        if (sound && sound->SetAudioGraph(dm, 1) && !dm.BuildPreviewAudioChain())
            qWarning("the preview audio chain was not built");
        dm.RunGraph();
        QElapsedTimer clock;
        clock.start();
        while (video && dm.previewFrames() < 5 && clock.elapsed() < 60000)
            spin(50);
    }
    ~Program() {
        dm.StopGraph();
        dm.RemovePreviewVideoChain();
        dm.RemovePreviewAudioChain();
        for (TCaptureDevice* d : {video.get(), audio.get()})
            if (d)
                d->KillSourceGraph(dm);
    }
    // CPU seconds while recording `seconds` of the format.
    double record(uint8_t format, const QString& file, int seconds, quint64* frames) {
        if (!dm.BuildRecording(format, file, video ? video->SceneDetector() : nullptr, settings)) {
            std::fprintf(stderr, "format %d: %s\n", format, qPrintable(dm.lastError()));
            return 0;
        }
        spin(1000);
        const quint64 f0 = dm.recordedFrames();
        const double c0 = cpuSeconds();
        spin(seconds * 1000);
        const double cpu = cpuSeconds() - c0;
        *frames = dm.recordedFrames() - f0;
        endPart(dm);
        return cpu;
    }
};

// CPU seconds of the same pipeline run by gst-launch-1.0 in a process of its own for
// `seconds` (the sources stop after that many frames), taken from the child's rusage; -1
// when it could not run. This is the stock pipeline as a user would launch it.
double stockProcess(const std::string& description, int seconds) {
    std::string limited = description;
    for (const char* src : {"videotestsrc is-live=true", "audiotestsrc is-live=true"}) {
        const std::string with = std::string(src) + " num-buffers=" +
                                 std::to_string(seconds * (src[0] == 'v' ? 25 : 50)) + " ";
        for (size_t at = limited.find(src); at != std::string::npos;
             at = limited.find(src, at + with.size()))
            limited.replace(at, strlen(src) + 1, with);
    }
    gchar** argv = nullptr;
    const std::string command = "gst-launch-1.0 -q " + limited;
    if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, nullptr))
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    g_strfreev(argv);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time of a non-live pipeline that ends by itself.
double throughput(const std::string& description, int frames) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "throughput pipeline: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return 0;
    }
    QElapsedTimer clock;
    clock.start();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* m = gst_bus_timed_pop_filtered(bus, 600 * GST_SECOND,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double seconds = clock.elapsed() / 1000.0;
    if (m)
        gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return seconds > 0 ? frames / 25.0 / seconds : 0;
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One line of the table: medians, their ratio, and each run's ratio when there were several.
void printRow(const char* label, const std::vector<double>& ours,
              const std::vector<double>& stock) {
    const double a = median(ours), b = median(stock);
    std::printf("%-32s %12.1f %12.1f %7.2f", label, a, b, b > 0 ? a / b : 0);
    if (ours.size() > 1) {
        std::printf("   runs:");
        for (size_t i = 0; i < ours.size(); ++i)
            std::printf(" %.2f", stock[i] > 0 ? ours[i] / stock[i] : 0);
    }
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    // Program and stock runs alternate this many times; the medians are compared.
    const int runs = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 15) : 1;
    QTemporaryDir dir;
    Encoders().Assign({{"Xvid (libavcodec MPEG-4)", "avenc_mpeg4", "XVID"}}, true);
    auto path = [&dir](const char* name) { return dir.filePath(name).toStdString(); };
    const std::string pcm = "audio/x-raw,format=S16LE,channels=2,rate=48000 ! ";
    const int bitrate = LoadDivxSettings().bitrateKbps * 1000;

    struct Case {
        uint8_t format;
        const char* label;
        std::string stock;
        bool audioOnly;
    };
    const std::vector<Case> cases = {
        {5, "5 avi natif (raw BGR + PCM)",
         std::string(kVideo) + "! avimux name=m ! filesink location=" + path("s5.avi") + " " +
             kAudio + pcm + "m.",
         false},
        {6, "6 dv type 2 recompressed",
         std::string(kVideo) +
             "! videoconvert ! videoscale ! videorate ! video/x-raw,format=I420,width=720,"
             "height=576,framerate=25/1,pixel-aspect-ratio=16/15 ! avenc_dvvideo ! avimux "
             "name=m ! filesink location=" +
             path("s6.avi") + " " + kAudio + pcm + "m.",
         false},
        {7, "7 wmv (wmv2 + wma, Medium)",
         std::string(kVideo) +
             "! videoconvert ! videoscale ! videorate ! video/x-raw,format=I420,width=640,"
             "height=480 ! avenc_wmv2 bitrate=1000000 gop-size=250 ! asfmux "
             "streamable=true ! filesink location=" +
             path("s7.wmv") + " " + kAudio +
             // The encoders of GStreamer 1.22 start the pictures at 1000 hours and asfmux
             // writes the times as they come: in one file with the sound, the stock pipeline
             // stalls its pictures (the program starts every stream at 0). The stock side
             // writes the same sound into a file of its own.
             "audio/x-raw,format=S16LE,channels=2,rate=44100 ! audioconvert ! avenc_wmav2 "
             "bitrate=96000 ! asfmux streamable=true ! filesink location=" +
             path("s7a.wma"),
         false},
        {9, "9 divx (mpeg4 XVID + mp3)",
         std::string(kVideo) +
             "! videoscale ! video/x-raw,width=720,height=288 ! videoconvert ! "
             "video/x-raw,format=I420 ! avenc_mpeg4 bitrate=" +
             std::to_string(bitrate) +
             " gop-size=250 ! avimux ! filesink location=" + path("s9.avi") + " " + kAudio + pcm +
             // avenc_mpeg4 of GStreamer 1.22 stamps every picture 2^63 ns: in one avimux with
             // the sound, the stock pipeline stalls its pictures (the program gives them their
             // times back). The stock side encodes the same sound into a file of its own.
             "lamemp3enc target=1 bitrate=128 cbr=true ! filesink location=" + path("s9.mp3"),
         false},
        {11, "11 wav", std::string(kAudio) + pcm + "wavenc ! filesink location=" + path("s11.wav"),
         true},
        {12, "12 mp3",
         std::string(kAudio) + pcm +
             "lamemp3enc target=1 bitrate=128 cbr=true ! filesink "
             "location=" +
             path("s12.mp3"),
         true},
    };

    std::printf("%-32s %12s %12s %7s\n", "capture format", "program", "stock", "ratio");
    std::printf("%-32s %12s %12s %7s\n", "", "us/frame", "us/frame", "");
    for (const bool audioOnly : {false, true}) {
        // The audio formats run without a video source, as their stock pipelines do.
        Program program(audioOnly ? QString() : QStringLiteral("Mire de test"), true);
        for (const Case& c : cases) {
            if (c.audioOnly != audioOnly)
                continue;
            std::vector<double> oursRuns, stockRuns;
            for (int run = 0; run < runs; ++run) {
                quint64 frames = 0;
                const double ours = program.record(
                    c.format, dir.filePath(QString("p%1.bin").arg(c.format)), seconds, &frames);
                // The stock pipeline by gst-launch-1.0 (whole run, start-up included, so a
                // little pessimistic for the stock side); in-process as a fallback.
                const double launched = stockProcess(c.stock, seconds);
                const double base = launched > 0 ? launched : stock(c.stock, seconds);
                // Audio formats: per 40 ms of sound, the length of a PAL frame.
                const double units = c.audioOnly ? seconds * 25.0 : double(frames);
                oursRuns.push_back(units > 0 ? ours / units * 1e6 : 0);
                stockRuns.push_back(base / (seconds * 25.0) * 1e6);
            }
            printRow(c.label, oursRuns, stockRuns);
        }
    }
    {
        // The stock side reads a DV clip at the camcorder's pace (clocksync) and does what a
        // user would do with a FireWire camcorder: type 1, the raw DV stream to a file beside
        // a decoded preview; type 2, DV video and PCM sound into avimux.
        const std::string clip = path("stock.dv");
        dv::ClipSpec spec;
        spec.frames = seconds * 25 + 25;
        std::string error;
        if (!dv::GenerateClip(clip, spec, &error))
            std::fprintf(stderr, "DV clip: %s\n", error.c_str());
        const std::string source = "filesrc location=" + clip +
                                   " blocksize=144000 num-buffers=" + std::to_string(seconds * 25) +
                                   " ! video/x-dv,systemstream=true ! ";
        // The preview as the window needs it: decoded, in 24-bit RGB, with an inlaid line.
        const std::string preview = "dvdec ! videoconvert ! video/x-raw,format=BGR ! clockoverlay "
                                    "! clocksync ! fakesink async=false ";
        const std::string stockType1 = source +
                                       "tee name=t t. ! queue ! dvdemux name=d d.video ! "
                                       "queue ! " +
                                       preview +
                                       "d.audio ! queue ! clocksync ! fakesink async=false t. ! "
                                       "queue ! filesink location=" +
                                       path("s1.dv");
        const std::string stockType2 =
            source + "dvdemux name=d d.video ! queue ! tee name=v v. ! queue ! " + preview +
            "v. ! queue ! m.video_0 d.audio ! queue ! tee name=a a. ! queue ! clocksync ! "
            "fakesink async=false a. ! queue ! m.audio_0 avimux name=m ! filesink location=" +
            path("s2.avi");
        Program program(QStringLiteral("DV virtuel"), false);
        for (uint8_t format : {uint8_t(1), uint8_t(2)}) {
            std::vector<double> oursRuns, stockRuns;
            for (int run = 0; run < runs; ++run) {
                quint64 frames = 0;
                const double ours = program.record(
                    format, dir.filePath(QString("dv%1.avi").arg(format)), seconds, &frames);
                oursRuns.push_back(frames ? ours / frames * 1e6 : 0);
                const double launched =
                    stockProcess(format == 1 ? stockType1 : stockType2, seconds);
                stockRuns.push_back(launched > 0 ? launched / (seconds * 25.0) * 1e6 : 0);
            }
            printRow(format == 1 ? "1 dv type 1 natif (DV virtuel)"
                                 : "2 dv type 2 natif (DV virtuel)",
                     oursRuns, stockRuns);
        }
    }

    // Preview gap: the longest time without a previewed picture around the start, the cut and
    // the end of a DivX recording (at 25 fps a picture comes every 40 ms).
    {
        Program program(QStringLiteral("Mire de test"), true);
        static std::vector<qint64> arrivals(4096);
        static std::atomic<size_t> count{0};
        static QElapsedTimer clock;
        clock.start();
        program.dm.onVideoSample = [](GstSample*) {
            const size_t i = count.fetch_add(1);
            if (i < arrivals.size())
                arrivals[i] = clock.nsecsElapsed();
        };
        spin(1000);
        const qint64 atStart = clock.nsecsElapsed();
        if (!program.dm.BuildRecording(9, dir.filePath("gap1.avi"), nullptr, program.settings))
            qWarning("the recording did not start");
        spin(2000);
        const qint64 atCut = clock.nsecsElapsed();
        if (!program.dm.SplitRecording(dir.filePath("gap2.avi")))
            qWarning("the cut did not happen");
        spin(2000);
        const qint64 atEnd = clock.nsecsElapsed();
        endPart(program.dm);
        spin(1000);
        program.dm.onVideoSample = nullptr;
        const size_t n = std::min(count.load(), arrivals.size());
        auto longestGap = [n](qint64 event) {
            qint64 longest = 0;
            for (size_t i = 1; i < n; ++i)
                if (arrivals[i] > event - 500000000LL && arrivals[i - 1] < event + 1000000000LL)
                    longest = std::max(longest, arrivals[i] - arrivals[i - 1]);
            return longest / 1000000.0;
        };
        std::printf("\npreview gap (longest time without a picture, ms; 40 ms = none lost):\n");
        std::printf("  start %.0f, cut %.0f, end %.0f\n", longestGap(atStart), longestGap(atCut),
                    longestGap(atEnd));
    }

    const int frames = 500;
    const std::string source = "videotestsrc num-buffers=" + std::to_string(frames) +
                               " pattern=smpte ! video/x-raw,format=BGR,width=720,height=576,"
                               "framerate=25/1,pixel-aspect-ratio=16/15 ! ";
    std::printf("\nnon-live throughput at 720x576 (x real time, target >= 3):\n");
    std::printf("  6 dv recompression : %.1f\n",
                throughput(source +
                               "videoconvert ! videoscale ! videorate ! video/x-raw,"
                               "format=I420,width=720,height=576,framerate=25/1,"
                               "pixel-aspect-ratio=16/15 ! avenc_dvvideo ! vr_dvheader ! "
                               "avimux ! filesink location=" +
                               path("t6.avi"),
                           frames));
    std::printf("  9 divx             : %.1f\n",
                throughput(source +
                               "vr_resizer ratio-mode=0 half-size=true ! videoconvert ! "
                               "video/x-raw,format=I420 ! avenc_mpeg4 bitrate=" +
                               std::to_string(bitrate) +
                               " gop-size=250 ! avimux ! filesink location=" + path("t9.avi"),
                           frames));
    std::printf("  9 divx full size   : %.1f\n",
                throughput(source +
                               "videoconvert ! video/x-raw,format=I420 ! avenc_mpeg4 "
                               "bitrate=" +
                               std::to_string(bitrate) +
                               " gop-size=250 ! avimux ! filesink location=" + path("t9f.avi"),
                           frames));
    std::printf("  7 wmv              : %.1f\n",
                throughput(source +
                               "videoconvert ! videoscale ! video/x-raw,format=I420,"
                               "width=640,height=480 ! avenc_wmv2 bitrate=1000000 ! "
                               "asfmux ! filesink location=" +
                               path("t7.wmv"),
                           frames));
    std::printf("  7 wmv 720x576      : %.1f\n",
                throughput(source +
                               "videoconvert ! video/x-raw,format=I420 ! avenc_wmv2 "
                               "bitrate=2000000 ! asfmux ! filesink location=" +
                               path("t7f.wmv"),
                           frames));
    return 0;
}
