// The graph module's recording branches: one per capture format, added to the running
// pipeline and taken out again at the end of each part; a cut swaps the file only.
#include "CaptureFormat.h"
#include "DeviceKinds.h"
#include "Dm.h"
#include "FormatBuild.h"
#include "Log.h"
#include "RecordingBranch.h"
#include "RecoveryJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

// The DV type 1 writer the DV device puts behind its interleaved stream.
const bool kType1WriterInstalled = [] {
    TDVCaptureDevice::SetType1WriterFactory([](const QString& fileName) {
        return std::vector<GstElement*>{gst_element_factory_make("vr_dvavimux", nullptr),
                                        MakeRecordingFileSink(fileName)};
    });
    return true;
}();

} // namespace

// ------------------------------------------------------------------ settings and rules

int Tdm::captureAudioRate(GstElement* sceneDetector, const TRecordingSettings& settings) const {
    const int current = m_audioFormat.rate;
    if (settings.garderFormatDV && sceneDetector && settings.frequenceDVNative &&
        (current == 32000 || current == 44100 || current == 48000))
        return current;
    return AudioRateOfFrequenceDV(settings.frequenceDV);
}

// ------------------------------------------------------------------ the builds

bool Tdm::BuildRecording(uint8_t format, const QString& fileName, GstElement* sceneDetector,
                         const TRecordingSettings& settings) {
    m_lastError.clear();
    const TCaptureFormat* descriptor = CaptureFormatOf(format);
    if (!descriptor) {
        if (format == cfNone || format == cfDefault)
            return true;
        m_lastError = QStringLiteral("Ce format d'enregistrement n'est pas disponible.");
        return false;
    }
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
    m_recordingSettings = settings;
    m_partFramesBase = 0;
    m_partFedBase = 0;
    m_pluginWrites = false;
    m_lastPartEmpty = false;
    m_lastRecordedFrames = 0;
    m_patchFourcc.clear();
    m_riffSized = false;
    m_rolloverAsked = false;
    m_lastCheckedSize = 0;
    TRecordingJournal().Add(fileName, descriptor->streams == TFormatStreams::ImageByImage
                                          ? m_recordingSettings.framerate
                                          : 0.0);
    // The branch's streaming threads say when what an end waits for has come; the end moves
    // on here, on this thread.
    m_recording->SetWake(
        [this] { QMetaObject::invokeMethod(this, &Tdm::advancePart, Qt::QueuedConnection); });
    TFormatBuild build(*this, *descriptor, fileName, sceneDetector, m_recordingSettings);
    // While a recording runs, its branch leaves the frozen stretches out.
    for (GstElement* gate : {m_captureVideoGate, m_captureAudioGate})
        if (gate)
            g_object_set(gate, "frozen", FALSE, nullptr);
    if (m_captureFrozen)
        m_recording->SetFrozen(true);
    const bool ok = descriptor->build(build) && m_recording->Start();
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
    SetDecodedVideoNeeded(build.needsDecodedVideo());
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

// The device's own file (DV type 1): the device either hands the recording branch its stream
// and the writer of each file (so that a cut swaps the writer within the branch), or writes
// the file itself (a plug-in), part after part.
bool Tdm::buildDeviceMux(TFormatBuild& build) {
    const QString fileName = build.fileName();
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
    GstElement* gate = build.VideoGate(muxTee, false, false);
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
