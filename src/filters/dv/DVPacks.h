#pragma once

#include "DVFrameInfo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Decoders of the DV packs the program uses (IEC 61834 DIF layout). Every decoder takes the
// bytes actually present: a short or damaged buffer (dropped packet, truncated file, bus reset)
// is never read past its end, and a pack that is not entirely present counts as not found.
namespace dv {

inline constexpr size_t kSequenceSize = 12000; // 150 DIF blocks of 80 bytes
inline constexpr size_t kHeaderBytes = 480;    // header, 2 subcode and 3 VAUX blocks
inline constexpr int kScannedSequences = 10;   // only the first 10 sequences are read
inline constexpr size_t kRingHeaderBytes = kHeaderBytes * kScannedSequences;
inline constexpr size_t kFrameSize525 = 10 * kSequenceSize;
inline constexpr size_t kFrameSize625 = 12 * kSequenceSize;

// Byte positions inside one DIF sequence.
inline constexpr size_t kPosStandard = 3;
inline constexpr size_t kPosApplicationId = 7;
inline constexpr size_t kPosTimecodeId1 = 110;
inline constexpr size_t kPosTimecodeData = 111; // frames, seconds, minutes, hours
inline constexpr size_t kPosTimecodeId2 = 190;
inline constexpr size_t kPosSourceControlId = 453;
inline constexpr size_t kPosSourceControlData2 = 455;
inline constexpr size_t kPosDateId = 458;
inline constexpr size_t kPosDateData = 460; // day, month, year
inline constexpr size_t kPosTimeId = 463;
inline constexpr size_t kPosTimeData = 465; // seconds, minutes, hours
inline constexpr size_t kPosAudioSourceId = 4323;
inline constexpr size_t kPosAudioSourceData4 = 4327;

inline constexpr uint8_t kPackTimecode = 0x13;
inline constexpr uint8_t kPackAudioSource = 0x50;
inline constexpr uint8_t kPackSourceControl = 0x61;
inline constexpr uint8_t kPackRecDate = 0x62;
inline constexpr uint8_t kPackRecTime = 0x63;

// The bytes of DIF sequence i of a frame that are present (possibly fewer than 12000, or none).
std::span<const uint8_t> Sequence(std::span<const uint8_t> frame, int i);

// Whether a buffer holds one whole frame: the size of a 525/60 or 625/50 frame, and every DIF
// sequence opening with its header block (section 0, its own sequence number, the reserved bit
// set) whose 625/50 flag agrees with the size. A tape dropout (zeroed blocks), a frame cut
// short on the bus or a damaged header fails.
bool IsWholeFrame(std::span<const uint8_t> frame);

struct RecDateTime {
    int year = -1; // -1: no date pack
    int month = 0, day = 0, hours = 0, minutes = 0, seconds = 0;
};

// Hours 255 when no timecode pack pair is present.
struct Timecode {
    uint8_t hours = 255, minutes = 0, seconds = 0, frames = 0;
};

Timecode DecodeTimecode(std::span<const uint8_t> seq);
RecDateTime DecodeRecDate(std::span<const uint8_t> seq);
bool HasSourceControl(std::span<const uint8_t> seq);
uint8_t DecodeStandard(std::span<const uint8_t> seq);
int32_t DecodeAudioRate(std::span<const uint8_t> seq);
int32_t DecodeAudioBits(std::span<const uint8_t> seq);
bool IsWidescreen(std::span<const uint8_t> frame);

// Two-digit DV year: below 40 is this century.
int FullYear(int twoDigits);

// Day-based date-time (1.0 = one day, day 0 = 30 December 1899); nullopt when the fields do
// not make a valid date-time.
std::optional<double> EncodeDateTime(int year, int month, int day, int hours, int minutes,
                                     int seconds);
// The inverse, for messages and tools.
RecDateTime DecodeDateTime(double date);

// Per-frame analysis: fills the pack fields of info from the frame (steps that read the
// frame). FrameNumber and FrameNumber64 are left to the caller; RecDate keeps its previous
// value when a date pack decodes to an invalid date-time.
void AnalyzeFrame(std::span<const uint8_t> frame, TDVFrameInfo& info);

// Copies the 480 header bytes of sequences 0..9 into dst (4800 bytes); missing bytes are 0.
void CopyHeaders(std::span<const uint8_t> frame, uint8_t* dst);

} // namespace dv
