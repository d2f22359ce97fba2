// Built with AddressSanitizer and UndefinedBehaviorSanitizer: every frame is an exact-size
// heap block, so any read or write past its end stops the test.
#include "DVPackWriter.h"
#include "DVPacks.h"
#include "FrameRings.h"
#include "SceneRule.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace dv;

namespace {

std::unique_ptr<uint8_t[]> Exact(const std::vector<uint8_t>& bytes) {
    auto p = std::make_unique<uint8_t[]>(bytes.size() ? bytes.size() : 1);
    std::copy(bytes.begin(), bytes.end(), p.get());
    return p;
}

void Feed(TSceneRule& rule, TFrameRings& rings, const std::vector<uint8_t>& bytes) {
    auto block = Exact(bytes);
    const std::span<const uint8_t> frame(block.get(), bytes.size());
    rule.ProcessFrame(frame);
    rings.Store(rule.Current(), frame, 0);
    std::span<uint8_t> writable(block.get(), bytes.size());
    FramePacks packs;
    packs.recDate = 45000.0;
    packs.timecode = Timecode{1, 2, 3, 4};
    packs.displayFormat = 2;
    packs.applicationId = 1;
    PatchFrame(writable, packs);
}

} // namespace

TEST(DamagedFrames, NoSizeIsReadOutOfBounds) {
    TSceneRule rule;
    TFrameRings rings;
    FramePacks packs;
    packs.recDate = 45000.5;
    packs.timecode = Timecode{0, 0, 0, 1};
    packs.displayFormat = 2;
    const auto good = MakeHandBuiltFrame(true, packs);
    const size_t sizes[] = {0,     1,     3,      4,      110,    190,    191,   453,
                            455,   456,   467,    468,    4323,   4327,   4328,  11999,
                            12000, 12001, 119999, 120000, 120001, 144000, 143999};
    for (size_t size : sizes) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + std::min(size, good.size()));
        truncated.resize(size, 0x62);
        Feed(rule, rings, truncated);
    }
    TDVFrameInfo info;
    rings.LookupFrameInfo(0, info);
    uint8_t header[kRingHeaderBytes];
    EXPECT_TRUE(rings.CopyHeader(rings.RingPos(), header));
}

TEST(DamagedFrames, RandomBytesOfRandomLengths) {
    std::mt19937 rng(1234);
    TSceneRule rule;
    TFrameRings rings;
    for (int i = 0; i < 300; ++i) {
        const size_t size = i % 3 == 0 ? 144000 : rng() % 150000;
        std::vector<uint8_t> bytes(size);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
        // Pack ids in place, so the decoders run on random data rather than stopping early.
        for (size_t s = 0; s + kSequenceSize <= size; s += kSequenceSize) {
            bytes[s + kPosTimecodeId1] = bytes[s + kPosTimecodeId2] = kPackTimecode;
            bytes[s + kPosDateId] = kPackRecDate;
            bytes[s + kPosTimeId] = kPackRecTime;
            bytes[s + kPosSourceControlId] = kPackSourceControl;
            bytes[s + kPosAudioSourceId] = kPackAudioSource;
        }
        Feed(rule, rings, bytes);
    }
    // Twelve full sequences and more: only the first ten are read.
    std::vector<uint8_t> longFrame(14 * kSequenceSize, 0xFF);
    Feed(rule, rings, longFrame);
    SUCCEED();
}
