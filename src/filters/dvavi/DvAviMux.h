#pragma once

#include <gst/gst.h>

// vr_dvavimux: DV of a camcorder (video/x-dv, systemstream=true, in whole frames or in pieces
// of any size) in, the byte stream of a type 1 DV AVI out (one "iavs" stream, OpenDML so that
// it may pass 4 GB), each buffer's offset its place in the file. At every RIFF boundary and at
// the end of the stream the sizes and headers are sent again for their places, each through a
// new BYTES segment, when downstream can seek (filesink can), so the file is complete after
// EOS; a downstream that cannot seek gets the stream with its provisional headers.
// Properties: riff-size (bytes per RIFF, 1 GiB), frames (read-only, frames written),
// bytes-to-finish (read-only, the index bytes still to be written at the end).
GType vr_dv_avi_mux_get_type();
#define VR_TYPE_DV_AVI_MUX (vr_dv_avi_mux_get_type())
