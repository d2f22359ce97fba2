#pragma once

#include <gst/gst.h>

// vr_controlfilter ("Ardoval vr_ControlFilter"): a gate that passes exactly one buffer each
// time "gate-open" is set, optionally numbering the passed buffers in their offsets and
// marking them as key frames and/or discontinuities. The gate re-opens at each stop, after
// which the signal "on-stop" is emitted (from the thread that changes the state).
GType tvr_controlfilter_get_type();
#define VR_TYPE_CONTROLFILTER (tvr_controlfilter_get_type())
