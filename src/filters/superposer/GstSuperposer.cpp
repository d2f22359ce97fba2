#include "GstSuperposer.h"

#include "GstRef.h"
#include "SuperposerCore.h"
#include "UpstreamScenes.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <atomic>
#include <string>

GST_DEBUG_CATEGORY_STATIC(tvr_superposer_debug);
#define GST_CAT_DEFAULT tvr_superposer_debug

struct Tvr_Superposer {
    GstBaseTransform parent;
    SuperposerCore* core;
    GstVideoInfo info;        // streaming thread (set_caps)
    GstVideoConverter* toBgr; // streaming thread: I420 frames to BGR snapshots, or null
    gboolean restart;         // streaming thread: the next caps start a stream
    GstElement* sceneSource;  // guarded by the object lock; a ref is held
    GstElement* foundSource;  // guarded by the object lock; a ref is held (found upstream)
    gboolean searchUpstream;  // streaming thread: look for a detector upstream at the next frame
    gboolean warnedShort;     // streaming thread
    gchar* lastText;          // guarded by the object lock
    int lastLinesVersion;     // streaming thread
};

struct Tvr_SuperposerClass {
    GstBaseTransformClass parent_class;
    gboolean programDefaults; // the instances start blank (inside the program)
};

enum {
    PROP_0,
    PROP_OVERLAY_ENABLED,
    PROP_INCRUST_ACTIVE,
    PROP_VERT_FLIP,
    PROP_HORZ_FLIP,
    PROP_SOURCE_FLIPPED,
    PROP_WHEN_MODE,
    PROP_WHEN_SECONDS,
    PROP_FRAME_DURATION,
    PROP_SCENE_SOURCE,
    PROP_ANTIALIAS,
    PROP_INTERVAL_ON,
    PROP_LAST_TEXT,
    PROP_INCRUST_REC,
    // Fields of the record.
    PROP_INCRUST1,
    PROP_INCRUST2,
    PROP_FORMAT_DATE1,
    PROP_FORMAT_DATE2,
    PROP_DECALAGE,
    PROP_FONT_NAME,
    PROP_FONT_SIZE,
    PROP_FONT_COLOR,
    PROP_FONT_BOLD,
    PROP_FONT_ITALIC,
    PROP_FONT_UNDERLINE,
    PROP_FONT_STRIKEOUT,
    PROP_AUTO_FONT_SIZE,
    PROP_BORDER_SIZE,
    PROP_WHAT_INCRUST,
    PROP_ALIGNEMENT,
    PROP_BORDER_COLOR,
    PROP_XPOS,
    PROP_YPOS,
};

G_DEFINE_TYPE(Tvr_Superposer, tvr_superposer, GST_TYPE_BASE_TRANSFORM)

static VrIncrustRec* vr_incrust_rec_copy(const VrIncrustRec* rec) {
    return new VrIncrustRec(*rec);
}

static void vr_incrust_rec_free(VrIncrustRec* rec) {
    delete rec;
}

G_DEFINE_BOXED_TYPE(VrIncrustRec, vr_incrust_rec, vr_incrust_rec_copy, vr_incrust_rec_free)

static GParamSpec* lastTextSpec = nullptr;

// Inside the program the overlay starts blank and the program gives it its settings; in any
// other application it draws the system date and time from the start, as clockoverlay does.
static std::atomic<bool> useProgramDefaults{false};

void vrSuperposerUseProgramDefaults() {
    useProgramDefaults.store(true);
}

static VrIncrustRec initialRecord(bool program) {
    VrIncrustRec rec;
    if (!program) {
        rec.WhatIncrust = VrIncrustRec::Reel;
        rec.FormatDate1 = "ddddd"; // 14/07/2024
        rec.FormatDate2 = "tt";    // 10:20:30
        rec.FontRec.FontBold = 1;
    }
    return rec;
}

// BGR, or the I420 of most decoders, drawn on as it comes (the same format out as in).
#define OVERLAY_CAPS GST_VIDEO_CAPS_MAKE("{ BGR, I420 }")

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(OVERLAY_CAPS));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(OVERLAY_CAPS));

static Tvr_Superposer* self(gpointer p) {
    return reinterpret_cast<Tvr_Superposer*>(p);
}

static Tvr_Superposer* asSuperposer(GstElement* e) {
    return e && G_TYPE_CHECK_INSTANCE_TYPE(e, VR_TYPE_SUPERPOSER) ? self(e) : nullptr;
}

SuperposerCore* vrSuperposerCore(GstElement* e) {
    Tvr_Superposer* s = asSuperposer(e);
    return s ? s->core : nullptr;
}

static void releaseSlotHolder(gpointer holder) {
    delete static_cast<GrabRing::Slot*>(holder);
}

static void postSnapshot(Tvr_Superposer* s, int slot, bool periodic) {
    GrabRing::Slot memory = s->core->grabs().slot(slot);
    const int width = s->core->streamWidth();
    const int height = s->core->streamHeight();
    if (!memory || width <= 0 || height <= 0)
        return;
    // The message holds the slot's memory: a new stream size allocates fresh slots rather
    // than pull this one from under its receiver.
    auto* holder = new GrabRing::Slot(memory);
    const TGstRef<GstBuffer> buffer(
        gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, memory->data(), memory->size(), 0,
                                    memory->size(), holder, releaseSlotHolder));
    const TGstRef<GstCaps> caps(gst_caps_new_simple(
        "video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, width, "height",
        G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION, GST_VIDEO_INFO_FPS_N(&s->info),
        GST_VIDEO_INFO_FPS_D(&s->info), nullptr));
    GstSample* sample = gst_sample_new(buffer.get(), caps.get(), nullptr, nullptr);
    const SuperposerCore::SlotDate date = s->core->slotDate(slot);
    GstStructure* st = gst_structure_new(
        "vr-snapshot", "message", G_TYPE_INT, 1025, "wparam", G_TYPE_INT, 0, "lparam", G_TYPE_INT,
        slot, "slot", G_TYPE_INT, slot, "sample", GST_TYPE_SAMPLE, sample, "date-valid",
        G_TYPE_BOOLEAN, gboolean(date.valid), "rec-date", G_TYPE_DOUBLE, date.recDate, "periodic",
        G_TYPE_BOOLEAN, gboolean(periodic), nullptr);
    gst_sample_unref(sample);
    gst_element_post_message(GST_ELEMENT(s), gst_message_new_element(GST_OBJECT(s), st));
}

static void postCountdown(Tvr_Superposer* s, int32_t seconds) {
    GstStructure* st = gst_structure_new("vr-grab-countdown", "message", G_TYPE_INT, 1026, "wparam",
                                         G_TYPE_INT, seconds, "lparam", G_TYPE_INT, 0, "seconds",
                                         G_TYPE_INT, seconds, nullptr);
    gst_element_post_message(GST_ELEMENT(s), gst_message_new_element(GST_OBJECT(s), st));
}

// The detector found upstream takes the place of a scene source.
static void setFoundSource(Tvr_Superposer* s, GstElement* found) {
    GST_OBJECT_LOCK(s);
    const TGstRef<GstElement> old(s->foundSource); // released outside the lock
    s->foundSource = found;
    GST_OBJECT_UNLOCK(s);
}

static gboolean superposerStart(GstBaseTransform* trans) {
    self(trans)->restart = TRUE;
    self(trans)->searchUpstream = TRUE;
    return TRUE;
}

static void freeConverter(Tvr_Superposer* s) {
    if (s->toBgr)
        gst_video_converter_free(s->toBgr);
    s->toBgr = nullptr;
}

static gboolean superposerStop(GstBaseTransform* trans) {
    setFoundSource(self(trans), nullptr);
    freeConverter(self(trans));
    return TRUE;
}

static gboolean superposerSetCaps(GstBaseTransform* trans, GstCaps* incaps, GstCaps*) {
    Tvr_Superposer* s = self(trans);
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, incaps) ||
        (GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGR &&
         GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420) ||
        GST_VIDEO_INFO_WIDTH(&info) <= 0 || GST_VIDEO_INFO_HEIGHT(&info) <= 0)
        return FALSE;
    freeConverter(s);
    if (GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_I420) {
        // Snapshots stay BGR: converted as videoconvert would have done before the overlay.
        GstVideoInfo bgr;
        gst_video_info_set_format(&bgr, GST_VIDEO_FORMAT_BGR, GST_VIDEO_INFO_WIDTH(&info),
                                  GST_VIDEO_INFO_HEIGHT(&info));
        GST_VIDEO_INFO_FPS_N(&bgr) = GST_VIDEO_INFO_FPS_N(&info);
        GST_VIDEO_INFO_FPS_D(&bgr) = GST_VIDEO_INFO_FPS_D(&info);
        GST_VIDEO_INFO_PAR_N(&bgr) = GST_VIDEO_INFO_PAR_N(&info);
        GST_VIDEO_INFO_PAR_D(&bgr) = GST_VIDEO_INFO_PAR_D(&info);
        s->toBgr = gst_video_converter_new(&info, &bgr, nullptr);
        if (!s->toBgr)
            return FALSE;
    }
    s->info = info;
    s->searchUpstream = TRUE; // new caps often mean a relinked pipeline
    if (s->restart) {
        s->core->startStreaming(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
        s->restart = FALSE;
    }
    return TRUE;
}

// The scene source given, or else the DV scene detector upstream in the pipeline, searched
// once per stream and per caps rather than on every frame; a new reference or null.
static GstElement* sceneSourceFor(Tvr_Superposer* s) {
    GST_OBJECT_LOCK(s);
    GstElement* given = s->sceneSource ? GST_ELEMENT(gst_object_ref(s->sceneSource)) : nullptr;
    GST_OBJECT_UNLOCK(s);
    if (given)
        return given;
    if (s->searchUpstream) {
        s->searchUpstream = FALSE;
        GstElement* found = vrFindUpstreamFrameInfoSource(GST_ELEMENT(s));
        if (found)
            GST_INFO_OBJECT(s, "DV frame information from %" GST_PTR_FORMAT, found);
        setFoundSource(s, found);
    }
    GST_OBJECT_LOCK(s);
    GstElement* found = s->foundSource ? GST_ELEMENT(gst_object_ref(s->foundSource)) : nullptr;
    GST_OBJECT_UNLOCK(s);
    return found;
}

// "last-text" follows the lines drawn; they change at most once per displayed second.
static void updateLastText(Tvr_Superposer* s) {
    const std::string& line1 = s->core->line1();
    const std::string& line2 = s->core->line2();
    std::string text = line1;
    if (!line1.empty() && !line2.empty())
        text += '\n';
    text += line2;
    GST_OBJECT_LOCK(s);
    const bool changed = g_strcmp0(s->lastText, text.c_str()) != 0;
    if (changed) {
        g_free(s->lastText);
        s->lastText = g_strdup(text.c_str());
    }
    GST_OBJECT_UNLOCK(s);
    if (changed)
        g_object_notify_by_pspec(G_OBJECT(s), lastTextSpec);
}

// Frames that would not be changed pass as they are: a frame shared with a recording of the
// source's own pictures is then not copied for nothing.
static void superposerBeforeTransform(GstBaseTransform* trans, GstBuffer*) {
    gst_base_transform_set_passthrough(trans, !self(trans)->core->writesFrames());
}

static GstFlowReturn superposerTransformIp(GstBaseTransform* trans, GstBuffer* buf) {
    Tvr_Superposer* s = self(trans);
    const bool writable = !gst_base_transform_is_passthrough(trans);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &s->info, buf, writable ? GST_MAP_READWRITE : GST_MAP_READ)) {
        // A buffer shorter than the caps promise passes untouched rather than be overrun.
        if (!s->warnedShort)
            GST_WARNING_OBJECT(s, "buffer of %" G_GSIZE_FORMAT " bytes does not hold a frame",
                               gst_buffer_get_size(buf));
        s->warnedShort = TRUE;
        return GST_FLOW_OK;
    }
    const TGstRef<GstElement> scene(sceneSourceFor(s));
    auto* scenes = scene ? static_cast<IFrameInfoSource*>(
                               g_object_get_data(G_OBJECT(scene.get()), kFrameInfoSourceKey))
                         : nullptr;

    const int64_t pts = GST_BUFFER_PTS_IS_VALID(buf) ? int64_t(GST_BUFFER_PTS(buf)) : 0;
    SuperposerCore::FrameResult r;
    if (GST_VIDEO_FRAME_FORMAT(&frame) == GST_VIDEO_FORMAT_I420) {
        I420Image image;
        for (int p = 0; p < 3; ++p) {
            image.plane[p] = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
            image.stride[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
        }
        image.width = GST_VIDEO_FRAME_WIDTH(&frame);
        image.height = GST_VIDEO_FRAME_HEIGHT(&frame);
        // The text's colour coded as the picture's (a decoder of large frames gives BT.709,
        // Motion-JPEG full range).
        const GstVideoColorimetry& colour = GST_VIDEO_INFO_COLORIMETRY(&s->info);
        gdouble kr = 0, kb = 0;
        if (gst_video_color_matrix_get_Kr_Kb(colour.matrix, &kr, &kb)) {
            image.matrix.kr = kr;
            image.matrix.kb = kb;
        }
        image.matrix.fullRange = colour.range == GST_VIDEO_COLOR_RANGE_0_255;
        GstVideoConverter* converter = s->toBgr;
        auto toBgr = [converter, &frame](const I420Image&, uint8_t* dst, size_t stride) {
            GstVideoFrame out{};
            const GstVideoInfo* bgr = gst_video_converter_get_out_info(converter);
            out.info = *bgr;
            out.info.stride[0] = int(stride);
            out.data[0] = dst;
            gst_video_converter_frame(converter, &frame, &out);
        };
        r = s->core->processFrame(image, pts, scenes, writable,
                                  converter ? SuperposerCore::ToBgr(toBgr) : nullptr);
    } else {
        BgrImage image;
        image.data = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        image.width = GST_VIDEO_FRAME_WIDTH(&frame);
        image.height = GST_VIDEO_FRAME_HEIGHT(&frame);
        image.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        r = s->core->processFrame(image, pts, scenes, writable);
    }
    gst_video_frame_unmap(&frame);

    if (s->core->linesVersion() != s->lastLinesVersion) {
        s->lastLinesVersion = s->core->linesVersion();
        updateLastText(s);
    }
    if (r.secondsChanged)
        postCountdown(s, r.seconds);
    for (int k = 0; k < r.snapshotCount; ++k)
        postSnapshot(s, r.snapshotSlots[k], r.snapshotPeriodic[k]);
    return GST_FLOW_OK;
}

static void setSceneSource(Tvr_Superposer* s, GstElement* element) {
    GST_OBJECT_LOCK(s);
    const TGstRef<GstElement> old(s->sceneSource); // released outside the lock
    s->sceneSource = element ? GST_ELEMENT(gst_object_ref(element)) : nullptr;
    GST_OBJECT_UNLOCK(s);
}

// The text as Pango takes it: every invalid sequence replaced by U+FFFD; null is empty.
static std::string validUtf8(const char* text) {
    if (text == nullptr)
        return {};
    if (g_utf8_validate(text, -1, nullptr))
        return text;
    gchar* valid = g_utf8_make_valid(text, -1);
    std::string result(valid);
    g_free(valid);
    return result;
}

static VrIncrustRec validRecord(const VrIncrustRec& rec) {
    VrIncrustRec valid = rec;
    for (std::string* text : {&valid.Incrust1, &valid.Incrust2, &valid.FormatDate1,
                              &valid.FormatDate2, &valid.FontRec.FontName})
        *text = validUtf8(text->c_str());
    return valid;
}

static bool setRecordField(VrIncrustRec& rec, guint id, const GValue* value) {
    auto text = [value] { return validUtf8(g_value_get_string(value)); };
    switch (id) {
    case PROP_INCRUST1:
        rec.Incrust1 = text();
        break;
    case PROP_INCRUST2:
        rec.Incrust2 = text();
        break;
    case PROP_FORMAT_DATE1:
        rec.FormatDate1 = text();
        break;
    case PROP_FORMAT_DATE2:
        rec.FormatDate2 = text();
        break;
    case PROP_DECALAGE:
        rec.Decalage = g_value_get_double(value);
        break;
    case PROP_FONT_NAME:
        rec.FontRec.FontName = text();
        break;
    case PROP_FONT_SIZE:
        rec.FontRec.FontSize = g_value_get_int(value);
        break;
    case PROP_FONT_COLOR:
        rec.FontRec.FontColor = g_value_get_uint(value);
        break;
    case PROP_FONT_BOLD:
        rec.FontRec.FontBold = g_value_get_boolean(value) ? 1 : 0;
        break;
    case PROP_FONT_ITALIC:
        rec.FontRec.FontItalic = g_value_get_boolean(value) ? 1 : 0;
        break;
    case PROP_FONT_UNDERLINE:
        rec.FontRec.FontUnderline = g_value_get_boolean(value) ? 1 : 0;
        break;
    case PROP_FONT_STRIKEOUT:
        rec.FontRec.FontStrikeOut = g_value_get_boolean(value) ? 1 : 0;
        break;
    case PROP_AUTO_FONT_SIZE:
        rec.Autofontsize = g_value_get_boolean(value);
        break;
    case PROP_BORDER_SIZE:
        rec.BorderSize = g_value_get_int(value);
        break;
    case PROP_WHAT_INCRUST:
        rec.WhatIncrust = uint8_t(g_value_get_uint(value));
        break;
    case PROP_ALIGNEMENT:
        rec.Alignement = uint8_t(g_value_get_uint(value));
        break;
    case PROP_BORDER_COLOR:
        rec.BorderColor = g_value_get_uint(value);
        break;
    case PROP_XPOS:
        rec.Xpos = g_value_get_int(value);
        break;
    case PROP_YPOS:
        rec.Ypos = g_value_get_int(value);
        break;
    default:
        return false;
    }
    return true;
}

static bool getRecordField(const VrIncrustRec& rec, guint id, GValue* value) {
    auto text = [value](const std::string& s) { g_value_set_string(value, s.c_str()); };
    switch (id) {
    case PROP_INCRUST1:
        text(rec.Incrust1);
        break;
    case PROP_INCRUST2:
        text(rec.Incrust2);
        break;
    case PROP_FORMAT_DATE1:
        text(rec.FormatDate1);
        break;
    case PROP_FORMAT_DATE2:
        text(rec.FormatDate2);
        break;
    case PROP_DECALAGE:
        g_value_set_double(value, rec.Decalage);
        break;
    case PROP_FONT_NAME:
        text(rec.FontRec.FontName);
        break;
    case PROP_FONT_SIZE:
        g_value_set_int(value, rec.FontRec.FontSize);
        break;
    case PROP_FONT_COLOR:
        g_value_set_uint(value, rec.FontRec.FontColor);
        break;
    case PROP_FONT_BOLD:
        g_value_set_boolean(value, rec.FontRec.FontBold != 0);
        break;
    case PROP_FONT_ITALIC:
        g_value_set_boolean(value, rec.FontRec.FontItalic != 0);
        break;
    case PROP_FONT_UNDERLINE:
        g_value_set_boolean(value, rec.FontRec.FontUnderline != 0);
        break;
    case PROP_FONT_STRIKEOUT:
        g_value_set_boolean(value, rec.FontRec.FontStrikeOut != 0);
        break;
    case PROP_AUTO_FONT_SIZE:
        g_value_set_boolean(value, rec.Autofontsize);
        break;
    case PROP_BORDER_SIZE:
        g_value_set_int(value, rec.BorderSize);
        break;
    case PROP_WHAT_INCRUST:
        g_value_set_uint(value, rec.WhatIncrust);
        break;
    case PROP_ALIGNEMENT:
        g_value_set_uint(value, rec.Alignement);
        break;
    case PROP_BORDER_COLOR:
        g_value_set_uint(value, rec.BorderColor);
        break;
    case PROP_XPOS:
        g_value_set_int(value, rec.Xpos);
        break;
    case PROP_YPOS:
        g_value_set_int(value, rec.Ypos);
        break;
    default:
        return false;
    }
    return true;
}

static void superposerSetProperty(GObject* object, guint id, const GValue* value,
                                  GParamSpec* pspec) {
    Tvr_Superposer* s = self(object);
    SuperposerCore* core = s->core;
    switch (id) {
    case PROP_OVERLAY_ENABLED:
        core->setOverlayEnabled(g_value_get_boolean(value));
        return;
    case PROP_INCRUST_ACTIVE:
        core->SetIncrustActive(g_value_get_boolean(value));
        return;
    case PROP_VERT_FLIP:
        core->SetVertFlip(g_value_get_boolean(value));
        return;
    case PROP_HORZ_FLIP:
        core->SetHorzFlip(g_value_get_boolean(value));
        return;
    case PROP_SOURCE_FLIPPED:
        core->setSourceFlipped(g_value_get_boolean(value));
        return;
    case PROP_WHEN_MODE: {
        const WhenCountdown c = core->countdown();
        core->SetWhenIncrust(uint8_t(g_value_get_uint(value)), c.whenSeconds());
        return;
    }
    case PROP_WHEN_SECONDS: {
        const WhenCountdown c = core->countdown();
        core->SetWhenIncrust(c.whenMode(), g_value_get_int(value));
        return;
    }
    case PROP_FRAME_DURATION:
        core->setFrameDuration(g_value_get_uint(value));
        return;
    case PROP_SCENE_SOURCE:
        setSceneSource(s, GST_ELEMENT(g_value_get_object(value)));
        return;
    case PROP_ANTIALIAS:
        core->setAntialias(g_value_get_boolean(value));
        return;
    case PROP_INCRUST_REC:
        // The core copies the record under its lock; null leaves the record as it is.
        if (const auto* rec = static_cast<const VrIncrustRec*>(g_value_get_boxed(value)))
            core->SetIncrustRec(validRecord(*rec));
        return;
    default:
        break;
    }
    VrIncrustRec rec = core->incrustRec();
    if (setRecordField(rec, id, value))
        core->SetIncrustRec(rec);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void superposerGetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    Tvr_Superposer* s = self(object);
    SuperposerCore* core = s->core;
    switch (id) {
    case PROP_OVERLAY_ENABLED:
        g_value_set_boolean(value, core->overlayEnabled());
        return;
    case PROP_INCRUST_ACTIVE:
        g_value_set_boolean(value, core->incrustActive());
        return;
    case PROP_VERT_FLIP:
        g_value_set_boolean(value, core->vertFlip());
        return;
    case PROP_HORZ_FLIP:
        g_value_set_boolean(value, core->horzFlip());
        return;
    case PROP_SOURCE_FLIPPED:
        g_value_set_boolean(value, core->sourceFlipped());
        return;
    case PROP_WHEN_MODE:
        g_value_set_uint(value, core->countdown().whenMode());
        return;
    case PROP_WHEN_SECONDS:
        g_value_set_int(value, core->countdown().whenSeconds());
        return;
    case PROP_FRAME_DURATION:
        g_value_set_uint(value, core->frameDuration());
        return;
    case PROP_SCENE_SOURCE:
        GST_OBJECT_LOCK(s);
        g_value_set_object(value, s->sceneSource);
        GST_OBJECT_UNLOCK(s);
        return;
    case PROP_ANTIALIAS:
        g_value_set_boolean(value, core->antialias());
        return;
    case PROP_INTERVAL_ON:
        g_value_set_boolean(value, core->grabs().intervalOn());
        return;
    case PROP_LAST_TEXT:
        GST_OBJECT_LOCK(s);
        g_value_set_string(value, s->lastText);
        GST_OBJECT_UNLOCK(s);
        return;
    case PROP_INCRUST_REC:
        g_value_take_boxed(value, new VrIncrustRec(core->incrustRec()));
        return;
    default:
        break;
    }
    if (!getRecordField(core->incrustRec(), id, value))
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void superposerDispose(GObject* object) {
    setSceneSource(self(object), nullptr);
    setFoundSource(self(object), nullptr);
    G_OBJECT_CLASS(tvr_superposer_parent_class)->dispose(object);
}

static void superposerFinalize(GObject* object) {
    freeConverter(self(object));
    delete self(object)->core;
    g_free(self(object)->lastText);
    G_OBJECT_CLASS(tvr_superposer_parent_class)->finalize(object);
}

static void grabImageAction(Tvr_Superposer* s) {
    s->core->GrabImage();
}
static void startIntervalometerAction(Tvr_Superposer* s, guint interval) {
    s->core->StartIntervalometer(interval);
}
static void stopIntervalometerAction(Tvr_Superposer* s) {
    s->core->stopIntervalometer();
}
static void releaseSlotAction(Tvr_Superposer* s, gint slot) {
    s->core->releaseSlot(slot);
}

// Every property with a readable nick and a blurb that says its unit, values and effect, for
// gst-inspect-1.0; the defaults are those of a new instance.
static void installRecordProperties(GObjectClass* gobject, GParamFlags rw, const VrIncrustRec& d) {
    auto str = [&](guint id, const char* name, const char* nick, const char* blurb,
                   const std::string& def) {
        g_object_class_install_property(gobject, id,
                                        g_param_spec_string(name, nick, blurb, def.c_str(), rw));
    };
    auto boolean = [&](guint id, const char* name, const char* nick, const char* blurb, bool def) {
        g_object_class_install_property(gobject, id,
                                        g_param_spec_boolean(name, nick, blurb, def, rw));
    };
    auto integer = [&](guint id, const char* name, const char* nick, const char* blurb, int def) {
        g_object_class_install_property(
            gobject, id, g_param_spec_int(name, nick, blurb, G_MININT, G_MAXINT, def, rw));
    };
    auto uinteger = [&](guint id, const char* name, const char* nick, const char* blurb, guint max,
                        guint def) {
        g_object_class_install_property(gobject, id,
                                        g_param_spec_uint(name, nick, blurb, 0, max, def, rw));
    };
    uinteger(PROP_WHAT_INCRUST, "what-incrust", "What to draw",
             "0 the DV recording date (format-date1 and format-date2 applied to it), 1 the DV "
             "timecode, 2 the templates incrust1 and incrust2, 3 the system date and time "
             "(format-date1 and format-date2 applied to it), 4 nothing",
             VrIncrustRec::Nothing, d.WhatIncrust);
    static constexpr char kPattern[] =
        "Pattern of the date and time: d dd (day) ddd dddd (day name) ddddd (dd/mm/yyyy) dddddd "
        "(long date), m mm mmm mmmm (month), yy yyyy, h hh, n nn (minutes), s ss, z zzz, t "
        "(hh:nn) tt (hh:nn:ss), am/pm, a/p, '...' literal text";
    str(PROP_FORMAT_DATE1, "format-date1", "Date format of line 1", kPattern, d.FormatDate1);
    str(PROP_FORMAT_DATE2, "format-date2", "Date format of line 2", kPattern, d.FormatDate2);
    str(PROP_INCRUST1, "incrust1", "Template of line 1",
        "Text of line 1 with what-incrust=2, where %D stands for the DV date, %R for the system "
        "date (both in format-date1) and %T for the DV timecode",
        d.Incrust1);
    str(PROP_INCRUST2, "incrust2", "Template of line 2",
        "Text of line 2 with what-incrust=2, where %D stands for the DV date, %R for the system "
        "date (both in format-date2) and %T for the DV timecode",
        d.Incrust2);
    g_object_class_install_property(
        gobject, PROP_DECALAGE,
        g_param_spec_double("decalage", "Time offset",
                            "Days added to every date shown, DV or system (1/24 is one hour), to "
                            "correct a camcorder's clock",
                            -G_MAXDOUBLE, G_MAXDOUBLE, d.Decalage, rw));
    str(PROP_FONT_NAME, "font-name", "Font",
        "Font family, as fontconfig names it; empty for Arial (or what fontconfig puts in its "
        "place)",
        d.FontRec.FontName);
    integer(PROP_FONT_SIZE, "font-size", "Font size",
            "Size of the text in points when auto-font-size is off (0 or less: 21)",
            d.FontRec.FontSize);
    boolean(PROP_AUTO_FONT_SIZE, "auto-font-size", "Automatic font size",
            "Text height from the frame width (28 pixels for 720) instead of font-size",
            d.Autofontsize);
    uinteger(PROP_FONT_COLOR, "font-color", "Text colour",
             "Colour of the text as 0x00BBGGRR (0xFFFFFF white, 0x00FFFF yellow)", G_MAXUINT,
             d.FontRec.FontColor);
    boolean(PROP_FONT_BOLD, "font-bold", "Bold", "Bold text", d.FontRec.FontBold != 0);
    boolean(PROP_FONT_ITALIC, "font-italic", "Italic", "Italic text", d.FontRec.FontItalic != 0);
    boolean(PROP_FONT_UNDERLINE, "font-underline", "Underlined", "Underlined text",
            d.FontRec.FontUnderline != 0);
    boolean(PROP_FONT_STRIKEOUT, "font-strikeout", "Struck out", "Struck-out text",
            d.FontRec.FontStrikeOut != 0);
    integer(PROP_BORDER_SIZE, "border-size", "Outline",
            "Width in pixels of the black outline around the letters (0 or less: none)",
            d.BorderSize);
    uinteger(PROP_BORDER_COLOR, "border-color", "Outline colour (kept)",
             "Kept with the settings as 0x00BBGGRR; the outline is always black", G_MAXUINT,
             d.BorderColor);
    uinteger(PROP_ALIGNEMENT, "alignement", "Alignment",
             "0 the lines start at xpos, 1 they are centred on xpos, 2 they end at xpos, 3 "
             "centred in the frame (sub-title); other values hide the text",
             255, d.Alignement);
    integer(PROP_XPOS, "xpos", "Horizontal position",
            "Anchor of the lines in thousandths of the frame width, from the left (clamped to "
            "0-1000)",
            d.Xpos);
    integer(PROP_YPOS, "ypos", "Vertical position",
            "Thousandths of the frame height, from the top, where line 1 ends and line 2 "
            "begins (clamped to 0-1000)",
            d.Ypos);
}

static void tvr_superposer_class_init(Tvr_SuperposerClass* klass) {
    GObjectClass* gobject = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans = GST_BASE_TRANSFORM_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(tvr_superposer_debug, "vr_superposer", 0, "Vidorra overlay");

    gobject->set_property = superposerSetProperty;
    gobject->get_property = superposerGetProperty;
    gobject->dispose = superposerDispose;
    gobject->finalize = superposerFinalize;
    klass->programDefaults = useProgramDefaults.load();

    const auto rw =
        GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    const auto ro = GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS);
    auto boolean = [&](guint id, const char* name, const char* nick, const char* blurb, bool def) {
        g_object_class_install_property(gobject, id,
                                        g_param_spec_boolean(name, nick, blurb, def, rw));
    };
    boolean(PROP_INCRUST_ACTIVE, "incrust-active", "Inlay",
            "Draw the text chosen by what-incrust into the frames; setting it starts the "
            "display time of when-mode 1 again",
            !klass->programDefaults);
    boolean(PROP_OVERLAY_ENABLED, "overlay-enabled", "Overlay enabled",
            "Off, every frame passes as it came: no text, no flip (the rows of a source-flipped "
            "source are still put upright)",
            true);
    boolean(PROP_VERT_FLIP, "vert-flip", "Vertical flip", "Turn the picture upside down", false);
    boolean(PROP_HORZ_FLIP, "horz-flip", "Horizontal flip", "Mirror the picture left to right",
            false);
    boolean(PROP_SOURCE_FLIPPED, "source-flipped", "Source bottom-up",
            "The source delivers its rows bottom-up: they are put upright", false);
    boolean(PROP_ANTIALIAS, "antialias", "Anti-aliasing", "Smooth the edges of the letters", true);
    g_object_class_install_property(
        gobject, PROP_WHEN_MODE,
        g_param_spec_uint("when-mode", "When to show",
                          "0 always, 1 for when-seconds after incrust-active is set, 2 for "
                          "when-seconds at each new DV scene (a jump of the recording date), 3 for "
                          "when-seconds at each new day of the date shown (other values: as 1)",
                          0, 255, 0, rw));
    g_object_class_install_property(
        gobject, PROP_WHEN_SECONDS,
        g_param_spec_int("when-seconds", "Display time",
                         "Seconds the text stays after each trigger of when-mode 1 to 3 "
                         "(counted in frames of frame-duration)",
                         G_MININT, G_MAXINT, 5, rw));
    g_object_class_install_property(
        gobject, PROP_FRAME_DURATION,
        g_param_spec_uint("frame-duration", "Frame duration",
                          "Duration of one frame in units of 100 ns, to count when-seconds in "
                          "frames (400000: 25 frames a second); set it before when-seconds",
                          0, G_MAXUINT, 400000, rw));
    g_object_class_install_property(
        gobject, PROP_SCENE_SOURCE,
        g_param_spec_object("scene-source", "Scene source",
                            "The DV scene detector (vr_scenedetect) giving each frame's recording "
                            "date and timecode; when unset, the nearest one upstream in the "
                            "pipeline, whose frames are matched by time stamp",
                            GST_TYPE_ELEMENT, rw));
    g_object_class_install_property(
        gobject, PROP_INTERVAL_ON,
        g_param_spec_boolean("interval-on", "Intervalometer running",
                             "Snapshots are taken at the interval given to start-intervalometer",
                             FALSE, ro));
    lastTextSpec = g_param_spec_string(
        "last-text", "Last text",
        "The text last drawn, line 1 and line 2 separated by a line feed (notified when it "
        "changes; gst-launch-1.0 -v prints it)",
        nullptr, ro);
    g_object_class_install_property(gobject, PROP_LAST_TEXT, lastTextSpec);
    g_object_class_install_property(
        gobject, PROP_INCRUST_REC,
        g_param_spec_boxed("incrust-rec", "Inlay record",
                           "All the fields of the text at once (what-incrust to ypos), applied "
                           "together: the text is laid out once rather than once per field",
                           VR_TYPE_INCRUST_REC, rw));
    installRecordProperties(gobject, rw, initialRecord(klass->programDefaults));

    const GType type = G_TYPE_FROM_CLASS(klass);
    const auto action = GSignalFlags(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION);
    g_signal_new_class_handler("grab-image", type, action, G_CALLBACK(grabImageAction), nullptr,
                               nullptr, nullptr, G_TYPE_NONE, 0);
    g_signal_new_class_handler("start-intervalometer", type, action,
                               G_CALLBACK(startIntervalometerAction), nullptr, nullptr, nullptr,
                               G_TYPE_NONE, 1, G_TYPE_UINT);
    g_signal_new_class_handler("stop-intervalometer", type, action,
                               G_CALLBACK(stopIntervalometerAction), nullptr, nullptr, nullptr,
                               G_TYPE_NONE, 0);
    g_signal_new_class_handler("release-slot", type, action, G_CALLBACK(releaseSlotAction), nullptr,
                               nullptr, nullptr, G_TYPE_NONE, 1, G_TYPE_INT);

    gst_element_class_set_static_metadata(
        element, "Ardoval vr_Superposer", "Filter/Effect/Video",
        "Draws the system date and time, a DV tape's recording date or timecode, or a text "
        "into the picture; mirrors it; takes snapshots",
        "Vidorra");
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);

    trans->start = superposerStart;
    trans->stop = superposerStop;
    trans->set_caps = superposerSetCaps;
    trans->transform_ip = superposerTransformIp;
    trans->before_transform = superposerBeforeTransform;
    trans->transform_ip_on_passthrough = TRUE;
    trans->passthrough_on_same_caps = FALSE;
}

static void tvr_superposer_init(Tvr_Superposer* s) {
    auto* klass = reinterpret_cast<Tvr_SuperposerClass*>(G_OBJECT_GET_CLASS(s));
    s->core = new SuperposerCore;
    if (!klass->programDefaults) {
        s->core->SetIncrustRec(initialRecord(false));
        s->core->SetIncrustActive(true);
    }
    gst_video_info_init(&s->info);
    s->toBgr = nullptr;
    s->restart = TRUE;
    s->sceneSource = nullptr;
    s->foundSource = nullptr;
    s->searchUpstream = TRUE;
    s->warnedShort = FALSE;
    s->lastText = nullptr;
    s->lastLinesVersion = 0;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(s), TRUE);
}
