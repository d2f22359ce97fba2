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
struct VrIncrustRec;
GType vr_dv_frame_info_get_type();
GType vr_incrust_rec_get_type();

namespace vr_ref {
// clang-format off
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
inline void release(GstPadTemplate* p) { gst_object_unref(p); }
inline void release(GstBus* p) { gst_object_unref(p); }
inline void release(GstClock* p) { gst_object_unref(p); }
inline void release(GstElementFactory* p) { gst_object_unref(p); }
inline void release(GstPluginFeature* p) { gst_object_unref(p); }
inline void release(GstPlugin* p) { gst_object_unref(p); }
inline void release(GstDevice* p) { gst_object_unref(p); }
inline void release(GstDeviceMonitor* p) { gst_object_unref(p); }
inline void release(GstBufferPool* p) { gst_object_unref(p); }
inline void release(GstAllocator* p) { gst_object_unref(p); }
inline void release(TDVFrameInfo* p) { g_boxed_free(vr_dv_frame_info_get_type(), p); }
inline void release(VrIncrustRec* p) { g_boxed_free(vr_incrust_rec_get_type(), p); }
// clang-format on
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

// The floating ref of a new object that no bin takes (made, then left unused), held;
// GstObject kinds only.
template <class T> [[nodiscard]] TGstRef<T> GstRefSink(T* p) {
    if (p)
        gst_object_ref_sink(p);
    return TGstRef<T>(p);
}

// A GList of GStreamer objects with a ref on each (gst_element_factory_list_get_elements and
// _filter, gst_device_monitor_get_devices, a copy of an element's pads): the refs go with the
// list, as gst_plugin_feature_list_free does.
class TGstObjectList {
public:
    TGstObjectList() = default;
    explicit TGstObjectList(GList* list) : m_list(list) {}
    TGstObjectList(const TGstObjectList&) = delete;
    TGstObjectList& operator=(const TGstObjectList&) = delete;
    TGstObjectList(TGstObjectList&& other) noexcept : m_list(other.release()) {}
    TGstObjectList& operator=(TGstObjectList&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~TGstObjectList() { reset(); }

    GList* get() const { return m_list; }
    explicit operator bool() const { return m_list != nullptr; }
    [[nodiscard]] GList* release() { return std::exchange(m_list, nullptr); }
    void reset(GList* list = nullptr) {
        if (GList* old = std::exchange(m_list, list))
            g_list_free_full(old, gst_object_unref);
    }

private:
    GList* m_list = nullptr;
};
