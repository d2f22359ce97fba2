#pragma once

#include "GraphContext.h"
#include "GstRef.h"
#include "RecordingSettings.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <gst/gst.h>
#include <memory>
#include <mutex>
#include <vector>

class QTimer;
class TFormatBuild;
class TRecordingBranch;

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
//          tee infdecaudio -> leaky queue -> audioconvert -> level "level meter" -> fakesink
//
// The level meter hangs off the recordings' own tee, on a thread of its own: it measures
// what is recorded whatever the monitoring volume and the preview gate do, and a format it
// cannot read never holds the sound back.
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
    [[nodiscard]] bool BuildPreviewVideoChain(GstElement* sceneDetector);
    void RemovePreviewVideoChain();
    [[nodiscard]] bool BuildPreviewAudioChain();
    void RemovePreviewAudioChain();
    bool hasPreviewVideo() const { return m_videoChainBuilt; }
    bool hasPreviewAudio() const { return m_audioChainBuilt; }

    bool RunGraph();
    void StopGraph(); // back to NULL: the pipeline may then be changed
    bool isRunning() const;
    // Playing, or on its way there (a live source that sends nothing holds it back).
    bool runsOrStarts() const;

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
    // Tells whether an element belongs to a current source (whose failure the sources handle
    // silently: a start that it makes fail is not said to the user); asked while context lives.
    void SetSourceCheck(QObject* context, std::function<bool(GstElement*)> check) {
        m_sourceCheckContext = context;
        m_sourceCheck = std::move(check);
    }
    // The audio output failed while playing: the preview is silent, the source goes on.
    bool audioOutputFailed() const { return m_audioSinkFailed.load(); }

    TVideoFormatLabel videoFormat() const { return m_videoFormat; }
    TAudioFormatLabel audioFormat() const { return m_audioFormat; }

    // Frames delivered to the preview since the chain was built (for tests and the bench).
    quint64 previewFrames() const;
    // Pictures the video source delivered, counted before decoding whatever the preview and
    // the recording do with them (never reset).
    quint64 sourceFrames() const { return m_sourceFrameCount.load(std::memory_order_relaxed); }

    // ---- Recording branches, added to and removed from the running pipeline.
    // Builds the branch of a capture format (1..12; 0 and 10 build nothing and succeed)
    // writing fileName; the scene detector of a DV video source, when there is one, is given
    // for the DV header and format 1. The settings are kept for the recording's life: its cuts
    // and the ends of its parts use them too. False when the branch cannot be built (what got
    // added is removed again; the preview goes on); lastError() then says why, in French.
    [[nodiscard]] bool BuildRecording(uint8_t format, const QString& fileName,
                                      GstElement* sceneDetector,
                                      const TRecordingSettings& settings);
    // Ends the running recording part, without waiting: the scene detector's end-of-part
    // report first, then end of stream through the branch. recordingPartFinished follows on
    // the UI thread once the file has its end or, at most 3 s after the last buffer that
    // reached it (20 s in all, longestEndMs), without it: the branch is then taken out anyway
    // and the file repaired. The preview goes on. Asked while a cut is under way, the end
    // follows the cut.
    void EndRecordingPart();
    // Continues the running recording in a new file at a frame boundary (each part starts
    // with a key frame); no frame and no sample is lost between the parts. The new file
    // begins here (false when it cannot be made: the old one goes on); the old one is
    // finished meanwhile and reported by recordingPartFinished.
    [[nodiscard]] bool SplitRecording(const QString& newFileName);
    bool hasRecordingBranch() const;
    QString recordingFileName() const;
    uint8_t recordingFormat() const { return m_recording ? m_recordingFormat : 0; }
    // A part is being ended or cut: nothing else may change the graph until it has finished.
    bool endingPart() const { return m_ending; }
    // Runs work that changes the graph now, or, while a part is being ended or cut, once it
    // has finished, in the order asked (dropped when context is gone by then).
    void WhenIdle(QObject* context, std::function<void()> work);
    // The longest an end may take (VIDORRA_LONGEST_END_MS for tests): a close must allow it.
    static int longestEndMs();
    // Freezes the recorded stream (both capture gates drop); the file goes on when released.
    // Asked while a part is being ended or cut, it follows that part.
    void SetCaptureFrozen(bool frozen);
    // Image-by-image recording: lets exactly one more picture into the file.
    void GrantFrame();
    // Frames written to the current recording, and frames lost (by the source or dropped
    // in the pipeline) since it started.
    quint64 recordedFrames() const;
    quint64 droppedFrames() const;
    // The part recordingPartFinished reported last had received nothing (no picture, no
    // sample, or no grab image by image): its file was removed.
    bool lastPartEmpty() const { return m_lastPartEmpty; }
    // That part's file plays whole (its end written, or repaired); false when it could not
    // be finished (the disk full): it stays in the journal, repaired at the next start.
    bool lastPartWhole() const { return m_lastPartWhole; }
    QString lastError() const { return m_lastError; }
    // Size at which a WAV or MP3-in-RIFF file continues in a new one (RIFF sizes are 32-bit;
    // tests lower it).
    void setRiffLimit(qint64 bytes) { m_riffLimit = bytes; }
    // The time given to the end of a part to reach its file (3 s; VIDORRA_END_WAIT_MS, for
    // tests of what follows an end that came too late).
    void setEndWait(int milliseconds) { m_endWaitMs = milliseconds; }
    // Called when an image-by-image recording ends, with the number of frames written.
    std::function<void(const QString& fileName, quint64 frames)> onFrameByFrameEnd;

signals:
    // All on the UI thread.
    void sourceError(GstElement* source, const QString& message);
    void wideScreenChanged(bool wide);
    void videoFormatChanged();
    void audioFormatChanged();
    void elementMessage(GstMessage* message); // the receiver does not keep the message
    // The levels of the recorded sound, about 15 times a second while it flows: a peak and
    // an RMS per channel in dBFS (-inf for silence).
    void audioLevels(const std::vector<double>& peakDb, const std::vector<double>& rmsDb);
    // The audio preview chain was built (a source's sound is expected) or removed.
    void audioMeterChanged(bool active);
    // The recording side ended or must continue by itself (UI thread): the disk reserve
    // was reached (the part is finalised), a WAV/MP3 file is about to reach 4 GiB (the
    // receiver cuts to a new file), the device feeding it failed.
    void recordingStoppedByDiskReserve(const QString& fileName);
    void recordingNeedsRollover();
    // A recording part ended by an error of its branch; reason is in French ("le disque est
    // plein").
    void recordingEndedByError(const QString& fileName, const QString& reason);
    // The folder of the file being written was removed: made again (remade), the recording
    // should go on in a new part there; else the part ends. The file is put back once its
    // part is finished: recordingRescued says where (empty: it could not be).
    void recordingFolderVanished(const QString& fileName, bool remade);
    void recordingRescued(const QString& fileName, const QString& putBackAs);
    // A part's file is finished (an end or a cut): complete is false when its end did not
    // come in time and the file was repaired. Emitted before the work waiting for it runs.
    void recordingPartFinished(const QString& fileName, bool complete);
    // The pipeline could not start: a French message for the user ("Le graphe de capture n'a
    // pas pu démarrer : <raison>.").
    void graphFailed(const QString& message);

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

    // Recording branches (DmRecording.cpp; each format's build is in formats/).
    friend class TFormatBuild;
    int captureAudioRate(GstElement* sceneDetector, const TRecordingSettings& settings) const;
    bool buildDeviceMux(TFormatBuild& build);
    std::vector<GstElement*> takeMuxWriter();
    void finishRecordedFile(const QString& fileName, bool complete, quint64 frames);
    void checkRecordingDisk();
    void endPart(std::function<void()> then);
    void advancePart();
    void startEndTimer();
    void partFinished(const QString& fileName, bool complete, quint64 frames);
    void runDeferred();

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
    GstElement* m_overlayCaps = nullptr;
    GstElement* m_infdecvideo = nullptr;
    GstElement* m_queueSup = nullptr;
    GstElement* m_infsupvideo = nullptr;
    GstElement* m_queuePreview = nullptr;
    GstElement* m_color3 = nullptr;
    GstElement* m_videoSink = nullptr;
    TGstRef<GstPad> m_decodeProbePad; // where decoding is skipped while frozen
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
    GstElement* m_queueLevel = nullptr;
    GstElement* m_levelConvert = nullptr;
    GstElement* m_level = nullptr; // its messages are told apart from a removed one's
    GstElement* m_levelSink = nullptr;
    void buildLevelBranch();
    void readLevels(const GstStructure* s);

    QString m_lastError;
    qint64 m_riffLimit = 0xFFFFFFFFLL;

    // The recording branch (UI thread only; its counters are atomics of its own).
    std::shared_ptr<TRecordingBranch> m_recording;
    uint8_t m_recordingFormat = 0;
    GstElement* m_recordingDetector = nullptr; // the DV source's, not owned
    // What the running recording was started with (BuildRecording to its last part's end).
    TRecordingSettings m_recordingSettings;
    TCaptureDevice* m_deviceMux = nullptr; // a device writing its own file (a plug-in)
    QString m_deviceMuxFile;
    bool m_captureFrozen = false;
    int m_endWaitMs = 3000;
    bool m_ending = false; // a part is being ended or cut: graph changes wait for it
    bool m_cutting = false;
    bool m_endAfterCut = false;
    quint64 m_cutFrames = 0;         // frames of the file a cut is finishing
    std::function<void()> m_endThen; // told once the part has finished (disk reserve, error)
    QTimer* m_endTimer = nullptr;    // moves the end on while it waits for its time limits
    struct Deferred {
        QPointer<QObject> context;
        std::function<void()> work;
    };
    std::deque<Deferred> m_deferred;
    bool m_runningDeferred = false;
    QByteArray m_patchFourcc; // written into the finished file's header
    bool m_riffSized = false; // a RIFF file: continued in a new one before 4 GiB
    bool m_rolloverAsked = false;
    qint64 m_lastCheckedSize = 0;
    quint64 m_partFramesBase = 0;
    quint64 m_partFedBase = 0;   // buffers fed to the files before the current part
    bool m_pluginWrites = false; // the device writes the file itself
    bool m_lastPartEmpty = false;
    bool m_lastPartWhole = true;
    bool m_checkEnd = false;       // the part ends on trouble: its file is checked
    QHash<QString, int> m_rescues; // files whose folder vanished: a descriptor that keeps them
    void folderVanished(const QString& file);
    QString rescueFile(const QString& fileName);
    std::atomic<quint64> m_sourceFrameCount{0};
    quint64 m_lastRecordedFrames = 0;
    quint64 m_lastDroppedFrames = 0;
    QTimer* m_diskTimer = nullptr;
    TVideoFormatLabel m_videoFormat;
    TAudioFormatLabel m_audioFormat;
    std::atomic<quint64> m_previewFrameCount{0}; // written by the streaming thread
    std::atomic<bool> m_dropDecoding{false};     // read by the decode probe
    std::atomic<bool> m_audioSinkFailed{false};  // set by the bus handler, read by a probe
    // The audio sink as the bus handler sees it on the streaming threads (a ref of its own,
    // guarded by m_watchLock), and the last error the pipeline raised (the reason a start
    // failed).
    mutable std::mutex m_watchLock;
    TGstRef<GstElement> m_watchedAudioSink;
    QString m_lastBusError;
    TGstRef<GstObject> m_lastBusErrorSource; // its element
    QPointer<QObject> m_sourceCheckContext;
    std::function<bool(GstElement*)> m_sourceCheck;
    void watchAudioSink(GstElement* sink);
    void forgetBusError();
    bool isAudioSinkMessage(GstMessage* message) const;
};

// What a GStreamer error means for the user, in French: "le disque est plein", "le fichier ne
// peut pas être écrit" ...; the element's own text, in parentheses, for the others.
QString FrenchErrorReason(const GError* error);
