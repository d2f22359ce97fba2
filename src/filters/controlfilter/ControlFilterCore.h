#pragma once

#include <atomic>
#include <cstdint>

// A gate that lets exactly one sample through each time it is opened, and numbers and marks
// the samples it passes. The flags are atomics written by their owners from the UI thread;
// the media-time counter belongs to the streaming thread.
class ControlFilterCore {
public:
    struct Passed {
        bool pass = false;
        bool setMediaTimes = false;
        int64_t mediaStart = 0;
        int64_t mediaStop = 0;
        bool syncPoint = false;
        bool discontinuity = false;
    };

    void setGateOpen(bool open) { m_gateOpen.store(open); }
    bool gateOpen() const { return m_gateOpen.load(); }
    void SetNumberFrames(bool on) { m_numberFrames.store(on); }
    bool numberFrames() const { return m_numberFrames.load(); }
    void setMarkSyncPoint(bool on) { m_markSyncPoint.store(on); }
    bool markSyncPoint() const { return m_markSyncPoint.load(); }
    void setMarkDiscontinuity(bool on) { m_markDiscontinuity.store(on); }
    bool markDiscontinuity() const { return m_markDiscontinuity.load(); }
    void setNextMediaTime(int64_t t) { m_nextMediaTime.store(t); }
    int64_t nextMediaTime() const { return m_nextMediaTime.load(); }
    void setMediaTimeStep(int64_t step) { m_mediaTimeStep.store(step); }
    int64_t mediaTimeStep() const { return m_mediaTimeStep.load(); }

    // One sample: whether it passes and what to write on it. Closes the gate behind it.
    Passed Transform();
    // At each stop the gate re-opens, so the first sample after a restart passes.
    void Stop() { m_gateOpen.store(true); }

private:
    std::atomic<bool> m_gateOpen{true};
    std::atomic<bool> m_numberFrames{false};
    std::atomic<int64_t> m_nextMediaTime{0};
    std::atomic<int64_t> m_mediaTimeStep{1};
    std::atomic<bool> m_markSyncPoint{false};
    std::atomic<bool> m_markDiscontinuity{false};
};
