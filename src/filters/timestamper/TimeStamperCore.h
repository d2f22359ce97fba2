#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

// Time stamps and media times of one sample, in 100-ns units.
struct StampedSample {
    bool hasStart = false;
    bool hasStop = false;
    int64_t start = 0;
    int64_t stop = 0;
    bool hasMediaTimes = false;
    int64_t mediaStart = 0;
    int64_t mediaStop = 0;
};

// Rewrites or removes the time stamps of every sample, numbers the samples in their media
// times, and withholds every sample while frozen. The mode and the frozen flag are atomics
// written from the UI thread; the rest belongs to the streaming thread.
class TimeStamperCore {
public:
    enum class Mode : uint8_t { Keep, Clock, Remove };

    static constexpr int64_t kClockLead = 200000;      // 20 ms
    static constexpr int64_t kDefaultDuration = 40000; // 4 ms

    void SetFrozen(bool frozen) { m_frozen.store(frozen); }
    bool frozen() const { return m_frozen.load(); }
    void UseClockTimes() { m_mode.store(Mode::Clock); }
    void KeepTimes() { m_mode.store(Mode::Keep); }
    void RemoveTimes() { m_mode.store(Mode::Remove); }
    void setMode(Mode mode) { m_mode.store(mode); }
    Mode mode() const { return m_mode.load(); }

    // One sample; false when it is withheld. streamTime is the clock's time since the run
    // started (100 ns), absent when there is no clock: clock mode then keeps the sample's
    // own stamps.
    bool Transform(StampedSample& sample, std::optional<int64_t> streamTime);
    // After each stop the sample count restarts.
    void Stop() { m_sampleCount = 0; }

    int32_t sampleCount() const { return m_sampleCount; }
    int64_t lastStart() const { return m_lastStart; }
    int64_t lastStop() const { return m_lastStop; }

private:
    std::atomic<bool> m_frozen{false};
    std::atomic<Mode> m_mode{Mode::Keep};
    int32_t m_sampleCount = 0;
    int64_t m_lastStart = 0;
    int64_t m_lastStop = 400000;
};
