#include "DVHeader.h"

#include "DVPacks.h"
#include "FrameInfoSource.h"
#include "GstRef.h"

#include <gst/base/gstbasetransform.h>

#include <algorithm>
#include <cstring>

GST_DEBUG_CATEGORY_STATIC(vr_dv_header_debug);
#define GST_CAT_DEFAULT vr_dv_header_debug

static GstStaticCaps branch_caps = GST_STATIC_CAPS(kBranchTimestampCaps);

struct VrDVHeader {
    GstBaseTransform parent;
    // Guarded by GST_OBJECT_LOCK.
    GstElement* sceneSource;
    guint headerMode;
    // Streaming thread only.
    uint8_t* headers; // 4800 bytes, one slot of the detector's header ring
};

struct VrDVHeaderClass {
    GstBaseTransformClass parent_class;
};

enum { PROP_0, PROP_SCENE_SOURCE, PROP_HEADER_MODE };

G_DEFINE_TYPE(VrDVHeader, vr_dv_header, GST_TYPE_BASE_TRANSFORM)

#define DV_CAPS "video/x-dv, systemstream = (boolean) { true, false }"
static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(DV_CAPS));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(DV_CAPS));

static bool branchStartTime(GstBuffer* buf, int64_t& t) {
    const TGstRef<GstCaps> caps(gst_static_caps_get(&branch_caps));
    GstReferenceTimestampMeta* meta = gst_buffer_get_reference_timestamp_meta(buf, caps.get());
    if (meta) {
        t = static_cast<int64_t>(meta->timestamp);
        return true;
    }
    if (GST_BUFFER_PTS_IS_VALID(buf)) {
        t = static_cast<int64_t>(GST_BUFFER_PTS(buf));
        return true;
    }
    return false;
}

static GstFlowReturn vr_dv_header_transform_ip(GstBaseTransform* trans, GstBuffer* buf) {
    auto* self = reinterpret_cast<VrDVHeader*>(trans);
    GST_OBJECT_LOCK(self);
    const TGstRef<GstElement> source =
        self->sceneSource ? GstRefAdd(self->sceneSource) : TGstRef<GstElement>();
    const guint mode = self->headerMode;
    GST_OBJECT_UNLOCK(self);

    bool haveHeaders = false;
    if (source) {
        auto* rings = static_cast<IFrameInfoSource*>(
            g_object_get_data(G_OBJECT(source.get()), kFrameInfoSourceKey));
        int64_t t;
        if (rings && branchStartTime(buf, t)) {
            TDVFrameInfo info;
            haveHeaders = rings->CopyHeader(rings->LookupFrameInfo(t, info), self->headers);
        }
    }
    if (!haveHeaders && mode != 1)
        return GST_FLOW_OK;

    GstMapInfo map;
    if (!gst_buffer_map(buf, &map, GST_MAP_READWRITE))
        return GST_FLOW_OK;
    for (int i = 0; i < dv::kScannedSequences; ++i) {
        const size_t start = static_cast<size_t>(i) * dv::kSequenceSize;
        if (start >= map.size)
            break;
        uint8_t* s = map.data + start;
        const size_t present = std::min(dv::kSequenceSize, map.size - start);
        if (haveHeaders)
            std::memcpy(s, self->headers + static_cast<size_t>(i) * dv::kHeaderBytes,
                        std::min(present, dv::kHeaderBytes));
        if (mode == 1 && present > dv::kPosSourceControlData2) {
            s[dv::kPosSourceControlId] = dv::kPackSourceControl;
            s[dv::kPosSourceControlData2] = (s[dv::kPosApplicationId] & 7) != 0 ? 0x02 : 0x07;
        }
    }
    gst_buffer_unmap(buf, &map);
    return GST_FLOW_OK;
}

static void vr_dv_header_set_property(GObject* object, guint id, const GValue* value,
                                      GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrDVHeader*>(object);
    switch (id) {
    case PROP_SCENE_SOURCE: {
        auto* source = static_cast<GstElement*>(g_value_dup_object(value));
        GST_OBJECT_LOCK(self);
        std::swap(self->sceneSource, source);
        GST_OBJECT_UNLOCK(self);
        const TGstRef<GstElement> old(source); // released outside the lock
        break;
    }
    case PROP_HEADER_MODE:
        GST_OBJECT_LOCK(self);
        self->headerMode = g_value_get_uint(value);
        GST_OBJECT_UNLOCK(self);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void vr_dv_header_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrDVHeader*>(object);
    GST_OBJECT_LOCK(self);
    switch (id) {
    case PROP_SCENE_SOURCE:
        g_value_set_object(value, self->sceneSource);
        break;
    case PROP_HEADER_MODE:
        g_value_set_uint(value, self->headerMode);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
}

static void vr_dv_header_dispose(GObject* object) {
    auto* self = reinterpret_cast<VrDVHeader*>(object);
    if (self->sceneSource) {
        gst_object_unref(self->sceneSource);
        self->sceneSource = nullptr;
    }
    G_OBJECT_CLASS(vr_dv_header_parent_class)->dispose(object);
}

static void vr_dv_header_finalize(GObject* object) {
    delete[] reinterpret_cast<VrDVHeader*>(object)->headers;
    G_OBJECT_CLASS(vr_dv_header_parent_class)->finalize(object);
}

static void vr_dv_header_class_init(VrDVHeaderClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans_class = GST_BASE_TRANSFORM_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(vr_dv_header_debug, "vr_dvheader", 0, "DV header");

    gobject_class->set_property = vr_dv_header_set_property;
    gobject_class->get_property = vr_dv_header_get_property;
    gobject_class->dispose = vr_dv_header_dispose;
    gobject_class->finalize = vr_dv_header_finalize;
    constexpr auto rw = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        gobject_class, PROP_SCENE_SOURCE,
        g_param_spec_object("scene-source", "Scene source",
                            "The vr_scenedetect element whose header ring is copied",
                            GST_TYPE_ELEMENT, rw));
    g_object_class_install_property(
        gobject_class, PROP_HEADER_MODE,
        g_param_spec_uint("header-mode", "Header mode",
                          "0 keep (4x3), 1 force 16:9 (16x9), 2 keep the DV format", 0, 2, 0, rw));

    gst_element_class_set_static_metadata(element_class, "Ardoval vr_DVHeader", "Filter/Video",
                                          "Copies the camcorder's DV headers into re-encoded "
                                          "DV frames",
                                          "Ardoval");
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    trans_class->transform_ip = GST_DEBUG_FUNCPTR(vr_dv_header_transform_ip);
    trans_class->passthrough_on_same_caps = FALSE;
}

static void vr_dv_header_init(VrDVHeader* self) {
    self->sceneSource = nullptr;
    self->headerMode = 0;
    self->headers = new uint8_t[dv::kRingHeaderBytes];
}
