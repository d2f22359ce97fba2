#pragma once

#include <atomic>

#include "DVClip.h"

#include <string>

namespace dv {

// Encodes a test-pattern clip with avenc_dvvideo, muxes 48 kHz stereo PCM into it with
// avmux_dv, writes it as a raw DV file and then writes the clip's date, time, timecode and source
// packs into every frame. gst_init must have run. Blocks until the file is complete. stop: when it
// becomes true the clip is given up (error "stopped"), within 0.1 s.
bool GenerateClip(const std::string& path, const ClipSpec& spec, std::string* error,
                  const std::atomic<bool>* stop = nullptr);

} // namespace dv
