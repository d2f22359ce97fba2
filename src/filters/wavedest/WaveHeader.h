#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The RIFF/WAVE layout written by the WAV writer: the input's format block copied byte for
// byte, the data chunk right after it, all sizes 32-bit little-endian.
namespace wav {

inline constexpr uint16_t kFormatPcm = 1;
inline constexpr uint16_t kFormatFloat = 3;
inline constexpr uint16_t kFormatALaw = 6;
inline constexpr uint16_t kFormatMuLaw = 7;

// An 18-byte WAVEFORMATEX (with its extra-size field, 0).
std::vector<uint8_t> MakeFormatBlock(uint16_t formatTag, uint16_t channels, uint32_t rate,
                                     uint16_t bitsPerSample, uint16_t blockAlign);

// Counts the bytes of one stream and positions each block in the file.
class TWaveWriter {
public:
    // StartStreaming: HeaderSize := 28 + the format block's size; DataBytes := 0.
    void Start(std::span<const uint8_t> formatBlock);

    uint32_t HeaderSize() const { return m_headerSize; }
    uint32_t DataBytes() const { return m_dataBytes; }

    // The file offset of the next n bytes, counted as written; none when the file would pass
    // 4 GiB (nothing is counted then).
    std::optional<uint32_t> Place(uint32_t n);
    // A placed block the next element refused: it is not in the file.
    void Unplace(uint32_t n) { m_dataBytes -= n; }

    // RIFF chunks of odd size are followed by one zero byte, which the data size leaves out
    // and the RIFF size counts: 1 when the data counted so far needs it.
    uint32_t PadBytes() const { return m_dataBytes & 1u; }

    // The HeaderSize bytes of the header for the bytes counted so far (and their pad byte).
    std::vector<uint8_t> Header() const;

private:
    std::vector<uint8_t> m_format;
    uint32_t m_headerSize = 28;
    uint32_t m_dataBytes = 0;
};

} // namespace wav
