// The parts of a recording: the end of a part and the cut to a new file, both going on in the
// event loop once begun, the work that waits for them, and the disk watch while a part is
// written.
#include "Dm.h"

#include "AppPaths.h"
#include "AviFourcc.h"
#include "CaptureDevice.h"
#include "CaptureFormat.h"
#include "Log.h"
#include "PatchFrameRate.h"
#include "RecordingBranch.h"
#include "RecoveryJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

} // namespace

// ------------------------------------------------------------------ parts

// The folder of the file being written was removed (the file with it): what was written
// lives on in the open file only. A descriptor of our own keeps it; the folder is made again
// and the recording goes on there in a new part (recordingFolderVanished); the part that
// lost its file is put back once finished (rescueFile).
void Tdm::folderVanished(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    int keep = -1;
    QDir fds(QStringLiteral("/proc/self/fd"));
    const QString deleted = file + QStringLiteral(" (deleted)");
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        char target[4096];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        if (n <= 0 || QFile::decodeName(QByteArray(target, int(n))) != deleted)
            continue;
        keep = ::open(link.constData(), O_RDONLY | O_CLOEXEC);
        if (keep >= 0)
            break;
    }
    const bool remade = QDir().mkpath(folder) && QFileInfo(folder).isWritable();
    qCWarning(lcVidorra) << "the folder of" << file << "was removed during the recording;"
                         << (keep >= 0 ? "its data is kept" : "its data could not be found")
                         << (remade ? "and the folder made again" : "and cannot be made again");
    m_rescues.insert(file, keep);
    emit recordingFolderVanished(file, remade);
    // Without a folder to go on in, the part ends here (and is put back elsewhere).
    if (!remade && m_recording && !m_ending)
        endPart([this, file] {
            emit recordingEndedByError(
                file, QStringLiteral("son dossier a été supprimé et ne peut pas être recréé"));
        });
}

// Puts back the file of a part whose folder vanished, from the descriptor kept: at its
// place when the folder is there again, else in the user's video folder. Empty when nothing
// could be put back.
QString Tdm::rescueFile(const QString& fileName) {
    const int fd = m_rescues.take(fileName);
    if (fd < 0)
        return {};
    const QFileInfo name(fileName);
    QString target = fileName;
    if (!QDir().mkpath(name.absolutePath()) || QFileInfo::exists(fileName))
        target = AppPaths::userVideoDir() + name.fileName();
    // Never over a file that is there: a name of its own.
    for (int n = 2; QFileInfo::exists(target) && n < 1000; ++n)
        target = AppPaths::userVideoDir() + name.completeBaseName() +
                 QStringLiteral("_recupere%1.").arg(n) + name.suffix();
    QFile out(target);
    bool ok = !QFileInfo::exists(target) && out.open(QIODevice::WriteOnly);
    char buffer[1 << 16];
    off_t at = 0;
    for (ssize_t n; ok && (n = ::pread(fd, buffer, sizeof buffer, at)) > 0; at += n)
        ok = out.write(buffer, n) == n;
    ok = ok && out.flush();
    out.close();
    ::close(fd);
    if (!ok) {
        QFile::remove(target);
        return {};
    }
    return target;
}

// What a finished part still needs: the fourcc, the frame rate of an image-by-image file,
// the repair of a file whose end was not written, and its leaving the journal.
void Tdm::finishRecordedFile(const QString& fileName, bool complete, quint64 frames) {
    m_lastPartWhole = true;
    if (m_rescues.contains(fileName)) {
        const QString put = rescueFile(fileName);
        emit recordingRescued(fileName, put);
        TRecordingJournal().Remove(fileName);
        if (put.isEmpty()) {
            m_lastPartWhole = false;
            return;
        }
        // The copy plays whole once its end is checked (a part cut short gets repaired).
        if (RepairRecordingOutcome(put) == TRepairOutcome::Failed)
            m_lastPartWhole = false;
        if (!m_patchFourcc.isEmpty())
            PatchAviVideoFourcc(put, m_patchFourcc.constData());
        if (RecordsImageByImage(m_recordingFormat) && frames >= 1)
            PatchFrameRate(put, m_recordingSettings.framerate);
        return;
    }
    if (m_lastPartEmpty) {
        QFile::remove(fileName);
        TRecordingJournal().Remove(fileName);
        if (RecordsImageByImage(m_recordingFormat) && onFrameByFrameEnd)
            onFrameByFrameEnd(fileName, frames);
        return;
    }
    // An ASF file is written as a stream; its header gets its length at the end. A part
    // ended by trouble (the disk full, a failing element) is checked too: only a file that
    // plays whole leaves the journal; another is repaired at the next start.
    TRepairOutcome outcome = TRepairOutcome::Intact;
    const TCaptureFormat* descriptor = CaptureFormatOf(m_recordingFormat);
    const bool checkEveryEnd = descriptor && descriptor->checkEveryEnd;
    if ((!complete || checkEveryEnd || std::exchange(m_checkEnd, false)) &&
        QFileInfo::exists(fileName))
        outcome = RepairRecordingOutcome(fileName);
    m_lastPartWhole = outcome != TRepairOutcome::Failed;
    if (!m_patchFourcc.isEmpty() && QFileInfo::exists(fileName))
        PatchAviVideoFourcc(fileName, m_patchFourcc.constData());
    if (RecordsImageByImage(m_recordingFormat))
        PatchFrameRate(fileName, m_recordingSettings.framerate);
    if (m_lastPartWhole)
        TRecordingJournal().Remove(fileName);
    else
        qCWarning(lcVidorra) << "recording" << fileName
                             << "could not be finished: it is repaired at the next start";
    if (RecordsImageByImage(m_recordingFormat) && onFrameByFrameEnd)
        onFrameByFrameEnd(fileName, frames);
}

void Tdm::EndRecordingPart() {
    if (!m_recording)
        return;
    if (m_ending) {
        // A cut is under way: the end follows it (an end already under way is enough).
        if (m_cutting)
            m_endAfterCut = true;
        return;
    }
    endPart({});
}

int Tdm::longestEndMs() {
    // Its queues hold 3 s of media, which an encoder or a disk at a sixth of the real pace
    // still gets through in this time.
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VIDORRA_LONGEST_END_MS", &ok);
    return ok && ms >= 0 ? ms : 20000;
}

void Tdm::endPart(std::function<void()> then) {
    m_ending = true;
    m_cutting = false;
    m_endThen = std::move(then);
    if (m_diskTimer)
        m_diskTimer->stop();
    // The scene list gets its last scene before the file ends.
    if (m_recordingDetector)
        g_signal_emit_by_name(m_recordingDetector, "end-part");
    if (m_deviceMux) {
        // A plug-in finishes its file before it returns (3 s at most, as its header says).
        const QString file = recordingFileName();
        const bool finished = m_deviceMux->KillMuxGraph(*this);
        m_deviceMux = nullptr;
        m_recording->TearDown();
        const quint64 frames = m_recording->frames() - m_partFramesBase;
        QMetaObject::invokeMethod(
            this, [this, file, finished, frames] { partFinished(file, finished, frames); },
            Qt::QueuedConnection);
        return;
    }
    m_recording->BeginEnd(m_endWaitMs, longestEndMs());
    startEndTimer();
}

// The timer that keeps the time limits of an end or a cut.
void Tdm::startEndTimer() {
    if (!m_endTimer) {
        m_endTimer = new QTimer(this);
        m_endTimer->setInterval(10);
        connect(m_endTimer, &QTimer::timeout, this, &Tdm::advancePart);
    }
    m_endTimer->start();
}

// Moves the end or the cut under way on: called by the branch's wake-up (queued from its
// streaming threads) and by the timer that keeps its time limits.
void Tdm::advancePart() {
    if (!m_ending || !m_recording || !m_recording->busy())
        return;
    if (!m_recording->Advance())
        return;
    if (m_endTimer)
        m_endTimer->stop();
    const QString file = m_recording->finishedFile();
    const bool finished = m_recording->fileFinished();
    if (m_cutting) {
        partFinished(file, finished, m_cutFrames);
        return;
    }
    partFinished(file, finished, m_recording->frames() - m_partFramesBase);
}

// A part's file is finished: an ended part takes its branch out, a cut goes on in its new
// file; the file gets what it still needs, the waiting work runs.
void Tdm::partFinished(const QString& fileName, bool complete, quint64 frames) {
    const bool cut = m_cutting;
    m_cutting = false;
    // A part that received nothing at all (stopped before the first picture or sample, an
    // image-by-image recording without a grab) leaves no file that plays: it is removed.
    // A plug-in writes its own file: what it got is not counted here.
    m_lastPartEmpty =
        !cut && m_recording && !m_pluginWrites &&
        (RecordsImageByImage(m_recordingFormat) ? frames == 0
                                                : m_recording->fed() == m_partFedBase);
    if (!cut) {
        m_lastRecordedFrames = frames;
        m_lastDroppedFrames = m_recording ? m_recording->dropped() : 0;
        m_recording.reset();
        SetDecodedVideoNeeded(false);
        if (m_dvHeader)
            g_object_set(m_dvHeader, "scene-source", nullptr, nullptr);
    } else if (m_recording && m_diskTimer) {
        m_diskTimer->start();
    }
    finishRecordedFile(fileName, complete, frames);
    m_ending = false;
    emit recordingPartFinished(fileName, complete);
    if (auto then = std::exchange(m_endThen, {}))
        then();
    if (cut && std::exchange(m_endAfterCut, false))
        EndRecordingPart();
    runDeferred();
}

void Tdm::WhenIdle(QObject* context, std::function<void()> work) {
    if (!m_ending && m_deferred.empty()) {
        work();
        return;
    }
    m_deferred.push_back({context, std::move(work)});
    if (!m_ending)
        runDeferred();
}

void Tdm::runDeferred() {
    if (m_runningDeferred)
        return;
    m_runningDeferred = true;
    // Each piece of work may start another end: the rest waits for that one.
    while (!m_ending && !m_deferred.empty()) {
        Deferred next = std::move(m_deferred.front());
        m_deferred.pop_front();
        if (next.context)
            next.work();
    }
    m_runningDeferred = false;
}

bool Tdm::SplitRecording(const QString& newFileName) {
    if (!m_recording || m_ending)
        return false;
    if (m_recordingDetector)
        g_signal_emit_by_name(m_recordingDetector, "end-part");
    const QString old = recordingFileName();
    TRecordingJournal().Add(
        newFileName, RecordsImageByImage(m_recordingFormat) ? m_recordingSettings.framerate : 0.0);
    if (m_deviceMux) {
        // The device ends its file, then starts the next one (each at most 3 s).
        const bool finished = m_deviceMux->KillMuxGraph(*this);
        const bool started = m_deviceMux->BuildMuxGraph(*this, newFileName);
        m_ending = true;
        m_cutting = true;
        m_cutFrames = 0;
        QMetaObject::invokeMethod(
            this, [this, old, finished] { partFinished(old, finished, 0); }, Qt::QueuedConnection);
        if (!started) {
            // The old part is complete; there is no new one: the recording has ended.
            m_lastError = QStringLiteral("Impossible de créer le fichier %1.")
                              .arg(QDir::toNativeSeparators(newFileName));
            TRecordingJournal().Remove(newFileName);
            m_deviceMux = nullptr;
            m_recording->TearDown();
            m_recording.reset();
            m_cutting = false;
            if (m_diskTimer)
                m_diskTimer->stop();
            return false;
        }
        m_deviceMuxFile = newFileName;
        return true;
    }
    const quint64 framesBefore = m_recording->frames();
    const quint64 fedBefore = m_recording->fed();
    if (!m_recording->BeginSwap(newFileName, m_endWaitMs)) {
        TRecordingJournal().Remove(newFileName);
        m_lastError = QStringLiteral("Impossible de créer le fichier %1.")
                          .arg(QDir::toNativeSeparators(newFileName));
        return false;
    }
    m_ending = true;
    m_cutting = true;
    // The frames counted up to now were the old file's; those that come meanwhile count for
    // the new one.
    m_cutFrames = framesBefore - m_partFramesBase;
    m_partFramesBase = framesBefore;
    m_partFedBase = fedBefore;
    m_rolloverAsked = false;
    m_lastCheckedSize = 0;
    if (m_diskTimer)
        m_diskTimer->stop();
    startEndTimer();
    return true;
}

// Free space of the file's filesystem: the part ends while what it still needs to be
// finished (indexes, headers) fits; a WAV file asks for a new one before 4 GiB.
void Tdm::checkRecordingDisk() {
    if (!m_recording || m_ending)
        return;
    const QString file = m_recording->fileName();
    if (!m_pluginWrites && !QFileInfo::exists(file) && !m_rescues.contains(file)) {
        folderVanished(file);
        return;
    }
    const qint64 size = QFileInfo(file).size();
    const qint64 grown = std::max<qint64>(0, size - m_lastCheckedSize);
    m_lastCheckedSize = size;
    qint64 toFinish = kMiB / 2 + size / 32; // AVI indexes: 16 bytes per chunk at most
    // A writer that knows what its end will take says so (the DV AVI writer's index).
    if (GstElement* mux = m_recording->writerHead())
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(mux), "bytes-to-finish")) {
            guint64 bytes = 0;
            g_object_get(mux, "bytes-to-finish", &bytes, nullptr);
            toFinish = kMiB / 2 + qint64(bytes);
        }
    const qint64 reserve = toFinish + 2 * grown;
    const qint64 free = FreeSpaceFor(file);
    if (free >= 0 && free < reserve) {
        qCWarning(lcVidorra) << "disk reserve reached: the recording of" << file << "ends";
        m_checkEnd = true;
        endPart([this, file] { emit recordingStoppedByDiskReserve(file); });
        return;
    }
    if (m_riffSized && !m_rolloverAsked && size + 2 * grown + kMiB >= m_riffLimit) {
        m_rolloverAsked = true;
        emit recordingNeedsRollover();
    }
}

bool Tdm::hasRecordingBranch() const {
    return m_recording != nullptr;
}

QString Tdm::recordingFileName() const {
    if (m_recording && m_deviceMux)
        return m_deviceMuxFile;
    return m_recording ? m_recording->fileName() : QString();
}

void Tdm::SetCaptureFrozen(bool frozen) {
    if (m_ending) {
        // A cut moves the streams at the cut, which a frozen stream never reaches: the
        // freeze is for what follows the part being finished.
        WhenIdle(this, [this, frozen] { SetCaptureFrozen(frozen); });
        return;
    }
    m_captureFrozen = frozen;
    if (m_recording) {
        m_recording->SetFrozen(frozen);
        return;
    }
    for (GstElement* gate : {m_captureVideoGate, m_captureAudioGate})
        if (gate)
            g_object_set(gate, "frozen", frozen, nullptr);
}

void Tdm::GrantFrame() {
    if (m_recording && RecordsImageByImage(m_recordingFormat) && m_controlFilter)
        g_object_set(m_controlFilter, "gate-open", TRUE, nullptr);
}

quint64 Tdm::recordedFrames() const {
    return m_recording ? m_recording->frames() - m_partFramesBase : m_lastRecordedFrames;
}

quint64 Tdm::droppedFrames() const {
    return m_recording ? m_recording->dropped() : m_lastDroppedFrames;
}
