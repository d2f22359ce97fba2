#include "Log.h"

#include <QMutex>

Q_LOGGING_CATEGORY(lcVidorra, "vidorra")

namespace {
QMutex g_noticesLock;
QStringList g_notices;
} // namespace

void addUserNotice(const QString& text) {
    const QMutexLocker guard(&g_noticesLock);
    g_notices << text;
}

QStringList takeUserNotices() {
    const QMutexLocker guard(&g_noticesLock);
    return std::exchange(g_notices, {});
}
