#pragma once

#include <cstdint>
#include <vector>

// Output size of the resizer from the input size, the DivX ratio option (0 "Normal", 1 "4x3",
// 2 "16x9", 3 "natif"), "Demi Taille" and the source's picture aspect X:Y (0:0 when unknown).
struct TResizerSize {
    int width;
    int height;
};
TResizerSize ResizerOutputSize(int width, int height, int ratioMode, bool halfSize, int aspectX,
                               int aspectY);

// Area-averaging resampler of 24-bit pixels, or of one plane of bytes (a plane of an I420
// picture): every output pixel is the mean of the input area it covers (the halftone stretch
// of the drawing system), within one step of rounding. Tables and the work row are sized by
// Configure, so Run allocates nothing.
class TAreaResampler {
public:
    // channels: 3 (BGR) or 1 (one plane).
    void Configure(int inWidth, int inHeight, int outWidth, int outHeight, int channels = 3);
    void Run(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride);

private:
    // Source span of one output column or row; weights are 0.16 fixed point.
    struct Taps {
        int first;
        int count;
        std::vector<uint16_t> weights;
    };
    static std::vector<Taps> BuildTaps(int in, int out);
    void Vertical(int y, const uint8_t* src, int srcStride);
    void HorizontalTail(int x, uint8_t* d) const;
    template <int T> void Horizontal(uint8_t* d) const; // T taps (1 to 4) per output

    int m_inW = 0, m_inH = 0, m_outW = 0, m_outH = 0;
    int m_channels = 3;
    // Columns: every output has m_xCount taps (zero weights added, spans shifted left at the
    // right edge) so the row loop has a fixed length. Outputs go in pairs, one SIMD register:
    // m_xOffsets holds the first tap's index in the work row (pixel * channels), m_xWeights for
    // each pair and tap the weight of the left output four times, then the right one's.
    int m_xCount = 1;
    std::vector<int32_t> m_xOffsets;
    std::vector<uint16_t> m_xWeights;
    // Rows: spans as they are.
    std::vector<int32_t> m_yFirst, m_yCount, m_yIndex;
    std::vector<uint16_t> m_yWeights;
    // One output row averaged vertically, 8.8 fixed point, plus slack for 4-value loads.
    std::vector<uint16_t> m_row;
    std::vector<uint32_t> m_wide; // sums of spans over more than three rows
};
