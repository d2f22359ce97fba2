// What a capture plug-in does to a recording while its source runs: the pictures it breaks
// are counted as lost and said once in the status bar; the memory it takes is watched, and
// a plug-in that takes too much is dropped before the system kills the program.
#include "CaptureDevice.h"
#include "Dm.h"
#include "Log.h"
#include "PlugIns.h"
#include "RecordingController.h"
#include "Session.h"
#include "Sources.h"
#include "SourcesController.h"

#include <QFile>
#include <unistd.h>

namespace {

constexpr qint64 kGiB = qint64(1) << 30;

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

qint64 machineBytes() {
    return qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
}

} // namespace

quint64 TRecordingController::brokenPictures() const {
    const TVideoSource* video = m_session.sources() ? m_session.sources()->currentVideo() : nullptr;
    return video && video->Device ? video->Device->BrokenFrames() : 0;
}

quint64 TRecordingController::lostPictures() const {
    const quint64 broken = brokenPictures();
    return m_dm.droppedFrames() + (broken >= m_brokenAtPart ? broken - m_brokenAtPart : broken);
}

void TRecordingController::tickPlugInWatch() {
    TSourcesController* sources = m_session.sources();
    if (!sources)
        return;
    const TVideoSource* video = sources->currentVideo();
    auto* device = video ? dynamic_cast<TPlugInCaptureDevice*>(video->Device) : nullptr;
    if (!device || !device->Valid) {
        m_memoryDevice = nullptr;
        return;
    }
    const quint64 broken = device->BrokenFrames();
    if (broken > m_brokenSaid) {
        if (m_brokenSaid == 0)
            qCWarning(lcVidorra).noquote()
                << QStringLiteral("Le module %1 envoie des images incomplètes : elles sont "
                                  "écartées et comptées comme perdues.")
                       .arg(device->PluginFile());
        m_brokenSaid = broken;
        m_session.status().setText(
            1,
            QStringLiteral("« %1 » : %2 images incomplètes écartées").arg(video->Name).arg(broken),
            TStatusTexts::Tone::Fault);
    }
    // Memory: from when this source began.
    const qint64 resident = residentBytes();
    if (m_memoryDevice != device) {
        m_memoryDevice = device;
        m_memoryBase = resident;
        m_brokenSaid = broken;
        return;
    }
    const qint64 total = machineBytes();
    if (resident - m_memoryBase <= kGiB && (total <= 0 || resident <= total / 4 * 3))
        return;
    m_memoryDevice = nullptr;
    device->Drop(QStringLiteral("a pris %1 Mio de mémoire en plus depuis le début de sa source")
                     .arg((resident - m_memoryBase) >> 20));
    // The recording ends as when a source is lost, then the source goes with its device.
    GraphDeviceLost(false);
    sources->Change([sources] { sources->RefreshSources(); });
}
