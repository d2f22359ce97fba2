#pragma once

#include "DVFrameInfo.h"
#include "DVPacks.h"
#include "FrameInfoSource.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

// The last 100 frames' metadata and header bytes, each with the frame's stream start time.
// Written by the detector's streaming thread, read by the overlay, the DV header and the UI
// thread; m_lock guards the slots and m_ringPos (held for one slot copy at most).
class TFrameRings final : public IFrameInfoSource {
public:
    static constexpr int kSlots = 100;

    // Stores the next slot: RingPos advances, then the slot takes the record, the 480 header
    // bytes of sequences 0..9 and the start time (nanoseconds).
    void Store(const TDVFrameInfo& info, std::span<const uint8_t> frame, int64_t startTime);
    // Stop: RingPos and LookupPos return to 0 and the slots are forgotten.
    void Reset();

    int RingPos() const;
    // The newest record (the detector's current frame); false before the first frame.
    bool Newest(TDVFrameInfo& info) const;

    int LookupFrameInfo(int64_t startTime, TDVFrameInfo& info) override;
    void SetLookupPos(int slot) override;
    int LookupPos() const override;
    bool CopyHeader(int slot, uint8_t* dst4800) const override;

private:
    struct HeaderSlot {
        uint8_t bytes[dv::kRingHeaderBytes];
        int64_t startTime;
    };
    mutable std::mutex m_lock;
    std::array<TDVFrameInfo, kSlots> m_frameInfoRing{};
    std::array<HeaderSlot, kSlots> m_headerRing{};
    std::array<bool, kSlots> m_filled{};
    int m_ringPos = 0;
    std::atomic<int> m_lookupPos{0};
};
