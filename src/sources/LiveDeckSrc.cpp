#include "LiveDeckSrc.h"

#include "GstRef.h"

#include <gst/base/gstpushsrc.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct DeckState {
    std::shared_ptr<IDeckFeed> feed; // set once, before the element is used
    std::mutex lock;                 // guards flushing
    std::condition_variable wake;
    bool flushing = false;
    // Streaming thread only:
    GstClockTime next = GST_CLOCK_TIME_NONE;
    TGstRef<GstCaps> sentCaps;
};

} // namespace

struct VrLiveDeck {
    GstPushSrc parent;
    DeckState* state;
};

struct VrLiveDeckClass {
    GstPushSrcClass parent_class;
};

G_DEFINE_TYPE(VrLiveDeck, vr_live_deck, GST_TYPE_PUSH_SRC)

static GstStaticPadTemplate deckSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

static DeckState* StateOf(gpointer self) {
    return reinterpret_cast<VrLiveDeck*>(self)->state;
}

static GstCaps* vr_live_deck_get_caps(GstBaseSrc* src, GstCaps* filter) {
    DeckState* s = StateOf(src);
    TGstRef<GstCaps> caps(s->feed ? s->feed->caps() : gst_caps_new_any());
    if (filter)
        caps.reset(gst_caps_intersect_full(filter, caps.get(), GST_CAPS_INTERSECT_FIRST));
    return caps.release();
}

static gboolean vr_live_deck_start(GstBaseSrc* src) {
    DeckState* s = StateOf(src);
    s->next = GST_CLOCK_TIME_NONE;
    s->sentCaps.reset();
    return s->feed != nullptr;
}

static gboolean vr_live_deck_stop(GstBaseSrc* src) {
    StateOf(src)->sentCaps.reset();
    return TRUE;
}

static gboolean vr_live_deck_unlock(GstBaseSrc* src) {
    DeckState* s = StateOf(src);
    std::lock_guard lock(s->lock);
    s->flushing = true;
    s->wake.notify_all();
    return TRUE;
}

static gboolean vr_live_deck_unlock_stop(GstBaseSrc* src) {
    DeckState* s = StateOf(src);
    std::lock_guard lock(s->lock);
    s->flushing = false;
    return TRUE;
}

static void vr_live_deck_get_times(GstBaseSrc* src, GstBuffer* buffer, GstClockTime* start,
                                   GstClockTime* end) {
    // Live: the base class waits for the clock to reach each frame's time. A deck made
    // non-live (benchmarks) hands its frames over as fast as they are taken.
    if (!gst_base_src_is_live(src)) {
        *start = *end = GST_CLOCK_TIME_NONE;
        return;
    }
    *start = GST_BUFFER_PTS(buffer);
    *end = GST_CLOCK_TIME_IS_VALID(*start) && GST_BUFFER_DURATION_IS_VALID(buffer)
               ? *start + GST_BUFFER_DURATION(buffer)
               : GST_CLOCK_TIME_NONE;
}

static gboolean vr_live_deck_query(GstBaseSrc* src, GstQuery* query) {
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
        DeckState* s = StateOf(src);
        const GstClockTime frame = s->feed ? s->feed->frameDuration() : 40 * GST_MSECOND;
        const bool live = gst_base_src_is_live(src);
        gst_query_set_latency(query, live, live ? frame : 0, live ? frame : 0);
        return TRUE;
    }
    return GST_BASE_SRC_CLASS(vr_live_deck_parent_class)->query(src, query);
}

// Waits up to d, or until the element is unlocked; false when flushing.
static bool WaitFor(DeckState* s, GstClockTime d) {
    std::unique_lock lock(s->lock);
    s->wake.wait_for(lock, std::chrono::nanoseconds(d), [s] { return s->flushing; });
    return !s->flushing;
}

static GstClockTime RunningTime(GstElement* e) {
    const TGstRef<GstClock> clock(gst_element_get_clock(e));
    if (!clock)
        return GST_CLOCK_TIME_NONE;
    const GstClockTime now = gst_clock_get_time(clock.get());
    const GstClockTime base = gst_element_get_base_time(e);
    return now > base ? now - base : 0;
}

static GstFlowReturn vr_live_deck_create(GstPushSrc* push, GstBuffer** out) {
    GstBaseSrc* src = GST_BASE_SRC(push);
    DeckState* s = StateOf(push);
    for (;;) {
        {
            std::lock_guard lock(s->lock);
            if (s->flushing)
                return GST_FLOW_FLUSHING;
        }
        const int ready = s->feed->readiness();
        if (ready < 0) {
            GST_ELEMENT_ERROR(src, RESOURCE, NOT_FOUND,
                              ("Le support du périphérique virtuel est indisponible."), (nullptr));
            return GST_FLOW_ERROR;
        }
        if (ready == 0) {
            if (!WaitFor(s, 40 * GST_MSECOND))
                return GST_FLOW_FLUSHING;
            continue;
        }
        {
            TGstRef<GstCaps> caps(s->feed->caps());
            if (!s->sentCaps || !gst_caps_is_equal(caps.get(), s->sentCaps.get())) {
                if (!gst_base_src_set_caps(src, caps.get()))
                    return GST_FLOW_NOT_NEGOTIATED;
                s->sentCaps = std::move(caps);
            }
        }
        const GstClockTime frame = s->feed->frameDuration();
        GstBuffer* buffer = s->feed->nextFrame();
        if (!buffer) {
            // Nothing on the output while stopped; time goes on.
            if (!WaitFor(s, frame))
                return GST_FLOW_FLUSHING;
            continue;
        }
        // Non-live, the times follow the frames alone.
        const GstClockTime now =
            gst_base_src_is_live(src) ? RunningTime(GST_ELEMENT(push)) : GST_CLOCK_TIME_NONE;
        if (!GST_CLOCK_TIME_IS_VALID(s->next) ||
            (GST_CLOCK_TIME_IS_VALID(now) && s->next + 4 * frame < now))
            s->next = GST_CLOCK_TIME_IS_VALID(now) ? now : 0;
        GST_BUFFER_PTS(buffer) = s->next;
        GST_BUFFER_DTS(buffer) = s->next;
        GST_BUFFER_DURATION(buffer) = frame;
        s->next += frame;
        *out = buffer;
        return GST_FLOW_OK;
    }
}

static void vr_live_deck_finalize(GObject* object) {
    delete StateOf(object);
    G_OBJECT_CLASS(vr_live_deck_parent_class)->finalize(object);
}

static void vr_live_deck_class_init(VrLiveDeckClass* klass) {
    GObjectClass* gobject = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    gobject->finalize = vr_live_deck_finalize;
    gst_element_class_set_static_metadata(element, "Vidorra live deck", "Source/Video",
                                          "Plays a stream live, like a capture device", "Ardoval");
    gst_element_class_add_static_pad_template(element, &deckSrcTemplate);
    base->get_caps = vr_live_deck_get_caps;
    base->start = vr_live_deck_start;
    base->stop = vr_live_deck_stop;
    base->unlock = vr_live_deck_unlock;
    base->unlock_stop = vr_live_deck_unlock_stop;
    base->get_times = vr_live_deck_get_times;
    base->query = vr_live_deck_query;
    GST_PUSH_SRC_CLASS(klass)->create = vr_live_deck_create;
}

static void vr_live_deck_init(VrLiveDeck* self) {
    self->state = new DeckState;
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

GstElement* MakeLiveDeck(std::shared_ptr<IDeckFeed> feed, const char* name) {
    static const bool registered =
        gst_element_register(nullptr, "vr_livedeck", GST_RANK_NONE, vr_live_deck_get_type());
    GstElement* e = registered ? gst_element_factory_make("vr_livedeck", name) : nullptr;
    if (e)
        StateOf(e)->feed = std::move(feed);
    return e;
}
