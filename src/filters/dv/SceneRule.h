#pragma once

#include "DVFrameInfo.h"

#include <cstdint>
#include <span>

// The per-frame state of the DV scene detector: metadata of this and the previous frame, the
// first frame of the running scene, and the date-jump rule that ends a scene.
class TSceneRule {
public:
    static constexpr double DateJump = 2.0 / 86400.0; // 2 seconds, in days
    static constexpr uint32_t GapFrames = 12;

    struct Result {
        bool sceneChange = false;
        bool widescreenChanged = false;
        // Set only on a scene change: the first frame of the scene that ended and the frame
        // that opens the new one (before its number is advanced).
        TDVFrameInfo endedSceneStart;
        TDVFrameInfo opening;
    };

    TSceneRule() { Reset(); }

    // Analyses one frame and advances the counting; Current then holds this frame's record
    // with FrameNumber already advanced (as stored in the rings).
    Result ProcessFrame(std::span<const uint8_t> frame);

    // The scene still running: false when no frame was counted since the last reset or
    // restart (there is no scene to report then).
    bool RunningScene(TDVFrameInfo& sceneStart, TDVFrameInfo& current) const;

    // End of a recording part: counting starts again from frame 0 with a new first scene.
    void RestartCounting();
    // Stop: the whole state returns to its start values.
    void Reset();

    const TDVFrameInfo& Current() const { return m_current; }
    const TDVFrameInfo& SceneStart() const { return m_sceneStart; }

private:
    TDVFrameInfo m_current;
    TDVFrameInfo m_previous;
    TDVFrameInfo m_sceneStart;
    double m_lastDate = 0;
    bool m_haveLastDate = false;
    bool m_firstFrame = true;
};
