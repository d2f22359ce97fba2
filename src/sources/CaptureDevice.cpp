#include "CaptureDevice.h"

#include "DeviceKinds.h"
#include "DvFile.h"
#include "DvTransport.h"
#include "GstUtil.h"
#include "Log.h"
#include "PlugIns.h"

#include <cstring>

TDeviceDescriptor::TDeviceDescriptor(const TDeviceDescriptor& o)
    : id(o.id), friendlyName(o.friendlyName), caps(o.caps ? gst_caps_ref(o.caps) : nullptr),
      createSource(o.createSource), transport(o.transport), v4l2Path(o.v4l2Path),
      alsaCard(o.alsaCard), preparing(o.preparing) {}

TDeviceDescriptor& TDeviceDescriptor::operator=(const TDeviceDescriptor& o) {
    if (this == &o)
        return *this;
    gst_caps_replace(&caps, o.caps);
    id = o.id;
    friendlyName = o.friendlyName;
    createSource = o.createSource;
    transport = o.transport;
    v4l2Path = o.v4l2Path;
    alsaCard = o.alsaCard;
    preparing = o.preparing;
    return *this;
}

TDeviceDescriptor::~TDeviceDescriptor() {
    if (caps)
        gst_caps_unref(caps);
}

TDeviceKind ClassifyCaps(const GstCaps* caps) {
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps))
        return dkNone;
    // Tested in the order of the pin rules: interleaved DV first, then video, then audio.
    bool video = false, audio = false;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        const char* name = gst_structure_get_name(s);
        gboolean system = FALSE;
        const bool hasSystem = gst_structure_get_boolean(s, "systemstream", &system);
        if (!std::strcmp(name, "video/x-dv")) {
            if (hasSystem && system)
                return dkDV;
            video = true;
        } else if (!std::strcmp(name, "video/mpegts") ||
                   (!std::strcmp(name, "video/mpeg") && hasSystem && system)) {
            // Multiplexed streams (hardware MPEG encoders) are not listed.
        } else if (g_str_has_prefix(name, "video/") || !std::strcmp(name, "image/jpeg")) {
            // Motion-JPEG webcams deliver image/jpeg frames: a video stream all the same.
            video = true;
        } else if (g_str_has_prefix(name, "audio/")) {
            audio = true;
        }
    }
    if (video)
        return dkVideo;
    if (audio)
        return dkAudio;
    return dkNone;
}

TCaptureDevice::~TCaptureDevice() {
    srcgst::RemoveFromBin(m_sceneDetector.get());
}

QString TCaptureDevice::MakeDisplayName(const QString& text, int index) {
    return index >= 2 ? text + QStringLiteral(" #") + QString::number(index) : text;
}

std::unique_ptr<TCaptureDevice> CreateCaptureDevice(const TDeviceDescriptor& moniker, int index) {
    if (!moniker.createSource)
        return nullptr;
    const TDeviceKind kind = ClassifyCaps(moniker.caps);
    std::unique_ptr<TCaptureDevice> device;
    QString text = moniker.friendlyName;
    switch (kind) {
    case dkDV:
        device = std::make_unique<TDVCaptureDevice>();
        // A DV file is listed by its own name, apart from the camcorders and their numbers.
        if (!moniker.id.startsWith(kDvFileDeviceId))
            text = QStringLiteral("DV Source");
        device->VideoStreamCount = 1;
        device->AudioStreamCount = 1;
        device->NativeFormat1 = 1; // "dv type 1 natif"
        device->NativeFormat2 = 2; // "dv type 2 natif"
        break;
    case dkVideo:
        device = std::make_unique<TVideoCaptureDevice>();
        // Video devices of this platform expose their sound as a separate audio device.
        device->VideoStreamCount = 1;
        device->AudioStreamCount = 0;
        device->NativeFormat1 = 5; // "avi natif"
        break;
    case dkAudio:
        device = std::make_unique<TAudioCaptureDevice>();
        device->VideoStreamCount = 0;
        device->AudioStreamCount = 1;
        break;
    default:
        qCInfo(lcVidorra) << "device" << moniker.friendlyName << "not listed, caps"
                          << srcgst::CapsText(moniker.caps);
        return nullptr;
    }
    device->Moniker = moniker;
    device->FriendlyName = moniker.friendlyName;
    // There is one DV file at a time; the one chosen before may still be listed meanwhile.
    device->Index = moniker.id.startsWith(kDvFileDeviceId) ? 1 : index;
    device->DisplayName = TCaptureDevice::MakeDisplayName(text, device->Index);
    device->Kind = kind;
    device->Valid = true;
    return device;
}

bool TCaptureDeviceList::Refresh(IDeviceEnumerator& enumerator,
                                 const std::function<void(TCaptureDevice*)>& onRemoved) {
    try {
        for (auto& d : m_devices)
            d->Seen = false;
        const std::vector<TDeviceDescriptor> found = enumerator.enumerate(m_category);
        for (const TDeviceDescriptor& desc : found) {
            const int pos = FindByMoniker(desc.id);
            if (pos >= 0) {
                TCaptureDevice* d = m_devices[pos].get();
                d->Seen = d->Valid; // a plug-in's device that turned out broken goes
                // A device out of the pipeline takes the newest way to open it.
                if (!d->SourceFilter && desc.createSource)
                    d->Moniker.createSource = desc.createSource;
                continue;
            }
            auto device = create(desc);
            if (device && device->Valid) {
                device->Seen = true;
                m_devices.push_back(std::move(device));
            }
        }
        for (int i = int(m_devices.size()) - 1; i >= 0; --i) {
            if (m_devices[i]->Seen)
                continue;
            if (onRemoved)
                onRemoved(m_devices[i].get());
            m_devices.erase(m_devices.begin() + i);
        }
        return true;
    } catch (...) {
        return false;
    }
}

// A device a plug-in declares is the plug-in's: when it cannot be created the plug-in is
// marked not enabled and the device is not listed at all.
std::unique_ptr<TCaptureDevice> TCaptureDeviceList::create(const TDeviceDescriptor& desc) {
    const int plugin = m_plugins ? m_plugins->IndexOf(desc.friendlyName) : -1;
    if (plugin < 0)
        return CreateCaptureDevice(desc, NextIndex(desc.friendlyName));
    std::shared_ptr<TpluginData> data = m_plugins->Share(plugin);
    if (data->broken)
        return nullptr;
    auto device = std::make_unique<TPlugInCaptureDevice>(data, desc, NextIndex(desc.friendlyName));
    if (!device->Valid) {
        data->enabled = false;
        return nullptr;
    }
    return device;
}

void TCaptureDeviceList::Clear(const std::function<void(TCaptureDevice*)>& onRemoved) {
    while (!m_devices.empty()) {
        if (onRemoved)
            onRemoved(m_devices.back().get());
        m_devices.pop_back();
    }
}

int TCaptureDeviceList::NextIndex(const QString& friendlyName) const {
    for (int i = 1;; ++i) {
        bool used = false;
        for (const auto& d : m_devices)
            used = used || (d->FriendlyName == friendlyName && d->Index == i);
        if (!used)
            return i;
    }
}

int TCaptureDeviceList::FindByMoniker(const QString& id) const {
    for (size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i]->Moniker.id == id)
            return int(i);
    return -1;
}

TCaptureDevice* TCaptureDeviceList::Get(int position) const {
    if (position < 0 || position >= int(m_devices.size()))
        return nullptr;
    return m_devices[position].get();
}
