#include "TextRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <pango/pangocairo.h>

namespace {

enum RunKind { kSkip, kBlack, kColour, kBlend };

// dst[i] = max of src over [i - r, i + r] within 0..n-1 (a monotonic queue: linear in n
// whatever the radius). queue holds n ints.
void slidingMax(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep, int n,
                int r, int* queue) {
    int head = 0;
    int tail = 0;
    int next = 0;
    for (int i = 0; i < n; ++i) {
        const int last = std::min(n - 1, i + r);
        for (; next <= last; ++next) {
            const uint8_t v = src[next * srcStep];
            while (tail > head && src[queue[tail - 1] * srcStep] <= v)
                --tail;
            queue[tail++] = next;
        }
        while (queue[head] < i - r)
            ++head;
        dst[i * dstStep] = src[queue[head] * srcStep];
    }
}

void applyAntialias(PangoContext* context, bool on) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, on ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
}

} // namespace

TextRenderer::TextRenderer() = default;

TextRenderer::~TextRenderer() {
    for (Line& line : m_lines)
        if (line.layout)
            g_object_unref(line.layout);
    if (m_context)
        g_object_unref(m_context);
    if (m_fontMap)
        g_object_unref(m_fontMap);
}

// Made when the first line is laid out: an overlay that draws nothing never reads the fonts.
void TextRenderer::ensureContext() {
    if (m_context)
        return;
    // A font map of our own: the default one is shared per thread and the renderer may be
    // used by several streaming threads over its life.
    m_fontMap = pango_cairo_font_map_new();
    m_context = pango_font_map_create_context(m_fontMap);
    applyAntialias(m_context, m_antialias);
    for (Line& line : m_lines) {
        line.layout = pango_layout_new(m_context);
        pango_layout_set_single_paragraph_mode(line.layout, TRUE);
    }
}

void TextRenderer::setFont(const FontSpec& font) {
    if (font == m_font)
        return;
    m_font = font;
    ++m_fontVersion;
}

void TextRenderer::setAntialias(bool on) {
    if (on == m_antialias)
        return;
    m_antialias = on;
    ++m_fontVersion;
    if (!m_context)
        return;
    applyAntialias(m_context, on);
    for (Line& line : m_lines)
        pango_layout_context_changed(line.layout);
}

void TextRenderer::applyFont(Line& line) {
    PangoFontDescription* desc = pango_font_description_new();
    const bool blank = m_font.family.find_first_not_of(" \t\n\v\f\r") == std::string::npos;
    pango_font_description_set_family(desc, blank ? "Arial" : m_font.family.c_str());
    pango_font_description_set_absolute_size(desc,
                                             double(std::max(1, m_font.pixelHeight)) * PANGO_SCALE);
    pango_font_description_set_weight(desc, m_font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, m_font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(line.layout, desc);
    pango_font_description_free(desc);

    PangoAttrList* attrs = pango_attr_list_new();
    if (m_font.underline)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (m_font.strikeOut)
        pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(line.layout, attrs);
    pango_attr_list_unref(attrs);
}

int TextRenderer::measure(int index, const std::string& text) {
    if (index < 0 || index >= kLines)
        return 0;
    ensureContext();
    Line& line = m_lines[index];
    bool changed = false;
    if (line.fontVersion != m_fontVersion) {
        applyFont(line);
        line.fontVersion = m_fontVersion;
        changed = true;
    }
    if (changed || line.text != text) {
        line.text = text;
        pango_layout_set_text(line.layout, line.text.data(), int(line.text.size()));
        PangoRectangle ink;
        PangoRectangle logical;
        pango_layout_get_pixel_extents(line.layout, &ink, &logical);
        line.width = logical.width;
        line.boxX0 = std::min(ink.x, logical.x);
        line.boxY0 = std::min(ink.y, logical.y);
        line.boxX1 = std::max(ink.x + ink.width, logical.x + logical.width);
        line.boxY1 = std::max(ink.y + ink.height, logical.y + logical.height);
        line.maskValid = false;
    }
    return line.width;
}

// The line to draw on a picture of that size, its masks made for that place, or nullptr.
TextRenderer::Line* TextRenderer::preparedLine(int index, int width, int height, int x, int y,
                                               int border, uint32_t color) {
    if (index < 0 || index >= kLines)
        return nullptr;
    Line& line = m_lines[index];
    if (line.text.empty() || line.fontVersion != m_fontVersion)
        return nullptr;
    // Past the frame's size a wider outline cannot change more of the picture that matters.
    border = std::clamp(border, 0, std::max(width, height));
    if (!maskCurrent(line, width, height, x, y, border, color))
        renderMasks(line, width, height, x, y, border, color);
    return &line;
}

void TextRenderer::draw(int index, const BgrImage& image, int x, int y, int border,
                        uint32_t color) {
    if (!image.valid())
        return;
    if (Line* line = preparedLine(index, image.width, image.height, x, y, border, color))
        composite(*line, image, color);
}

void TextRenderer::draw(int index, const I420Image& image, int x, int y, int border,
                        uint32_t color) {
    if (!image.valid())
        return;
    Line* line = preparedLine(index, image.width, image.height, x, y, border, color);
    if (!line)
        return;
    if (!line->yuvValid || !(line->yuvMatrix == image.matrix))
        buildI420(*line, image.width, image.height, color, image.matrix);
    composite(*line, image);
}

bool TextRenderer::maskCurrent(const Line& line, int width, int height, int x, int y, int border,
                               uint32_t color) const {
    return line.maskValid && line.keyX == x && line.keyY == y && line.keyBorder == border &&
           line.keyW == width && line.keyH == height && line.keyColor == color;
}

void TextRenderer::renderMasks(Line& line, int width, int height, int x, int y, int b,
                               uint32_t color) {
    ++m_renderCount;
    line.keyColor = color;
    line.maskValid = true;
    line.yuvValid = false;
    line.keyX = x;
    line.keyY = y;
    line.keyBorder = b;
    line.keyW = width;
    line.keyH = height;

    // What the line can touch, clipped to the frame; the rendered region adds the outline's
    // reach so that text just outside the frame still outlines into it.
    const int64_t ax0 = int64_t(x) + line.boxX0 - b, ax1 = int64_t(x) + line.boxX1 + b;
    const int64_t ay0 = int64_t(y) + line.boxY0 - b, ay1 = int64_t(y) + line.boxY1 + b;
    const int64_t cx0 = std::max<int64_t>(ax0, 0), cx1 = std::min<int64_t>(ax1, width);
    const int64_t cy0 = std::max<int64_t>(ay0, 0), cy1 = std::min<int64_t>(ay1, height);
    if (cx0 >= cx1 || cy0 >= cy1) {
        line.maskW = line.maskH = 0;
        line.clipX0 = line.clipX1 = line.clipY0 = line.clipY1 = 0;
        return;
    }
    line.maskX = int(cx0) - b;
    line.maskY = int(cy0) - b;
    line.maskW = int(cx1 - cx0) + 2 * b;
    line.maskH = int(cy1 - cy0) + 2 * b;
    line.clipX0 = int(cx0);
    line.clipX1 = int(cx1);
    line.clipY0 = int(cy0);
    line.clipY1 = int(cy1);

    const int w = line.maskW;
    const int h = line.maskH;
    const size_t pixels = size_t(w) * size_t(h);
    const int cairoStride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, w);
    m_cairoScratch.assign(size_t(cairoStride) * size_t(h), 0);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        m_cairoScratch.data(), CAIRO_FORMAT_A8, w, h, cairoStride);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_move_to(cr, double(int64_t(x) - line.maskX), double(int64_t(y) - line.maskY));
    pango_cairo_show_layout(cr, line.layout);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);

    line.fill.resize(pixels);
    for (int r = 0; r < h; ++r)
        std::memcpy(line.fill.data() + size_t(r) * w,
                    m_cairoScratch.data() + size_t(r) * cairoStride, size_t(w));

    if (b > 0) {
        line.outline.resize(pixels);
        m_dilateScratch.resize(pixels);
        m_dequeScratch.resize(size_t(std::max(w, h)));
        for (int r = 0; r < h; ++r)
            slidingMax(line.fill.data() + size_t(r) * w, 1, m_dilateScratch.data() + size_t(r) * w,
                       1, w, b, m_dequeScratch.data());
        for (int c = 0; c < w; ++c)
            slidingMax(m_dilateScratch.data() + c, w, line.outline.data() + c, w, h, b,
                       m_dequeScratch.data());
    }

    // Runs of pixels that are left alone, made black, made the text colour or blended.
    line.runs.clear();
    line.rowRuns.clear();
    line.blend.clear();
    const uint32_t colour[3] = {(color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF};
    const uint8_t* outline = b > 0 ? line.outline.data() : nullptr;
    for (int fy = line.clipY0; fy < line.clipY1; ++fy) {
        line.rowRuns.push_back(int(line.runs.size()));
        const size_t rowStart = size_t(fy - line.maskY) * w;
        int runKind = kSkip;
        for (int fx = line.clipX0; fx <= line.clipX1; ++fx) {
            int kind = kSkip;
            if (fx < line.clipX1) {
                const size_t i = rowStart + size_t(fx - line.maskX);
                const uint8_t at = line.fill[i];
                const uint8_t ao = outline ? outline[i] : 0;
                kind = at == 255              ? kColour
                       : ao == 255 && at == 0 ? kBlack
                       : at == 0 && ao == 0   ? kSkip
                                              : kBlend;
            }
            if (kind != runKind || fx == line.clipX1) {
                if (runKind != kSkip && !line.runs.empty() && line.runs.back().len == 0)
                    line.runs.back().len = fx - line.runs.back().x;
                if (kind != kSkip && fx < line.clipX1)
                    line.runs.push_back({fx, 0, kind, int(line.blend.size())});
                runKind = kind;
            }
            if (kind == kBlend) {
                // Outline then text, as one multiply-add per channel: v' = (v·k + a) / 2^16.
                const size_t i = rowStart + size_t(fx - line.maskX);
                const uint32_t at = line.fill[i];
                const uint32_t ao = outline ? outline[i] : 0;
                const double keep = (255.0 - ao) * (255.0 - at) / 65025.0;
                line.blend.push_back(uint32_t(keep * 65536.0 + 0.5));
                for (uint32_t c : colour)
                    line.blend.push_back(uint32_t(c * at * 65536.0 / 255.0 + 0.5) + 32768);
            }
        }
    }
    line.rowRuns.push_back(int(line.runs.size()));
}

void TextRenderer::composite(const Line& line, const BgrImage& image, uint32_t color) const {
    if (line.maskW == 0)
        return;
    const uint8_t colour[3] = {uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
    for (int fy = line.clipY0; fy < line.clipY1; ++fy) {
        const int r = fy - line.clipY0;
        uint8_t* row = image.row(fy);
        for (int k = line.rowRuns[r]; k < line.rowRuns[r + 1]; ++k) {
            const Line::Run& run = line.runs[k];
            uint8_t* p = row + ptrdiff_t(run.x) * 3;
            if (run.kind == kBlack) {
                std::memset(p, 0, size_t(run.len) * 3);
            } else if (run.kind == kColour) {
                for (int i = 0; i < run.len; ++i, p += 3) {
                    p[0] = colour[0];
                    p[1] = colour[1];
                    p[2] = colour[2];
                }
            } else {
                const uint32_t* f = line.blend.data() + run.blend;
                for (int i = 0; i < run.len; ++i, p += 3, f += 4) {
                    p[0] = uint8_t((p[0] * f[0] + f[1]) >> 16);
                    p[1] = uint8_t((p[1] * f[0] + f[2]) >> 16);
                    p[2] = uint8_t((p[2] * f[0] + f[3]) >> 16);
                }
            }
        }
    }
}

namespace {

// Weights of one pixel in 1/65025: what is kept of the frame, the text colour, the black outline.
struct Coverage {
    uint32_t keep = 65025;
    uint32_t text = 0;
    uint32_t black = 0;
};

Coverage coverageOf(uint32_t at, uint32_t ao) {
    Coverage c;
    c.keep = (255 - ao) * (255 - at);
    c.text = at * 255;
    c.black = 65025 - c.keep - c.text;
    return c;
}

// v' = (v·keep + add) >> 16 for weights summing to total, the rest being value.
uint32_t keepFactor(uint64_t keep, uint64_t total) {
    return uint32_t((keep * 65536 + total / 2) / total);
}

uint32_t addedValue(uint64_t textWeight, int colour, uint64_t blackWeight, int black,
                    uint64_t total) {
    return uint32_t(((textWeight * uint64_t(colour) + blackWeight * uint64_t(black)) * 65536 +
                     total / 2) /
                    total) +
           32768;
}

} // namespace

// Runs of the factors of a plane's region (rows of width pixels, `step` words a pixel: the
// factor kept, then one added value per plane): a pixel kept whole ((v·2^16 + 2^15) >> 16 is
// v) is skipped, one replaced whole (factor 0) is set to its value, the rest is blended. A
// stretch kept or set shorter than kMinRun joins the blending around it (its factors give
// the same result): a call to memset or a new run costs more than blending a few pixels.
void TextRenderer::buildRuns(const std::vector<uint32_t>& factors, int step, int x0, int width,
                             int height, std::vector<Line::Run>& runs, std::vector<int>& rowRuns) {
    constexpr int kMinRun = 8;
    runs.clear();
    rowRuns.clear();
    auto classify = [&](const uint32_t* f, uint8_t& value, uint8_t& value2) {
        bool kept = f[0] == 65536;
        for (int c = 1; c < step; ++c)
            kept = kept && f[c] == 32768;
        if (kept)
            return int(kSkip);
        if (f[0] != 0)
            return int(kBlend);
        value = uint8_t(f[1] >> 16);
        value2 = step > 2 ? uint8_t(f[2] >> 16) : 0;
        return int(kColour);
    };
    for (int y = 0; y < height; ++y) {
        rowRuns.push_back(int(runs.size()));
        const uint32_t* row = factors.data() + size_t(y) * size_t(width) * size_t(step);
        int x = 0;
        while (x < width) {
            // The stretch of pixels of one kind (and one value) from x.
            uint8_t value = 0, value2 = 0;
            int kind = classify(row + size_t(x) * step, value, value2);
            int end = x + 1;
            for (; end < width; ++end) {
                uint8_t v = 0, v2 = 0;
                const int k = classify(row + size_t(end) * step, v, v2);
                if (k != kind || (k == kColour && (v != value || v2 != value2)))
                    break;
            }
            // A short gap between blended pixels is blended; a short plain stretch too.
            if (end - x < kMinRun && (kind == kColour || (kind == kSkip && x > 0 && end < width)))
                kind = kBlend;
            if (kind == kSkip) {
                x = end;
                continue;
            }
            if (kind == kBlend && !runs.empty() && int(runs.size()) > rowRuns.back() &&
                runs.back().kind == kBlend && runs.back().x + runs.back().len == x0 + x) {
                runs.back().len += end - x;
            } else {
                Line::Run run;
                run.x = x0 + x;
                run.len = end - x;
                run.kind = kind;
                run.blend = int(size_t(y) * size_t(width) * size_t(step) + size_t(x) * step);
                run.value = value;
                run.value2 = value2;
                runs.push_back(run);
            }
            x = end;
        }
    }
    rowRuns.push_back(int(runs.size()));
}

// The blend is linear and the conversion to YCbCr affine, so blending the converted colours
// with the same weights gives the conversion of the BGR result; black is (16, 128, 128), or
// (0, 128, 128) in full range.
void TextRenderer::buildI420(Line& line, int width, int height, uint32_t color,
                             const I420Image::Matrix& matrix) const {
    line.yuvValid = true;
    line.yuvMatrix = matrix;
    line.yuvLuma.clear();
    line.yuvChroma.clear();
    line.chromaX0 = line.clipX0 / 2;
    line.chromaY0 = line.clipY0 / 2;
    line.chromaX1 = (line.clipX1 + 1) / 2;
    line.chromaY1 = (line.clipY1 + 1) / 2;
    if (line.maskW == 0)
        return;
    const double r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    const double kr = matrix.kr, kb = matrix.kb;
    const double luma = kr * r + (1.0 - kr - kb) * g + kb * b;
    const int black = matrix.fullRange ? 0 : 16;
    const double lumaScale = matrix.fullRange ? 1.0 : 219.0 / 255.0;
    const double chromaScale = matrix.fullRange ? 1.0 : 224.0 / 255.0;
    auto level = [](double v) { return int(std::clamp(std::lround(v), 0L, 255L)); };
    const int cy = level(black + luma * lumaScale);
    const int cu = level(128.0 + (b - luma) / (2.0 * (1.0 - kb)) * chromaScale);
    const int cv = level(128.0 + (r - luma) / (2.0 * (1.0 - kr)) * chromaScale);
    const uint8_t* outline = line.keyBorder > 0 ? line.outline.data() : nullptr;
    auto at = [&](int fx, int fy) {
        if (fx < line.clipX0 || fx >= line.clipX1 || fy < line.clipY0 || fy >= line.clipY1)
            return Coverage{};
        const size_t i = size_t(fy - line.maskY) * size_t(line.maskW) + size_t(fx - line.maskX);
        return coverageOf(line.fill[i], outline ? outline[i] : 0);
    };
    for (int fy = line.clipY0; fy < line.clipY1; ++fy)
        for (int fx = line.clipX0; fx < line.clipX1; ++fx) {
            const Coverage c = at(fx, fy);
            line.yuvLuma.push_back(keepFactor(c.keep, 65025));
            line.yuvLuma.push_back(addedValue(c.text, cy, c.black, black, 65025));
        }
    for (int y = line.chromaY0; y < line.chromaY1; ++y)
        for (int x = line.chromaX0; x < line.chromaX1; ++x) {
            uint64_t keep = 0, text = 0, black = 0, total = 0;
            for (int fy = 2 * y; fy < std::min(2 * y + 2, height); ++fy)
                for (int fx = 2 * x; fx < std::min(2 * x + 2, width); ++fx) {
                    const Coverage c = at(fx, fy);
                    keep += c.keep;
                    text += c.text;
                    black += c.black;
                    total += 65025;
                }
            line.yuvChroma.push_back(keepFactor(keep, total));
            line.yuvChroma.push_back(addedValue(text, cu, black, 128, total));
            line.yuvChroma.push_back(addedValue(text, cv, black, 128, total));
        }
    buildRuns(line.yuvLuma, 2, line.clipX0, line.clipX1 - line.clipX0, line.clipY1 - line.clipY0,
              line.lumaRuns, line.lumaRowRuns);
    buildRuns(line.yuvChroma, 3, line.chromaX0, line.chromaX1 - line.chromaX0,
              line.chromaY1 - line.chromaY0, line.chromaRuns, line.chromaRowRuns);
}

void TextRenderer::composite(const Line& line, const I420Image& image) const {
    if (line.maskW == 0)
        return;
    for (int fy = line.clipY0; fy < line.clipY1; ++fy) {
        const int r = fy - line.clipY0;
        uint8_t* row = image.row(0, fy);
        for (int k = line.lumaRowRuns[r]; k < line.lumaRowRuns[r + 1]; ++k) {
            const Line::Run& run = line.lumaRuns[k];
            uint8_t* p = row + run.x;
            if (run.kind == kColour) {
                std::memset(p, run.value, size_t(run.len));
            } else {
                const uint32_t* f = line.yuvLuma.data() + run.blend;
                for (int i = 0; i < run.len; ++i, ++p, f += 2)
                    *p = uint8_t((*p * f[0] + f[1]) >> 16);
            }
        }
    }
    for (int y = line.chromaY0; y < line.chromaY1; ++y) {
        const int r = y - line.chromaY0;
        uint8_t* rowU = image.row(1, y);
        uint8_t* rowV = image.row(2, y);
        for (int k = line.chromaRowRuns[r]; k < line.chromaRowRuns[r + 1]; ++k) {
            const Line::Run& run = line.chromaRuns[k];
            uint8_t* u = rowU + run.x;
            uint8_t* v = rowV + run.x;
            if (run.kind == kColour) {
                std::memset(u, run.value, size_t(run.len));
                std::memset(v, run.value2, size_t(run.len));
            } else {
                const uint32_t* f = line.yuvChroma.data() + run.blend;
                for (int i = 0; i < run.len; ++i, ++u, ++v, f += 3) {
                    *u = uint8_t((*u * f[0] + f[1]) >> 16);
                    *v = uint8_t((*v * f[0] + f[2]) >> 16);
                }
            }
        }
    }
}
