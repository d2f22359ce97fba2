// The writer swap of a cut: the streams move to the new file's writer, each at the cut or,
// when it waits too long, between two buffers; the old file gets its end.
#include "RecordingBranch.h"

#include "Log.h"
#include "RecordingBranchState.h"

#include <algorithm>
#include <gst/video/video.h>
#include <mutex>
#include <thread>

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
