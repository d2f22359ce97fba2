#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

inline constexpr int kGrabSlots = 20;

// The 20 snapshot slots with their busy handshake, and the intervalometer. Only the
// streaming thread sets a busy flag (after filling the slot); only the receiver of the
// "snapshot ready" notification clears it (release). Times are in 1/10000 s.
class GrabRing {
public:
    using Slot = std::shared_ptr<std::vector<uint8_t>>;

    struct Decision {
        int toFill[2] = {-1, -1};          // slots to fill on this frame, in order
        bool periodic[2] = {false, false}; // the intervalometer's, not a grab asked for
        int fillCount = 0;
        bool secondsChanged = false;
        int32_t seconds = 0;
    };

    // Sizes every slot for a stream; a slot's memory is made when it is first filled. A slot
    // still held by its receiver keeps its old memory (shared) until released.
    void resize(size_t bytesPerSlot);
    size_t slotBytes() const { return m_slotBytes; }

    void GrabImage() { m_grabRequested.store(true); }
    void StartIntervalometer(uint32_t interval);
    void stopIntervalometer() { m_intervalOn.store(false); }
    bool intervalOn() const { return m_intervalOn.load(); }
    void startStreaming();

    // Snapshot arithmetic of one frame starting at startTime (100-ns units).
    Decision decide(int64_t startTime);

    // Streaming thread: the memory of slot i, filled before markFilled(i).
    // null while the slots have no size.
    uint8_t* slotData(int i);
    Slot slot(int i) const { return m_slots[i]; }
    void markFilled(int i) { m_busy[i].store(true); }

    bool busy(int i) const { return i >= 0 && i < kGrabSlots && m_busy[i].load(); }
    void release(int i) {
        if (i >= 0 && i < kGrabSlots)
            m_busy[i].store(false);
    }
    int grabPos() const { return m_grabPos; }

private:
    std::array<Slot, kGrabSlots> m_slots;
    size_t m_slotBytes = 0;
    std::array<std::atomic<bool>, kGrabSlots> m_busy{};
    std::atomic<bool> m_grabRequested{false};
    std::atomic<bool> m_intervalOn{false};

    std::mutex m_mutex; // guards the intervalometer fields below
    int64_t m_intervalLength = 0;
    int64_t m_nextGrabTime = 0;
    int32_t m_secondsLeft = 0;

    int m_grabPos = 0; // streaming thread only
};
