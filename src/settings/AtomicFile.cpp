#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "Log.h"

namespace {
FileWriteSeam g_plainSeam;
FileWriteSeam* g_seam = &g_plainSeam;
} // namespace

qint64 FileWriteSeam::write(QIODevice& file, const QByteArray& data) {
    return file.write(data);
}

FileWriteSeam* setFileWriteSeam(FileWriteSeam* seam) {
    FileWriteSeam* previous = g_seam;
    g_seam = seam ? seam : &g_plainSeam;
    return previous == &g_plainSeam ? nullptr : previous;
}

bool writeFileAtomically(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // QSaveFile writes beside the target, syncs it to disk on commit and renames it over.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcVidorra) << "cannot write" << path << file.errorString();
        return false;
    }
    if (g_seam->write(file, data) != data.size() || !file.flush()) {
        qCWarning(lcVidorra) << "writing" << path << "failed, previous file kept";
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCWarning(lcVidorra) << "writing" << path << "failed, previous file kept";
        return false;
    }
    return true;
}
