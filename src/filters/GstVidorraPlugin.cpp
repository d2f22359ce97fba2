// The loadable form of the program's elements, for gst-inspect-1.0 / gst-launch-1.0 and any
// other GStreamer application.
#include "VidorraElements.h"

#define PACKAGE "vidorra"

static gboolean pluginInit(GstPlugin* plugin) { return vidorraRegisterElements(plugin); }

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vidorra,
                  "Filtres vidéo et audio de Vidorra", pluginInit, VIDORRA_VERSION, "LGPL",
                  "vidorra", "https://ardoval.invalid/vidorra")
