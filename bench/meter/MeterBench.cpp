// What the sound level meter costs: the program's audio branch (the recordings' tee, the
// preview's queue, gate, time-stamper, conversion, volume and sink) fed with the virtual
// source's sound, 960 stereo samples at 48 kHz a buffer, non-live, with and without the
// meter's branch (leaky queue, audioconvert, level every 66 ms, fakesink). Reported per
// buffer: processor time of the whole process, and that of the streaming thread that carries
// the sound to the recordings (the one the meter must not slow down).
// The meter's queue here never drops, so that every buffer is measured, as when live.
#include "CpuTime.h"
#include "VidorraElements.h"

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <atomic>
#include <ctime>

namespace {

constexpr int kBuffers = 3000; // one minute of sound

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Run {
    double processCpu = 0;
    double streamingCpu = 0;
    int levels = 0;
};

Run runBranch(bool meter) {
    const char* launch = "audiotestsrc name=src is-live=false wave=sine freq=440 volume=0.2 "
                         "samplesperbuffer=960 num-buffers=%d ! "
                         "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved ! "
                         "tee name=infdecaudio allow-not-linked=true ! queue name=sup ! "
                         "tee name=infsupaudio allow-not-linked=true ! queue ! vr_timestamper ! "
                         "vr_timestamper mode=remove ! audioconvert ! volume volume=0.5 ! "
                         "fakesink sync=false %s";
    const char* branch = meter ? "infdecaudio. ! queue max-size-buffers=8 max-size-bytes=0 "
                                 "max-size-time=0 ! audioconvert ! "
                                 "level interval=66000000 post-messages=true ! "
                                 "fakesink sync=false async=false"
                               : "";
    gchar* text = g_strdup_printf(launch, kBuffers, branch);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(text, &error);
    g_free(text);
    if (!pipeline) {
        g_clear_error(&error);
        return {};
    }
    // The streaming thread of the source: from its first buffer to its last.
    struct Clock {
        std::atomic<double> first{-1}, last{0};
    } clock;
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstPad* pad = gst_element_get_static_pad(src, "src");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
            auto* c = static_cast<Clock*>(data);
            const double now = threadSeconds();
            if (c->first < 0)
                c->first = now;
            c->last = now;
            return GST_PAD_PROBE_OK;
        },
        &clock, nullptr);
    gst_object_unref(pad);
    gst_object_unref(src);

    const double c0 = cpuSeconds();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    Run run;
    for (bool done = false; !done;) {
        GstMessage* m = gst_bus_timed_pop(bus, GST_CLOCK_TIME_NONE);
        switch (GST_MESSAGE_TYPE(m)) {
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ERROR:
            done = true;
            break;
        case GST_MESSAGE_ELEMENT:
            if (gst_structure_has_name(gst_message_get_structure(m), "level"))
                ++run.levels;
            break;
        default:
            break;
        }
        gst_message_unref(m);
    }
    run.processCpu = cpuSeconds() - c0;
    run.streamingCpu = clock.last - clock.first;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return run;
}

void BM_AudioBranch(benchmark::State& state) {
    const bool meter = state.range(0) != 0;
    double process = 0, streaming = 0;
    int levels = 0, runs = 0;
    for (auto _ : state) {
        const Run r = runBranch(meter);
        process += r.processCpu;
        streaming += r.streamingCpu;
        levels += r.levels;
        ++runs;
    }
    const double buffers = double(runs) * kBuffers;
    state.counters["process_us_per_buffer"] = process / buffers * 1e6;
    state.counters["streaming_us_per_buffer"] = streaming / buffers * 1e6;
    state.counters["levels_per_run"] = runs ? double(levels) / runs : 0;
    state.SetLabel(meter ? "with the level meter" : "without the level meter");
}
BENCHMARK(BM_AudioBranch)
    ->Arg(0)
    ->Arg(1)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
