// The loadable form of the program's elements, for gst-inspect-1.0 / gst-launch-1.0 and any
// other GStreamer application.
#include "GstRef.h"
#include "VidorraElements.h"

#define PACKAGE "vidorra"

namespace {

// Inside Vidorra the elements are registered statically before anything loads this library
// (the help panel loads a filter file to check it), and the program's own win: this copy's
// types cannot be registered a second time in the same process, so it adds nothing there.
bool elementsAlreadyLive() {
    const TGstRef<GstElementFactory> factory(gst_element_factory_find("vr_superposer"));
    return factory && gst_element_factory_get_element_type(factory.get()) != 0;
}

gboolean pluginInit(GstPlugin* plugin) {
    if (elementsAlreadyLive())
        return TRUE;
    return vidorraRegisterElements(plugin);
}

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vidorra,
                  "Filtres vidéo et audio de Vidorra", pluginInit, VIDORRA_VERSION, "LGPL",
                  "vidorra", "https://ardoval.invalid/vidorra")
