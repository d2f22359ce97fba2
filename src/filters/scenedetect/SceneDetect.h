#pragma once

#include "DVFrameInfo.h"
#include "FrameInfoSource.h"

#include <gst/gst.h>

#include <functional>

// vr_scenedetect ("Ardoval vr_SceneDetect"): reads the metadata of every DV frame, keeps the
// last 100 frames in rings (IFrameInfoSource, published on the element under
// kFrameInfoSourceKey), detects scene changes from jumps of the recording date and posts:
//   vr-scene       (element message) at each scene change: start-frame, start-date,
//                  start-date-valid, start-time, frame, date, date-valid, time
//   vr-widescreen  (element message) when the picture switches between 4:3 and 16:9:
//                  message 1027, wparam 1, lparam 1 (16:9) or 0 (4:3), widescreen
// The action signal "end-part" does what vrSceneDetectEndPart does.
GType vr_scene_detect_get_type();
#define VR_TYPE_SCENE_DETECT (vr_scene_detect_get_type())

// Called on the streaming thread (or the thread of vrSceneDetectEndPart) with the first frame
// of the scene that ends and the frame that opens the next one (or the last frame seen, for
// the final report).
using OnSceneCallback =
    std::function<void(const TDVFrameInfo& sceneStart, const TDVFrameInfo& current)>;

// Installs the scene callback, or removes it with an empty function. Safe while streaming:
// once it returns, the previous callback is not running and will not be called again. The
// callback must not call back into these functions.
bool vrSceneDetectSetOnScene(GstElement* detector, OnSceneCallback callback);

// End of a recording part: reports the running scene to the callback (when a frame was seen
// since the part began) and restarts the frame counting; the rings are kept. Callable while
// streaming, from any thread.
bool vrSceneDetectEndPart(GstElement* detector);

// The detector's current frame record (the newest one); false before the first frame.
bool vrSceneDetectCurrent(GstElement* detector, TDVFrameInfo& info);

// The rings of a detector element, or null when the element is not one.
IFrameInfoSource* vrFrameInfoSource(GstElement* detector);
