// The frame-rate rewrite of an image-by-image AVI: the RIFF walk that finds the video stream
// header, in memory, then the rewrite itself on a file of the same bytes. Input: the rate
// (8 bytes, a double) then the file.
#include "FuzzSupport.h"
#include "PatchFrameRate.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8 || size > (1 << 20))
        return 0;
    double fps;
    std::memcpy(&fps, data, 8);
    const QByteArray file = fuzz::Bytes(data + 8, size - 8);

    uint64_t reads = 0;
    const TAviReader read = [&](uint64_t pos, void* out, size_t n) {
        ++reads;
        if (pos > uint64_t(file.size()) || n > uint64_t(file.size()) - pos)
            return false;
        std::memcpy(out, file.constData() + pos, n);
        return true;
    };
    uint64_t offset = 0;
    const TAviWalk walk = FindVideoRateField(read, uint64_t(file.size()), offset);
    FUZZ_CHECK(reads <= 1u << 20);
    if (walk == TAviWalk::Found)
        FUZZ_CHECK(offset + 8 <= uint64_t(file.size()));

    const auto fields = FrameRateFields(fps);
    if (fields)
        FUZZ_CHECK(fields->dwScale >= 1 && fields->dwRate == 1000000);

    // The rewrite touches the 8 bytes of the rate and nothing else.
    const QString path = fuzz::WorkFile(QStringLiteral("images.avi"));
    FUZZ_CHECK(fuzz::WriteWhole(path, file));
    const TPatchResult result = PatchFrameRate(path, fps);
    const QByteArray after = fuzz::ReadWhole(path);
    FUZZ_CHECK(after.size() == file.size());
    if (result != TPatchResult::Patched) {
        FUZZ_CHECK(after == file);
        return 0;
    }
    FUZZ_CHECK(walk == TAviWalk::Found && fields);
    FUZZ_CHECK(after.left(qsizetype(offset)) == file.left(qsizetype(offset)));
    FUZZ_CHECK(after.mid(qsizetype(offset) + 8) == file.mid(qsizetype(offset) + 8));
    return 0;
}
