#include "GstTimeStamper.h"

#include "GstRef.h"
#include "TimeStamperCore.h"

#include <gst/base/gstbasetransform.h>

GST_DEBUG_CATEGORY_STATIC(tvr_timestamper_debug);
#define GST_CAT_DEFAULT tvr_timestamper_debug

struct Tvr_TimeStamper {
    GstBaseTransform parent;
    TimeStamperCore* core;
};

struct Tvr_TimeStamperClass {
    GstBaseTransformClass parent_class;
};

enum { PROP_0, PROP_FROZEN, PROP_MODE, PROP_SAMPLE_COUNT };

G_DEFINE_TYPE(Tvr_TimeStamper, tvr_timestamper, GST_TYPE_BASE_TRANSFORM)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

static GType stampModeType() {
    static GType type = 0;
    if (g_once_init_enter(&type)) {
        static const GEnumValue values[] = {
            {int(TimeStamperCore::Mode::Keep), "Keep the time stamps", "keep"},
            {int(TimeStamperCore::Mode::Clock), "Clock: running time + 20 ms", "clock"},
            {int(TimeStamperCore::Mode::Remove), "Remove time stamps and offsets", "remove"},
            {0, nullptr, nullptr}};
        g_once_init_leave(&type, g_enum_register_static("VrStampMode", values));
    }
    return type;
}

static Tvr_TimeStamper* self(gpointer p) {
    return reinterpret_cast<Tvr_TimeStamper*>(p);
}

static int64_t to100ns(GstClockTime t) {
    return static_cast<int64_t>(t / 100);
}

static GstFlowReturn stamperTransformIp(GstBaseTransform* trans, GstBuffer* buf) {
    TimeStamperCore* core = self(trans)->core;
    StampedSample s;
    s.hasStart = GST_BUFFER_PTS_IS_VALID(buf);
    s.start = s.hasStart ? to100ns(GST_BUFFER_PTS(buf)) : 0;
    s.hasStop = s.hasStart && GST_BUFFER_DURATION_IS_VALID(buf);
    s.stop = s.hasStop ? s.start + to100ns(GST_BUFFER_DURATION(buf)) : 0;

    std::optional<int64_t> streamTime;
    if (core->mode() == TimeStamperCore::Mode::Clock) {
        if (const TGstRef<GstClock> clock(gst_element_get_clock(GST_ELEMENT(trans))); clock) {
            const GstClockTime now = gst_clock_get_time(clock.get());
            const GstClockTime base = gst_element_get_base_time(GST_ELEMENT(trans));
            streamTime = now >= base ? to100ns(now - base) : -to100ns(base - now);
        }
    }
    if (!core->Transform(s, streamTime))
        return GST_BASE_TRANSFORM_FLOW_DROPPED;

    if (s.hasStart) {
        GST_BUFFER_PTS(buf) = GstClockTime(std::max<int64_t>(s.start, 0)) * 100;
        GST_BUFFER_DURATION(buf) = s.hasStop
                                       ? GstClockTime(std::max<int64_t>(s.stop - s.start, 0)) * 100
                                       : GST_CLOCK_TIME_NONE;
        if (core->mode() == TimeStamperCore::Mode::Clock)
            GST_BUFFER_DTS(buf) = GST_CLOCK_TIME_NONE;
    } else {
        GST_BUFFER_PTS(buf) = GST_BUFFER_DTS(buf) = GST_BUFFER_DURATION(buf) = GST_CLOCK_TIME_NONE;
    }
    if (s.hasMediaTimes) {
        GST_BUFFER_OFFSET(buf) = guint64(s.mediaStart);
        GST_BUFFER_OFFSET_END(buf) = guint64(s.mediaStop);
    } else {
        GST_BUFFER_OFFSET(buf) = GST_BUFFER_OFFSET_NONE;
        GST_BUFFER_OFFSET_END(buf) = GST_BUFFER_OFFSET_NONE;
    }
    return GST_FLOW_OK;
}

static gboolean stamperStop(GstBaseTransform* trans) {
    self(trans)->core->Stop();
    return TRUE;
}

static void stamperSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    TimeStamperCore* core = self(object)->core;
    switch (id) {
    case PROP_FROZEN:
        core->SetFrozen(g_value_get_boolean(value));
        break;
    case PROP_MODE:
        core->setMode(static_cast<TimeStamperCore::Mode>(g_value_get_enum(value)));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void stamperGetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    TimeStamperCore* core = self(object)->core;
    switch (id) {
    case PROP_FROZEN:
        g_value_set_boolean(value, core->frozen());
        break;
    case PROP_MODE:
        g_value_set_enum(value, int(core->mode()));
        break;
    case PROP_SAMPLE_COUNT:
        g_value_set_int(value, core->sampleCount());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void stamperFinalize(GObject* object) {
    delete self(object)->core;
    G_OBJECT_CLASS(tvr_timestamper_parent_class)->finalize(object);
}

static void tvr_timestamper_class_init(Tvr_TimeStamperClass* klass) {
    GObjectClass* gobject = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans = GST_BASE_TRANSFORM_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(tvr_timestamper_debug, "vr_timestamper", 0, "Vidorra time-stamper");

    gobject->set_property = stamperSetProperty;
    gobject->get_property = stamperGetProperty;
    gobject->finalize = stamperFinalize;
    const auto rw =
        GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        gobject, PROP_FROZEN,
        g_param_spec_boolean("frozen", "Frozen", "Withhold every buffer", FALSE, rw));
    g_object_class_install_property(
        gobject, PROP_MODE,
        g_param_spec_enum("mode", "Mode", "What happens to the time stamps", stampModeType(),
                          int(TimeStamperCore::Mode::Keep), rw));
    g_object_class_install_property(
        gobject, PROP_SAMPLE_COUNT,
        g_param_spec_int("sample-count", "Sample count", "Buffers passed since the last stop", 0,
                         G_MAXINT, 0, GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    gst_element_class_set_static_metadata(element, "Ardoval vr_Timestamper", "Filter",
                                          "Rewrites or removes time stamps, numbers buffers, "
                                          "freezes a branch",
                                          "Vidorra");
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);

    trans->transform_ip = stamperTransformIp;
    trans->stop = stamperStop;
    trans->passthrough_on_same_caps = FALSE;
}

static void tvr_timestamper_init(Tvr_TimeStamper* stamper) {
    stamper->core = new TimeStamperCore;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(stamper), TRUE);
}
