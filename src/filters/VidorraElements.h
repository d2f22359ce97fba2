#pragma once

#include <gst/gst.h>

// Registers every element of the program on the given plug-in. Used both by the loadable
// plug-in and by the program's static registration.
gboolean vidorraRegisterElements(GstPlugin* plugin);

// Registers the elements statically inside the running process (once; later calls are
// no-ops), with the program's defaults: the overlay starts blank. gst_init() must have run.
bool vidorraRegisterStatic();
