// The type 1 DV AVI writer: its core alone, the element in a pipeline beside a plain copy to
// a file and beside the stock type 2 chain (dvdemux ! avimux), and one recording past 4 GB
// that ffprobe then reads whole; one past 4 GB through avimux, repaired after a cut.
//   VR_BENCH_DIR: folder of the written files (default: the temporary folder).
#include "DVGenerator.h"
#include "DvAviWriter.h"
#include "RecoveryJournal.h"
#include "VidorraElements.h"

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kClipFrames = 250;

std::string BenchDir() {
    const char* d = std::getenv("VR_BENCH_DIR");
    return d ? d : std::filesystem::temp_directory_path().string();
}

const std::string& Clip() {
    static const std::string path = [] {
        const std::string p = BenchDir() + "/vr_dvavi_bench_clip.dv";
        dv::ClipSpec spec;
        spec.frames = kClipFrames;
        std::string error;
        if (!std::filesystem::exists(p) && !dv::GenerateClip(p, spec, &error))
            std::fprintf(stderr, "clip: %s\n", error.c_str());
        return p;
    }();
    return path;
}

bool RunPipeline(const std::string& desc) {
    GError* err = nullptr;
    GstElement* p = gst_parse_launch(desc.c_str(), &err);
    if (!p || err) {
        std::fprintf(stderr, "%s\n", err ? err->message : "no pipeline");
        g_clear_error(&err);
        return false;
    }
    gst_element_set_state(p, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(p);
    GstMessage* m = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
    if (m)
        gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    return ok;
}

std::string Capture(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// The looped clip: `loops` passes of kClipFrames frames.
std::string Source(int loops) {
    return "multifilesrc location=" + Clip() + " loop=true num-buffers=" + std::to_string(loops) +
           " caps=video/x-dv,systemstream=true";
}

class NullOutput : public avi::TAviOutput {
public:
    bool Write(const uint8_t*, size_t size) override {
        bytes += size;
        return true;
    }
    bool Seek(uint64_t) override { return true; }
    uint64_t bytes = 0;
};

void BM_WriterCore(benchmark::State& state) {
    std::FILE* f = std::fopen(Clip().c_str(), "rb");
    std::vector<uint8_t> frame(144000);
    if (!f || std::fread(frame.data(), 1, frame.size(), f) != frame.size()) {
        state.SkipWithError("no clip");
        return;
    }
    std::fclose(f);
    for (auto _ : state) {
        NullOutput out;
        avi::TDvAviWriter w(out);
        for (int i = 0; i < 10000; ++i)
            w.AddFrame(frame);
        w.Finish();
        benchmark::DoNotOptimize(out.bytes);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_WriterCore)->Unit(benchmark::kMillisecond);

// Frames per second through a pipeline writing a file ("@" in tail: its location); arg =
// loops of the clip.
void PipelineBench(benchmark::State& state, std::string tail) {
    const std::string out = BenchDir() + "/vr_dvavi_bench_out.avi";
    tail.replace(tail.find('@'), 1, out);
    const int loops = static_cast<int>(state.range(0));
    for (auto _ : state)
        if (!RunPipeline(Source(loops) + " ! " + tail))
            state.SkipWithError("pipeline failed");
    state.SetItemsProcessed(state.iterations() * loops * kClipFrames);
    std::error_code ec;
    state.counters["MB"] = double(std::filesystem::file_size(out, ec)) / 1e6;
    std::filesystem::remove(out, ec);
}

void BM_Copy_filesink(benchmark::State& state) {
    PipelineBench(state, "filesink location=@");
}
void BM_VrDvAviMux(benchmark::State& state) {
    PipelineBench(state, "vr_dvavimux ! filesink location=@");
}
void BM_Stock_dvdemux_avimux(benchmark::State& state) {
    PipelineBench(state, "dvdemux name=d avimux name=m ! filesink location=@ d.video ! queue ! "
                         "m.video_0 d.audio ! queue ! m.audio_0");
}
// Process CPU time: the pipelines run on their own threads.
BENCHMARK(BM_Copy_filesink)->Arg(8)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_VrDvAviMux)->Arg(8)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Stock_dvdemux_avimux)->Arg(8)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// One recording past 4 GiB (121 passes of 250 frames: 4.36 GB), then ffprobe counts every
// packet of the file. Counters: file size, frames written, frames ffprobe read, its seconds.
void BM_RecordPast4GB(benchmark::State& state) {
    const std::string out = BenchDir() + "/vr_dvavi_bench_4gb.avi";
    const int loops = 121;
    for (auto _ : state)
        if (!RunPipeline(Source(loops) + " ! vr_dvavimux ! filesink location=" + out))
            state.SkipWithError("pipeline failed");
    const auto t0 = std::chrono::steady_clock::now();
    const std::string probe =
        Capture("ffprobe -v error -count_packets -show_entries "
                "stream=codec_name,nb_read_packets:format=duration -of csv=p=0 " +
                out + " 2>&1");
    const double probeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr, "ffprobe: %s", probe.c_str());
    std::error_code ec;
    state.counters["GB"] = double(std::filesystem::file_size(out, ec)) / 1e9;
    state.counters["frames"] = double(loops) * kClipFrames;
    state.counters["probe_frames"] = std::atof(probe.substr(probe.find("dvvideo,") + 8).c_str());
    state.counters["probe_s"] = probeSeconds;
    state.SetItemsProcessed(state.iterations() * loops * kClipFrames);
    std::filesystem::remove(out, ec);
}
BENCHMARK(BM_RecordPast4GB)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The same through avimux, the writer of the other AVI formats: 3 500 raw PAL pictures with
// their sound (4.36 GB, OpenDML), read whole by ffprobe; then the file is cut short as a
// crash would leave it and repaired, and ffprobe reads it again.
void BM_AvimuxPast4GB(benchmark::State& state) {
    const std::string out = BenchDir() + "/vr_avimux_bench_4gb.avi";
    const int frames = 3500;
    for (auto _ : state)
        if (!RunPipeline("videotestsrc num-buffers=" + std::to_string(frames) +
                         " pattern=smpte ! video/x-raw,format=BGR,width=720,height=576,"
                         "framerate=25/1 ! queue ! avimux name=m ! filesink location=" +
                         out + " audiotestsrc num-buffers=" + std::to_string(frames * 2) +
                         " samplesperbuffer=960 ! audio/x-raw,format=S16LE,rate=48000,"
                         "channels=2 ! queue ! m."))
            state.SkipWithError("pipeline failed");
    const std::string count = "ffprobe -v error -count_packets -select_streams v -show_entries "
                              "stream=nb_read_packets -of csv=p=0 " +
                              out + " 2>&1";
    const auto t0 = std::chrono::steady_clock::now();
    const std::string probe = Capture(count);
    state.counters["probe_s"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(out, ec);
    state.counters["GB"] = double(size) / 1e9;
    state.counters["frames"] = frames;
    state.counters["probe_frames"] = std::atof(probe.c_str());
    // Cut 100 MB before the end (the index and the end of the last RIFF are lost).
    std::filesystem::resize_file(out, size - 100000000, ec);
    const bool repaired = RepairRecording(QString::fromStdString(out));
    state.counters["repaired"] = repaired;
    state.counters["repaired_frames"] = std::atof(Capture(count).c_str());
    std::filesystem::remove(out, ec);
}
BENCHMARK(BM_AvimuxPast4GB)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    if (!vidorraRegisterStatic())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
