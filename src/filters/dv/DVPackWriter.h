#pragma once

#include "DVPacks.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Writes the packs the DV filters read, at the positions they read them: used to make test
// material and the demo clip of the virtual camcorder from encoder output.
namespace dv {

struct FramePacks {
    std::optional<double> recDate;        // day-based date-time; none = date packs marked absent
    std::optional<Timecode> timecode;     // none = timecode packs marked absent
    std::optional<uint8_t> displayFormat; // source-control display code (0 4:3, 2 16:9)
    std::optional<uint8_t> applicationId; // low 3 bits of header byte 7, when set
};

uint8_t ToBcd(int value);

// Each writer touches one DIF sequence and only the bytes present in it.
void WriteTimecode(std::span<uint8_t> seq, const std::optional<Timecode>& tc);
void WriteRecDate(std::span<uint8_t> seq, const std::optional<double>& date);
void WriteSourceControl(std::span<uint8_t> seq, const std::optional<uint8_t>& displayFormat);
void WriteAudioSource(std::span<uint8_t> seq, uint8_t rateCode, uint8_t bitsCode);

// Writes the packs into every sequence of the frame that is present.
void PatchFrame(std::span<uint8_t> frame, const FramePacks& packs);

// A frame built by hand: DIF sequences of zeros with the standard byte, the audio source pack
// of 48 kHz 16 bit in sequence 0 and the given packs (12 sequences for 625/50, 10 for 525/60).
std::vector<uint8_t> MakeHandBuiltFrame(bool pal, const FramePacks& packs);

// The timecode of frame n counted from start at fps frames per second (integer rate).
Timecode TimecodeAt(const Timecode& start, int64_t n, int fps);

} // namespace dv
