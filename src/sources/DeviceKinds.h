#pragma once

#include "CaptureDevice.h"
#include "GstRef.h"

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

// The three device kinds of this build (the plug-in kind comes with the plug-in loader).
// Each keeps the elements it added to the pipeline and removes exactly those.

class TDVCaptureDevice : public TCaptureDevice {
public:
    TDVCaptureDevice();
    ~TDVCaptureDevice() override;

    bool SetVideoGraph(TGraphContext& g, int stream) override;
    bool SetAudioGraph(TGraphContext& g, int stream) override;
    void KillVideoGraph(TGraphContext& g) override;
    bool KillAudioGraph(TGraphContext& g) override;
    GstElement* SetSourceGraph(TGraphContext& g) override;
    void KillSourceGraph(TGraphContext& g) override;
    bool BuildMuxGraph(TGraphContext& g, const QString& fileName) override;
    bool KillMuxGraph(TGraphContext& g) override;

    // The native type 1 writer: makes the elements (floating; head first, taking
    // `video/x-dv, systemstream=true`, file sink last) that write the type 1 DV AVI file of
    // that name. Until one is installed, BuildMuxGraph reports false.
    using TType1WriterFactory = std::function<std::vector<GstElement*>(const QString& fileName)>;
    static void SetType1WriterFactory(TType1WriterFactory factory);

private:
    static void OnPadAdded(GstElement* demux, GstPad* pad, gpointer self);
    void LinkDemuxPad(GstPad* pad);
    static GstPadProbeReturn OnDecodedCaps(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn DropDamagedFrame(GstPad* pad, GstPadProbeInfo* info, gpointer self);

public:
    // Frames of the tape that were not whole (a dropout, a frame cut short) and were left out.
    uint64_t damagedFrames() const { return m_damaged.load(); }

private:
    std::atomic<uint64_t> m_damaged{0}; // counted on the streaming thread

    GstBin* m_bin = nullptr; // the pipeline holding the source part (not owned)
    // Source part: source -> scene detector -> dv_muxinfinite -> queue -> dv_splitter.
    TGstRef<GstElement> m_source;
    TGstRef<GstElement> m_muxTee;
    TGstRef<GstElement> m_splitQueue;
    TGstRef<GstElement> m_demux;
    gulong m_padAdded = 0;
    // Video branch: dv_nativevideoinfinite -> queue -> dvdec [-> videoscale -> capsfilter].
    TGstRef<GstElement> m_videoTee;
    TGstRef<GstElement> m_videoQueue;
    TGstRef<GstElement> m_decoder;
    TGstRef<GstElement> m_scale;
    TGstRef<GstElement> m_scaleCaps;
    // Audio branch: dv_nativeaudioinfinite -> queue.
    TGstRef<GstElement> m_audioTee;
    TGstRef<GstElement> m_audioQueue;
    // Guards the branch tees against the demuxer's pad-added (streaming thread).
    std::mutex m_linkLock;
};

class TVideoCaptureDevice : public TCaptureDevice {
public:
    ~TVideoCaptureDevice() override;

    bool SetVideoGraph(TGraphContext& g, int stream) override;
    bool SetAudioGraph(TGraphContext& g, int stream) override;
    void KillVideoGraph(TGraphContext& g) override;
    bool KillAudioGraph(TGraphContext& g) override;
    GstElement* SetSourceGraph(TGraphContext& g) override;
    void KillSourceGraph(TGraphContext& g) override;
    bool BuildMuxGraph(TGraphContext& g, const QString& fileName) override;
    bool KillMuxGraph(TGraphContext& g) override;

    // The decoders the registry offers for caps, best rank first (factory names).
    static QStringList DecoderCandidates(const GstCaps* caps);

private:
    TGstRef<GstElement> MakeDecoder(const GstCaps* caps);

    GstBin* m_bin = nullptr;
    TGstRef<GstElement> m_source;
    // Video branch: capsfilter -> vid_nativevideoinfinite -> queue -> [decoder].
    TGstRef<GstElement> m_format;
    TGstRef<GstElement> m_videoTee;
    TGstRef<GstElement> m_videoQueue;
    TGstRef<GstElement> m_decoder;
};

class TAudioCaptureDevice : public TCaptureDevice {
public:
    ~TAudioCaptureDevice() override;

    bool SetVideoGraph(TGraphContext& g, int stream) override;
    bool SetAudioGraph(TGraphContext& g, int stream) override;
    void KillVideoGraph(TGraphContext& g) override;
    bool KillAudioGraph(TGraphContext& g) override;
    GstElement* SetSourceGraph(TGraphContext& g) override;
    void KillSourceGraph(TGraphContext& g) override;
    bool BuildMuxGraph(TGraphContext& g, const QString& fileName) override;
    bool KillMuxGraph(TGraphContext& g) override;

private:
    GstBin* m_bin = nullptr;
    TGstRef<GstElement> m_source;
    TGstRef<GstElement> m_audioFormat; // the format the user chose, when one was
    TGstRef<GstElement> m_audioTee;
    TGstRef<GstElement> m_audioQueue;
};
