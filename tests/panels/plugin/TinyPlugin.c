/* The smallest GStreamer plug-in: one element that does nothing. The help panel's tests
 * install it into a temporary plug-in folder and remove it again. */
#include <gst/gst.h>

#define VR_TYPE_TINY (vr_tiny_get_type())
G_DECLARE_FINAL_TYPE(VrTiny, vr_tiny, VR, TINY, GstElement)

struct _VrTiny {
    GstElement parent;
};

G_DEFINE_TYPE(VrTiny, vr_tiny, GST_TYPE_ELEMENT)

static void vr_tiny_class_init(VrTinyClass* klass) {
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Tiny", "Generic",
                                          "Does nothing", "Vidorra tests");
}

static void vr_tiny_init(VrTiny* self) {
    (void)self;
}

static gboolean plugin_init(GstPlugin* plugin) {
    return gst_element_register(plugin, "vrtinytest", GST_RANK_NONE, VR_TYPE_TINY);
}

#define PACKAGE "vrtinytest"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vrtinytest, "Tiny test plug-in",
                  plugin_init, "1.0", "LGPL", PACKAGE, "https://ardoval.example/vidorra")
