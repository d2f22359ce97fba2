#pragma once

#include "Alarm.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <functional>

class QTimer;
class TRecordingController;

// The fields a programmed recording is read from: the "Programmer" panel in the window, plain
// values without one.
class IScheduleFields {
public:
    virtual ~IScheduleFields() = default;
    virtual QDateTime start() const = 0;
    virtual QDateTime end() const = 0;
    virtual QDate endDate() const = 0;
    virtual void showTime(const QDateTime& now) = 0;
    // Outside the programmed states the fields start a minute ahead of now.
    virtual void presetFrom(const QDateTime& now) = 0;
};

// Start and end as plain values (a session without a window, the command line's tools).
class TScheduleValues : public IScheduleFields {
public:
    QDateTime startAt, endAt;
    QDateTime start() const override { return startAt; }
    QDateTime end() const override { return endAt; }
    QDate endDate() const override { return endAt.date(); }
    void showTime(const QDateTime&) override {}
    void presetFrom(const QDateTime& now) override {
        startAt = now.addSecs(60);
        endAt = startAt.addSecs(60);
    }
};

// Programmed recordings: arms the alarm from the schedule's fields, rings it
// on a clock that ticks at every second, and moves the recording controller between its
// programmed states. The start and the end ring at their date and time; an end not after its
// start ends at the next occurrence of its time of day.
class TScheduler : public QObject {
    Q_OBJECT
public:
    TScheduler(TRecordingController& controller, IScheduleFields& fields, QObject* parent);

    // The computer's clock (tests put theirs).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // The controller's alarm operations.
    bool ArmStartAlarm();
    bool ArmEndAlarm();
    void DisarmAlarm();

    // Side panel 2 is shown: outside the programmed states its fields start a minute ahead.
    void PanelShown();
    // One tick of the clock: the time shown, the alarm rung when its instant has come.
    void Tick();
    const TAlarm& alarm() const { return m_alarm; }

    // The start or the end was changed in the fields (the end copied from the start too).
    void startTimeEdited();
    void endTimeEdited();

private:
    QDateTime endAfter(const QDateTime& from) const;
    void ring(TAlarm::Handler handler, qint64 lateMs);
    void arm(const QDateTime& at, TAlarm::Handler handler);
    void scheduleTick();

    TRecordingController& m_controller;
    IScheduleFields& m_fields;
    TAlarm m_alarm;
    QTimer* m_timer;
    QDateTime m_programmedStart; // the start of the programmed recording, while there is one
};
