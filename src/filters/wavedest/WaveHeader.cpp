#include "WaveHeader.h"

#include <algorithm>
#include <cstring>

namespace wav {

namespace {

void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

void Write32(uint8_t* p, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(x >> (8 * i));
}

} // namespace

std::vector<uint8_t> MakeFormatBlock(uint16_t formatTag, uint16_t channels, uint32_t rate,
                                     uint16_t bitsPerSample, uint16_t blockAlign) {
    std::vector<uint8_t> f;
    f.reserve(18);
    Put16(f, formatTag);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, rate * blockAlign);
    Put16(f, blockAlign);
    Put16(f, bitsPerSample);
    Put16(f, 0);
    return f;
}

std::optional<TMp3Frame> ParseMp3Header(std::span<const uint8_t, 4> h) {
    static constexpr uint16_t kBitrate1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                               112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr uint16_t kBitrate2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                               64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr uint32_t kRate1[4] = {44100, 48000, 32000, 0};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (h[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5, 1: reserved
    const int layer = (h[1] >> 1) & 3;   // 1: Layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    TMp3Frame f;
    f.mpeg1 = version == 3;
    f.bitrate = 1000u * (f.mpeg1 ? kBitrate1 : kBitrate2)[bitrateIndex];
    f.rate = kRate1[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    f.channels = (h[3] >> 6) == 3 ? 1 : 2;
    f.samples = f.mpeg1 ? 1152 : 576;
    f.size = (f.mpeg1 ? 144 : 72) * f.bitrate / f.rate + ((h[2] >> 1) & 1);
    return f;
}

std::vector<uint8_t> MakeMp3FormatBlock(uint16_t channels, uint32_t rate, const TMp3Frame& first,
                                        uint32_t bytesPerSecond) {
    std::vector<uint8_t> f;
    f.reserve(kMp3FormatSize);
    Put16(f, kFormatMpegLayer3);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, bytesPerSecond);
    Put16(f, 1);  // block align: frames are byte streams
    Put16(f, 0);  // bits per sample: none for a compressed stream
    Put16(f, 12); // the MPEG Layer-3 fields that follow
    Put16(f, 1);  // MPEGLAYER3_ID_MPEG
    // Frames of a rate that divides the bitrate evenly never carry a padding byte; otherwise
    // padding follows the standard's rule.
    const uint32_t perFrame = (first.mpeg1 ? 144 : 72) * first.bitrate;
    const bool neverPadded = first.rate != 0 && perFrame % first.rate == 0;
    Put32(f, neverPadded ? 2 /* PADDING_OFF */ : 0 /* PADDING_ISO */);
    Put16(f, static_cast<uint16_t>(first.rate ? perFrame / first.rate : 0)); // nBlockSize
    Put16(f, 1);                                                             // frames per block
    Put16(f, 1393); // encoder delay in samples, the customary value
    return f;
}

void TMp3FrameCounter::Feed(std::span<const uint8_t> bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (m_skip > 0) {
            const size_t n = std::min<size_t>(m_skip, bytes.size() - i);
            m_skip -= static_cast<uint32_t>(n);
            i += n;
            continue;
        }
        m_head[m_headBytes++] = bytes[i++];
        if (m_headBytes < 4)
            continue;
        const auto f = ParseMp3Header(std::span<const uint8_t, 4>(m_head, 4));
        if (!f) {
            // Not a frame: slide by one byte towards the next sync word.
            std::memmove(m_head, m_head + 1, 3);
            m_headBytes = 3;
            continue;
        }
        if (!m_first)
            m_first = f;
        else if (f->bitrate != m_first->bitrate)
            m_constant = false;
        ++m_frames;
        m_samples += f->samples;
        m_skip = f->size - 4;
        m_headBytes = 0;
    }
}

uint32_t TMp3FrameCounter::BytesPerSecond(uint64_t dataBytes) const {
    if (!m_first || m_samples == 0)
        return 0;
    if (m_constant)
        return m_first->bitrate / 8;
    return static_cast<uint32_t>((dataBytes * m_first->rate + m_samples / 2) / m_samples);
}

void TWaveWriter::Start(std::span<const uint8_t> formatBlock) {
    m_format.assign(formatBlock.begin(), formatBlock.end());
    m_headerSize = static_cast<uint32_t>(28 + m_format.size());
    m_dataBytes = 0;
}

std::optional<uint32_t> TWaveWriter::Place(uint32_t n) {
    const uint64_t p = static_cast<uint64_t>(m_dataBytes) + m_headerSize;
    if (p + n > UINT32_MAX)
        return std::nullopt;
    m_dataBytes += n;
    return static_cast<uint32_t>(p);
}

bool TWaveWriter::ReplaceFormat(std::span<const uint8_t> formatBlock) {
    if (formatBlock.size() != m_format.size())
        return false;
    m_format.assign(formatBlock.begin(), formatBlock.end());
    return true;
}

std::vector<uint8_t> TWaveWriter::Header() const {
    const size_t f = m_format.size();
    std::vector<uint8_t> h(m_headerSize);
    std::memcpy(&h[0], "RIFF", 4);
    // Cannot wrap: Place keeps header plus data within 32 bits.
    Write32(&h[4], m_dataBytes + PadBytes() + m_headerSize - 8);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    Write32(&h[16], static_cast<uint32_t>(f));
    if (f > 0)
        std::memcpy(&h[20], m_format.data(), f);
    std::memcpy(&h[20 + f], "data", 4);
    Write32(&h[24 + f], m_dataBytes);
    return h;
}

} // namespace wav
