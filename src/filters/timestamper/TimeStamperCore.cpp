#include "TimeStamperCore.h"

namespace {

// Absurd stamps wrap instead of overflowing.
int64_t wrapAdd(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) + uint64_t(b));
}

} // namespace

bool TimeStamperCore::Transform(StampedSample& s, std::optional<int64_t> streamTime) {
    if (m_frozen.load())
        return false;

    int64_t duration = kDefaultDuration;
    if (s.hasStart) {
        m_lastStart = s.start;
        if (s.hasStop) {
            m_lastStop = s.stop;
            duration = wrapAdd(s.stop, -s.start);
        } else {
            m_lastStop = wrapAdd(s.start, 1);
        }
    }

    m_sampleCount = static_cast<int32_t>(static_cast<uint32_t>(m_sampleCount) + 1u);
    s.hasMediaTimes = true;
    s.mediaStart = m_sampleCount;
    s.mediaStop = int64_t(m_sampleCount) + 1;

    switch (m_mode.load()) {
    case Mode::Remove:
        m_lastStart = m_lastStop = 0;
        s.hasStart = s.hasStop = false;
        s.hasMediaTimes = false;
        break;
    case Mode::Clock:
        if (streamTime) {
            m_lastStart = wrapAdd(*streamTime, kClockLead);
            m_lastStop = wrapAdd(m_lastStart, duration);
            s.hasStart = s.hasStop = true;
            s.start = m_lastStart;
            s.stop = m_lastStop;
        }
        break;
    case Mode::Keep:
        break;
    }
    return true;
}
