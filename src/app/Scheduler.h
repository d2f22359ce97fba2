#pragma once

#include "Alarm.h"

#include <QDateTime>
#include <QObject>
#include <functional>

class QTimer;
class TProgrammerFrame;
class TRecordingController;

// Programmed recordings: arms the alarm from the fields of the "Programmer" panel, rings it
// on a clock that ticks at every second, and moves the recording controller between its
// programmed states. The start and the end ring at their date and time; an end not after its
// start ends at the next occurrence of its time of day.
class TScheduler : public QObject {
    Q_OBJECT
public:
    TScheduler(TRecordingController& controller, TProgrammerFrame& panel, QObject* parent);

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

private:
    QDateTime endAfter(const QDateTime& from) const;
    void ring(TAlarm::Handler handler, qint64 lateMs);
    void startTimeEdited();
    void endTimeEdited();
    void arm(const QDateTime& at, TAlarm::Handler handler);
    void scheduleTick();

    TRecordingController& m_controller;
    TProgrammerFrame& m_panel;
    TAlarm m_alarm;
    QTimer* m_timer;
    QDateTime m_programmedStart; // the start of the programmed recording, while there is one
};
