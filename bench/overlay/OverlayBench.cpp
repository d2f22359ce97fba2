// Per-frame cost of the overlay, side by side with what GStreamer itself offers for the
// same work, on the same frames and in the same process:
//   a) "Activer Superposition" off        vs memcpy of the frame
//   b) mirrors only                        vs videoflip
//   c) two lines of DV date, borders 1, 5  vs clockoverlay (default outline)
// plus the time-stamper vs identity. Core benchmarks report the allocations per frame
// (counted by the malloc wrapper below), which must be 0.
#include "SuperposerCore.h"
#include "VidorraElements.h"
#include "dv/FrameInfoSource.h"

#include <benchmark/benchmark.h>
#include <gst/check/gstharness.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstring>
#include <random>
#include <vector>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
// Only the benchmark's own thread is counted.
thread_local bool g_counting = false;
std::atomic<long> g_allocations{0};
} // namespace

extern "C" void* malloc(size_t n) {
    if (g_counting)
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t m) {
    if (g_counting)
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, m);
}
extern "C" void* realloc(void* p, size_t n) {
    if (g_counting)
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
extern "C" void free(void* p) {
    __libc_free(p);
}

namespace {

struct Size {
    int w;
    int h;
};
constexpr Size kSizes[] = {{720, 576}, {1920, 1080}};

std::vector<uint8_t> noiseFrame(Size s) {
    std::vector<uint8_t> f(size_t(s.w) * 3 * s.h);
    std::mt19937 rng(7);
    for (auto& b : f)
        b = uint8_t(rng());
    return f;
}

// One DV frame per 40 ms, all on the same day.
class FixedRing : public IFrameInfoSource {
public:
    int LookupFrameInfo(int64_t, TDVFrameInfo& info) override {
        info = TDVFrameInfo{};
        info.DateValid = true;
        info.RecDate = 45650.4375; // 25/12/2024 10:30
        return 0;
    }
    void SetLookupPos(int) override {}
    int LookupPos() const override { return 0; }
    bool CopyHeader(int, uint8_t*) const override { return false; }
};

VrIncrustRec dvDateRecord(int border) {
    VrIncrustRec rec;
    rec.WhatIncrust = VrIncrustRec::Datecode;
    rec.FormatDate1 = "dddddd";
    rec.FormatDate2 = "tt";
    rec.Autofontsize = true;
    rec.BorderSize = border;
    return rec;
}

enum class CoreCase { Off, Mirrors, DvDate1, DvDate5 };

void runCore(benchmark::State& state, CoreCase c) {
    const Size s = kSizes[state.range(0)];
    std::vector<uint8_t> frame = noiseFrame(s);
    BgrImage image{frame.data(), s.w, s.h, ptrdiff_t(s.w) * 3};
    SuperposerCore core;
    FixedRing ring;
    core.setOverlayEnabled(c != CoreCase::Off);
    if (c == CoreCase::Mirrors) {
        core.SetVertFlip(true);
        core.SetHorzFlip(true);
    }
    if (c == CoreCase::DvDate1 || c == CoreCase::DvDate5) {
        core.SetIncrustRec(dvDateRecord(c == CoreCase::DvDate1 ? 1 : 5));
        core.SetIncrustActive(true);
    }
    core.startStreaming(s.w, s.h);
    core.processFrame(image, 0, &ring); // first frame renders the text
    int64_t pts = 0;
    g_allocations = 0;
    g_counting = true;
    for (auto _ : state) {
        pts += 40000000;
        auto r = core.processFrame(image, pts, &ring);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    g_counting = false;
    state.counters["allocs_per_frame"] =
        benchmark::Counter(double(g_allocations.load()) / double(state.iterations()));
    state.SetLabel(std::to_string(s.w) + "x" + std::to_string(s.h));
}

void BM_Memcpy(benchmark::State& state) {
    const Size s = kSizes[state.range(0)];
    std::vector<uint8_t> src = noiseFrame(s);
    std::vector<uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(s.w) + "x" + std::to_string(s.h));
}

void BM_Core_Off(benchmark::State& st) {
    runCore(st, CoreCase::Off);
}
void BM_Core_Mirrors(benchmark::State& st) {
    runCore(st, CoreCase::Mirrors);
}
void BM_Core_DvDate_Border1(benchmark::State& st) {
    runCore(st, CoreCase::DvDate1);
}
void BM_Core_DvDate_Border5(benchmark::State& st) {
    runCore(st, CoreCase::DvDate5);
}

// An element in a harness: each iteration pushes the frame and pulls it back; the buffer
// that comes out goes in again, so in-place elements see a writable buffer as in a real
// pipeline. With shared set, the pushed buffer has a second reference (as when a tee
// feeds it), which forces a copy.
void runElement(benchmark::State& state, const char* description, bool shared = false,
                FixedRing* ring = nullptr) {
    const Size s = kSizes[state.range(0)];
    GstHarness* h = gst_harness_new_parse(description);
    if (ring) {
        GstElement* e = gst_harness_find_element(h, "vr_superposer");
        GstElement* detector = gst_element_factory_make("identity", nullptr);
        g_object_set_data(G_OBJECT(detector), kFrameInfoSourceKey,
                          static_cast<IFrameInfoSource*>(ring));
        g_object_set(e, "scene-source", detector, nullptr);
        gst_object_unref(e);
    }
    gchar* caps =
        g_strdup_printf("video/x-raw,format=BGR,width=%d,height=%d,framerate=25/1", s.w, s.h);
    gst_harness_set_src_caps_str(h, caps);
    g_free(caps);
    std::vector<uint8_t> pixels = noiseFrame(s);
    GstBuffer* buf = gst_buffer_new_allocate(nullptr, pixels.size(), nullptr);
    gst_buffer_fill(buf, 0, pixels.data(), pixels.size());
    GstBuffer* keep = shared ? gst_buffer_ref(buf) : nullptr;
    GstClockTime pts = 0;
    for (int i = 0; i < 3; ++i) { // warm up: caps, pools, the first text rendering
        GST_BUFFER_PTS(buf) = pts += 40 * GST_MSECOND;
        buf = gst_harness_push_and_pull(h, buf);
    }
    for (auto _ : state) {
        if (shared) {
            gst_buffer_unref(buf);
            buf = gst_buffer_ref(keep);
        } else {
            GST_BUFFER_PTS(buf) = pts += 40 * GST_MSECOND;
        }
        buf = gst_harness_push_and_pull(h, buf);
    }
    gst_buffer_unref(buf);
    if (keep)
        gst_buffer_unref(keep);
    gst_harness_teardown(h);
    state.SetLabel(std::to_string(s.w) + "x" + std::to_string(s.h));
}

void BM_Gst_Identity(benchmark::State& st) {
    runElement(st, "identity");
}
void BM_Gst_Identity_Shared(benchmark::State& st) {
    runElement(st, "identity", true);
}
void BM_Vr_Superposer_Off(benchmark::State& st) {
    runElement(st, "vr_superposer overlay-enabled=false");
}
void BM_Vr_Superposer_Off_Shared(benchmark::State& st) {
    runElement(st, "vr_superposer overlay-enabled=false", true);
}
void BM_Gst_Videoflip_Vertical(benchmark::State& st) {
    runElement(st, "videoflip video-direction=vert");
}
void BM_Gst_Videoflip_Rotate180(benchmark::State& st) {
    runElement(st, "videoflip video-direction=180");
}
void BM_Vr_Superposer_Vertical(benchmark::State& st) {
    runElement(st, "vr_superposer vert-flip=true");
}
void BM_Vr_Superposer_BothMirrors(benchmark::State& st) {
    runElement(st, "vr_superposer vert-flip=true horz-flip=true");
}
void BM_Gst_Clockoverlay(benchmark::State& st) {
    runElement(st, "clockoverlay");
}
void BM_Vr_Superposer_DvDate_Border1(benchmark::State& st) {
    FixedRing ring;
    runElement(st,
               "vr_superposer incrust-active=true what-incrust=0 format-date1=dddddd "
               "format-date2=tt border-size=1",
               false, &ring);
}
void BM_Vr_Superposer_DvDate_Border5(benchmark::State& st) {
    FixedRing ring;
    runElement(st,
               "vr_superposer incrust-active=true what-incrust=0 format-date1=dddddd "
               "format-date2=tt border-size=5",
               false, &ring);
}
void BM_Vr_Timestamper(benchmark::State& st) {
    runElement(st, "vr_timestamper");
}
void BM_Vr_Timestamper_Clock(benchmark::State& st) {
    runElement(st, "vr_timestamper mode=clock");
}

} // namespace

BENCHMARK(BM_Memcpy)->DenseRange(0, 1);
BENCHMARK(BM_Core_Off)->DenseRange(0, 1);
BENCHMARK(BM_Core_Mirrors)->DenseRange(0, 1);
BENCHMARK(BM_Core_DvDate_Border1)->DenseRange(0, 1);
BENCHMARK(BM_Core_DvDate_Border5)->DenseRange(0, 1);
BENCHMARK(BM_Gst_Identity)->DenseRange(0, 1);
BENCHMARK(BM_Gst_Identity_Shared)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Superposer_Off)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Superposer_Off_Shared)->DenseRange(0, 1);
BENCHMARK(BM_Gst_Videoflip_Vertical)->DenseRange(0, 1);
BENCHMARK(BM_Gst_Videoflip_Rotate180)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Superposer_Vertical)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Superposer_BothMirrors)->DenseRange(0, 1);
BENCHMARK(BM_Gst_Clockoverlay)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Superposer_DvDate_Border1)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Superposer_DvDate_Border5)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Timestamper)->DenseRange(0, 1);
BENCHMARK(BM_Vr_Timestamper_Clock)->DenseRange(0, 1);

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
