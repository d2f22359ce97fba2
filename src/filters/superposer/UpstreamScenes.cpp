#include "UpstreamScenes.h"

#include "dv/FrameInfoSource.h"

#include <deque>
#include <unordered_set>

namespace {

// Far more than any real pipeline holds; only a guard against a graph changing under us.
constexpr int kMaxSteps = 4096;

// Queues the pads that feed the element: the peers of its sink pads.
void queueFeedingPads(GstElement* element, std::deque<GstPad*>& pending) {
    GstIterator* it = gst_element_iterate_sink_pads(element);
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it, &item)) {
        case GST_ITERATOR_OK:
            if (GstPad* peer = gst_pad_get_peer(GST_PAD(g_value_get_object(&item))))
                pending.push_back(peer);
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC:
            // Pads seen twice lead to elements already visited.
            gst_iterator_resync(it);
            break;
        default:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

} // namespace

GstElement* vrFindUpstreamFrameInfoSource(GstElement* element) {
    if (!element)
        return nullptr;
    std::deque<GstPad*> pending; // each holds a reference
    std::unordered_set<GstElement*> visited{element};
    queueFeedingPads(element, pending);
    GstElement* found = nullptr;
    for (int steps = 0; !found && !pending.empty() && steps < kMaxSteps; ++steps) {
        GstPad* pad = pending.front();
        pending.pop_front();
        if (GST_IS_GHOST_PAD(pad)) {
            // A bin's source pad: on inside the bin.
            if (GstPad* target = gst_ghost_pad_get_target(GST_GHOST_PAD(pad)))
                pending.push_front(target);
        } else if (GST_IS_PROXY_PAD(pad)) {
            // The inner side of a bin's sink pad: out of the bin, on with what feeds it.
            if (GstProxyPad* outer = gst_proxy_pad_get_internal(GST_PROXY_PAD(pad))) {
                if (GstPad* peer = gst_pad_get_peer(GST_PAD(outer)))
                    pending.push_back(peer);
                gst_object_unref(outer);
            }
        } else if (GstElement* upstream = gst_pad_get_parent_element(pad)) {
            if (visited.insert(upstream).second) {
                if (g_object_get_data(G_OBJECT(upstream), kFrameInfoSourceKey))
                    found = GST_ELEMENT(gst_object_ref(upstream));
                else
                    queueFeedingPads(upstream, pending);
            }
            gst_object_unref(upstream);
        }
        gst_object_unref(pad);
    }
    for (GstPad* pad : pending)
        gst_object_unref(pad);
    return found;
}
