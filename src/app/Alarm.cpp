#include "Alarm.h"

void TAlarm::Arm(const QDateTime& at, Handler handler) {
    m_at = at;
    m_handler = at.isValid() ? handler : Handler::None;
}

void TAlarm::Disarm() {
    m_handler = Handler::None;
}

TAlarm::Handler TAlarm::Tick(const QDateTime& now, qint64* lateMs) {
    if (m_handler == Handler::None || now < m_at)
        return Handler::None;
    if (lateMs)
        *lateMs = m_at.msecsTo(now);
    const Handler rung = m_handler;
    m_handler = Handler::None;
    return rung;
}

QDateTime TAlarm::NextOccurrence(const QTime& time, const QDateTime& after) {
    QDateTime next(after.date(), time);
    if (next <= after)
        next = QDateTime(after.date().addDays(1), time);
    return next;
}
