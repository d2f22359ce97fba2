#include "AviFourcc.h"

#include "PatchFrameRate.h"

#include <QFile>

#include <cstring>

namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

bool PatchAviVideoFourcc(const QString& file, const char fourcc[4]) {
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    const uint64_t size = uint64_t(f.size());
    const TAviReader read = [&f, size](uint64_t pos, void* data, size_t n) {
        return pos + n <= size && f.seek(qint64(pos)) &&
               f.read(static_cast<char*>(data), qint64(n)) == qint64(n);
    };
    uint64_t scaleAt = 0;
    if (FindVideoRateField(read, size, scaleAt) != TAviWalk::Found || scaleAt < 28)
        return false;
    // strh data starts 20 bytes before dwScale; its chunk header 8 bytes before that.
    const uint64_t strhData = scaleAt - 20;
    uint8_t head[8];
    if (!read(strhData - 8, head, 8))
        return false;
    const uint32_t strhSize = Le32(head + 4);
    const uint64_t strf = strhData + strhSize + (strhSize & 1);
    uint8_t strfHead[8];
    // The bitmap header's compression field lies 16 bytes into the strf data.
    if (!read(strf, strfHead, 8) || std::memcmp(strfHead, "strf", 4) != 0 ||
        Le32(strfHead + 4) < 20 || strf + 8 + 20 > size)
        return false;
    return f.seek(qint64(strhData + 4)) && f.write(fourcc, 4) == 4 &&
           f.seek(qint64(strf + 8 + 16)) && f.write(fourcc, 4) == 4;
}
