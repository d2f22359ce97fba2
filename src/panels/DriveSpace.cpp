#include "DriveSpace.h"

#include <QFileInfo>

#include <algorithm>
#include <sys/statvfs.h>

DriveSpace DriveSpace::Of(const QString& folder) {
    if (folder.isEmpty())
        return {};
    QFileInfo info(folder);
    while (!info.exists() && !info.isRoot()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            break;
        info = QFileInfo(parent);
    }
    if (!info.isDir())
        return {};
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(info.absoluteFilePath()).constData(), &fs) != 0)
        return {};
    const quint64 unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    const quint64 total = quint64(fs.f_blocks) * unit;
    const quint64 available = quint64(fs.f_bavail) * unit;
    DriveSpace d;
    d.totalMb = qint64(total >> 20);
    d.usedMb = qint64((total - std::min(total, available)) >> 20);
    return d;
}
