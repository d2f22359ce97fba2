#pragma once

#include "GstRef.h"
#include <array>

#include <gst/gst.h>

// The count-down's two clicks ("beep0" for the grab, "beep1" for the seconds before it):
// the program's own 8-bit 11 025 Hz mono sounds, played through GStreamer on the sound output
// without waiting for them. Without a sound output a beep ends at once.
class TBeeper {
public:
    TBeeper() = default;
    ~TBeeper();
    TBeeper(const TBeeper&) = delete;
    TBeeper& operator=(const TBeeper&) = delete;

    void Play(int which); // 0 or 1
    int played(int which) const { return m_played[size_t(which & 1)]; }

private:
    static gboolean onBus(GstBus*, GstMessage* message, gpointer self);
    void stop();

    TGstRef<GstElement> m_pipeline; // one beep at a time; a new one cuts the old
    std::array<int, 2> m_played{};
};
