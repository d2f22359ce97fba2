#pragma once

#include "Sandbox.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

// The program as a process of its own, in a sandbox: its settings and recordings stay there.
namespace ProgramProcess {

inline QProcessEnvironment environmentOf(const Sandbox& box) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", box.home());
    env.insert("XDG_CONFIG_HOME", box.home() + "/.config");
    env.insert("XDG_DATA_HOME", QDir::tempPath() + "/vidorra-test-data");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

// A copy of the program in box/bin with a portable store that sends recordings to videos
// (box/videos when empty) and asks no question at the close; returns its path.
inline QString install(const Sandbox& box, const QString& videos = {}) {
    QDir().mkpath(box.exeDir());
    QDir().mkpath(box.path("videos"));
    const QString exe = box.exeDir() + "/vidorra";
    if (!QFile::exists(exe))
        QFile::copy(VIDORRA_EXE, exe);
    const QString ini = box.exeDir() + "/Vidorra.ini";
    if (!QFile::exists(ini)) {
        QString text = "[\\Software\\Ardoval\\Vidorra]\r\nVideo Directory=" +
                       (videos.isEmpty() ? box.path("videos") : videos) +
                       "/\r\nConfirmer Video=0\r\n";
        QByteArray bytes("\xFF\xFE", 2);
        for (QChar c : text)
            bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        Sandbox::write(ini, bytes);
    }
    return exe;
}

// The newest file of box/videos, or empty.
inline QString recordedFile(const Sandbox& box) {
    const QStringList files = QDir(box.path("videos")).entryList(QDir::Files, QDir::Time);
    return files.isEmpty() ? QString() : box.path("videos") + "/" + files.first();
}

// ffprobe's view of the streams and the duration, empty when it cannot read the file.
inline QString probe(const QString& file) {
    QProcess p;
    p.start("ffprobe",
            {"-v", "error", "-count_packets", "-show_entries",
             "stream=codec_name,nb_read_packets:format=duration", "-of", "compact=p=0", file});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

} // namespace ProgramProcess
