#pragma once

#include <cstdint>
#include <vector>

// What the sound level meter shows, from the levels measured on the recorded sound and the
// times they came at (milliseconds of any steady clock: the caller gives them, so that the
// timings are tested without waiting). No widget, no GStreamer: the window feeds it.
class TLevelMeter {
public:
    static constexpr double kFloorDb = -60.0;    // the bottom of the scale
    static constexpr double kFullScaleDb = -0.1; // a peak this high reached full scale
    static constexpr int64_t kClipMs = 2000;     // the clip mark stays lit this long
    static constexpr int64_t kHoldMs = 1500;     // the hold line stays put this long
    static constexpr int64_t kNoSoundMs = 1000;  // no level this long: no sound arrives
    static constexpr int kMaxChannels = 8;       // more are not drawn

    struct Channel {
        double peakDb = -200.0; // last peak and RMS, in dBFS (-200 for silence)
        double rmsDb = -200.0;
        double holdDb = -200.0; // highest recent peak
        int64_t holdAt = 0;     // when it was reached
    };

    // An audio source is chosen (the meter waits for its sound) or not (the meter is idle).
    // Either way what was shown goes: a new source starts from nothing.
    void setActive(bool active, int64_t now);
    bool active() const { return m_active; }
    // The monitoring is muted: shown as a mark, the levels go on.
    void setMuted(bool muted) { m_muted = muted; }
    bool muted() const { return m_muted; }

    // One measure: a peak and an RMS per channel, in dBFS (-inf, NaN or below -200 count as
    // silence). Ignored while idle.
    void feed(int64_t now, const std::vector<double>& peakDb, const std::vector<double>& rmsDb);
    // Lets the hold line fall back once its time is over.
    void tick(int64_t now);

    const std::vector<Channel>& channels() const { return m_channels; }
    bool clipLit(int64_t now) const;
    // Active, and no measure came for kNoSoundMs: no buffer reaches the recording side.
    bool noSound(int64_t now) const;
    // Where a level sits on the scale: 0 at kFloorDb and below, 1 at 0 dBFS.
    static double fraction(double db);

private:
    bool m_active = false;
    bool m_muted = false;
    int64_t m_since = 0; // when the meter became active, or the last measure came
    int64_t m_clipAt = 0;
    bool m_clipped = false;
    std::vector<Channel> m_channels;
};
