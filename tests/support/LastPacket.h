#pragma once

#include <QList>
#include <QProcess>
#include <QString>

// Where the last packet of a stream ("v:0", "a:0") of a file plays, in seconds, as ffprobe
// reads it; -1 when it reads none.
inline double lastPacketTime(const QString& file, const char* stream) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                        "packet=pts_time", "-of", "csv=p=0", file});
    p.waitForFinished(60000);
    const QList<QByteArray> times = p.readAllStandardOutput().trimmed().split('\n');
    return times.isEmpty() || times.back().isEmpty() ? -1.0 : times.back().toDouble();
}
