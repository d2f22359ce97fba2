#pragma once

#include "DVClip.h"

#include <string>

namespace dv {

// Encodes a test-pattern clip with avenc_dvvideo, muxes 48 kHz stereo PCM into it with
// avmux_dv, writes it as a raw DV file and then writes the clip's date, time, timecode and source packs into every frame.
// gst_init must have run. Blocks until the file is complete.
bool GenerateClip(const std::string& path, const ClipSpec& spec, std::string* error);

} // namespace dv
