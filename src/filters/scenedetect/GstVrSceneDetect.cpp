#include "SceneDetect.h"

#include "DVPacks.h"
#include "FrameRings.h"
#include "SceneRule.h"

#include <gst/base/gstbasetransform.h>

#include <cstdio>
#include <mutex>

GST_DEBUG_CATEGORY_STATIC(vr_scene_detect_debug);
#define GST_CAT_DEFAULT vr_scene_detect_debug

namespace {

struct SceneDetectState {
    std::mutex stateLock; // guards rule (streaming thread vs. end of part)
    TSceneRule rule;
    std::mutex sceneLock; // guards emitScenes; held while "scene" is emitted
    bool emitScenes = false;
    TFrameRings rings; // has its own lock
};

} // namespace

struct VrSceneDetect {
    GstBaseTransform parent;
    SceneDetectState* state;
};

struct VrSceneDetectClass {
    GstBaseTransformClass parent_class;
};

enum { SIGNAL_SCENE, SIGNAL_END_PART, LAST_SIGNAL };
static guint vr_scene_detect_signals[LAST_SIGNAL];

enum {
    PROP_0,
    PROP_STANDARD,
    PROP_WIDESCREEN,
    PROP_DATE_VALID,
    PROP_REC_DATE,
    PROP_CURRENT_FRAME,
    PROP_EMIT_SIGNALS,
};

G_DEFINE_TYPE(VrSceneDetect, vr_scene_detect, GST_TYPE_BASE_TRANSFORM)

static VrDVFrameInfo* vr_dv_frame_info_copy(const VrDVFrameInfo* info) {
    return new VrDVFrameInfo(*info);
}

static void vr_dv_frame_info_free(VrDVFrameInfo* info) {
    delete info;
}

G_DEFINE_BOXED_TYPE(VrDVFrameInfo, vr_dv_frame_info, vr_dv_frame_info_copy, vr_dv_frame_info_free)

#define DV_CAPS "video/x-dv, systemstream = (boolean) { true, false }"

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(DV_CAPS));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(DV_CAPS));

static std::string dateText(const TDVFrameInfo& info) {
    if (!info.DateValid)
        return {};
    const dv::RecDateTime d = dv::DecodeDateTime(info.RecDate);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  d.hours, d.minutes, d.seconds);
    return text;
}

static void postScene(VrSceneDetect* self, const TDVFrameInfo& start, const TDVFrameInfo& cur) {
    GstStructure* s = gst_structure_new(
        "vr-scene", "start-frame", G_TYPE_UINT, start.FrameNumber, "start-date", G_TYPE_DOUBLE,
        start.RecDate, "start-date-valid", G_TYPE_BOOLEAN, start.DateValid, "start-time",
        G_TYPE_STRING, dateText(start).c_str(), "frame", G_TYPE_UINT, cur.FrameNumber, "date",
        G_TYPE_DOUBLE, cur.RecDate, "date-valid", G_TYPE_BOOLEAN, cur.DateValid, "time",
        G_TYPE_STRING, dateText(cur).c_str(), nullptr);
    gst_element_post_message(GST_ELEMENT(self), gst_message_new_element(GST_OBJECT(self), s));
}

static void postWidescreen(VrSceneDetect* self, bool wide) {
    GstStructure* s = gst_structure_new("vr-widescreen", "message", G_TYPE_INT, 1027, "wparam",
                                        G_TYPE_INT, 1, "lparam", G_TYPE_INT, wide ? 1 : 0,
                                        "widescreen", G_TYPE_BOOLEAN, wide, nullptr);
    gst_element_post_message(GST_ELEMENT(self), gst_message_new_element(GST_OBJECT(self), s));
}

// Called with stateLock held: the scenes reach the handlers in order, and a part's last
// scene before end-part returns.
static void emitScene(VrSceneDetect* self, const TDVFrameInfo& start, const TDVFrameInfo& cur) {
    std::lock_guard sceneLock(self->state->sceneLock);
    if (self->state->emitScenes)
        g_signal_emit(self, vr_scene_detect_signals[SIGNAL_SCENE], 0, &start, &cur);
}

static GstFlowReturn vr_scene_detect_transform_ip(GstBaseTransform* trans, GstBuffer* buf) {
    auto* self = reinterpret_cast<VrSceneDetect*>(trans);
    SceneDetectState& st = *self->state;
    GstMapInfo map;
    const bool mapped = gst_buffer_map(buf, &map, GST_MAP_READ);
    const std::span<const uint8_t> frame =
        mapped ? std::span<const uint8_t>(map.data, map.size) : std::span<const uint8_t>();
    const int64_t startTime =
        GST_BUFFER_PTS_IS_VALID(buf) ? static_cast<int64_t>(GST_BUFFER_PTS(buf)) : 0;

    TSceneRule::Result r;
    bool wide;
    {
        std::lock_guard lock(st.stateLock);
        // The buffer's media times are the frame's number since the part began.
        GST_BUFFER_OFFSET(buf) = st.rule.Current().FrameNumber;
        GST_BUFFER_OFFSET_END(buf) = st.rule.Current().FrameNumber + 1;
        r = st.rule.ProcessFrame(frame);
        if (r.sceneChange)
            emitScene(self, r.endedSceneStart, r.opening);
        wide = st.rule.Current().Widescreen;
        st.rings.Store(st.rule.Current(), frame, startTime);
    }
    if (mapped)
        gst_buffer_unmap(buf, &map);

    if (r.sceneChange) {
        GST_DEBUG_OBJECT(self, "scene change at frame %u", r.opening.FrameNumber);
        postScene(self, r.endedSceneStart, r.opening);
    }
    if (r.widescreenChanged)
        postWidescreen(self, wide);
    return GST_FLOW_OK;
}

static void reportRunningScene(VrSceneDetect* self) {
    TDVFrameInfo start, cur;
    if (self->state->rule.RunningScene(start, cur))
        emitScene(self, start, cur);
}

static gboolean vr_scene_detect_stop(GstBaseTransform* trans) {
    auto* self = reinterpret_cast<VrSceneDetect*>(trans);
    SceneDetectState& st = *self->state;
    std::lock_guard lock(st.stateLock);
    reportRunningScene(self);
    st.rule.Reset();
    st.rings.Reset();
    return TRUE;
}

IFrameInfoSource* vrFrameInfoSource(GstElement* detector) {
    if (!detector)
        return nullptr;
    return static_cast<IFrameInfoSource*>(
        g_object_get_data(G_OBJECT(detector), kFrameInfoSourceKey));
}

static void vr_scene_detect_end_part_action(VrSceneDetect* self) {
    SceneDetectState& st = *self->state;
    std::lock_guard lock(st.stateLock);
    reportRunningScene(self);
    st.rule.RestartCounting();
}

static void vr_scene_detect_set_property(GObject* object, guint id, const GValue* value,
                                         GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrSceneDetect*>(object);
    switch (id) {
    case PROP_EMIT_SIGNALS: {
        // Waits for a scene being emitted: once this returns, no handler runs any more.
        std::lock_guard sceneLock(self->state->sceneLock);
        self->state->emitScenes = g_value_get_boolean(value);
        break;
    }
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void vr_scene_detect_get_property(GObject* object, guint id, GValue* value,
                                         GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrSceneDetect*>(object);
    switch (id) {
    case PROP_CURRENT_FRAME: {
        // The rings have their own lock: readable while a scene handler runs elsewhere.
        TDVFrameInfo newest;
        if (self->state->rings.Newest(newest))
            g_value_set_boxed(value, &newest);
        else
            g_value_set_boxed(value, nullptr);
        return;
    }
    case PROP_EMIT_SIGNALS: {
        std::lock_guard sceneLock(self->state->sceneLock);
        g_value_set_boolean(value, self->state->emitScenes);
        return;
    }
    default:
        break;
    }
    TDVFrameInfo cur;
    {
        std::lock_guard lock(self->state->stateLock);
        cur = self->state->rule.Current();
    }
    switch (id) {
    case PROP_STANDARD:
        g_value_set_uint(value, cur.Standard);
        break;
    case PROP_WIDESCREEN:
        g_value_set_boolean(value, cur.Widescreen);
        break;
    case PROP_DATE_VALID:
        g_value_set_boolean(value, cur.DateValid);
        break;
    case PROP_REC_DATE:
        g_value_set_double(value, cur.RecDate);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void vr_scene_detect_finalize(GObject* object) {
    auto* self = reinterpret_cast<VrSceneDetect*>(object);
    g_object_set_data(object, kFrameInfoSourceKey, nullptr);
    delete self->state;
    self->state = nullptr;
    G_OBJECT_CLASS(vr_scene_detect_parent_class)->finalize(object);
}

static void vr_scene_detect_class_init(VrSceneDetectClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans_class = GST_BASE_TRANSFORM_CLASS(klass);

    GST_DEBUG_CATEGORY_INIT(vr_scene_detect_debug, "vr_scenedetect", 0, "DV scene detector");

    gobject_class->finalize = vr_scene_detect_finalize;
    gobject_class->set_property = vr_scene_detect_set_property;
    gobject_class->get_property = vr_scene_detect_get_property;

    constexpr auto ro = static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(gobject_class, PROP_STANDARD,
                                    g_param_spec_uint("standard", "Standard",
                                                      "0 = 625/50, 1 = 525/60, 2 = other", 0, 2, 0,
                                                      ro));
    g_object_class_install_property(
        gobject_class, PROP_WIDESCREEN,
        g_param_spec_boolean("widescreen", "Widescreen", "16:9 display format", FALSE, ro));
    g_object_class_install_property(
        gobject_class, PROP_DATE_VALID,
        g_param_spec_boolean("date-valid", "Date valid", "Recording date valid", FALSE, ro));
    g_object_class_install_property(
        gobject_class, PROP_REC_DATE,
        g_param_spec_double("rec-date", "Recording date",
                            "Recording date-time of the current frame (days from 1899-12-30)",
                            -G_MAXDOUBLE, G_MAXDOUBLE, 0, ro));
    g_object_class_install_property(
        gobject_class, PROP_CURRENT_FRAME,
        g_param_spec_boxed("current-frame", "Current frame",
                           "Metadata of the newest frame (frame number, recording date, "
                           "timecode, format, audio); null before the first frame",
                           VR_TYPE_DV_FRAME_INFO, ro));
    g_object_class_install_property(
        gobject_class, PROP_EMIT_SIGNALS,
        g_param_spec_boolean("emit-signals", "Emit signals",
                             "Emit the scene signal; once set to false, no scene handler is "
                             "running or will run",
                             FALSE,
                             static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                      GST_PARAM_MUTABLE_PLAYING)));

    // The frame records are passed without a copy: they live while the handlers run.
    const GType frameType = VR_TYPE_DV_FRAME_INFO | G_SIGNAL_TYPE_STATIC_SCOPE;
    vr_scene_detect_signals[SIGNAL_SCENE] =
        g_signal_new("scene", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                     nullptr, G_TYPE_NONE, 2, frameType, frameType);
    vr_scene_detect_signals[SIGNAL_END_PART] = g_signal_new_class_handler(
        "end-part", G_TYPE_FROM_CLASS(klass),
        static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
        G_CALLBACK(vr_scene_detect_end_part_action), nullptr, nullptr, nullptr, G_TYPE_NONE, 0);

    gst_element_class_set_static_metadata(
        element_class, "Ardoval vr_SceneDetect", "Filter/Analyzer/Video",
        "Detects DV scenes from the recording dates and keeps the last frames' metadata",
        "Ardoval");
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);

    trans_class->transform_ip = GST_DEBUG_FUNCPTR(vr_scene_detect_transform_ip);
    trans_class->stop = GST_DEBUG_FUNCPTR(vr_scene_detect_stop);
    trans_class->passthrough_on_same_caps = FALSE;
}

static void vr_scene_detect_init(VrSceneDetect* self) {
    self->state = new SceneDetectState;
    g_object_set_data(G_OBJECT(self), kFrameInfoSourceKey,
                      static_cast<IFrameInfoSource*>(&self->state->rings));
}
