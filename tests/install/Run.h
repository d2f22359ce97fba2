#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <map>

// What a finished process left: its exit code (-1 when it did not start or end normally)
// and its outputs.
struct Ran {
    int code = -1;
    QString out, err;
    QString all() const { return out + err; }
};

// Runs a program to its end with the environment of the tests plus `env` (an empty value
// removes the variable), in a throw-away home: nothing the installed files do reaches the
// user's own settings or GStreamer registry.
inline Ran run(const QString& program, const QStringList& args,
               const std::map<QString, QString>& env = {}) {
    static QTemporaryDir home;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("HOME"), home.path());
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    e.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/.cache"));
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const auto& [name, value] : env) {
        if (value.isEmpty())
            e.remove(name);
        else
            e.insert(name, value);
    }
    QProcess p;
    p.setProcessEnvironment(e);
    p.start(program, args);
    Ran r;
    if (!p.waitForStarted(10000))
        return r;
    // Generous: the first run of gst-inspect-1.0 builds a registry of its own.
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
