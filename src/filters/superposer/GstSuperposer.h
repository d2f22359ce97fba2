#pragma once

#include "VrIncrustRec.h"

#include <gst/gst.h>

class SuperposerCore;

// vr_superposer ("Ardoval vr_Superposer"): the overlay on video/x-raw, format=BGR, working
// in place. The record's fields, the flips, "overlay-enabled" ("Activer Superposition"),
// "frame-duration" and "scene-source" (a DV scene detector) are properties; without a scene
// source the overlay reads the nearest vr_scenedetect upstream in its pipeline. "last-text"
// (read-only, notified) is the text last drawn; "incrust-rec" sets or reads all the record's
// fields at once. Action signals:
// "grab-image", "start-intervalometer" (interval in 1/10000 s), "stop-intervalometer",
// "release-slot" (slot index). Element messages, posted on the streaming thread:
//   vr-snapshot        message 1025, wparam 0, lparam = slot, slot, sample (the picture as a
//                      GstSample, valid until the slot is released and after), date-valid
//                      and rec-date (the DV recording date of that very picture, in days),
//                      periodic (taken by the intervalometer, not asked for by grab-image)
//   vr-grab-countdown  message 1026, wparam = seconds to the next periodic grab, lparam 0,
//                      seconds (posted only when the value changes)
// A new overlay draws the system date and time (incrust-active on, what-incrust 3), unless
// vrSuperposerUseProgramDefaults() ran first.
GType tvr_superposer_get_type();
#define VR_TYPE_SUPERPOSER (tvr_superposer_get_type())

// Inside the program the overlays start blank (no text, the default record) and the program
// gives them its settings. Call before the element is registered.
void vrSuperposerUseProgramDefaults();

// VrIncrustRec as a boxed type (copied with new, freed with delete), the value of the property
// "incrust-rec": the whole record at once, one rebuild of the text instead of one per field.
// Its texts are UTF-8 (invalid sequences are replaced, as for the string properties).
GType vr_incrust_rec_get_type();
#define VR_TYPE_INCRUST_REC (vr_incrust_rec_get_type())

// The element's core, for the program's direct calls (null when not a vr_superposer).
SuperposerCore* vrSuperposerCore(GstElement* superposer);
