#pragma once

#include <gst/gst.h>

#include <memory>

// What a live deck plays: the frames of a stream, one at a time. Called on the deck's
// streaming thread.
class IDeckFeed {
public:
    virtual ~IDeckFeed() = default;
    // 1 ready, 0 not yet (its material is being made), -1 cannot play (the deck posts an error).
    virtual int readiness() const = 0;
    // Caps of the frames (new ref); before readiness, the family of the stream.
    virtual GstCaps* caps() const = 0;
    virtual GstClockTime frameDuration() const = 0;
    // The next frame for the transport's state (a new writable buffer whose times the deck
    // sets), or null while the deck delivers nothing (tape stopped).
    virtual GstBuffer* nextFrame() = 0;
};

// vr_livedeck: a live source that plays a feed at the stream's real rate, with timestamps
// on the pipeline's running time, like a capture device. Until the feed is ready it waits
// (interruptibly) in its streaming thread, so the pipeline starts at once. Made non-live
// (gst_base_src_set_live), it hands its frames over as fast as they are taken, their times
// following one another.
GType vr_live_deck_get_type();

// Creates a live deck playing feed (floating ref).
GstElement* MakeLiveDeck(std::shared_ptr<IDeckFeed> feed, const char* name = nullptr);
