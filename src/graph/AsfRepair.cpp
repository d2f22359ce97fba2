// ASF files are written as a stream (broadcast flag set, no size, no duration), so that a
// file cut short plays up to its last packet. Once the file is finished, or found unfinished
// at the next start, its file properties get the real size, packet count and duration
// (taken from the presentation times of the last packets), and the broadcast flag is
// cleared: players then show the length of the recording.
#include "RecordingRepair.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace repair {
namespace {

constexpr uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                             0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

constexpr uint64_t kMaxHeader = 16 * 1024 * 1024;
constexpr uint64_t kDataHeaderSize = 50;
constexpr uint32_t kBroadcastFlag = 0x01;
constexpr int kPacketsScanned = 512;

uint64_t Le64(const uint8_t* p) {
    return Le32(p) | (uint64_t(Le32(p + 4)) << 32);
}

void Set32(uint8_t* p, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(x >> (8 * i));
}

void Set64(uint8_t* p, uint64_t x) {
    Set32(p, static_cast<uint32_t>(x));
    Set32(p + 4, static_cast<uint32_t>(x >> 32));
}

// A bounded reader over one data packet.
class PacketReader {
public:
    PacketReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool ok() const { return m_ok; }
    size_t pos() const { return m_pos; }
    void skip(uint64_t n) {
        if (n > m_size - m_pos) {
            m_ok = false;
            m_pos = m_size;
        } else {
            m_pos += static_cast<size_t>(n);
        }
    }
    uint32_t byType(int type) { // the 0/1/2/4-byte fields of the length type flags
        static constexpr int kBytes[4] = {0, 1, 2, 4};
        return take(kBytes[type & 3]);
    }
    uint32_t take(int bytes) {
        if (size_t(bytes) > m_size - m_pos) {
            m_ok = false;
            m_pos = m_size;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint32_t(m_data[m_pos + i]) << (8 * i);
        m_pos += bytes;
        return v;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

// The latest (or earliest) presentation time of each stream in a packet, and the shortest
// step between two of its times (the length of one frame), merged into `last` and `step`.
void ScanPacket(const uint8_t* data, size_t size, std::map<int, uint32_t>& last,
                std::map<int, uint32_t>& step, bool earliest) {
    PacketReader r(data, size);
    uint32_t flags = r.take(1);
    if (flags & 0x80) { // error correction data
        r.skip(flags & 0x0F);
        flags = r.take(1);
    }
    const uint32_t property = r.take(1);
    const uint32_t packetLength = r.byType(flags >> 5);
    r.byType(flags >> 1); // sequence
    const uint32_t padding = r.byType(flags >> 3);
    r.skip(6); // send time, duration
    if (!r.ok())
        return;
    const bool multiple = flags & 0x01;
    const size_t end = packetLength > 0 && packetLength <= size ? packetLength : size;
    int count = 1;
    int payloadLengthType = 0;
    if (multiple) {
        const uint32_t payloadFlags = r.take(1);
        count = payloadFlags & 0x3F;
        payloadLengthType = int(payloadFlags >> 6);
    }
    auto note = [&](int stream, uint32_t time) {
        auto it = last.find(stream);
        if (it == last.end()) {
            last[stream] = time;
            return;
        }
        if (time != it->second) {
            const uint32_t gap = time > it->second ? time - it->second : it->second - time;
            auto s = step.find(stream);
            if (s == step.end() || gap < s->second)
                step[stream] = gap;
        }
        it->second = earliest ? std::min(it->second, time) : std::max(it->second, time);
    };
    for (int i = 0; i < count && r.ok(); ++i) {
        const int stream = int(r.take(1) & 0x7F);
        r.byType(int(property >> 4)); // media object number
        const uint32_t offset = r.byType(int(property >> 2));
        const uint32_t replicated = r.byType(int(property));
        if (!r.ok())
            return;
        const size_t replicatedAt = r.pos();
        r.skip(replicated);
        if (!r.ok())
            return;
        uint64_t length = 0;
        if (multiple) {
            length = r.byType(payloadLengthType);
        } else {
            const uint64_t used = uint64_t(r.pos()) + padding;
            if (used > end)
                return;
            length = end - used;
        }
        if (!r.ok())
            return;
        if (replicated >= 8) {
            note(stream, Le32(data + replicatedAt + 4));
        } else if (replicated == 1) {
            // Compressed payload: the offset field holds the time, the replicated byte the
            // step between the sub-payloads that follow.
            const uint32_t delta = data[replicatedAt];
            const size_t stop = std::min<uint64_t>(r.pos() + length, size);
            size_t at = r.pos();
            uint32_t time = offset;
            while (at < stop) {
                note(stream, time);
                at += 1 + size_t(data[at]);
                time += delta;
            }
        }
        r.skip(length);
    }
}

// A packet whose length field counts only its payloads while its padding fills the rest (the
// writer's last packet): readers take the padding for a fault and drop the packet. The field
// is set to the full size; false when the packet needs nothing.
bool MendShortPacket(uint8_t* data, size_t size) {
    PacketReader r(data, size);
    uint32_t flags = r.take(1);
    if (flags & 0x80) {
        r.skip(flags & 0x0F);
        flags = r.take(1);
    }
    r.take(1);
    const size_t lengthAt = r.pos();
    const int lengthType = int(flags >> 5) & 3;
    const uint32_t length = r.byType(lengthType);
    r.byType(int(flags >> 1));
    const uint32_t padding = r.byType(int(flags >> 3));
    if (!r.ok() || lengthType == 0 || length == 0 || length >= size ||
        uint64_t(length) + padding != size || padding < length)
        return false;
    if (lengthType == 1 && size > 0xFF)
        return false;
    if (lengthType == 2 && size > 0xFFFF)
        return false;
    for (int i = 0, n = lengthType == 3 ? 4 : lengthType; i < n; ++i)
        data[lengthAt + i] = static_cast<uint8_t>(size >> (8 * i));
    return true;
}

} // namespace

TRepairOutcome RepairAsf(TFileAccess& file) {
    const uint64_t fileSize = file.Size();
    uint8_t top[30];
    if (!file.Read(0, top, sizeof top) || std::memcmp(top, kHeaderGuid, 16) != 0)
        return TRepairOutcome::NotRecognised;
    const uint64_t headerSize = Le64(top + 16);
    if (headerSize < 30 || headerSize > kMaxHeader || headerSize + kDataHeaderSize > fileSize)
        return TRepairOutcome::Failed;
    std::vector<uint8_t> header(static_cast<size_t>(headerSize));
    if (!file.Read(0, header.data(), header.size()))
        return TRepairOutcome::Failed;

    // The file properties object among the header's objects.
    size_t properties = 0;
    for (size_t at = 30; at + 24 <= header.size();) {
        const uint64_t size = Le64(header.data() + at + 16);
        if (size < 24 || size > header.size() - at)
            break;
        if (std::memcmp(header.data() + at, kFilePropertiesGuid, 16) == 0 && size >= 104) {
            properties = at;
            break;
        }
        at += static_cast<size_t>(size);
    }
    if (properties == 0)
        return TRepairOutcome::Failed;
    uint8_t* fields = header.data() + properties + 24;
    // File ID 0, file size 16, creation 24, packets 32, play 40, send 48, preroll 56,
    // flags 64, minimum packet size 68, maximum packet size 72.
    const uint64_t preroll = Le64(fields + 56);
    const uint32_t flags = Le32(fields + 64);
    const uint32_t packetSize = Le32(fields + 72);
    if (packetSize == 0 || packetSize != Le32(fields + 68) || packetSize > (1u << 20))
        return TRepairOutcome::Failed;

    uint8_t data[kDataHeaderSize];
    if (!file.Read(headerSize, data, sizeof data) || std::memcmp(data, kDataGuid, 16) != 0)
        return TRepairOutcome::Failed;
    const uint64_t firstPacket = headerSize + kDataHeaderSize;
    const uint64_t packets = (fileSize - firstPacket) / packetSize;
    if (!(flags & kBroadcastFlag) && Le64(fields + 16) == fileSize && Le64(fields + 32) == packets)
        return TRepairOutcome::Intact;
    if (packets == 0)
        return TRepairOutcome::Failed;

    std::map<int, uint32_t> last;
    std::map<int, uint32_t> step;
    std::vector<uint8_t> packet(packetSize);
    std::vector<uint8_t> lastPacket(packetSize);
    const uint64_t lastAt = firstPacket + (packets - 1) * packetSize;
    const bool mendLast = file.Read(lastAt, lastPacket.data(), packetSize) &&
                          MendShortPacket(lastPacket.data(), packetSize);
    // The start: the earliest time of the first packets (the writer's preroll, unless the
    // times were not brought back to 0).
    std::map<int, uint32_t> first;
    std::map<int, uint32_t> unused;
    for (uint64_t i = 0; i < std::min<uint64_t>(packets, 16); ++i)
        if (file.Read(firstPacket + i * packetSize, packet.data(), packetSize))
            ScanPacket(packet.data(), packetSize, first, unused, true);
    const uint64_t scanned = std::min<uint64_t>(packets, kPacketsScanned);
    for (uint64_t i = packets - scanned; i < packets; ++i)
        if (file.Read(firstPacket + i * packetSize, packet.data(), packetSize))
            ScanPacket(packet.data(), packetSize, last, step, false);
    if (last.empty() || first.empty())
        return TRepairOutcome::Failed;
    uint64_t startMs = UINT32_MAX;
    for (const auto& [stream, time] : first)
        startMs = std::min<uint64_t>(startMs, time);
    // The end of the recording: the last time of each stream plus one of its frames.
    uint64_t endMs = 0;
    for (const auto& [stream, time] : last) {
        const auto s = step.find(stream);
        const uint32_t frame = s == step.end() ? 0 : std::min<uint32_t>(s->second, 1000);
        endMs = std::max<uint64_t>(endMs, uint64_t(time) + frame);
    }
    if (endMs <= startMs)
        return TRepairOutcome::Failed;
    const uint64_t durationMs = endMs - startMs;

    Set64(fields + 16, fileSize);
    Set64(fields + 32, packets);
    Set64(fields + 40, (durationMs + preroll) * 10000); // play duration includes the preroll
    Set64(fields + 48, durationMs * 10000);             // send duration
    Set32(fields + 64, flags & ~kBroadcastFlag);
    Set64(data + 16, kDataHeaderSize + packets * packetSize);
    Set64(data + 40, packets);
    if (!file.OpenWrite() || !file.Write(properties + 24, fields, 80) ||
        !file.Write(headerSize, data, sizeof data) ||
        (mendLast && !file.Write(lastAt, lastPacket.data(), packetSize)) || !file.Sync())
        return TRepairOutcome::Failed;
    return TRepairOutcome::Repaired;
}

} // namespace repair
