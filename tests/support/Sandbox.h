#pragma once

#include "AppPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

// A throw-away home for one test: the user's config folder, user folders and the
// executable's folder all point into a temporary directory, and the locale is restored.
class Sandbox {
public:
    Sandbox() {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldHome = qgetenv("HOME");
        m_oldData = qgetenv("XDG_DATA_HOME");
        m_oldLocale = QLocale();
        QDir root(m_dir.path());
        root.mkpath("home/.config");
        root.mkpath("bin");
        qputenv("XDG_CONFIG_HOME", (m_dir.path() + "/home/.config").toUtf8());
        qputenv("HOME", (m_dir.path() + "/home").toUtf8());
        // Generated media (the virtual devices' clips) is shared by the tests of one machine.
        qputenv("XDG_DATA_HOME", (QDir::tempPath() + "/vidorra-test-data").toUtf8());
        AppPaths::setExecutablePathOverride(m_dir.path() + "/bin/vidorra");
    }
    ~Sandbox() {
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        qputenv("HOME", m_oldHome);
        qputenv("XDG_DATA_HOME", m_oldData);
        AppPaths::setExecutablePathOverride({});
        QLocale::setDefault(m_oldLocale);
    }

    QString path(const QString& rel = {}) const {
        return rel.isEmpty() ? m_dir.path() : m_dir.path() + '/' + rel;
    }
    QString home() const { return path("home"); }
    QString exeDir() const { return path("bin"); }

    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool write(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig, m_oldHome, m_oldData;
    QLocale m_oldLocale;
};
