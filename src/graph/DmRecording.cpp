// The graph module's recording branches: one per capture format, added to the running
// pipeline and taken out again at the end of each part; a cut swaps the file only.
#include "CaptureFormats.h"
#include "DeviceKinds.h"
#include "Dm.h"
#include "Encoders.h"
#include "Log.h"
#include "ParameterTable.h"
#include "RecordingBranch.h"
#include "RecoveryJournal.h"
#include "SceneDetect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

template <class P, class T> T valueOf(P* parameter, T fallback) {
    return parameter ? T(parameter->Value) : fallback;
}

GstElement* makeFileSink(const QString& fileName) {
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

TRecordingBranch::TWriterFactory fileWriter(const char* muxer,
                                            std::function<void(GstElement*)> setup = {}) {
    const std::string name = muxer;
    return [name, setup](const QString& fileName) {
        GstElement* mux = gst_element_factory_make(name.c_str(), nullptr);
        if (mux && setup)
            setup(mux);
        return std::vector<GstElement*>{mux, makeFileSink(fileName)};
    };
}

void setCaps(GstElement* capsfilter, const QString& text) {
    if (!capsfilter)
        return;
    GstCaps* caps = gst_caps_from_string(text.toUtf8().constData());
    g_object_set(capsfilter, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

// The caps a tee carries (current, else what it could carry).
GstCaps* teeCaps(GstElement* tee) {
    GstPad* sink = gst_element_get_static_pad(tee, "sink");
    GstCaps* caps = gst_pad_get_current_caps(sink);
    if (!caps)
        caps = gst_pad_query_caps(sink, nullptr);
    gst_object_unref(sink);
    return caps;
}

bool capsNamed(GstCaps* caps, const char* media) {
    return caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps) &&
           gst_structure_has_name(gst_caps_get_structure(caps, 0), media);
}

// Element factories of a kind that take `in` and give `out`, best rank first.
QStringList factoriesFor(GstElementFactoryListType type, GstCaps* in, const char* out) {
    QStringList names;
    GList* all = gst_element_factory_list_get_elements(type, GST_RANK_MARGINAL);
    GList* taking =
        in ? gst_element_factory_list_filter(all, in, GST_PAD_SINK, FALSE) : g_list_copy(all);
    GstCaps* outCaps = gst_caps_from_string(out);
    GList* giving = gst_element_factory_list_filter(taking, outCaps, GST_PAD_SRC, FALSE);
    gst_caps_unref(outCaps);
    giving = g_list_sort(giving, gst_plugin_feature_rank_compare_func);
    for (GList* l = giving; l; l = l->next)
        names << QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(l->data)));
    gst_plugin_feature_list_free(giving);
    if (in)
        gst_plugin_feature_list_free(taking);
    else
        g_list_free(taking);
    gst_plugin_feature_list_free(all);
    return names;
}

bool factoryExists(const char* name) {
    GstElementFactory* f = gst_element_factory_find(name);
    if (f)
        gst_object_unref(f);
    return f != nullptr;
}

// Whether the WAV writer takes MPEG audio (MP3 in RIFF); otherwise MP3 is written as a
// plain MPEG audio stream.
bool waveDestTakesMp3() {
    GstElementFactory* f = gst_element_factory_find("vr_wavedest");
    if (!f)
        return false;
    GstCaps* mp3 = gst_caps_from_string("audio/mpeg, mpegversion=(int)1, layer=(int)3, "
                                        "rate=(int)48000, channels=(int)2");
    const bool takes = gst_element_factory_can_sink_any_caps(f, mp3);
    gst_caps_unref(mp3);
    gst_object_unref(f);
    return takes;
}

// The DV type 1 writer the DV device puts behind its interleaved stream.
const bool kType1WriterInstalled = [] {
    TDVCaptureDevice::SetType1WriterFactory([](const QString& fileName) {
        return std::vector<GstElement*>{gst_element_factory_make("vr_dvavimux", nullptr),
                                        makeFileSink(fileName)};
    });
    return true;
}();

} // namespace

// ------------------------------------------------------------------ settings and rules

int Tdm::captureAudioRate(GstElement* sceneDetector) const {
    const int current = m_audioFormat.rate;
    if (valueOf(Prm.garderFormatDV, false) && sceneDetector &&
        valueOf(Prm.frequenceDVNative, true) &&
        (current == 32000 || current == 44100 || current == 48000))
        return current;
    return AudioRateOfFrequenceDV(valueOf(Prm.frequenceDV, uint8_t(3)));
}

// infdecaudio (or tee) -> queue -> audioconvert -> audioresample -> PCM 16-bit stereo at the
// capture rate -> capture audio gate. Returns the gate.
GstElement* Tdm::pcmAudioChain(GstElement* tee, int rate, int channels) {
    TRecordingBranch& b = *m_recording;
    GstElement* queue = b.Tap(tee, "AudioCap queue");
    GstElement* convert = b.Make("audioconvert", "acmcap");
    GstElement* resample = b.Make("audioresample", "acmcap resample");
    GstElement* format = b.Make("capsfilter", "acmcap format");
    setCaps(format,
            QStringLiteral("audio/x-raw,format=S16LE,layout=interleaved,channels=%1,rate=%2")
                .arg(channels)
                .arg(rate));
    if (!b.UseOwn(m_captureAudioGate) ||
        !b.Link({queue, convert, resample, format, m_captureAudioGate}))
        return nullptr;
    gst_util_set_object_arg(G_OBJECT(m_captureAudioGate), "mode", "keep");
    b.WatchGate(m_captureAudioGate, false, false, false);
    return m_captureAudioGate;
}

// tee -> queue -> capture video gate. Returns the gate.
GstElement* Tdm::videoGateChain(GstElement* tee, bool markBranchTime, bool waitKey) {
    TRecordingBranch& b = *m_recording;
    GstElement* queue = b.Tap(tee, "VideoCap queue");
    if (!b.UseOwn(m_captureVideoGate) || !b.Link({queue, m_captureVideoGate}))
        return nullptr;
    gst_util_set_object_arg(G_OBJECT(m_captureVideoGate), "mode", "keep");
    b.WatchGate(m_captureVideoGate, true, markBranchTime, waitKey);
    return m_captureVideoGate;
}

// videoconvert -> videoscale -> videorate -> DV 25 Mbit/s picture of the standard.
GstElement* Tdm::dvEncoderChain(GstElement* from, bool ntsc, bool wide, bool steadyRate) {
    TRecordingBranch& b = *m_recording;
    GstElement* convert = b.Make("videoconvert", "DVenc convert");
    GstElement* scale = b.Make("videoscale", "DVenc scale");
    // DV frames come at the standard's rate; image by image keeps only the granted frames.
    GstElement* rate = b.Make(steadyRate ? "videorate" : "identity", "DVenc rate");
    GstElement* format = b.Make("capsfilter", "DVenc format");
    GstElement* encoder = b.Make("avenc_dvvideo", "DVenc");
    setCaps(format, ntsc ? QStringLiteral("video/x-raw,format=Y41B,width=720,height=480,"
                                          "framerate=30000/1001,pixel-aspect-ratio=%1")
                               .arg(wide ? "32/27" : "8/9")
                         : QStringLiteral("video/x-raw,format=I420,width=720,height=576,"
                                          "framerate=25/1,pixel-aspect-ratio=%1")
                               .arg(wide ? "64/45" : "16/15"));
    return b.Link({from, convert, scale, rate, format, encoder}) ? encoder : nullptr;
}

// ------------------------------------------------------------------ the builds

bool Tdm::BuildRecording(uint8_t format, const QString& fileName, GstElement* sceneDetector) {
    m_lastError.clear();
    if (format == cfNone || format == cfDefault)
        return true;
    if (m_recording || m_ending) {
        // The part before is still being written: the caller waits for its end (WhenIdle).
        m_lastError = QStringLiteral("L'enregistrement précédent n'est pas encore terminé.");
        return false;
    }
    const QFileInfo info(fileName);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        m_lastError = QStringLiteral("Impossible d'écrire dans le dossier %1.")
                          .arg(QDir::toNativeSeparators(info.absolutePath()));
        return false;
    }
    m_recording = std::make_shared<TRecordingBranch>(pipeline());
    m_recordingFormat = format;
    m_recordingDetector = sceneDetector;
    m_partFramesBase = 0;
    m_partFedBase = 0;
    m_pluginWrites = false;
    m_lastPartEmpty = false;
    m_lastRecordedFrames = 0;
    m_patchXvid = false;
    m_mp3Plain = false;
    m_rolloverAsked = false;
    m_lastCheckedSize = 0;
    TRecordingJournal().Add(fileName,
                            format == cfFrameByFrame ? valueOf(Prm.framerate, 18.0) : 0.0);
    // The branch's streaming threads say when what an end waits for has come; the end moves
    // on here, on this thread.
    m_recording->SetWake(
        [this] { QMetaObject::invokeMethod(this, &Tdm::advancePart, Qt::QueuedConnection); });
    bool needsDecoded = false;
    bool ok = buildBranch(format, fileName, sceneDetector, needsDecoded) && m_recording->Start();
    if (!ok) {
        if (m_lastError.isEmpty())
            m_lastError = QStringLiteral("L'enregistrement de %1 n'a pas pu être préparé.")
                              .arg(QDir::toNativeSeparators(fileName));
        qCWarning(lcVidorra) << "recording branch of format" << format << "not built";
        m_recording->TearDown();
        m_recording.reset();
        if (QFileInfo(fileName).exists() && QFileInfo(fileName).size() == 0)
            QFile::remove(fileName);
        TRecordingJournal().Remove(fileName);
        return false;
    }
    SetDecodedVideoNeeded(needsDecoded);
    if (!m_diskTimer) {
        m_diskTimer = new QTimer(this);
        m_diskTimer->setInterval(500);
        connect(m_diskTimer, &QTimer::timeout, this, &Tdm::checkRecordingDisk);
        // A failing element of the branch (file sink, encoder) ends the part.
        connect(this, &Tdm::sourceError, this, [this](GstElement* element, const QString& text) {
            if (!m_recording || m_ending || !m_recording->Owns(GST_OBJECT(element)))
                return;
            const QString file = m_recording->fileName();
            m_checkEnd = true;
            endPart([this, file, text] { emit recordingEndedByError(file, text); });
        });
    }
    m_diskTimer->start();
    return true;
}

bool Tdm::buildBranch(uint8_t format, const QString& fileName, GstElement* detector,
                      bool& needsDecoded) {
    TRecordingBranch& b = *m_recording;
    const bool audio = m_audioChainBuilt && m_infdecaudio;
    const bool video = m_videoChainBuilt && m_infdecvideo;
    const int rate = captureAudioRate(detector);
    auto noVideo = [this] {
        m_lastError = QStringLiteral("Ce format d'enregistrement demande une source vidéo.");
        return false;
    };
    auto addPcm = [&](GstElement* tee) {
        GstElement* gate = pcmAudioChain(tee, rate, 2);
        if (gate)
            b.AddStream(gate, false, false, false);
        return gate != nullptr;
    };
    // While a recording runs, its branch leaves the frozen stretches out.
    for (GstElement* gate : {m_captureVideoGate, m_captureAudioGate})
        if (gate)
            g_object_set(gate, "frozen", FALSE, nullptr);
    if (m_captureFrozen)
        b.SetFrozen(true);

    switch (format) {
    case cfDvType1Native:
        return buildDeviceMux(fileName);
    case cfDvType2Native:
    case cfAviNative: {
        if (!videoBranchTee)
            return noVideo();
        GstCaps* caps = teeCaps(videoBranchTee);
        const bool raw = capsNamed(caps, "video/x-raw");
        const bool dv = capsNamed(caps, "video/x-dv");
        const bool compressed = !raw && !dv;
        if (caps)
            gst_caps_unref(caps);
        if (format == cfDvType2Native && !dv) {
            m_lastError = QStringLiteral("La source vidéo ne fournit pas de DV.");
            return false;
        }
        GstElement* last = videoGateChain(videoBranchTee, false, compressed);
        if (last && raw) {
            // avimux takes the common raw layouts as they are; others are converted.
            GstElement* convert = b.Make("videoconvert", "avi convert");
            last = b.Link({last, convert}) ? convert : nullptr;
        }
        if (!last)
            return false;
        b.AddStream(last, true, compressed, false);
        GstElement* audioTee =
            format == cfDvType2Native && audioBranchTee ? audioBranchTee : m_infdecaudio;
        if (audio && !addPcm(audioTee))
            return false;
        return b.OpenWriter(fileWriter("avimux"), fileName);
    }
    case cfMpeg2Native:
    case cfMpeg1Native:
        return buildMpegNative(fileName, audio, rate);
    case cfDvType2Recompressed: {
        if (!video)
            return noVideo();
        needsDecoded = true;
        const bool keepDv = valueOf(Prm.garderFormatDV, false) && detector;
        bool ntsc = valueOf(Prm.standardDV, uint8_t(0)) != 0;
        bool wide = valueOf(Prm.ratioDV, uint8_t(0)) == 1;
        if (keepDv) {
            guint standard = 0;
            gboolean wideScreen = FALSE;
            g_object_get(detector, "standard", &standard, "widescreen", &wideScreen, nullptr);
            ntsc = standard == 1;
            wide = wideScreen;
        }
        GstElement* gate = videoGateChain(m_infdecvideo, true, false);
        GstElement* encoder = gate ? dvEncoderChain(gate, ntsc, wide, true) : nullptr;
        if (!encoder || !b.UseOwn(m_dvHeader) || !b.Link({encoder, m_dvHeader}))
            return false;
        g_object_set(m_dvHeader, "scene-source", detector, "header-mode",
                     guint(keepDv                                  ? 2
                           : valueOf(Prm.ratioDV, uint8_t(0)) == 1 ? 1
                                                                   : 0),
                     nullptr);
        b.AddStream(m_dvHeader, true, false, false);
        if (audio && !addPcm(m_infdecaudio))
            return false;
        return b.OpenWriter(fileWriter("avimux"), fileName);
    }
    case cfWmv:
        if (!video)
            return noVideo();
        needsDecoded = true;
        return buildWmv(fileName, audio);
    case cfFrameByFrame: {
        if (!video && !videoBranchTee)
            return noVideo();
        GstCaps* caps = videoBranchTee ? teeCaps(videoBranchTee) : nullptr;
        const bool dv = capsNamed(caps, "video/x-dv") && detector;
        if (caps)
            gst_caps_unref(caps);
        if (!b.UseOwn(m_controlFilter))
            return false;
        g_object_set(m_controlFilter, "gate-open", FALSE, "mark-sync-point", TRUE, nullptr);
        GstElement* last = nullptr;
        if (dv) {
            GstElement* queue = b.Tap(videoBranchTee, "VideoCap queue");
            last = b.Link({queue, m_controlFilter}) ? m_controlFilter : nullptr;
        } else {
            needsDecoded = true;
            GstElement* queue = b.Tap(m_infdecvideo, "VideoCap queue");
            // Only the granted pictures are encoded.
            last = b.Link({queue, m_controlFilter})
                       ? dvEncoderChain(m_controlFilter, valueOf(Prm.standardDV, uint8_t(0)) != 0,
                                        false, false)
                       : nullptr;
        }
        if (!last)
            return false;
        b.AddStream(last, true, false, false);
        return b.OpenWriter(fileWriter("avimux"), fileName);
    }
    case cfDivx:
        if (!video)
            return noVideo();
        needsDecoded = true;
        return buildDivx(fileName, audio, rate);
    case cfWav:
    case cfMp3: {
        if (!audio) {
            m_lastError = QStringLiteral("Ce format d'enregistrement demande une source audio.");
            return false;
        }
        GstElement* gate = pcmAudioChain(m_infdecaudio, rate, 2);
        if (!gate)
            return false;
        if (format == cfWav) {
            b.AddStream(gate, false, false, false);
            return b.OpenWriter(fileWriter("vr_wavedest"), fileName);
        }
        GstElement* mp3 = b.Make("lamemp3enc", "mp3");
        if (!mp3) {
            m_lastError = QStringLiteral("Aucun encodeur mp3 n'est installé.");
            return false;
        }
        g_object_set(mp3, "target", 1 /* bitrate */, "bitrate", TEncoderCatalog::Mp3Bitrate(),
                     "cbr", TRUE, nullptr);
        if (!b.Link({gate, mp3}))
            return false;
        b.AddStream(mp3, false, false, false);
        if (waveDestTakesMp3())
            return b.OpenWriter(fileWriter("vr_wavedest"), fileName);
        m_mp3Plain = true;
        return b.OpenWriter(
            [](const QString& name) { return std::vector<GstElement*>{makeFileSink(name)}; },
            fileName);
    }
    default:
        m_lastError = QStringLiteral("Ce format d'enregistrement n'est pas disponible.");
        return false;
    }
}

// The device's own file (DV type 1): the device either hands the recording branch its stream
// and the writer of each file (so that a cut swaps the writer within the branch), or writes
// the file itself (a plug-in), part after part.
bool Tdm::buildDeviceMux(const QString& fileName) {
    TCaptureDevice* device = videoDevice;
    if (!device || !device->BuildMuxGraph(*this, fileName)) {
        // A capture card has no DV stream of its own to give: it is not ready for this.
        m_lastError = !device ? QStringLiteral("Aucune source vidéo n'a été sélectionnée.")
                      : device->Kind == dkVideo
                          ? QStringLiteral("Not Ready")
                          : QStringLiteral("La source vidéo n'a pas pu commencer le fichier DV.");
        return false;
    }
    if (!muxTee) {
        m_deviceMux = device;
        m_pluginWrites = true;
        m_deviceMuxFile = fileName;
        return true;
    }
    TRecordingBranch& b = *m_recording;
    GstElement* gate = videoGateChain(muxTee, false, false);
    if (!gate) {
        takeMuxWriter();
        return false;
    }
    b.AddStream(gate, true, false, false);
    // The first file's writer is the one just made; each cut asks the device for the next.
    auto first = std::make_shared<std::vector<GstElement*>>(takeMuxWriter());
    return b.OpenWriter(
        [this, device, first](const QString& name) {
            if (!first->empty())
                return std::exchange(*first, {});
            if (videoDevice != device || !device->BuildMuxGraph(*this, name))
                return std::vector<GstElement*>{};
            return takeMuxWriter();
        },
        fileName);
}

std::vector<GstElement*> Tdm::takeMuxWriter() {
    muxTee = nullptr;
    return std::exchange(muxWriter, {});
}

bool Tdm::buildMpegNative(const QString& fileName, bool audio, int rate) {
    TRecordingBranch& b = *m_recording;
    if (!videoBranchTee)
        return false;
    GstCaps* caps = teeCaps(videoBranchTee);
    const bool mpeg = capsNamed(caps, "video/mpeg");
    // The muxer candidates: what takes this stream and gives an MPEG system stream.
    const QStringList muxers =
        mpeg ? factoriesFor(GST_ELEMENT_FACTORY_TYPE_MUXER, caps, "video/mpeg, systemstream=true")
             : QStringList();
    if (caps)
        gst_caps_unref(caps);
    if (!mpeg) {
        m_lastError = QStringLiteral("La source vidéo ne fournit pas de flux MPEG.");
        return false;
    }
    GstElement* gate = videoGateChain(videoBranchTee, false, true);
    if (!gate)
        return false;
    b.AddStream(gate, true, true, false, true);
    if (muxers.isEmpty()) {
        qCInfo(lcVidorra) << "no MPEG muxer: the plain video stream is recorded";
        return b.OpenWriter(
            [](const QString& name) { return std::vector<GstElement*>{makeFileSink(name)}; },
            fileName);
    }
    if (audio) {
        GstCaps* raw = gst_caps_from_string("audio/x-raw");
        const QStringList encoders =
            factoriesFor(GST_ELEMENT_FACTORY_TYPE_ENCODER, raw, "audio/mpeg, mpegversion=(int)1");
        gst_caps_unref(raw);
        GstElement* encoder = nullptr;
        GstElement* pcm = encoders.isEmpty() ? nullptr : pcmAudioChain(m_infdecaudio, rate, 2);
        for (const QString& name : encoders) {
            if (!pcm)
                break;
            encoder = b.Make(name.toUtf8().constData(), "audioenc");
            if (encoder && b.Link({pcm, encoder}))
                break;
            encoder = nullptr;
        }
        if (encoder)
            b.AddStream(encoder, false, false, false);
        else
            qCInfo(lcVidorra) << "no MPEG-1 audio encoder: the MPEG recording has no sound";
    }
    return b.OpenWriter(fileWriter(muxers.front().toUtf8().constData()), fileName);
}

bool Tdm::buildWmv(const QString& fileName, bool audio) {
    TRecordingBranch& b = *m_recording;
    const int version = valueOf(Prm.versionWmv, 2);
    const TWmvProfile profile = TEncoderCatalog::ChosenWmvProfile(
        valueOf(Prm.profilParDefaut, true), valueOf(Prm.profileWmv, 1),
        valueOf(Prm.profilWmvFavori, QString()),
        TEncoderCatalog::SystemProfiles(TEncoderCatalog::DefaultProfilesFolder()));
    GstElement* gate = videoGateChain(m_infdecvideo, false, false);
    // A camcorder's picture is interlaced, which the Windows Media encoders refuse (the
    // branch would stop at once, not negotiated): it is made progressive first; a progressive
    // picture passes as it is.
    GstElement* deinterlace =
        factoryExists("deinterlace") ? b.Make("deinterlace", "wmv deinterlace") : nullptr;
    if (deinterlace) // one picture a frame, not one a field
        gst_util_set_object_arg(G_OBJECT(deinterlace), "fields", "top");
    GstElement* convert = b.Make("videoconvert", "wmv convert");
    GstElement* scale = b.Make("videoscale", "wmv scale");
    GstElement* rateElement = b.Make("videorate", "wmv rate");
    GstElement* format = b.Make("capsfilter", "wmv format");
    GstElement* encoder =
        b.Make(TEncoderCatalog::WmvVideoFactory(version).toUtf8().constData(), "wmv video");
    QString caps = QStringLiteral("video/x-raw,format=I420");
    if (profile.width > 0 && profile.height > 0)
        caps += QStringLiteral(",width=%1,height=%2").arg(profile.width).arg(profile.height);
    if (profile.fps > 0)
        caps += QStringLiteral(",framerate=%1/1").arg(profile.fps);
    setCaps(format, caps);
    if (encoder && profile.videoBitrateKbps > 0)
        g_object_set(encoder, "bitrate", profile.videoBitrateKbps * 1000, "gop-size", 250, nullptr);
    if (!gate || (deinterlace && !b.Link({gate, deinterlace})) ||
        !b.Link({deinterlace ? deinterlace : gate, convert, scale, rateElement, format, encoder}))
        return false;
    b.AddStream(encoder, true, true, true);
    if (audio) {
        GstElement* pcm =
            pcmAudioChain(m_infdecaudio, profile.audioRate > 0 ? profile.audioRate : 44100,
                          profile.audioChannels == 1 ? 1 : 2);
        GstElement* audioConvert = b.Make("audioconvert", "wmv audio convert");
        GstElement* wma =
            b.Make(TEncoderCatalog::WmvAudioFactory(version).toUtf8().constData(), "wmv audio");
        if (wma && profile.audioBitrateKbps > 0)
            g_object_set(wma, "bitrate", profile.audioBitrateKbps * 1000, nullptr);
        if (!pcm || !b.Link({pcm, audioConvert, wma}))
            return false;
        b.AddStream(wma, false, false, false);
    }
    return b.OpenWriter(
        fileWriter("asfmux",
                   [](GstElement* mux) { g_object_set(mux, "streamable", TRUE, nullptr); }),
        fileName);
}

bool Tdm::buildDivx(const QString& fileName, bool audio, int rate) {
    TRecordingBranch& b = *m_recording;
    const TDivxEntry* entry = Encoders().ChooseDivx(valueOf(Prm.divxFavori, QString()));
    if (!entry) {
        m_lastError = QStringLiteral("Aucun compresseur DivX ou Xvid n'est installé.");
        return false;
    }
    GstElement* gate = videoGateChain(m_infdecvideo, false, false);
    if (!gate || !b.UseOwn(m_resizer))
        return false;
    g_object_set(m_resizer, "ratio-mode", int(valueOf(Prm.ratioDivX, uint8_t(0))), "half-size",
                 gboolean(valueOf(Prm.demiTaille, true)), nullptr);
    GstElement* convert = b.Make("videoconvert", "divx convert");
    GstElement* format = b.Make("capsfilter", "divx format");
    setCaps(format, QStringLiteral("video/x-raw,format=I420"));
    GstElement* encoder = b.Make(entry->factory.toUtf8().constData(), "divx");
    TEncoderCatalog::ConfigureDivxEncoder(encoder, TEncoderCatalog::LoadDivxSettings());
    if (!b.Link({gate, m_resizer, convert, format, encoder}))
        return false;
    b.KeepEncoderTimes(encoder);
    GstElement* last = encoder;
    if (entry->fourcc == QLatin1String("DX50")) {
        // avimux writes DX50 for DivX 5 caps.
        GstElement* setter = b.Make("capssetter", "divx fourcc");
        if (!setter)
            return false;
        GstCaps* divx = gst_caps_from_string("video/x-divx, divxversion=(int)5");
        g_object_set(setter, "caps", divx, "join", FALSE, nullptr);
        gst_caps_unref(divx);
        last = b.Link({encoder, setter}) ? setter : nullptr;
    } else if (entry->fourcc == QLatin1String("XVID")) {
        m_patchXvid = true; // written into the finished header
    }
    if (!last)
        return false;
    b.AddStream(last, true, true, true);
    if (audio) {
        GstElement* pcm = pcmAudioChain(m_infdecaudio, rate, 2);
        if (!pcm)
            return false;
        GstElement* audioLast = pcm;
        if (Encoders().mp3Available() && valueOf(Prm.wantMp3, true) &&
            factoryExists("lamemp3enc")) {
            GstElement* mp3 = b.Make("lamemp3enc", "mp3");
            g_object_set(mp3, "target", 1, "bitrate", TEncoderCatalog::Mp3Bitrate(), "cbr", TRUE,
                         nullptr);
            audioLast = b.Link({pcm, mp3}) ? mp3 : nullptr;
        }
        if (!audioLast)
            return false;
        b.AddStream(audioLast, false, false, false);
    }
    return b.OpenWriter(fileWriter("avimux"), fileName);
}
