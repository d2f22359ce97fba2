#include "PatchFrameRate.h"

#include <QFile>

#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxDepth = 8; // RIFF > LIST hdrl > LIST strl > strh is depth 3

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

bool Is(const uint8_t* p, const char* fourcc) {
    return std::memcmp(p, fourcc, 4) == 0;
}

struct Walker {
    const TAviReader& read;
    bool found = false;
    uint64_t offset = 0;

    // Chunks of [pos, end); end never lies beyond the file.
    void List(uint64_t pos, uint64_t end, int depth) {
        uint8_t head[12];
        while (pos + 8 <= end && read(pos, head, 8)) {
            const uint32_t size = Le32(head + 4);
            const uint64_t data = pos + 8;
            const uint64_t dataEnd = data + size;
            const uint64_t inner = std::min(dataEnd, end);
            if (Is(head, "RIFF") || Is(head, "LIST")) {
                if (size < 4 || data + 4 > end || !read(data, head + 8, 4))
                    return;
                // Only the lists that hold stream headers; movi holds media, not headers.
                const uint8_t* type = head + 8;
                if (depth < kMaxDepth && (Is(type, "AVI ") || Is(type, "hdrl") || Is(type, "strl")))
                    List(data + 4, inner, depth + 1);
            } else if (Is(head, "strh") && size >= 28 && data + 28 <= inner) {
                uint8_t type[4];
                if (read(data, type, 4) && (Is(type, "vids") || Is(type, "iavs"))) {
                    found = true;
                    offset = data + 20;
                }
            }
            if (dataEnd >= end)
                return;
            pos = dataEnd + (size & 1);
        }
    }
};

} // namespace

std::optional<TFrameRateFields> FrameRateFields(double fps) {
    if (!std::isfinite(fps) || fps <= 0)
        return std::nullopt;
    const double scale = std::round(1000000.0 / fps);
    if (!(scale >= 1.0) || scale > 4294967295.0)
        return std::nullopt;
    return TFrameRateFields{static_cast<uint32_t>(scale), 1000000};
}

TAviWalk FindVideoRateField(const TAviReader& read, uint64_t fileSize, uint64_t& offset) {
    uint8_t head[12];
    if (fileSize < 12 || !read(0, head, 12) || !Is(head, "RIFF") || !Is(head + 8, "AVI "))
        return TAviWalk::NotAvi;
    // Every top-level chunk: the headers sit in the first RIFF, AVIX extensions carry media.
    Walker w{read};
    w.List(0, fileSize, 0);
    if (!w.found)
        return TAviWalk::NoVideoStream;
    offset = w.offset;
    return TAviWalk::Found;
}

TPatchResult PatchFrameRate(const QString& file, double fps) {
    const auto fields = FrameRateFields(fps);
    if (!fields)
        return TPatchResult::InvalidRate;
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return TPatchResult::CannotOpen;
    const auto reader = [&f](uint64_t pos, void* data, size_t size) {
        return f.seek(static_cast<qint64>(pos)) &&
               f.read(static_cast<char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size);
    };
    uint64_t offset = 0;
    switch (FindVideoRateField(reader, static_cast<uint64_t>(f.size()), offset)) {
    case TAviWalk::NotAvi:
        return TPatchResult::NotAvi;
    case TAviWalk::NoVideoStream:
        return TPatchResult::NoVideoStream;
    case TAviWalk::Found:
        break;
    }
    uint8_t out[8];
    const uint32_t v[2] = {fields->dwScale, fields->dwRate};
    for (int i = 0; i < 2; ++i)
        for (int b = 0; b < 4; ++b)
            out[i * 4 + b] = static_cast<uint8_t>(v[i] >> (8 * b));
    if (!f.seek(static_cast<qint64>(offset)) ||
        f.write(reinterpret_cast<const char*>(out), 8) != 8 || !f.flush())
        return TPatchResult::WriteFailed;
    return TPatchResult::Patched;
}
