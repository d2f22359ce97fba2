#include "PlatformCheck.h"

#include "AppPaths.h"
#include "Prompts.h"

#include <gst/gst.h>

namespace PlatformCheck {

bool versionIsEnough(int major, int minor) {
    return major > kMinMajor || (major == kMinMajor && minor >= kMinMinor);
}

QString displayedVersion(int major, int minor, int micro) {
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(micro);
}

QString warningText(const QString& displayed) {
    return QStringLiteral("Vous avez GStreamer ") + displayed + QStringLiteral(".\r\n") +
           QStringLiteral("Il faut avoir au moins GStreamer %1.%2 pour faire tourner correctement "
                          "%3 version %4 %5.")
               .arg(kMinMajor)
               .arg(kMinMinor)
               .arg(QLatin1String(AppPaths::kProductName), QLatin1String(AppPaths::kVersion),
                    QLatin1String(AppPaths::kLanguage)) +
           QStringLiteral("\r\nVoulez-vous continuer quand même? Si oui, l'application risque "
                          "de ne pas bien fonctionner.");
}

bool checkRuntime() {
    guint major = 0, minor = 0, micro = 0, nano = 0;
    gst_version(&major, &minor, &micro, &nano);
    if (versionIsEnough(int(major), int(minor)))
        return true;
    const QString text = warningText(displayedVersion(int(major), int(minor), int(micro)));
    return prompts().question(nullptr, text) == IPrompts::Yes;
}

} // namespace PlatformCheck
