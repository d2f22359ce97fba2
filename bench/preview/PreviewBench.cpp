// Preview cost, side by side in one run: the stock pipeline
//   videotestsrc is-live=true ! videoconvert ! clockoverlay ! videoconvert ! fakesink sync=true
// against the program's preview chain on "Mire de test" with two lines of inlay (its video
// window replaced by its sink alone), and the same with the preview frozen.
// Prints CPU time per frame (all threads of the process) for each.
#include "CaptureDevice.h"
#include "CpuTime.h"
#include "Dm.h"
#include "IncrustRec.h"
#include "SystemDevices.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <gst/gst.h>

namespace {

// Lets the pipelines run for ms without spending processor time of our own.
void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Result {
    double cpu;
    double frames;
};

Result stock(int seconds) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        "videotestsrc is-live=true ! video/x-raw,width=720,height=576,framerate=25/1 ! "
        "videoconvert ! clockoverlay ! videoconvert ! fakesink name=sink sync=true "
        "signal-handoffs=true",
        &error);
    if (!pipeline) {
        std::fprintf(stderr, "stock pipeline: %s\n", error ? error->message : "?");
        return {0, 0};
    }
    static std::atomic<int> frames{0};
    frames = 0;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_signal_connect(sink, "handoff",
                     G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer) { ++frames; }),
                     nullptr);
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    spin(1000);
    const double c0 = cpuSeconds();
    const int f0 = frames;
    spin(seconds * 1000);
    const Result r{cpuSeconds() - c0, double(frames - f0)};
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    TEnumeratorOptions options;
    options.deviceMonitor = false;
    options.firewire = false;
    options.virtualDevices.generate = false;
    auto enumerator = CreateSystemDeviceEnumerator(options);
    std::unique_ptr<TCaptureDevice> mire;
    double sourceAlone = 0;
    for (const TDeviceDescriptor& d : enumerator->enumerate(TDeviceCategory::Video))
        if (d.friendlyName == QLatin1String("Mire de test")) {
            mire = CreateCaptureDevice(d, 1);
            // What the device costs by itself, for the frozen preview's reference.
            GstElement* alone = gst_pipeline_new("source alone");
            GstElement* src = d.createSource();
            GstElement* sink = gst_element_factory_make("fakesink", nullptr);
            g_object_set(sink, "sync", TRUE, nullptr);
            gst_bin_add_many(GST_BIN(alone), src, sink, nullptr);
            gst_element_link(src, sink);
            gst_element_set_state(alone, GST_STATE_PLAYING);
            spin(1000);
            const double c0 = cpuSeconds();
            spin(seconds * 1000);
            sourceAlone = (cpuSeconds() - c0) / (seconds * 25.0) * 1e6;
            gst_element_set_state(alone, GST_STATE_NULL);
            gst_object_unref(alone);
        }
    if (!mire) {
        std::fprintf(stderr, "no test pattern device\n");
        return 1;
    }

    Tdm dm;
    mire->SourceFilter = mire->SetSourceGraph(dm);
    if (!mire->SourceFilter || !mire->SetVideoGraph(dm, 1) || !dm.BuildPreviewVideoChain(nullptr)) {
        std::fprintf(stderr, "preview chain not built\n");
        return 1;
    }
    TincrustRec rec;
    rec.WhatIncrust = wiReel;
    rec.FormatDate1 = QStringLiteral("dddddd");
    rec.FormatDate2 = QStringLiteral("hh:nn:ss");
    GstElement* overlay = dm.overlay();
    g_object_set(overlay, "what-incrust", 3u, "format-date1", "dddddd", "format-date2", "hh:nn:ss",
                 "incrust-active", TRUE, "overlay-enabled", TRUE, nullptr);

    const Result base = stock(seconds);

    dm.RunGraph();
    spin(1000);
    double c0 = cpuSeconds();
    quint64 f0 = dm.previewFrames();
    spin(seconds * 1000);
    const Result ours{cpuSeconds() - c0, double(dm.previewFrames() - f0)};

    dm.SetPreviewFrozen(true);
    spin(500);
    c0 = cpuSeconds();
    spin(seconds * 1000);
    const double frozenCpu = cpuSeconds() - c0;
    dm.StopGraph();

    const double perStock = base.frames > 0 ? base.cpu / base.frames * 1e6 : 0;
    const double perOurs = ours.frames > 0 ? ours.cpu / ours.frames * 1e6 : 0;
    std::printf("%-44s %10s %10s\n", "pipeline", "frames", "cpu us/frame");
    std::printf("%-44s %10.0f %10.1f\n", "stock videotestsrc+clockoverlay", base.frames, perStock);
    std::printf("%-44s %10.0f %10.1f\n", "program preview, Mire de test, 2 lines", ours.frames,
                perOurs);
    std::printf("ratio program/stock: %.2f (target <= 1.30)\n",
                perStock > 0 ? perOurs / perStock : 0);
    std::printf("frozen preview: %.1f us of cpu per frame slot; the source alone: %.1f us\n",
                frozenCpu / (seconds * 25.0) * 1e6, sourceAlone);
    return 0;
}
