#include "StallWatch.h"

#include <algorithm>

bool TStallWatch::Tick(qint64 now, quint64 frames, bool watching, bool standing) {
    const State before = m_state;
    const bool moved = frames != m_frames;
    m_frames = frames;
    if (!watching || moved || standing) {
        if (m_state == State::Stalled)
            m_lost += stalledMs(now);
        m_lastFrameAt = now;
        m_state = !watching || moved ? State::Flowing : State::Standing;
    } else if (m_state != State::Stalled && now - m_lastFrameAt >= kStallMs) {
        m_state = State::Stalled;
    }
    return m_state != before;
}

qint64 TStallWatch::stalledMs(qint64 now) const {
    if (m_state != State::Stalled)
        return 0;
    return std::max<qint64>(0, now - std::max(m_lastFrameAt, m_countFrom));
}

void TStallWatch::ResetLost(qint64 now) {
    m_lost = 0;
    m_countFrom = now;
}
