#pragma once

#include <gst/gst.h>

// vr_dvheader ("Ardoval vr_DVHeader"): after a DV re-encoder, copies the camcorder frame's
// header, subcode and VAUX blocks (480 bytes of DIF sequences 0..9), kept by the scene
// detector given as "scene-source", over the re-encoded frame, and with header-mode 1 forces
// the 16:9 display flag (0 keep, "4x3"; 1 force 16:9, "16x9"; 2 keep, "Garder le format DV").
//
// The camcorder frame is found by the start time the frame had when it entered the recording
// branch: the reference-timestamp meta of caps kBranchTimestampCaps when the frame carries one
// (encoders may shift buffer times; the meta travels with the frame), else its PTS. Whoever
// heads the branch marks each frame with the standard meta:
//   gst_buffer_add_reference_timestamp_meta(buffer, caps, GST_BUFFER_PTS(buffer),
//                                           GST_CLOCK_TIME_NONE);
GType vr_dv_header_get_type();
#define VR_TYPE_DV_HEADER (vr_dv_header_get_type())

inline constexpr const char* kBranchTimestampCaps = "timestamp/x-vidorra-branch";
