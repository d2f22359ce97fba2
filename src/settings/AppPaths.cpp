#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppPaths {

namespace {
QString& overridePath() {
    static QString path;
    return path;
}

QString userDir(QStandardPaths::StandardLocation location) {
    // A folder the user never created is no destination: recordings would fail there.
    QString dir = QStandardPaths::writableLocation(location);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::homePath();
    if (dir.isEmpty())
        dir = QStringLiteral("/");
    return withTrailingSlash(dir);
}
} // namespace

QString productTitle() {
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(kProductName), QLatin1String(kVersion), QLatin1String(kLanguage));
}

QString signature() {
    return QStringLiteral("%1 de %2").arg(productTitle(), QLatin1String(kMaker));
}

QString executablePath() {
    if (!overridePath().isEmpty())
        return overridePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString executableDir() {
    return withTrailingSlash(QFileInfo(executablePath()).absolutePath());
}

void setExecutablePathOverride(const QString& path) {
    overridePath() = path;
}

QString iniFilePath() {
    return executableDir() + QLatin1String(kProductName) + ".ini";
}

QString registryFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
           QLatin1String(kMaker) + "/registre.reg";
}

QString registryBackupPath() {
    return registryFilePath() + QStringLiteral(".sauvegarde");
}

QString pendingMessagesPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
           QLatin1String(kMaker) + "/messages-en-attente.txt";
}

QString userVideoDir() {
    return userDir(QStandardPaths::MoviesLocation);
}
QString userPictureDir() {
    return userDir(QStandardPaths::PicturesLocation);
}

QString withTrailingSlash(const QString& dir) {
    return dir.endsWith('/') ? dir : dir + '/';
}

QString rootNameProblem(const QString& name) {
    if (name.contains('/') || name.contains('\\'))
        return QStringLiteral("il contient une barre de dossier (/ ou \\)");
    if (name.contains(QLatin1String("..")))
        return QStringLiteral("il contient « .. »");
    for (QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("il contient un caractère de contrôle (un saut de ligne…)");
    return {};
}

} // namespace AppPaths
