#pragma once

#include "IncrustRec.h"
#include "VrIncrustRec.h"

#include <gst/gst.h>

// The settings' inlay record as the overlay element takes it: the same fields, texts in UTF-8.
VrIncrustRec toOverlayRec(const TincrustRec& rec);

// Gives the whole record to a vr_superposer ("incrust-rec"), laid out once.
void setOverlayIncrustRec(GstElement* overlay, const TincrustRec& rec);
