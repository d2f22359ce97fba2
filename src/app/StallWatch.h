#pragma once

#include <QtGlobal>

// Watches the pictures a video source delivers while it is previewed or recorded: when none
// has come for a few seconds, the source stalls (a driver that hangs, a cable pulled, a
// plug-in that blocks). A deck that is stopped or winding sends nothing on purpose: it
// stands, which is no stall. The time a stall lasts while recording is time lost.
class TStallWatch {
public:
    enum class State { Flowing, Stalled, Standing };
    static constexpr qint64 kStallMs = 3000;

    // now: a steady clock in ms; frames: the source's picture counter; watching: a video
    // source is current and its graph runs; standing: it sends nothing on purpose.
    // True when the state changed.
    bool Tick(qint64 now, quint64 frames, bool watching, bool standing);
    State state() const { return m_state; }
    // How long the present stall has lasted (0 when flowing).
    qint64 stalledMs(qint64 now) const;
    // Stalled time, ended stalls and the present one, since the last ResetLost (a recording
    // part's start).
    qint64 lostMs(qint64 now) const { return m_lost + stalledMs(now); }
    void ResetLost(qint64 now);

private:
    State m_state = State::Flowing;
    quint64 m_frames = 0;
    qint64 m_lastFrameAt = 0;
    qint64 m_lost = 0;
    qint64 m_countFrom = 0; // stalls count as lost from here (the part's start)
};
