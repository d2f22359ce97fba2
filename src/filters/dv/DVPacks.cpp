#include "DVPacks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dv {

namespace {

// BCD with the tens in the bits above the units, masked by tensMask (after the shift).
int Bcd(uint8_t b, uint8_t tensMask) {
    return (b & 0x0F) + 10 * ((b >> 4) & tensMask);
}

bool Has(std::span<const uint8_t> seq, size_t lastPos) {
    return seq.size() > lastPos;
}

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// 1899-12-30, day 0 of the day-based dates, counted from 1970-01-01.
constexpr int64_t kEpochShift = -25569;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

} // namespace

std::span<const uint8_t> Sequence(std::span<const uint8_t> frame, int i) {
    const size_t start = static_cast<size_t>(i) * kSequenceSize;
    if (i < 0 || start >= frame.size())
        return {};
    return frame.subspan(start, std::min(kSequenceSize, frame.size() - start));
}

Timecode DecodeTimecode(std::span<const uint8_t> seq) {
    Timecode tc;
    if (!Has(seq, kPosTimecodeId2) || seq[kPosTimecodeId1] != kPackTimecode ||
        seq[kPosTimecodeId2] != kPackTimecode)
        return tc;
    const uint8_t* d = seq.data() + kPosTimecodeData;
    tc.frames = static_cast<uint8_t>(Bcd(d[0], 0x3));
    tc.seconds = static_cast<uint8_t>(Bcd(d[1], 0x7));
    tc.minutes = static_cast<uint8_t>(Bcd(d[2], 0x7));
    tc.hours = static_cast<uint8_t>(Bcd(d[3], 0x3));
    return tc;
}

RecDateTime DecodeRecDate(std::span<const uint8_t> seq) {
    RecDateTime r;
    if (!Has(seq, kPosTimeData + 2))
        return r;
    const uint8_t dateId = seq[kPosDateId], timeId = seq[kPosTimeId];
    if ((dateId != kPackRecDate && dateId != 0) || (timeId != kPackRecTime && timeId != 0))
        return r;
    const uint8_t* d = seq.data() + kPosDateData;
    const uint8_t* t = seq.data() + kPosTimeData;
    r.day = Bcd(d[0], 0x3);
    r.month = Bcd(d[1], 0x1);
    r.year = FullYear(Bcd(d[2], 0xF));
    r.seconds = Bcd(t[0], 0x7);
    r.minutes = Bcd(t[1], 0x7);
    r.hours = Bcd(t[2], 0x3);
    return r;
}

bool HasSourceControl(std::span<const uint8_t> seq) {
    return Has(seq, kPosSourceControlId) && seq[kPosSourceControlId] == kPackSourceControl;
}

uint8_t DecodeStandard(std::span<const uint8_t> seq) {
    if (!Has(seq, kPosStandard))
        return 2;
    switch (seq[kPosStandard]) {
    case 0xBF:
        return 0;
    case 0x3F:
        return 1;
    default:
        return 2;
    }
}

int32_t DecodeAudioRate(std::span<const uint8_t> seq) {
    if (!Has(seq, kPosAudioSourceData4) || seq[kPosAudioSourceId] != kPackAudioSource)
        return -1;
    switch ((seq[kPosAudioSourceData4] >> 3) & 7) {
    case 0:
        return 48000;
    case 1:
        return 44100;
    case 2:
        return 32000;
    default:
        return 0;
    }
}

int32_t DecodeAudioBits(std::span<const uint8_t> seq) {
    if (!Has(seq, kPosAudioSourceData4) || seq[kPosAudioSourceId] != kPackAudioSource)
        return -1;
    switch (seq[kPosAudioSourceData4] & 7) {
    case 0:
        return 16;
    case 1:
        return 12;
    default:
        return 0;
    }
}

bool IsWidescreen(std::span<const uint8_t> frame) {
    for (int i = 0; i < kScannedSequences; ++i) {
        const auto seq = Sequence(frame, i);
        if (!Has(seq, kPosSourceControlData2) || seq[kPosSourceControlId] != kPackSourceControl)
            continue;
        const int d = seq[kPosSourceControlData2] & 7;
        const int a = seq[kPosApplicationId] & 7;
        return d == 2 || (a == 0 && d == 7);
    }
    return false;
}

int FullYear(int twoDigits) {
    return twoDigits < 40 ? 2000 + twoDigits : 1900 + twoDigits;
}

std::optional<double> EncodeDateTime(int year, int month, int day, int hours, int minutes,
                                     int seconds) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hours < 0 || hours > 23 || minutes < 0 || minutes > 59 ||
        seconds < 0 || seconds > 59)
        return std::nullopt;
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochShift;
    const double fraction = (hours * 3600 + minutes * 60 + seconds) / 86400.0;
    // Before day 0 the fraction counts away from zero, as day-based dates do.
    return days >= 0 ? days + fraction : days - fraction;
}

RecDateTime DecodeDateTime(double date) {
    RecDateTime r;
    double dayPart = std::trunc(date);
    int64_t secs = std::llround(std::fabs(date - dayPart) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        dayPart += date >= 0 ? 1 : -1;
    }
    int64_t z = static_cast<int64_t>(dayPart) + kEpochShift + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    r.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    r.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    r.year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (r.month <= 2));
    r.hours = static_cast<int>(secs / 3600);
    r.minutes = static_cast<int>(secs / 60 % 60);
    r.seconds = static_cast<int>(secs % 60);
    return r;
}

void AnalyzeFrame(std::span<const uint8_t> frame, TDVFrameInfo& info) {
    RecDateTime date;
    for (int i = 0; i < kScannedSequences && date.year < 0; ++i)
        date = DecodeRecDate(Sequence(frame, i));
    if (date.year < 0) {
        info.RecDate = 0;
        info.DateValid = false;
    } else {
        const auto encoded =
            EncodeDateTime(date.year, date.month, date.day, date.hours, date.minutes, date.seconds);
        info.DateValid = encoded.has_value();
        if (encoded)
            info.RecDate = *encoded;
    }

    Timecode tc;
    for (int i = 0; i < kScannedSequences && tc.hours >= 128; ++i)
        tc = DecodeTimecode(Sequence(frame, i));
    info.TimecodeValid = tc.hours < 128;
    if (info.TimecodeValid) {
        info.Timecode[0] = tc.hours;
        info.Timecode[1] = tc.minutes;
        info.Timecode[2] = tc.seconds;
        info.Timecode[3] = tc.frames;
    }

    const auto seq0 = Sequence(frame, 0);
    info.AudioRate = DecodeAudioRate(seq0);
    info.AudioBits = DecodeAudioBits(seq0);
    info.Standard = DecodeStandard(seq0);
    info.Widescreen = IsWidescreen(frame);
    info.Complete = info.TimecodeValid && HasSourceControl(seq0) && info.AudioRate != -1;
}

void CopyHeaders(std::span<const uint8_t> frame, uint8_t* dst) {
    for (int i = 0; i < kScannedSequences; ++i) {
        const auto seq = Sequence(frame, i);
        const size_t n = std::min(seq.size(), kHeaderBytes);
        uint8_t* out = dst + static_cast<size_t>(i) * kHeaderBytes;
        if (n > 0)
            std::memcpy(out, seq.data(), n);
        if (n < kHeaderBytes)
            std::memset(out + n, 0, kHeaderBytes - n);
    }
}

bool IsWholeFrame(std::span<const uint8_t> frame) {
    const bool pal = frame.size() == kFrameSize625;
    if (!pal && frame.size() != kFrameSize525)
        return false;
    const int sequences = pal ? 12 : 10;
    for (int i = 0; i < sequences; ++i) {
        const uint8_t* id = frame.data() + size_t(i) * kSequenceSize;
        if ((id[0] & 0xF0) != 0x10 || (id[1] >> 4) != i || id[2] != 0 ||
            ((id[3] & 0x80) != 0) != pal)
            return false;
    }
    return true;
}

} // namespace dv
