#pragma once

#include <gst/gst.h>

// vr_resizer ("Ardoval Resizer"): scales BGR or I420 frames (the same format out as in) to
// the size given by the DivX ratio option. Properties: ratio-mode (-1 until set: 320 x 240 from any
// input; 0 "Normal", 1 "4x3", 2 "16x9", 3 "natif"), half-size ("Demi Taille"), aspect-x / aspect-y
// (the source's picture aspect, 0:0 when unknown). Frames whose size does not change pass through
// untouched.
GType vr_resizer_get_type();
#define VR_TYPE_RESIZER (vr_resizer_get_type())
