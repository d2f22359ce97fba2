#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Every store is written whole to a temporary file in its folder, flushed to disk and then
// renamed over the old file, so that a failed write (disk full, crash) leaves the previous
// store intact.
class FileWriteSeam {
public:
    virtual ~FileWriteSeam() = default;
    // Writes data to the open temporary file; returns the bytes written, -1 on error.
    virtual qint64 write(QIODevice& file, const QByteArray& data);
};

// Replaces path by data atomically; false when nothing was replaced.
bool writeFileAtomically(const QString& path, const QByteArray& data);

// Installs the seam used by writeFileAtomically (nullptr = the plain one) and returns the
// previous one. For tests that make writes fail part-way.
FileWriteSeam* setFileWriteSeam(FileWriteSeam* seam);
