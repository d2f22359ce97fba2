#include "ResizerCore.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

TResizerSize ResizerOutputSize(int width, int height, int ratioMode, bool halfSize, int aspectX,
                               int aspectY) {
    int w = width, h = height;
    const bool clampHalf = ratioMode >= 0 && ratioMode <= 2 && halfSize && h > 288;
    if (clampHalf)
        h = 288;
    // 64-bit products: sizes times aspect parts stay exact for any caps.
    const int64_t W = w, H = h;
    switch (ratioMode) {
    case 0:
        if (aspectX > 0 && aspectY > 0) {
            if (aspectX * H < aspectY * W)
                w = static_cast<int>(aspectX * H / aspectY);
            else
                h = static_cast<int>(aspectY * W / aspectX);
        }
        break;
    case 1:
        if (H * 4 < W * 3)
            w = static_cast<int>(H * 4 / 3);
        else
            h = static_cast<int>(W * 3 / 4);
        if (h % 2 != 0) {
            h -= 3;
            w -= 4;
        }
        break;
    case 2:
        if (H * 16 < W * 9)
            w = static_cast<int>(H * 16 / 9);
        else
            h = static_cast<int>(W * 9 / 16);
        if (h % 2 != 0) {
            h -= 9;
            w -= 16;
        }
        break;
    case 3:
        if (halfSize) {
            if (h > 288) {
                w /= 2;
                h /= 2;
            }
            if (h % 2 != 0)
                h -= 1;
        }
        break;
    default:
        break;
    }
    // Tiny inputs would give empty or negative frames: such a picture is left at its size.
    if (w < 1 || h < 1)
        return {width, height};
    return {w, h};
}

void TAreaResampler::BuildTaps(int in, int out, std::vector<Taps>& taps,
                               std::vector<uint16_t>& weights) {
    taps.clear();
    weights.clear();
    const double scale = static_cast<double>(in) / out;
    for (int i = 0; i < out; ++i) {
        const double a = i * scale, b = std::min<double>((i + 1) * scale, in);
        int first = std::min(static_cast<int>(a), in - 1);
        const int last = std::max(first, std::min(static_cast<int>(std::ceil(b)) - 1, in - 1));
        Taps t{first, last - first + 1, static_cast<int>(weights.size())};
        int sum = 0, biggest = 0;
        for (int j = first; j <= last; ++j) {
            const double cover = std::min<double>(b, j + 1) - std::max<double>(a, j);
            const int wgt = std::max(0, static_cast<int>(std::lround(cover / (b - a) * 256)));
            weights.push_back(static_cast<uint16_t>(wgt));
            sum += wgt;
            if (wgt > weights[t.weights + biggest])
                biggest = j - first;
        }
        weights[t.weights + biggest] =
            static_cast<uint16_t>(weights[t.weights + biggest] + 256 - sum);
        taps.push_back(t);
    }
}

void TAreaResampler::PadTaps(std::vector<Taps>& taps, std::vector<uint16_t>& weights, int in,
                             int& maxTaps) {
    maxTaps = 1;
    for (const auto& t : taps)
        maxTaps = std::max(maxTaps, t.count);
    maxTaps = std::min(maxTaps, in);
    std::vector<uint16_t> padded;
    padded.reserve(taps.size() * maxTaps);
    for (auto& t : taps) {
        // Same taps, shifted left where the row ends, with zero weights added.
        const int first = std::min(t.first, in - maxTaps);
        const int base = static_cast<int>(padded.size());
        padded.resize(padded.size() + maxTaps, 0);
        for (int k = 0; k < t.count; ++k)
            padded[base + t.first - first + k] = weights[t.weights + k];
        t = {first, maxTaps, base};
    }
    weights.swap(padded);
}

void TAreaResampler::Configure(int inWidth, int inHeight, int outWidth, int outHeight) {
    m_inW = inWidth;
    m_inH = inHeight;
    m_outW = outWidth;
    m_outH = outHeight;
    if (inWidth < 1 || inHeight < 1 || outWidth < 1 || outHeight < 1) {
        m_outW = m_outH = 0;
        return;
    }
    BuildTaps(inWidth, outWidth, m_xTaps, m_xWeights);
    PadTaps(m_xTaps, m_xWeights, inWidth, m_xMaxTaps);
    BuildTaps(inHeight, outHeight, m_yTaps, m_yWeights);
    m_row.assign(static_cast<size_t>(inWidth) * 3, 0);
}

template <int T> void TAreaResampler::Horizontal(const uint16_t* row, uint8_t* d) const {
    const uint16_t* wx = m_xWeights.data();
    for (int x = 0; x < m_outW; ++x, wx += T, d += 3) {
        const uint16_t* r = row + m_xTaps[x].first * 3;
        uint32_t b = 32768, g = 32768, red = 32768;
        for (int k = 0; k < T; ++k) {
            b += static_cast<uint32_t>(r[3 * k]) * wx[k];
            g += static_cast<uint32_t>(r[3 * k + 1]) * wx[k];
            red += static_cast<uint32_t>(r[3 * k + 2]) * wx[k];
        }
        d[0] = static_cast<uint8_t>(b >> 16);
        d[1] = static_cast<uint8_t>(g >> 16);
        d[2] = static_cast<uint8_t>(red >> 16);
    }
}

void TAreaResampler::HorizontalAny(const uint16_t* row, uint8_t* d) const {
    for (int x = 0; x < m_outW; ++x, d += 3) {
        const Taps& tx = m_xTaps[x];
        const uint16_t* wx = &m_xWeights[tx.weights];
        const uint16_t* r = row + tx.first * 3;
        uint32_t b = 32768, g = 32768, red = 32768;
        for (int k = 0; k < tx.count; ++k, r += 3) {
            b += static_cast<uint32_t>(r[0]) * wx[k];
            g += static_cast<uint32_t>(r[1]) * wx[k];
            red += static_cast<uint32_t>(r[2]) * wx[k];
        }
        d[0] = static_cast<uint8_t>(b >> 16);
        d[1] = static_cast<uint8_t>(g >> 16);
        d[2] = static_cast<uint8_t>(red >> 16);
    }
}

void TAreaResampler::Run(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride) {
    const int rowBytes = m_inW * 3;
    uint16_t* row = m_row.data();
    for (int y = 0; y < m_outH; ++y) {
        // Vertical average into a row of 8.8 fixed-point values (at most 255 * 256).
        const Taps& ty = m_yTaps[y];
        const uint16_t* wy = &m_yWeights[ty.weights];
        {
            const uint8_t* s = src + static_cast<ptrdiff_t>(ty.first) * srcStride;
            const uint16_t w0 = wy[0];
            for (int i = 0; i < rowBytes; ++i)
                row[i] = static_cast<uint16_t>(s[i] * w0);
        }
        for (int k = 1; k < ty.count; ++k) {
            const uint8_t* s = src + static_cast<ptrdiff_t>(ty.first + k) * srcStride;
            const uint16_t wk = wy[k];
            for (int i = 0; i < rowBytes; ++i)
                row[i] = static_cast<uint16_t>(row[i] + s[i] * wk);
        }
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstStride;
        switch (m_xMaxTaps) {
        case 1:
            Horizontal<1>(row, d);
            break;
        case 2:
            Horizontal<2>(row, d);
            break;
        case 3:
            Horizontal<3>(row, d);
            break;
        case 4:
            Horizontal<4>(row, d);
            break;
        default:
            HorizontalAny(row, d);
            break;
        }
    }
}
