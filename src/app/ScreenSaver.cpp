#include "ScreenSaver.h"

#include "Log.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace {
const char kService[] = "org.freedesktop.ScreenSaver";
const char kPath[] = "/org/freedesktop/ScreenSaver";
} // namespace

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    release();
}

bool ScreenSaverInhibitor::inhibit() {
    if (m_cookie)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface iface{QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                         bus};
    if (!iface.isValid())
        return false;
    QDBusReply<quint32> reply = iface.call(QStringLiteral("Inhibit"), QStringLiteral("Vidorra"),
                                           QStringLiteral("Prévisualisation et capture vidéo"));
    if (!reply.isValid()) {
        qCInfo(lcVidorra) << "screen saver not inhibited:" << reply.error().message();
        return false;
    }
    m_cookie = reply.value();
    return m_cookie != 0;
}

void ScreenSaverInhibitor::release() {
    if (!m_cookie)
        return;
    QDBusInterface iface{QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                         QDBusConnection::sessionBus()};
    if (iface.isValid())
        iface.call(QStringLiteral("UnInhibit"), m_cookie);
    m_cookie = 0;
}
