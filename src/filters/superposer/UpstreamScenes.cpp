#include "UpstreamScenes.h"

#include "GstRef.h"
#include "dv/FrameInfoSource.h"

#include <deque>
#include <unordered_set>

namespace {

// Far more than any real pipeline holds; only a guard against a graph changing under us.
constexpr int kMaxSteps = 4096;

// Queues the pads that feed the element: the peers of its sink pads.
void queueFeedingPads(GstElement* element, std::deque<TGstRef<GstPad>>& pending) {
    TGstRef<GstIterator> it(gst_element_iterate_sink_pads(element));
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it.get(), &item)) {
        case GST_ITERATOR_OK:
            if (GstPad* peer = gst_pad_get_peer(GST_PAD(g_value_get_object(&item))))
                pending.emplace_back(peer);
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC:
            // Pads seen twice lead to elements already visited.
            gst_iterator_resync(it.get());
            break;
        default:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
}

} // namespace

GstElement* vrFindUpstreamFrameInfoSource(GstElement* element) {
    if (!element)
        return nullptr;
    std::deque<TGstRef<GstPad>> pending;
    std::unordered_set<GstElement*> visited{element};
    queueFeedingPads(element, pending);
    GstElement* found = nullptr;
    for (int steps = 0; !found && !pending.empty() && steps < kMaxSteps; ++steps) {
        const TGstRef<GstPad> held = std::move(pending.front());
        pending.pop_front();
        GstPad* pad = held.get();
        if (GST_IS_GHOST_PAD(pad)) {
            // A bin's source pad: on inside the bin.
            if (GstPad* target = gst_ghost_pad_get_target(GST_GHOST_PAD(pad)))
                pending.emplace_front(target);
        } else if (GST_IS_PROXY_PAD(pad)) {
            // The inner side of a bin's sink pad: out of the bin, on with what feeds it.
            const TGstRef<GstPad> outer(GST_PAD(gst_proxy_pad_get_internal(GST_PROXY_PAD(pad))));
            if (outer)
                if (GstPad* peer = gst_pad_get_peer(outer.get()))
                    pending.emplace_back(peer);
        } else if (TGstRef<GstElement> upstream{gst_pad_get_parent_element(pad)}) {
            if (visited.insert(upstream.get()).second) {
                if (g_object_get_data(G_OBJECT(upstream.get()), kFrameInfoSourceKey))
                    found = upstream.release();
                else
                    queueFeedingPads(upstream.get(), pending);
            }
        }
    }
    return found;
}
