#pragma once

#include <cstdint>
#include <vector>

// A DV frame with just enough structure for the writer: DIF header and subcode block ids in
// every sequence, the audio and video packs that go into DVINFO, and the frame's number in
// its payload.
inline std::vector<uint8_t> SyntheticDvFrame(uint32_t number, bool pal = true) {
    const int sequences = pal ? 12 : 10;
    std::vector<uint8_t> f(sequences * 12000, 0x55);
    for (int s = 0; s < sequences; ++s) {
        uint8_t* q = &f[s * 12000];
        q[0] = 0x1F, q[1] = uint8_t(0x07 | s << 4), q[2] = 0, q[3] = pal ? 0xBF : 0x3F;
        q[80] = 0x3F, q[81] = uint8_t(0x07 | s << 4), q[82] = 0;
        q[160] = 0x3F, q[161] = uint8_t(0x07 | s << 4), q[162] = 1;
    }
    auto pack = [&](int seq, size_t pos, uint8_t id, uint8_t tag) {
        uint8_t* p = &f[seq * 12000 + pos];
        p[0] = id, p[1] = tag, p[2] = uint8_t(tag + 1), p[3] = uint8_t(tag + 2),
        p[4] = uint8_t(tag + 3);
    };
    // Audio packs in audio blocks 3 and 4 (even sequences), video packs in block 5.
    pack(0, (6 + 16 * 3) * 80 + 3, 0x50, 0x10);
    pack(0, (6 + 16 * 4) * 80 + 3, 0x51, 0x20);
    pack(sequences / 2, (6 + 16 * 3) * 80 + 3, 0x50, 0x30);
    pack(sequences / 2, (6 + 16 * 4) * 80 + 3, 0x51, 0x40);
    pack(0, 5 * 80 + 3 + 9 * 5, 0x60, 0x50);
    pack(0, 5 * 80 + 3 + 10 * 5, 0x61, 0x60);
    for (int i = 0; i < 4; ++i)
        f[1000 + i] = uint8_t(number >> (8 * i));
    return f;
}

inline uint32_t SyntheticNumber(const uint8_t* frame) {
    return frame[1000] | frame[1001] << 8 | frame[1002] << 16 | uint32_t(frame[1003]) << 24;
}
