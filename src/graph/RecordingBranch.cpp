#include "RecordingBranch.h"

#include "DVHeader.h"
#include "Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <deque>
#include <gst/video/video.h>
#include <mutex>
#include <thread>

// The continuity of one capture gate's output; the fields without atomics belong to the
// gate's streaming thread.
struct TRecordingBranch::Gate {
    TRecordingBranch* owner = nullptr;
    bool video = false;
    bool mark = false;
    bool waitKey = false;
    GstSegment segment{};
    bool haveSegment = false;
    bool offsetSet = false;
    GstClockTimeDiff offset = 0;
    GstClockTime lastEnd = GST_CLOCK_TIME_NONE;
    GstClockTime lastIn = GST_CLOCK_TIME_NONE;   // before the gate: gaps are lost frames
    GstClockTime shortest = GST_CLOCK_TIME_NONE; // the frame period seen before the gate
    std::atomic<bool> resync{false};             // set past a frozen stretch
    std::atomic<GstClockTime> removed{0};        // frozen time passed since the last resync
    std::atomic<bool> keyWait{false};
    GstSegment sinkSegment{}; // as the stream comes to the gate
    std::atomic<GstClockTime> lastRunning{GST_CLOCK_TIME_NONE};
    size_t passed = 0; // frozen stretches this gate is past
};

// A stream entering the writer. `next`, `cutAt` and `nextStart` are written by the UI thread
// before swapPending is set (release) and read by the streaming thread after it saw
// swapPending (acquire). Whoever turns swapPending from true to false (the streaming thread
// at the cut, or the UI thread on a pad at rest when the cut waited too long) moves the
// stream to the new file; nobody else touches its links.
struct TRecordingBranch::Stream {
    TRecordingBranch* owner = nullptr;
    bool video = false;
    bool keyFrames = false;
    bool forceKeyUnit = false;
    // The encoder's input, where a key frame is asked for the first picture at or after
    // keyAt (running time; none when nothing is asked).
    GstPad* encoderSink = nullptr; // owned ref
    std::atomic<GstClockTime> keyAt{GST_CLOCK_TIME_NONE};
    GstSegment encoderSegment{}; // the encoder's input thread
    bool startWithConfig = false;
    GstPad* feed = nullptr; // owned ref
    GstPad* next = nullptr; // the new writer's pad during a swap (owned by the writer)
    std::atomic<bool> swapPending{false};
    std::atomic<bool> swapped{false};
    // The streams of a file end at one time: the running time a swap waits for (written
    // before swapPending), and the running time of the last buffer that came.
    GstClockTime cutAt = GST_CLOCK_TIME_NONE;
    std::atomic<GstClockTime> lastRunning{GST_CLOCK_TIME_NONE};
    // The running time where the current file starts, common to its streams (none: each
    // stream starts from its first buffer); the next file's, during a swap.
    GstClockTime fileStart = 0;
    GstClockTime nextStart = GST_CLOCK_TIME_NONE;
    // The probe that moves the stream over once its pad is at rest, while it is pending: at
    // once when the pad is at rest when it is set (idleCaller, the thread that set it, runs
    // it then), or whenever it runs when forced.
    std::mutex idleLock;
    gulong idleProbe = 0;
    bool idleDone = false;
    std::atomic<bool> idleForce{false};
    std::thread::id idleCaller;
    GstSegment segment{}; // streaming thread, as the stream came
    bool haveSegment = false;
    bool baseSet = false;
    GstClockTime base = 0;
};

// The times of the frames an encoder has taken and not yet given back, oldest first; filled
// on the encoder's input thread, read on its output thread.
struct TRecordingBranch::TimeKeeper {
    struct Times {
        GstClockTime running; // of the input frame
        GstClockTime duration;
    };
    std::mutex lock;
    std::deque<Times> pending;
    GstSegment in{};  // input thread
    GstSegment out{}; // output thread
};

struct TRecordingBranch::Writer {
    QString fileName;
    std::vector<GstElement*> elements; // refs held here
    std::vector<GstPad*> pads;         // one per stream, refs held here
    std::vector<GstPad*> requested;    // those of pads that are request pads of the head
    std::atomic<bool> eos{false};      // set on the file sink's streaming thread
};

namespace {

// A time segment passing a probe, kept to turn the stream's times into running times.
void keepTimeSegment(GstPadProbeInfo* info, GstSegment* into) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return;
    const GstSegment* in = nullptr;
    gst_event_parse_segment(event, &in);
    if (in->format == GST_FORMAT_TIME)
        gst_segment_copy_into(in, into);
}

bool isKey(GstBuffer* buf) {
    return !GST_BUFFER_FLAG_IS_SET(buf, GST_BUFFER_FLAG_DELTA_UNIT);
}

GstEvent* zeroSegment() {
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    return gst_event_new_segment(&segment);
}

// A time segment kept as keepTimeSegment does, the event replaced by a segment from 0: what
// follows carries the times of the recording. False when the event was no time segment.
bool restartTimeSegment(GstPadProbeInfo* info, GstSegment* into) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return false;
    const GstSegment* in = nullptr;
    gst_event_parse_segment(event, &in);
    if (in->format != GST_FORMAT_TIME)
        return false;
    gst_segment_copy_into(in, into);
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = zeroSegment();
    return true;
}

GstPad* requestOrStatic(GstElement* head, bool video) {
    GstElementClass* klass = GST_ELEMENT_GET_CLASS(head);
    for (const char* name : {video ? "video_%u" : "audio_%u", "sink_%d", "sink_%u"}) {
        if (GstPadTemplate* t = gst_element_class_get_pad_template(klass, name))
            if (GST_PAD_TEMPLATE_PRESENCE(t) == GST_PAD_REQUEST)
                return gst_element_request_pad(head, t, nullptr, nullptr);
    }
    return gst_element_get_static_pad(head, "sink");
}

// The first picture of a file must carry the sequence header a decoder starts from.
GstBuffer* withConfig(GstPad* pad, GstBuffer* buf) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    const GValue* value =
        caps ? gst_structure_get_value(gst_caps_get_structure(caps, 0), "codec_data") : nullptr;
    GstBuffer* config =
        value && GST_VALUE_HOLDS_BUFFER(value) ? gst_value_get_buffer(value) : nullptr;
    static const uint8_t kSequenceHeader[4] = {0, 0, 1, 0xB3};
    uint8_t start[4] = {};
    if (config && gst_buffer_get_size(config) >= 4 &&
        (gst_buffer_extract(buf, 0, start, 4) != 4 || memcmp(start, kSequenceHeader, 4) != 0)) {
        GstBuffer* out = gst_buffer_new();
        gst_buffer_copy_into(out, config, GST_BUFFER_COPY_MEMORY, 0, -1);
        gst_buffer_copy_into(out, buf,
                             GstBufferCopyFlags(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS |
                                                GST_BUFFER_COPY_META | GST_BUFFER_COPY_MEMORY),
                             0, -1);
        gst_buffer_unref(buf);
        buf = out;
    }
    if (caps)
        gst_caps_unref(caps);
    return buf;
}

void removeElement(GstBin* bin, GstElement* e) {
    gst_element_set_state(e, GST_STATE_NULL);
    if (GST_OBJECT_PARENT(e) == GST_OBJECT(bin))
        gst_bin_remove(bin, e);
}

} // namespace

TRecordingBranch::TRecordingBranch(GstBin* pipeline) : m_bin(pipeline) {}

TRecordingBranch::~TRecordingBranch() {
    // End() normally took everything out; what is left (a build that failed half-way, the
    // module going away) is taken out here.
    m_ending = true;
    dropIdleProbes();
    if (m_writer)
        finishWriter(*m_writer);
    for (GstElement* e : m_own)
        gst_element_set_state(e, GST_STATE_NULL);
    removeProbes();
    for (auto& tap : m_taps) {
        if (tap->teePad) {
            if (GstPad* peer = gst_pad_get_peer(tap->teePad)) {
                gst_pad_unlink(tap->teePad, peer);
                gst_object_unref(peer);
            }
            gst_element_release_request_pad(tap->tee, tap->teePad);
            gst_object_unref(tap->teePad);
        }
        if (tap->src)
            gst_object_unref(tap->src);
        gst_object_unref(tap->tee);
    }
    for (GstElement* e : m_made) {
        removeElement(m_bin, e);
        gst_object_unref(e);
    }
    for (GstElement* e : m_own)
        removeElement(m_bin, e);
    for (auto& s : m_streams)
        for (GstPad* pad : {s->feed, s->encoderSink})
            if (pad)
                gst_object_unref(pad);
}

GstElement* TRecordingBranch::Make(const char* factory, const char* name) {
    GstElement* e = gst_element_factory_make(factory, name);
    if (!e) {
        qCWarning(lcVidorra) << "element" << factory << "is missing for the recording";
        return nullptr;
    }
    gst_object_ref_sink(e);
    if (!gst_bin_add(m_bin, e)) {
        gst_object_unref(e);
        return nullptr;
    }
    m_made.push_back(e);
    return e;
}

bool TRecordingBranch::UseOwn(GstElement* own) {
    if (!own || GST_OBJECT_PARENT(own))
        return false;
    if (!gst_bin_add(m_bin, own))
        return false;
    m_own.push_back(own);
    return true;
}

GstElement* TRecordingBranch::Tap(GstElement* tee, const char* name) {
    if (!tee)
        return nullptr;
    GstElement* queue = Make("queue", name);
    if (!queue)
        return nullptr;
    // Room for a few seconds of a slow encoder. Past that the branch loses its oldest buffers
    // rather than hold up the tee: the source stays live and the preview goes on, and the
    // pictures lost show as gaps that the capture gate counts as lost frames.
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                 guint64(3 * GST_SECOND), "leaky", 2 /* downstream */, nullptr);
    auto tap = std::make_unique<TapPad>();
    tap->tee = GST_ELEMENT(gst_object_ref(tee));
    tap->queue = queue;
    tap->ending = &m_ending;
    // A branch that failed (an encoder refusing the picture, a file that cannot be written)
    // must not take the source and the preview down with it: once the queue's thread has
    // stopped on an error, what the tee hands it is dropped, and the failure is reported
    // once on the bus so that the graph module ends the part. An end of stream or a flush
    // coming back from the branch while it is not ending is dropped too (handed to the tee,
    // it would stop the source); the end of stream means the branch records nothing more,
    // which is a failure as well.
    GstPad* sink = gst_element_get_static_pad(queue, "sink");
    tap->src = gst_element_get_static_pad(queue, "src");
    addProbe(
        sink, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad*, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
            auto* t = static_cast<TapPad*>(data);
            const GstFlowReturn last = gst_pad_get_last_flow_return(t->src);
            if (last == GST_FLOW_OK || last == GST_FLOW_NOT_LINKED)
                return GST_PAD_PROBE_OK;
            const bool stopped = last == GST_FLOW_EOS || last == GST_FLOW_FLUSHING;
            if (stopped && t->ending->load())
                return GST_PAD_PROBE_OK;
            if (last != GST_FLOW_FLUSHING && !t->failed.exchange(true))
                GST_ELEMENT_ERROR(t->queue, STREAM, FAILED,
                                  ("L'enregistrement ne reçoit plus d'images."),
                                  ("branch stopped: %s", gst_flow_get_name(last)));
            return GST_PAD_PROBE_DROP;
        },
        tap.get());
    gst_object_unref(sink);
    m_taps.push_back(std::move(tap));
    return queue;
}

bool TRecordingBranch::Link(std::initializer_list<GstElement*> chain) {
    GstElement* previous = nullptr;
    for (GstElement* e : chain) {
        if (!e)
            return false;
        if (previous && !gst_element_link(previous, e)) {
            qCWarning(lcVidorra) << "recording: cannot link" << GST_OBJECT_NAME(previous) << "to"
                                 << GST_OBJECT_NAME(e);
            return false;
        }
        previous = e;
    }
    return true;
}

void TRecordingBranch::WatchGate(GstElement* gate, bool video, bool markBranchTime,
                                 bool waitKeyAfterFreeze) {
    auto gateState = std::make_unique<Gate>();
    Gate* g = gateState.get();
    g->owner = this;
    g->video = video;
    g->mark = markBranchTime;
    g->waitKey = waitKeyAfterFreeze;
    gst_segment_init(&g->segment, GST_FORMAT_TIME);
    m_gates.push_back(std::move(gateState));

    gst_segment_init(&g->sinkSegment, GST_FORMAT_TIME);
    GstPad* sink = gst_element_get_static_pad(gate, "sink");
    addProbe(
        sink, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            auto* g = static_cast<Gate*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                keepTimeSegment(info, &g->sinkSegment);
                return GST_PAD_PROBE_OK;
            }
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            const GstClockTime pts = GST_BUFFER_PTS(buf);
            if (g->video && GST_CLOCK_TIME_IS_VALID(pts)) {
                if (GST_CLOCK_TIME_IS_VALID(g->lastIn) && pts > g->lastIn) {
                    const GstClockTime delta = pts - g->lastIn;
                    GstClockTime period =
                        GST_BUFFER_DURATION_IS_VALID(buf) ? GST_BUFFER_DURATION(buf) : g->shortest;
                    if (!GST_CLOCK_TIME_IS_VALID(g->shortest) || delta < g->shortest)
                        g->shortest = delta;
                    if (GST_CLOCK_TIME_IS_VALID(period) && period > 0 && delta > period * 3 / 2)
                        g->owner->m_dropped += (delta + period / 2) / period - 1;
                }
                g->lastIn = pts;
            }
            const GstClockTime running =
                GST_CLOCK_TIME_IS_VALID(pts)
                    ? gst_segment_to_running_time(&g->sinkSegment, GST_FORMAT_TIME, pts)
                    : GST_CLOCK_TIME_NONE;
            if (GST_CLOCK_TIME_IS_VALID(running)) {
                g->lastRunning.store(running, std::memory_order_relaxed);
                if (g->owner->inFrozenStretch(*g, running))
                    return GST_PAD_PROBE_DROP;
            }
            if (g->mark) {
                buf = gst_buffer_make_writable(buf);
                vrMarkBranchTimestamp(buf);
                GST_PAD_PROBE_INFO_DATA(info) = buf;
            }
            return GST_PAD_PROBE_OK;
        },
        g);
    gst_object_unref(sink);

    GstPad* src = gst_element_get_static_pad(gate, "src");
    addProbe(
        src, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            auto* g = static_cast<Gate*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                // Downstream sees running time from the start of the recording.
                if (restartTimeSegment(info, &g->segment))
                    g->haveSegment = true;
                return GST_PAD_PROBE_OK;
            }
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            if (g->keyWait.load() && !isKey(buf))
                return GST_PAD_PROBE_DROP;
            g->keyWait = false;
            auto running = [g](GstClockTime t) {
                if (!GST_CLOCK_TIME_IS_VALID(t) || !g->haveSegment)
                    return t;
                return gst_segment_to_running_time(&g->segment, GST_FORMAT_TIME, t);
            };
            const GstClockTime pts = running(GST_BUFFER_PTS(buf));
            const GstClockTime dts = running(GST_BUFFER_DTS(buf));
            const GstClockTime first = GST_CLOCK_TIME_IS_VALID(dts) && dts < pts ? dts : pts;
            if (!GST_CLOCK_TIME_IS_VALID(first))
                return GST_PAD_PROBE_OK;
            if (!g->offsetSet) {
                // The first gate to see a buffer sets the start of the recording for all.
                GstClockTime start = GST_CLOCK_TIME_NONE;
                g->owner->m_gateStart.compare_exchange_strong(start, first);
                start = g->owner->m_gateStart.load();
                g->resync = false;
                g->offset = GstClockTimeDiff(start) + GstClockTimeDiff(g->removed.exchange(0));
                g->offsetSet = true;
            } else if (g->resync.exchange(false)) {
                // Every gate takes the same frozen time out, so that the streams stay in step
                // (pictures that waited for a key frame leave a gap); never so much that this
                // buffer would overlap the last one.
                g->offset += GstClockTimeDiff(g->removed.exchange(0));
                if (GST_CLOCK_TIME_IS_VALID(g->lastEnd))
                    g->offset =
                        std::min(g->offset, GstClockTimeDiff(first) - GstClockTimeDiff(g->lastEnd));
            }
            buf = gst_buffer_make_writable(buf);
            auto shift = [g](GstClockTime t) {
                if (!GST_CLOCK_TIME_IS_VALID(t))
                    return t;
                return GstClockTime(std::max<GstClockTimeDiff>(GstClockTimeDiff(t) - g->offset, 0));
            };
            GST_BUFFER_PTS(buf) = shift(pts);
            GST_BUFFER_DTS(buf) = shift(dts);
            const GstClockTime out = GST_BUFFER_PTS_IS_VALID(buf) ? GST_BUFFER_PTS(buf) : 0;
            const GstClockTime duration = GST_BUFFER_DURATION_IS_VALID(buf)
                                              ? GST_BUFFER_DURATION(buf)
                                          : GST_CLOCK_TIME_IS_VALID(g->shortest) ? g->shortest
                                                                                 : 0;
            if (!GST_CLOCK_TIME_IS_VALID(g->lastEnd) || out + duration > g->lastEnd)
                g->lastEnd = out + duration;
            GST_PAD_PROBE_INFO_DATA(info) = buf;
            return GST_PAD_PROBE_OK;
        },
        g);
    gst_object_unref(src);
}

void TRecordingBranch::AddStream(GstElement* last, bool video, bool keyFrames, bool forceKeyUnit,
                                 bool startWithConfig) {
    auto stream = std::make_unique<Stream>();
    Stream* s = stream.get();
    s->owner = this;
    s->video = video;
    s->keyFrames = keyFrames;
    s->forceKeyUnit = forceKeyUnit;
    s->startWithConfig = startWithConfig;
    gst_segment_init(&s->segment, GST_FORMAT_TIME);
    s->feed = gst_element_get_static_pad(last, "src");
    m_streams.push_back(std::move(stream));
    if (!s->feed)
        return;
    addProbe(
        s->feed, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad* pad, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            auto* s = static_cast<Stream*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                if (restartTimeSegment(info, &s->segment))
                    s->haveSegment = true;
                return GST_PAD_PROBE_OK;
            }
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            GstClockTime running =
                GST_BUFFER_PTS_IS_VALID(buf) ? GST_BUFFER_PTS(buf) : GST_BUFFER_DTS(buf);
            if (GST_CLOCK_TIME_IS_VALID(running) && s->haveSegment)
                running = gst_segment_to_running_time(&s->segment, GST_FORMAT_TIME, running);
            if (GST_CLOCK_TIME_IS_VALID(running))
                s->lastRunning.store(running, std::memory_order_relaxed);
            if (s->swapPending.load(std::memory_order_acquire)) {
                // A stream behind the others (the muxer lets the sound lead the pictures)
                // keeps writing the old file until it reaches the time of the cut.
                const GstClockTime cutAt = s->cutAt;
                const bool reached = !GST_CLOCK_TIME_IS_VALID(cutAt) ||
                                     !GST_CLOCK_TIME_IS_VALID(running) || running >= cutAt;
                // The new file starts with this buffer; the old one gets its end.
                if (reached && (!s->keyFrames || isKey(buf)))
                    claimSwap(*s, pad);
            }
            if (!s->baseSet && s->keyFrames && !isKey(buf))
                return GST_PAD_PROBE_DROP; // a file starts with a key frame
            if (!s->baseSet && s->startWithConfig) {
                buf = withConfig(pad, buf);
                GST_PAD_PROBE_INFO_DATA(info) = buf;
            }
            const GstClockTime pts = GST_BUFFER_PTS(buf);
            const GstClockTime dts = GST_BUFFER_DTS(buf);
            if (!s->baseSet) {
                GstClockTime first = pts;
                if (GST_CLOCK_TIME_IS_VALID(dts) && (!GST_CLOCK_TIME_IS_VALID(pts) || dts < pts))
                    first = dts;
                // The file's start in this stream's times; a stream whose first buffer comes
                // before it (pictures in decoding order) starts from that buffer.
                GstClockTime start = s->fileStart;
                if (GST_CLOCK_TIME_IS_VALID(start) && s->haveSegment)
                    start =
                        gst_segment_position_from_running_time(&s->segment, GST_FORMAT_TIME, start);
                const GstClockTime base =
                    GST_CLOCK_TIME_IS_VALID(start) &&
                            (!GST_CLOCK_TIME_IS_VALID(first) || start <= first)
                        ? start
                        : first;
                if (GST_CLOCK_TIME_IS_VALID(base)) {
                    s->base = base;
                    s->baseSet = true;
                }
            }
            if (s->baseSet && s->base > 0) {
                buf = gst_buffer_make_writable(buf);
                if (GST_CLOCK_TIME_IS_VALID(pts))
                    GST_BUFFER_PTS(buf) = pts > s->base ? pts - s->base : 0;
                if (GST_CLOCK_TIME_IS_VALID(dts))
                    GST_BUFFER_DTS(buf) = dts > s->base ? dts - s->base : 0;
                GST_PAD_PROBE_INFO_DATA(info) = buf;
            }
            if (s->video)
                ++s->owner->m_frames;
            return GST_PAD_PROBE_OK;
        },
        s);
    if (forceKeyUnit)
        watchEncoderInput(*s);
}

// The video encoder a stream comes from: the feed's element or one a few steps upstream.
static GstPad* encoderSinkOf(GstPad* feed) {
    GstPad* src = GST_PAD(gst_object_ref(feed));
    for (int step = 0; step < 4 && src; ++step) {
        GstElement* element = gst_pad_get_parent_element(src);
        gst_object_unref(src);
        src = nullptr;
        if (!element)
            return nullptr;
        GstPad* sink = gst_element_get_static_pad(element, "sink");
        const bool encoder = GST_IS_VIDEO_ENCODER(element);
        gst_object_unref(element);
        if (!sink)
            return nullptr;
        if (encoder)
            return sink;
        src = gst_pad_get_peer(sink);
        gst_object_unref(sink);
    }
    if (src)
        gst_object_unref(src);
    return nullptr;
}

void TRecordingBranch::watchEncoderInput(Stream& stream) {
    stream.encoderSink = stream.feed ? encoderSinkOf(stream.feed) : nullptr;
    if (!stream.encoderSink)
        return;
    gst_segment_init(&stream.encoderSegment, GST_FORMAT_TIME);
    addProbe(
        stream.encoderSink,
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad* pad, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            auto* s = static_cast<Stream*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                keepTimeSegment(info, &s->encoderSegment);
                return GST_PAD_PROBE_OK;
            }
            const GstClockTime wanted = s->keyAt.load(std::memory_order_acquire);
            if (!GST_CLOCK_TIME_IS_VALID(wanted))
                return GST_PAD_PROBE_OK;
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            GstClockTime running = GST_BUFFER_PTS(buf);
            if (GST_CLOCK_TIME_IS_VALID(running))
                running = gst_segment_to_running_time(&s->encoderSegment, GST_FORMAT_TIME, running);
            if (GST_CLOCK_TIME_IS_VALID(running) && running < wanted)
                return GST_PAD_PROBE_OK;
            // This picture is the first of the new file: the encoder makes it a key frame.
            GstClockTime expected = wanted;
            if (s->keyAt.compare_exchange_strong(expected, GST_CLOCK_TIME_NONE))
                gst_pad_send_event(pad, gst_video_event_new_downstream_force_key_unit(
                                            GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE,
                                            GST_CLOCK_TIME_NONE, TRUE, 0));
            return GST_PAD_PROBE_OK;
        },
        &stream);
}

void TRecordingBranch::KeepEncoderTimes(GstElement* encoder) {
    GstPad* sink = encoder ? gst_element_get_static_pad(encoder, "sink") : nullptr;
    GstPad* src = encoder ? gst_element_get_static_pad(encoder, "src") : nullptr;
    if (!sink || !src) {
        for (GstPad* pad : {sink, src})
            if (pad)
                gst_object_unref(pad);
        return;
    }
    auto keeper = std::make_unique<TimeKeeper>();
    gst_segment_init(&keeper->in, GST_FORMAT_TIME);
    gst_segment_init(&keeper->out, GST_FORMAT_TIME);
    // The times are carried over as running times: the encoder may move its output segment
    // (libav shifts it by 1000 hours so that decoding times never go below 0).
    // The times are carried over as running times: the encoder may move its output segment
    // (libav shifts it by 1000 hours so that decoding times never go below 0).
    static const auto kBufferOrEvent =
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM);
    addProbe(
        sink, kBufferOrEvent,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            auto* k = static_cast<TimeKeeper*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                keepTimeSegment(info, &k->in);
                return GST_PAD_PROBE_OK;
            }
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            const GstClockTime pts = GST_BUFFER_PTS(buf);
            const GstClockTime running =
                GST_CLOCK_TIME_IS_VALID(pts)
                    ? gst_segment_to_running_time(&k->in, GST_FORMAT_TIME, pts)
                    : GST_CLOCK_TIME_NONE;
            std::lock_guard guard(k->lock);
            // An encoder that drops frames would leave their times behind: a few seconds
            // of frames are more than any encoder holds back.
            if (k->pending.size() >= 512)
                k->pending.pop_front();
            k->pending.push_back({running, GST_BUFFER_DURATION(buf)});
            return GST_PAD_PROBE_OK;
        },
        keeper.get());
    addProbe(
        src, kBufferOrEvent,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            auto* k = static_cast<TimeKeeper*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                keepTimeSegment(info, &k->out);
                return GST_PAD_PROBE_OK;
            }
            TimeKeeper::Times in{GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
            {
                std::lock_guard guard(k->lock);
                if (k->pending.empty())
                    return GST_PAD_PROBE_OK;
                in = k->pending.front();
                k->pending.pop_front();
            }
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            const GstClockTime pts = GST_BUFFER_PTS(buf);
            const bool usable = GST_CLOCK_TIME_IS_VALID(pts) && pts <= GstClockTime(G_MAXINT64);
            if (usable || !GST_CLOCK_TIME_IS_VALID(in.running))
                return GST_PAD_PROBE_OK;
            const GstClockTime position =
                gst_segment_position_from_running_time(&k->out, GST_FORMAT_TIME, in.running);
            if (!GST_CLOCK_TIME_IS_VALID(position))
                return GST_PAD_PROBE_OK;
            buf = gst_buffer_make_writable(buf);
            GST_BUFFER_PTS(buf) = position;
            GST_BUFFER_DTS(buf) = position; // no reordering
            if (!GST_BUFFER_DURATION_IS_VALID(buf))
                GST_BUFFER_DURATION(buf) = in.duration;
            GST_PAD_PROBE_INFO_DATA(info) = buf;
            return GST_PAD_PROBE_OK;
        },
        keeper.get());
    gst_object_unref(sink);
    gst_object_unref(src);
    m_keepers.push_back(std::move(keeper));
}

// The writer's elements for its file, in the pipeline and linked, with a pad for every stream.
bool TRecordingBranch::makeWriter(Writer& w) {
    w.elements = m_factory(w.fileName);
    bool ok = !w.elements.empty();
    for (GstElement* e : w.elements) {
        if (!e) {
            ok = false;
            continue;
        }
        gst_object_ref_sink(e);
        ok = ok && gst_bin_add(m_bin, e);
    }
    for (size_t i = 1; ok && i < w.elements.size(); ++i)
        ok = gst_element_link(w.elements[i - 1], w.elements[i]);
    if (ok)
        linkStreams(w);
    return ok;
}

bool TRecordingBranch::OpenWriter(TWriterFactory factory, const QString& fileName) {
    m_factory = std::move(factory);
    m_writer = std::make_unique<Writer>();
    m_writer->fileName = fileName;
    if (!makeWriter(*m_writer))
        return false;
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (!m_writer->pads[i] ||
            gst_pad_link(m_streams[i]->feed, m_writer->pads[i]) != GST_PAD_LINK_OK) {
            qCWarning(lcVidorra) << "recording: the writer of" << fileName << "refuses a stream";
            return false;
        }
    return true;
}

// Pads of the writer for every stream, and the watch for the end of its file.
void TRecordingBranch::linkStreams(Writer& w) {
    GstElement* head = w.elements.front();
    for (auto& s : m_streams) {
        GstPad* pad = requestOrStatic(head, s->video);
        w.pads.push_back(pad);
        if (pad && GST_PAD_PAD_TEMPLATE(pad) &&
            GST_PAD_TEMPLATE_PRESENCE(GST_PAD_PAD_TEMPLATE(pad)) == GST_PAD_REQUEST)
            w.requested.push_back(pad);
    }
    GstPad* sinkPad = gst_element_get_static_pad(w.elements.back(), "sink");
    addProbe(
        sinkPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
                static_cast<Writer*>(data)->eos = true;
            return GST_PAD_PROBE_OK;
        },
        &w);
    gst_object_unref(sinkPad);
}

bool TRecordingBranch::Start() {
    if (m_started)
        return true;
    // Downstream first, so that nothing arrives at an element that is not running yet.
    if (m_writer)
        for (auto it = m_writer->elements.rbegin(); it != m_writer->elements.rend(); ++it)
            gst_element_sync_state_with_parent(*it);
    for (auto it = m_own.rbegin(); it != m_own.rend(); ++it)
        gst_element_sync_state_with_parent(*it);
    for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
        gst_element_sync_state_with_parent(*it);
    bool ok = true;
    for (auto& tap : m_taps) {
        tap->teePad = gst_element_request_pad_simple(tap->tee, "src_%u");
        GstPad* sink = gst_element_get_static_pad(tap->queue, "sink");
        ok = ok && tap->teePad && gst_pad_link(tap->teePad, sink) == GST_PAD_LINK_OK;
        gst_object_unref(sink);
    }
    m_started = true;
    return ok;
}

bool TRecordingBranch::waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    const bool events = QCoreApplication::instance() &&
                        QThread::currentThread() == QCoreApplication::instance()->thread();
    while (!done() && clock.elapsed() < timeoutMs) {
        if (events)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return done();
}

bool TRecordingBranch::End(int timeoutMs) {
    m_ending = true;
    dropIdleProbes();
    GstState state = GST_STATE_NULL;
    gst_element_get_state(GST_ELEMENT(m_bin), &state, nullptr, 0);
    const bool flowing = m_started && state == GST_STATE_PLAYING;
    for (auto& tap : m_taps) {
        if (!tap->teePad) {
            tap->done = true;
            continue;
        }
        // Once the tee is between two buffers, the branch is cut off and told it ended.
        gst_pad_add_probe(
            tap->teePad, GST_PAD_PROBE_TYPE_IDLE,
            [](GstPad* pad, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
                auto* tap = static_cast<TapPad*>(data);
                GstPad* sink = gst_element_get_static_pad(tap->queue, "sink");
                gst_pad_unlink(pad, sink);
                gst_pad_send_event(sink, gst_event_new_eos());
                gst_object_unref(sink);
                tap->done = true;
                return GST_PAD_PROBE_REMOVE;
            },
            tap.get(), nullptr);
    }
    bool finished = false;
    if (flowing && m_writer) {
        Writer* w = m_writer.get();
        finished = waitFor(
            [this, w] {
                return w->eos.load() && std::all_of(m_taps.begin(), m_taps.end(),
                                                    [](const auto& t) { return t->done.load(); });
            },
            timeoutMs);
    }
    if (!finished)
        qCWarning(lcVidorra) << "recording: the end of" << fileName() << "was not written";
    for (auto& tap : m_taps) {
        if (!tap->teePad)
            continue;
        if (GstPad* peer = gst_pad_get_peer(tap->teePad)) {
            gst_pad_unlink(tap->teePad, peer);
            gst_object_unref(peer);
        }
        gst_element_release_request_pad(tap->tee, tap->teePad);
        gst_object_unref(tap->teePad);
        tap->teePad = nullptr;
    }
    if (m_writer)
        finishWriter(*m_writer);
    m_writer.reset();
    for (GstElement* e : m_own)
        gst_element_set_state(e, GST_STATE_NULL);
    removeProbes();
    for (GstElement* e : m_made) {
        removeElement(m_bin, e);
        gst_object_unref(e);
    }
    m_made.clear();
    for (GstElement* e : m_own)
        removeElement(m_bin, e);
    m_own.clear();
    return finished;
}

void TRecordingBranch::addProbe(GstPad* pad, GstPadProbeType mask, GstPadProbeCallback callback,
                                gpointer data) {
    // The module's own elements outlive the branch: their probes leave with it.
    m_probes.emplace_back(GST_PAD(gst_object_ref(pad)),
                          gst_pad_add_probe(pad, mask, callback, data, nullptr));
}

void TRecordingBranch::removeProbes() {
    for (auto& [pad, id] : m_probes) {
        gst_pad_remove_probe(pad, id);
        gst_object_unref(pad);
    }
    m_probes.clear();
}

void TRecordingBranch::finishWriter(Writer& w) {
    for (GstElement* e : w.elements)
        if (e)
            gst_element_set_state(e, GST_STATE_NULL);
    GstElement* head = w.elements.empty() ? nullptr : w.elements.front();
    for (GstPad* pad : w.pads) {
        if (!pad)
            continue;
        if (GstPad* peer = gst_pad_get_peer(pad)) {
            gst_pad_unlink(peer, pad);
            gst_object_unref(peer);
        }
        if (head && std::find(w.requested.begin(), w.requested.end(), pad) != w.requested.end())
            gst_element_release_request_pad(head, pad);
        gst_object_unref(pad);
    }
    w.pads.clear();
    w.requested.clear();
    for (GstElement* e : w.elements)
        if (e) {
            removeElement(m_bin, e);
            gst_object_unref(e);
        }
    w.elements.clear();
}

// Moves a stream to the new file, once: false when it was moved already. Called on the
// stream's thread, or where no buffer can pass the feed (a probe on the pad at rest).
bool TRecordingBranch::claimSwap(Stream& s, GstPad* feed) {
    bool pending = true;
    if (!s.swapPending.compare_exchange_strong(pending, false, std::memory_order_acq_rel))
        return false;
    GstPad* old = gst_pad_get_peer(feed);
    if (old)
        gst_pad_unlink(feed, old);
    if (gst_pad_link(feed, s.next) != GST_PAD_LINK_OK)
        qCWarning(lcVidorra) << "recording: the new file's writer refuses the stream";
    if (old) {
        gst_pad_send_event(old, gst_event_new_eos());
        gst_object_unref(old);
    }
    s.baseSet = false;
    s.fileStart = s.nextStart;
    s.swapped.store(true, std::memory_order_release);
    return true;
}

// A stream that did not reach the cut in time moves over between two buffers, never while
// one is being pushed. A stream at rest (no data) moves at once; one whose data flows (held
// up by its writer) gets to the cut by itself unless forced, when it moves as it is.
void TRecordingBranch::relinkWhenIdle(Stream& s, bool force) {
    s.idleForce = force;
    {
        std::lock_guard guard(s.idleLock);
        if (s.idleProbe)
            return; // one is waiting already; it moves the stream to the newest file
        s.idleDone = false;
        s.idleCaller = std::this_thread::get_id();
    }
    const gulong id = gst_pad_add_probe(
        s.feed, GST_PAD_PROBE_TYPE_IDLE,
        [](GstPad* pad, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
            auto* s = static_cast<Stream*>(data);
            bool atRest = false;
            {
                std::lock_guard guard(s->idleLock);
                s->idleDone = true;
                s->idleProbe = 0;
                atRest = s->idleCaller == std::this_thread::get_id();
            }
            if (atRest || s->idleForce.load()) {
                // A file starts with a key frame: the encoder makes the next picture one.
                if (claimSwap(*s, pad) && s->encoderSink)
                    s->keyAt.store(0, std::memory_order_release);
            }
            return GST_PAD_PROBE_REMOVE;
        },
        &s, nullptr);
    std::lock_guard guard(s.idleLock);
    if (!s.idleDone)
        s.idleProbe = id;
}

void TRecordingBranch::dropIdleProbes() {
    for (auto& s : m_streams) {
        gulong id = 0;
        {
            std::lock_guard guard(s->idleLock);
            id = s->idleProbe;
            s->idleProbe = 0;
        }
        if (id)
            gst_pad_remove_probe(s->feed, id);
    }
}

bool TRecordingBranch::SwapWriter(const QString& fileName, int timeoutMs, bool* oldFinished) {
    if (oldFinished)
        *oldFinished = false;
    if (!m_writer || !m_factory)
        return false;
    auto w = std::make_unique<Writer>();
    w->fileName = fileName;
    const bool ok = makeWriter(*w) && std::all_of(w->pads.begin(), w->pads.end(),
                                                  [](GstPad* p) { return p != nullptr; });
    if (!ok) {
        finishWriter(*w);
        return false;
    }
    for (auto it = w->elements.rbegin(); it != w->elements.rend(); ++it)
        gst_element_sync_state_with_parent(*it);

    // The cut is where the stream furthest ahead is now; the others follow up to it.
    GstClockTime cut = GST_CLOCK_TIME_NONE;
    for (const auto& s : m_streams) {
        const GstClockTime t = s->lastRunning.load(std::memory_order_relaxed);
        if (GST_CLOCK_TIME_IS_VALID(t) && (!GST_CLOCK_TIME_IS_VALID(cut) || t > cut))
            cut = t;
    }
    for (size_t i = 0; i < m_streams.size(); ++i) {
        Stream& s = *m_streams[i];
        s.next = w->pads[i];
        s.cutAt = cut;
        s.nextStart = cut;
        s.swapped = false;
        s.swapPending.store(true, std::memory_order_release);
        if (s.forceKeyUnit && s.encoderSink)
            s.keyAt.store(GST_CLOCK_TIME_IS_VALID(cut) ? cut : 0, std::memory_order_release);
        else if (s.forceKeyUnit)
            gst_pad_send_event(
                s.feed, gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
    }
    // The streams move at the cut by themselves; one that has not after twice the wait (no
    // data, no key frame, a writer that holds its buffers) moves as it is.
    const bool allSwapped = waitFor(
        [this] {
            return std::all_of(m_streams.begin(), m_streams.end(), [](const auto& s) {
                return s->swapped.load(std::memory_order_acquire);
            });
        },
        2 * timeoutMs);
    auto movePending = [this](bool force) {
        for (auto& s : m_streams)
            if (s->swapPending.load(std::memory_order_acquire))
                relinkWhenIdle(*s, force);
    };
    if (!allSwapped)
        movePending(false);
    Writer* old = m_writer.get();
    bool finished = waitFor([old] { return old->eos.load(); }, timeoutMs);
    if (!finished && std::any_of(m_streams.begin(), m_streams.end(), [](const auto& s) {
            return s->swapPending.load(std::memory_order_acquire);
        })) {
        // Still short of the cut (a stream without key frames): what is left moves as it is.
        movePending(true);
        finished = waitFor([old] { return old->eos.load(); }, timeoutMs);
    }
    if (!finished)
        qCWarning(lcVidorra) << "recording: the end of" << old->fileName << "was not written";
    // A stream still held in the old writer is let go by its end: it moves over then.
    finishWriter(*old);
    waitFor(
        [this] {
            return std::all_of(m_streams.begin(), m_streams.end(), [](const auto& s) {
                return s->swapped.load(std::memory_order_acquire);
            });
        },
        200);
    // The thread of a stream that was pushing into the old writer when it was stopped has
    // stopped too: that branch records nothing more, which ends the part.
    for (auto& tap : m_taps)
        if (gst_pad_get_last_flow_return(tap->src) == GST_FLOW_FLUSHING &&
            !tap->failed.exchange(true))
            GST_ELEMENT_ERROR(tap->queue, STREAM, FAILED,
                              ("L'enregistrement ne reçoit plus d'images."),
                              ("branch stopped while its file was being changed"));
    m_writer = std::move(w);
    if (oldFinished)
        *oldFinished = finished;
    return true;
}

// The streams do not all arrive at their gates at the same moment (a muxer lets the sound
// lead the pictures by half a second): a freeze is a stretch of running time, from where the
// stream furthest ahead was when the freeze began to where it was when it ended, and every
// gate leaves out that same stretch.
GstClockTime TRecordingBranch::furthestGate() const {
    GstClockTime furthest = GST_CLOCK_TIME_NONE;
    for (const auto& g : m_gates) {
        const GstClockTime t = g->lastRunning.load(std::memory_order_relaxed);
        if (GST_CLOCK_TIME_IS_VALID(t) && (!GST_CLOCK_TIME_IS_VALID(furthest) || t > furthest))
            furthest = t;
    }
    return furthest;
}

void TRecordingBranch::SetFrozen(bool frozen) {
    std::lock_guard guard(m_frozenLock);
    const bool open = !m_frozen.empty() && !GST_CLOCK_TIME_IS_VALID(m_frozen.back().until);
    const GstClockTime now = furthestGate();
    if (frozen && !open) {
        // Past the last buffer that came: it was recorded.
        m_frozen.push_back({GST_CLOCK_TIME_IS_VALID(now) ? now + 1 : 0, GST_CLOCK_TIME_NONE});
    } else if (!frozen && open) {
        FrozenStretch& last = m_frozen.back();
        last.until = GST_CLOCK_TIME_IS_VALID(now) ? std::max(now + 1, last.from) : last.from;
    }
}

bool TRecordingBranch::inFrozenStretch(Gate& g, GstClockTime running) {
    std::lock_guard guard(m_frozenLock);
    while (g.passed < m_frozen.size()) {
        const FrozenStretch& f = m_frozen[g.passed];
        if (running < f.from)
            return false;
        if (!GST_CLOCK_TIME_IS_VALID(f.until) || running < f.until)
            return true;
        // The stretch is taken out of the times of what follows.
        ++g.passed;
        g.removed += f.until - f.from;
        g.resync = true;
        if (g.waitKey)
            g.keyWait = true;
    }
    return false;
}

QString TRecordingBranch::fileName() const {
    return m_writer ? m_writer->fileName : QString();
}

GstElement* TRecordingBranch::writerHead() const {
    return m_writer && !m_writer->elements.empty() ? m_writer->elements.front() : nullptr;
}

bool TRecordingBranch::Owns(GstObject* object) const {
    auto inside = [object](GstElement* e) {
        return e && (GST_OBJECT(e) == object || gst_object_has_as_ancestor(object, GST_OBJECT(e)));
    };
    if (std::any_of(m_made.begin(), m_made.end(), inside))
        return true;
    return m_writer && std::any_of(m_writer->elements.begin(), m_writer->elements.end(), inside);
}
