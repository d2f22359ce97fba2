#include "DvAviMux.h"

#include "DvAviWriter.h"
#include "GstRef.h"

#include <algorithm>
#include <atomic>
#include <memory>

GST_DEBUG_CATEGORY_STATIC(vr_dv_avi_mux_debug);
#define GST_CAT_DEFAULT vr_dv_avi_mux_debug

enum { PROP_0, PROP_RIFF_SIZE, PROP_FRAMES, PROP_BYTES_TO_FINISH };

struct VrDvAviMux;

namespace {

// The writer's output: buffers pushed with their file offsets, seeks as BYTES segments.
class PadOutput : public avi::TAviOutput {
public:
    GstPad* srcpad = nullptr;
    // The input buffer being cut into frames: its bytes leave as sub-buffers, not copies.
    GstBuffer* input = nullptr;
    const uint8_t* inputData = nullptr;
    size_t inputSize = 0;

    bool seekable = true;
    GstFlowReturn flow = GST_FLOW_OK;

    void Reset() {
        m_pos = m_end = 0;
        m_discard = false;
        flow = GST_FLOW_OK;
    }

    bool Write(const uint8_t* data, size_t size) override {
        if (m_discard) {
            m_pos += size;
            return true;
        }
        GstBuffer* buf;
        if (input && data >= inputData && data + size <= inputData + inputSize)
            buf = gst_buffer_copy_region(input, GST_BUFFER_COPY_MEMORY,
                                         static_cast<gsize>(data - inputData), size);
        else
            buf = gst_buffer_new_memdup(data, size);
        GST_BUFFER_OFFSET(buf) = m_pos;
        GST_BUFFER_OFFSET_END(buf) = m_pos + size;
        flow = gst_pad_push(srcpad, buf);
        if (flow != GST_FLOW_OK)
            return false;
        m_pos += size;
        m_end = std::max(m_end, m_pos);
        return true;
    }

    bool Seek(uint64_t pos) override {
        if (pos == m_pos && !m_discard)
            return true;
        if (!seekable) {
            // Headers meant for earlier places are dropped; writing resumes at the end.
            m_discard = pos != m_end;
            m_pos = pos;
            return true;
        }
        if (!PushSegment(pos))
            return false;
        m_pos = pos;
        return true;
    }

    bool PushSegment(uint64_t pos) {
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_BYTES);
        segment.start = segment.time = segment.position = pos;
        return gst_pad_push_event(srcpad, gst_event_new_segment(&segment));
    }

private:
    uint64_t m_pos = 0;
    uint64_t m_end = 0;
    bool m_discard = false;
};

// The writer and framer are touched only by the streaming thread, and by state changes while
// it is stopped; the counters are read by any thread.
struct DvAviMuxState {
    PadOutput out;
    avi::TDvFramer framer;
    std::unique_ptr<avi::TDvAviWriter> writer;
    bool started = false;
    guint64 riffSize = avi::TDvAviWriter::kDefaultRiffLimit; // GST_OBJECT_LOCK
    std::atomic<guint64> frames{0};
    std::atomic<guint64> bytesToFinish{0};
};

} // namespace

struct VrDvAviMux {
    GstElement parent;
    GstPad* sinkpad;
    GstPad* srcpad;
    DvAviMuxState* state;
};

struct VrDvAviMuxClass {
    GstElementClass parent_class;
};

G_DEFINE_TYPE(VrDvAviMux, vr_dv_avi_mux, GST_TYPE_ELEMENT)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("video/x-dv, systemstream = (boolean) true"));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-msvideo"));

static void resetWriter(VrDvAviMux* self) {
    DvAviMuxState& st = *self->state;
    GST_OBJECT_LOCK(self);
    const guint64 riffSize = st.riffSize;
    GST_OBJECT_UNLOCK(self);
    st.out.Reset();
    st.framer.Reset();
    st.writer = std::make_unique<avi::TDvAviWriter>(st.out, riffSize);
    st.started = false;
    st.frames = 0;
    st.bytesToFinish = 0;
}

// The BYTES segment before the first byte, and whether downstream can seek back.
static void ensureStarted(VrDvAviMux* self) {
    DvAviMuxState& st = *self->state;
    if (st.started)
        return;
    st.started = true;
    gboolean seekable = FALSE;
    if (const TGstRef<GstQuery> q(gst_query_new_seeking(GST_FORMAT_BYTES));
        gst_pad_peer_query(self->srcpad, q.get()))
        gst_query_parse_seeking(q.get(), nullptr, &seekable, nullptr, nullptr);
    st.out.seekable = seekable;
    if (!seekable)
        GST_WARNING_OBJECT(self, "downstream cannot seek, the AVI keeps its provisional headers");
    st.out.PushSegment(0);
}

static GstFlowReturn vr_dv_avi_mux_chain(GstPad*, GstObject* parent, GstBuffer* buf) {
    const TGstRef<GstBuffer> held(buf); // the chain function owns buf
    auto* self = reinterpret_cast<VrDvAviMux*>(parent);
    DvAviMuxState& st = *self->state;
    ensureStarted(self);
    GstMapInfo map;
    if (!gst_buffer_map(buf, &map, GST_MAP_READ))
        return GST_FLOW_ERROR;
    st.out.input = buf;
    st.out.inputData = map.data;
    st.out.inputSize = map.size;
    const bool ok = st.framer.Push({map.data, map.size}, [&st](std::span<const uint8_t> frame) {
        if (!st.writer->AddFrame(frame))
            return false;
        st.frames = st.writer->Frames();
        st.bytesToFinish = st.writer->BytesToFinish();
        return true;
    });
    st.out.input = nullptr;
    gst_buffer_unmap(buf, &map);
    if (ok)
        return GST_FLOW_OK;
    if (st.writer->Full()) {
        // The last RIFF is closed now, so that the file is complete up to here.
        st.writer->Finish();
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT,
                          ("Le fichier AVI a atteint sa taille maximale."),
                          ("%" G_GUINT64_FORMAT " frames written", st.writer->Frames()));
        return GST_FLOW_ERROR;
    }
    if (st.out.flow != GST_FLOW_OK)
        return st.out.flow;
    GST_ELEMENT_ERROR(self, RESOURCE, WRITE, (nullptr), ("downstream refused a seek"));
    return GST_FLOW_ERROR;
}

static void finishFile(VrDvAviMux* self) {
    DvAviMuxState& st = *self->state;
    ensureStarted(self);
    if (st.framer.PendingBytes() > 0)
        GST_INFO_OBJECT(self, "%zu bytes of an incomplete last frame dropped",
                        st.framer.PendingBytes());
    if (!st.writer->Finish())
        GST_WARNING_OBJECT(self, "the AVI could not be finished (%s)",
                           gst_flow_get_name(st.out.flow));
    st.bytesToFinish = 0;
}

static gboolean vr_dv_avi_mux_sink_event(GstPad* pad, GstObject* parent, GstEvent* event) {
    auto* self = reinterpret_cast<VrDvAviMux*>(parent);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        const TGstRef<GstEvent> dropped(event); // replaced by the element's own caps
        const TGstRef<GstCaps> out(gst_caps_new_empty_simple("video/x-msvideo"));
        return gst_pad_push_event(self->srcpad, gst_event_new_caps(out.get()));
    }
    case GST_EVENT_SEGMENT: {
        // Replaced by the element's own BYTES segments.
        const TGstRef<GstEvent> dropped(event);
        return TRUE;
    }
    case GST_EVENT_EOS:
        finishFile(self);
        return gst_pad_event_default(pad, parent, event);
    default:
        return gst_pad_event_default(pad, parent, event);
    }
}

static GstStateChangeReturn vr_dv_avi_mux_change_state(GstElement* element,
                                                       GstStateChange transition) {
    auto* self = reinterpret_cast<VrDvAviMux*>(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED)
        resetWriter(self);
    return GST_ELEMENT_CLASS(vr_dv_avi_mux_parent_class)->change_state(element, transition);
}

static void vr_dv_avi_mux_set_property(GObject* object, guint id, const GValue* value,
                                       GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrDvAviMux*>(object);
    switch (id) {
    case PROP_RIFF_SIZE:
        GST_OBJECT_LOCK(self);
        self->state->riffSize = g_value_get_uint64(value);
        GST_OBJECT_UNLOCK(self);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void vr_dv_avi_mux_get_property(GObject* object, guint id, GValue* value,
                                       GParamSpec* pspec) {
    auto* self = reinterpret_cast<VrDvAviMux*>(object);
    switch (id) {
    case PROP_RIFF_SIZE:
        GST_OBJECT_LOCK(self);
        g_value_set_uint64(value, self->state->riffSize);
        GST_OBJECT_UNLOCK(self);
        break;
    case PROP_FRAMES:
        g_value_set_uint64(value, self->state->frames);
        break;
    case PROP_BYTES_TO_FINISH:
        g_value_set_uint64(value, self->state->bytesToFinish);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void vr_dv_avi_mux_finalize(GObject* object) {
    auto* self = reinterpret_cast<VrDvAviMux*>(object);
    delete self->state;
    G_OBJECT_CLASS(vr_dv_avi_mux_parent_class)->finalize(object);
}

static void vr_dv_avi_mux_class_init(VrDvAviMuxClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(vr_dv_avi_mux_debug, "vr_dvavimux", 0, "type 1 DV AVI writer");
    gobject_class->finalize = vr_dv_avi_mux_finalize;
    gobject_class->set_property = vr_dv_avi_mux_set_property;
    gobject_class->get_property = vr_dv_avi_mux_get_property;
    g_object_class_install_property(
        gobject_class, PROP_RIFF_SIZE,
        g_param_spec_uint64(
            "riff-size", "RIFF size",
            "Largest size of one RIFF of the file, in bytes (from the next start)",
            avi::TDvAviWriter::kMinRiffLimit, avi::TDvAviWriter::kMaxRiffLimit,
            avi::TDvAviWriter::kDefaultRiffLimit,
            GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY)));
    g_object_class_install_property(
        gobject_class, PROP_FRAMES,
        g_param_spec_uint64("frames", "Frames", "DV frames written to the file", 0, G_MAXUINT64, 0,
                            GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        gobject_class, PROP_BYTES_TO_FINISH,
        g_param_spec_uint64("bytes-to-finish", "Bytes to finish",
                            "Bytes the end of the file still needs (indexes)", 0, G_MAXUINT64, 0,
                            GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    element_class->change_state = GST_DEBUG_FUNCPTR(vr_dv_avi_mux_change_state);
    gst_element_class_set_static_metadata(
        element_class, "DV type 1 AVI writer", "Codec/Muxer/Video",
        "Writes DV as a type 1 AVI (iavs stream, OpenDML)", "Ardoval");
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
}

static void vr_dv_avi_mux_init(VrDvAviMux* self) {
    self->state = new DvAviMuxState;
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_chain_function(self->sinkpad, GST_DEBUG_FUNCPTR(vr_dv_avi_mux_chain));
    gst_pad_set_event_function(self->sinkpad, GST_DEBUG_FUNCPTR(vr_dv_avi_mux_sink_event));
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);
    self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_use_fixed_caps(self->srcpad);
    gst_element_add_pad(GST_ELEMENT(self), self->srcpad);
    self->state->out.srcpad = self->srcpad;
    resetWriter(self);
}
