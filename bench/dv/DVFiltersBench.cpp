// Speed of the DV scene detector, the resizer (beside videoscale), the still deinterlacer and
// the WAV writer (beside identity). Run by hand: vidorra_dv_bench
#include "DVPackWriter.h"
#include "DeinterlaceStill.h"
#include "FrameRings.h"
#include "ResizerCore.h"
#include "SceneRule.h"
#include "VidorraElements.h"

#include <benchmark/benchmark.h>
#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> PalFrame(int n) {
    dv::FramePacks p;
    p.recDate = 45000.0 + n / 86400.0;
    p.timecode = dv::TimecodeAt({}, n, 25);
    p.displayFormat = 0;
    return dv::MakeHandBuiltFrame(true, p);
}

std::vector<uint8_t> NoisyBgr(int w, int h) {
    std::vector<uint8_t> img(static_cast<size_t>(w) * h * 3);
    std::mt19937 rng(7);
    for (auto& b : img)
        b = static_cast<uint8_t>(rng());
    return img;
}

// Scene rule and ring store, the whole per-frame work of the detector.
void BM_SceneDetectCore(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> frames;
    for (int n = 0; n < 8; ++n)
        frames.push_back(PalFrame(n * 30));
    TSceneRule rule;
    TFrameRings rings;
    int64_t i = 0;
    for (auto _ : state) {
        const auto& f = frames[i & 7];
        rule.ProcessFrame(f);
        rings.Store(rule.Current(), f, i * 40'000'000);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SceneDetectCore);

// An element fed by a harness, one PAL DV frame (or audio block) per push.
void PushThrough(benchmark::State& state, const char* launch, const char* caps, size_t size) {
    GstHarness* h = gst_harness_new_parse(launch);
    gst_harness_set_src_caps_str(h, caps);
    std::vector<uint8_t> bytes = size == 144000 ? PalFrame(0) : std::vector<uint8_t>(size, 3);
    GstBuffer* buf = gst_buffer_new_memdup(bytes.data(), bytes.size());
    int64_t n = 0;
    for (auto _ : state) {
        GstBuffer* in = gst_buffer_copy(buf); // shares the memory, like a demuxer's buffer
        GST_BUFFER_PTS(in) = n++ * 40 * GST_MSECOND;
        gst_buffer_unref(gst_harness_push_and_pull(h, in));
    }
    state.SetItemsProcessed(state.iterations());
    gst_buffer_unref(buf);
    gst_harness_teardown(h);
}

void BM_SceneDetectElement(benchmark::State& s) {
    PushThrough(s, "vr_scenedetect", "video/x-dv,systemstream=(boolean)false", 144000);
}
void BM_IdentityDV(benchmark::State& s) {
    PushThrough(s, "identity", "video/x-dv,systemstream=(boolean)false", 144000);
}
BENCHMARK(BM_SceneDetectElement);
BENCHMARK(BM_IdentityDV);

constexpr const char* kAudio = "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved";
void BM_WaveDest(benchmark::State& s) {
    PushThrough(s, "vr_wavedest", kAudio, 7680);
}
void BM_IdentityAudio(benchmark::State& s) {
    PushThrough(s, "identity", kAudio, 7680);
}
BENCHMARK(BM_WaveDest);
BENCHMARK(BM_IdentityAudio);

// Resizer core on a 720 x 576 BGR frame.
void BM_ResizerCore(benchmark::State& state) {
    const int ow = static_cast<int>(state.range(0)), oh = static_cast<int>(state.range(1));
    const auto in = NoisyBgr(720, 576);
    std::vector<uint8_t> out(static_cast<size_t>(ow) * oh * 3);
    TAreaResampler r;
    r.Configure(720, 576, ow, oh);
    for (auto _ : state) {
        r.Run(in.data(), 720 * 3, out.data(), ow * 3);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResizerCore)->Args({384, 288})->Args({704, 396})->Unit(benchmark::kMicrosecond);

// Elements side by side, same harness, same input frame, output size fixed by the caps.
void Scale(benchmark::State& state, const std::string& launch) {
    const int ow = static_cast<int>(state.range(0)), oh = static_cast<int>(state.range(1));
    GstHarness* h = gst_harness_new_parse(launch.c_str());
    const std::string inCaps = "video/x-raw,format=BGR,width=720,height=576,framerate=25/1,"
                               "pixel-aspect-ratio=1/1";
    const std::string outCaps = "video/x-raw,format=BGR,width=" + std::to_string(ow) +
                                ",height=" + std::to_string(oh) + ",framerate=25/1";
    gst_harness_set_caps_str(h, inCaps.c_str(), outCaps.c_str());
    const auto img = NoisyBgr(720, 576);
    GstBuffer* buf = gst_buffer_new_memdup(img.data(), img.size());
    for (auto _ : state)
        gst_buffer_unref(gst_harness_push_and_pull(h, gst_buffer_ref(buf)));
    state.SetItemsProcessed(state.iterations());
    gst_buffer_unref(buf);
    gst_harness_teardown(h);
}
void BM_VrResizer(benchmark::State& s) {
    // 384 x 288: "4x3" with "Demi Taille"; 704 x 396: "16x9".
    Scale(s,
          s.range(0) == 384 ? "vr_resizer ratio-mode=1 half-size=true" : "vr_resizer ratio-mode=2");
}
void BM_Videoscale(benchmark::State& s) {
    Scale(s, "videoscale");
}
void BM_Videoscale4Tap(benchmark::State& s) {
    Scale(s, "videoscale method=4-tap");
}
BENCHMARK(BM_VrResizer)->Args({384, 288})->Args({704, 396})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Videoscale)->Args({384, 288})->Args({704, 396})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Videoscale4Tap)->Args({384, 288})->Args({704, 396})->Unit(benchmark::kMicrosecond);

void BM_DeinterlaceStill(benchmark::State& state) {
    auto in = NoisyBgr(720, 576);
    std::vector<uint8_t> out(in.size());
    for (auto _ : state) {
        DeinterlaceStill(in.data(), 720 * 3, out.data(), 720 * 3, 720, 576);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_DeinterlaceStill)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
