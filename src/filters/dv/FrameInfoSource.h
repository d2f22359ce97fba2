#pragma once

#include "DVFrameInfo.h"

#include <cstdint>

// What the overlay and the DV header read from a DV scene detector: the per-frame metadata
// of the last 100 frames, found by the frame's stream start time.
//
// The detector element publishes its source on itself with
//   g_object_set_data(G_OBJECT(element), kFrameInfoSourceKey, static_cast<IFrameInfoSource*>(p))
// so that a reader given the element (a "scene-source" property) can reach it without
// linking against the detector. Calls come from other streaming threads and the UI thread:
// implementations make them safe against the detector's own streaming thread.
class IFrameInfoSource {
public:
    virtual ~IFrameInfoSource() = default;

    // Searches backwards from the newest slot for the most recent frame whose stream start
    // time (nanoseconds, as in the buffer's PTS) is not later than startTime; when none is,
    // the oldest slot is used. Copies that slot's record into info and returns the slot.
    virtual int LookupFrameInfo(int64_t startTime, TDVFrameInfo& info) = 0;

    // Remembers the slot last chosen by the overlay (read by the DV header).
    virtual void SetLookupPos(int slot) = 0;
    virtual int LookupPos() const = 0;

    // Copies the 4800 header bytes (480 of each of DIF sequences 0..9) of a slot; false when
    // the slot has not been filled.
    virtual bool CopyHeader(int slot, uint8_t* dst4800) const = 0;
};

inline constexpr const char* kFrameInfoSourceKey = "vidorra-frame-info-source";
