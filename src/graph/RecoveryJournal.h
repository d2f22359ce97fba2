#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The files being written, kept in a small journal in the user's data folder, so that a
// recording cut short by a crash or a power loss is repaired at the next start. Each process
// writes a journal of its own and holds a lock on it while it runs, so that a second program
// (or a test beside another) never takes a file still being written for an abandoned one.
class TRecordingJournal {
public:
    explicit TRecordingJournal(const QString& journalPath = DefaultPath());

    static QString DefaultPath(); // <XDG data>/vidorra/en-cours-<pid>.journal

    // Before the first byte is written; an image-by-image file with the rate it plays at.
    bool Add(const QString& fileName, double frameRate = 0);
    bool Remove(const QString& fileName); // once the file is complete
    QStringList Pending() const;
    // The files with the rate of those recorded image by image (0 for the others).
    QList<QPair<QString, double>> PendingEntries() const;
    // Whether another running process writes this journal.
    bool HeldElsewhere() const;
    QString path() const { return m_path; }

private:
    QString m_path;
};

// Repairs a recording that was not finished, so that it plays up to its last written
// second: AVI (sizes and index rebuilt from the chunks, OpenDML included), WAV and the
// program's MP3-in-RIFF files (header sizes). Files of other kinds need nothing. Never
// makes a file worse: false when the file is not of a kind it knows or cannot be read.
bool RepairRecording(const QString& fileName);

// What RepairRecording found: a file it does not know, a finished file left as it was, a
// file it repaired, or one of its kinds it could not repair (left untouched).
enum class TRepairOutcome { NotRecognised, Intact, Repaired, Failed };
TRepairOutcome RepairRecordingOutcome(const QString& fileName);

// Repairs every file of the journal and removes it from the journal; returns the names of
// the files repaired (for a message to the user).
QStringList RepairPendingRecordings(TRecordingJournal& journal);

// At start: repairs the files of every journal in folder that no running process holds (the
// journals of programs that ended without finishing their files, and the single journal of
// older versions), then removes those journals; returns the names of the files repaired.
QStringList RepairAbandonedRecordings(const QString& folder);

// Free space of the filesystem holding path, in bytes (statvfs); -1 when unknown.
qint64 FreeSpaceFor(const QString& path);
// The mount point of the filesystem holding path (the "drive" the status bar names).
QString MountPointOf(const QString& path);
