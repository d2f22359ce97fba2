// DV frames as a camcorder, a damaged tape or a bus reset delivers them, through the pack
// decoders, the scene rule and the rings that the overlay and the DV header read.
//
// Input: records of one mode byte and its payload. Odd mode: a length (3 bytes) and the frame
// as it is. Even mode: a frame of the right size (bit 1: 625/50) with its standard bytes in
// place, whose header bytes of the first sequences (bits 2-3: how many, less one; 480 bytes
// each) and audio source pack (5 bytes) come from the payload, then, with bit 4, cut to a
// length (3 bytes): small inputs reach whole frames. Every 16th frame, a byte whose low bit
// ends the part.
#include "DVPackWriter.h"
#include "DVPacks.h"
#include "FrameRings.h"
#include "FuzzSupport.h"
#include "SceneRule.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const std::vector<uint8_t>& Template(bool pal) {
    static const std::vector<uint8_t> p = dv::MakeHandBuiltFrame(true, {});
    static const std::vector<uint8_t> n = dv::MakeHandBuiltFrame(false, {});
    return pal ? p : n;
}

// Reads the input from its front, in the order the records lie.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t Left() const { return m_size - m_pos; }
    uint8_t Byte() { return Left() ? m_data[m_pos++] : 0; }
    size_t Number(int bytes) {
        size_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= size_t(Byte()) << (8 * i);
        return v;
    }
    std::vector<uint8_t> Bytes(size_t n) {
        n = std::min(n, Left());
        std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

std::vector<uint8_t> NextFrame(Reader& in) {
    const uint8_t mode = in.Byte();
    if (mode & 1)
        return in.Bytes(in.Number(3) % (dv::kFrameSize625 + 8));
    std::vector<uint8_t> frame = Template(mode & 2);
    const int sequences = 1 + ((mode >> 2) & 3);
    for (int s = 0; s < sequences; ++s) {
        const std::vector<uint8_t> header = in.Bytes(dv::kHeaderBytes);
        std::copy(header.begin(), header.end(), frame.begin() + s * dv::kSequenceSize);
    }
    const std::vector<uint8_t> audio = in.Bytes(5);
    std::copy(audio.begin(), audio.end(), frame.begin() + dv::kPosAudioSourceId);
    if (mode & 0x10)
        frame.resize(in.Number(3) % (frame.size() + 1));
    return frame;
}

void CheckInfo(const TDVFrameInfo& info) {
    FUZZ_CHECK(info.Standard <= 2);
    FUZZ_CHECK(std::isfinite(info.RecDate));
    if (info.DateValid) {
        const dv::RecDateTime d = dv::DecodeDateTime(info.RecDate);
        FUZZ_CHECK(d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    TSceneRule rule;
    TFrameRings rings;
    uint8_t headers[dv::kRingHeaderBytes];
    int64_t time = 0;
    uint32_t expected = 0;
    for (int n = 0; n < 64 && in.Left() > 0; ++n) {
        const std::vector<uint8_t> frame = NextFrame(in);
        const std::span<const uint8_t> bytes(frame);

        dv::IsWholeFrame(bytes);
        dv::IsWidescreen(bytes);
        dv::CopyHeaders(bytes, headers);
        for (int s = 0; s < 12; ++s) {
            const std::span<const uint8_t> seq = dv::Sequence(bytes, s);
            FUZZ_CHECK(seq.size() <= dv::kSequenceSize);
            dv::DecodeTimecode(seq);
            const dv::RecDateTime d = dv::DecodeRecDate(seq);
            if (d.year >= 0)
                dv::EncodeDateTime(d.year, d.month, d.day, d.hours, d.minutes, d.seconds);
        }

        const TSceneRule::Result r = rule.ProcessFrame(bytes);
        ++expected;
        FUZZ_CHECK(rule.Current().FrameNumber == expected);
        CheckInfo(rule.Current());
        if (r.sceneChange)
            FUZZ_CHECK(r.endedSceneStart.FrameNumber <= r.opening.FrameNumber);
        rings.Store(rule.Current(), bytes, time);
        time += 40000000;

        TDVFrameInfo found;
        const int slot = rings.LookupFrameInfo(time - 1, found);
        FUZZ_CHECK(slot >= 0 && slot < TFrameRings::kSlots);
        FUZZ_CHECK(rings.CopyHeader(slot, headers));
        FUZZ_CHECK(found.FrameNumber == rule.Current().FrameNumber);

        // A part ends now and then: counting starts again.
        if ((n % 16) == 15 && (in.Byte() & 1)) {
            rule.RestartCounting();
            expected = 0;
        }
    }
    TDVFrameInfo start, current;
    if (rule.RunningScene(start, current))
        FUZZ_CHECK(current.FrameNumber == expected);
    return 0;
}
