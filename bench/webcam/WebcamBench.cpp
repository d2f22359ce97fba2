// A modern webcam, side by side in one run (run by hand: webcam_bench [seconds] [runs]): a
// live Motion-JPEG stream at 1920 x 1080, 30 frames a second, made by jpegenc from the test
// pattern and given to the program as a device of its own. The program previews it (the
// inlay on, two lines) and records it in DivX and in WMV at full size; the stock pipeline
// does the same work the natural way (jpegdec, clockoverlay on the decoder's I420, the
// preview converted to a BGR sink, the same encoder and muxer on I420). Program and stock
// runs alternate and the medians are compared.
// Prints the CPU time (all threads of the process) per frame, with and without what the
// source itself costs (a real webcam compresses in its own hardware), whether every frame
// made by the source reached the preview and the file, and where the time goes.
#include "CaptureDevice.h"
#include "CpuTime.h"
#include "DeviceDescriptor.h"
#include "Dm.h"
#include "Encoders.h"
#include "EndPart.h"
#include "ParameterTable.h"
#include "Parameters.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <gst/gst.h>
#include <string>
#include <vector>

namespace {

constexpr int kFps = 30;
const char* kCaps = "image/jpeg,width=1920,height=1080,framerate=30/1";

// The webcam: what it sends, live, as a source bin would deliver it.
std::string webcam(int frames = -1) {
    return std::string("videotestsrc is-live=") + (frames < 0 ? "true" : "false") +
           (frames < 0 ? "" : " num-buffers=" + std::to_string(frames)) +
           " pattern=smpte ! video/x-raw,format=I420,width=1920,height=1080,framerate=30/1 ! "
           "jpegenc quality=85 ! capsfilter name=webcam caps=\"" +
           kCaps + "\"";
}

std::atomic<quint64> g_produced{0};

// Counts the frames the webcam sends.
void countFrames(GstPad* pad) {
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            g_produced.fetch_add(1, std::memory_order_relaxed);
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
}

// The device list the program is given: one Motion-JPEG webcam.
class WebcamDevices : public IDeviceEnumerator {
public:
    std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override {
        std::vector<TDeviceDescriptor> out;
        if (category != TDeviceCategory::Video)
            return out;
        TDeviceDescriptor d;
        d.friendlyName = QStringLiteral("Webcam HD");
        d.id = QStringLiteral("bench:webcam-hd");
        d.caps = gst_caps_from_string(kCaps);
        d.createSource = []() -> GstElement* {
            GstElement* bin = gst_parse_bin_from_description(webcam().c_str(), TRUE, nullptr);
            if (GstPad* src = bin ? gst_element_get_static_pad(bin, "src") : nullptr) {
                countFrames(src);
                gst_object_unref(src);
            }
            return bin;
        };
        out.push_back(d);
        return out;
    }
};

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Measure {
    double cpu = 0;        // seconds
    quint64 produced = 0;  // frames sent by the webcam
    quint64 previewed = 0; // frames that reached the preview sink
    quint64 encoded = 0;   // frames recorded (program) or encoded (stock)
    quint64 dropped = 0;   // frames the program counts as lost
    // The whole recording, once its file is finished: frames made and frames in the file.
    quint64 partMade = 0, partWritten = 0;
    double perFrame() const { return produced ? cpu / double(produced) * 1e6 : 0; }
};

enum Case { cPreview, cDivx, cWmv };

struct Program {
    WebcamDevices devices;
    std::unique_ptr<TCaptureDevice> video;
    Tdm dm;
    TRecordingSettings settings; // what the recordings are built with

    Program() {
        for (const TDeviceDescriptor& d : devices.enumerate(TDeviceCategory::Video))
            video = CreateCaptureDevice(d, 1);
        if (!video)
            return;
        video->SourceFilter = video->SetSourceGraph(dm);
        video->SetVideoGraph(dm, 1);
        if (!dm.BuildPreviewVideoChain(video->SceneDetector()))
            qWarning("the preview video chain was not built");
        // The inlay as a user has it: the date and the time on two lines.
        g_object_set(dm.overlay(), "what-incrust", 3u, "format-date1", "dddddd", "format-date2",
                     "hh:nn:ss", "incrust-active", TRUE, "overlay-enabled", TRUE, nullptr);
    }
    ~Program() {
        dm.StopGraph();
        dm.RemovePreviewVideoChain();
        if (video)
            video->KillSourceGraph(dm);
    }

    Measure run(Case c, const QString& file, int seconds) {
        Measure m;
        dm.RunGraph();
        QElapsedTimer clock;
        clock.start();
        const quint64 start = dm.previewFrames();
        while (dm.previewFrames() < start + 5 && clock.elapsed() < 30000)
            spin(50);
        const quint64 atStart = g_produced;
        if (c != cPreview && !dm.BuildRecording(c == cDivx ? 9 : 7, file, nullptr, settings)) {
            std::fprintf(stderr, "recording: %s\n", qPrintable(dm.lastError()));
            dm.StopGraph();
            return m;
        }
        spin(1000);
        const quint64 p0 = g_produced, v0 = dm.previewFrames();
        const quint64 r0 = c != cPreview ? dm.recordedFrames() : 0;
        const quint64 d0 = c != cPreview ? dm.droppedFrames() : 0;
        const double c0 = cpuSeconds();
        spin(seconds * 1000);
        m.cpu = cpuSeconds() - c0;
        m.produced = g_produced - p0;
        m.previewed = dm.previewFrames() - v0;
        if (c != cPreview) {
            m.encoded = dm.recordedFrames() - r0;
            m.dropped = dm.droppedFrames() - d0;
            m.partMade = g_produced - atStart;
            endPart(dm);
            m.partWritten = dm.recordedFrames();
        }
        dm.StopGraph();
        return m;
    }
};

std::atomic<quint64> g_previewed{0}, g_encoded{0};

// The stock pipeline in this process (the program's stopped meanwhile), as gst-launch-1.0
// would run it.
Measure stock(const std::string& description, int seconds) {
    Measure m;
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "stock pipeline: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return m;
    }
    if (GstElement* cam = gst_bin_get_by_name(GST_BIN(pipeline), "webcam")) {
        GstPad* src = gst_element_get_static_pad(cam, "src");
        countFrames(src);
        gst_object_unref(src);
        gst_object_unref(cam);
    }
    if (GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "preview")) {
        g_object_set(sink, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff",
                         G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer) {
                             g_previewed.fetch_add(1, std::memory_order_relaxed);
                         }),
                         nullptr);
        gst_object_unref(sink);
    }
    if (GstElement* enc = gst_bin_get_by_name(GST_BIN(pipeline), "enc")) {
        GstPad* src = gst_element_get_static_pad(enc, "src");
        gst_pad_add_probe(
            src, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer) {
                g_encoded.fetch_add(1, std::memory_order_relaxed);
                return GST_PAD_PROBE_OK;
            },
            nullptr, nullptr);
        gst_object_unref(src);
        gst_object_unref(enc);
    }
    const quint64 atStart = g_produced, encodedAtStart = g_encoded;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    spin(1000);
    const quint64 p0 = g_produced, v0 = g_previewed, e0 = g_encoded;
    const double c0 = cpuSeconds();
    spin(seconds * 1000);
    m.cpu = cpuSeconds() - c0;
    m.produced = g_produced - p0;
    m.previewed = g_previewed - v0;
    m.encoded = g_encoded - e0;
    // The end of stream runs through what the encoder has still to do, as the program's end
    // of a recording does.
    m.partMade = g_produced - atStart;
    gst_element_send_event(pipeline, gst_event_new_eos());
    GstBus* bus = gst_element_get_bus(pipeline);
    if (GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
        gst_message_unref(msg);
    gst_object_unref(bus);
    m.partWritten = g_encoded - encodedAtStart;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return m;
}

// CPU seconds per frame of a pipeline that is not live and ends by itself.
double offline(const std::string& description, int frames) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "pipeline: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return 0;
    }
    const double c0 = cpuSeconds();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 600 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double cpu = cpuSeconds() - c0;
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return cpu / frames * 1e6;
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int runs = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 15) : 3;
    QTemporaryDir dir;
    auto path = [&dir](const char* name) { return dir.filePath(name).toStdString(); };

    // Recording at the webcam's full size: DivX without the half height, WMV with the
    // profile that keeps the picture's size ("High", 2 Mbit/s).
    TparameterList parameters{QStringLiteral("webcam bench")};
    CreateParameters(parameters);
    TRecordingSettings settings;
    settings.demiTaille = false;
    settings.ratioDivX = 0;
    settings.profilParDefaut = true;
    settings.profileWmv = 0;
    settings.versionWmv = 2;
    settings.divx = LoadDivxSettings();
    settings.mp3BitrateKbps = LoadMp3Bitrate();
    Encoders().Assign({{"Xvid (libavcodec MPEG-4)", "avenc_mpeg4", "XVID"}}, true);
    const TDivxSettings& divx = settings.divx;
    const std::string mpeg4 =
        "avenc_mpeg4 name=enc " +
        (divx.bitrateKbps > 0 ? "pass=cbr bitrate=" + std::to_string(divx.bitrateKbps * 1000)
                              : "pass=quant quantizer=" + std::to_string(divx.quantiser)) +
        " gop-size=" + std::to_string(divx.keyFrameInterval);
    const TWmvProfile wmv = TEncoderCatalog::PresetProfile(0);
    const std::string wmv2 =
        "avenc_wmv2 name=enc bitrate=" + std::to_string(wmv.videoBitrateKbps * 1000) +
        " gop-size=250";

    // The stock preview: decoded, one line of inlay on the decoder's I420, converted to
    // 24-bit RGB for a BGR sink; the encoders take the I420 as it is.
    const std::string preview =
        webcam() + " ! jpegdec ! clockoverlay ! tee name=t "
                   "t. ! queue leaky=2 max-size-buffers=2 max-size-bytes=0 max-size-time=0 ! "
                   "videoconvert ! video/x-raw,format=BGR ! fakesink name=preview sync=false ";
    const std::string stockCases[] = {
        preview,
        preview + "t. ! queue ! video/x-raw,format=I420 ! " + mpeg4 +
            " ! avimux ! filesink location=" + path("s.avi"),
        preview + "t. ! queue ! videoscale ! videorate ! video/x-raw,format=I420 ! " + wmv2 +
            " ! asfmux streamable=true ! filesink location=" + path("s.wmv"),
    };
    const char* labels[] = {"preview", "preview + divx", "preview + wmv"};

    // What the webcam costs by itself, live.
    const Measure source = stock(webcam() + " ! fakesink sync=false", seconds);
    const double sourceUs = source.perFrame();

    Program program;
    if (!program.video) {
        std::fprintf(stderr, "the webcam is not taken as a video device\n");
        return 1;
    }
    program.settings = settings;
    std::printf("Motion-JPEG 1920x1080 30 fps, %d s per run, %d runs; the source alone costs "
                "%.0f us/frame\n",
                seconds, runs, sourceUs);
    std::printf("%-16s %9s %9s %6s %9s %9s %6s\n", "", "program", "stock", "ratio", "program",
                "stock", "ratio");
    std::printf("%-16s %9s %9s %6s %9s %9s %6s\n", "", "us/frame", "us/frame", "", "net", "net",
                "");
    // When the encoder does not keep up, the program's recording queue lets go of frames
    // (the source and the preview go on) where the stock pipeline holds the source back: the
    // recording's own work is then compared per encoded frame, the preview's cost per frame
    // made (measured first) taken off.
    double previewOurs = 0, previewTheirs = 0;
    for (const Case c : {cPreview, cDivx, cWmv}) {
        std::vector<double> ours, theirs, branchOurs, branchTheirs;
        Measure o, s;
        for (int run = 0; run < runs; ++run) {
            const Measure a = program.run(
                c, dir.filePath(QString("p%1%2").arg(run).arg(c == cWmv ? ".wmv" : ".avi")),
                seconds);
            const Measure b = stock(stockCases[c], seconds);
            ours.push_back(a.perFrame());
            theirs.push_back(b.perFrame());
            auto branch = [](const Measure& m, double previewUs) {
                return m.encoded
                           ? (m.cpu * 1e6 - previewUs * double(m.produced)) / double(m.encoded)
                           : 0.0;
            };
            branchOurs.push_back(branch(a, previewOurs));
            branchTheirs.push_back(branch(b, previewTheirs));
            o = a;
            s = b;
        }
        const double a = median(ours), b = median(theirs);
        if (c == cPreview) {
            previewOurs = a;
            previewTheirs = b;
        }
        std::printf("%-16s %9.0f %9.0f %6.2f %9.0f %9.0f %6.2f\n", labels[c], a, b,
                    b > 0 ? a / b : 0, a - sourceUs, b - sourceUs,
                    b - sourceUs > 0 ? (a - sourceUs) / (b - sourceUs) : 0);
        // Real time, from the last run: frames made in the measured stretch against the
        // frames due, the frames that reached the preview and the encoder, and for the whole
        // recording the frames made against the frames in the finished file.
        auto frames = [&](const char* who, const Measure& m) {
            std::printf("%-16s %s: made %llu of %d, previewed %llu", "", who,
                        (unsigned long long)m.produced, seconds * kFps,
                        (unsigned long long)m.previewed);
            if (c != cPreview)
                std::printf(", encoded %llu; whole part %llu made, %llu written",
                            (unsigned long long)m.encoded, (unsigned long long)m.partMade,
                            (unsigned long long)m.partWritten);
            if (c != cPreview && who[0] == 'p')
                std::printf(", %llu counted lost", (unsigned long long)m.dropped);
            std::printf("\n");
        };
        // Each program run beside the stock run that follows it: the machine's other load
        // weighs on both alike, so the median of these ratios moves less than the ratio of the
        // medians.
        auto pairedRatio = [](const std::vector<double>& a, const std::vector<double>& b) {
            std::vector<double> r;
            for (size_t i = 0; i < a.size() && i < b.size(); ++i)
                if (b[i] > 0)
                    r.push_back(a[i] / b[i]);
            return median(r);
        };
        std::printf("%-16s paired runs: ratio %.2f\n", "", pairedRatio(ours, theirs));
        if (c != cPreview) {
            const double x = median(branchOurs), y = median(branchTheirs);
            std::printf("%-16s recording alone, per encoded frame: program %.0f, stock %.0f us, "
                        "ratio %.2f (paired runs %.2f)\n",
                        "", x, y, y > 0 ? x / y : 0, pairedRatio(branchOurs, branchTheirs));
        }
        frames("program", o);
        frames("stock", s);
        if (runs > 1) {
            std::printf("%-16s runs:", "");
            for (size_t i = 0; i < ours.size(); ++i)
                std::printf(" %.2f", theirs[i] > 0 ? ours[i] / theirs[i] : 0);
            std::printf("\n");
        }
        std::fflush(stdout);
    }

    // Where the time goes: the same stages run as fast as they can, one after the other,
    // each pipeline one stage longer than the one before.
    // The stages read the webcam's frames from a file made once, so that what jpegenc costs
    // does not blur the differences; each pipeline runs `runs` times and the medians count.
    const int frames = 10 * kFps;
    const std::string clip = path("webcam.avi");
    offline(webcam(frames) + " ! avimux ! filesink location=" + clip, frames);
    const std::string src = "filesrc location=" + clip + " ! avidemux";
    const std::string decoded = src + " ! jpegdec";
    const std::string overlay = " ! vr_superposer incrust-active=true overlay-enabled=true "
                                "what-incrust=3 format-date1=dddddd format-date2=hh:nn:ss";
    const std::string inlaid = decoded + overlay; // on the decoder's I420, as the program does
    const std::string toBgr = " ! videoconvert ! video/x-raw,format=BGR";
    // What the program's preview takes from a YUV picture: 32-bit RGB.
    const std::string toPreview = " ! videoconvert ! video/x-raw,format=BGRx";
    auto stage = [&](const std::string& pipeline) {
        std::vector<double> v;
        for (int run = 0; run < runs; ++run)
            v.push_back(offline(pipeline + " ! fakesink", frames));
        return median(v);
    };
    const double tSource = stage(src);
    const double tDecoded = stage(decoded);
    const double tInlaid = stage(inlaid);
    const double tPreview = stage(inlaid + toPreview);
    const double tDivx = stage(inlaid + " ! " + mpeg4 + " ! avimux");
    const double tWmv = stage(inlaid + " ! " + wmv2 + " ! asfmux");
    const double tClock = stage(decoded + " ! clockoverlay");
    // The chain through 24-bit RGB the program had before: converted before the overlay, and
    // back to I420 for the encoders.
    const double tRgb = stage(decoded + toBgr);
    const double tRgbInlaid = stage(decoded + toBgr + overlay);
    const double tBack = stage(decoded + toBgr + overlay +
                               " ! videoconvert ! "
                               "video/x-raw,format=I420");
    const double decoding = tDecoded - tSource, inlay = tInlaid - tDecoded,
                 toRgb = tPreview - tInlaid, divxEncoding = tDivx - tInlaid,
                 wmvEncoding = tWmv - tInlaid;
    std::printf("\nwhere the time goes (%d frames, not live; us/frame, share without the "
                "source):\n",
                frames);
    const double previewUs = decoding + inlay + toRgb;
    const double divxSum = previewUs + divxEncoding, wmvSum = previewUs + wmvEncoding;
    // Each stage's time and its share of the preview, the DivX and the WMV work.
    auto row = [&](const char* label, double us, bool inPreview, bool inDivx, bool inWmv) {
        auto share = [us](bool in, double sum) { return in && sum > 0 ? us * 100 / sum : 0.0; };
        std::printf("  %-40s %7.0f  %5.1f%%  %5.1f%%  %5.1f%%\n", label, us,
                    share(inPreview, previewUs), share(inDivx, divxSum), share(inWmv, wmvSum));
    };
    std::printf("  %-40s %7s  %6s  %6s  %6s\n", "stage", "us", "prev.", "divx", "wmv");
    row("decoding (jpegdec)", decoding, true, true, true);
    row("inlay on I420 (the program's overlay)", inlay, true, true, true);
    row("conversion to 32-bit RGB for the preview", toRgb, true, true, true);
    row("divx encoding (avenc_mpeg4, avimux)", divxEncoding, false, true, false);
    row("wmv encoding (avenc_wmv2, asfmux)", wmvEncoding, false, false, true);
    std::printf("  totals: preview %.0f, divx %.0f, wmv %.0f us/frame (a frame every %d us)\n",
                previewUs, divxSum, wmvSum, 1000000 / kFps);
    std::printf("  reading the frames from the file: %.0f us/frame\n", tSource);
    std::printf("  clockoverlay on the decoder's I420: %.0f us/frame\n", tClock - tDecoded);
    // Beside it, the picture made 24-bit RGB before the overlay: two conversions per
    // recorded frame instead of one per previewed frame.
    std::printf("  through 24-bit RGB instead: conversion %.0f, inlay on BGR %.0f, back to I420 "
                "%.0f us/frame\n",
                tRgb - tDecoded, tRgbInlaid - tRgb, tBack - tRgbInlaid);
    return 0;
}
