// What a plug-in does while it streams: its elements, its pictures (broken ones dropped and
// counted) and its stop, which the program never waits for beyond a time limit.
#include "Log.h"
#include "PlugIns.h"
#include "PluginGuard.h"

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <gst/video/video.h>
#include <mutex>
#include <set>
#include <thread>

namespace {

// The plug-in devices that exist (window thread).
std::set<TPlugInCaptureDevice*>& devices() {
    static std::set<TPlugInCaptureDevice*> all;
    return all;
}

// Elements of abandoned plug-ins: their streaming threads may still run in them, so they
// are never released (releasing would wait for those threads).
std::vector<GstElement*>& abandonedElements() {
    static auto* kept = new std::vector<GstElement*>;
    return *kept;
}

bool contains(GstBin* bin, GstElement* e) {
    const std::vector<GstElement*> all = PluginBinChildren(bin);
    return std::find(all.begin(), all.end(), e) != all.end();
}

void unlinkAll(GstElement* e) {
    const TGstRef<GstIterator> it(gst_element_iterate_pads(e));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it.get(), &item) == GST_ITERATOR_OK) {
        GstPad* pad = GST_PAD(g_value_get_object(&item));
        if (const TGstRef<GstPad> peer(gst_pad_get_peer(pad)); peer) {
            if (GST_PAD_IS_SRC(pad))
                gst_pad_unlink(pad, peer.get());
            else
                gst_pad_unlink(peer.get(), pad);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
}

constexpr int kLeftoverStopMs = 2000;

} // namespace

// Counters the streaming threads write and the window thread reads.
struct TPlugInCaptureDevice::Watch {
    std::atomic<quint64> broken{0};
    std::atomic<quint64> pictures{0};
    std::mutex lock; // guards info
    GstVideoInfo info{};
    bool haveInfo = false;
};

quint64 TPlugInCaptureDevice::BrokenFrames() const {
    return m_watch ? m_watch->broken.load() : 0;
}

QString TPlugInCaptureDevice::PluginFile() const {
    return QFileInfo(m_plugin->path).fileName();
}

namespace {

using WatchRef = std::shared_ptr<TPlugInCaptureDevice::Watch>;

GstPadProbeReturn onPicture(GstPad*, GstPadProbeInfo* info, gpointer data) {
    TPlugInCaptureDevice::Watch& w = **static_cast<WatchRef*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            const std::lock_guard guard(w.lock);
            w.haveInfo = caps && gst_video_info_from_caps(&w.info, caps);
        }
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    gsize expected = 0;
    {
        const std::lock_guard guard(w.lock);
        expected = w.haveInfo ? GST_VIDEO_INFO_SIZE(&w.info) : 0;
    }
    const gsize size = buffer ? gst_buffer_get_size(buffer) : 0;
    // Smaller than its format says, or empty: nothing downstream may read it.
    if (!buffer || gst_buffer_n_memory(buffer) == 0 || size == 0 || size < expected) {
        ++w.broken;
        return GST_PAD_PROBE_DROP;
    }
    ++w.pictures;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn onSound(GstPad*, GstPadProbeInfo* info, gpointer) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    // Sound without samples: dropped, nothing is lost.
    if (!buffer || gst_buffer_n_memory(buffer) == 0 || gst_buffer_get_size(buffer) == 0)
        return GST_PAD_PROBE_DROP;
    return GST_PAD_PROBE_OK;
}

} // namespace

void TPlugInCaptureDevice::watchPad(GstPad* pad, bool video) {
    if (!m_watch)
        m_watch = std::make_shared<Watch>();
    if (!video) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, onSound, nullptr, nullptr);
        return;
    }
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onPicture, new WatchRef(m_watch),
                      [](gpointer data) { delete static_cast<WatchRef*>(data); });
}

void TPlugInCaptureDevice::registerDevice(TPlugInCaptureDevice* device, bool present) {
    if (present)
        devices().insert(device);
    else
        devices().erase(device);
}

void TPlugInCaptureDevice::StopPluginsIn(GstBin* pipeline, int timeoutMs) {
    const std::set<TPlugInCaptureDevice*> all = devices();
    for (TPlugInCaptureDevice* d : all)
        if (d->m_bin == pipeline && !d->m_abandoned && !d->m_elements.empty() &&
            !d->stopElements(timeoutMs))
            d->Abandon(QStringLiteral("ne s'est pas arrêté dans les %1 s").arg(timeoutMs / 1000.0));
}

bool TPlugInCaptureDevice::stopElements(int timeoutMs, bool keepStopped) {
    // Apart from the pipeline, in a thread of their own: a thread that never comes back
    // costs that thread only.
    // Refs of their own, shared with the thread: they go with the last of the two to end.
    auto elements = std::make_shared<std::vector<TGstRef<GstElement>>>();
    for (const auto& e : m_elements)
        if (contains(m_bin, e.get())) {
            gst_element_set_locked_state(e.get(), TRUE);
            elements->push_back(GstRefAdd(e.get()));
        }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([elements, done] {
        for (const auto& e : *elements)
            gst_element_set_state(e.get(), GST_STATE_NULL);
        done->store(true);
    }).detach();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done->load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!done->load())
        return false; // the references stay with the thread, which may never end
    for (const auto& e : *elements)
        gst_element_set_locked_state(e.get(), keepStopped);
    return true;
}

void TPlugInCaptureDevice::Drop(const QString& reason) {
    // Its elements stop now (what it does to the program ends with them); the device goes
    // with the next refresh of the sources.
    if (!m_abandoned && m_bin && !m_elements.empty() && !stopElements(kLeftoverStopMs, true)) {
        Abandon(reason);
        return;
    }
    putOutOfUse(reason, QStringLiteral(
                            "Le module %1 %2 : sa source est retirée jusqu'au prochain démarrage.")
                            .arg(PluginFile(), reason));
}

void TPlugInCaptureDevice::putOutOfUse(const QString& reason, const QString& notice) {
    m_plugin->broken = true;
    m_plugin->enabled = false;
    m_plugin->reason = reason;
    Valid = false;
    if (notice.isEmpty())
        return;
    addUserNotice(notice);
    qCWarning(lcVidorra).noquote() << notice;
}

bool PlugInsAbandoned() {
    return !abandonedElements().empty();
}

void TPlugInCaptureDevice::removeLeftovers() {
    if (m_abandoned || m_elements.empty() || !m_bin)
        return;
    qCInfo(lcVidorra) << "plug-in" << PluginFile() << "left" << m_elements.size()
                      << "elements in the pipeline: taken out";
    if (!stopElements(kLeftoverStopMs)) {
        Abandon(QStringLiteral("ne s'est pas arrêté dans les %1 s").arg(kLeftoverStopMs / 1000));
        return;
    }
    for (const auto& e : m_elements) {
        unlinkAll(e.get());
        if (contains(m_bin, e.get()))
            gst_bin_remove(m_bin, e.get());
    }
    m_elements.clear();
}

void TPlugInCaptureDevice::Abandon(const QString& reason) {
    if (m_abandoned)
        return;
    m_abandoned = true;
    // Out of the pipeline, unlinked, never released.
    for (auto& held : m_elements) {
        GstElement* e = held.get();
        gst_element_set_locked_state(e, TRUE);
        unlinkAll(e);
        if (m_bin && contains(m_bin, e))
            gst_bin_remove(m_bin, e);
        abandonedElements().push_back(held.release());
    }
    m_elements.clear();
    putOutOfUse(reason,
                QStringLiteral("Le module %1 %2 : il a été abandonné jusqu'au prochain démarrage.")
                    .arg(PluginFile(), reason));
}
