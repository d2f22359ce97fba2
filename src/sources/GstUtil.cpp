#include "GstUtil.h"

#include "GstRef.h"
#include "Log.h"

#include <string>

namespace srcgst {

GstElement* Make(const char* factory) {
    GstElement* e = gst_element_factory_make(factory, nullptr);
    if (!e)
        qCWarning(lcVidorra) << "element" << factory << "missing";
    return e;
}

bool AddOwned(GstBin* bin, GstElement* e, const char* base) {
    if (!bin || !e)
        return false;
    if (g_object_is_floating(e))
        gst_object_ref_sink(e);
    if (GST_OBJECT_PARENT(e) == GST_OBJECT(bin))
        return true;
    std::string name = base;
    for (int i = 2; i < 1000; ++i) {
        const TGstRef<GstElement> other(gst_bin_get_by_name(bin, name.c_str()));
        if (!other || other.get() == e)
            break;
        name = std::string(base) + "_" + std::to_string(i);
    }
    if (!GST_OBJECT_PARENT(e))
        gst_object_set_name(GST_OBJECT(e), name.c_str());
    if (!gst_bin_add(bin, e)) {
        qCWarning(lcVidorra) << "cannot add" << name.c_str() << "to the pipeline";
        return false;
    }
    return true;
}

void RemoveFromBin(GstElement* e) {
    if (!e)
        return;
    const TGstRef<GstObject> parent(gst_object_get_parent(GST_OBJECT(e)));
    gst_element_set_state(e, GST_STATE_NULL);
    if (parent && GST_IS_BIN(parent.get()))
        gst_bin_remove(GST_BIN(parent.get()), e); // unlinks every pad
}

void RemoveOwned(TGstRef<GstElement>& e) {
    if (!e)
        return;
    RemoveFromBin(e.get());
    e.reset();
}

bool BinIsActive(GstBin* bin) {
    if (!bin)
        return false;
    GST_OBJECT_LOCK(bin);
    const bool active = GST_STATE(bin) > GST_STATE_NULL || GST_STATE_PENDING(bin) > GST_STATE_NULL;
    GST_OBJECT_UNLOCK(bin);
    return active;
}

void SyncWithParent(std::initializer_list<GstElement*> elements) {
    for (GstElement* e : elements) {
        if (!e)
            continue;
        const TGstRef<GstObject> parent(gst_object_get_parent(GST_OBJECT(e)));
        if (!parent)
            continue;
        if (GST_IS_BIN(parent.get()) && BinIsActive(GST_BIN(parent.get())))
            gst_element_sync_state_with_parent(e);
    }
}

void DetachUpstream(GstElement* e) {
    if (!e)
        return;
    TGstObjectList pads;
    GST_OBJECT_LOCK(e);
    for (GList* l = e->sinkpads; l; l = l->next)
        pads.reset(g_list_prepend(pads.release(), gst_object_ref(l->data)));
    GST_OBJECT_UNLOCK(e);
    for (GList* l = pads.get(); l; l = l->next) {
        GstPad* pad = GST_PAD(l->data);
        const TGstRef<GstPad> peer(gst_pad_get_peer(pad));
        if (!peer)
            continue;
        gst_pad_unlink(peer.get(), pad);
        // A push that began before the unlink holds the stream lock until it returns.
        for (int i = 0; i < 100; ++i) {
            if (g_rec_mutex_trylock(GST_PAD_GET_STREAM_LOCK(pad))) {
                g_rec_mutex_unlock(GST_PAD_GET_STREAM_LOCK(pad));
                break;
            }
            g_usleep(5000);
        }
    }
}

void ReleaseRequestPads(GstElement* tee) {
    if (!tee)
        return;
    TGstObjectList pads;
    GST_OBJECT_LOCK(tee);
    for (GList* l = GST_ELEMENT(tee)->srcpads; l; l = l->next)
        pads.reset(g_list_prepend(pads.release(), gst_object_ref(l->data)));
    GST_OBJECT_UNLOCK(tee);
    for (GList* l = pads.get(); l; l = l->next) {
        GstPad* pad = GST_PAD(l->data);
        const TGstRef<GstPadTemplate> templ(gst_pad_get_pad_template(pad));
        if (!templ || GST_PAD_TEMPLATE_PRESENCE(templ.get()) != GST_PAD_REQUEST)
            continue;
        if (const TGstRef<GstPad> peer(gst_pad_get_peer(pad)); peer)
            gst_pad_unlink(pad, peer.get());
        gst_element_release_request_pad(tee, pad);
    }
}

GstPad* FirstSrcPad(GstElement* e) {
    if (!e)
        return nullptr;
    if (GstPad* pad = gst_element_get_static_pad(e, "src"))
        return pad;
    GstPad* found = nullptr;
    GST_OBJECT_LOCK(e);
    if (e->srcpads)
        found = GST_PAD(gst_object_ref(e->srcpads->data));
    GST_OBJECT_UNLOCK(e);
    return found;
}

namespace {

GstPadProbeReturn DropWhileUnlinked(GstPad* pad, GstPadProbeInfo*, gpointer) {
    const TGstRef<GstPad> peer(gst_pad_get_peer(pad));
    if (!peer)
        return GST_PAD_PROBE_DROP;
    return GST_PAD_IS_FLUSHING(peer.get()) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

} // namespace

void GuardOutputPad(GstPad* pad) {
    if (!pad)
        return;
    // Once per pad: the pad keeps the mark as long as it lives.
    if (g_object_get_data(G_OBJECT(pad), "vr-guarded"))
        return;
    g_object_set_data(G_OBJECT(pad), "vr-guarded", GINT_TO_POINTER(1));
    gst_pad_add_probe(
        pad,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        DropWhileUnlinked, nullptr, nullptr);
}

void SetOwnedPad(TGstRef<GstPad>& slot, GstPad* pad) {
    slot = GstRefAdd(pad);
}

QString CapsText(const GstCaps* caps) {
    if (!caps)
        return QStringLiteral("(none)");
    g_autofree gchar* s = gst_caps_to_string(caps);
    return QString::fromUtf8(s);
}

} // namespace srcgst
