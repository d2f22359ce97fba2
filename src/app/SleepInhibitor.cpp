#include "SleepInhibitor.h"

#include "Log.h"

#include <QDBusInterface>
#include <QDBusReply>

TLogindInhibitor::TLogindInhibitor(QDBusConnection bus) : m_bus(std::move(bus)) {}

void TLogindInhibitor::Hold(const QString& why) {
    if (held() && why == m_why)
        return;
    Release();
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), m_bus);
    // A logind that does not answer must not freeze the window.
    manager.setTimeout(2000);
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.isValid() ? manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep:idle"),
                                         QStringLiteral("Vidorra"), why, QStringLiteral("block"))
                          : QDBusReply<QDBusUnixFileDescriptor>(manager.lastError());
    if (!reply.isValid() || !reply.value().isValid()) {
        if (!m_warned)
            qCWarning(lcVidorra) << "the machine may sleep during recordings: no inhibitor lock"
                                 << "from logind:" << reply.error().message();
        m_warned = true;
        return;
    }
    m_lock = reply.value();
    m_why = why;
}

void TLogindInhibitor::Release() {
    // Closing our copy of the descriptor ends the lock.
    m_lock = QDBusUnixFileDescriptor();
    m_why.clear();
}
