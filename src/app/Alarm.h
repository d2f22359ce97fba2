#pragma once

#include <QDateTime>

// The one alarm of the scheduler: an instant and what it starts or ends. It rings at the
// programmed date and time, once; an instant that passed while nobody looked (the machine
// slept, the process stalled, the clock jumped forward) rings at the next look, late, and
// says by how much.
class TAlarm {
public:
    enum class Handler { None, Start, End };

    void Arm(const QDateTime& at, Handler handler);
    void Disarm();
    bool enabled() const { return m_handler != Handler::None; }
    Handler handler() const { return m_handler; }
    QDateTime at() const { return m_at; }

    // What rings at now (then the alarm is disarmed), or None; lateMs tells how long after
    // its instant it rang.
    Handler Tick(const QDateTime& now, qint64* lateMs = nullptr);

    // The first instant after `after` whose time of day is `time`.
    static QDateTime NextOccurrence(const QTime& time, const QDateTime& after);

private:
    QDateTime m_at;
    Handler m_handler = Handler::None;
};
