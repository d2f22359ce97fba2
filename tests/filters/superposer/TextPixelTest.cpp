#include "IncrustLayout.h"
#include "SuperposerCore.h"
#include "TextRenderer.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kW = 240;
constexpr int kH = 80;
constexpr uint8_t kGrey = 0x60;

// The picture of the naive way: the text in black at every offset up to b, then once in
// white, drawn by Cairo without anti-aliasing on a grey frame.
std::vector<uint32_t> naiveDrawing(const char* text, int pixelHeight, int x, int y, int b) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, kGrey / 255.0, kGrey / 255.0, kGrey / 255.0);
    cairo_paint(cr);
    PangoFontMap* map = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(map);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* desc = pango_font_description_from_string("Arial Bold");
    pango_font_description_set_absolute_size(desc, pixelHeight * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    pango_layout_set_text(layout, text, -1);
    for (int dy = -b; dy <= b; ++dy) {
        for (int dx = -b; dx <= b; ++dx) {
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_move_to(cr, x + dx, y + dy);
            pango_cairo_show_layout(cr, layout);
        }
    }
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_surface_flush(surface);
    std::vector<uint32_t> out(size_t(kW) * kH);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int r = 0; r < kH; ++r)
        std::memcpy(out.data() + size_t(r) * kW, cairo_image_surface_get_data(surface) + r * stride,
                    size_t(kW) * 4);
    g_object_unref(layout);
    g_object_unref(context);
    g_object_unref(map);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return out;
}

struct GreyFrame {
    GreyFrame(int w = kW, int h = kH) : width(w), height(h), bytes(size_t(w) * 3 * h, kGrey) {}
    BgrImage image() { return {bytes.data(), width, height, ptrdiff_t(width) * 3}; }
    uint32_t rgb(int x, int y) const {
        const uint8_t* p = bytes.data() + (size_t(y) * width + x) * 3;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    // Bounding box of the pixels that are no longer grey.
    void changedBox(int& x0, int& y0, int& x1, int& y1) const {
        x0 = width, y0 = height, x1 = -1, y1 = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (rgb(x, y) != 0x606060u) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
    }
    int width;
    int height;
    std::vector<uint8_t> bytes;
};

} // namespace

TEST(TextPixels, OutlineEqualsTheNaiveDrawingWithoutAntialiasing) {
    for (int border : {0, 1, 2, 5}) {
        TextRenderer renderer;
        renderer.setAntialias(false);
        FontSpec font;
        font.pixelHeight = 28;
        renderer.setFont(font);
        const char* text = "25/12/2024 Ågj";
        renderer.measure(0, text);
        GreyFrame frame;
        renderer.draw(0, frame.image(), 12, 20, border, 0xFFFFFF);
        const std::vector<uint32_t> expected = naiveDrawing(text, 28, 12, 20, border);
        int differing = 0;
        int black = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t want = expected[size_t(y) * kW + x] & 0xFFFFFF;
                differing += frame.rgb(x, y) != want;
                black += want == 0;
            }
        EXPECT_EQ(differing, 0) << "border " << border;
        EXPECT_EQ(black > 0, border > 0) << "border " << border;
    }
}

TEST(TextPixels, LinesLandAtTheComputedPlace) {
    SuperposerCore core;
    core.setAntialias(false);
    VrIncrustRec rec;
    rec.WhatIncrust = VrIncrustRec::Perso;
    rec.Incrust1 = "Ligne un";
    rec.Incrust2 = "";
    rec.BorderSize = 2;
    rec.Alignement = 0;
    rec.Xpos = 100;
    rec.Ypos = 500;
    rec.FontRec.FontColor = 0x0000FF; // red
    core.SetIncrustRec(rec);
    core.SetIncrustActive(true);
    const int w = 720, h = 576;
    core.startStreaming(w, h);
    GreyFrame frame(w, h);
    core.processFrame(frame.image(), 0, nullptr);
    int x0, y0, x1, y1;
    frame.changedBox(x0, y0, x1, y1);
    // Anchor (72, 288), cell 28: line 1's top is at 260; the outline reaches 2 pixels out.
    EXPECT_GE(x0, 72 - 2);
    EXPECT_LE(x0, 72 + 4);
    EXPECT_GE(y0, 260 - 2);
    EXPECT_LE(y1, 260 + 40);
    EXPECT_GT(x1, x0 + 60);
    EXPECT_EQ(frame.rgb((x0 + x1) / 2, 200), 0x606060u);
    bool red = false;
    for (int y = y0; y <= y1 && !red; ++y)
        for (int x = x0; x <= x1 && !red; ++x)
            red = frame.rgb(x, y) == 0xFF0000u;
    EXPECT_TRUE(red);

    // Sub-title: each line centred in the frame whatever the anchor.
    rec.Alignement = 3;
    rec.Incrust1 = "court";
    rec.Incrust2 = "une ligne bien plus longue";
    rec.Xpos = 0;
    rec.BorderSize = 0;
    core.SetIncrustRec(rec);
    GreyFrame centred(w, h);
    core.processFrame(centred.image(), 0, nullptr);
    for (int line = 0; line < 2; ++line) {
        int lx0 = w, lx1 = -1;
        const int top = line == 0 ? 260 : 288;
        for (int y = top; y < top + 28; ++y)
            for (int x = 0; x < w; ++x)
                if (centred.rgb(x, y) != 0x606060u)
                    lx0 = std::min(lx0, x), lx1 = std::max(lx1, x);
        ASSERT_LT(lx0, lx1);
        EXPECT_NEAR((lx0 + lx1) / 2.0, w / 2.0, 4.0) << "line " << line;
    }
}

// On I420 a pixel of the line's box is left alone, set, or blended: without anti-aliasing the
// luma of every pixel is its own value, the text's or the outline's, exactly where the BGR
// drawing of the same line shows the frame, the text or the outline; a chroma block wholly
// inside or wholly outside the drawing is set or left alone. Any run placed one pixel off, or
// a blend taken from another pixel's factors, shows here.
TEST(TextPixels, I420RunsFollowTheBgrMaskPixelForPixel) {
    for (int border : {0, 1, 3}) {
        TextRenderer renderer;
        renderer.setAntialias(false);
        FontSpec font;
        font.pixelHeight = 28;
        renderer.setFont(font);
        renderer.measure(0, "25/12/2024 Ågj |||");
        GreyFrame bgr;
        renderer.draw(0, bgr.image(), 13, 21, border, 0xFFFFFF);

        const int cw = (kW + 1) / 2, ch = (kH + 1) / 2;
        std::vector<uint8_t> planes[3] = {std::vector<uint8_t>(size_t(kW) * kH),
                                          std::vector<uint8_t>(size_t(cw) * ch),
                                          std::vector<uint8_t>(size_t(cw) * ch)};
        uint32_t seed = 12345;
        for (auto& plane : planes)
            for (auto& v : plane) {
                seed = seed * 1103515245u + 12345u;
                v = uint8_t(20 + (seed >> 16) % 200);
            }
        const std::vector<uint8_t> before[3] = {planes[0], planes[1], planes[2]};
        I420Image yuv;
        for (int p = 0; p < 3; ++p)
            yuv.plane[p] = planes[p].data();
        yuv.stride[0] = kW;
        yuv.stride[1] = yuv.stride[2] = cw;
        yuv.width = kW;
        yuv.height = kH;
        renderer.draw(0, yuv, 13, 21, border, 0xFFFFFF);

        // 0 left alone, 1 text, 2 outline.
        auto kind = [&](int x, int y) {
            const uint32_t c = bgr.rgb(x, y);
            return c == 0x606060u ? 0 : c == 0xFFFFFFu ? 1 : 2;
        };
        int wrong = 0, text = 0, outline = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const size_t i = size_t(y) * kW + x;
                const int k = kind(x, y);
                const int want = k == 0 ? before[0][i] : k == 1 ? 235 : 16;
                wrong += planes[0][i] != want;
                text += k == 1;
                outline += k == 2;
            }
        EXPECT_EQ(wrong, 0) << "border " << border;
        EXPECT_GT(text, 200) << "border " << border;
        EXPECT_EQ(outline > 0, border > 0) << "border " << border;

        int wrongChroma = 0, covered = 0;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                bool allAlone = true, allDrawn = true;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const int k =
                            kind(std::min(2 * x + dx, kW - 1), std::min(2 * y + dy, kH - 1));
                        allAlone = allAlone && k == 0;
                        allDrawn = allDrawn && k != 0;
                    }
                const size_t i = size_t(y) * cw + x;
                for (int p = 1; p < 3; ++p) {
                    if (allAlone)
                        wrongChroma += planes[p][i] != before[p][i];
                    else if (allDrawn)
                        wrongChroma += planes[p][i] != 128; // white and black: no colour
                }
                covered += allDrawn;
            }
        EXPECT_EQ(wrongChroma, 0) << "border " << border;
        EXPECT_GT(covered, 20) << "border " << border;
    }
}
