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
    const TGstRef<GstPad> old(gst_pad_get_peer(feed));
    if (old)
        gst_pad_unlink(feed, old.get());
    if (gst_pad_link(feed, s.next) != GST_PAD_LINK_OK)
        qCWarning(lcVidorra) << "recording: the new file's writer refuses the stream";
    if (old)
        gst_pad_send_event(old.get(), gst_event_new_eos());
    s.baseSet = false;
    s.fileStart = s.nextStart;
    s.swapped.store(true, std::memory_order_release);
    s.owner->wake();
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
        s.feed.get(), GST_PAD_PROBE_TYPE_IDLE,
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
            gst_pad_remove_probe(s->feed.get(), id);
    }
}

bool TRecordingBranch::allSwapped() const {
    return std::all_of(m_streams.begin(), m_streams.end(),
                       [](const auto& s) { return s->swapped.load(std::memory_order_acquire); });
}

void TRecordingBranch::movePending(bool force) {
    for (auto& s : m_streams)
        if (s->swapPending.load(std::memory_order_acquire))
            relinkWhenIdle(*s, force);
}

bool TRecordingBranch::BeginSwap(const QString& fileName, int timeoutMs) {
    if (!m_writer || !m_factory || m_op != Op::None)
        return false;
    auto w = std::make_unique<Writer>();
    w->owner = this;
    w->fileName = fileName;
    const bool ok = makeWriter(*w) && std::all_of(w->pads.begin(), w->pads.end(),
                                                  [](const auto& p) { return bool(p); });
    if (!ok) {
        finishWriter(*w);
        return false;
    }
    for (auto it = w->elements.rbegin(); it != w->elements.rend(); ++it)
        gst_element_sync_state_with_parent(it->get());

    // The cut is where the stream furthest ahead is now; the others follow up to it.
    GstClockTime cut = GST_CLOCK_TIME_NONE;
    for (const auto& s : m_streams) {
        const GstClockTime t = s->lastRunning.load(std::memory_order_relaxed);
        if (GST_CLOCK_TIME_IS_VALID(t) && (!GST_CLOCK_TIME_IS_VALID(cut) || t > cut))
            cut = t;
    }
    for (size_t i = 0; i < m_streams.size(); ++i) {
        Stream& s = *m_streams[i];
        s.next = w->pads[i].get();
        s.cutAt = cut;
        s.nextStart = cut;
        s.swapped = false;
        s.swapPending.store(true, std::memory_order_release);
        if (s.forceKeyUnit && s.encoderSink)
            s.keyAt.store(GST_CLOCK_TIME_IS_VALID(cut) ? cut : 0, std::memory_order_release);
        else if (s.forceKeyUnit)
            gst_pad_send_event(s.feed.get(), gst_video_event_new_upstream_force_key_unit(
                                                 GST_CLOCK_TIME_NONE, TRUE, 0));
    }
    m_oldWriter = std::exchange(m_writer, std::move(w));
    m_op = Op::Swapping;
    m_timeoutMs = std::max(0, timeoutMs);
    m_finished = false;
    m_doneFile = m_oldWriter->fileName;
    m_opClock.start();
    nextPhase(0);
    return true;
}

// The steps of a cut, each with its time: the streams move at the cut by themselves (twice
// the wait), one that has not (no data, no key frame, a writer that holds its buffers) moves
// between two buffers; the old file gets its end (the wait), and what is still short of the
// cut (a stream without key frames) moves as it is; the old writer goes, and a stream it
// still held moves over then.
bool TRecordingBranch::advanceSwap() {
    Writer* old = m_oldWriter.get();
    switch (m_phase) {
    case 0:
        if (!allSwapped()) {
            if (!phaseOver(2 * m_timeoutMs))
                return false;
            movePending(false);
        }
        nextPhase(1);
        [[fallthrough]];
    case 1:
        if (!old->eos.load()) {
            if (!phaseOver(m_timeoutMs))
                return false;
            if (std::any_of(m_streams.begin(), m_streams.end(), [](const auto& s) {
                    return s->swapPending.load(std::memory_order_acquire);
                })) {
                movePending(true);
                nextPhase(2);
                return false;
            }
        }
        nextPhase(3);
        break;
    case 2:
        if (!old->eos.load() && !phaseOver(m_timeoutMs))
            return false;
        nextPhase(3);
        break;
    default:
        break;
    }
    if (m_phase == 3) {
        m_finished = old->eos.load();
        if (!m_finished)
            qCWarning(lcVidorra) << "recording: the end of" << old->fileName << "was not written";
        finishWriter(*old);
        nextPhase(4);
    }
    if (!allSwapped() && !phaseOver(200))
        return false;
    // The thread of a stream that was pushing into the old writer when it was stopped has
    // stopped too: that branch records nothing more, which ends the part.
    for (auto& tap : m_taps)
        if (gst_pad_get_last_flow_return(tap->src.get()) == GST_FLOW_FLUSHING &&
            !tap->failed.exchange(true))
            GST_ELEMENT_ERROR(tap->queue, STREAM, FAILED,
                              ("L'enregistrement ne reçoit plus d'images."),
                              ("branch stopped while its file was being changed"));
    m_oldWriter.reset();
    m_doneFinished = m_finished;
    m_op = Op::None;
    return true;
}
