#include "PlugIns.h"

#include "GstUtil.h"
#include "Log.h"
#include "vidorra/pvr.h"

#include <QDir>
#include <cstring>
#include <dlfcn.h>

using namespace srcgst;

static_assert(kPluginNameMax == PVR_NAME_MAX);

namespace {

template <typename F> F Export(void* module, const char* name) {
    return reinterpret_cast<F>(dlsym(module, name));
}

// A library of the folder, loaded; null (with a log line) when it does not load or was written
// for a newer interface.
void* Load(const QString& path) {
    void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        qCInfo(lcVidorra) << "plug-in" << path << "not loaded:" << (why ? why : "?");
        return nullptr;
    }
    if (auto version = Export<int32_t (*)()>(module, "pi_apiversion")) {
        const int32_t wanted = version();
        if (wanted > PVR_API_VERSION || wanted < 1) {
            qCInfo(lcVidorra) << "plug-in" << path << "is written for interface version" << wanted
                              << "; this program has" << PVR_API_VERSION;
            dlclose(module);
            return nullptr;
        }
    }
    return module;
}

QString CallName(void* module, const char* exportName) {
    auto call = Export<void (*)(char*, int32_t)>(module, exportName);
    if (!call)
        return {};
    std::vector<char> buffer(PVR_NAME_BUFFER_SIZE, '\0');
    call(buffer.data(), int32_t(buffer.size()));
    return PluginName(buffer.data(), buffer.size());
}

// Whether candidate is an element of bin (or of a bin inside it). Only its address is
// compared: what a plug-in reports is never dereferenced before it is found there.
bool ElementInBin(GstBin* bin, const void* candidate) {
    if (!bin || !candidate)
        return false;
    bool found = false;
    GstIterator* it = gst_bin_iterate_recurse(bin);
    GValue item = G_VALUE_INIT;
    while (!found) {
        const GstIteratorResult r = gst_iterator_next(it, &item);
        if (r == GST_ITERATOR_RESYNC) {
            gst_iterator_resync(it);
            continue;
        }
        if (r != GST_ITERATOR_OK)
            break;
        found = g_value_get_object(&item) == candidate;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

// Whether candidate is a source pad of an element of bin, found the same way.
bool SrcPadInBin(GstBin* bin, const void* candidate) {
    if (!bin || !candidate)
        return false;
    bool found = false;
    GstIterator* elements = gst_bin_iterate_recurse(bin);
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        GstIterator* pads = gst_element_iterate_src_pads(GST_ELEMENT(g_value_get_object(&item)));
        GValue pad = G_VALUE_INIT;
        while (!found && gst_iterator_next(pads, &pad) == GST_ITERATOR_OK) {
            found = g_value_get_object(&pad) == candidate;
            g_value_reset(&pad);
        }
        g_value_unset(&pad);
        gst_iterator_free(pads);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    return found;
}

// A tee the recordings can take request pads "src_%u" from.
bool UsableTee(GstBin* bin, GstElement* tee) {
    if (!ElementInBin(bin, tee))
        return false;
    GstPadTemplate* t = gst_element_get_pad_template(tee, "src_%u");
    return t && GST_PAD_TEMPLATE_PRESENCE(t) == GST_PAD_REQUEST &&
           GST_PAD_TEMPLATE_DIRECTION(t) == GST_PAD_SRC;
}

// A native capture format a plug-in may offer; other values offer nothing.
uint8_t NativeFormat(uint8_t value) {
    return value >= PVR_FORMAT_DV_TYPE1 && value <= PVR_FORMAT_AVI ? value : 0;
}

} // namespace

// ------------------------------------------------------------------ the list

void TpluginList::Discover(const QString& folder) {
    m_items.clear();
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.pvr")},
                          QDir::Files | QDir::Hidden | QDir::System | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        void* module = Load(file.absoluteFilePath());
        if (!module)
            continue;
        auto data = std::make_shared<TpluginData>();
        data->driverName = CallName(module, "pi_drivername");
        data->path = file.absoluteFilePath();
        dlclose(module);
        qCInfo(lcVidorra) << "plug-in" << data->driverName << "in" << file.fileName();
        m_items.push_back(std::move(data));
    }
}

int TpluginList::IndexOf(const QString& deviceName) const {
    const QString name = PluginNameKey(deviceName);
    for (size_t i = 0; i < m_items.size(); ++i)
        if (!m_items[i]->driverName.isEmpty() && m_items[i]->driverName == name)
            return int(i);
    return -1;
}

// ------------------------------------------------------------------ the device

struct TPlugInCaptureDevice::Exports {
    decltype(&pi_create) create = nullptr;
    decltype(&pi_destroy) destroy = nullptr;
    decltype(&pi_sourcefilter) sourceFilter = nullptr;
    decltype(&pi_nbfluxvideo) videoCount = nullptr;
    decltype(&pi_nbfluxaudio) audioCount = nullptr;
    decltype(&pi_setsourcegraph) setSource = nullptr;
    decltype(&pi_killsourcegraph) killSource = nullptr;
    decltype(&pi_setvideograph) setVideo = nullptr;
    decltype(&pi_killvideograph) killVideo = nullptr;
    decltype(&pi_setaudiograph) setAudio = nullptr;
    decltype(&pi_killaudiograph) killAudio = nullptr;
    decltype(&pi_buildmuxgraph) buildMux = nullptr;
    decltype(&pi_killmuxgraph) killMux = nullptr;
};

TPlugInCaptureDevice::TPlugInCaptureDevice(std::shared_ptr<TpluginData> plugin,
                                           const TDeviceDescriptor& moniker, int index)
    : m_plugin(std::move(plugin)), m_api(std::make_unique<Exports>()) {
    Moniker = moniker;
    FriendlyName = moniker.friendlyName;
    Index = index;
    DisplayName = TCaptureDevice::MakeDisplayName(moniker.friendlyName, index);
    m_module = Load(m_plugin->path);
    if (!m_module)
        return;
    // The library on disk may have changed since the folder was searched.
    if (CallName(m_module, "pi_drivername") != PluginNameKey(moniker.friendlyName)) {
        qCInfo(lcVidorra) << "plug-in" << m_plugin->path << "no longer serves"
                          << moniker.friendlyName;
        return;
    }
    const QString friendly = CallName(m_module, "pi_friendlyname");
    if (!friendly.isEmpty())
        DisplayName = TCaptureDevice::MakeDisplayName(friendly, index);
    Exports& api = *m_api;
    api.create = Export<decltype(api.create)>(m_module, "pi_create");
    api.destroy = Export<decltype(api.destroy)>(m_module, "pi_destroy");
    api.sourceFilter = Export<decltype(api.sourceFilter)>(m_module, "pi_sourcefilter");
    api.videoCount = Export<decltype(api.videoCount)>(m_module, "pi_nbfluxvideo");
    api.audioCount = Export<decltype(api.audioCount)>(m_module, "pi_nbfluxaudio");
    api.setSource = Export<decltype(api.setSource)>(m_module, "pi_setsourcegraph");
    api.killSource = Export<decltype(api.killSource)>(m_module, "pi_killsourcegraph");
    api.setVideo = Export<decltype(api.setVideo)>(m_module, "pi_setvideograph");
    api.killVideo = Export<decltype(api.killVideo)>(m_module, "pi_killvideograph");
    api.setAudio = Export<decltype(api.setAudio)>(m_module, "pi_setaudiograph");
    api.killAudio = Export<decltype(api.killAudio)>(m_module, "pi_killaudiograph");
    api.buildMux = Export<decltype(api.buildMux)>(m_module, "pi_buildmuxgraph");
    api.killMux = Export<decltype(api.killMux)>(m_module, "pi_killmuxgraph");
    if (api.create)
        api.create(&m_instance);
    if (!m_instance) {
        qCInfo(lcVidorra) << "plug-in" << m_plugin->path << "made no instance for"
                          << moniker.friendlyName;
        return;
    }
    // The source element is asked for again once it is in the pipeline; what the plug-in
    // says now is not used.
    if (api.sourceFilter) {
        GstElement* notYet = nullptr;
        api.sourceFilter(&m_instance, &notYet);
    }
    int32_t videos = 0, audios = 0;
    if (api.videoCount)
        api.videoCount(&m_instance, &videos);
    if (api.audioCount)
        api.audioCount(&m_instance, &audios);
    // A device offers a handful of streams; anything else is not a count.
    VideoStreamCount = std::clamp<int32_t>(videos, 0, 16);
    AudioStreamCount = std::clamp<int32_t>(audios, 0, 16);
    Kind = dkPlugIn;
    Valid = true;
}

TPlugInCaptureDevice::~TPlugInCaptureDevice() {
    if (m_module && m_instance) {
        // A file being written is finished first (the program takes the branches and the
        // source out before it lets a device go).
        endMux();
        if (m_api->destroy)
            m_api->destroy(&m_instance);
    }
    SetOwnedPad(m_videoPin, nullptr);
    SetOwnedPad(m_audioPin, nullptr);
    if (m_module)
        dlclose(m_module);
}

void TPlugInCaptureDevice::markBroken(const char* what) {
    qCWarning(lcVidorra) << "plug-in" << m_plugin->path << "reported" << what
                         << "that the program cannot use: its device is dropped";
    m_plugin->broken = true;
    m_plugin->enabled = false;
    Valid = false;
}

GstElement* TPlugInCaptureDevice::SetSourceGraph(TGraphContext& g) {
    if (!Valid || !m_api->setSource)
        return nullptr;
    m_bin = g.pipeline();
    int32_t result = 0;
    m_api->setSource(&m_instance, &result, m_bin);
    m_sourceIn = true;
    if (!result)
        return nullptr;
    GstElement* source = nullptr;
    if (m_api->sourceFilter)
        m_api->sourceFilter(&m_instance, &source);
    if (!source)
        return nullptr;
    if (!ElementInBin(m_bin, source)) {
        markBroken("a source element outside the pipeline");
        return nullptr;
    }
    return source;
}

void TPlugInCaptureDevice::KillSourceGraph(TGraphContext& g) {
    if (m_muxing)
        KillMuxGraph(g);
    if (m_sourceIn && m_api->killSource)
        m_api->killSource(&m_instance, m_bin ? m_bin : g.pipeline());
    m_sourceIn = false;
    SourceFilter = nullptr;
    m_bin = nullptr;
}

bool TPlugInCaptureDevice::SetVideoGraph(TGraphContext& g, int stream) {
    if (!Valid || stream < 1 || stream > VideoStreamCount || !m_api->setVideo)
        return false;
    GstBin* bin = m_bin ? m_bin : g.pipeline();
    GstPad* pin = nullptr;
    GstElement* tee = nullptr;
    int flipped = 0;
    uint8_t formatA = 0, formatB = 0;
    m_api->setVideo(&m_instance, stream, &pin, bin, &flipped, &tee, &formatA, &formatB);
    if (pin && !SrcPadInBin(bin, pin)) {
        markBroken("a picture pad outside the pipeline");
        return false;
    }
    if (tee && !UsableTee(bin, tee)) {
        markBroken("a branch element that is not a tee of the pipeline");
        return false;
    }
    if (!pin)
        return false;
    if (gst_pad_is_linked(pin)) {
        markBroken("a picture pad already linked");
        return false;
    }
    GuardOutputPad(pin);
    SetOwnedPad(m_videoPin, pin);
    m_videoTee = tee;
    SetOwnedPad(g.videoOutputPad, pin);
    g.videoBranchTee = tee;
    g.sourceFlipped = flipped != 0;
    g.videoDevice = this;
    NativeFormat2 = NativeFormat(formatA);
    // A native format other than the device's own file needs the tee to record from.
    NativeFormat1 = NativeFormat(formatB);
    if (!tee && NativeFormat1 != PVR_FORMAT_DV_TYPE1)
        NativeFormat1 = 0;
    if (!tee)
        NativeFormat2 = 0;
    return true;
}

void TPlugInCaptureDevice::KillVideoGraph(TGraphContext& g) {
    if (g.videoDevice == this) {
        SetOwnedPad(g.videoOutputPad, nullptr);
        g.videoBranchTee = nullptr;
        g.sourceFlipped = false;
        g.videoDevice = nullptr;
    }
    if (!m_videoPin && !m_videoTee)
        return;
    GstPad* pin = m_videoPin;
    if (m_api->killVideo)
        m_api->killVideo(&m_instance, &pin, m_bin ? m_bin : g.pipeline());
    SetOwnedPad(m_videoPin, nullptr);
    m_videoTee = nullptr;
}

bool TPlugInCaptureDevice::SetAudioGraph(TGraphContext& g, int stream) {
    if (!Valid || stream < 1 || stream > AudioStreamCount || !m_api->setAudio)
        return false;
    GstBin* bin = m_bin ? m_bin : g.pipeline();
    GstPad* pin = nullptr;
    GstElement* tee = nullptr;
    m_api->setAudio(&m_instance, stream, &pin, bin, &tee);
    if (pin && !SrcPadInBin(bin, pin)) {
        markBroken("a sound pad outside the pipeline");
        return false;
    }
    if (tee && !UsableTee(bin, tee)) {
        markBroken("a sound branch element that is not a tee of the pipeline");
        return false;
    }
    if (!pin)
        return false;
    if (gst_pad_is_linked(pin)) {
        markBroken("a sound pad already linked");
        return false;
    }
    GuardOutputPad(pin);
    SetOwnedPad(m_audioPin, pin);
    m_audioTee = tee;
    SetOwnedPad(g.audioPin, pin);
    g.audioBranchTee = tee;
    return true;
}

bool TPlugInCaptureDevice::KillAudioGraph(TGraphContext& g) {
    if (m_audioPin && g.audioPin == m_audioPin) {
        SetOwnedPad(g.audioPin, nullptr);
        if (g.audioBranchTee == m_audioTee)
            g.audioBranchTee = nullptr;
    }
    if (!m_audioPin && !m_audioTee)
        return true;
    GstPad* pin = m_audioPin;
    if (m_api->killAudio)
        m_api->killAudio(&m_instance, &pin, m_bin ? m_bin : g.pipeline());
    SetOwnedPad(m_audioPin, nullptr);
    m_audioTee = nullptr;
    return true;
}

bool TPlugInCaptureDevice::BuildMuxGraph(TGraphContext& g, const QString& fileName) {
    if (!Valid || !m_api->buildMux)
        return false;
    if (m_muxing)
        KillMuxGraph(g);
    g.muxTee = nullptr;
    g.muxWriter.clear();
    m_api->buildMux(&m_instance, m_bin ? m_bin : g.pipeline(), fileName.toUtf8().constData());
    m_muxing = true;
    return true;
}

bool TPlugInCaptureDevice::KillMuxGraph(TGraphContext&) {
    endMux();
    return true;
}

void TPlugInCaptureDevice::endMux() {
    if (!m_muxing)
        return;
    m_muxing = false;
    if (m_api->killMux && m_bin)
        m_api->killMux(&m_instance, m_bin);
}
