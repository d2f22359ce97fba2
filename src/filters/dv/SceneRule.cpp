#include "SceneRule.h"

#include "DVPacks.h"

#include <cmath>

TSceneRule::Result TSceneRule::ProcessFrame(std::span<const uint8_t> frame) {
    Result r;
    m_previous = m_current;
    dv::AnalyzeFrame(frame, m_current);
    m_current.FrameNumber64 = m_current.FrameNumber;
    r.widescreenChanged = m_current.Widescreen != m_previous.Widescreen;

    const bool valid = m_current.DateValid, prevValid = m_previous.DateValid;
    if (!valid && prevValid) {
        r.sceneChange = m_current.FrameNumber > 0;
    } else if (valid && !prevValid) {
        const int64_t gap = static_cast<int64_t>(m_current.FrameNumber) -
                            static_cast<int64_t>(m_sceneStart.FrameNumber);
        r.sceneChange = (gap < 0 ? -gap : gap) > static_cast<int64_t>(GapFrames);
        m_lastDate = m_current.RecDate;
    } else if (valid && prevValid) {
        r.sceneChange = m_haveLastDate && std::fabs(m_current.RecDate - m_lastDate) > DateJump;
        m_lastDate = m_current.RecDate;
        m_haveLastDate = true;
    }
    if (r.sceneChange) {
        r.endedSceneStart = m_sceneStart;
        r.opening = m_current;
        m_sceneStart = m_current;
    }

    ++m_current.FrameNumber;
    if (m_firstFrame) {
        m_sceneStart = m_current;
        m_firstFrame = false;
    }
    return r;
}

bool TSceneRule::RunningScene(TDVFrameInfo& sceneStart, TDVFrameInfo& current) const {
    if (m_firstFrame)
        return false;
    sceneStart = m_sceneStart;
    current = m_current;
    return true;
}

void TSceneRule::RestartCounting() {
    m_current.FrameNumber = 0;
    m_current.FrameNumber64 = 0;
    m_sceneStart.FrameNumber = 0;
    m_sceneStart.DateValid = m_sceneStart.TimecodeValid = m_sceneStart.Complete = false;
    m_firstFrame = true;
    m_lastDate = 0;
    m_haveLastDate = false;
}

void TSceneRule::Reset() {
    RestartCounting();
    m_current.DateValid = true;
    m_current.Widescreen = false;
}
