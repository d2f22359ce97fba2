#include "ResizerCore.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

constexpr int64_t kOne = 65536; // weight of a whole output in 0.16 fixed point

// floor(v * w / 65536) for 16-bit values: one multiply-high instruction once vectorised.
inline uint16_t MulHigh(uint32_t v, uint32_t w) {
    return static_cast<uint16_t>((v * w) >> 16);
}

} // namespace

std::vector<TAreaResampler::Taps> TAreaResampler::BuildTaps(int in, int out) {
    std::vector<Taps> taps(static_cast<size_t>(out));
    // Output i covers [i * in, (i + 1) * in) and source pixel j covers [j * out, (j + 1) * out),
    // both in units of 1 / out of a source pixel: integers, so the covers are exact.
    for (int i = 0; i < out; ++i) {
        const int64_t a = int64_t{i} * in, b = a + in;
        Taps& t = taps[static_cast<size_t>(i)];
        t.first = static_cast<int>(a / out);
        t.count = static_cast<int>((b - 1) / out) - t.first + 1;
        t.weights.resize(static_cast<size_t>(t.count));
        int64_t sum = 0;
        size_t biggest = 0;
        for (int k = 0; k < t.count; ++k) {
            const int64_t j = t.first + k;
            const int64_t cover = std::min(b, (j + 1) * out) - std::max(a, j * out);
            const int64_t w = (cover * kOne + in / 2) / in;
            t.weights[static_cast<size_t>(k)] = static_cast<uint16_t>(std::min<int64_t>(w, 65535));
            sum += w;
            if (t.weights[static_cast<size_t>(k)] > t.weights[biggest])
                biggest = static_cast<size_t>(k);
        }
        // The weights add up to one (less one unit when a single tap takes it all, which the
        // 16-bit weight cannot hold): a flat picture stays flat.
        const int64_t fixedUp = t.weights[biggest] + kOne - sum;
        t.weights[biggest] = static_cast<uint16_t>(std::clamp<int64_t>(fixedUp, 0, 65535));
    }
    return taps;
}

void TAreaResampler::Configure(int inWidth, int inHeight, int outWidth, int outHeight,
                               int channels) {
    m_channels = channels == 1 ? 1 : 3;
    m_inW = inWidth;
    m_inH = inHeight;
    m_outW = outWidth;
    m_outH = outHeight;
    if (inWidth < 1 || inHeight < 1 || outWidth < 1 || outHeight < 1) {
        m_outW = m_outH = 0;
        return;
    }

    const std::vector<Taps> xs = BuildTaps(inWidth, outWidth);
    m_xCount = 1;
    for (const Taps& t : xs)
        m_xCount = std::max(m_xCount, t.count);
    const int n = m_xCount;
    m_xOffsets.assign(xs.size(), 0);
    m_xWeights.assign(static_cast<size_t>((outWidth + 1) / 2) * n * 8, 0);
    for (int x = 0; x < outWidth; ++x) {
        const Taps& t = xs[static_cast<size_t>(x)];
        const int first = std::min(t.first, inWidth - n);
        m_xOffsets[static_cast<size_t>(x)] = first * m_channels;
        uint16_t* w = &m_xWeights[static_cast<size_t>(x / 2) * n * 8 + (x % 2) * 4];
        for (int k = 0; k < t.count; ++k)
            std::fill_n(w + static_cast<size_t>(t.first - first + k) * 8, 4,
                        t.weights[static_cast<size_t>(k)]);
    }

    const std::vector<Taps> ys = BuildTaps(inHeight, outHeight);
    m_yFirst.clear();
    m_yCount.clear();
    m_yIndex.clear();
    m_yWeights.clear();
    for (const Taps& t : ys) {
        m_yFirst.push_back(t.first);
        m_yCount.push_back(t.count);
        m_yIndex.push_back(static_cast<int32_t>(m_yWeights.size()));
        m_yWeights.insert(m_yWeights.end(), t.weights.begin(), t.weights.end());
    }
    const size_t rowValues = static_cast<size_t>(inWidth) * static_cast<size_t>(m_channels);
    m_row.assign(rowValues + 1, 0);
    const bool wide = std::any_of(ys.begin(), ys.end(), [](const Taps& t) { return t.count > 3; });
    m_wide.assign(wide ? rowValues : 0, 0);
}

void TAreaResampler::Vertical(int y, const uint8_t* src, int srcStride) {
    const size_t rowBytes = static_cast<size_t>(m_inW) * static_cast<size_t>(m_channels);
    const uint16_t* wy = &m_yWeights[static_cast<size_t>(m_yIndex[static_cast<size_t>(y)])];
    const int count = m_yCount[static_cast<size_t>(y)];
    uint16_t* __restrict row = m_row.data();
    const uint8_t* __restrict s0 =
        src + static_cast<ptrdiff_t>(m_yFirst[static_cast<size_t>(y)]) * srcStride;
    const uint32_t w0 = wy[0];
    if (count > 3) {
        // Wide spans: exact 32-bit sums, since one truncated product per row would add up.
        uint32_t* __restrict acc = m_wide.data();
        for (size_t i = 0; i < rowBytes; ++i)
            acc[i] = 128 + uint32_t{s0[i]} * w0;
        for (int k = 1; k < count; ++k) {
            const uint8_t* __restrict sk = s0 + static_cast<ptrdiff_t>(k) * srcStride;
            const uint32_t wk = wy[k];
            for (size_t i = 0; i < rowBytes; ++i)
                acc[i] += uint32_t{sk[i]} * wk;
        }
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<uint16_t>(acc[i] >> 8);
        return;
    }
    // Up to three rows in one sweep (the spans of any reduction down to a third), with one
    // pass over the work row; the truncated products cost at most 3/256 of a level.
    if (count == 3) {
        const uint8_t* __restrict s1 = s0 + srcStride;
        const uint8_t* __restrict s2 = s1 + srcStride;
        const uint32_t w1 = wy[1], w2 = wy[2];
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<uint16_t>(MulHigh(uint32_t{s0[i]} << 8, w0) +
                                           MulHigh(uint32_t{s1[i]} << 8, w1) +
                                           MulHigh(uint32_t{s2[i]} << 8, w2));
    } else if (count == 2) {
        const uint8_t* __restrict s1 = s0 + srcStride;
        const uint32_t w1 = wy[1];
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<uint16_t>(MulHigh(uint32_t{s0[i]} << 8, w0) +
                                           MulHigh(uint32_t{s1[i]} << 8, w1));
    } else {
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = MulHigh(uint32_t{s0[i]} << 8, w0);
    }
}

// One output pixel without SIMD: the same sums as the SIMD loop, bit for bit. Wide spans (more
// than four taps, never vectorised) sum exactly in 64 bits instead.
void TAreaResampler::HorizontalTail(int x, uint8_t* d) const {
    const int n = m_channels;
    const uint16_t* r = m_row.data() + m_xOffsets[static_cast<size_t>(x)];
    const uint16_t* w = &m_xWeights[static_cast<size_t>(x / 2) * m_xCount * 8 + (x % 2) * 4];
    for (int c = 0; c < n; ++c) {
        if (m_xCount > 4) {
            uint64_t acc = uint64_t{1} << 23;
            for (int k = 0; k < m_xCount; ++k)
                acc += uint64_t{r[n * k + c]} * w[8 * k];
            d[c] = static_cast<uint8_t>(acc >> 24);
        } else {
            uint32_t acc = 128;
            for (int k = 0; k < m_xCount; ++k)
                acc += MulHigh(r[n * k + c], w[8 * k]);
            d[c] = static_cast<uint8_t>(acc >> 8);
        }
    }
}

template <int T> void TAreaResampler::Horizontal(uint8_t* d) const {
    int x = 0;
#if defined(__SSE2__)
    constexpr int n = T;
    const uint16_t* row = m_row.data();
    const int32_t* off = m_xOffsets.data();
    const uint16_t* w = m_xWeights.data();
    const __m128i half = _mm_set1_epi16(128);
    const int width = m_outW; // a local: the stores below may alias the members
    // Two outputs per register, B G R and a spare lane each; the 8-byte store runs 2 bytes
    // into the next output, which exists while x + 2 < width and is written afterwards.
    for (; x + 2 < width; x += 2, d += 6, w += 8 * n) {
        const uint16_t* r0 = row + off[x];
        const uint16_t* r1 = row + off[x + 1];
        __m128i acc = half;
        for (int k = 0; k < n; ++k) {
            const __m128i p0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0 + 3 * k));
            const __m128i p1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r1 + 3 * k));
            const __m128i wk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * k));
            acc = _mm_add_epi16(acc, _mm_mulhi_epu16(_mm_unpacklo_epi64(p0, p1), wk));
        }
        const __m128i bytes = _mm_packus_epi16(_mm_srli_epi16(acc, 8), acc);
        uint64_t q;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&q), bytes);
        q = (q & 0xFFFFFFu) | ((q >> 8) & 0xFFFFFF000000u);
        std::memcpy(d, &q, sizeof q);
    }
#endif
    for (; x < m_outW; ++x, d += 3)
        HorizontalTail(x, d);
}

void TAreaResampler::Run(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride) {
    for (int y = 0; y < m_outH; ++y) {
        Vertical(y, src, srcStride);
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstStride;
        if (m_channels == 1) {
            for (int x = 0; x < m_outW; ++x)
                HorizontalTail(x, d + x);
            continue;
        }
        switch (m_xCount) {
        case 1:
            Horizontal<1>(d);
            break;
        case 2:
            Horizontal<2>(d);
            break;
        case 3:
            Horizontal<3>(d);
            break;
        case 4:
            Horizontal<4>(d);
            break;
        default:
            for (int x = 0; x < m_outW; ++x, d += 3)
                HorizontalTail(x, d);
            break;
        }
    }
}
