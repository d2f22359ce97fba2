#include "DvAviWriter.h"

#include <algorithm>
#include <cstring>

namespace avi {

namespace {

constexpr size_t kSequence = 12000;
constexpr uint32_t kIndexOfIndexes = 0;
constexpr uint32_t kIndexOfChunks = 1;
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kAviifKeyframe = 0x10;
constexpr size_t kIndxBytes = 8 + 24 + 16 * TDvAviWriter::kSuperIndexEntries;
constexpr size_t kDmlhBytes = 248;
constexpr uint64_t kMoviAlign = 1024;
constexpr size_t kScratchBytes = 64 * 1024;

// Little-endian appends.
class Out {
public:
    explicit Out(std::vector<uint8_t>& v) : m_v(v) {}
    void U8(uint8_t x) { m_v.push_back(x); }
    void U16(uint16_t x) {
        U8(static_cast<uint8_t>(x));
        U8(static_cast<uint8_t>(x >> 8));
    }
    void U32(uint32_t x) {
        U16(static_cast<uint16_t>(x));
        U16(static_cast<uint16_t>(x >> 16));
    }
    void U64(uint64_t x) {
        U32(static_cast<uint32_t>(x));
        U32(static_cast<uint32_t>(x >> 32));
    }
    void Cc(const char* fourcc) {
        for (int i = 0; i < 4; ++i)
            U8(static_cast<uint8_t>(fourcc[i]));
    }
    void Zeros(size_t n) { m_v.resize(m_v.size() + n, 0); }
    void Chunk(const char* fourcc, uint32_t size) {
        Cc(fourcc);
        U32(size);
    }

private:
    std::vector<uint8_t>& m_v;
};

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// The 4 data bytes of the first pack with this id among the given pack positions of the
// sequences [first, last] present in the frame.
bool FindPack(std::span<const uint8_t> frame, int first, int last, uint8_t id, bool audio,
              uint32_t& value) {
    for (int s = first; s <= last; ++s) {
        const size_t base = static_cast<size_t>(s) * kSequence;
        const int packs = audio ? 9 : 45;
        for (int i = 0; i < packs; ++i) {
            // Audio packs start the 9 audio blocks (6, 22, ... 134); VAUX packs fill blocks 3-5.
            const size_t pos =
                audio ? base + (6 + 16 * i) * 80 + 3 : base + (3 + i / 15) * 80 + 3 + (i % 15) * 5;
            if (pos + 5 > frame.size())
                return false;
            if (frame[pos] == id) {
                value = Le32(&frame[pos + 1]);
                return true;
            }
        }
    }
    return false;
}

} // namespace

bool IsFrameStart(std::span<const uint8_t> b) {
    return b.size() >= kProbeBytes && (b[0] & 0xE0) == 0x00 && (b[1] >> 4) == 0 && b[2] == 0 &&
           (b[80] & 0xE0) == 0x20 && (b[81] >> 4) == 0 && b[82] == 0;
}

size_t FrameSizeOf(std::span<const uint8_t> frameStart) {
    return frameStart.size() > 3 && (frameStart[3] & 0x80) ? 12 * kSequence : 10 * kSequence;
}

TDvStreamInfo DvStreamInfoOf(std::span<const uint8_t> frame) {
    TDvStreamInfo info;
    info.pal = FrameSizeOf(frame) == 12 * kSequence;
    if (!info.pal) {
        info.height = 480;
        info.scale = 1001;
        info.rate = 30000;
        info.frameSize = 10 * kSequence;
    }
    const int sequences = info.pal ? 12 : 10;
    const int half = sequences / 2;
    // The packs of the first audio half sit in sequences 0-1 (by parity), of the second in the
    // first two sequences of the second half.
    FindPack(frame, 0, 1, 0x50, true, info.dvinfo[0]);
    FindPack(frame, 0, 1, 0x51, true, info.dvinfo[1]);
    FindPack(frame, half, half + 1, 0x50, true, info.dvinfo[2]);
    FindPack(frame, half, half + 1, 0x51, true, info.dvinfo[3]);
    FindPack(frame, 0, 1, 0x60, false, info.dvinfo[4]);
    FindPack(frame, 0, 1, 0x61, false, info.dvinfo[5]);
    return info;
}

// ---------------------------------------------------------------------------------------

TDvFramer::TDvFramer() {
    m_pending.reserve(12 * kSequence);
}

void TDvFramer::Reset() {
    m_pending.clear();
    m_skipped = 0;
}

namespace {

// The first position that starts a frame, or the first position from which fewer than
// kProbeBytes remain (those bytes cannot be judged yet).
size_t FindFrameStart(std::span<const uint8_t> d, size_t from) {
    for (size_t i = from; i < d.size(); ++i)
        if (d.size() - i < kProbeBytes || IsFrameStart(d.subspan(i)))
            return i;
    return d.size();
}

} // namespace

bool TDvFramer::Push(std::span<const uint8_t> data, const FrameFn& onFrame) {
    while (!data.empty()) {
        if (m_pending.empty()) {
            // Whole frames straight from the input, without a copy.
            for (;;) {
                const size_t skip = FindFrameStart(data, 0);
                m_skipped += skip;
                data = data.subspan(skip);
                if (data.size() < kProbeBytes)
                    break;
                const size_t size = FrameSizeOf(data);
                if (data.size() < size)
                    break;
                if (!onFrame(data.first(size)))
                    return false;
                data = data.subspan(size);
            }
            m_pending.assign(data.begin(), data.end());
            return true;
        }
        const size_t want = m_pending.size() < kProbeBytes
                                ? kProbeBytes - m_pending.size()
                                : FrameSizeOf(m_pending) - m_pending.size();
        const size_t take = std::min(want, data.size());
        m_pending.insert(m_pending.end(), data.begin(), data.begin() + take);
        data = data.subspan(take);
        if (m_pending.size() < kProbeBytes)
            continue;
        if (!IsFrameStart(m_pending)) {
            const size_t skip = FindFrameStart(m_pending, 1);
            m_skipped += skip;
            m_pending.erase(m_pending.begin(), m_pending.begin() + skip);
            // What is left is re-judged with the next bytes: feed it back as input.
            std::vector<uint8_t> rest;
            rest.swap(m_pending);
            m_pending.reserve(12 * kSequence);
            if (!Push(rest, onFrame))
                return false;
            continue;
        }
        if (m_pending.size() == FrameSizeOf(m_pending)) {
            if (!onFrame(m_pending))
                return false;
            m_pending.clear();
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------

TDvAviWriter::TDvAviWriter(TAviOutput& out, uint64_t riffLimit)
    : m_out(out), m_riffLimit(std::clamp(riffLimit, kMinRiffLimit, kMaxRiffLimit)) {
    m_scratch.reserve(kScratchBytes + 64);
}

uint64_t TDvAviWriter::FirstMoviPos() {
    const uint64_t strl = 12 + (8 + 56) + (8 + 32) + kIndxBytes;
    const uint64_t hdrl = 12 + (8 + 56) + strl + (12 + 8 + kDmlhBytes);
    const uint64_t headerEnd = 12 + hdrl + 8; // RIFF 'AVI ', hdrl, and a JUNK chunk header
    return (headerEnd + kMoviAlign - 1) / kMoviAlign * kMoviAlign;
}

std::vector<uint8_t> TDvAviWriter::HeaderBytes() const {
    const TDvStreamInfo& in = m_info;
    const uint64_t total = m_frames;
    const uint32_t usPerFrame =
        static_cast<uint32_t>((uint64_t(1000000) * in.scale + in.rate / 2) / in.rate);
    const uint32_t bufferSize = m_maxChunk ? m_maxChunk : in.frameSize;
    const uint32_t bytesPerSec =
        static_cast<uint32_t>((uint64_t(in.frameSize) * in.rate + in.scale - 1) / in.scale);

    std::vector<uint8_t> v;
    v.reserve(FirstMoviPos() + 12);
    Out o(v);
    o.Chunk("RIFF", static_cast<uint32_t>(m_firstRiffSize));
    o.Cc("AVI ");
    const uint32_t strlSize = 4 + (8 + 56) + (8 + 32) + kIndxBytes;
    const uint32_t odmlSize = 4 + 8 + kDmlhBytes;
    o.Chunk("LIST", 4 + (8 + 56) + (8 + strlSize) + (8 + odmlSize));
    o.Cc("hdrl");
    o.Chunk("avih", 56);
    o.U32(usPerFrame);
    o.U32(bytesPerSec);
    o.U32(0); // padding granularity
    o.U32(kAvifHasIndex | kAvifIsInterleaved);
    o.U32(static_cast<uint32_t>(std::min<uint64_t>(m_firstRiffFrames, UINT32_MAX)));
    o.U32(0); // initial frames
    o.U32(1); // streams
    o.U32(bufferSize);
    o.U32(in.width);
    o.U32(in.height);
    o.Zeros(16);

    o.Chunk("LIST", strlSize);
    o.Cc("strl");
    o.Chunk("strh", 56);
    o.Cc("iavs");
    o.Cc("dvsd");
    o.U32(0); // flags
    o.U16(0); // priority
    o.U16(0); // language
    o.U32(0); // initial frames
    o.U32(in.scale);
    o.U32(in.rate);
    o.U32(0); // start
    o.U32(static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX)));
    o.U32(bufferSize);
    o.U32(0xFFFFFFFF); // quality: the default
    o.U32(0);          // sample size: chunks of any size
    o.U16(0);
    o.U16(0);
    o.U16(static_cast<uint16_t>(in.width));
    o.U16(static_cast<uint16_t>(in.height));
    o.Chunk("strf", 32);
    for (uint32_t x : in.dvinfo)
        o.U32(x);
    o.Chunk("indx", kIndxBytes - 8);
    o.U16(4); // longs per entry
    o.U8(0);  // sub type
    o.U8(kIndexOfIndexes);
    o.U32(static_cast<uint32_t>(m_super.size()));
    o.Cc(kChunkId);
    o.Zeros(12);
    for (const SuperEntry& e : m_super) {
        o.U64(e.offset);
        o.U32(e.size);
        o.U32(e.duration);
    }
    o.Zeros(16 * (kSuperIndexEntries - m_super.size()));

    o.Chunk("LIST", odmlSize);
    o.Cc("odml");
    o.Chunk("dmlh", kDmlhBytes);
    o.U32(static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX)));
    o.Zeros(kDmlhBytes - 4);

    const uint64_t movi = FirstMoviPos();
    o.Chunk("JUNK", static_cast<uint32_t>(movi - v.size() - 8));
    o.Zeros(movi - v.size());
    // The first movi list's header belongs to the header area.
    const uint64_t moviSize = m_firstRiffSize ? m_firstMoviSize : 4;
    o.Chunk("LIST", static_cast<uint32_t>(moviSize));
    o.Cc("movi");
    return v;
}

uint64_t TDvAviWriter::IndexBytes(uint64_t entries) const {
    const uint64_t ix = entries ? 8 + 24 + 8 * entries : 0;
    const bool first = m_super.empty();
    return ix + (first ? 8 + 16 * entries : 0);
}

uint64_t TDvAviWriter::BytesToFinish() const {
    if (m_finished)
        return 0;
    return IndexBytes(m_riffOpen ? m_entries.size() : 0) + (m_begun ? 0 : FirstMoviPos() + 12);
}

bool TDvAviWriter::Fail() {
    m_failed = true;
    return false;
}

bool TDvAviWriter::Put(const uint8_t* data, size_t size) {
    if (!m_out.Write(data, size))
        return Fail();
    m_pos += size;
    return true;
}

bool TDvAviWriter::PatchAt(uint64_t pos, const std::vector<uint8_t>& bytes) {
    if (!m_out.Seek(pos) || !m_out.Write(bytes.data(), bytes.size()) || !m_out.Seek(m_pos))
        return Fail();
    return true;
}

bool TDvAviWriter::WriteHeader() {
    return PatchAt(0, HeaderBytes());
}

bool TDvAviWriter::Begin(const TDvStreamInfo& info) {
    m_info = info;
    m_begun = true;
    m_riffOpen = true;
    m_riffStart = 0;
    m_moviStart = FirstMoviPos();
    return Put(HeaderBytes());
}

bool TDvAviWriter::OpenExtension() {
    m_riffOpen = true;
    m_riffStart = m_pos;
    m_moviStart = m_pos + 12;
    m_entries.clear();
    std::vector<uint8_t> v;
    Out o(v);
    o.Chunk("RIFF", 4 + 12);
    o.Cc("AVIX");
    o.Chunk("LIST", 4);
    o.Cc("movi");
    return Put(v);
}

bool TDvAviWriter::CloseRiff() {
    const bool first = m_super.empty();
    const uint32_t n = static_cast<uint32_t>(m_entries.size());
    std::vector<uint8_t>& s = m_scratch;
    Out o(s);
    const auto flush = [&]() {
        const bool ok = s.empty() || Put(s.data(), s.size());
        s.clear();
        return ok;
    };
    s.clear();
    if (n > 0) {
        const uint64_t ixPos = m_pos;
        o.Chunk("ix00", 24 + 8 * n);
        o.U16(2); // longs per entry
        o.U8(0);  // sub type
        o.U8(kIndexOfChunks);
        o.U32(n);
        o.Cc(kChunkId);
        o.U64(m_riffStart); // base of the entry offsets
        o.U32(0);
        for (const Entry& e : m_entries) {
            o.U32(e.offset);
            o.U32(e.size); // bit 31 clear: every DV frame is a key frame
            if (s.size() >= kScratchBytes && !flush())
                return false;
        }
        if (!flush())
            return false;
        m_super.push_back({ixPos, 8 + 24 + 8 * n, n});
    }
    const uint64_t moviSize = m_pos - (m_moviStart + 8);
    if (first) {
        m_firstMoviSize = moviSize;
        // The legacy index: offsets of the chunk headers from the 'movi' fourcc.
        o.Chunk("idx1", 16 * n);
        const uint64_t moviFourcc = m_moviStart + 8;
        for (const Entry& e : m_entries) {
            o.Cc(kChunkId);
            o.U32(kAviifKeyframe);
            o.U32(static_cast<uint32_t>(m_riffStart + e.offset - 8 - moviFourcc));
            o.U32(e.size);
            if (s.size() >= kScratchBytes && !flush())
                return false;
        }
        if (!flush())
            return false;
        m_firstRiffFrames = n;
        m_firstRiffSize = m_pos - 8;
    } else {
        std::vector<uint8_t> head;
        Out h(head);
        h.Chunk("RIFF", static_cast<uint32_t>(m_pos - m_riffStart - 8));
        h.Cc("AVIX");
        h.Chunk("LIST", static_cast<uint32_t>(moviSize));
        if (!PatchAt(m_riffStart, head))
            return false;
    }
    m_riffOpen = false;
    m_entries.clear();
    // The headers follow every closed RIFF, so that a recording cut short by a crash keeps
    // every completed RIFF readable.
    return WriteHeader();
}

bool TDvAviWriter::AddFrame(std::span<const uint8_t> frame) {
    if (m_failed || m_finished || frame.empty() || frame.size() > 0x7FFFFFFF)
        return false;
    if (!m_begun && !Begin(DvStreamInfoOf(frame)))
        return false;
    const uint64_t chunk = 8 + frame.size() + (frame.size() & 1);
    if (m_riffOpen && !m_entries.empty()) {
        const uint64_t after = m_pos + chunk - m_riffStart + IndexBytes(m_entries.size() + 1);
        if (after > m_riffLimit) {
            // The super index has room for this many RIFFs; the file ends here, complete.
            if (m_super.size() + 2 > kSuperIndexEntries) {
                m_full = true;
                return false;
            }
            if (!CloseRiff())
                return false;
        }
    }
    if (!m_riffOpen && !OpenExtension())
        return false;
    uint8_t head[8];
    std::memcpy(head, kChunkId, 4);
    const uint32_t size = static_cast<uint32_t>(frame.size());
    for (int i = 0; i < 4; ++i)
        head[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    const uint64_t dataPos = m_pos + 8;
    if (!Put(head, 8) || !Put(frame.data(), frame.size()))
        return false;
    static const uint8_t pad = 0;
    if ((frame.size() & 1) && !Put(&pad, 1))
        return false;
    m_entries.push_back({static_cast<uint32_t>(dataPos - m_riffStart), size});
    m_maxChunk = std::max(m_maxChunk, size);
    ++m_frames;
    return true;
}

bool TDvAviWriter::Finish() {
    if (m_finished)
        return !m_failed;
    m_finished = true;
    if (m_failed)
        return false;
    if (!m_begun && !Begin(TDvStreamInfo{}))
        return false;
    if (m_riffOpen && !CloseRiff())
        return false;
    return true;
}

} // namespace avi
