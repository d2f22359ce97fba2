#pragma once

#include "CaptureDevice.h"
#include "GstRef.h"
#include "PluginName.h"

#include <QString>
#include <memory>
#include <vector>

// Capture plug-ins: "*.pvr" libraries of the plug-in folder, each taking over the device
// whose name it declares (the C interface is include/vidorra/pvr.h).

// The elements directly in bin.
std::vector<GstElement*> PluginBinChildren(GstBin* bin);
// Whether a plug-in was abandoned in this run (its threads may still run: the process ends
// without waiting for them).
bool PlugInsAbandoned();

// One plug-in found in the folder.
struct TpluginData {
    QString driverName;  // the name of the device it serves, at most 255 characters
    QString path;        // the library
    bool enabled = true; // false once a device it serves could not be created or used
    // It reported pads or elements the program cannot use, or threw an exception at the
    // program: it serves no device any more (until the folder is searched again).
    bool broken = false;
    // Not loaded at all: refused by the search (not a library, written for a newer
    // interface, crashed or hung while examined), or set aside after it stopped the program.
    bool refused = false;
    bool setAside = false;
    // Why it is shown in red, in French; empty when nothing is known.
    QString reason;
    // Whether it serves devices.
    bool serves() const { return !refused && !setAside && !broken; }
};

// The plug-ins of the folder, in file-name order.
class TpluginList {
public:
    // Searches folder for "*.pvr", in a helper process (see PluginExaminer.h): each library
    // is listed, with the name it declares when it loads and was not written for a newer
    // interface than the program's, with its reason otherwise; those set aside after they
    // stopped the program are listed with theirs. New refusals become notices.
    void Discover(const QString& folder);
    // The user enables a refused or set-aside plug-in again: its file is examined anew at
    // the next search.
    static void Enable(const QString& path);
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
    quint64 BrokenFrames() const override;
    QString PluginFile() const override;

    // Before the pipeline stops: the elements of every plug-in in it are stopped first, each
    // plug-in's apart; a plug-in whose elements do not stop within timeoutMs (a streaming
    // thread that never returns) is abandoned: its elements leave the pipeline and are never
    // touched again, none of its functions is called any more, its library stays loaded.
    static void StopPluginsIn(GstBin* pipeline, int timeoutMs);
    // Abandons the plug-in now: its elements leave the pipeline as they are (reason in
    // French, said to the user).
    void Abandon(const QString& reason);
    // Takes the plug-in out of use for the run (its device is dropped at the next refresh of
    // the sources, through its own functions); reason in French, said to the user.
    void Drop(const QString& reason);
    bool abandoned() const { return m_abandoned; }

    struct Exports;
    struct Watch;

private:
    // what: for the log; given: what it gave, in French, for its reason.
    void markBroken(const char* what, const char* given);
    void endMux();
    // Runs one call into the plug-in under the crash marker; an exception it lets out is
    // caught, marks the plug-in broken and is said to the user. False when it threw.
    template <typename F> bool guarded(const char* call, F&& work);
    // Runs a call that may add elements to the bin or take its own out: the device keeps
    // track of what it added.
    template <typename F> bool tracked(const char* call, GstBin* bin, F&& work);
    // The pads it reports are watched: pictures counted, broken ones dropped.
    void watchPad(GstPad* pad, bool video);
    // keepStopped: they stay stopped when the pipeline plays again (a plug-in dropped).
    bool stopElements(int timeoutMs, bool keepStopped = false);
    void removeLeftovers();
    // Out of use for the run with its reason; notice (when not empty) said to the user.
    void putOutOfUse(const QString& reason, const QString& notice);
    static void registerDevice(TPlugInCaptureDevice* device, bool present);

    std::shared_ptr<TpluginData> m_plugin;
    std::unique_ptr<Exports> m_api;
    void* m_module = nullptr;
    uintptr_t m_instance = 0;
    GstBin* m_bin = nullptr;    // the pipeline between SetSourceGraph and KillSourceGraph
    TGstRef<GstPad> m_videoPin; // as the plug-in reported it
    TGstRef<GstPad> m_audioPin;
    GstElement* m_videoTee = nullptr; // the plug-in's (no ref: it lives in the pipeline)
    GstElement* m_audioTee = nullptr;
    bool m_sourceIn = false;
    bool m_muxing = false;
    bool m_abandoned = false;
    std::vector<TGstRef<GstElement>> m_elements; // what it added to the pipeline
    std::shared_ptr<Watch> m_watch;              // shared with the pad probes
};
