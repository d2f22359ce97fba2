#pragma once

// One owned GStreamer or GLib reference, released when its holder goes: the references
// the code takes (gst_element_factory_make's floating result excepted, which a bin takes)
// are held here rather than released by hand on every way out of a function.
//
//   TGstRef<GstCaps> caps(gst_caps_from_string("video/x-raw"));
//   TGstRef<GstPad> pad(gst_element_get_static_pad(element, "sink"));
//   g_object_set(filter, "caps", caps.get(), nullptr);
//
// Only the types named below can be held: a type without its own release does not compile,
// so a mini object is never released as a GObject.

#include <gst/gst.h>

#include <utility>

// The program's own boxed records, as g_object_get gives them (vr_scenedetect's
// "current-frame", vr_superposer's "incrust-rec").
struct TDVFrameInfo;
struct TincrustRec;
GType vr_dv_frame_info_get_type();
GType vr_incrust_rec_get_type();

namespace vr_ref {
inline void release(GstCaps* p) { gst_caps_unref(p); }
inline void release(GstBuffer* p) { gst_buffer_unref(p); }
inline void release(GstBufferList* p) { gst_buffer_list_unref(p); }
inline void release(GstEvent* p) { gst_event_unref(p); }
inline void release(GstMessage* p) { gst_message_unref(p); }
inline void release(GstQuery* p) { gst_query_unref(p); }
inline void release(GstSample* p) { gst_sample_unref(p); }
inline void release(GstTagList* p) { gst_tag_list_unref(p); }
inline void release(GstStructure* p) { gst_structure_free(p); }
inline void release(GstIterator* p) { gst_iterator_free(p); }
inline void release(GError* p) { g_error_free(p); }
inline void release(gchar* p) { g_free(p); }
inline void release(GstObject* p) { gst_object_unref(p); }
inline void release(GstElement* p) { gst_object_unref(p); }
inline void release(GstBin* p) { gst_object_unref(p); }
inline void release(GstPipeline* p) { gst_object_unref(p); }
inline void release(GstPad* p) { gst_object_unref(p); }
inline void release(GstBus* p) { gst_object_unref(p); }
inline void release(GstClock* p) { gst_object_unref(p); }
inline void release(GstElementFactory* p) { gst_object_unref(p); }
inline void release(GstPluginFeature* p) { gst_object_unref(p); }
inline void release(GstPlugin* p) { gst_object_unref(p); }
inline void release(GstDevice* p) { gst_object_unref(p); }
inline void release(GstDeviceMonitor* p) { gst_object_unref(p); }
inline void release(GstBufferPool* p) { gst_object_unref(p); }
inline void release(GstAllocator* p) { gst_object_unref(p); }
inline void release(TDVFrameInfo* p) {
    g_boxed_free(vr_dv_frame_info_get_type(), p);
}
inline void release(TincrustRec* p) {
    g_boxed_free(vr_incrust_rec_get_type(), p);
}
} // namespace vr_ref

template <class T> class TGstRef {
public:
    TGstRef() = default;
    // Takes the reference p carries (nullptr holds nothing).
    explicit TGstRef(T* p) : m_p(p) {}
    TGstRef(const TGstRef&) = delete;
    TGstRef& operator=(const TGstRef&) = delete;
    TGstRef(TGstRef&& other) noexcept : m_p(other.release()) {}
    TGstRef& operator=(TGstRef&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~TGstRef() { reset(); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // Gives the reference away (to a function that takes it).
    [[nodiscard]] T* release() { return std::exchange(m_p, nullptr); }
    void reset(T* p = nullptr) {
        if (T* old = std::exchange(m_p, p))
            vr_ref::release(old);
    }

private:
    T* m_p = nullptr;
};

// A second reference to p, held (for a borrowed object that must outlive its source);
// GstObject kinds only.
template <class T> TGstRef<T> GstRefAdd(T* p) {
    if (p)
        gst_object_ref(p);
    return TGstRef<T>(p);
}
