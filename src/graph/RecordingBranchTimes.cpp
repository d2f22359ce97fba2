// The time bases of the recording branch: the capture gates, which give the recording one
// time base and leave out the frozen stretches, and the streams entering the writer, which
// are re-stamped from the start of their file (with the encoders' share: a key frame at the
// cut, the times of the frames an encoder leaves without any).
#include "RecordingBranch.h"

#include "DVHeader.h"
#include "GstRef.h"
#include "RecordingBranchState.h"

#include <algorithm>
#include <cstring>
#include <gst/video/video.h>
#include <mutex>

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
    const TGstRef<GstEvent> replaced(event); // the probe's own, dropped for the new one
    GST_PAD_PROBE_INFO_DATA(info) = zeroSegment();
    return true;
}

// The first picture of a file must carry the sequence header a decoder starts from.
GstBuffer* withConfig(GstPad* pad, GstBuffer* buf) {
    const TGstRef<GstCaps> caps(gst_pad_get_current_caps(pad));
    const GValue* value =
        caps ? gst_structure_get_value(gst_caps_get_structure(caps.get(), 0), "codec_data")
             : nullptr;
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
        const TGstRef<GstBuffer> replaced(buf); // the caller's, given to this function
        buf = out;
    }
    return buf;
}

} // namespace

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
    const TGstRef<GstPad> sink(gst_element_get_static_pad(gate, "sink"));
    addProbe(
        sink.get(),
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
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
                // The start time vr_dvheader finds the camcorder frame by (see DVHeader.h).
                static GstStaticCaps branchCaps = GST_STATIC_CAPS(kBranchTimestampCaps);
                const TGstRef<GstCaps> caps(gst_static_caps_get(&branchCaps));
                if (GST_BUFFER_PTS_IS_VALID(buf) &&
                    !gst_buffer_get_reference_timestamp_meta(buf, caps.get()))
                    gst_buffer_add_reference_timestamp_meta(buf, caps.get(), GST_BUFFER_PTS(buf),
                                                            GST_CLOCK_TIME_NONE);
                GST_PAD_PROBE_INFO_DATA(info) = buf;
            }
            return GST_PAD_PROBE_OK;
        },
        g);

    const TGstRef<GstPad> src(gst_element_get_static_pad(gate, "src"));
    addProbe(
        src.get(), GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
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
    s->feed.reset(gst_element_get_static_pad(last, "src"));
    m_streams.push_back(std::move(stream));
    if (!s->feed)
        return;
    addProbe(
        s->feed.get(),
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
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
            ++s->owner->m_fed;
            if (s->video)
                ++s->owner->m_frames;
            return GST_PAD_PROBE_OK;
        },
        s);
    if (forceKeyUnit)
        watchEncoderInput(*s);
}

// The video encoder a stream comes from: the feed's element or one a few steps upstream.
static TGstRef<GstPad> encoderSinkOf(GstPad* feed) {
    TGstRef<GstPad> src = GstRefAdd(feed);
    for (int step = 0; step < 4 && src; ++step) {
        const TGstRef<GstElement> element(gst_pad_get_parent_element(src.get()));
        src.reset();
        if (!element)
            return {};
        TGstRef<GstPad> sink(gst_element_get_static_pad(element.get(), "sink"));
        if (!sink)
            return {};
        if (GST_IS_VIDEO_ENCODER(element.get()))
            return sink;
        src.reset(gst_pad_get_peer(sink.get()));
    }
    return {};
}

void TRecordingBranch::watchEncoderInput(Stream& stream) {
    stream.encoderSink = stream.feed ? encoderSinkOf(stream.feed.get()) : TGstRef<GstPad>();
    if (!stream.encoderSink)
        return;
    gst_segment_init(&stream.encoderSegment, GST_FORMAT_TIME);
    addProbe(
        stream.encoderSink.get(),
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
    const TGstRef<GstPad> sink(encoder ? gst_element_get_static_pad(encoder, "sink") : nullptr);
    const TGstRef<GstPad> src(encoder ? gst_element_get_static_pad(encoder, "src") : nullptr);
    if (!sink || !src)
        return;
    auto keeper = std::make_unique<TimeKeeper>();
    gst_segment_init(&keeper->in, GST_FORMAT_TIME);
    gst_segment_init(&keeper->out, GST_FORMAT_TIME);
    // The times are carried over as running times: the encoder may move its output segment
    // (libav shifts it by 1000 hours so that decoding times never go below 0).
    static const auto kBufferOrEvent =
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM);
    addProbe(
        sink.get(), kBufferOrEvent,
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
        src.get(), kBufferOrEvent,
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
    m_keepers.push_back(std::move(keeper));
}
