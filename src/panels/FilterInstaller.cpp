#include "FilterInstaller.h"

#include "GstRef.h"
#include "Log.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QLoggingCategory>
#include <gst/gst.h>

namespace FilterInstaller {

QString UserPluginFolder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/gstreamer-1.0/plugins"));
}

bool IsGstPlugin(const QString& file) {
    if (!gst_is_initialized() || !QFileInfo(file).isFile())
        return false;
    g_autoptr(GError) error = nullptr;
    const TGstRef<GstPlugin> plugin(
        gst_plugin_load_file(QFile::encodeName(file).constData(), &error));
    if (!plugin) {
        qCInfo(lcVidorra) << "not a GStreamer plug-in:" << file << (error ? error->message : "");
        return false;
    }
    return true;
}

bool Install(const QString& file, const QString& folder) {
    const QFileInfo source(file);
    if (!IsGstPlugin(file))
        return false;
    if (!QDir().mkpath(folder))
        return false;
    const QString target = QDir(folder).filePath(source.fileName());
    if (QFileInfo(target).canonicalFilePath() != source.canonicalFilePath()) {
        // Copied beside, then renamed over the old copy: a failed copy keeps the old one.
        const QString partial = target + QStringLiteral(".partiel");
        QFile::remove(partial);
        if (!QFile::copy(file, partial))
            return false;
        QFile::remove(target);
        if (!QFile::rename(partial, target)) {
            QFile::remove(partial);
            return false;
        }
    }
    gst_update_registry();
    return true;
}

bool Uninstall(const QString& file, const QString& folder) {
    const QFileInfo info(file);
    const QString dir = QFileInfo(folder).canonicalFilePath();
    if (!info.isFile() || dir.isEmpty() || info.canonicalPath() != dir)
        return false;
    if (!QFile::remove(info.absoluteFilePath()))
        return false;
    if (gst_is_initialized())
        gst_update_registry();
    return true;
}

} // namespace FilterInstaller
