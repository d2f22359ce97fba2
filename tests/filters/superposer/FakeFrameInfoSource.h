#pragma once

#include "dv/FrameInfoSource.h"

#include <array>

// A filled 100-slot ring as the DV scene detector keeps it, searched the same way.
class FakeFrameInfoSource : public IFrameInfoSource {
public:
    static constexpr int kSlots = 100;

    void store(const TDVFrameInfo& info, int64_t startTimeNs) {
        ringPos = (ringPos + 1) % kSlots;
        infos[ringPos] = info;
        times[ringPos] = startTimeNs;
    }

    int LookupFrameInfo(int64_t startTime, TDVFrameInfo& info) override {
        ++lookups;
        lastAsked = startTime;
        int pos = ringPos + 1;
        for (int i = 0; i < kSlots; ++i) {
            pos = pos == 0 ? kSlots - 1 : pos - 1;
            if (times[pos] <= startTime)
                break;
        }
        info = infos[pos];
        return pos;
    }
    void SetLookupPos(int slot) override { lookupPos = slot; }
    int LookupPos() const override { return lookupPos; }
    bool CopyHeader(int, uint8_t*) const override { return false; }

    std::array<TDVFrameInfo, kSlots> infos{};
    std::array<int64_t, kSlots> times{};
    int ringPos = 0;
    int lookupPos = -1;
    int lookups = 0;
    int64_t lastAsked = -1;
};
