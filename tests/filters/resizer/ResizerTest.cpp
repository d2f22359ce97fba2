#include "DeinterlaceStill.h"
#include "ResizerCore.h"

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

struct SizeCase {
    int w, h, mode;
    bool half;
    int ax, ay, ow, oh;
};

std::vector<uint8_t> Image(int w, int h, uint8_t fill) {
    return std::vector<uint8_t>(static_cast<size_t>(w) * h * 3, fill);
}

// Mean of the source area under output pixel (x, y), channel c, in doubles.
double ExactAverage(const std::vector<uint8_t>& src, int stride, int iw, int ih, int ow, int oh,
                    int x, int y, int c) {
    const double x0 = x * double(iw) / ow, x1 = (x + 1) * double(iw) / ow;
    const double y0 = y * double(ih) / oh, y1 = (y + 1) * double(ih) / oh;
    double sum = 0;
    for (int j = static_cast<int>(y0); j < ih && j < y1; ++j) {
        const double cy = std::min<double>(y1, j + 1) - std::max<double>(y0, j);
        for (int i = static_cast<int>(x0); i < iw && i < x1; ++i) {
            const double cx = std::min<double>(x1, i + 1) - std::max<double>(x0, i);
            sum += src[static_cast<size_t>(j) * stride + i * 3 + c] * cx * cy;
        }
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

} // namespace

TEST(ResizerSize, Table) {
    const SizeCase cases[] = {
        {720, 576, 1, true, 0, 0, 384, 288},  {720, 576, 2, false, 0, 0, 704, 396},
        {720, 576, 3, true, 0, 0, 360, 288},  {720, 576, 3, false, 0, 0, 720, 576},
        {640, 480, 1, false, 0, 0, 640, 480}, {720, 480, 2, false, 0, 0, 704, 396},
        {720, 576, 0, false, 0, 0, 720, 576}, {720, 576, 0, false, 16, 9, 720, 405},
        {720, 576, 0, true, 4, 3, 384, 288},  {720, 576, 0, true, 0, 0, 720, 288},
        {720, 576, 7, true, 0, 0, 720, 576},  {352, 289, 3, true, 0, 0, 176, 144},
        {1, 1, 1, false, 0, 0, 1, 1},         {5, 3, 2, false, 0, 0, 5, 2},
        {17, 9, 2, false, 0, 0, 17, 9},
    };
    for (const auto& c : cases) {
        const auto s = ResizerOutputSize(c.w, c.h, c.mode, c.half, c.ax, c.ay);
        EXPECT_EQ(s.width, c.ow) << c.w << "x" << c.h << " mode " << c.mode;
        EXPECT_EQ(s.height, c.oh) << c.w << "x" << c.h << " mode " << c.mode;
    }
}

TEST(AreaResampler, AveragesTheCoveredArea) {
    // 4x2 -> 2x1: each output pixel is the mean of a 2x2 block.
    const uint8_t src[] = {0,   0,   0,   100, 100, 100, 10, 20, 30, 10, 20, 30,
                           200, 200, 200, 100, 100, 100, 50, 60, 70, 10, 20, 30};
    uint8_t dst[6] = {};
    TAreaResampler r;
    r.Configure(4, 2, 2, 1);
    r.Run(src, 12, dst, 6);
    EXPECT_EQ(dst[0], 100);
    EXPECT_EQ(dst[3], 20);
    EXPECT_EQ(dst[4], 30);
    EXPECT_EQ(dst[5], 40);

    // A uniform picture stays uniform at any ratio, up or down.
    for (auto [ow, oh] : {std::pair{384, 288}, {704, 396}, {1000, 700}}) {
        auto in = Image(720, 576, 77);
        auto out = Image(ow, oh, 0);
        r.Configure(720, 576, ow, oh);
        r.Run(in.data(), 720 * 3, out.data(), ow * 3);
        EXPECT_EQ(out, Image(ow, oh, 77)) << ow;
    }
}

TEST(AreaResampler, StaysWithinOneLevelOfTheExactMeanAndInsideTheRows) {
    // Reductions with 1 to 4 taps per output (the SIMD loops), wider ones (the exact sums),
    // enlargements, odd widths that end on a single pixel, padded strides.
    struct Case {
        int iw, ih, ow, oh;
    };
    const Case cases[] = {{720, 576, 384, 288}, {720, 576, 704, 396}, {720, 576, 360, 288},
                          {720, 576, 241, 7},   {720, 576, 1, 1},     {97, 61, 13, 29},
                          {5, 3, 2, 1},         {3, 2, 7, 5},         {1, 1, 4, 3},
                          {17, 9, 16, 9},       {64, 48, 63, 47},     {2, 9, 3, 2}};
    std::mt19937 rng(1);
    TAreaResampler r;
    for (const auto& k : cases) {
        const int srcStride = k.iw * 3 + 5, dstStride = k.ow * 3 + 4;
        std::vector<uint8_t> src(static_cast<size_t>(srcStride) * k.ih);
        // Black and white noise: the largest errors of rounded weights.
        for (auto& b : src)
            b = (rng() & 1) ? 255 : 0;
        std::vector<uint8_t> dst(static_cast<size_t>(dstStride) * k.oh, 0xA5);
        r.Configure(k.iw, k.ih, k.ow, k.oh);
        r.Run(src.data(), srcStride, dst.data(), dstStride);
        double worst = 0;
        bool padKept = true;
        for (int y = 0; y < k.oh; ++y) {
            const uint8_t* d = &dst[static_cast<size_t>(y) * dstStride];
            padKept = padKept &&
                      std::all_of(d + k.ow * 3, d + dstStride, [](uint8_t b) { return b == 0xA5; });
            for (int x = 0; x < k.ow; ++x)
                for (int c = 0; c < 3; ++c)
                    worst = std::max(
                        worst, std::fabs(d[x * 3 + c] - ExactAverage(src, srcStride, k.iw, k.ih,
                                                                     k.ow, k.oh, x, y, c)));
        }
        EXPECT_LT(worst, 1.0) << k.iw << "x" << k.ih << " -> " << k.ow << "x" << k.oh;
        EXPECT_TRUE(padKept) << k.iw << "x" << k.ih << " -> " << k.ow << "x" << k.oh;
    }
}

TEST(AreaResampler, OnePlaneGivesTheSumsOfTheColourPicture) {
    // A plane of an I420 picture is resampled as one channel of a BGR picture would be, bit
    // for bit, and nothing is written past the row.
    struct Case {
        int iw, ih, ow, oh;
    };
    const Case cases[] = {{1920, 1080, 512, 288}, {960, 540, 256, 144}, {720, 576, 384, 288},
                          {720, 576, 704, 396},   {97, 61, 13, 29},     {3, 2, 7, 5},
                          {1, 1, 4, 3},           {64, 48, 63, 47},     {2, 9, 3, 2}};
    std::mt19937 rng(2);
    TAreaResampler plane, colour;
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.iw) + "x" + std::to_string(k.ih) + " -> " +
                     std::to_string(k.ow) + "x" + std::to_string(k.oh));
        const int srcStride = k.iw + 3, dstStride = k.ow + 5;
        std::vector<uint8_t> src(static_cast<size_t>(srcStride) * k.ih);
        for (auto& b : src)
            b = static_cast<uint8_t>(rng());
        auto bgr = Image(k.iw, k.ih, 0);
        for (int y = 0; y < k.ih; ++y)
            for (int x = 0; x < k.iw; ++x) {
                const size_t i = (static_cast<size_t>(y) * k.iw + x) * 3;
                bgr[i] = src[static_cast<size_t>(y) * srcStride + x];
                bgr[i + 1] = static_cast<uint8_t>(rng());
                bgr[i + 2] = static_cast<uint8_t>(rng());
            }
        std::vector<uint8_t> dst(static_cast<size_t>(dstStride) * k.oh, 0xA5);
        auto expected = Image(k.ow, k.oh, 0);
        plane.Configure(k.iw, k.ih, k.ow, k.oh, 1);
        plane.Run(src.data(), srcStride, dst.data(), dstStride);
        colour.Configure(k.iw, k.ih, k.ow, k.oh);
        colour.Run(bgr.data(), k.iw * 3, expected.data(), k.ow * 3);
        int differing = 0;
        bool padKept = true;
        for (int y = 0; y < k.oh; ++y) {
            const uint8_t* d = &dst[static_cast<size_t>(y) * dstStride];
            padKept = padKept &&
                      std::all_of(d + k.ow, d + dstStride, [](uint8_t b) { return b == 0xA5; });
            for (int x = 0; x < k.ow; ++x)
                differing += d[x] != expected[(static_cast<size_t>(y) * k.ow + x) * 3];
        }
        EXPECT_EQ(differing, 0);
        EXPECT_TRUE(padKept);
    }
}

TEST(DeinterlaceStill, FlatAndTinyPicturesAreUnchanged) {
    for (int h : {1, 2}) {
        auto in = Image(4, h, 0);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<uint8_t>(i * 37);
        auto out = Image(4, h, 1);
        DeinterlaceStill(in.data(), 12, out.data(), 12, 4, h);
        EXPECT_EQ(out, in) << h << " rows";
    }
    auto flat = Image(6, 6, 128), out = Image(6, 6, 0);
    DeinterlaceStill(flat.data(), 18, out.data(), 18, 6, 6);
    EXPECT_EQ(out, flat);
}

TEST(DeinterlaceStill, CombedPixelsNeedACombedNeighbour) {
    // Row 1 bright between dark rows 0 and 2: combed wherever it is bright.
    const int w = 4, h = 3;
    auto in = Image(w, h, 20);
    auto px = [&](int x, int r) { return &in[(r * w + x) * 3]; };
    for (int x : {0, 1})
        std::fill(px(x, 1), px(x, 1) + 3, 220);
    std::fill(px(3, 1), px(3, 1) + 3, 220); // alone in the last column, left neighbour clean
    auto out = Image(w, h, 0);
    DeinterlaceStill(in.data(), w * 3, out.data(), w * 3, w, h);
    auto o = [&](int x, int r) { return out[(r * w + x) * 3]; };
    EXPECT_EQ(o(0, 1), 20) << "right neighbour combed: repaired";
    EXPECT_EQ(o(1, 1), 220) << "right neighbour clean: kept";
    EXPECT_EQ(o(3, 1), 220) << "last column: the left neighbour decides";

    // Last column with a combed left neighbour is repaired; the mean is truncated.
    std::fill(px(2, 1), px(2, 1) + 3, 220);
    px(3, 2)[0] = 21;
    DeinterlaceStill(in.data(), w * 3, out.data(), w * 3, w, h);
    EXPECT_EQ(o(3, 1), 20);
    EXPECT_EQ(o(1, 1), 20);
    // Not 24-bit: a plain copy.
    auto copy = Image(w, h, 0);
    DeinterlaceStill(in.data(), w * 4, copy.data(), w * 4, w, 2, 32);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + w * 4 * 2, copy.begin()));
}

TEST(ResizerElement, NegotiatesTheTableSizeAndPassesEqualSizesThrough) {
    GstHarness* h = gst_harness_new("vr_resizer");
    g_object_set(h->element, "ratio-mode", 1, "half-size", TRUE, nullptr);
    gst_harness_set_src_caps_str(
        h, "video/x-raw,format=BGR,width=720,height=576,framerate=25/1,pixel-aspect-ratio=16/15");
    GstBuffer* in = gst_buffer_new_allocate(nullptr, 720 * 576 * 3, nullptr);
    gst_buffer_memset(in, 0, 90, 720 * 576 * 3);
    GstBuffer* out = gst_harness_push_and_pull(h, in);
    ASSERT_TRUE(out);
    EXPECT_EQ(gst_buffer_get_size(out), 384u * 288u * 3u);
    GstCaps* caps = gst_pad_get_current_caps(h->sinkpad);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int w = 0, ht = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &ht);
    EXPECT_EQ(w, 384);
    EXPECT_EQ(ht, 288);
    gst_caps_unref(caps);
    gst_buffer_unref(out);
    gst_harness_teardown(h);

    h = gst_harness_new("vr_resizer");
    g_object_set(h->element, "ratio-mode", 1, nullptr);
    gst_harness_set_src_caps_str(h, "video/x-raw,format=BGR,width=640,height=480,framerate=25/1");
    in = gst_buffer_new_allocate(nullptr, 640 * 480 * 3, nullptr);
    out = gst_harness_push_and_pull(h, in);
    EXPECT_EQ(out, in) << "unchanged size: the same buffer goes on";
    gst_buffer_unref(out);
    gst_harness_teardown(h);

    // "Normal" with the height at most 288 keeps the picture's shape, which the caps' pixel
    // shape tells: 720 x 576 of 16/15 pixels (4:3) and 640 x 480 square pixels give 384 x 288,
    // square pixels of 720 x 576 (5:4) 360 x 288; at full height DV gives 720 x 540, and DV
    // decoded at half size 360 x 270. Without a pixel shape the rule stays: 720 x 288.
    struct Normal {
        const char* caps;
        bool half;
        int width, height;
    };
    for (const Normal& n :
         {Normal{"width=720,height=576,pixel-aspect-ratio=16/15", true, 384, 288},
          Normal{"width=640,height=480,pixel-aspect-ratio=1/1", true, 384, 288},
          Normal{"width=720,height=576,pixel-aspect-ratio=1/1", true, 360, 288},
          Normal{"width=720,height=576,pixel-aspect-ratio=16/15", false, 720, 540},
          Normal{"width=360,height=288,pixel-aspect-ratio=16/15", true, 360, 270},
          Normal{"width=720,height=576", true, 720, 288}}) {
        SCOPED_TRACE(n.caps);
        h = gst_harness_new("vr_resizer");
        g_object_set(h->element, "ratio-mode", 0, "half-size", gboolean(n.half), nullptr);
        gst_harness_set_src_caps_str(
            h, (std::string("video/x-raw,format=BGR,framerate=25/1,") + n.caps).c_str());
        int w = 0, ht = 0;
        sscanf(n.caps, "width=%d,height=%d", &w, &ht);
        out = gst_harness_push_and_pull(
            h, gst_buffer_new_allocate(nullptr, size_t(w) * size_t(ht) * 3, nullptr));
        ASSERT_TRUE(out);
        EXPECT_EQ(gst_buffer_get_size(out), size_t(n.width) * size_t(n.height) * 3);
        gst_buffer_unref(out);
        gst_harness_teardown(h);
    }

    // Before a ratio mode is set the output is 320 x 240.
    h = gst_harness_new("vr_resizer");
    gst_harness_set_src_caps_str(h, "video/x-raw,format=BGR,width=160,height=120,framerate=25/1");
    out = gst_harness_push_and_pull(h, gst_buffer_new_allocate(nullptr, 160 * 120 * 3, nullptr));
    EXPECT_EQ(gst_buffer_get_size(out), 320u * 240u * 3u);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}

TEST(ResizerElement, ScalesEachPlaneOfAnI420Picture) {
    // The decoder's I420 is scaled as it comes: a flat picture stays flat in each plane, the
    // chroma planes at their own size (rounded up for an odd size).
    struct Sized {
        int mode;
        bool half;
        int w, h, ow, oh;
    };
    for (const Sized& c :
         {Sized{1, true, 720, 576, 384, 288}, Sized{0, true, 1920, 1080, 1920, 288},
          Sized{3, true, 352, 289, 176, 144}, Sized{2, false, 17, 9, 17, 9}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        GstHarness* h = gst_harness_new("vr_resizer");
        g_object_set(h->element, "ratio-mode", c.mode, "half-size", gboolean(c.half), nullptr);
        gst_harness_set_src_caps_str(h, ("video/x-raw,format=I420,framerate=25/1,width=" +
                                         std::to_string(c.w) + ",height=" + std::to_string(c.h))
                                            .c_str());
        GstVideoInfo in, out;
        gst_video_info_set_format(&in, GST_VIDEO_FORMAT_I420, guint(c.w), guint(c.h));
        gst_video_info_set_format(&out, GST_VIDEO_FORMAT_I420, guint(c.ow), guint(c.oh));
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&in), nullptr);
        const uint8_t values[3] = {90, 100, 200};
        for (guint p = 0; p < 3; ++p) {
            const gsize from = GST_VIDEO_INFO_PLANE_OFFSET(&in, p);
            const gsize to =
                p + 1 < 3 ? GST_VIDEO_INFO_PLANE_OFFSET(&in, p + 1) : GST_VIDEO_INFO_SIZE(&in);
            gst_buffer_memset(buffer, from, values[p], to - from);
        }
        GstBuffer* result = gst_harness_push_and_pull(h, buffer);
        ASSERT_TRUE(result);
        GstCaps* caps = gst_pad_get_current_caps(h->sinkpad);
        GstVideoInfo negotiated;
        ASSERT_TRUE(gst_video_info_from_caps(&negotiated, caps));
        gst_caps_unref(caps);
        EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&negotiated), GST_VIDEO_FORMAT_I420);
        EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&negotiated), c.ow);
        EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&negotiated), c.oh);
        ASSERT_EQ(gst_buffer_get_size(result), GST_VIDEO_INFO_SIZE(&out));
        GstVideoFrame frame;
        ASSERT_TRUE(gst_video_frame_map(&frame, &out, result, GST_MAP_READ));
        for (guint p = 0; p < 3; ++p) {
            int wrong = 0;
            const auto* data = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
            for (int y = 0; y < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, p); ++y)
                for (int x = 0; x < GST_VIDEO_FRAME_COMP_WIDTH(&frame, p); ++x)
                    wrong += data[y * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p) + x] != values[p];
            EXPECT_EQ(wrong, 0) << "plane " << p;
        }
        gst_video_frame_unmap(&frame);
        gst_buffer_unref(result);
        gst_harness_teardown(h);
    }
}
