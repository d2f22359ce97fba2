#include "GstControlFilter.h"

#include "ControlFilterCore.h"

#include <gst/base/gstbasetransform.h>

struct Tvr_ControlFilter {
    GstBaseTransform parent;
    ControlFilterCore* core;
};

struct Tvr_ControlFilterClass {
    GstBaseTransformClass parent_class;
};

enum {
    PROP_0,
    PROP_GATE_OPEN,
    PROP_NUMBER_FRAMES,
    PROP_NEXT_MEDIA_TIME,
    PROP_MEDIA_TIME_STEP,
    PROP_MARK_SYNC_POINT,
    PROP_MARK_DISCONTINUITY
};
enum { SIGNAL_ON_STOP, LAST_SIGNAL };
static guint control_signals[LAST_SIGNAL];

G_DEFINE_TYPE(Tvr_ControlFilter, tvr_controlfilter, GST_TYPE_BASE_TRANSFORM)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

static Tvr_ControlFilter* self(gpointer p) {
    return reinterpret_cast<Tvr_ControlFilter*>(p);
}

static GstFlowReturn controlTransformIp(GstBaseTransform* trans, GstBuffer* buf) {
    const ControlFilterCore::Passed p = self(trans)->core->Transform();
    if (!p.pass)
        return GST_BASE_TRANSFORM_FLOW_DROPPED;
    if (p.setMediaTimes) {
        GST_BUFFER_OFFSET(buf) = guint64(p.mediaStart);
        GST_BUFFER_OFFSET_END(buf) = guint64(p.mediaStop);
    }
    if (p.syncPoint)
        GST_BUFFER_FLAG_UNSET(buf, GST_BUFFER_FLAG_DELTA_UNIT);
    if (p.discontinuity)
        GST_BUFFER_FLAG_SET(buf, GST_BUFFER_FLAG_DISCONT);
    return GST_FLOW_OK;
}

static gboolean controlStop(GstBaseTransform* trans) {
    self(trans)->core->Stop();
    g_signal_emit(trans, control_signals[SIGNAL_ON_STOP], 0);
    return TRUE;
}

static void controlSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    ControlFilterCore* core = self(object)->core;
    switch (id) {
    case PROP_GATE_OPEN:
        core->setGateOpen(g_value_get_boolean(value));
        break;
    case PROP_NUMBER_FRAMES:
        core->SetNumberFrames(g_value_get_boolean(value));
        break;
    case PROP_NEXT_MEDIA_TIME:
        core->setNextMediaTime(g_value_get_int64(value));
        break;
    case PROP_MEDIA_TIME_STEP:
        core->setMediaTimeStep(g_value_get_int64(value));
        break;
    case PROP_MARK_SYNC_POINT:
        core->setMarkSyncPoint(g_value_get_boolean(value));
        break;
    case PROP_MARK_DISCONTINUITY:
        core->setMarkDiscontinuity(g_value_get_boolean(value));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void controlGetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    ControlFilterCore* core = self(object)->core;
    switch (id) {
    case PROP_GATE_OPEN:
        g_value_set_boolean(value, core->gateOpen());
        break;
    case PROP_NUMBER_FRAMES:
        g_value_set_boolean(value, core->numberFrames());
        break;
    case PROP_NEXT_MEDIA_TIME:
        g_value_set_int64(value, core->nextMediaTime());
        break;
    case PROP_MEDIA_TIME_STEP:
        g_value_set_int64(value, core->mediaTimeStep());
        break;
    case PROP_MARK_SYNC_POINT:
        g_value_set_boolean(value, core->markSyncPoint());
        break;
    case PROP_MARK_DISCONTINUITY:
        g_value_set_boolean(value, core->markDiscontinuity());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void controlFinalize(GObject* object) {
    delete self(object)->core;
    G_OBJECT_CLASS(tvr_controlfilter_parent_class)->finalize(object);
}

static void tvr_controlfilter_class_init(Tvr_ControlFilterClass* klass) {
    GObjectClass* gobject = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans = GST_BASE_TRANSFORM_CLASS(klass);

    gobject->set_property = controlSetProperty;
    gobject->get_property = controlGetProperty;
    gobject->finalize = controlFinalize;
    const auto rw =
        GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        gobject, PROP_GATE_OPEN,
        g_param_spec_boolean("gate-open", "Gate open", "The next buffer may pass", TRUE, rw));
    g_object_class_install_property(
        gobject, PROP_NUMBER_FRAMES,
        g_param_spec_boolean("number-frames", "Number frames",
                             "Write offsets (media times) on passed buffers", FALSE, rw));
    g_object_class_install_property(gobject, PROP_NEXT_MEDIA_TIME,
                                    g_param_spec_int64("next-media-time", "Next media time",
                                                       "Offset of the next passed buffer",
                                                       G_MININT64, G_MAXINT64, 0, rw));
    g_object_class_install_property(gobject, PROP_MEDIA_TIME_STEP,
                                    g_param_spec_int64("media-time-step", "Media time step",
                                                       "Offset length of one passed buffer",
                                                       G_MININT64, G_MAXINT64, 1, rw));
    g_object_class_install_property(gobject, PROP_MARK_SYNC_POINT,
                                    g_param_spec_boolean("mark-sync-point", "Mark sync point",
                                                         "Passed buffers are key frames", FALSE,
                                                         rw));
    g_object_class_install_property(gobject, PROP_MARK_DISCONTINUITY,
                                    g_param_spec_boolean("mark-discontinuity", "Mark discontinuity",
                                                         "Passed buffers are discontinuities",
                                                         FALSE, rw));
    control_signals[SIGNAL_ON_STOP] =
        g_signal_new("on-stop", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                     nullptr, G_TYPE_NONE, 0);

    gst_element_class_set_static_metadata(element, "Ardoval vr_ControlFilter", "Filter",
                                          "Passes one buffer each time the gate is opened",
                                          "Vidorra");
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);

    trans->transform_ip = controlTransformIp;
    trans->stop = controlStop;
    trans->passthrough_on_same_caps = FALSE;
}

static void tvr_controlfilter_init(Tvr_ControlFilter* filter) {
    filter->core = new ControlFilterCore;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(filter), TRUE);
}
