// The recording branch's life cycle: its elements and taps, the writer of each file, the
// start, and the end that takes everything out again.
#include "RecordingBranch.h"

#include "Log.h"
#include "RecordingBranchState.h"

#include <algorithm>

namespace {

GstPad* requestOrStatic(GstElement* head, bool video) {
    GstElementClass* klass = GST_ELEMENT_GET_CLASS(head);
    for (const char* name : {video ? "video_%u" : "audio_%u", "sink_%d", "sink_%u"}) {
        if (GstPadTemplate* t = gst_element_class_get_pad_template(klass, name))
            if (GST_PAD_TEMPLATE_PRESENCE(t) == GST_PAD_REQUEST)
                return gst_element_request_pad(head, t, nullptr, nullptr);
    }
    return gst_element_get_static_pad(head, "sink");
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
    for (Writer* w : {m_oldWriter.get(), m_writer.get()})
        if (w)
            finishWriter(*w);
    for (GstElement* e : m_own)
        gst_element_set_state(e, GST_STATE_NULL);
    removeProbes();
    for (auto& tap : m_taps) {
        if (tap->teePad) {
            if (const TGstRef<GstPad> peer(gst_pad_get_peer(tap->teePad.get())); peer)
                gst_pad_unlink(tap->teePad.get(), peer.get());
            gst_element_release_request_pad(tap->tee.get(), tap->teePad.get());
        }
    }
    m_taps.clear();
    for (const auto& e : m_made)
        removeElement(m_bin, e.get());
    m_made.clear();
    for (GstElement* e : m_own)
        removeElement(m_bin, e);
    m_streams.clear();
}

GstElement* TRecordingBranch::Make(const char* factory, const char* name) {
    GstElement* e = gst_element_factory_make(factory, name);
    if (!e) {
        qCWarning(lcVidorra) << "element" << factory << "is missing for the recording";
        return nullptr;
    }
    TGstRef<GstElement> held = GstRefSink(e);
    if (!gst_bin_add(m_bin, e))
        return nullptr;
    m_made.push_back(std::move(held));
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
    tap->tee = GstRefAdd(tee);
    tap->queue = queue;
    tap->ending = &m_ending;
    tap->owner = this;
    // A branch that failed (an encoder refusing the picture, a file that cannot be written)
    // must not take the source and the preview down with it: once the queue's thread has
    // stopped on an error, what the tee hands it is dropped, and the failure is reported
    // once on the bus so that the graph module ends the part. An end of stream or a flush
    // coming back from the branch while it is not ending is dropped too (handed to the tee,
    // it would stop the source); the end of stream means the branch records nothing more,
    // which is a failure as well.
    const TGstRef<GstPad> sink(gst_element_get_static_pad(queue, "sink"));
    tap->src.reset(gst_element_get_static_pad(queue, "src"));
    addProbe(
        sink.get(), GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad*, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
            auto* t = static_cast<TapPad*>(data);
            const GstFlowReturn last = gst_pad_get_last_flow_return(t->src.get());
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

// The writer's elements for its file, in the pipeline and linked, with a pad for every stream.
bool TRecordingBranch::makeWriter(Writer& w) {
    const std::vector<GstElement*> made = m_factory(w.fileName);
    bool ok = !made.empty();
    for (GstElement* e : made) {
        // The writer holds a ref of its own (the floating one), the bin another.
        w.elements.push_back(GstRefSink(e));
        if (!e) {
            ok = false;
            continue;
        }
        ok = ok && gst_bin_add(m_bin, e);
    }
    for (size_t i = 1; ok && i < w.elements.size(); ++i)
        ok = gst_element_link(w.elements[i - 1].get(), w.elements[i].get());
    if (ok)
        linkStreams(w);
    return ok;
}

bool TRecordingBranch::OpenWriter(TWriterFactory factory, const QString& fileName) {
    m_factory = std::move(factory);
    m_writer = std::make_unique<Writer>();
    m_writer->owner = this;
    m_writer->fileName = fileName;
    if (!makeWriter(*m_writer))
        return false;
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (!m_writer->pads[i] ||
            gst_pad_link(m_streams[i]->feed.get(), m_writer->pads[i].get()) != GST_PAD_LINK_OK) {
            qCWarning(lcVidorra) << "recording: the writer of" << fileName << "refuses a stream";
            return false;
        }
    return true;
}

// Pads of the writer for every stream, and the watch for the end of its file.
void TRecordingBranch::linkStreams(Writer& w) {
    GstElement* head = w.elements.front().get();
    for (auto& s : m_streams) {
        GstPad* pad = w.pads.emplace_back(requestOrStatic(head, s->video)).get();
        if (pad && GST_PAD_PAD_TEMPLATE(pad) &&
            GST_PAD_TEMPLATE_PRESENCE(GST_PAD_PAD_TEMPLATE(pad)) == GST_PAD_REQUEST)
            w.requested.push_back(pad);
    }
    const TGstRef<GstPad> sinkPad(gst_element_get_static_pad(w.elements.back().get(), "sink"));
    addProbe(
        sinkPad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
                auto* w = static_cast<Writer*>(data);
                w->eos = true;
                w->owner->wake();
            }
            return GST_PAD_PROBE_OK;
        },
        &w);
}

bool TRecordingBranch::Start() {
    if (m_started)
        return true;
    // Downstream first, so that nothing arrives at an element that is not running yet.
    if (m_writer)
        for (auto it = m_writer->elements.rbegin(); it != m_writer->elements.rend(); ++it)
            gst_element_sync_state_with_parent(it->get());
    for (auto it = m_own.rbegin(); it != m_own.rend(); ++it)
        gst_element_sync_state_with_parent(*it);
    for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
        gst_element_sync_state_with_parent(it->get());
    bool ok = true;
    for (auto& tap : m_taps) {
        tap->teePad.reset(gst_element_request_pad_simple(tap->tee.get(), "src_%u"));
        const TGstRef<GstPad> sink(gst_element_get_static_pad(tap->queue, "sink"));
        ok = ok && tap->teePad && gst_pad_link(tap->teePad.get(), sink.get()) == GST_PAD_LINK_OK;
    }
    m_started = true;
    return ok;
}

void TRecordingBranch::nextPhase(int phase) {
    m_phase = phase;
    m_phaseClock.start();
}

bool TRecordingBranch::phaseOver(int ms) const {
    return m_phaseClock.elapsed() >= ms;
}

void TRecordingBranch::BeginEnd(int timeoutMs, int longestMs) {
    m_ending = true;
    dropIdleProbes();
    GstState state = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(GST_ELEMENT(m_bin), &state, &pending, 0);
    // A recording stopped at once may find the graph still on its way to playing (a busy
    // machine): its end gets there with the first data, so it is waited for as well.
    m_flowing =
        m_started && m_writer && (state == GST_STATE_PLAYING || pending == GST_STATE_PLAYING);
    for (auto& tap : m_taps) {
        if (!tap->teePad) {
            tap->done = true;
            continue;
        }
        // Once the tee is between two buffers, the branch is cut off and told it ended.
        gst_pad_add_probe(
            tap->teePad.get(), GST_PAD_PROBE_TYPE_IDLE,
            [](GstPad* pad, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
                auto* tap = static_cast<TapPad*>(data);
                const TGstRef<GstPad> sink(gst_element_get_static_pad(tap->queue, "sink"));
                gst_pad_unlink(pad, sink.get());
                gst_pad_send_event(sink.get(), gst_event_new_eos());
                tap->done = true;
                tap->owner->wake();
                return GST_PAD_PROBE_REMOVE;
            },
            tap.get(), nullptr);
    }
    m_op = Op::Ending;
    m_timeoutMs = std::max(0, timeoutMs);
    m_longestMs = std::max(m_timeoutMs, longestMs);
    m_finished = false;
    m_fedMark = m_fed.load();
    m_doneFile = fileName();
    m_opClock.start();
    nextPhase(0);
}

bool TRecordingBranch::Advance() {
    switch (m_op) {
    case Op::None:
        return true;
    case Op::Ending:
        return advanceEnd();
    case Op::Swapping:
        return advanceSwap();
    }
    return true;
}

bool TRecordingBranch::advanceEnd() {
    const auto ended = [this] {
        return m_writer && m_writer->eos.load() &&
               std::all_of(m_taps.begin(), m_taps.end(),
                           [](const auto& t) { return t->done.load(); });
    };
    if (m_flowing && !ended()) {
        if (!phaseOver(m_timeoutMs))
            return false;
        // An encoder behind its source still holds what the queues gave it: the wait goes on
        // as long as buffers keep reaching the file, so that a stop keeps them all.
        const quint64 fed = m_fed.load();
        if (m_timeoutMs > 0 && fed != m_fedMark && m_opClock.elapsed() < m_longestMs) {
            m_fedMark = fed;
            nextPhase(0);
            return false;
        }
    }
    m_finished = m_flowing && ended();
    if (!m_finished)
        qCWarning(lcVidorra) << "recording: the end of" << m_doneFile << "was not written";
    TearDown();
    m_doneFinished = m_finished;
    m_op = Op::None;
    return true;
}

void TRecordingBranch::TearDown() {
    m_ending = true;
    dropIdleProbes();
    for (auto& tap : m_taps) {
        if (!tap->teePad)
            continue;
        if (const TGstRef<GstPad> peer(gst_pad_get_peer(tap->teePad.get())); peer)
            gst_pad_unlink(tap->teePad.get(), peer.get());
        gst_element_release_request_pad(tap->tee.get(), tap->teePad.get());
        tap->teePad.reset();
    }
    for (auto* w : {&m_oldWriter, &m_writer})
        if (*w) {
            finishWriter(**w);
            w->reset();
        }
    for (GstElement* e : m_own)
        gst_element_set_state(e, GST_STATE_NULL);
    removeProbes();
    for (const auto& e : m_made)
        removeElement(m_bin, e.get());
    m_made.clear();
    for (GstElement* e : m_own)
        removeElement(m_bin, e);
    m_own.clear();
}

void TRecordingBranch::addProbe(GstPad* pad, GstPadProbeType mask, GstPadProbeCallback callback,
                                gpointer data) {
    // The module's own elements outlive the branch: their probes leave with it.
    m_probes.emplace_back(GstRefAdd(pad), gst_pad_add_probe(pad, mask, callback, data, nullptr));
}

void TRecordingBranch::removeProbes() {
    for (auto& [pad, id] : m_probes)
        gst_pad_remove_probe(pad.get(), id);
    m_probes.clear();
}

void TRecordingBranch::finishWriter(Writer& w) {
    for (const auto& e : w.elements)
        if (e)
            gst_element_set_state(e.get(), GST_STATE_NULL);
    GstElement* head = w.elements.empty() ? nullptr : w.elements.front().get();
    for (auto& held : w.pads) {
        GstPad* pad = held.get();
        if (!pad)
            continue;
        if (const TGstRef<GstPad> peer(gst_pad_get_peer(pad)); peer)
            gst_pad_unlink(peer.get(), pad);
        if (head && std::find(w.requested.begin(), w.requested.end(), pad) != w.requested.end())
            gst_element_release_request_pad(head, pad);
        held.reset();
    }
    w.pads.clear();
    w.requested.clear();
    for (const auto& e : w.elements)
        if (e)
            removeElement(m_bin, e.get());
    w.elements.clear();
}

QString TRecordingBranch::fileName() const {
    return m_writer ? m_writer->fileName : QString();
}

GstElement* TRecordingBranch::writerHead() const {
    return m_writer && !m_writer->elements.empty() ? m_writer->elements.front().get() : nullptr;
}

bool TRecordingBranch::Owns(GstObject* object) const {
    auto inside = [object](const TGstRef<GstElement>& held) {
        GstElement* e = held.get();
        return e && (GST_OBJECT(e) == object || gst_object_has_as_ancestor(object, GST_OBJECT(e)));
    };
    if (std::any_of(m_made.begin(), m_made.end(), inside))
        return true;
    for (const Writer* w : {m_writer.get(), m_oldWriter.get()})
        if (w && std::any_of(w->elements.begin(), w->elements.end(), inside))
            return true;
    return false;
}
