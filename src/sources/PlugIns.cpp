#include "PlugIns.h"

#include "GstUtil.h"
#include "Log.h"
#include "PluginExaminer.h"
#include "PluginGuard.h"
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

// A library of the folder, loaded into the program under the crash marker; null (with a log
// line) when it does not load or was written for a newer interface.
void* Load(const QString& path) {
    void* module = nullptr;
    {
        const PluginGuard::Call mark(path, "chargement");
        module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!module) {
        const char* why = dlerror();
        qCInfo(lcVidorra) << "plug-in" << path << "not loaded:" << (why ? why : "?");
        return nullptr;
    }
    PluginGuard::RegisterModule(path, module);
    if (auto version = Export<int32_t (*)()>(module, "pi_apiversion")) {
        int32_t wanted = 0;
        try {
            const PluginGuard::Call mark(path, "pi_apiversion");
            wanted = version();
        } catch (...) {
            wanted = 0;
        }
        if (wanted > PVR_API_VERSION || wanted < 1) {
            qCInfo(lcVidorra) << "plug-in" << path << "is written for interface version" << wanted
                              << "; this program has" << PVR_API_VERSION;
            PluginGuard::UnregisterModule(module);
            dlclose(module);
            return nullptr;
        }
    }
    return module;
}

// The name the plug-in writes; throws what the plug-in throws.
QString CallName(const QString& path, void* module, const char* exportName) {
    auto call = Export<void (*)(char*, int32_t)>(module, exportName);
    if (!call)
        return {};
    std::vector<char> buffer(PVR_NAME_BUFFER_SIZE, '\0');
    const PluginGuard::Call mark(path, exportName);
    call(buffer.data(), int32_t(buffer.size()));
    return PluginName(buffer.data(), buffer.size());
}

// Whether candidate is an element of bin (or of a bin inside it). Only its address is
// compared: what a plug-in reports is never dereferenced before it is found there.
bool ElementInBin(GstBin* bin, const void* candidate) {
    if (!bin || !candidate)
        return false;
    bool found = false;
    const TGstRef<GstIterator> it(gst_bin_iterate_recurse(bin));
    GValue item = G_VALUE_INIT;
    while (!found) {
        const GstIteratorResult r = gst_iterator_next(it.get(), &item);
        if (r == GST_ITERATOR_RESYNC) {
            gst_iterator_resync(it.get());
            continue;
        }
        if (r != GST_ITERATOR_OK)
            break;
        found = g_value_get_object(&item) == candidate;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return found;
}

// Whether candidate is a source pad of an element of bin, found the same way.
bool SrcPadInBin(GstBin* bin, const void* candidate) {
    if (!bin || !candidate)
        return false;
    bool found = false;
    const TGstRef<GstIterator> elements(gst_bin_iterate_recurse(bin));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(elements.get(), &item) == GST_ITERATOR_OK) {
        {
            const TGstRef<GstIterator> pads(
                gst_element_iterate_src_pads(GST_ELEMENT(g_value_get_object(&item))));
            GValue pad = G_VALUE_INIT;
            while (!found && gst_iterator_next(pads.get(), &pad) == GST_ITERATOR_OK) {
                found = g_value_get_object(&pad) == candidate;
                g_value_reset(&pad);
            }
            g_value_unset(&pad);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
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

std::vector<GstElement*> PluginBinChildren(GstBin* bin) {
    std::vector<GstElement*> out;
    GST_OBJECT_LOCK(bin);
    for (GList* l = bin->children; l; l = l->next)
        out.push_back(GST_ELEMENT(l->data));
    GST_OBJECT_UNLOCK(bin);
    return out;
}

// ------------------------------------------------------------------ the list

void TpluginList::Discover(const QString& folder) {
    m_items.clear();
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.pvr")},
                          QDir::Files | QDir::Hidden | QDir::System | QDir::Readable, QDir::Name);
    QStringList paths;
    for (const QFileInfo& file : files)
        paths << file.absoluteFilePath();
    for (const TPluginExamination& e : ExaminePlugins(paths)) {
        auto data = std::make_shared<TpluginData>();
        data->path = e.path;
        data->driverName = e.usable ? e.driverName : QString();
        data->refused = !e.usable;
        data->reason = e.refusal;
        if (e.usable) {
            data->reason = PluginGuard::SetAsideReason(e.path);
            data->setAside = !data->reason.isEmpty();
        }
        data->enabled = data->serves();
        const QString file = QFileInfo(e.path).fileName();
        if (data->refused && e.fresh) {
            const QString notice =
                QStringLiteral("Le module %1 n'a pas été retenu : %2.").arg(file, e.refusal);
            addUserNotice(notice);
            qCWarning(lcVidorra).noquote() << notice;
        }
        qCInfo(lcVidorra) << "plug-in" << data->driverName << "in" << file
                          << (data->serves() ? "" : "not used:") << data->reason;
        m_items.push_back(std::move(data));
    }
}

void TpluginList::Enable(const QString& path) {
    PluginGuard::Enable(path);
    ForgetExamination(path);
}

int TpluginList::IndexOf(const QString& deviceName) const {
    const QString name = PluginNameKey(deviceName);
    for (size_t i = 0; i < m_items.size(); ++i)
        if (!m_items[i]->refused && !m_items[i]->setAside && !m_items[i]->driverName.isEmpty() &&
            m_items[i]->driverName == name)
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
    registerDevice(this, true);
    Moniker = moniker;
    FriendlyName = moniker.friendlyName;
    Index = index;
    DisplayName = TCaptureDevice::MakeDisplayName(moniker.friendlyName, index);
    m_module = Load(m_plugin->path);
    if (!m_module)
        return;
    // The library on disk may have changed since the folder was searched.
    QString declared;
    if (!guarded("pi_drivername",
                 [&] { declared = CallName(m_plugin->path, m_module, "pi_drivername"); }))
        return;
    if (declared != PluginNameKey(moniker.friendlyName)) {
        qCInfo(lcVidorra) << "plug-in" << m_plugin->path << "no longer serves"
                          << moniker.friendlyName;
        return;
    }
    QString friendly;
    if (!guarded("pi_friendlyname",
                 [&] { friendly = CallName(m_plugin->path, m_module, "pi_friendlyname"); }))
        return;
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
    if (api.create && !guarded("pi_create", [&] { api.create(&m_instance); }))
        m_instance = 0; // whatever it stored: nothing of it is used again
    if (!m_instance) {
        qCInfo(lcVidorra) << "plug-in" << m_plugin->path << "made no instance for"
                          << moniker.friendlyName;
        return;
    }
    // The source element is asked for again once it is in the pipeline; what the plug-in
    // says now is not used.
    GstElement* notYet = nullptr;
    int32_t videos = 0, audios = 0;
    if ((api.sourceFilter &&
         !guarded("pi_sourcefilter", [&] { api.sourceFilter(&m_instance, &notYet); })) ||
        (api.videoCount &&
         !guarded("pi_nbfluxvideo", [&] { api.videoCount(&m_instance, &videos); })) ||
        (api.audioCount &&
         !guarded("pi_nbfluxaudio", [&] { api.audioCount(&m_instance, &audios); })))
        return;
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
            guarded("pi_destroy", [&] { m_api->destroy(&m_instance); });
    }
    registerDevice(this, false);
    SetOwnedPad(m_videoPin, nullptr);
    SetOwnedPad(m_audioPin, nullptr);
    m_elements.clear();
    // The code of an abandoned plug-in may still run in its threads: it stays loaded.
    if (m_module && !m_abandoned) {
        PluginGuard::UnregisterModule(m_module);
        dlclose(m_module);
    }
}

void TPlugInCaptureDevice::markBroken(const char* what, const char* given) {
    qCWarning(lcVidorra) << "plug-in" << m_plugin->path << "reported" << what
                         << "that the program cannot use: its device is dropped";
    m_plugin->broken = true;
    m_plugin->enabled = false;
    if (m_plugin->reason.isEmpty())
        m_plugin->reason = QStringLiteral("a donné au programme ") + QString::fromUtf8(given);
    Valid = false;
}

template <typename F> bool TPlugInCaptureDevice::guarded(const char* call, F&& work) {
    // An abandoned plug-in is never called again.
    if (m_abandoned)
        return false;
    try {
        const PluginGuard::Call mark(m_plugin->path, call);
        work();
        return true;
    } catch (...) {
    }
    const QString what = PluginGuard::CallText(QString::fromLatin1(call));
    putOutOfUse(QStringLiteral("a levé une exception pendant ") + what,
                m_plugin->broken ? QString()
                                 : QStringLiteral("Le module %1 a levé une exception pendant %2 ; "
                                                  "il a été désactivé jusqu'au prochain démarrage.")
                                       .arg(PluginFile(), what));
    return false;
}

template <typename F> bool TPlugInCaptureDevice::tracked(const char* call, GstBin* bin, F&& work) {
    const std::vector<GstElement*> before =
        bin ? PluginBinChildren(bin) : std::vector<GstElement*>{};
    const bool returned = guarded(call, std::forward<F>(work));
    if (!bin)
        return returned;
    const std::vector<GstElement*> after = PluginBinChildren(bin);
    for (GstElement* e : after)
        if (std::find(before.begin(), before.end(), e) == before.end() &&
            std::none_of(m_elements.begin(), m_elements.end(),
                         [e](const TGstRef<GstElement>& held) { return held.get() == e; }))
            m_elements.push_back(GstRefAdd(e));
    // What it took out again is no longer its in the pipeline.
    std::erase_if(m_elements, [&](const TGstRef<GstElement>& held) {
        return std::find(after.begin(), after.end(), held.get()) == after.end();
    });
    return returned;
}

GstElement* TPlugInCaptureDevice::SetSourceGraph(TGraphContext& g) {
    if (!Valid || !m_api->setSource)
        return nullptr;
    m_bin = g.pipeline();
    int32_t result = 0;
    const bool returned =
        tracked("pi_setsourcegraph", m_bin, [&] { m_api->setSource(&m_instance, &result, m_bin); });
    if (!m_sourceIn) {
        m_sourceIn = true;
        PluginGuard::SetRunning(m_plugin->path, true);
    }
    if (!returned || !result)
        return nullptr;
    GstElement* source = nullptr;
    if (m_api->sourceFilter &&
        !guarded("pi_sourcefilter", [&] { m_api->sourceFilter(&m_instance, &source); }))
        return nullptr;
    if (!source)
        return nullptr;
    if (!ElementInBin(m_bin, source)) {
        markBroken("a source element outside the pipeline",
                   "un élément source hors du graphe de capture");
        return nullptr;
    }
    return source;
}

void TPlugInCaptureDevice::KillSourceGraph(TGraphContext& g) {
    if (m_muxing)
        KillMuxGraph(g);
    if (m_sourceIn && m_api->killSource)
        tracked("pi_killsourcegraph", m_bin ? m_bin : g.pipeline(),
                [&] { m_api->killSource(&m_instance, m_bin ? m_bin : g.pipeline()); });
    if (m_sourceIn)
        PluginGuard::SetRunning(m_plugin->path, false);
    // What it added and did not take out again leaves with its source.
    removeLeftovers();
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
    if (!tracked("pi_setvideograph", bin, [&] {
            m_api->setVideo(&m_instance, stream, &pin, bin, &flipped, &tee, &formatA, &formatB);
        }))
        return false;
    if (pin && !SrcPadInBin(bin, pin)) {
        markBroken("a picture pad outside the pipeline",
                   "une sortie d'image hors du graphe de capture");
        return false;
    }
    if (tee && !UsableTee(bin, tee)) {
        markBroken("a branch element that is not a tee of the pipeline",
                   "un élément de branche d'image qui n'est pas un « tee » du graphe de capture");
        return false;
    }
    if (!pin)
        return false;
    if (gst_pad_is_linked(pin)) {
        markBroken("a picture pad already linked", "une sortie d'image déjà reliée");
        return false;
    }
    GuardOutputPad(pin);
    watchPad(pin, true);
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
    GstPad* pin = m_videoPin.get();
    if (m_api->killVideo)
        tracked("pi_killvideograph", m_bin ? m_bin : g.pipeline(),
                [&] { m_api->killVideo(&m_instance, &pin, m_bin ? m_bin : g.pipeline()); });
    SetOwnedPad(m_videoPin, nullptr);
    m_videoTee = nullptr;
}

bool TPlugInCaptureDevice::SetAudioGraph(TGraphContext& g, int stream) {
    if (!Valid || stream < 1 || stream > AudioStreamCount || !m_api->setAudio)
        return false;
    GstBin* bin = m_bin ? m_bin : g.pipeline();
    GstPad* pin = nullptr;
    GstElement* tee = nullptr;
    if (!tracked("pi_setaudiograph", bin,
                 [&] { m_api->setAudio(&m_instance, stream, &pin, bin, &tee); }))
        return false;
    if (pin && !SrcPadInBin(bin, pin)) {
        markBroken("a sound pad outside the pipeline",
                   "une sortie de son hors du graphe de capture");
        return false;
    }
    if (tee && !UsableTee(bin, tee)) {
        markBroken("a sound branch element that is not a tee of the pipeline",
                   "un élément de branche de son qui n'est pas un « tee » du graphe de capture");
        return false;
    }
    if (!pin)
        return false;
    if (gst_pad_is_linked(pin)) {
        markBroken("a sound pad already linked", "une sortie de son déjà reliée");
        return false;
    }
    GuardOutputPad(pin);
    watchPad(pin, false);
    SetOwnedPad(m_audioPin, pin);
    m_audioTee = tee;
    SetOwnedPad(g.audioPin, pin);
    g.audioBranchTee = tee;
    return true;
}

bool TPlugInCaptureDevice::KillAudioGraph(TGraphContext& g) {
    if (m_audioPin && g.audioPin.get() == m_audioPin.get()) {
        SetOwnedPad(g.audioPin, nullptr);
        if (g.audioBranchTee == m_audioTee)
            g.audioBranchTee = nullptr;
    }
    if (!m_audioPin && !m_audioTee)
        return true;
    GstPad* pin = m_audioPin.get();
    if (m_api->killAudio)
        tracked("pi_killaudiograph", m_bin ? m_bin : g.pipeline(),
                [&] { m_api->killAudio(&m_instance, &pin, m_bin ? m_bin : g.pipeline()); });
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
    const QByteArray name = fileName.toUtf8();
    m_muxing = true;
    return tracked("pi_buildmuxgraph", m_bin ? m_bin : g.pipeline(), [&] {
        m_api->buildMux(&m_instance, m_bin ? m_bin : g.pipeline(), name.constData());
    });
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
        tracked("pi_killmuxgraph", m_bin, [&] { m_api->killMux(&m_instance, m_bin); });
}
