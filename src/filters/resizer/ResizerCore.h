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

// Area-averaging resampler of 24-bit pixels: every output pixel is the mean of the input area
// it covers (the halftone stretch of the drawing system). Tables and the work row are sized
// by Configure, so Run allocates nothing.
class TAreaResampler {
public:
    void Configure(int inWidth, int inHeight, int outWidth, int outHeight);
    void Run(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride);

private:
    struct Taps {
        int first;
        int count;
        int weights; // index into m_weights; the weights of one output sum to 256
    };
    static void BuildTaps(int in, int out, std::vector<Taps>& taps, std::vector<uint16_t>& w);
    // Gives every output the same number of taps, so the row loop has a fixed length.
    static void PadTaps(std::vector<Taps>& taps, std::vector<uint16_t>& w, int in, int& maxTaps);
    template <int T> void Horizontal(const uint16_t* row, uint8_t* d) const;
    void HorizontalAny(const uint16_t* row, uint8_t* d) const;

    int m_inW = 0, m_inH = 0, m_outW = 0, m_outH = 0, m_xMaxTaps = 1;
    std::vector<Taps> m_xTaps, m_yTaps;
    std::vector<uint16_t> m_xWeights, m_yWeights;
    std::vector<uint16_t> m_row; // one input row, vertically averaged, times 256
};
