#pragma once

#include <gst/gst.h>

// The nearest element upstream of `element` that publishes DV frame information
// (kFrameInfoSourceKey, as the DV scene detector does), or null; a new reference.
//
// The search follows the peers of the sink pads element by element, into a bin through its
// source ghost pad and out of it through its sink ghost pads, so that the overlay of any
// pipeline (filesrc ! dvdemux ! vr_scenedetect ! dvdec ! videoconvert ! vr_superposer) finds
// the detector that saw its frames. Each element is visited once: loops end.
GstElement* vrFindUpstreamFrameInfoSource(GstElement* element);
