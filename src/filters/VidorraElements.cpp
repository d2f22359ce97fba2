#include "VidorraElements.h"

#include "DVHeader.h"
#include "DvAviMux.h"
#include "GstControlFilter.h"
#include "GstSuperposer.h"
#include "GstTimeStamper.h"
#include "Resizer.h"
#include "SceneDetect.h"
#include "WaveDest.h"

#include <mutex>

gboolean vidorraRegisterElements(GstPlugin* plugin) {
    gboolean ok = TRUE;
    // One line per element: ok &= gst_element_register(plugin, "vr_…", GST_RANK_NONE, type);
    ok &= gst_element_register(plugin, "vr_superposer", GST_RANK_NONE, VR_TYPE_SUPERPOSER);
    ok &= gst_element_register(plugin, "vr_timestamper", GST_RANK_NONE, VR_TYPE_TIMESTAMPER);
    ok &= gst_element_register(plugin, "vr_controlfilter", GST_RANK_NONE, VR_TYPE_CONTROLFILTER);
    ok &= gst_element_register(plugin, "vr_scenedetect", GST_RANK_NONE, VR_TYPE_SCENE_DETECT);
    ok &= gst_element_register(plugin, "vr_dvheader", GST_RANK_NONE, VR_TYPE_DV_HEADER);
    ok &= gst_element_register(plugin, "vr_resizer", GST_RANK_NONE, VR_TYPE_RESIZER);
    ok &= gst_element_register(plugin, "vr_wavedest", GST_RANK_NONE, VR_TYPE_WAVE_DEST);
    ok &= gst_element_register(plugin, "vr_dvavimux", GST_RANK_NONE, VR_TYPE_DV_AVI_MUX);
    return ok;
}

bool vidorraRegisterStatic() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        vrSuperposerUseProgramDefaults();
        registered = gst_plugin_register_static(
            GST_VERSION_MAJOR, GST_VERSION_MINOR, "vidorra", "Filtres vidéo et audio de Vidorra",
            vidorraRegisterElements, VIDORRA_VERSION, "LGPL", "vidorra", "Vidorra",
            "https://ardoval.invalid/vidorra");
    });
    return registered;
}
