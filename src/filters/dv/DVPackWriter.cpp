#include "DVPackWriter.h"

namespace dv {

namespace {

constexpr uint8_t kNoInfo = 0xFF;

bool Has(std::span<uint8_t> seq, size_t lastPos) {
    return seq.size() > lastPos;
}

} // namespace

uint8_t ToBcd(int value) {
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

void WriteTimecode(std::span<uint8_t> seq, const std::optional<Timecode>& tc) {
    if (!Has(seq, kPosTimecodeId2 + 4))
        return;
    for (size_t id : {kPosTimecodeId1, kPosTimecodeId2}) {
        if (!tc) {
            seq[id] = kNoInfo;
            continue;
        }
        seq[id] = kPackTimecode;
        seq[id + 1] = ToBcd(tc->frames);
        seq[id + 2] = ToBcd(tc->seconds);
        seq[id + 3] = ToBcd(tc->minutes);
        seq[id + 4] = ToBcd(tc->hours);
    }
}

void WriteRecDate(std::span<uint8_t> seq, const std::optional<double>& date) {
    if (!Has(seq, kPosTimeData + 2))
        return;
    if (!date) {
        seq[kPosDateId] = kNoInfo;
        seq[kPosTimeId] = kNoInfo;
        return;
    }
    const RecDateTime d = DecodeDateTime(*date);
    seq[kPosDateId] = kPackRecDate;
    seq[kPosDateId + 1] = kNoInfo; // time zone not given
    seq[kPosDateData] = ToBcd(d.day);
    seq[kPosDateData + 1] = ToBcd(d.month);
    seq[kPosDateData + 2] = ToBcd(d.year % 100);
    seq[kPosTimeId] = kPackRecTime;
    seq[kPosTimeId + 1] = kNoInfo; // frames not given
    seq[kPosTimeData] = ToBcd(d.seconds);
    seq[kPosTimeData + 1] = ToBcd(d.minutes);
    seq[kPosTimeData + 2] = ToBcd(d.hours);
}

void WriteSourceControl(std::span<uint8_t> seq, const std::optional<uint8_t>& displayFormat) {
    if (!Has(seq, kPosSourceControlData2))
        return;
    if (!displayFormat) {
        seq[kPosSourceControlId] = kNoInfo;
        return;
    }
    seq[kPosSourceControlId] = kPackSourceControl;
    seq[kPosSourceControlData2] =
        static_cast<uint8_t>((seq[kPosSourceControlData2] & 0xF8) | (*displayFormat & 7));
}

void WriteAudioSource(std::span<uint8_t> seq, uint8_t rateCode, uint8_t bitsCode) {
    if (!Has(seq, kPosAudioSourceData4))
        return;
    seq[kPosAudioSourceId] = kPackAudioSource;
    seq[kPosAudioSourceData4] = static_cast<uint8_t>(((rateCode & 7) << 3) | (bitsCode & 7));
}

void PatchFrame(std::span<uint8_t> frame, const FramePacks& packs) {
    for (size_t start = 0; start < frame.size(); start += kSequenceSize) {
        auto seq = frame.subspan(start, std::min(kSequenceSize, frame.size() - start));
        WriteTimecode(seq, packs.timecode);
        WriteRecDate(seq, packs.recDate);
        WriteSourceControl(seq, packs.displayFormat);
        if (packs.applicationId && Has(seq, kPosApplicationId))
            seq[kPosApplicationId] =
                static_cast<uint8_t>((seq[kPosApplicationId] & 0xF8) | (*packs.applicationId & 7));
    }
}

std::vector<uint8_t> MakeHandBuiltFrame(bool pal, const FramePacks& packs) {
    std::vector<uint8_t> frame(pal ? kFrameSize625 : kFrameSize525, 0);
    for (size_t start = 0; start < frame.size(); start += kSequenceSize) {
        frame[start + kPosStandard] = pal ? 0xBF : 0x3F;
        frame[start + kPosApplicationId] = 0x78; // application id 0
    }
    WriteAudioSource(std::span(frame).first(kSequenceSize), 0, 0);
    PatchFrame(frame, packs);
    return frame;
}

Timecode TimecodeAt(const Timecode& start, int64_t n, int fps) {
    int64_t total =
        ((static_cast<int64_t>(start.hours) * 60 + start.minutes) * 60 + start.seconds) * fps +
        start.frames + n;
    Timecode tc;
    tc.frames = static_cast<uint8_t>(total % fps);
    total /= fps;
    tc.seconds = static_cast<uint8_t>(total % 60);
    total /= 60;
    tc.minutes = static_cast<uint8_t>(total % 60);
    tc.hours = static_cast<uint8_t>(total / 60 % 24);
    return tc;
}

} // namespace dv
