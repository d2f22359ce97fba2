#include "Log.h"

#include <QMutex>

Q_LOGGING_CATEGORY(lcVidorra, "vidorra")

namespace {
QMutex g_noticesLock;
QStringList g_notices;            // guarded by g_noticesLock
std::function<void()> g_listener; // guarded by g_noticesLock
} // namespace

void addUserNotice(const QString& text) {
    std::function<void()> listener;
    {
        const QMutexLocker guard(&g_noticesLock);
        g_notices << text;
        listener = g_listener;
    }
    if (listener)
        listener();
}

void setUserNoticeListener(std::function<void()> listener) {
    const QMutexLocker guard(&g_noticesLock);
    g_listener = std::move(listener);
}

QStringList takeUserNotices() {
    const QMutexLocker guard(&g_noticesLock);
    return std::exchange(g_notices, {});
}
