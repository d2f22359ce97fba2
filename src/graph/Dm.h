#pragma once

#include "GraphContext.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <gst/gst.h>

// Format of the current video stream as the sources panel shows it.
struct TVideoFormatLabel {
    QString compression; // FOURCC text, "MPEG1", "MPEG2", or empty
    int width = 0;
    int height = 0;
    quint32 frameTime = 400000; // 100 ns units; below 1000 counts as 25 fps
    bool temporalCompression = false;
    double frameRate() const { return 10000000.0 / (frameTime < 1000 ? 400000 : frameTime); }
};

struct TAudioFormatLabel {
    int rate = 0;
    int bits = 0;
    int channels = 0;
};

// The graph module: one pipeline for the preview and the recordings, the program's own
// elements created once, and the preview chains around what the devices deliver.
//
//   video: device branch -> videoconvert -> overlay "Superposer" -> tee infdecvideo
//          (recordings with the inlay) -> tee infsupvideo -> preview gate
//          "Control_Preview_Video" -> "Tamponer Video" -> videoconvert -> video sink
//   audio: device branch -> tee infdecaudio (recordings) -> tee infsupaudio -> preview gate
//          "Control_Preview_Audio" -> "Tamponer Audio" -> volume -> audio sink
//
// The preview gates sit after the recording taps: freezing the preview never freezes a
// recording. While the preview is frozen and no recording uses the decoded picture, the
// decoding itself is skipped.
class Tdm : public QObject, public TGraphContext {
    Q_OBJECT
public:
    explicit Tdm(QObject* parent = nullptr);
    ~Tdm() override;

    // TGraphContext
    GstBin* pipeline() override { return GST_BIN(m_pipeline); }
    bool dvHalfSize() const override { return m_dvHalfSize; }
    void setDvHalfSize(bool half) { m_dvHalfSize = half; }

    // The program's own elements (kept for the whole run).
    GstElement* overlay() const { return m_overlay; }
    GstElement* element(const char* name) const; // by the name it has in the graph

    // Preview chains on what the current devices deliver (videoOutputPad, audioPin).
    bool BuildPreviewVideoChain(GstElement* sceneDetector);
    void RemovePreviewVideoChain();
    bool BuildPreviewAudioChain();
    void RemovePreviewAudioChain();
    bool hasPreviewVideo() const { return m_videoChainBuilt; }
    bool hasPreviewAudio() const { return m_audioChainBuilt; }

    bool RunGraph();
    void StopGraph(); // back to NULL: the pipeline may then be changed
    bool isRunning() const;

    // Monitoring volume 0..10000 (linear); what is recorded is never affected.
    void SetVolume(int volume);
    int Volume() const { return m_volume; }

    // Freezes the preview (both gates drop everything).
    void SetPreviewFrozen(bool frozen);
    bool previewFrozen() const { return m_previewFrozen; }
    // Recordings that take the decoded picture keep the decoding running.
    void SetDecodedVideoNeeded(bool needed);

    // Where the preview picture goes: called on a streaming thread with each frame (BGR).
    std::function<void(GstSample*)> onVideoSample;
    // Whether the audio preview plays on a real output (false: a sink that only keeps time).
    bool audioOutputReal() const { return m_audioOutputReal; }
    // Makes the preview's audio sink (tests put a failing one here); null: the system's.
    std::function<GstElement*()> audioSinkFactory;
    // The audio output failed while playing: the preview is silent, the source goes on.
    bool audioOutputFailed() const { return m_audioSinkFailed.load(); }

    TVideoFormatLabel videoFormat() const { return m_videoFormat; }
    TAudioFormatLabel audioFormat() const { return m_audioFormat; }

    // Frames delivered to the preview since the chain was built (for tests and the bench).
    quint64 previewFrames() const;

signals:
    // All on the UI thread.
    void sourceError(GstElement* source, const QString& message);
    void wideScreenChanged(bool wide);
    void videoFormatChanged();
    void audioFormatChanged();
    void elementMessage(GstMessage* message); // the receiver does not keep the message

private:
    void createOwnElements();
    void handleBusMessage(GstMessage* message);
    static GstBusSyncReply busSyncHandler(GstBus* bus, GstMessage* message, gpointer self);
    struct CapsWatch {
        Tdm* dm;
        bool video;
    };
    void watchCaps(GstPad* pad, bool video);
    void readVideoCaps(GstCaps* caps);
    void readAudioCaps(GstCaps* caps);
    void updateDecodeProbe();
    GstElement* makeAudioSink();

    GstElement* m_pipeline = nullptr;
    bool m_dvHalfSize = false;
    int m_volume = 0;
    bool m_previewFrozen = false;
    bool m_decodedNeeded = false;
    bool m_audioOutputReal = false;

    // Own elements (one ref each held by the module, whether or not in the pipeline).
    GstElement* m_overlay = nullptr;
    GstElement* m_previewVideoStamp = nullptr;
    GstElement* m_previewAudioStamp = nullptr;
    GstElement* m_previewVideoGate = nullptr;
    GstElement* m_previewAudioGate = nullptr;
    GstElement* m_captureVideoGate = nullptr;
    GstElement* m_captureAudioGate = nullptr;
    GstElement* m_captureVideoStamp = nullptr;
    GstElement* m_dvHeader = nullptr;
    GstElement* m_controlFilter = nullptr;
    GstElement* m_resizer = nullptr;
    GstElement* m_waveDest = nullptr;

    // Preview video chain.
    bool m_videoChainBuilt = false;
    GstElement* m_color1 = nullptr;
    GstElement* m_toBgr = nullptr;
    GstElement* m_infdecvideo = nullptr;
    GstElement* m_queueSup = nullptr;
    GstElement* m_infsupvideo = nullptr;
    GstElement* m_queuePreview = nullptr;
    GstElement* m_color3 = nullptr;
    GstElement* m_videoSink = nullptr;
    GstPad* m_decodeProbePad = nullptr; // where decoding is skipped while frozen
    gulong m_decodeProbe = 0;

    // Preview audio chain.
    bool m_audioChainBuilt = false;
    GstElement* m_infdecaudio = nullptr;
    GstElement* m_queueAudioSup = nullptr;
    GstElement* m_infsupaudio = nullptr;
    GstElement* m_queueAudioPreview = nullptr;
    GstElement* m_audioConvert = nullptr;
    GstElement* m_volumeElement = nullptr;
    GstElement* m_audioSink = nullptr;

    TVideoFormatLabel m_videoFormat;
    TAudioFormatLabel m_audioFormat;
    std::atomic<quint64> m_previewFrameCount{0}; // written by the streaming thread
    std::atomic<bool> m_dropDecoding{false};     // read by the decode probe
    std::atomic<bool> m_audioSinkFailed{false};  // set by the bus handler, read by a probe
};
