#include "WaveHeader.h"

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
