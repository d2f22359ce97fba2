#include "WaveDest.h"

#include "GstRef.h"
#include "WaveHeader.h"

#include <gst/audio/audio.h>

#include <cstring>

GST_DEBUG_CATEGORY_STATIC(vr_wave_dest_debug);
#define GST_CAT_DEFAULT vr_wave_dest_debug

namespace {

// Touched only by the streaming thread, and by state changes while it is stopped.
struct WaveDestState {
    wav::TWaveWriter writer;
    std::vector<uint8_t> format; // the input's format block; empty until caps arrive
    bool started = false;        // segment and provisional header sent
    // MP3: the format block depends on the frames (bitrate, average at the end), so a caps
    // change is told by the caps' own block, and the frames are followed.
    bool mp3 = false;
    std::vector<uint8_t> capsFormat;
    wav::TMp3FrameCounter frames;
};

} // namespace

struct VrWaveDest {
    GstElement parent;
    GstPad* sinkpad;
    GstPad* srcpad;
    WaveDestState* state;
};

struct VrWaveDestClass {
    GstElementClass parent_class;
};

G_DEFINE_TYPE(VrWaveDest, vr_wave_dest, GST_TYPE_ELEMENT)

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) { U8, S16LE, S24LE, S32LE, F32LE, F64LE }, "
                    "layout = (string) interleaved, rate = (int) [ 1, MAX ], "
                    "channels = (int) [ 1, 2 ]; "
                    "audio/x-alaw, rate = (int) [ 1, MAX ], channels = (int) [ 1, 2 ]; "
                    "audio/x-mulaw, rate = (int) [ 1, MAX ], channels = (int) [ 1, 2 ]; "
                    "audio/mpeg, mpegversion = (int) 1, layer = (int) 3, "
                    "rate = (int) [ 1, MAX ], channels = (int) [ 1, 2 ]"));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-wav"));

// The MP3 block from the caps alone, for a stream that ends before its first frame: the
// caps' bitrate when they give one.
static std::vector<uint8_t> mp3FormatFromCaps(const GstStructure* s) {
    int rate = 0, channels = 0, bitrate = 0;
    if (!gst_structure_get_int(s, "rate", &rate) ||
        !gst_structure_get_int(s, "channels", &channels) || rate <= 0 || channels <= 0)
        return {};
    gst_structure_get_int(s, "bitrate", &bitrate);
    wav::TMp3Frame nominal;
    nominal.rate = static_cast<uint32_t>(rate);
    nominal.mpeg1 = rate >= 32000;
    nominal.bitrate = bitrate > 0 ? static_cast<uint32_t>(bitrate) : 0;
    return wav::MakeMp3FormatBlock(static_cast<uint16_t>(channels), nominal.rate, nominal,
                                   nominal.bitrate / 8);
}

// The block for the frames seen so far, the channels and rate taken from the caps.
static std::vector<uint8_t> mp3FormatFromFrames(const WaveDestState& st, uint64_t dataBytes) {
    const auto& first = st.frames.First();
    if (!first)
        return st.capsFormat;
    const uint16_t channels = static_cast<uint16_t>(st.capsFormat[2] | st.capsFormat[3] << 8);
    return wav::MakeMp3FormatBlock(channels, first->rate, *first,
                                   st.frames.BytesPerSecond(dataBytes));
}

static std::vector<uint8_t> formatFromCaps(GstCaps* caps) {
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int rate = 0, channels = 0;
    if (gst_structure_has_name(s, "audio/mpeg"))
        return mp3FormatFromCaps(s);
    if (gst_structure_has_name(s, "audio/x-alaw") || gst_structure_has_name(s, "audio/x-mulaw")) {
        if (!gst_structure_get_int(s, "rate", &rate) ||
            !gst_structure_get_int(s, "channels", &channels))
            return {};
        const uint16_t tag =
            gst_structure_has_name(s, "audio/x-alaw") ? wav::kFormatALaw : wav::kFormatMuLaw;
        return wav::MakeFormatBlock(tag, static_cast<uint16_t>(channels),
                                    static_cast<uint32_t>(rate), 8,
                                    static_cast<uint16_t>(channels));
    }
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps))
        return {};
    const uint16_t tag = GST_AUDIO_INFO_IS_FLOAT(&info) ? wav::kFormatFloat : wav::kFormatPcm;
    return wav::MakeFormatBlock(tag, static_cast<uint16_t>(GST_AUDIO_INFO_CHANNELS(&info)),
                                static_cast<uint32_t>(GST_AUDIO_INFO_RATE(&info)),
                                static_cast<uint16_t>(GST_AUDIO_INFO_WIDTH(&info)),
                                static_cast<uint16_t>(GST_AUDIO_INFO_BPF(&info)));
}

static GstBuffer* headerBuffer(const WaveDestState& st) {
    const std::vector<uint8_t> h = st.writer.Header();
    GstBuffer* buf = gst_buffer_new_memdup(h.data(), h.size());
    GST_BUFFER_OFFSET(buf) = 0;
    GST_BUFFER_OFFSET_END(buf) = h.size();
    return buf;
}

static bool pushByteSegment(VrWaveDest* self) {
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_BYTES);
    return gst_pad_push_event(self->srcpad, gst_event_new_segment(&segment));
}

// The BYTES segment and the header for no data, which keeps the file readable even when the
// final header can never be written.
static GstFlowReturn ensureStarted(VrWaveDest* self) {
    WaveDestState& st = *self->state;
    if (st.started)
        return GST_FLOW_OK;
    if (st.format.empty())
        return GST_FLOW_NOT_NEGOTIATED;
    st.writer.Start(st.format);
    pushByteSegment(self);
    st.started = true;
    return gst_pad_push(self->srcpad, headerBuffer(st));
}

static GstFlowReturn vr_wave_dest_chain(GstPad*, GstObject* parent, GstBuffer* buf) {
    auto* self = reinterpret_cast<VrWaveDest*>(parent);
    WaveDestState& st = *self->state;
    // The provisional MP3 header already describes the first frame, for a file cut short.
    if (st.mp3 && !st.started && !st.format.empty()) {
        wav::TMp3FrameCounter probe;
        GstMapInfo map;
        if (gst_buffer_map(buf, &map, GST_MAP_READ)) {
            probe.Feed(std::span<const uint8_t>(map.data, map.size));
            gst_buffer_unmap(buf, &map);
        }
        if (probe.First()) {
            const uint16_t channels =
                static_cast<uint16_t>(st.capsFormat[2] | st.capsFormat[3] << 8);
            st.format = wav::MakeMp3FormatBlock(channels, probe.First()->rate, *probe.First(),
                                                probe.First()->bitrate / 8);
        }
    }
    TGstRef<GstBuffer> held(buf); // the chain function owns buf until it pushes it
    GstFlowReturn ret = ensureStarted(self);
    if (ret != GST_FLOW_OK)
        return ret;
    const gsize size = gst_buffer_get_size(buf);
    // Frames counted before the block is placed are uncounted if it never reaches the file.
    const wav::TMp3FrameCounter framesBefore = st.frames;
    if (st.mp3) {
        GstMapInfo map;
        if (gst_buffer_map(buf, &map, GST_MAP_READ)) {
            st.frames.Feed(std::span<const uint8_t>(map.data, map.size));
            gst_buffer_unmap(buf, &map);
        }
    }
    const auto pos = size <= UINT32_MAX ? st.writer.Place(static_cast<uint32_t>(size))
                                        : std::optional<uint32_t>();
    if (!pos) {
        held.reset();
        st.frames = framesBefore;
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT,
                          ("Le fichier WAV a atteint sa taille maximale (4 Go)."),
                          ("%u audio bytes written", st.writer.DataBytes()));
        return GST_FLOW_ERROR;
    }
    // The block's place in the file; times mean nothing in a byte stream.
    buf = gst_buffer_make_writable(held.release());
    GST_BUFFER_OFFSET(buf) = *pos;
    GST_BUFFER_OFFSET_END(buf) = *pos + size;
    GST_BUFFER_PTS(buf) = GST_BUFFER_DTS(buf) = GST_BUFFER_DURATION(buf) = GST_CLOCK_TIME_NONE;
    ret = gst_pad_push(self->srcpad, buf); // takes buf
    if (ret != GST_FLOW_OK) {
        st.writer.Unplace(static_cast<uint32_t>(size));
        st.frames = framesBefore;
    }
    return ret;
}

static void finishFile(VrWaveDest* self) {
    WaveDestState& st = *self->state;
    if (ensureStarted(self) != GST_FLOW_OK)
        return;
    gboolean seekable = FALSE;
    if (const TGstRef<GstQuery> q(gst_query_new_seeking(GST_FORMAT_BYTES));
        gst_pad_peer_query(self->srcpad, q.get()))
        gst_query_parse_seeking(q.get(), nullptr, &seekable, nullptr, nullptr);
    // Sending the header to a sink that cannot seek back would append it to the audio.
    if (!seekable) {
        GST_WARNING_OBJECT(self, "downstream cannot seek, the WAV header keeps its sizes of 0");
        return;
    }
    // The pad byte ends the file only when the header gives the data size: a reader of a
    // header with sizes of 0 would take it for one more sample.
    if (st.writer.PadBytes() != 0) {
        const uint32_t at = st.writer.HeaderSize() + st.writer.DataBytes();
        GstBuffer* zero = gst_buffer_new_allocate(nullptr, 1, nullptr);
        gst_buffer_memset(zero, 0, 0, 1);
        GST_BUFFER_OFFSET(zero) = at;
        GST_BUFFER_OFFSET_END(zero) = static_cast<guint64>(at) + 1;
        if (gst_pad_push(self->srcpad, zero) != GST_FLOW_OK)
            GST_WARNING_OBJECT(self, "the pad byte after the odd-sized data was refused");
    }
    if (st.mp3)
        st.writer.ReplaceFormat(mp3FormatFromFrames(st, st.writer.DataBytes()));
    if (!pushByteSegment(self)) {
        GST_WARNING_OBJECT(self, "downstream refused the segment of the final WAV header");
        return;
    }
    gst_pad_push(self->srcpad, headerBuffer(st));
}

static gboolean vr_wave_dest_sink_event(GstPad* pad, GstObject* parent, GstEvent* event) {
    auto* self = reinterpret_cast<VrWaveDest*>(parent);
    WaveDestState& st = *self->state;
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        std::vector<uint8_t> format;
        bool mp3 = false;
        {
            const TGstRef<GstEvent> dropped(event); // replaced by the element's own caps
            GstCaps* caps;
            gst_event_parse_caps(event, &caps);
            format = formatFromCaps(caps);
            mp3 = gst_structure_has_name(gst_caps_get_structure(caps, 0), "audio/mpeg");
        }
        if (format.empty())
            return FALSE;
        // One file holds one format.
        if (st.started && format != st.capsFormat) {
            GST_ELEMENT_ERROR(self, STREAM, FORMAT, (nullptr),
                              ("audio format changed inside the WAV file"));
            return FALSE;
        }
        if (!st.started) {
            st.mp3 = mp3;
            st.capsFormat = format;
            st.format = std::move(format);
        }
        const TGstRef<GstCaps> out(gst_caps_new_empty_simple("audio/x-wav"));
        return gst_pad_push_event(self->srcpad, gst_event_new_caps(out.get()));
    }
    case GST_EVENT_SEGMENT: {
        // Replaced by the element's own BYTES segment.
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

static GstStateChangeReturn vr_wave_dest_change_state(GstElement* element,
                                                      GstStateChange transition) {
    auto* self = reinterpret_cast<VrWaveDest*>(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        self->state->started = false;
        self->state->format.clear();
        self->state->capsFormat.clear();
        self->state->mp3 = false;
        self->state->frames = {};
    }
    return GST_ELEMENT_CLASS(vr_wave_dest_parent_class)->change_state(element, transition);
}

static void vr_wave_dest_finalize(GObject* object) {
    auto* self = reinterpret_cast<VrWaveDest*>(object);
    delete self->state;
    G_OBJECT_CLASS(vr_wave_dest_parent_class)->finalize(object);
}

static void vr_wave_dest_class_init(VrWaveDestClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(vr_wave_dest_debug, "vr_wavedest", 0, "WAV writer");
    gobject_class->finalize = vr_wave_dest_finalize;
    element_class->change_state = GST_DEBUG_FUNCPTR(vr_wave_dest_change_state);
    gst_element_class_set_static_metadata(
        element_class, "WavDest filter", "Codec/Muxer/Audio",
        "Writes raw audio or MP3 frames as a RIFF/WAVE byte stream", "Ardoval");
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
}

static void vr_wave_dest_init(VrWaveDest* self) {
    self->state = new WaveDestState;
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_chain_function(self->sinkpad, GST_DEBUG_FUNCPTR(vr_wave_dest_chain));
    gst_pad_set_event_function(self->sinkpad, GST_DEBUG_FUNCPTR(vr_wave_dest_sink_event));
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);
    self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_use_fixed_caps(self->srcpad);
    gst_element_add_pad(GST_ELEMENT(self), self->srcpad);
}
