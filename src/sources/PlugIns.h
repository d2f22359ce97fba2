#pragma once

#include "CaptureDevice.h"
#include "PluginName.h"

#include <QString>
#include <memory>
#include <vector>

// Capture plug-ins: "*.pvr" libraries of the plug-in folder, each taking over the device
// whose name it declares (the C interface is include/vidorra/pvr.h).

// One plug-in found in the folder.
struct TpluginData {
    QString driverName;  // the name of the device it serves, at most 255 characters
    QString path;        // the library
    bool enabled = true; // false once a device it serves could not be created or used
    // It reported pads or elements the program cannot use: it serves no device any more
    // (until the folder is searched again).
    bool broken = false;
};

// The plug-ins of the folder, in file-name order.
class TpluginList {
public:
    // Searches folder for "*.pvr": each library that loads, and was not written for a newer
    // interface than the program's, is listed with the name it declares (then unloaded).
    void Discover(const QString& folder);
    void Clear() { m_items.clear(); }
    // The first plug-in declaring exactly this device name (first 255 characters); -1.
    int IndexOf(const QString& deviceName) const;
    int Count() const { return int(m_items.size()); }
    const TpluginData& At(int i) const { return *m_items.at(size_t(i)); }
    std::shared_ptr<TpluginData> Share(int i) const { return m_items.at(size_t(i)); }

private:
    std::vector<std::shared_ptr<TpluginData>> m_items;
};

// A device served by a plug-in: the eight graph operations call the plug-in's exports, on
// the user-interface thread. What the plug-in reports back (pads, tees, its source element)
// is looked up in the program's pipeline before it is used; anything else marks the plug-in
// broken and the device invalid.
class TPlugInCaptureDevice : public TCaptureDevice {
public:
    TPlugInCaptureDevice(std::shared_ptr<TpluginData> plugin, const TDeviceDescriptor& moniker,
                         int index);
    ~TPlugInCaptureDevice() override;
    TPlugInCaptureDevice(const TPlugInCaptureDevice&) = delete;
    TPlugInCaptureDevice& operator=(const TPlugInCaptureDevice&) = delete;

    bool SetVideoGraph(TGraphContext& g, int stream) override;
    bool SetAudioGraph(TGraphContext& g, int stream) override;
    void KillVideoGraph(TGraphContext& g) override;
    bool KillAudioGraph(TGraphContext& g) override;
    GstElement* SetSourceGraph(TGraphContext& g) override;
    void KillSourceGraph(TGraphContext& g) override;
    // The plug-in writes the file itself: the graph context's writer stays empty.
    bool BuildMuxGraph(TGraphContext& g, const QString& fileName) override;
    bool KillMuxGraph(TGraphContext& g) override;

    const TpluginData& plugin() const { return *m_plugin; }

    struct Exports;

private:
    void markBroken(const char* what);
    void endMux();

    std::shared_ptr<TpluginData> m_plugin;
    std::unique_ptr<Exports> m_api;
    void* m_module = nullptr;
    uintptr_t m_instance = 0;
    GstBin* m_bin = nullptr;          // the pipeline between SetSourceGraph and KillSourceGraph
    GstPad* m_videoPin = nullptr;     // owned ref, as the plug-in reported it
    GstPad* m_audioPin = nullptr;     // owned ref
    GstElement* m_videoTee = nullptr; // the plug-in's (no ref: it lives in the pipeline)
    GstElement* m_audioTee = nullptr;
    bool m_sourceIn = false;
    bool m_muxing = false;
};
