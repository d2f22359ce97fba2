#include "RecordingStateMachine.h"

void TRecordingStateMachine::Reset(RecordingState state) {
    m_state = state;
}

void TRecordingStateMachine::enter(RecordingState state) {
    m_state = state;
    m_ops.EnterState(state);
}

void TRecordingStateMachine::Handle(RecordingEvent event) {
    using S = RecordingState;
    switch (event) {
    case RecordingEvent::CaptureCommand:
        switch (m_state) {
        case S::rsPreview:
            if (m_ops.StartCapture())
                enter(S::rsRecording);
            break;
        case S::rsRecording:
            if (m_ops.StopCapture())
                enter(S::rsPreview);
            else
                m_ops.FallBackToNoVideo();
            break;
        case S::rsProgrammed:
            if (m_ops.StartCapture()) {
                enter(S::rsProgrammedRecording);
                m_ops.ArmEndAlarm();
            } else {
                enter(S::rsPreview);
                m_ops.DisarmAlarm();
            }
            break;
        case S::rsProgrammedRecording:
            if (m_ops.StopCapture()) {
                enter(S::rsPreview);
                m_ops.DisarmAlarm();
            } else {
                m_ops.FallBackToNoVideo();
            }
            break;
        }
        break;
    case RecordingEvent::ScheduleCommand:
        switch (m_state) {
        case S::rsPreview:
            if (m_ops.ArmStartAlarm())
                enter(S::rsProgrammed);
            break;
        case S::rsRecording:
            if (m_ops.ArmEndAlarm())
                enter(S::rsProgrammedRecording);
            break;
        case S::rsProgrammed:
            m_ops.DisarmAlarm();
            enter(S::rsPreview);
            break;
        case S::rsProgrammedRecording:
            m_ops.DisarmAlarm();
            enter(S::rsRecording);
            break;
        }
        break;
    case RecordingEvent::StartAlarm:
        if (m_state != S::rsProgrammed)
            break;
        if (m_ops.StartCapture()) {
            m_ops.ArmEndAlarm();
            enter(S::rsProgrammedRecording);
        } else {
            m_ops.DisarmAlarm();
            m_ops.StopCapture();
            enter(S::rsPreview);
        }
        break;
    case RecordingEvent::EndAlarm:
        if (m_state != S::rsProgrammedRecording)
            break;
        m_ops.StopCapture();
        m_ops.DisarmAlarm();
        enter(S::rsPreview);
        break;
    case RecordingEvent::StoppedBySelf:
        // The file is already finalised; the schedule, if any, has nothing left to stop.
        if (!recording())
            break;
        m_ops.StopCapture();
        m_ops.DisarmAlarm();
        enter(S::rsPreview);
        break;
    }
}
