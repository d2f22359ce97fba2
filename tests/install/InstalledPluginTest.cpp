// The program registers its elements statically, and the same elements are installed as the
// plug-in library "vidorra". With that library on the plug-in path, as it is once installed
// to /usr, the program's own elements are the ones used and the second copy harms nothing.
#include "VidorraElements.h"

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <string>

namespace {

const char* const kElements[] = {"vr_superposer",  "vr_timestamper", "vr_controlfilter",
                                 "vr_scenedetect", "vr_dvheader",    "vr_resizer",
                                 "vr_wavedest",    "vr_dvavimux"};

const std::string kInstalled = VR_PLUGIN_DIR "/libgstvidorra.so";

// The registry's plug-ins named "vidorra": the static one has no file.
GstPlugin* findVidorra(bool fromFile) {
    GstPlugin* found = nullptr;
    GList* plugins = gst_registry_get_plugin_list(gst_registry_get());
    for (GList* l = plugins; l && !found; l = l->next) {
        auto* plugin = GST_PLUGIN(l->data);
        if (g_strcmp0(gst_plugin_get_name(plugin), "vidorra") == 0 &&
            (gst_plugin_get_filename(plugin) != nullptr) == fromFile)
            found = GST_PLUGIN(gst_object_ref(plugin));
    }
    gst_plugin_list_free(plugins);
    return found;
}

// Every element comes from the static plug-in and makes instances of the program's types.
void expectStaticElements() {
    GstPlugin* own = findVidorra(false);
    ASSERT_NE(own, nullptr);
    for (const char* name : kElements) {
        GstElementFactory* factory = gst_element_factory_find(name);
        ASSERT_NE(factory, nullptr) << name;
        GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory));
        EXPECT_EQ(plugin, own) << name;
        GstElement* element = gst_element_factory_create(factory, nullptr);
        ASSERT_NE(element, nullptr) << name;
        EXPECT_EQ(gst_element_get_factory(element), factory) << name;
        EXPECT_EQ(G_OBJECT_TYPE(element), gst_element_factory_get_element_type(factory)) << name;
        gst_object_unref(element);
        if (plugin)
            gst_object_unref(plugin);
        gst_object_unref(factory);
    }
    gst_object_unref(own);
}

TEST(InstalledPlugin, ScanFindsTheInstalledLibrary) {
    GstPlugin* installed = findVidorra(true);
    ASSERT_NE(installed, nullptr) << "the registry does not know " << kInstalled;
    EXPECT_EQ(std::string(gst_plugin_get_filename(installed)), kInstalled);
    gst_object_unref(installed);
}

TEST(InstalledPlugin, ProgramElementsWin) {
    expectStaticElements();
}

// What the help panel does with a file the user offers as a GStreamer filter: it loads it to
// check it. Offered the installed library, the program keeps its own elements.
TEST(InstalledPlugin, LoadingTheInstalledLibraryKeepsTheProgramElements) {
    GError* error = nullptr;
    GstPlugin* loaded = gst_plugin_load_file(kInstalled.c_str(), &error);
    EXPECT_NE(loaded, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
    if (loaded)
        gst_object_unref(loaded);
    expectStaticElements();
}

} // namespace

int main(int argc, char** argv) {
    // Set before gst_init(): the installed folder on the plug-in path and a registry of this
    // test's own, so that the user's registry is never touched.
    g_setenv("GST_PLUGIN_PATH", VR_PLUGIN_DIR, TRUE);
    g_setenv("GST_REGISTRY", VR_REGISTRY, TRUE);
    // A duplicate type or element registration warns or goes critical: make that a crash.
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
    gst_init(&argc, &argv);
    if (!vidorraRegisterStatic())
        return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
