#include "RecordingController.h"

#include "CaptureDevice.h"
#include "CaptureFormat.h"
#include "Dm.h"
#include "DvTransport.h"
#include "ImageList.h"
#include "Log.h"
#include "ParameterTable.h"
#include "Prompts.h"
#include "RecordingSettingsFromParameters.h"
#include "SceneDetect.h"
#include "SceneFile.h"
#include "Scheduler.h"
#include "Session.h"
#include "SourcesController.h"
#include "StillsController.h"
#include "SuperAction.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {
const QString kCaptureHint = QStringLiteral(
    "Capturer le flux vidéo ou audio actuel sur le disque dur.\r\nLa barre d'Espace permet "
    "aussi de lancer  la capture.");
const QString kPreparing = QStringLiteral("Préparation de la source…");
const QString kStopHint =
    QStringLiteral("Stopper la capture.\r\nLa barre d'Espace permer aussi de stopper la capture.");
} // namespace

TRecordingController::TRecordingController(TSession& session, Tdm& dm)
    : QObject(&session), m_session(session), m_dm(dm) {
    // One tick at a time: the next wait starts when the handler has run.
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(300);
    connect(m_timer, &QTimer::timeout, this, [this] {
        DroppedActionTimer();
        m_timer->start();
    });
    m_timer->start();
    m_stallClock.start();
    m_sourceWait = new QTimer(this);
    m_sourceWait->setInterval(100);
    connect(m_sourceWait, &QTimer::timeout, this, &TRecordingController::sourceWaitTick);

    connect(&m_dm, &Tdm::recordingStoppedByDiskReserve, this, [this](const QString& file) {
        // Complete only when it was checked so: another program may have filled the disk
        // meanwhile.
        stoppedByRecordingSide(
            (m_dm.lastPartWhole()
                 ? QStringLiteral("L'enregistrement de %1 a été arrêté : le disque est presque "
                                  "plein. Le fichier est complet.")
                 : QStringLiteral("L'enregistrement de %1 a été arrêté : le disque est plein. "
                                  "Le fichier n'a pas pu être terminé ; il sera réparé au "
                                  "prochain démarrage, une fois de la place libérée."))
                .arg(file));
    });
    connect(&m_dm, &Tdm::recordingEndedByError, this,
            [this](const QString& file, const QString& message) {
                stoppedByRecordingSide(
                    QStringLiteral("L'enregistrement de %1 a été arrêté : %2.").arg(file, message) +
                    (m_dm.lastPartWhole()
                         ? QString()
                         : QStringLiteral(" Le fichier n'a pas pu être terminé ; il sera réparé "
                                          "au prochain démarrage.")));
            });
    connect(&m_dm, &Tdm::recordingNeedsRollover, this, [this] {
        // A WAV or MP3 file is about to reach 4 GiB: the recording goes on in a new file.
        if (m_machine.recording())
            CutRecording();
    });
    // The folder of the file being written was removed: the recording goes on in a new file
    // in the folder made again, the part that lost its file is put back.
    connect(&m_dm, &Tdm::recordingFolderVanished, this, [this](const QString&, bool remade) {
        if (remade && m_machine.recording())
            CutRecording();
    });
    connect(&m_dm, &Tdm::recordingRescued, this, [this](const QString& file, const QString& put) {
        QString text =
            put.isEmpty()
                ? QStringLiteral("Le dossier de %1 a été supprimé pendant l'enregistrement : ce "
                                 "qui avait été enregistré n'a pas pu être sauvé.")
                      .arg(file)
            : put == file ? QStringLiteral("Le dossier de %1 a été supprimé pendant "
                                           "l'enregistrement : il a été recréé et ce qui avait "
                                           "été enregistré y a été remis.")
                                .arg(file)
                          : QStringLiteral("Le dossier de %1 a été supprimé pendant "
                                           "l'enregistrement : ce qui avait été enregistré a été "
                                           "remis dans %2.")
                                .arg(file, put);
        if (m_dm.hasRecordingBranch())
            text +=
                QStringLiteral(" L'enregistrement continue dans %1.").arg(m_dm.recordingFileName());
        if (!put.isEmpty() && put != file) {
            const qsizetype at = m_recorded.indexOf(file);
            if (at >= 0)
                m_recorded[at] = put;
            emit recordedFilesChanged();
        }
        qCWarning(lcVidorra).noquote() << text;
        QTimer::singleShot(
            0, this, [this, text] { prompts().warning(m_session.view().dialogParent(), text); });
    });
    connect(&m_dm, &Tdm::recordingPartFinished, this, &TRecordingController::partFinished);
    m_dm.onFrameByFrameEnd = [this](const QString& file, quint64 frames) {
        if (frames == 0 && m_recorded.removeAll(file) > 0)
            emit recordedFileDropped(file);
        emit recordedFilesChanged();
    };
    RecomputeNextName();
}

TRecordingController::~TRecordingController() = default;

// Commands run one at a time, in order: one that arrives while another is under way (a
// question box waits for its answer) or while a recording part is being finished runs once
// that is over.
void TRecordingController::post(std::function<void()> command) {
    if (m_dm.endingPart()) {
        m_dm.WhenIdle(this, [this, command = std::move(command)] { post(command); });
        return;
    }
    if (m_busy) {
        m_pending.append(std::move(command));
        return;
    }
    m_busy = true;
    command();
    while (!m_pending.isEmpty()) {
        if (m_dm.endingPart()) {
            // The rest waits for the part that a command began to end.
            for (auto& next : std::exchange(m_pending, {}))
                m_dm.WhenIdle(this, [this, next] { post(next); });
            break;
        }
        m_pending.takeFirst()();
    }
    m_busy = false;
}

void TRecordingController::RecomputeNextName() {
    if (!Prm.videoDirectory)
        return;
    // A format or a folder chosen while a part is written is for the next recording: the part
    // and its cuts keep the name and the extension of what they are written in.
    if (m_partOpen || m_waitingForSource) {
        m_nameStale = true;
        return;
    }
    m_nextName = m_naming.RecomputeVideoFileName(VideoNameSettings(Prm),
                                                 CaptureFormatExtension(Prm.captureFormat->Value));
    emit nextNameChanged(m_nextName);
    // Another folder may be on another disk.
    if (m_machine.state() == RecordingState::rsPreview)
        m_session.status().setText(3, freeSpaceText());
}

// What changed while a recording was being written now names the next one.
void TRecordingController::settleNextName() {
    if (std::exchange(m_nameStale, false))
        RecomputeNextName();
}

// ------------------------------------------------------------------ start and stop

bool TRecordingController::StartCapture() {
    const TPathProbe probe = RealPathProbe();
    if (m_machine.state() == RecordingState::rsPreview) {
        if (MustAskOverwriteVideo(m_nextName, Prm.confirmerVideo->Value, probe)) {
            const IPrompts::Answer a = prompts().question(
                m_session.view().dialogParent(), OverwriteVideoQuestion(m_nextName, true), true);
            if (a == IPrompts::All) {
                // The options panel shows it: no more questions.
                m_session.view().stopConfirmingVideo();
                Prm.confirmerVideo->Value = false;
            } else if (a != IPrompts::Yes) {
                uncheckCapture();
                return false;
            }
        }
        if (MustAskCreateFolder(m_nextName, Prm.confirmerVideo->Value, probe) &&
            prompts().question(m_session.view().dialogParent(),
                               CreateFolderQuestion(FolderPart(m_nextName))) != IPrompts::Yes) {
            uncheckCapture();
            return false;
        }
    }
    if (!QDir().mkpath(FolderPart(m_nextName))) {
        prompts().error(m_session.view().dialogParent(),
                        QStringLiteral("Impossible de créer le dossier %1 : "
                                       "l'enregistrement n'a pas commencé.")
                            .arg(FolderPart(m_nextName)));
        uncheckCapture();
        return false;
    }
    m_currentFile = m_nextName;
    m_partFormat = Prm.captureFormat->Value;
    if (sourcesPreparing()) {
        // The file starts with the source's first frame: none is made before it comes.
        m_waitingForSource = true;
        m_session.status().setText(2, kPreparing);
        m_session.status().setText(3, {});
        m_sourceWait->start();
        return true;
    }
    return beginRecordingPart();
}

bool TRecordingController::sourcesPreparing() const {
    TSourcesController* sources = m_session.sources();
    for (TavFlux* flux : {static_cast<TavFlux*>(sources ? sources->currentVideo() : nullptr),
                          static_cast<TavFlux*>(sources ? sources->currentAudio() : nullptr)})
        if (flux && flux->Device && flux->Device->Moniker.preparing &&
            flux->Device->Moniker.preparing())
            return true;
    return false;
}

// The source is ready: the recording asked for while it was being prepared begins.
void TRecordingController::sourceWaitTick() {
    if (!m_waitingForSource) {
        m_sourceWait->stop();
        return;
    }
    if (sourcesPreparing())
        return;
    m_sourceWait->stop();
    post([this] {
        if (!m_waitingForSource)
            return;
        m_waitingForSource = false;
        if (!beginRecordingPart()) {
            settleNextName();
            m_machine.Handle(RecordingEvent::StoppedBySelf);
        }
    });
}

// Opens the first part of a recording on m_currentFile.
bool TRecordingController::beginRecordingPart() {
    HaltGraph();

    TSourcesController* sources = m_session.sources();
    TVideoSource* video = sources ? sources->currentVideo() : nullptr;
    GstElement* detector = video ? video->SceneDetector() : nullptr;
    const uint8_t format = m_partFormat;
    // DivX from a DV camcorder: the picture is decoded at half size for the recording (the
    // preview restarts once), and at full size again afterwards.
    const TCaptureFormat* descriptor = CaptureFormatOf(format);
    if (descriptor && descriptor->divxResizer && detector && Prm.dvDemiSiDivX->Value &&
        !m_dm.dvHalfSize())
        rebuildDvPreview(true);
    if (!m_dm.BuildRecording(format, m_currentFile, detector, RecordingSettingsFrom(Prm))) {
        if (m_dm.dvHalfSize())
            rebuildDvPreview(false);
        uncheckCapture();
        prompts().error(
            m_session.view().dialogParent(),
            QStringLiteral("L'enregistrement n'a pas pu commencer.\r\n%1").arg(m_dm.lastError()));
        return false;
    }
    m_partOpen = true;
    m_stall.ResetLost(m_stallClock.elapsed());
    m_brokenAtPart = brokenPictures();
    setImageByImage(RecordsImageByImage(format));
    m_frameCount = 0;
    if (detector && !RecordsSoundOnly(format) && Prm.scn->Value)
        openSceneFile(m_currentFile);
    m_session.view().applyVolume();
    m_started = QDateTime::currentDateTime();
    // Device changes are not followed while recording; a lost device stops the recording.
    m_savedNotifier = Prm.notifier->Value;
    Prm.notifier->Value = false;
    if (!m_dm.RunGraph()) {
        // The graph says why (graphFailed); the part that could not be written goes.
        m_startFailed = true;
        HaltGraph();
        setImageByImage(false);
        Prm.notifier->Value = m_savedNotifier;
        uncheckCapture();
        return false;
    }
    addRecorded(m_currentFile);
    return true;
}

bool TRecordingController::StopCapture() {
    if (m_waitingForSource) {
        // Stopped before the source was ready: no file was made.
        m_waitingForSource = false;
        m_sourceWait->stop();
        m_session.status().setText(2, {});
        settleNextName();
    }
    HaltGraph();
    TSourcesController* sources = m_session.sources();
    const bool connected =
        !sources || ((!sources->currentVideo() || sources->currentVideo()->Connected) &&
                     (!sources->currentAudio() || sources->currentAudio()->Connected));
    setImageByImage(false);
    m_session.view().applyVolume();
    Prm.notifier->Value = m_savedNotifier;
    // The preview goes back to what it was once the file has its end.
    if (connected)
        m_dm.WhenIdle(this, [this] {
            if (m_dm.dvHalfSize())
                rebuildDvPreview(false);
            m_dm.RunGraph();
        });
    return connected;
}

void TRecordingController::rebuildDvPreview(bool halfSize) {
    TSourcesController* sources = m_session.sources();
    TVideoSource* video = sources ? sources->currentVideo() : nullptr;
    if (!video || !video->SceneDetector()) {
        m_dm.setDvHalfSize(false);
        return;
    }
    sources->DisconnectVideo(video, false);
    m_dm.setDvHalfSize(halfSize);
    if (sources->ConnectVideo(video))
        m_session.view().showVideo();
    m_dm.RunGraph();
}

// Ends the running recording part: its file is finished without waiting here (partFinished
// follows), the scene file closed, the next name computed.
void TRecordingController::HaltGraph() {
    if (!m_partOpen)
        return;
    m_partOpen = false;
    setImageByImage(false);
    if (m_dm.hasRecordingBranch() || m_dm.endingPart()) {
        // partFinished says when: after a cut under way, or an end the recording side began.
        m_awaitingEnd = true;
        m_dm.EndRecordingPart(); // the scene detector reports its last scene here
        m_haltedDropped = lostPictures();
        m_haltedScenes = closeSceneFile();
        return;
    }
    m_haltedDropped = lostPictures();
    m_haltedScenes = closeSceneFile();
    // The part ended by itself before (disk reserve, a failing branch): its file is done.
    partEnded(m_sideEndedComplete);
}

// The file of a part is finished: that of a cut, of a part ended here, or of one that the
// recording side ended by itself (its stop follows).
void TRecordingController::partFinished(const QString& file, bool complete) {
    if (m_dm.hasRecordingBranch())
        return; // the old file of a cut
    if (m_awaitingEnd) {
        m_awaitingEnd = false;
        m_haltedDropped = lostPictures();
        partEnded(complete);
        return;
    }
    m_sideEndedComplete = complete;
    if (!complete)
        qCWarning(lcVidorra) << "the part" << file << "ended by itself and was repaired";
}

void TRecordingController::partEnded(bool complete) {
    m_sideEndedComplete = true;
    const QString file = m_currentFile;
    const quint64 dropped = m_haltedDropped;
    const QString scn = std::exchange(m_haltedScenes, {});
    if (std::exchange(m_startFailed, false)) {
        // The graph never started: nothing was recorded, the name is for the next try.
        QFile::remove(file);
        if (!scn.isEmpty())
            QFile::remove(scn);
        settleNextName();
        return;
    }
    const bool empty = m_dm.lastPartEmpty();
    if (empty) {
        // Nothing reached the file: it was removed, with its scene list.
        if (!scn.isEmpty())
            QFile::remove(scn);
        if (m_recorded.removeAll(file) > 0) {
            emit recordedFileDropped(file);
            emit recordedFilesChanged();
        }
        const QString why =
            RecordsImageByImage(m_partFormat)
                ? QStringLiteral("Aucune image n'a été prise pendant l'enregistrement image par "
                                 "image : le fichier %1 n'a pas été écrit.")
                : QStringLiteral("L'enregistrement s'est arrêté avant d'avoir reçu une image ou "
                                 "un son : le fichier %1, vide, a été supprimé.");
        const QString text = why.arg(QDir::toNativeSeparators(file));
        qCWarning(lcVidorra).noquote() << text;
        // A close under way, with nobody to answer, only logs it.
        if (!m_closing)
            QTimer::singleShot(0, this, [this, text] {
                prompts().information(m_session.view().dialogParent(), text);
            });
    }
    // After a cut the next name was taken already and never used: it stays, unless the
    // settings it was made from changed meanwhile; then its number is made again.
    if (m_nextName == m_currentFile)
        m_nextName = m_naming.NextVideoFileName(VideoNameSettings(Prm),
                                                CaptureFormatExtension(Prm.captureFormat->Value));
    emit nextNameChanged(m_nextName);
    settleNextName();
    // Asked from the event loop, once the work waiting for this end has run: a box waiting
    // here would hold the end's caller.
    if (!empty && (!complete || (!scn.isEmpty() && dropped > 0)))
        QTimer::singleShot(0, this, [this, complete, file, dropped, scn] {
            if (!complete)
                prompts().warning(m_session.view().dialogParent(),
                                  QStringLiteral("L'enregistrement de %1 ne s'est pas terminé "
                                                 "à temps : le fichier a été réparé et peut "
                                                 "être relu.")
                                      .arg(file));
            if (!scn.isEmpty() && dropped > 0 &&
                prompts().question(m_session.view().dialogParent(),
                                   TSceneFile::DroppedFramesQuestion(int(dropped), scn)) ==
                    IPrompts::Yes)
                QFile::remove(scn);
        });
}

void TRecordingController::CutRecording() {
    post([this] {
        if (!m_machine.recording() || !m_partOpen)
            return;
        // A cut happens while recording, where no question can wait: it never overwrites a
        // file, it takes the next free number.
        const uint8_t format = m_partFormat;
        QString newFile =
            m_naming.NextVideoFileName(VideoNameSettings(Prm), CaptureFormatExtension(format));
        for (int tries = 0; QFileInfo::exists(newFile) && tries < 10000; ++tries)
            newFile =
                m_naming.NextVideoFileName(VideoNameSettings(Prm), CaptureFormatExtension(format));
        if (m_sceneDetector)
            g_signal_emit_by_name(m_sceneDetector, "end-part");
        closeSceneFile();
        if (CaptureFormatOf(format) && !m_dm.SplitRecording(newFile)) {
            prompts().error(m_session.view().dialogParent(),
                            QStringLiteral("Impossible de continuer l'enregistrement "
                                           "dans %1.\r\n%2")
                                .arg(newFile, m_dm.lastError()));
            return;
        }
        m_currentFile = newFile;
        m_nextName =
            m_naming.NextVideoFileName(VideoNameSettings(Prm), CaptureFormatExtension(format));
        emit nextNameChanged(m_nextName);
        TVideoSource* video = m_session.sources() ? m_session.sources()->currentVideo() : nullptr;
        if (video && video->SceneDetector() && !RecordsSoundOnly(format) && Prm.scn->Value)
            openSceneFile(m_currentFile);
        addRecorded(m_currentFile);
        m_frameCount = 0;
        m_session.view().applyVolume();
    });
}

void TRecordingController::GraphDeviceLost(bool sourceChanged) {
    if (!m_machine.recording() || !m_partOpen)
        return;
    const QString file = m_currentFile;
    // Without its source the recording cannot go on: it ends as a stop would (the file
    // finalised while the source is still in the graph), so that the window does not go on
    // showing a recording that writes nothing.
    StopCapture();
    // Told once the file is closed, from the event loop: a question box waiting here would
    // let the change of source that called this run under it.
    post([this, file, sourceChanged] {
        m_machine.Handle(RecordingEvent::StoppedBySelf);
        prompts().warning(m_session.view().dialogParent(),
                          (sourceChanged ? QStringLiteral("La source de l'enregistrement a été "
                                                          "changée. Le fichier %1 a été fermé.")
                                         : QStringLiteral("La source de l'enregistrement a été "
                                                          "perdue. Le fichier %1 a été fermé."))
                              .arg(file));
    });
}

void TRecordingController::stoppedByRecordingSide(const QString& message) {
    post([this, message] {
        m_machine.Handle(RecordingEvent::StoppedBySelf);
        prompts().warning(m_session.view().dialogParent(), message);
    });
}

void TRecordingController::FallBackToNoVideo() {
    HaltGraph();
    DisarmAlarm();
    m_session.view().showNoVideo();
}

void TRecordingController::setImageByImage(bool on) {
    if (on == m_imageByImage)
        return;
    m_imageByImage = on;
    emit imageByImageChanged(on);
}

bool TRecordingController::takeImageByImageFrame() {
    if (!m_imageByImage)
        return false;
    ++m_frameCount;
    m_dm.GrantFrame();
    return true;
}

void TRecordingController::addRecorded(const QString& file) {
    m_recorded.append(file);
    emit fileRecorded(file);
    emit recordedFilesChanged();
}

// ------------------------------------------------------------------ scene file

void TRecordingController::openSceneFile(const QString& recordingFile) {
    TVideoSource* video = m_session.sources() ? m_session.sources()->currentVideo() : nullptr;
    GstElement* detector = video ? video->SceneDetector() : nullptr;
    if (!detector)
        return;
    auto file = std::make_unique<TSceneFile>();
    if (!file->Open(TSceneFile::PathFor(recordingFile))) {
        qCWarning(lcVidorra) << "scene list not written for" << recordingFile;
        return;
    }
    closeSceneFile(); // a list still open stops being written first
    m_sceneFile = std::move(file);
    m_sceneDetector = detector;
    // Runs on the streaming thread (or the one ending the part): the record is in the file
    // when the detector goes on.
    auto writeScene =
        +[](GstElement*, const TDVFrameInfo* start, const TDVFrameInfo* now, gpointer sceneFile) {
            static_cast<TSceneFile*>(sceneFile)->Scene(*start, *now);
        };
    m_sceneHandler = g_signal_connect(detector, "scene", G_CALLBACK(writeScene), m_sceneFile.get());
    g_object_set(detector, "emit-signals", TRUE, nullptr);
}

QString TRecordingController::closeSceneFile() {
    if (!m_sceneFile)
        return {};
    if (m_sceneDetector) {
        // After its end-of-part report; once emit-signals is off no handler runs any more,
        // so the file can go.
        g_object_set(m_sceneDetector, "emit-signals", FALSE, nullptr);
        g_signal_handler_disconnect(m_sceneDetector, m_sceneHandler);
    }
    m_sceneDetector = nullptr;
    m_sceneHandler = 0;
    const QString path = m_sceneFile->Path();
    m_sceneFile->Close();
    m_sceneFile.reset();
    return path;
}

// ------------------------------------------------------------------ states and texts

// The schedule's alarm.
bool TRecordingController::ArmStartAlarm() {
    return m_session.scheduler() && m_session.scheduler()->ArmStartAlarm();
}

bool TRecordingController::ArmEndAlarm() {
    return m_session.scheduler() && m_session.scheduler()->ArmEndAlarm();
}

void TRecordingController::DisarmAlarm() {
    if (m_session.scheduler())
        m_session.scheduler()->DisarmAlarm();
}

void TRecordingController::uncheckCapture() {
    if (TCustomSuperAction* capture = m_session.action(QStringLiteral("saCapturerBascule")))
        capture->SetChecked(false);
}

// A main-list action run as the user would run it, where there is one.
void TRecordingController::runAction(const char* name) {
    if (TCustomSuperAction* a = m_session.action(QLatin1String(name)))
        a->executeInteractive(m_session.view().dialogParent());
}

void TRecordingController::setCaptureActionLook(bool recording) {
    TCustomSuperAction* capture = m_session.action(QStringLiteral("saCapturerBascule"));
    if (!capture)
        return;
    const uint8_t format = Prm.captureFormat->Value;
    const bool noVideo = !m_session.sources() || !m_session.sources()->currentVideo();
    capture->setText(recording ? QStringLiteral("Stop Capture") : QStringLiteral("Capturer"));
    capture->setToolTip(recording ? kStopHint : kCaptureHint);
    const int image = recording                               ? ImageList::imStopCapture
                      : (noVideo || RecordsSoundOnly(format)) ? ImageList::imCaptureAudio
                                                              : ImageList::imCapture;
    capture->setImageindex(image);
    capture->setIcon(ImageList::icon(image));
    capture->setCheckable(true);
    capture->setChecked(recording);
}

void TRecordingController::EnterState(RecordingState state) {
    const bool recording =
        state == RecordingState::rsRecording || state == RecordingState::rsProgrammedRecording;
    const bool programmed =
        state == RecordingState::rsProgrammed || state == RecordingState::rsProgrammedRecording;
    m_session.view().showRecordingState(state, Prm.freezeCapture && Prm.freezeCapture->Value);
    m_session.enableAction(QStringLiteral("acCouper"), recording);
    m_session.enableAction(QStringLiteral("taLock"), !recording);
    setCaptureActionLook(recording);
    if (state == RecordingState::rsPreview) {
        const bool haveSource = m_session.sources() && (m_session.sources()->currentVideo() ||
                                                        m_session.sources()->currentAudio());
        m_session.enableAction(QStringLiteral("saCapturerBascule"), haveSource);
    }
    if (TCustomSuperAction* schedule = m_session.action(QStringLiteral("acProgrammerBascule"))) {
        schedule->setText(programmed ? QStringLiteral("Stop Prog") : QStringLiteral("Prog"));
        schedule->setToolTip(programmed ? QStringLiteral("Interrompre la programmation")
                                        : QStringLiteral("Lancer la programmation"));
        schedule->setIcon(
            ImageList::icon(programmed ? ImageList::imStopProgram : ImageList::imProgram));
    }

    const uint8_t format = Prm.captureFormat->Value;
    switch (state) {
    case RecordingState::rsPreview:
        UpdateStatusTexts();
        break;
    case RecordingState::rsRecording:
        m_session.status().setText(
            1, sourceSummary(!RecordsSoundOnly(format), !RecordsImageByImage(format)));
        m_session.status().setRedSuffix({});
        break;
    case RecordingState::rsProgrammed:
        m_session.status().setText(1, QStringLiteral("programmation") + effectsText());
        m_session.status().setRedSuffix(
            Prm.wantHorzFlip->Value && m_session.videoReady ? QStringLiteral(" h") : QString());
        break;
    case RecordingState::rsProgrammedRecording:
        break;
    }
    ShowProgrammedTimes();
    emit stateEntered(state);
}

void TRecordingController::ShowProgrammedTimes() {
    if (m_machine.state() == RecordingState::rsProgrammed) {
        m_session.status().setText(3, QStringLiteral("début à ") +
                                          startTime.toString(QStringLiteral("hh:mm:ss")));
    } else if (m_machine.state() == RecordingState::rsProgrammedRecording) {
        m_session.status().setText(1, QStringLiteral("capture jusqu'à ") +
                                          endTime.toString(QStringLiteral("hh:mm:ss")));
        m_session.status().setRedSuffix({});
    }
}

QString TRecordingController::effectsText() const {
    QString text;
    if (Prm.muteOn->Value)
        text += QStringLiteral(" mute");
    const TCustomSuperAction* inlay = m_session.action(QStringLiteral("taIncruster"));
    if (inlay && inlay->isChecked() && m_session.videoReady)
        text += QStringLiteral(" in");
    text += Prm.wideScreen->Value ? QStringLiteral(" 16x9") : QStringLiteral(" 4x3");
    if (Prm.wantVertFlip->Value && m_session.videoReady)
        text += QStringLiteral(" v");
    return text;
}

QString TRecordingController::sourceSummary(bool withVideo, bool withAudio) const {
    QString text;
    TSourcesController* sources = m_session.sources();
    if (withVideo && sources && sources->currentVideo())
        text = QStringLiteral("Vid: ") + sources->currentVideo()->Name.left(3).toUpper();
    if (withAudio && sources && sources->currentAudio()) {
        if (!text.isEmpty())
            text += QStringLiteral(" - ");
        text += QStringLiteral("Aud: ") + sources->currentAudio()->Name.left(3);
    }
    if (!text.isEmpty())
        text += QStringLiteral("=>") + CaptureFormatShortLabel(Prm.captureFormat->Value);
    return text;
}

QString TRecordingController::freeSpaceText() const {
    // The drive of the next file: the filesystem holding its folder (or the nearest parent).
    QString folder = FolderPart(m_nextName);
    while (!folder.isEmpty() && !QFileInfo::exists(folder))
        folder = QFileInfo(folder).path() == folder ? QString() : QFileInfo(folder).path();
    const QStorageInfo storage(folder.isEmpty() ? QDir::homePath() : folder);
    const qint64 mib = storage.isValid() ? storage.bytesAvailable() / 1048576 : 0;
    // The mount point as it is: a Linux path has no drive letter to write in capitals.
    return QStringLiteral("%1 mo libres sur %2").arg(mib).arg(storage.rootPath());
}

void TRecordingController::UpdateStatusTexts() {
    if (!Prm.extensionDesImages)
        return;
    UpdateIntervalometerText();
    m_session.status().setText(1, QStringLiteral("Prévisualisation") + effectsText());
    m_session.status().setRedSuffix(
        Prm.wantHorzFlip->Value && m_session.videoReady ? QStringLiteral(" h") : QString());
    const QString summary = sourceSummary(true, true);
    if (!summary.isEmpty())
        m_session.status().setText(2, summary);
    m_session.status().setText(3, freeSpaceText());
}

void TRecordingController::UpdateIntervalometerText() {
    if (!Prm.extensionDesImages)
        return;
    const QString kind =
        Prm.extensionDesImages->Value == 1 ? QStringLiteral("JPG - ") : QStringLiteral("BMP - ");
    const QString interval = m_session.stills() ? m_session.stills()->intervalText() : QString();
    if (interval.isEmpty())
        m_session.status().setText(0, kind + QStringLiteral("Intervallomètre désactivé"));
    else
        m_session.status().setText(0, kind + interval, TStatusTexts::Tone::Fault);
}

QString TRecordingController::DurationText(qint64 seconds) {
    return QString::asprintf("durée %d:%.2d :%.2d", int((seconds / 3600) % 24),
                             int((seconds / 60) % 60), int(seconds % 60));
}

// A source that stops sending pictures is said in the status bar (and logged), and while it
// records, the time counts as lost; a deck stopped or winding is said to stand.
void TRecordingController::tickStallWatch() {
    TSourcesController* sources = m_session.sources();
    TVideoSource* video = sources ? sources->currentVideo() : nullptr;
    IDvTransport* deck =
        video && video->HasTransport && video->Device ? video->Device->Transport() : nullptr;
    const IDvTransport::Mode mode = deck ? deck->mode() : IDvTransport::ED_MODE_PLAY;
    const bool standing = mode == IDvTransport::ED_MODE_STOP || mode == IDvTransport::ED_MODE_FF ||
                          mode == IDvTransport::ED_MODE_REW;
    const bool watching = video && m_dm.runsOrStarts() && !m_waitingForSource;
    const TStallWatch::State before = m_stall.state();
    if (!m_stall.Tick(m_stallClock.elapsed(), m_dm.sourceFrames(), watching, standing))
        return;
    const QString name = video ? video->Name : QString();
    // A plug-in's source is said with the plug-in that serves it.
    const QString module = video && video->Device ? video->Device->PluginFile() : QString();
    const QString shown = module.isEmpty() ? QStringLiteral("« %1 »").arg(name)
                                           : QStringLiteral("« %1 » (module %2)").arg(name, module);
    if (before == TStallWatch::State::Flowing)
        m_panel1BeforeStall = m_session.status().text(1);
    switch (m_stall.state()) {
    case TStallWatch::State::Stalled: {
        const QString text = QStringLiteral("%1 n'envoie plus d'images").arg(shown);
        qCWarning(lcVidorra).noquote()
            << QStringLiteral("La source vidéo %1 n'envoie plus d'images depuis %2 s%3.")
                   .arg(shown)
                   .arg(TStallWatch::kStallMs / 1000)
                   .arg(m_machine.recording()
                            ? QStringLiteral(" : le temps sans image est compté comme perdu")
                            : QString());
        m_session.status().setText(1, text, TStatusTexts::Tone::Fault);
        break;
    }
    case TStallWatch::State::Standing:
        m_session.status().setText(1, QStringLiteral("Platine à l'arrêt : Play pour l'image"),
                                   TStatusTexts::Tone::Deck);
        break;
    case TStallWatch::State::Flowing:
        if (before == TStallWatch::State::Stalled && watching)
            qCInfo(lcVidorra).noquote()
                << QStringLiteral("La source vidéo « %1 » envoie de nouveau des images.").arg(name);
        m_session.status().setText(1, m_panel1BeforeStall);
        break;
    }
}

void TRecordingController::DroppedActionTimer() {
    if (TSourcesController* sources = m_session.sources())
        m_session.view().refreshTransport(sources->currentVideo(), sources->currentAudio());
    tickStallWatch();
    tickPlugInWatch();
    if (!m_machine.recording() || !Prm.captureFormat)
        return;
    if (m_waitingForSource) {
        m_session.status().setText(2, kPreparing);
        return;
    }
    m_session.status().setText(
        2, DurationText(std::max<qint64>(0, m_started.secsTo(QDateTime::currentDateTime()))));
    QString panel3;
    const TCaptureFormat* format =
        CaptureFormatOf(m_partOpen ? m_partFormat : Prm.captureFormat->Value);
    if (format && format->streams == TFormatStreams::ImageByImage) {
        panel3 = QStringLiteral("Image/Image: ") + QString::asprintf("%d frames", m_frameCount);
    } else if (format && format->streams == TFormatStreams::SoundOnly) {
        panel3 = QString::fromUtf8(format->statusText);
    } else {
        // Pictures the source did not send while it stalled are lost too.
        const double frameMs = 1000.0 / m_dm.videoFormat().frameRate();
        const quint64 dropped =
            lostPictures() + quint64(m_stall.lostMs(m_stallClock.elapsed()) / frameMs);
        panel3 = QString::asprintf("%d frames perdues / %d", int(dropped),
                                   int(dropped + m_dm.recordedFrames()));
    }
    m_session.status().setText(3, panel3);
}

// ------------------------------------------------------------------ freezing and the lock

void TRecordingController::SetCaptureFrozen(bool frozen) {
    Prm.freezeCapture->Value = frozen;
    m_dm.SetCaptureFrozen(frozen);
    m_session.view().showRecordingState(m_machine.state(), frozen);
}

void TRecordingController::ApplyPreviewLock() {
    TSourcesController* sources = m_session.sources();
    TVideoSource* video = sources ? sources->currentVideo() : nullptr;
    TAudioSource* audio = sources ? sources->currentAudio() : nullptr;
    const bool locked = Prm.previewLocked->Value;
    // Choosing sources below comes back here through the source lists.
    m_applyingLock = true;
    auto ratios = [this](bool normal, bool r4x3, bool r16x9, bool natif) {
        m_session.enableAction(QStringLiteral("saRatioNormal"), normal);
        m_session.enableAction(QStringLiteral("saRatio4x3"), r4x3);
        m_session.enableAction(QStringLiteral("saRatio16x9"), r16x9);
        m_session.enableAction(QStringLiteral("saRatioNatif"), natif);
    };
    auto aspectNormal = [this] {
        Prm.aspectRatio->Value = 0;
        m_session.view().applyAspectRatio();
    };
    const TCaptureFormat* format = CaptureFormatOf(Prm.captureFormat->Value);
    if (locked) {
        if (format && format->streams == TFormatStreams::SoundOnly) {
            if (video && sources) {
                m_session.videoReady = false;
                sources->SelectVideoSource(TSourcesController::kNoVideo);
            }
        } else if (format) {
            m_session.videoReady = EffectsPossible();
            if (!m_session.videoReady) {
                // The stream is recorded as it comes: the preview shows it in its own shape.
                aspectNormal();
                ratios(true, false, false, false);
            } else {
                switch (format->lock.ratios) {
                case TPreviewLock::Ratios::ByWindowShape:
                    runAction(m_session.view().videoWindowNarrow() ? "saRatio4x3" : "saRatio16x9");
                    ratios(false, true, true, false);
                    break;
                case TPreviewLock::Ratios::NarrowOnly:
                    runAction("saRatio4x3");
                    ratios(false, true, false, false);
                    break;
                case TPreviewLock::Ratios::UsersChoice: {
                    const char* names[] = {"saRatioNormal", "saRatio4x3", "saRatio16x9",
                                           "saRatioNatif"};
                    runAction(names[std::min<int>(Prm.aspectRatio->Value, 3)]);
                    break;
                }
                case TPreviewLock::Ratios::Untouched:
                    break;
                }
            }
            if (format->lock.soundOfVideoDevice && video && audio &&
                audio->Device != video->Device && sources) {
                for (const auto& a : sources->lists().audio)
                    if (a->Device == video->Device) {
                        sources->SelectAudioSource(a->Name);
                        break;
                    }
            }
            // Image by image records no sound.
            if (format->streams == TFormatStreams::ImageByImage && audio && sources)
                sources->SelectAudioSource(TSourcesController::kNoAudio);
        }
        m_session.view().setRatioChoicesEnabled(false);
    } else {
        m_session.videoReady = video != nullptr;
        ratios(true, true, true, true);
        m_session.view().setRatioChoicesEnabled(true);
        if (sources && !Prm.wantAudioSource->Value.isEmpty())
            sources->SelectAudioSource(Prm.wantAudioSource->Value);
    }
    m_applyingLock = false;
    ApplyEffects();
}

// The effects the preview can show for the present sources and format: with the lock, what
// the format records; without it, whatever has a picture.
bool TRecordingController::EffectsPossible() const {
    TSourcesController* sources = m_session.sources();
    TVideoSource* video = sources ? sources->currentVideo() : nullptr;
    if (!Prm.previewLocked->Value)
        return video != nullptr;
    const TCaptureFormat* format = CaptureFormatOf(Prm.captureFormat->Value);
    if (!format)
        return video != nullptr;
    switch (format->lock.effects) {
    case TPreviewLock::Effects::Off:
        return false;
    case TPreviewLock::Effects::UnlessDvSource:
        return !(video && video->SceneDetector());
    case TPreviewLock::Effects::On:
        break;
    }
    return true;
}

void TRecordingController::SourcesOrFormatChanged() {
    // The lock applies its own rules, then the effects, once it has chosen the sources.
    if (m_applyingLock)
        return;
    m_session.videoReady = EffectsPossible();
    ApplyEffects();
}

// The inlay and both flips again, each active only when wanted and possible.
void TRecordingController::ApplyEffects() {
    TSourcesController* sources = m_session.sources();
    TVideoSource* video = sources ? sources->currentVideo() : nullptr;
    const bool effects = m_session.videoReady && video;
    m_session.setOverlayIncrust(Prm.wantIncrust->Value && m_session.videoReady);
    m_session.setOverlayFlip(true, Prm.wantVertFlip->Value && m_session.videoReady);
    m_session.setOverlayFlip(false, Prm.wantHorzFlip->Value && m_session.videoReady);
    for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"})
        m_session.enableAction(QLatin1String(name), effects);
    // In the other states the status bar shows the state's own texts.
    if (m_machine.state() == RecordingState::rsPreview)
        UpdateStatusTexts();
}
