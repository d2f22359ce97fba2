#include "RecordingRepair.h"

#include "Log.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

// An AVI cut short (the program killed, the power lost) keeps its chunks but not what the
// writer adds at the end: the sizes of the RIFF and movi lists, the stream lengths, the
// indexes. The chunks are walked from the first movi list onwards, through the OpenDML
// extensions ('AVIX'), up to the last complete one; then the file is cut there, the index
// of the last RIFF is written after it ('ix##' per stream for OpenDML files, 'idx1' for the
// first RIFF) and the headers are rewritten from what was found.
namespace repair {

namespace {

constexpr int kMaxStreams = 100;                   // chunk ids carry two decimal digits
constexpr uint32_t kMaxHeaderBytes = 16u << 20;    // hdrl lists are a few kilobytes
constexpr uint64_t kMaxDroppedBytes = 64ull << 20; // more than a torn chunk: not a crash
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kIdx1KeyFrame = 0x10;
constexpr uint32_t kIxNotKey = 0x80000000u;

bool Is(const uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}
bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
bool IsLower(uint8_t c) {
    return c >= 'a' && c <= 'z';
}
// "00dc", "01wb": the stream number, else -1.
int DataStream(const uint8_t* id) {
    if (!IsDigit(id[0]) || !IsDigit(id[1]) || !IsLower(id[2]) || !IsLower(id[3]))
        return -1;
    return (id[0] - '0') * 10 + (id[1] - '0');
}
int IndexStream(const uint8_t* id) {
    if (id[0] != 'i' || id[1] != 'x' || !IsDigit(id[2]) || !IsDigit(id[3]))
        return -1;
    return (id[2] - '0') * 10 + (id[3] - '0');
}

struct TStream {
    uint64_t strhPos = 0; // of the strh data
    bool video = false;
    uint32_t sampleSize = 0;
    uint32_t codec = 0;           // strh handler, else the strf compression of a video stream
    uint32_t scale = 0, rate = 0; // strh: the stream's time base
    uint64_t strfPos = 0;         // of the strf data of a sound stream
    uint16_t formatTag = 0;       // its WAVEFORMATEX tag (0x55: MPEG layer 3)
    uint32_t sampleRate = 0, avgBytes = 0;
    uint64_t indxPos = 0;   // the 'indx' (or reserved 'JUNK') chunk of the stream, 0 if none
    uint32_t indxBytes = 0; // its data size
    bool indxIsJunk = false;
    uint64_t chunks = 0, bytes = 0;
};

struct TChunk {
    uint64_t pos; // of the chunk header
    uint32_t size;
    uint8_t id[4];
    int stream;
};

struct TFoundIndex {
    uint64_t pos;
    uint32_t size; // data size
    int stream;
    uint32_t entries; // nEntriesInUse as found
};

struct TRiff {
    uint64_t start = 0;
    uint64_t moviPos = 0;
    uint64_t dataEnd = 0; // after the last data chunk (and its pad byte)
    uint64_t end = 0;     // after the last complete item
    std::vector<TChunk> chunks;
    std::vector<TFoundIndex> ix;
    uint64_t idx1Pos = 0;
    uint32_t idx1Size = 0;
};

struct TPatch {
    uint64_t pos;
    std::vector<uint8_t> bytes;
    bool size = false; // a RIFF or movi size: the writer's last words on a finished file
};

class TAviRepair {
public:
    explicit TAviRepair(TFileAccess& file) : m_file(file) {}
    TRepairOutcome Run();

private:
    bool ReadHeaders();
    bool ReadHdrl(uint64_t pos, uint64_t end);
    bool ReadStrl(uint64_t pos, uint64_t end);
    bool WalkMovi();
    bool RestIsDroppable(uint64_t pos);
    bool RestIsZero(uint64_t pos);
    void ReadOldIndexes();
    bool IsKey(const TStream& s, const TChunk& c);
    std::vector<uint8_t> StdIndex(const TRiff& r, int stream, uint32_t capacity);
    uint32_t Duration(int stream, const TRiff& r) const;
    void PlanMpegAudioRate(int stream);
    bool Plan();
    bool Unchanged();
    bool Apply();

    TFileAccess& m_file;
    uint64_t m_avihPos = 0, m_dmlhPos = 0, m_firstMovi = 0;
    std::vector<TStream> m_streams;
    std::vector<TRiff> m_riffs;
    // What the indexes already written say of a chunk (by its data position): key frame?
    std::unordered_map<uint64_t, bool> m_known;

    bool m_odml = false;
    bool m_tail = false; // the last RIFF gets new indexes
    uint64_t m_cut = 0;  // where the file ends before the new indexes
    std::vector<uint8_t> m_tailBytes;
    std::vector<TPatch> m_patches;
};

bool TAviRepair::ReadHeaders() {
    uint64_t pos = 12;
    uint8_t h[12];
    for (int guard = 0; guard < 10000 && m_file.Read(pos, h, 12); ++guard) {
        const uint32_t size = Le32(h + 4);
        if (Is(h, "LIST") && Is(h + 8, "movi")) {
            m_firstMovi = pos;
            return m_avihPos != 0 && !m_streams.empty();
        }
        const uint64_t next = pos + 8 + size + (size & 1u);
        if (next > m_file.Size())
            return false;
        if (Is(h, "LIST") && Is(h + 8, "hdrl")) {
            if (size > kMaxHeaderBytes || !ReadHdrl(pos + 12, pos + 8 + size))
                return false;
        }
        pos = next;
    }
    return false;
}

bool TAviRepair::ReadHdrl(uint64_t pos, uint64_t end) {
    uint8_t h[12];
    while (pos + 8 <= end && m_file.Read(pos, h, 8)) {
        const uint32_t size = Le32(h + 4);
        if (pos + 8 + size > end)
            return false;
        if (Is(h, "avih") && size >= 56) {
            m_avihPos = pos + 8;
        } else if (Is(h, "LIST") && size >= 4 && m_file.Read(pos + 8, h + 8, 4)) {
            if (Is(h + 8, "strl")) {
                if (m_streams.size() >= kMaxStreams || !ReadStrl(pos + 12, pos + 8 + size))
                    return false;
            } else if (Is(h + 8, "odml")) {
                uint8_t d[8];
                if (size >= 12 && m_file.Read(pos + 12, d, 8) && Is(d, "dmlh") && Le32(d + 4) >= 4)
                    m_dmlhPos = pos + 20;
            }
        }
        pos += 8 + size + (size & 1u);
    }
    return true;
}

bool TAviRepair::ReadStrl(uint64_t pos, uint64_t end) {
    TStream s;
    uint8_t h[8];
    while (pos + 8 <= end && m_file.Read(pos, h, 8)) {
        const uint32_t size = Le32(h + 4);
        if (pos + 8 + size > end)
            return false;
        if (Is(h, "strh") && size >= 48) {
            uint8_t d[48];
            if (!m_file.Read(pos + 8, d, 48))
                return false;
            s.strhPos = pos + 8;
            s.video = Is(d, "vids") || Is(d, "iavs");
            s.codec = Le32(d + 4);
            s.scale = Le32(d + 20);
            s.rate = Le32(d + 24);
            s.sampleSize = Le32(d + 44);
        } else if (Is(h, "strf") && s.video && size >= 20) {
            uint8_t d[20];
            if (m_file.Read(pos + 8, d, 20))
                s.codec = Le32(d + 16);
        } else if (Is(h, "strf") && s.strhPos && !s.video && size >= 12) {
            uint8_t d[12];
            if (m_file.Read(pos + 8, d, 12)) {
                s.strfPos = pos + 8;
                s.formatTag = uint16_t(d[0] | (d[1] << 8));
                s.sampleRate = Le32(d + 4);
                s.avgBytes = Le32(d + 8);
            }
        } else if ((Is(h, "indx") || Is(h, "JUNK")) && size >= 24 + 16 && !s.indxPos) {
            s.indxPos = pos;
            s.indxBytes = size;
            s.indxIsJunk = Is(h, "JUNK");
        }
        pos += 8 + size + (size & 1u);
    }
    if (!s.strhPos)
        return false;
    m_streams.push_back(s);
    return true;
}

// Past the last complete chunk lies a torn chunk, or the zeros of blocks that were
// allocated but never written; anything else is not what a crash leaves.
bool TAviRepair::RestIsDroppable(uint64_t pos) {
    return m_file.Size() - pos <= kMaxDroppedBytes || RestIsZero(pos);
}

bool TAviRepair::RestIsZero(uint64_t pos) {
    std::vector<uint8_t> buf(1 << 16);
    for (uint64_t p = pos; p < m_file.Size(); p += buf.size()) {
        const uint64_t n = std::min<uint64_t>(buf.size(), m_file.Size() - p);
        if (!m_file.Read(p, buf.data(), n))
            return false;
        if (std::any_of(buf.begin(), buf.begin() + n, [](uint8_t b) { return b != 0; }))
            return false;
    }
    return true;
}

bool TAviRepair::WalkMovi() {
    TRiff riff;
    riff.moviPos = m_firstMovi;
    riff.dataEnd = riff.end = m_firstMovi + 12;
    uint64_t pos = m_firstMovi + 12;
    uint8_t h[24];
    const uint64_t size = m_file.Size();
    bool torn = false; // the walk ended on a chunk cut short
    // Every step moves forwards by at least 8 bytes: the walk ends.
    while (pos + 8 <= size && m_file.Read(pos, h, 8)) {
        const uint32_t len = Le32(h + 4);
        const uint64_t next = pos + 8 + len;
        // A chunk of odd size that ends the file may lack its pad byte: the repair puts it
        // back (the file grows by one byte), so that what follows stays word-aligned.
        const uint64_t itemEnd = next + (len & 1u);
        const uint64_t padded = std::min(itemEnd, size);
        const int data = DataStream(h);
        const int ix = IndexStream(h);
        if (data >= 0 || ix >= 0 || Is(h, "JUNK") || Is(h, "idx1")) {
            torn = next > size;
            if (torn || data >= int(m_streams.size()))
                break;
            if (data >= 0) {
                TChunk c{pos, len, {h[0], h[1], h[2], h[3]}, data};
                riff.chunks.push_back(c);
                riff.dataEnd = itemEnd;
            } else if (ix >= 0 && ix < int(m_streams.size()) && len >= 24) {
                uint8_t d[8];
                if (m_file.Read(pos + 8, d, 8))
                    riff.ix.push_back({pos, len, ix, Le32(d + 4)});
            } else if (Is(h, "idx1")) {
                riff.idx1Pos = pos;
                riff.idx1Size = len;
            }
            riff.end = itemEnd;
            pos = padded;
        } else if (Is(h, "LIST") && m_file.Read(pos + 8, h + 8, 4) && Is(h + 8, "rec ")) {
            pos += 12; // the chunks of a 'rec ' list are walked as if they were not grouped
            riff.end = pos;
        } else if (Is(h, "RIFF") && m_file.Read(pos, h, 24) && Is(h + 8, "AVIX") &&
                   Is(h + 12, "LIST") && Is(h + 20, "movi")) {
            m_riffs.push_back(std::move(riff));
            riff = TRiff{};
            riff.start = pos;
            riff.moviPos = pos + 12;
            riff.dataEnd = riff.end = pos + 24;
            pos += 24;
        } else {
            torn = pos + 24 > size && (Is(h, "RIFF") || Is(h, "LIST"));
            break;
        }
    }
    m_riffs.push_back(std::move(riff));
    // An extension cut before its first chunk is dropped with the bytes after it.
    while (m_riffs.size() > 1 && m_riffs.back().chunks.empty())
        m_riffs.pop_back();
    const TRiff& last = m_riffs.back();
    const uint64_t rest = std::min(last.end, size);
    if (last.chunks.empty() && !torn && !RestIsZero(rest))
        return false; // no chunk at all, then bytes that are not what a crash leaves
    return RestIsDroppable(rest);
}

void TAviRepair::ReadOldIndexes() {
    for (const TRiff& r : m_riffs) {
        for (const TFoundIndex& ix : r.ix) {
            std::vector<uint8_t> d(ix.size);
            if (!m_file.Read(ix.pos + 8, d.data(), d.size()) || Le16(d.data()) != 2 || d[3] != 1)
                continue;
            const uint64_t base = Le32(d.data() + 12) | (uint64_t(Le32(d.data() + 16)) << 32);
            const uint64_t n = std::min<uint64_t>(ix.entries, (ix.size - 24) / 8);
            for (uint64_t i = 0; i < n; ++i) {
                const uint8_t* e = d.data() + 24 + 8 * i;
                m_known[base + Le32(e)] = !(Le32(e + 4) & kIxNotKey);
            }
        }
        if (r.idx1Pos && r.idx1Size >= 16 && !r.chunks.empty()) {
            std::vector<uint8_t> d(r.idx1Size);
            if (!m_file.Read(r.idx1Pos + 8, d.data(), d.size()))
                continue;
            // Offsets from the 'movi' word, or from the file's start.
            const uint64_t first = r.chunks.front().pos;
            const uint64_t base = Le32(d.data() + 8) == first ? 0 : r.moviPos + 8;
            for (size_t i = 0; i + 16 <= d.size(); i += 16)
                m_known[base + Le32(d.data() + i + 8) + 8] =
                    (Le32(d.data() + i + 4) & kIdx1KeyFrame) != 0;
        }
    }
}

// Chunks no index speaks of: MPEG-4 part 2 and H.264 pictures say whether they are key
// frames; everything else (DV, MJPEG, raw, sound) is made of key frames only.
bool TAviRepair::IsKey(const TStream& s, const TChunk& c) {
    if (const auto it = m_known.find(c.pos + 8); it != m_known.end())
        return it->second;
    if (!s.video)
        return true;
    if (c.size == 0)
        return false;
    char cc[5] = {};
    std::memcpy(cc, &s.codec, 4);
    for (char& ch : cc)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::string codec(cc);
    const bool mpeg4 =
        codec == "XVID" || codec == "DX50" || codec == "DIVX" || codec == "FMP4" || codec == "MP4V";
    const bool h264 = codec == "H264" || codec == "X264" || codec == "AVC1";
    if (!mpeg4 && !h264)
        return true;
    uint8_t b[4096];
    const uint32_t n = std::min<uint32_t>(c.size, sizeof b);
    if (!m_file.Read(c.pos + 8, b, n))
        return true;
    for (uint32_t i = 0; i + 4 < n; ++i) {
        if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1)
            continue;
        if (mpeg4 && b[i + 3] == 0xB6)
            return (b[i + 4] >> 6) == 0; // I-VOP
        if (h264 && ((b[i + 3] & 0x1F) == 5 || (b[i + 3] & 0x1F) == 1))
            return (b[i + 3] & 0x1F) == 5; // IDR slice
    }
    return true;
}

// An 'ix##' chunk for the stream's chunks of r, offsets from the RIFF's start.
std::vector<uint8_t> TAviRepair::StdIndex(const TRiff& r, int stream, uint32_t capacity) {
    const TStream& s = m_streams[stream];
    std::vector<uint8_t> v;
    uint32_t count = 0;
    std::vector<uint8_t> entries;
    uint8_t id[4] = {'0', '0', 'd', 'c'};
    for (const TChunk& c : r.chunks) {
        if (c.stream != stream)
            continue;
        std::memcpy(id, c.id, 4);
        Put32(entries, static_cast<uint32_t>(c.pos + 8 - r.start));
        Put32(entries, c.size | (IsKey(s, c) ? 0 : kIxNotKey));
        ++count;
    }
    const uint32_t room = std::max(capacity, count);
    const char ixId[5] = {'i', 'x', char('0' + stream / 10), char('0' + stream % 10), 0};
    PutId(v, ixId);
    Put32(v, 24 + 8 * room);
    v.insert(v.end(), {2, 0, 0, 1}); // two longs per entry, an index of chunks
    Put32(v, count);
    v.insert(v.end(), id, id + 4);
    Put64(v, r.start);
    Put32(v, 0);
    v.insert(v.end(), entries.begin(), entries.end());
    v.resize(v.size() + 8 * (room - count), 0);
    return v;
}

uint32_t TAviRepair::Duration(int stream, const TRiff& r) const {
    const TStream& s = m_streams[stream];
    uint64_t chunks = 0, bytes = 0;
    for (const TChunk& c : r.chunks)
        if (c.stream == stream) {
            ++chunks;
            bytes += c.size;
        }
    return static_cast<uint32_t>(s.sampleSize ? bytes / s.sampleSize : chunks);
}

namespace {

// The bit rate of the first MPEG audio frame in data, in bytes per second (0: none found).
uint32_t MpegAudioBytesPerSecond(const uint8_t* data, size_t size) {
    static const uint16_t kLayer3[2][15] = {
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static const uint16_t kLayer2[2][15] = {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    for (size_t i = 0; i + 4 <= size; ++i) {
        if (data[i] != 0xFF || (data[i + 1] & 0xE0) != 0xE0)
            continue;
        const int version = (data[i + 1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const int layer = (data[i + 1] >> 1) & 3;   // 1: III, 2: II
        const int index = (data[i + 2] >> 4) & 15;
        if (version == 1 || (layer != 1 && layer != 2) || index == 0 || index == 15)
            continue;
        const int table = version == 3 ? 0 : 1;
        const uint32_t kbps = layer == 1 ? kLayer3[table][index] : kLayer2[table][index];
        return kbps * 1000 / 8;
    }
    return 0;
}

} // namespace

// An MPEG audio stream counted in bytes gets its time base from its writer's end: until then
// the header says 0 bytes a second, and players take another time base (a picture's) for
// its frames, which spreads a few seconds of sound over an hour. The rate is read from the
// stream's first frame, as the writer would have written it.
void TAviRepair::PlanMpegAudioRate(int stream) {
    const TStream& st = m_streams[stream];
    if (st.video || !st.strfPos || (st.formatTag != 0x55 && st.formatTag != 0x50) ||
        st.sampleSize != 1 || (st.rate != 0 && st.avgBytes != 0))
        return;
    const TChunk* first = nullptr;
    for (const TRiff& r : m_riffs) {
        for (const TChunk& c : r.chunks)
            if (c.stream == stream && c.size > 0) {
                first = &c;
                break;
            }
        if (first)
            break;
    }
    if (!first)
        return;
    uint8_t data[256];
    const size_t size = std::min<size_t>(first->size, sizeof data);
    if (!m_file.Read(first->pos + 8, data, size))
        return;
    const uint32_t bytesPerSecond = MpegAudioBytesPerSecond(data, size);
    if (!bytesPerSecond)
        return;
    std::vector<uint8_t> v;
    Put32(v, 1);
    Put32(v, bytesPerSecond);
    m_patches.push_back({st.strhPos + 20, v}); // scale, rate
    v.clear();
    Put32(v, bytesPerSecond);
    m_patches.push_back({st.strfPos + 8, v}); // nAvgBytesPerSec
}

bool TAviRepair::Plan() {
    const size_t n = m_streams.size();
    for (TRiff& r : m_riffs)
        for (const TChunk& c : r.chunks) {
            m_streams[c.stream].chunks++;
            m_streams[c.stream].bytes += c.size;
        }
    const bool anyIndx = std::any_of(m_streams.begin(), m_streams.end(),
                                     [](const TStream& s) { return s.indxPos && !s.indxIsJunk; });
    const bool canIndx = std::all_of(m_streams.begin(), m_streams.end(),
                                     [](const TStream& s) { return s.indxPos != 0; });
    m_odml = anyIndx || (m_riffs.size() > 1 && canIndx);

    TRiff& last = m_riffs.back();
    const bool first = m_riffs.size() == 1;
    // Which indexes of the last RIFF are there already, whole?
    std::vector<uint64_t> counts(n, 0);
    for (const TChunk& c : last.chunks)
        counts[c.stream]++;
    bool complete = !first || (last.idx1Pos && last.idx1Size / 16 == last.chunks.size());
    if (m_odml)
        for (size_t s = 0; s < n; ++s) {
            if (!counts[s])
                continue;
            const auto it = std::find_if(last.ix.begin(), last.ix.end(),
                                         [&](const TFoundIndex& f) { return f.stream == int(s); });
            complete = complete && it != last.ix.end() && it->entries == counts[s];
        }
    m_tail = !complete;
    m_cut = m_tail ? last.dataEnd : last.end;
    if (m_cut - last.start > 0xFFFFFFF0ull)
        return false;

    ReadOldIndexes();
    // Indexes of the earlier RIFFs: written whole when their RIFF was closed; rewritten in
    // their place when they do not count the chunks found.
    std::vector<std::vector<std::pair<const TRiff*, uint64_t>>> ixOf(n);
    std::vector<std::vector<uint32_t>> ixSize(n);
    for (TRiff& r : m_riffs) {
        const bool isLast = &r == &last;
        for (size_t s = 0; s < n && m_odml; ++s) {
            uint64_t count = 0;
            for (const TChunk& c : r.chunks)
                count += c.stream == int(s);
            if (!count || (isLast && m_tail))
                continue;
            const auto it = std::find_if(r.ix.begin(), r.ix.end(),
                                         [&](const TFoundIndex& f) { return f.stream == int(s); });
            if (it == r.ix.end() || (it->size - 24) / 8 < count || (it->size - 24) % 8) {
                qCWarning(lcVidorra) << "AVI repair: a RIFF without the index of stream" << s;
                continue;
            }
            if (it->entries != count)
                m_patches.push_back({it->pos, StdIndex(r, int(s), (it->size - 24) / 8)});
            ixOf[s].push_back({&r, it->pos});
            ixSize[s].push_back(it->size + 8);
        }
    }
    // The new tail: the standard indexes of the last RIFF, then the legacy index when the
    // last RIFF is the first.
    if (m_tail) {
        for (size_t s = 0; s < n && m_odml; ++s) {
            if (!counts[s])
                continue;
            const uint64_t at = m_cut + m_tailBytes.size();
            const std::vector<uint8_t> ix = StdIndex(last, int(s), 0);
            ixOf[s].push_back({&last, at});
            ixSize[s].push_back(static_cast<uint32_t>(ix.size()));
            m_tailBytes.insert(m_tailBytes.end(), ix.begin(), ix.end());
        }
        const uint64_t moviEnd = m_cut + m_tailBytes.size();
        if (first) {
            PutId(m_tailBytes, "idx1");
            Put32(m_tailBytes, static_cast<uint32_t>(16 * last.chunks.size()));
            for (const TChunk& c : last.chunks) {
                m_tailBytes.insert(m_tailBytes.end(), c.id, c.id + 4);
                Put32(m_tailBytes, IsKey(m_streams[c.stream], c) ? kIdx1KeyFrame : 0);
                Put32(m_tailBytes, static_cast<uint32_t>(c.pos - (last.moviPos + 8)));
                Put32(m_tailBytes, c.size);
            }
        }
        last.idx1Pos = first ? moviEnd : 0;
        last.end = m_cut + m_tailBytes.size();
    }
    // Sizes of every RIFF and movi list.
    for (size_t k = 0; k < m_riffs.size(); ++k) {
        TRiff& r = m_riffs[k];
        const uint64_t riffEnd = k + 1 < m_riffs.size() ? m_riffs[k + 1].start : last.end;
        const uint64_t moviEnd = r.idx1Pos ? r.idx1Pos : riffEnd;
        if (riffEnd - r.start - 8 > 0xFFFFFFFFull)
            return false;
        std::vector<uint8_t> v;
        Put32(v, static_cast<uint32_t>(riffEnd - r.start - 8));
        m_patches.push_back({r.start + 4, v, true});
        v.clear();
        Put32(v, static_cast<uint32_t>(moviEnd - r.moviPos - 8));
        m_patches.push_back({r.moviPos + 4, v, true});
    }
    // Stream lengths, frame counts (the main header counts the first RIFF only).
    int video = -1;
    for (size_t s = 0; s < n; ++s) {
        if (m_streams[s].video && video < 0)
            video = int(s);
        std::vector<uint8_t> v;
        const TStream& st = m_streams[s];
        Put32(v, static_cast<uint32_t>(std::min<uint64_t>(
                     st.sampleSize ? st.bytes / st.sampleSize : st.chunks, 0xFFFFFFFFu)));
        m_patches.push_back({st.strhPos + 32, v});
        PlanMpegAudioRate(int(s));
    }
    if (video >= 0) {
        uint64_t firstFrames = 0;
        for (const TChunk& c : m_riffs.front().chunks)
            firstFrames += c.stream == video;
        std::vector<uint8_t> v;
        Put32(v, static_cast<uint32_t>(firstFrames));
        m_patches.push_back({m_avihPos + 16, v});
        if (m_dmlhPos) {
            v.clear();
            Put32(v,
                  static_cast<uint32_t>(std::min<uint64_t>(m_streams[video].chunks, 0xFFFFFFFFu)));
            m_patches.push_back({m_dmlhPos, v});
        }
    }
    uint8_t flags[4];
    if (!m_file.Read(m_avihPos + 12, flags, 4))
        return false;
    std::vector<uint8_t> f;
    Put32(f, Le32(flags) | kAvifHasIndex);
    m_patches.push_back({m_avihPos + 12, f});
    // Super indexes, in the room the writer kept for them.
    for (size_t s = 0; s < n && m_odml; ++s) {
        const TStream& st = m_streams[s];
        if (!st.indxPos)
            continue;
        const uint32_t capacity = (st.indxBytes - 24) / 16;
        std::vector<uint8_t> v;
        PutId(v, "indx");
        Put32(v, st.indxBytes);
        const uint32_t used = std::min<uint32_t>(capacity, uint32_t(ixOf[s].size()));
        if (used < ixOf[s].size())
            qCWarning(lcVidorra) << "AVI repair: the super index holds" << capacity << "RIFFs";
        v.insert(v.end(), {4, 0, 0, 0});
        Put32(v, used);
        std::vector<uint8_t> id;
        for (const TRiff& r : m_riffs)
            for (const TChunk& c : r.chunks)
                if (c.stream == int(s) && id.empty())
                    id.assign(c.id, c.id + 4);
        if (id.empty()) {
            uint8_t old[4];
            if (!m_file.Read(st.indxPos + 16, old, 4))
                return false;
            id.assign(old, old + 4);
        }
        v.insert(v.end(), id.begin(), id.end());
        v.resize(v.size() + 12, 0);
        for (uint32_t i = 0; i < used; ++i) {
            Put64(v, ixOf[s][i].second);
            Put32(v, ixSize[s][i]);
            Put32(v, Duration(int(s), *ixOf[s][i].first));
        }
        v.resize(8 + st.indxBytes, 0);
        m_patches.push_back({st.indxPos, v});
    }
    return true;
}

// A file whose indexes and list sizes are all in place was finished by its writer: its
// lengths and counts are the writer's own (avimux rounds the sound length) and stay.
bool TAviRepair::Unchanged() {
    if (m_tail || m_cut != m_file.Size())
        return false;
    for (const TPatch& p : m_patches) {
        if (!p.size)
            continue;
        std::vector<uint8_t> now(p.bytes.size());
        if (!m_file.Read(p.pos, now.data(), now.size()) || now != p.bytes)
            return false;
    }
    return true;
}

bool TAviRepair::Apply() {
    if (!m_file.OpenWrite() || !m_file.Truncate(m_cut))
        return false;
    if (!m_tailBytes.empty() && !m_file.Write(m_cut, m_tailBytes.data(), m_tailBytes.size()))
        return false;
    // The headers last: a repair cut short by another crash is done again at the next start.
    if (!m_file.Sync())
        return false;
    for (const TPatch& p : m_patches)
        if (!m_file.Write(p.pos, p.bytes.data(), p.bytes.size()))
            return false;
    return m_file.Sync();
}

TRepairOutcome TAviRepair::Run() {
    if (!ReadHeaders() || !WalkMovi() || !Plan())
        return TRepairOutcome::Failed;
    if (Unchanged())
        return TRepairOutcome::Intact;
    if (!Apply())
        return TRepairOutcome::Failed;
    qCInfo(lcVidorra) << "AVI recording repaired:" << m_riffs.size() << "RIFF(s),"
                      << (m_streams.empty() ? 0 : m_streams.front().chunks) << "chunks";
    return TRepairOutcome::Repaired;
}

} // namespace

TRepairOutcome RepairAvi(TFileAccess& file) {
    return TAviRepair(file).Run();
}

} // namespace repair
