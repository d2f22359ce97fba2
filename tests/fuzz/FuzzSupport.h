#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

// What every fuzz target shares: a private folder for the files a reader needs on disk
// (in memory where /dev/shm allows, so that the runs neither wear the disk nor leave
// anything behind), quiet logging, and a way to stop on a broken promise.
namespace fuzz {

// A failed check is a finding like a crash: abort() makes libFuzzer keep the input.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);         \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// The folder of this process, removed at exit.
inline const QString& WorkDir() {
    static std::unique_ptr<QTemporaryDir> dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        const QFileInfo info(shm);
        auto d = std::make_unique<QTemporaryDir>(info.isDir() && info.isWritable()
                                                     ? shm + QStringLiteral("/vidorra-fuzz-XXXXXX")
                                                     : QDir::tempPath() + "/vidorra-fuzz-XXXXXX");
        FUZZ_CHECK(d->isValid());
        return d;
    }();
    static const QString path = dir->path();
    return path;
}

inline QString WorkFile(const QString& name) {
    return WorkDir() + '/' + name;
}

inline bool WriteWhole(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadWhole(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The program's log lines say what a reader skipped: millions of them would only slow the
// run down.
inline void QuietLogs() {
    QLoggingCategory::setFilterRules(QStringLiteral("vidorra*=false\nqt.*=false"));
}

inline QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace fuzz
