#include "Scheduler.h"

#include "Log.h"
#include "OutputNaming.h"
#include "ParameterTable.h"
#include "Prompts.h"
#include "RecordingController.h"

#include <QDir>
#include <QTimer>

TScheduler::TScheduler(TRecordingController& controller, IScheduleFields& fields, QObject* parent)
    : QObject(parent), m_controller(controller), m_fields(fields) {
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] {
        Tick();
        scheduleTick();
    });
    Tick();
    scheduleTick();
}

// The next tick comes just after the next second begins, so that the clock shows each second
// and an alarm rings in the second it was set for.
void TScheduler::scheduleTick() {
    m_timer->start(1000 - now().time().msec() + 5);
}

void TScheduler::Tick() {
    const QDateTime t = now();
    m_fields.showTime(t);
    qint64 late = 0;
    const TAlarm::Handler rung = m_alarm.Tick(t, &late);
    if (rung != TAlarm::Handler::None)
        ring(rung, late);
}

void TScheduler::arm(const QDateTime& at, TAlarm::Handler handler) {
    m_alarm.Arm(at, handler);
    if (handler == TAlarm::Handler::Start)
        m_controller.startTime = at.time();
    else
        m_controller.endTime = at.time();
}

// The end of the programmed recording that starts at `from`: the end fields, or, when they are
// not after the start, the next time the end's time of day comes.
QDateTime TScheduler::endAfter(const QDateTime& from) const {
    const QDateTime end = m_fields.end();
    return end > from ? end : TAlarm::NextOccurrence(end.time(), from);
}

bool TScheduler::ArmStartAlarm() {
    const QString file = m_controller.nextVideoFileName();
    const TPathProbe probe = RealPathProbe();
    const bool confirm = Prm.confirmerVideo && Prm.confirmerVideo->Value;
    if (MustAskOverwriteVideo(file, confirm, probe) &&
        prompts().question(nullptr, OverwriteVideoQuestion(file, false)) != IPrompts::Yes)
        return false;
    if (MustAskCreateFolder(file, confirm, probe) &&
        prompts().question(nullptr, CreateFolderQuestion(FolderPart(file))) != IPrompts::Yes)
        return false;
    QDir().mkpath(FolderPart(file));
    const QDateTime start = m_fields.start(), end = m_fields.end();
    const QDateTime t = now();
    if (t > end) {
        prompts().error(nullptr, QStringLiteral("On ne peut pas programmer la fin d'une capture "
                                                "pour une date déjà dépassée"));
        return false;
    }
    if (t > start) {
        if (prompts().question(nullptr, QStringLiteral("On ne peut pas programmer le début "
                                                       "d'une capture pour une date déjà "
                                                       "dépassée\r\nVoulez-vous capturer "
                                                       "immédiatement?")) != IPrompts::Yes)
            return false;
        // The recording starts now and the end is armed; the programmed state is not entered
        // by the caller.
        m_programmedStart = t;
        m_controller.machine().Reset(RecordingState::rsProgrammed);
        m_controller.lancerEnregistrement();
        return false;
    }
    m_programmedStart = start;
    arm(start, TAlarm::Handler::Start);
    return true;
}

bool TScheduler::ArmEndAlarm() {
    const QDateTime t = now();
    QDateTime end;
    if (m_programmedStart.isValid()) {
        end = endAfter(m_programmedStart);
        if (end <= t) // started by hand or late: the end's time of day comes next
            end = TAlarm::NextOccurrence(end.time(), t);
    } else {
        // An end given to a recording started by hand.
        if (t.date() > m_fields.endDate())
            return false;
        end = m_fields.end();
        if (end <= t)
            end = TAlarm::NextOccurrence(end.time(), t);
    }
    m_programmedStart = {};
    arm(end, TAlarm::Handler::End);
    return true;
}

void TScheduler::DisarmAlarm() {
    m_alarm.Disarm();
    m_programmedStart = {};
}

void TScheduler::ring(TAlarm::Handler handler, qint64 lateMs) {
    if (lateMs > 1500)
        qCWarning(lcVidorra) << "programmed recording:"
                             << (handler == TAlarm::Handler::Start ? "start" : "end") << "rung"
                             << lateMs / 1000.0 << "s late";
    if (handler == TAlarm::Handler::End) {
        if (m_controller.state() == RecordingState::rsProgrammedRecording)
            m_controller.stopperEnregistrement();
        return;
    }
    if (m_controller.state() != RecordingState::rsProgrammed)
        return;
    if (m_programmedStart.isValid() && endAfter(m_programmedStart) <= now()) {
        // Both passed while nobody looked (a suspend): there is nothing left to record.
        qCWarning(lcVidorra) << "programmed recording: its start and its end have passed, "
                                "nothing is recorded";
        m_controller.ScheduleCommand(); // back to the preview, the alarm disarmed
        return;
    }
    m_controller.lancerEnregistrement();
}

void TScheduler::startTimeEdited() {
    if (m_controller.state() != RecordingState::rsProgrammed ||
        m_alarm.handler() != TAlarm::Handler::Start)
        return;
    // The armed date stays; an instant already past rings at the next tick.
    const QDateTime start(m_alarm.at().date(), m_fields.start().time());
    m_programmedStart = start;
    arm(start, TAlarm::Handler::Start);
    m_controller.ShowProgrammedTimes();
}

void TScheduler::endTimeEdited() {
    if (m_controller.state() != RecordingState::rsProgrammedRecording ||
        m_alarm.handler() != TAlarm::Handler::End)
        return;
    arm(QDateTime(m_alarm.at().date(), m_fields.end().time()), TAlarm::Handler::End);
    m_controller.ShowProgrammedTimes();
}

void TScheduler::PanelShown() {
    const RecordingState state = m_controller.state();
    if (state != RecordingState::rsProgrammed && state != RecordingState::rsProgrammedRecording)
        m_fields.presetFrom(now());
}
