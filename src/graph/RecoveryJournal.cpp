#include "RecoveryJournal.h"

#include "AtomicFile.h"
#include "Log.h"
#include "PatchFrameRate.h"
#include "RecordingRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// The journal is changed from the UI thread and read at start-up; one lock keeps two
// recordings that start together from losing each other's line.
QMutex g_journalLock;

// A damaged journal (a torn write of an older version, a hand edit) is read as far as it
// makes sense: more than this is not a journal of ours.
constexpr qint64 kMaxJournalBytes = 1 << 20;

bool IsUsableLine(const QString& line) {
    if (line.isEmpty() || !line.startsWith('/') || line.contains(QChar::ReplacementCharacter))
        return false;
    for (const QChar c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

// A line: the file's absolute name, then, for an image-by-image file, a tab and the rate it
// plays at (images a second), so that a repair gives it that rate back.
QString NameOf(const QString& line) {
    return line.section('\t', 0, 0);
}

double RateOf(const QString& line) {
    bool ok = false;
    const double rate = line.section('\t', 1, 1).toDouble(&ok);
    return ok && rate > 0 && rate < 1000 ? rate : 0;
}

bool IsUsableEntry(const QString& line) {
    const qsizetype tab = line.indexOf('\t');
    return IsUsableLine(tab < 0 ? line : line.left(tab)) && (tab < 0 || RateOf(line) > 0);
}

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.read(kMaxJournalBytes);
    QStringList lines;
    int skipped = 0;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (IsUsableEntry(line)) {
            if (!lines.contains(line))
                lines << line;
        } else if (!raw.isEmpty()) {
            ++skipped;
        }
    }
    if (skipped)
        qCWarning(lcVidorra) << "recording journal:" << skipped << "damaged lines skipped";
    return lines;
}

// The journals this process writes, each with the descriptor of its lock file, locked until
// the process ends (the kernel lets the lock go when it dies, however it dies). The journal
// itself is replaced at each change, so the lock lives in a file of its own beside it.
// Guarded by g_journalLock.
QHash<QString, int>& OwnJournals() {
    static QHash<QString, int> journals;
    return journals;
}

QString LockPathOf(const QString& journal) {
    return journal + QStringLiteral(".lock");
}

// An exclusive lock on the lock file of a journal, or -1 when another process holds it.
int TryLock(const QString& journal, bool create) {
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    const int fd = ::open(QFile::encodeName(LockPathOf(journal)).constData(), flags, 0644);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Holds the journal at path for the rest of the run (caller holds g_journalLock).
void HoldJournal(const QString& path) {
    if (OwnJournals().contains(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = TryLock(path, true);
    if (fd >= 0)
        OwnJournals().insert(path, fd);
}

bool WriteLines(const QString& path, const QStringList& lines) {
    if (lines.isEmpty() && !QFile::exists(path))
        return true;
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + '\n';
    return writeFileAtomically(path, bytes);
}

QString Absolute(const QString& fileName) {
    return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
}

// The path itself when it exists, else its nearest existing parent folder.
QByteArray ExistingPath(const QString& path) {
    QString p = Absolute(path.isEmpty() ? QStringLiteral(".") : path);
    struct stat st {};
    while (::stat(QFile::encodeName(p).constData(), &st) != 0) {
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            return {};
        p = parent;
    }
    return QFile::encodeName(p);
}

} // namespace

TRecordingJournal::TRecordingJournal(const QString& journalPath) : m_path(journalPath) {}

QString TRecordingJournal::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vidorra/en-cours-%1.journal").arg(::getpid());
}

bool TRecordingJournal::HeldElsewhere() const {
    QMutexLocker lock(&g_journalLock);
    if (OwnJournals().contains(m_path) || !QFileInfo::exists(LockPathOf(m_path)))
        return false;
    const int fd = TryLock(m_path, false);
    if (fd < 0)
        return QFileInfo::exists(LockPathOf(m_path));
    ::close(fd);
    return false;
}

bool TRecordingJournal::Add(const QString& fileName, double frameRate) {
    const QString name = Absolute(fileName);
    // One name per line: a name with a line break could not be read back.
    if (fileName.isEmpty() || !IsUsableLine(name))
        return false;
    QMutexLocker lock(&g_journalLock);
    HoldJournal(m_path);
    QStringList lines = ReadLines(m_path);
    if (std::any_of(lines.begin(), lines.end(),
                    [&](const QString& line) { return NameOf(line) == name; }))
        return true;
    lines << (frameRate > 0 ? name + '\t' + QString::number(frameRate, 'g', 10) : name);
    return WriteLines(m_path, lines);
}

bool TRecordingJournal::Remove(const QString& fileName) {
    const QString name = Absolute(fileName);
    QMutexLocker lock(&g_journalLock);
    QStringList lines = ReadLines(m_path);
    const bool damaged = QFileInfo(m_path).size() > 0 && lines.isEmpty();
    if (!lines.removeIf([&](const QString& line) { return NameOf(line) == name; }) && !damaged)
        return true;
    return WriteLines(m_path, lines);
}

QStringList TRecordingJournal::Pending() const {
    QStringList names;
    for (const auto& [name, rate] : PendingEntries())
        names << name;
    return names;
}

QList<QPair<QString, double>> TRecordingJournal::PendingEntries() const {
    QMutexLocker lock(&g_journalLock);
    QList<QPair<QString, double>> entries;
    for (const QString& line : ReadLines(m_path))
        entries.append({NameOf(line), RateOf(line)});
    return entries;
}

TRepairOutcome RepairRecordingOutcome(const QString& fileName) {
    repair::TFileAccess file(fileName);
    uint8_t head[12];
    if (!file.OpenRead() || !file.Read(0, head, sizeof head))
        return TRepairOutcome::NotRecognised;
    static constexpr uint8_t kAsf[4] = {0x30, 0x26, 0xB2, 0x75};
    if (std::memcmp(head, kAsf, 4) == 0)
        return repair::RepairAsf(file);
    if (std::memcmp(head, "RIFF", 4) != 0)
        return TRepairOutcome::NotRecognised;
    if (std::memcmp(head + 8, "WAVE", 4) == 0)
        return repair::RepairWav(file);
    if (std::memcmp(head + 8, "AVI ", 4) == 0)
        return repair::RepairAvi(file);
    return TRepairOutcome::NotRecognised;
}

bool RepairRecording(const QString& fileName) {
    const TRepairOutcome outcome = RepairRecordingOutcome(fileName);
    return outcome == TRepairOutcome::Intact || outcome == TRepairOutcome::Repaired;
}

QStringList RepairPendingRecordings(TRecordingJournal& journal) {
    QStringList repaired;
    for (const auto& [name, rate] : journal.PendingEntries()) {
        // MPEG needs nothing; a file that no longer exists needs nothing.
        if (QFileInfo::exists(name)) {
            const TRepairOutcome outcome = RepairRecordingOutcome(name);
            // An image-by-image file plays at the rate it was recorded for.
            if (rate > 0 &&
                (outcome == TRepairOutcome::Repaired || outcome == TRepairOutcome::Intact))
                PatchFrameRate(name, rate);
            if (outcome == TRepairOutcome::Repaired)
                repaired << name;
            else if (outcome == TRepairOutcome::Failed)
                qCWarning(lcVidorra) << "recording" << name << "could not be repaired";
        }
        journal.Remove(name);
    }
    return repaired;
}

QStringList RepairAbandonedRecordings(const QString& folder) {
    QStringList repaired;
    QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("en-cours*.journal")}, QDir::Files)) {
        const QString path = dir.filePath(name);
        {
            QMutexLocker lock(&g_journalLock);
            if (OwnJournals().contains(path))
                continue;
        }
        // Held while the files are repaired, so that two programs starting together do not
        // both repair the same file; a journal whose program still runs is left alone.
        const int fd = TryLock(path, true);
        if (fd < 0)
            continue;
        TRecordingJournal journal(path);
        repaired += RepairPendingRecordings(journal);
        if (journal.Pending().isEmpty()) {
            QFile::remove(path);
            QFile::remove(LockPathOf(path));
        }
        ::close(fd);
    }
    // The locks of programs that ended with nothing left to repair.
    for (const QString& name :
         dir.entryList({QStringLiteral("en-cours*.journal.lock")}, QDir::Files)) {
        const QString journal = dir.filePath(name.chopped(5));
        if (QFileInfo::exists(journal))
            continue;
        {
            QMutexLocker lock(&g_journalLock);
            if (OwnJournals().contains(journal))
                continue;
        }
        const int fd = TryLock(journal, false);
        if (fd >= 0) {
            QFile::remove(dir.filePath(name));
            ::close(fd);
        }
    }
    return repaired;
}

qint64 FreeSpaceFor(const QString& path) {
    const QByteArray existing = ExistingPath(path);
    struct statvfs vfs {};
    if (existing.isEmpty() || ::statvfs(existing.constData(), &vfs) != 0)
        return -1;
    return static_cast<qint64>(vfs.f_bavail) * static_cast<qint64>(vfs.f_frsize);
}

QString MountPointOf(const QString& path) {
    QByteArray current = ExistingPath(path);
    struct stat st {};
    if (current.isEmpty() || ::stat(current.constData(), &st) != 0)
        return {};
    const dev_t device = st.st_dev;
    QString p = QFile::decodeName(current);
    for (;;) {
        const QString parent = QFileInfo(p).path();
        if (parent == p || ::stat(QFile::encodeName(parent).constData(), &st) != 0 ||
            st.st_dev != device)
            return p;
        p = parent;
    }
}

namespace repair {

bool TFileAccess::OpenRead() {
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    m_size = static_cast<uint64_t>(m_file.size());
    return true;
}

bool TFileAccess::OpenWrite() {
    m_file.close();
    if (!m_file.open(QIODevice::ReadWrite))
        return false;
    m_size = static_cast<uint64_t>(m_file.size());
    return true;
}

bool TFileAccess::Read(uint64_t pos, void* data, uint64_t n) {
    if (pos > m_size || n > m_size - pos || !m_file.seek(static_cast<qint64>(pos)))
        return false;
    return m_file.read(static_cast<char*>(data), static_cast<qint64>(n)) == qint64(n);
}

bool TFileAccess::Read32(uint64_t pos, uint32_t& value) {
    uint8_t b[4];
    if (!Read(pos, b, 4))
        return false;
    value = Le32(b);
    return true;
}

bool TFileAccess::Write(uint64_t pos, const void* data, uint64_t n) {
    if (!m_file.seek(static_cast<qint64>(pos)) ||
        m_file.write(static_cast<const char*>(data), static_cast<qint64>(n)) != qint64(n))
        return false;
    m_size = std::max(m_size, pos + n);
    return true;
}

bool TFileAccess::Write32(uint64_t pos, uint32_t value) {
    std::vector<uint8_t> b;
    Put32(b, value);
    return Write(pos, b.data(), 4);
}

bool TFileAccess::Truncate(uint64_t size) {
    if (!m_file.flush() || !m_file.resize(static_cast<qint64>(size)))
        return false;
    m_size = size;
    return true;
}

bool TFileAccess::Sync() {
    return m_file.flush() && ::fsync(m_file.handle()) == 0;
}

} // namespace repair
