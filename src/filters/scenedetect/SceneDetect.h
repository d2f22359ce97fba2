#pragma once

#include "DVFrameInfo.h"
#include "FrameInfoSource.h"

#include <gst/gst.h>

// vr_scenedetect ("Ardoval vr_SceneDetect"): reads the metadata of every DV frame, keeps the
// last 100 frames in rings (IFrameInfoSource, published on the element under
// kFrameInfoSourceKey), detects scene changes from jumps of the recording date and posts:
//   vr-scene       (element message) at each scene change: start-frame, start-date,
//                  start-date-valid, start-time, frame, date, date-valid, time
//   vr-widescreen  (element message) when the picture switches between 4:3 and 16:9:
//                  message 1027, wparam 1, lparam 1 (16:9) or 0 (4:3), widescreen
// Properties: "current-frame" (read-only, VrDVFrameInfo): the newest frame record, null before
// the first frame; "emit-signals" (off by default): whether "scene" is emitted.
// Signals:
//   scene     (VrDVFrameInfo* sceneStart, VrDVFrameInfo* current): the first frame of the scene
//             that ends and the frame that opens the next one (or the last frame seen, at the
//             end of a part or a stop). Emitted on the streaming thread, or on the thread that
//             emits end-part or stops the element, with the detector's locks held, so that a
//             handler's work is done when end-part returns: handlers must not call into the
//             element. Once "emit-signals" is set to false, no handler is running and none
//             will run, so a handler's data can go.
//   end-part  (action) end of a recording part: emits scene for the running scene (when a
//             frame was seen since the part began) and restarts the frame counting; the rings
//             are kept. Callable while streaming, from any thread.
GType vr_scene_detect_get_type();
#define VR_TYPE_SCENE_DETECT (vr_scene_detect_get_type())

// TDVFrameInfo as a boxed type (copied with new, freed with delete).
using VrDVFrameInfo = TDVFrameInfo;
GType vr_dv_frame_info_get_type();
#define VR_TYPE_DV_FRAME_INFO (vr_dv_frame_info_get_type())

// The rings of a detector element, or null when the element is not one.
IFrameInfoSource* vrFrameInfoSource(GstElement* detector);
