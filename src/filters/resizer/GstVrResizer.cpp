#include "Resizer.h"

#include "GstRef.h"
#include "ResizerCore.h"

#include <algorithm>
#include <cstdint>
#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>
#include <numeric>

GST_DEBUG_CATEGORY_STATIC(vr_resizer_debug);
#define GST_CAT_DEFAULT vr_resizer_debug

struct VrResizer {
    GstVideoFilter parent;
    // Guarded by GST_OBJECT_LOCK.
    gint ratioMode; // -1: not set (AutoSize false)
    gboolean halfSize;
    guint aspectX, aspectY;
    // Streaming thread only (set_info and transform_frame).
    TAreaResampler* resampler; // the BGR picture, or the luma plane of an I420 one
    TAreaResampler* chroma;    // the U and V planes of an I420 picture
    gboolean active;
};

struct VrResizerClass {
    GstVideoFilterClass parent_class;
};

enum { PROP_0, PROP_RATIO_MODE, PROP_HALF_SIZE, PROP_ASPECT_X, PROP_ASPECT_Y };

G_DEFINE_TYPE(VrResizer, vr_resizer, GST_TYPE_VIDEO_FILTER)

// BGR, or the I420 of most decoders, scaled as it comes (the same format out as in).
#define RESIZER_CAPS                                                                               \
    "video/x-raw, format = (string) { BGR, I420 }, width = (int) [ 1, 32767 ], "                   \
    "height = (int) [ 1, 32767 ], framerate = (fraction) [ 0/1, MAX ]"

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(RESIZER_CAPS));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(RESIZER_CAPS));

// parN:parD is the input's pixel shape (0:0 when its caps do not say).
static TResizerSize outputSize(VrResizer* self, int w, int h, int parN, int parD) {
    GST_OBJECT_LOCK(self);
    const int mode = self->ratioMode;
    const bool half = self->halfSize;
    int ax = static_cast<int>(self->aspectX), ay = static_cast<int>(self->aspectY);
    GST_OBJECT_UNLOCK(self);
    if (mode < 0)
        return {320, 240};
    // Without an aspect given, the picture's own: its size times the pixel shape its caps
    // carry. "Normal" then keeps the picture's shape when it lowers the height (720 x 576 of
    // 16/15 pixels gives 384 x 288, not a squashed 720 x 288); the sizes stay even for the
    // encoders. Caps without a pixel shape keep the rule as it is.
    const bool fromCaps = ax == 0 && ay == 0 && parN > 0 && parD > 0;
    if (fromCaps) {
        int64_t x = int64_t(w) * parN, y = int64_t(h) * parD;
        const int64_t g = std::gcd(x, y);
        x /= g;
        y /= g;
        while (x > INT32_MAX || y > INT32_MAX) {
            x = std::max<int64_t>(1, x / 2);
            y = std::max<int64_t>(1, y / 2);
        }
        ax = static_cast<int>(x);
        ay = static_cast<int>(y);
    }
    TResizerSize size = ResizerOutputSize(w, h, mode, half, ax, ay);
    if (fromCaps && mode == 0 && (size.width != w || size.height != h) && size.width >= 2 &&
        size.height >= 2) {
        size.width -= size.width % 2;
        size.height -= size.height % 2;
    }
    return size;
}

static GstCaps* vr_resizer_transform_caps(GstBaseTransform* trans, GstPadDirection direction,
                                          GstCaps* caps, GstCaps* filter) {
    auto* self = reinterpret_cast<VrResizer*>(trans);
    GstCaps* result;
    if (direction == GST_PAD_SRC) {
        // Any input size may give the wanted output.
        result = gst_caps_new_empty();
        for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
            GstStructure* s = gst_structure_copy(gst_caps_get_structure(caps, i));
            gst_structure_set(s, "width", GST_TYPE_INT_RANGE, 1, 32767, "height",
                              GST_TYPE_INT_RANGE, 1, 32767, nullptr);
            gst_structure_remove_field(s, "pixel-aspect-ratio");
            result = gst_caps_merge_structure(result, s);
        }
    } else {
        result = gst_caps_new_empty();
        for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
            GstStructure* s = gst_structure_copy(gst_caps_get_structure(caps, i));
            int w, h;
            if (gst_structure_get_int(s, "width", &w) && gst_structure_get_int(s, "height", &h)) {
                int parN = 0, parD = 0;
                if (!gst_structure_get_fraction(s, "pixel-aspect-ratio", &parN, &parD))
                    parN = parD = 0;
                const TResizerSize out = outputSize(self, w, h, parN, parD);
                gst_structure_set(s, "width", G_TYPE_INT, out.width, "height", G_TYPE_INT,
                                  out.height, nullptr);
                // A size made for a picture aspect has square pixels; a kept or halved size
                // keeps the input's pixel shape.
                GST_OBJECT_LOCK(self);
                const bool keepsPixels =
                    self->ratioMode == 3 || (out.width == w && out.height == h);
                GST_OBJECT_UNLOCK(self);
                if (!keepsPixels)
                    gst_structure_set(s, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
            } else {
                gst_structure_set(s, "width", GST_TYPE_INT_RANGE, 1, 32767, "height",
                                  GST_TYPE_INT_RANGE, 1, 32767, nullptr);
                gst_structure_remove_field(s, "pixel-aspect-ratio");
            }
            result = gst_caps_merge_structure(result, s);
        }
    }
    if (filter) {
        const TGstRef<GstCaps> unfiltered(result);
        result = gst_caps_intersect_full(filter, unfiltered.get(), GST_CAPS_INTERSECT_FIRST);
    }
    return result;
}

static gboolean vr_resizer_set_info(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in_info,
                                    GstCaps*, GstVideoInfo* out_info) {
    auto* self = reinterpret_cast<VrResizer*>(filter);
    const int iw = GST_VIDEO_INFO_WIDTH(in_info), ih = GST_VIDEO_INFO_HEIGHT(in_info);
    const int ow = GST_VIDEO_INFO_WIDTH(out_info), oh = GST_VIDEO_INFO_HEIGHT(out_info);
    if (GST_VIDEO_INFO_FORMAT(in_info) != GST_VIDEO_INFO_FORMAT(out_info))
        return FALSE;
    self->active = iw != ow || ih != oh;
    if (self->active && GST_VIDEO_INFO_FORMAT(in_info) == GST_VIDEO_FORMAT_I420) {
        // Each plane scaled on its own; the chroma planes have their own (rounded up) sizes.
        self->resampler->Configure(iw, ih, ow, oh, 1);
        self->chroma->Configure(
            GST_VIDEO_INFO_COMP_WIDTH(in_info, 1), GST_VIDEO_INFO_COMP_HEIGHT(in_info, 1),
            GST_VIDEO_INFO_COMP_WIDTH(out_info, 1), GST_VIDEO_INFO_COMP_HEIGHT(out_info, 1), 1);
    } else if (self->active) {
        self->resampler->Configure(iw, ih, ow, oh);
    }
    GST_DEBUG_OBJECT(self, "%dx%d -> %dx%d", iw, ih, ow, oh);
    return TRUE;
}

static GstFlowReturn vr_resizer_transform_frame(GstVideoFilter* filter, GstVideoFrame* in,
                                                GstVideoFrame* out) {
    auto* self = reinterpret_cast<VrResizer*>(filter);
    if (!self->active)
        return gst_video_frame_copy(out, in) ? GST_FLOW_OK : GST_FLOW_ERROR;
    for (guint p = 0; p < GST_VIDEO_FRAME_N_PLANES(in); ++p) {
        TAreaResampler* resampler = p == 0 ? self->resampler : self->chroma;
        resampler->Run(static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(in, p)),
                       GST_VIDEO_FRAME_PLANE_STRIDE(in, p),
                       static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(out, p)),
                       GST_VIDEO_FRAME_PLANE_STRIDE(out, p));
    }
    return GST_FLOW_OK;
}

static void vr_resizer_set_property(GObject* object, guint id, const GValue* value,
                                    GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrResizer*>(object);
    GST_OBJECT_LOCK(self);
    switch (id) {
    case PROP_RATIO_MODE:
        self->ratioMode = g_value_get_int(value);
        break;
    case PROP_HALF_SIZE:
        self->halfSize = g_value_get_boolean(value);
        break;
    case PROP_ASPECT_X:
        self->aspectX = g_value_get_uint(value);
        break;
    case PROP_ASPECT_Y:
        self->aspectY = g_value_get_uint(value);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
    gst_base_transform_reconfigure_src(GST_BASE_TRANSFORM(self));
}

static void vr_resizer_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrResizer*>(object);
    GST_OBJECT_LOCK(self);
    switch (id) {
    case PROP_RATIO_MODE:
        g_value_set_int(value, self->ratioMode);
        break;
    case PROP_HALF_SIZE:
        g_value_set_boolean(value, self->halfSize);
        break;
    case PROP_ASPECT_X:
        g_value_set_uint(value, self->aspectX);
        break;
    case PROP_ASPECT_Y:
        g_value_set_uint(value, self->aspectY);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
}

static void vr_resizer_finalize(GObject* object) {
    delete reinterpret_cast<VrResizer*>(object)->resampler;
    delete reinterpret_cast<VrResizer*>(object)->chroma;
    G_OBJECT_CLASS(vr_resizer_parent_class)->finalize(object);
}

static void vr_resizer_class_init(VrResizerClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans_class = GST_BASE_TRANSFORM_CLASS(klass);
    GstVideoFilterClass* filter_class = GST_VIDEO_FILTER_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(vr_resizer_debug, "vr_resizer", 0, "Resizer");

    gobject_class->set_property = vr_resizer_set_property;
    gobject_class->get_property = vr_resizer_get_property;
    gobject_class->finalize = vr_resizer_finalize;
    constexpr auto rw = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        gobject_class, PROP_RATIO_MODE,
        g_param_spec_int("ratio-mode", "Ratio DivX",
                         "-1 not set (320x240), 0 Normal, 1 4x3, 2 16x9, 3 natif", -1, 3, -1, rw));
    g_object_class_install_property(
        gobject_class, PROP_HALF_SIZE,
        g_param_spec_boolean("half-size", "Demi Taille", "Picture height at most 288", FALSE, rw));
    g_object_class_install_property(gobject_class, PROP_ASPECT_X,
                                    g_param_spec_uint("aspect-x", "Aspect X",
                                                      "Picture aspect X (0 unknown)", 0,
                                                      G_MAXUINT16, 0, rw));
    g_object_class_install_property(gobject_class, PROP_ASPECT_Y,
                                    g_param_spec_uint("aspect-y", "Aspect Y",
                                                      "Picture aspect Y (0 unknown)", 0,
                                                      G_MAXUINT16, 0, rw));

    gst_element_class_set_static_metadata(
        element_class, "Ardoval Resizer", "Filter/Converter/Video/Scaler",
        "Scales BGR or I420 frames for the DivX ratio options", "Ardoval");
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);

    trans_class->transform_caps = GST_DEBUG_FUNCPTR(vr_resizer_transform_caps);
    trans_class->passthrough_on_same_caps = TRUE;
    filter_class->set_info = GST_DEBUG_FUNCPTR(vr_resizer_set_info);
    filter_class->transform_frame = GST_DEBUG_FUNCPTR(vr_resizer_transform_frame);
}

static void vr_resizer_init(VrResizer* self) {
    self->ratioMode = -1;
    self->halfSize = FALSE;
    self->aspectX = self->aspectY = 0;
    self->resampler = new TAreaResampler;
    self->chroma = new TAreaResampler;
    self->active = FALSE;
}
