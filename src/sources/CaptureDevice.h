#pragma once

#include "DeviceDescriptor.h"
#include "GraphContext.h"
#include "GstRef.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum TDeviceKind : uint8_t { dkNone = 0, dkDV = 1, dkPlugIn = 2, dkVideo = 3, dkAudio = 4 };

// Kind of a device from what it delivers: video/x-dv with systemstream=true is DV, other
// video is video, audio is audio, anything else is not listed.
TDeviceKind ClassifyCaps(const GstCaps* caps);

// One capture device. Every kind answers the same eight graph operations; the graph
// module calls only these.
class TCaptureDevice {
public:
    virtual ~TCaptureDevice();

    QString DisplayName;
    QString FriendlyName;
    int Index = 1;
    int VideoStreamCount = 0;
    int AudioStreamCount = 0;
    GstElement* SourceFilter = nullptr; // the source element while it is in the pipeline
    bool Valid = false;
    uint8_t NativeFormat1 = 0;
    uint8_t NativeFormat2 = 0;
    uint8_t Kind = dkNone;
    bool Seen = false;
    TDeviceDescriptor Moniker;
    // A format the user chose among the device's own (caps text); empty: the device's first.
    QString ChosenFormat;

    // The DV scene detector of a DV device (created with the device), else null.
    GstElement* SceneDetector() const { return m_sceneDetector.get(); }
    IDvTransport* Transport() const { return Moniker.transport.get(); }

    // Graph operations. Stream numbers are 1-based; out of range does nothing.
    [[nodiscard]] virtual bool SetVideoGraph(TGraphContext& g, int stream) = 0;
    [[nodiscard]] virtual bool SetAudioGraph(TGraphContext& g, int stream) = 0;
    virtual void KillVideoGraph(TGraphContext& g) = 0;
    virtual bool KillAudioGraph(TGraphContext& g) = 0;
    [[nodiscard]] virtual GstElement* SetSourceGraph(TGraphContext& g) = 0;
    virtual void KillSourceGraph(TGraphContext& g) = 0;
    [[nodiscard]] virtual bool BuildMuxGraph(TGraphContext& g, const QString& fileName) = 0;
    virtual bool KillMuxGraph(TGraphContext& g) = 0;

    // Pictures the device delivered that could not be used (smaller than their format says,
    // or empty): dropped before anything downstream saw them.
    virtual quint64 BrokenFrames() const { return 0; }
    // The library of the plug-in serving the device; empty for the program's own devices.
    virtual QString PluginFile() const { return {}; }

    // The device's display text, followed by " #" + Index from the second instance.
    static QString MakeDisplayName(const QString& text, int index);

protected:
    TGstRef<GstElement> m_sceneDetector; // DV only
};

// Creates the device of the descriptor's kind (DV, video or audio); null when the kind is
// not listed or the device cannot be probed. Index is its instance number.
std::unique_ptr<TCaptureDevice> CreateCaptureDevice(const TDeviceDescriptor& moniker, int index);

// The devices of one category, owned, in enumeration order.
class TCaptureDeviceList {
public:
    explicit TCaptureDeviceList(TDeviceCategory category) : m_category(category) {}

    // The plug-ins consulted when a device is created (a device a plug-in declares is served
    // by it); null: none.
    void SetPlugins(const class TpluginList* plugins) { m_plugins = plugins; }
    // Lets every device go (handed to onRemoved first), so that the next Refresh makes them
    // anew (after the plug-in folder changed).
    void Clear(const std::function<void(TCaptureDevice*)>& onRemoved = {});

    // Brings the list in line with what the enumerator reports. Devices that disappeared are
    // handed to onRemoved (so that a current source can be disconnected) before deletion.
    bool Refresh(IDeviceEnumerator& enumerator,
                 const std::function<void(TCaptureDevice*)>& onRemoved = {});
    int NextIndex(const QString& friendlyName) const;
    int FindByMoniker(const QString& id) const;
    TCaptureDevice* Get(int position) const;
    int Count() const { return int(m_devices.size()); }
    TDeviceCategory category() const { return m_category; }

private:
    std::unique_ptr<TCaptureDevice> create(const TDeviceDescriptor& desc);

    TDeviceCategory m_category;
    const TpluginList* m_plugins = nullptr;
    std::vector<std::unique_ptr<TCaptureDevice>> m_devices;
};
