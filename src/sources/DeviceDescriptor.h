#pragma once

#include <QString>
#include <functional>
#include <gst/gst.h>
#include <memory>

class IDvTransport;

// A device as the system (or the program itself, for the virtual devices) offers it: its
// stable identity, its name, what it delivers, and how to make its source element.
struct TDeviceDescriptor {
    QString id;              // identity that survives restarts and re-plugging
    QString friendlyName;    // name shown and used by the exclusion lists
    GstCaps* caps = nullptr; // what the source delivers (owned ref; may be null)
    // Makes a new source element (floating ref); null when the device cannot be opened.
    std::function<GstElement*()> createSource;
    // Tape transport of DV camcorders and decks (real over FireWire, or the virtual deck).
    std::shared_ptr<IDvTransport> transport;
    // Hardware paths for the settings menus, when the device has them: the V4L2 device node
    // (controls) and the ALSA card ("hw:N", capture inputs of the mixer).
    QString v4l2Path;
    QString alsaCard;
    // True while what the device plays is still being made (a virtual device's clip): it
    // delivers nothing yet, so a recording waits for it.
    std::function<bool()> preparing;

    TDeviceDescriptor() = default;
    TDeviceDescriptor(const TDeviceDescriptor& o);
    TDeviceDescriptor& operator=(const TDeviceDescriptor& o);
    ~TDeviceDescriptor();
};

// Lists of devices of one category ("Video/Source" or "Audio/Source"), in a stable order:
// real devices first, then the built-in virtual ones.
enum class TDeviceCategory { Video, Audio };

class IDeviceEnumerator {
public:
    virtual ~IDeviceEnumerator() = default;
    virtual std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) = 0;
    // Called (on the UI thread, coalesced) when devices come or go.
    std::function<void()> onDevicesChanged;
};

// The system's devices: GstDeviceMonitor (V4L2, PipeWire or PulseAudio, ALSA), IEEE 1394
// camcorders and decks, then the built-in virtual devices "Mire de test", "Signal de test",
// "DV virtuel" and "MPEG virtuel". Device changes are reported through onDevicesChanged.
std::unique_ptr<IDeviceEnumerator> CreateSystemDeviceEnumerator();
