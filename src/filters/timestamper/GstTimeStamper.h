#pragma once

#include <gst/gst.h>

// vr_timestamper ("Ardoval vr_Timestamper"): passes any media, rewriting or removing the
// time stamps and numbering the buffers in their offsets (media times), or withholding
// every buffer while "frozen". Property "mode": keep (default), clock (running time + 20 ms,
// duration kept or 4 ms), remove (no time stamps, no offsets).
GType tvr_timestamper_get_type();
#define VR_TYPE_TIMESTAMPER (tvr_timestamper_get_type())
