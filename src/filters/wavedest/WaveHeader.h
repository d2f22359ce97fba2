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
inline constexpr uint16_t kFormatMpegLayer3 = 0x0055;

// Size of an MPEGLAYER3WAVEFORMAT block: the 18 bytes of WAVEFORMATEX and 12 more, so the
// audio of an MP3 file starts at byte 58 (46 for the other formats).
inline constexpr size_t kMp3FormatSize = 30;

// An 18-byte WAVEFORMATEX (with its extra-size field, 0).
std::vector<uint8_t> MakeFormatBlock(uint16_t formatTag, uint16_t channels, uint32_t rate,
                                     uint16_t bitsPerSample, uint16_t blockAlign);

// One MPEG audio Layer III frame header (MPEG-1, 2 or 2.5; free-format frames cannot be sized
// and are refused).
struct TMp3Frame {
    uint32_t bitrate = 0; // bits per second
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint32_t size = 0;    // bytes, header and padding included
    uint32_t samples = 0; // per channel: 1152 for MPEG-1, 576 otherwise
    bool mpeg1 = true;
};
std::optional<TMp3Frame> ParseMp3Header(std::span<const uint8_t, 4> header);

// The MPEGLAYER3WAVEFORMAT block of a stream whose first frame is `first`. bytesPerSecond is
// the stream's average (its bitrate / 8 at constant bitrate).
std::vector<uint8_t> MakeMp3FormatBlock(uint16_t channels, uint32_t rate, const TMp3Frame& first,
                                        uint32_t bytesPerSecond);

// Follows the frames of an MP3 byte stream however it is split into blocks (a header may
// straddle two), so that the stream's length in samples and its mean bitrate are known at
// the end. Bytes that are no frame are skipped until the next frame header.
class TMp3FrameCounter {
public:
    void Feed(std::span<const uint8_t> bytes);

    const std::optional<TMp3Frame>& First() const { return m_first; }
    uint64_t Frames() const { return m_frames; }
    uint64_t Samples() const { return m_samples; }
    bool ConstantBitrate() const { return m_constant; }
    // The average bytes per second of `dataBytes` holding the frames seen; the nominal
    // bitrate / 8 when every frame had the same bitrate, 0 before the first frame.
    uint32_t BytesPerSecond(uint64_t dataBytes) const;

private:
    std::optional<TMp3Frame> m_first;
    uint64_t m_frames = 0;
    uint64_t m_samples = 0;
    bool m_constant = true;
    uint32_t m_skip = 0; // bytes left of the current frame
    uint8_t m_head[4] = {};
    uint32_t m_headBytes = 0;
};

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

    // A format block known better at the end (an average bitrate): same size only, the audio
    // already placed after it does not move. False, nothing changed, otherwise.
    bool ReplaceFormat(std::span<const uint8_t> formatBlock);

private:
    std::vector<uint8_t> m_format;
    uint32_t m_headerSize = 28;
    uint32_t m_dataBytes = 0;
};

} // namespace wav
