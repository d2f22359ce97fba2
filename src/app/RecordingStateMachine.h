#pragma once

#include <cstdint>

// States of the recording controller.
enum class RecordingState : uint8_t {
    rsPreview = 1,             // preview running, no recording, no schedule armed
    rsRecording = 2,           // recording without end time
    rsProgrammed = 3,          // schedule armed, waiting for the start time
    rsProgrammedRecording = 4, // recording until the scheduled end time
};

// What makes the controller move.
enum class RecordingEvent : uint8_t {
    CaptureCommand,  // saCapturerBascule
    ScheduleCommand, // acProgrammerBascule
    StartAlarm,      // lancerEnregistrement
    EndAlarm,        // stopperEnregistrement
    StoppedBySelf,   // the recording side ended the recording (disk reserve, lost device)
};

// The work behind the transitions, done by the controller.
class IRecordingOps {
public:
    virtual ~IRecordingOps() = default;
    virtual bool StartCapture() = 0;
    virtual bool StopCapture() = 0; // false: a current source was lost
    virtual bool ArmStartAlarm() = 0;
    virtual bool ArmEndAlarm() = 0;
    virtual void DisarmAlarm() = 0;
    virtual void FallBackToNoVideo() = 0;
    virtual void EnterState(RecordingState state) = 0; // colours, controls, texts
};

// The controller's state machine: one transition function over the tables of the capture
// and schedule commands and of the alarms.
class TRecordingStateMachine {
public:
    explicit TRecordingStateMachine(IRecordingOps& ops) : m_ops(ops) {}

    RecordingState state() const { return m_state; }
    bool recording() const {
        return m_state == RecordingState::rsRecording ||
               m_state == RecordingState::rsProgrammedRecording;
    }
    // Sets the state without running anything (start-up: the preview state is entered).
    void Reset(RecordingState state);
    // Runs the event's row for the current state.
    void Handle(RecordingEvent event);

private:
    void enter(RecordingState state);

    IRecordingOps& m_ops;
    RecordingState m_state = RecordingState::rsPreview;
};
