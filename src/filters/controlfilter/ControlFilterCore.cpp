#include "ControlFilterCore.h"

namespace {

// Absurd values wrap instead of overflowing.
int64_t wrapAdd(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) + uint64_t(b));
}

} // namespace

ControlFilterCore::Passed ControlFilterCore::Transform() {
    Passed p;
    // Taking the gate and closing it is one step, so that opening it twice (or while a
    // sample is passing) still lets one sample through.
    if (!m_gateOpen.exchange(false))
        return p;
    p.pass = true;
    if (m_numberFrames.load()) {
        const int64_t step = m_mediaTimeStep.load();
        p.setMediaTimes = true;
        p.mediaStart = m_nextMediaTime.load();
        p.mediaStop = wrapAdd(p.mediaStart, step);
        m_nextMediaTime.store(p.mediaStop);
    }
    p.syncPoint = m_markSyncPoint.load();
    p.discontinuity = m_markDiscontinuity.load();
    return p;
}
