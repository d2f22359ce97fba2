#include "SystemFacts.h"

#include "Encoders.h"
#include "GstRef.h"
#include "PlugIns.h"
#include "Sources.h"

#include <QFile>
#include <gst/gst.h>
#include <sys/utsname.h>

namespace {

bool installed(const QString& factory) {
    const TGstRef<GstElementFactory> f(gst_element_factory_find(factory.toUtf8().constData()));
    return bool(f);
}

QString kernelRelease() {
    utsname u{};
    return uname(&u) == 0 ? QString::fromLocal8Bit(u.release) : QString();
}

} // namespace

TSystemFacts GatherSystemFacts(const TSourceExclusions& exclusions, const TpluginList& plugins) {
    TSystemFacts f;
    QFile osRelease(QStringLiteral("/etc/os-release"));
    QString release;
    if (osRelease.open(QIODevice::ReadOnly))
        release = QString::fromUtf8(osRelease.readAll());
    f.osDescription = OsDescription(release, kernelRelease());

    guint major = 0, minor = 0, micro = 0, nano = 0;
    gst_version(&major, &minor, &micro, &nano);
    f.gstreamerVersion = QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(micro);

    if (gst_is_initialized()) {
        // A WMV recording needs the muxer and every encoder the three versions may ask for.
        bool wm =
            installed(QStringLiteral("asfmux")) && installed(TEncoderCatalog::WmvAudioFactory(0));
        for (int version = 0; version < 3 && wm; ++version)
            wm = installed(TEncoderCatalog::WmvVideoFactory(version));
        f.windowsMedia = wm;

        const TGstRef<GstElementFactory> mp3(gst_element_factory_find("lamemp3enc"));
        const TGstRef<GstPlugin> plugin(
            mp3 ? gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(mp3.get())) : nullptr);
        if (plugin) {
            f.mp3Found = true;
            const char* file = gst_plugin_get_filename(plugin.get());
            f.mp3File = file ? QString::fromLocal8Bit(file)
                             : QString::fromUtf8(gst_plugin_get_name(plugin.get()));
            f.mp3Version = QStringLiteral("version %1")
                               .arg(QString::fromUtf8(gst_plugin_get_version(plugin.get())));
        }
    }
    for (const TDivxEntry& e : Encoders().divxEntries())
        f.divxEncoders << e.name;
    f.sources = exclusions.Items();
    for (int i = 0; i < plugins.Count(); ++i) {
        const TpluginData& p = plugins.At(i);
        // Every plug-in out of use may be tried again (its file is examined anew).
        const bool used = p.enabled && p.serves();
        f.plugins.push_back({p.driverName, p.path, used, p.reason, used ? QString() : p.path});
    }
    return f;
}
