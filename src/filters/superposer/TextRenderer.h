#pragma once

#include "BgrImage.h"

#include <string>
#include <vector>

typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;

// Font of the inlaid lines, resolved by fontconfig name.
struct FontSpec {
    std::string family; // UTF-8; empty or blank: "Arial"
    int pixelHeight = 28;
    bool bold = true;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const FontSpec&) const = default;
};

// Draws text lines with a black outline into BGR or I420 frames through Pango and Cairo. Each line
// keeps its layout and its coverage masks, rebuilt only when its text, the font, the outline,
// its position or the frame size changes; drawing a cached line allocates nothing.
//
// The outline is the text's coverage dilated by a square of side 2b + 1: for text drawn
// without anti-aliasing it equals drawing the text in black at every offset up to b.
class TextRenderer {
public:
    static constexpr int kLines = 2;

    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    void setFont(const FontSpec& font);
    const FontSpec& font() const { return m_font; }
    void setAntialias(bool on);

    // Lays out line i (when its text or the font changed) and returns its width in pixels.
    int measure(int line, const std::string& text); // UTF-8
    // Draws line i, last measured, with its top-left corner at (x, y); colour 0x00BBGGRR.
    void draw(int line, const BgrImage& image, int x, int y, int border, uint32_t color);
    // The same into an I420 frame: the text and its outline blended as on BGR, in the frame's
    // colour matrix, the chroma planes taking the mean of each 2 × 2 block.
    void draw(int line, const I420Image& image, int x, int y, int border, uint32_t color);

    // Number of mask rebuilds so far (the cache's effect is visible in tests).
    int renderCount() const { return m_renderCount; }

private:
    struct Line {
        PangoLayout* layout = nullptr;
        std::string text;
        int fontVersion = -1;
        int width = 0;
        // Box of ink and logical extents relative to the layout origin.
        int boxX0 = 0, boxY0 = 0, boxX1 = 0, boxY1 = 0;

        bool maskValid = false;
        int keyX = 0, keyY = 0, keyBorder = 0, keyW = 0, keyH = 0;
        uint32_t keyColor = 0;
        // Rendered region in frame coordinates and its masks (stride = maskW).
        int maskX = 0, maskY = 0, maskW = 0, maskH = 0;
        // Part of the region that lands inside the frame.
        int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
        std::vector<uint8_t> fill;
        std::vector<uint8_t> outline;
        // What each row of the frame region gets, as runs: most of a line is either left
        // alone, plain black outline or plain text colour; only edges need blending.
        struct Run {
            int x = 0;   // frame column of the first pixel
            int len = 0; // pixels
            int kind = 0;
            int blend = 0;      // blending runs: index of the first pixel's factors in blend
            uint8_t value = 0;  // I420 runs of kColour: the value set (U for chroma)
            uint8_t value2 = 0; // and V
        };
        std::vector<Run> runs;
        // Per blended pixel: the factor kept of the frame and the added B, G, R (16.16).
        std::vector<uint32_t> blend;
        std::vector<int> rowRuns; // per clipped row: index of its first run (one more at end)
        // I420: per pixel of the clipped region the factor kept and the value added (16.16),
        // for Y, then for each chroma pixel the factor kept and the added U and V.
        bool yuvValid = false;
        I420Image::Matrix yuvMatrix;
        int chromaX0 = 0, chromaY0 = 0, chromaX1 = 0, chromaY1 = 0;
        std::vector<uint32_t> yuvLuma;
        std::vector<uint32_t> yuvChroma;
        // The same as runs per row, as for BGR: pixels the line leaves alone are skipped,
        // pixels it covers whole are set (kColour: value, and value2 for V), only the edges
        // are blended (kBlend: blend indexes the pixel's factors in yuvLuma or yuvChroma).
        std::vector<Run> lumaRuns;
        std::vector<int> lumaRowRuns; // per row of the region: its first run (one more at end)
        std::vector<Run> chromaRuns;
        std::vector<int> chromaRowRuns;
    };

    void ensureContext();
    void applyFont(Line& line);
    Line* preparedLine(int index, int width, int height, int x, int y, int border, uint32_t color);
    bool maskCurrent(const Line& line, int width, int height, int x, int y, int border,
                     uint32_t color) const;
    void renderMasks(Line& line, int width, int height, int x, int y, int border, uint32_t color);
    void composite(const Line& line, const BgrImage& image, uint32_t color) const;
    void buildI420(Line& line, int width, int height, uint32_t color,
                   const I420Image::Matrix& matrix) const;
    void composite(const Line& line, const I420Image& image) const;
    static void buildRuns(const std::vector<uint32_t>& factors, int step, int x0, int width,
                          int height, std::vector<Line::Run>& runs, std::vector<int>& rowRuns);

    PangoFontMap* m_fontMap = nullptr;
    PangoContext* m_context = nullptr;
    FontSpec m_font;
    int m_fontVersion = 0;
    bool m_antialias = true;
    Line m_lines[kLines];
    std::vector<int> m_dequeScratch;
    std::vector<uint8_t> m_cairoScratch;
    std::vector<uint8_t> m_dilateScratch;
    int m_renderCount = 0;
};
