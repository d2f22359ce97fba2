#pragma once

// What a capture format's build is given: the recording branch being made, the pipeline's
// taps, the settings, and the pieces every branch is made of (the capture gates, the PCM
// sound, the DV encoder). A build returns false when its branch cannot be made, after
// Fail() said why in French where the user can act on it.

#include "GstRef.h"
#include "RecordingBranch.h"
#include "RecordingSettings.h"

#include <QString>
#include <gst/gst.h>

class Tdm;
struct TCaptureFormat;

class TFormatBuild {
public:
    TFormatBuild(Tdm& dm, const TCaptureFormat& format, const QString& fileName,
                 GstElement* sceneDetector, const TRecordingSettings& settings);

    const TCaptureFormat& format() const { return m_format; }
    TRecordingBranch& branch();
    const QString& fileName() const { return m_fileName; }
    // The DV source's scene detector (nullptr for another source).
    GstElement* sceneDetector() const { return m_detector; }
    // What the recording was started with.
    const TRecordingSettings& settings() const { return m_settings; }

    // What the preview carries: the decoded picture and sound (with the inlay), and the
    // source's own streams before decoding (nullptr when the source has none).
    bool hasVideo() const;
    bool hasAudio() const;
    GstElement* decodedVideo() const;
    GstElement* decodedAudio() const;
    GstElement* sourceVideo() const;
    GstElement* sourceAudio() const;
    // The caps of the source's own picture stream, held (nullptr when there is none).
    TGstRef<GstCaps> sourceVideoCaps() const;
    // The sample rate sound is recorded at.
    int audioRate() const { return m_audioRate; }

    // tee -> queue -> capture video gate. Returns the gate (nullptr: failed).
    [[nodiscard]] GstElement* VideoGate(GstElement* tee, bool markBranchTime, bool waitKey);
    // tee -> ... -> PCM 16-bit at rate -> capture audio gate. Returns the gate.
    [[nodiscard]] GstElement* PcmAudio(GstElement* tee, int rate, int channels);
    // PcmAudio at the capture rate in stereo, added as the file's sound stream.
    [[nodiscard]] bool AddPcm(GstElement* tee);
    // from -> DV 25 Mbit/s picture of the standard. Returns the encoder.
    [[nodiscard]] GstElement* DvEncoder(GstElement* from, bool ntsc, bool wide, bool steadyRate);
    // The program's own elements, put into the branch for its life.
    [[nodiscard]] GstElement* DvHeader();
    [[nodiscard]] GstElement* ControlFilter();
    [[nodiscard]] GstElement* Resizer();
    // DV type 1: the device's own multiplexed stream and writer.
    [[nodiscard]] bool DeviceMux();
    // Writes the streams added to the branch with muxer (nullptr: the single stream as it
    // is) into the file.
    [[nodiscard]] bool OpenWriter(const char* muxer, void (*setup)(GstElement*) = nullptr);

    // The recording keeps the decoded picture flowing while the preview is frozen.
    void NeedsDecodedVideo() { m_needsDecoded = true; }
    bool needsDecodedVideo() const { return m_needsDecoded; }
    // The finished file gets this video fourcc written into its header.
    void PatchFourccAtEnd(const char* fourcc);
    // The file is a RIFF file: it is continued in a new one before it reaches 4 GiB.
    void RiffSized();

    // Says why the branch cannot be made; returns false.
    bool Fail(const QString& message);
    bool FailNoVideo();

private:
    Tdm& m_dm;
    const TCaptureFormat& m_format;
    QString m_fileName;
    GstElement* m_detector;
    const TRecordingSettings& m_settings; // the recording's own copy, kept by Tdm
    int m_audioRate;
    bool m_needsDecoded = false;
};

// A file sink joining the running pipeline: no preroll, each buffer written as it comes.
GstElement* MakeRecordingFileSink(const QString& fileName);
// Whether a factory of that name is installed (false before GStreamer is initialised).
bool FactoryInstalled(const char* name);
// Sets a capsfilter's caps from their text.
void SetCapsText(GstElement* capsfilter, const QString& text);
// Whether caps are fixed enough to say and name this media type.
bool CapsNamed(GstCaps* caps, const char* media);

// The source's own picture stream, as it comes, into an AVI file (with the PCM sound when a
// sound source is chosen); dvOnly refuses a stream that is not DV.
bool BuildSourceStreamAvi(TFormatBuild& build, bool dvOnly);
// The source's own MPEG stream into an MPEG system stream.
bool BuildSourceStreamMpeg(TFormatBuild& build);
