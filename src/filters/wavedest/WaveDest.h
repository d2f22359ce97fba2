#pragma once

#include <gst/gst.h>

// vr_wavedest ("WavDest filter"): raw audio, A-law, µ-law or MP3 frames in, the byte stream of a
// RIFF/WAVE file out (audio/x-wav in a BYTES segment, each buffer's offset its position in the
// file). At the end of the stream the finished header is sent again for offset 0, through a new
// BYTES segment, when the next element can seek (filesink can); otherwise the provisional header
// written first stays. MP3 goes in an MPEG Layer-3 format block (30 bytes, audio from
// byte 58) whose average bitrate is measured on the frames when the bitrate varies.
GType vr_wave_dest_get_type();
#define VR_TYPE_WAVE_DEST (vr_wave_dest_get_type())
