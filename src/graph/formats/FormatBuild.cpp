#include "FormatBuild.h"

#include "CaptureFormat.h"
#include "Dm.h"
#include "Log.h"

#include <QFile>

GstElement* MakeRecordingFileSink(const QString& fileName) {
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    if (!sink)
        return nullptr;
    // A sink joining a running pipeline must not wait for a preroll.
    g_object_set(sink, "location", QFile::encodeName(fileName).constData(), "async", FALSE, "sync",
                 FALSE, nullptr);
    // Each buffer goes to the system as it comes: a program killed keeps on disk all it
    // wrote (a 64 KiB block held here is seconds of a native MPEG stream). The system's
    // cache still gathers the writes.
    gst_util_set_object_arg(G_OBJECT(sink), "buffer-mode", "unbuffered");
    return sink;
}

bool FactoryInstalled(const char* name) {
    return gst_is_initialized() && TGstRef<GstElementFactory>(gst_element_factory_find(name));
}

void SetCapsText(GstElement* capsfilter, const QString& text) {
    if (!capsfilter)
        return;
    TGstRef<GstCaps> caps(gst_caps_from_string(text.toUtf8().constData()));
    g_object_set(capsfilter, "caps", caps.get(), nullptr);
}

bool CapsNamed(GstCaps* caps, const char* media) {
    return caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps) &&
           gst_structure_has_name(gst_caps_get_structure(caps, 0), media);
}

// ------------------------------------------------------------------ what a build is given

TFormatBuild::TFormatBuild(Tdm& dm, const TCaptureFormat& format, const QString& fileName,
                           GstElement* sceneDetector, const TRecordingSettings& settings)
    : m_dm(dm), m_format(format), m_fileName(fileName), m_detector(sceneDetector),
      m_settings(settings), m_audioRate(dm.captureAudioRate(sceneDetector, settings)) {}

TRecordingBranch& TFormatBuild::branch() {
    return *m_dm.m_recording;
}

bool TFormatBuild::hasVideo() const {
    return m_dm.m_videoChainBuilt && m_dm.m_infdecvideo;
}

bool TFormatBuild::hasAudio() const {
    return m_dm.m_audioChainBuilt && m_dm.m_infdecaudio;
}

GstElement* TFormatBuild::decodedVideo() const {
    return m_dm.m_infdecvideo;
}

GstElement* TFormatBuild::decodedAudio() const {
    return m_dm.m_infdecaudio;
}

GstElement* TFormatBuild::sourceVideo() const {
    return m_dm.videoBranchTee;
}

GstElement* TFormatBuild::sourceAudio() const {
    return m_dm.audioBranchTee;
}

TGstRef<GstCaps> TFormatBuild::sourceVideoCaps() const {
    if (!m_dm.videoBranchTee)
        return {};
    // What the tee carries now, else what it could carry.
    TGstRef<GstPad> sink(gst_element_get_static_pad(m_dm.videoBranchTee, "sink"));
    TGstRef<GstCaps> caps(gst_pad_get_current_caps(sink.get()));
    if (!caps)
        caps.reset(gst_pad_query_caps(sink.get(), nullptr));
    return caps;
}

GstElement* TFormatBuild::VideoGate(GstElement* tee, bool markBranchTime, bool waitKey) {
    TRecordingBranch& b = branch();
    GstElement* gate = m_dm.m_captureVideoGate;
    GstElement* queue = b.Tap(tee, "VideoCap queue");
    if (!b.UseOwn(gate) || !b.Link({queue, gate}))
        return nullptr;
    gst_util_set_object_arg(G_OBJECT(gate), "mode", "keep");
    b.WatchGate(gate, true, markBranchTime, waitKey);
    return gate;
}

// tee -> queue -> audioconvert -> audioresample -> PCM 16-bit -> capture audio gate.
GstElement* TFormatBuild::PcmAudio(GstElement* tee, int rate, int channels) {
    TRecordingBranch& b = branch();
    GstElement* gate = m_dm.m_captureAudioGate;
    GstElement* queue = b.Tap(tee, "AudioCap queue");
    GstElement* convert = b.Make("audioconvert", "acmcap");
    GstElement* resample = b.Make("audioresample", "acmcap resample");
    GstElement* format = b.Make("capsfilter", "acmcap format");
    SetCapsText(format,
                QStringLiteral("audio/x-raw,format=S16LE,layout=interleaved,channels=%1,rate=%2")
                    .arg(channels)
                    .arg(rate));
    if (!b.UseOwn(gate) || !b.Link({queue, convert, resample, format, gate}))
        return nullptr;
    gst_util_set_object_arg(G_OBJECT(gate), "mode", "keep");
    b.WatchGate(gate, false, false, false);
    return gate;
}

bool TFormatBuild::AddPcm(GstElement* tee) {
    GstElement* gate = PcmAudio(tee, m_audioRate, 2);
    if (gate)
        branch().AddStream(gate, false, false, false);
    return gate != nullptr;
}

// videoconvert -> videoscale -> videorate -> DV 25 Mbit/s picture of the standard.
GstElement* TFormatBuild::DvEncoder(GstElement* from, bool ntsc, bool wide, bool steadyRate) {
    TRecordingBranch& b = branch();
    GstElement* convert = b.Make("videoconvert", "DVenc convert");
    GstElement* scale = b.Make("videoscale", "DVenc scale");
    // DV frames come at the standard's rate; image by image keeps only the granted frames.
    GstElement* rate = b.Make(steadyRate ? "videorate" : "identity", "DVenc rate");
    GstElement* format = b.Make("capsfilter", "DVenc format");
    GstElement* encoder = b.Make("avenc_dvvideo", "DVenc");
    SetCapsText(format, ntsc ? QStringLiteral("video/x-raw,format=Y41B,width=720,height=480,"
                                              "framerate=30000/1001,pixel-aspect-ratio=%1")
                                   .arg(wide ? "32/27" : "8/9")
                             : QStringLiteral("video/x-raw,format=I420,width=720,height=576,"
                                              "framerate=25/1,pixel-aspect-ratio=%1")
                                   .arg(wide ? "64/45" : "16/15"));
    return b.Link({from, convert, scale, rate, format, encoder}) ? encoder : nullptr;
}

GstElement* TFormatBuild::DvHeader() {
    return branch().UseOwn(m_dm.m_dvHeader) ? m_dm.m_dvHeader : nullptr;
}

GstElement* TFormatBuild::ControlFilter() {
    return branch().UseOwn(m_dm.m_controlFilter) ? m_dm.m_controlFilter : nullptr;
}

GstElement* TFormatBuild::Resizer() {
    return branch().UseOwn(m_dm.m_resizer) ? m_dm.m_resizer : nullptr;
}

bool TFormatBuild::DeviceMux() {
    return m_dm.buildDeviceMux(*this);
}

bool TFormatBuild::OpenWriter(const char* muxer, void (*setup)(GstElement*)) {
    if (!muxer)
        return branch().OpenWriter(
            [](const QString& name) {
                return std::vector<GstElement*>{MakeRecordingFileSink(name)};
            },
            m_fileName);
    const std::string name = muxer;
    return branch().OpenWriter(
        [name, setup](const QString& file) {
            GstElement* mux = gst_element_factory_make(name.c_str(), nullptr);
            if (mux && setup)
                setup(mux);
            return std::vector<GstElement*>{mux, MakeRecordingFileSink(file)};
        },
        m_fileName);
}

void TFormatBuild::PatchFourccAtEnd(const char* fourcc) {
    m_dm.m_patchFourcc = QByteArray(fourcc);
}

void TFormatBuild::RiffSized() {
    m_dm.m_riffSized = true;
}

bool TFormatBuild::Fail(const QString& message) {
    m_dm.m_lastError = message;
    return false;
}

bool TFormatBuild::FailNoVideo() {
    return Fail(QStringLiteral("Ce format d'enregistrement demande une source vidéo."));
}
