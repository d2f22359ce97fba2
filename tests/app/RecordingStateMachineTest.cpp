#include "RecordingStateMachine.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Records the operations the machine asks for, and answers them as told.
struct FakeOps : IRecordingOps {
    bool startOk = true, stopOk = true, armStartOk = true, armEndOk = true;
    std::vector<std::string> calls;
    bool StartCapture() override {
        calls.push_back("start");
        return startOk;
    }
    bool StopCapture() override {
        calls.push_back("stop");
        return stopOk;
    }
    bool ArmStartAlarm() override {
        calls.push_back("armStart");
        return armStartOk;
    }
    bool ArmEndAlarm() override {
        calls.push_back("armEnd");
        return armEndOk;
    }
    void DisarmAlarm() override { calls.push_back("disarm"); }
    void FallBackToNoVideo() override { calls.push_back("noVideo"); }
    void EnterState(RecordingState s) override {
        calls.push_back("enter" + std::to_string(int(s)));
    }
};

using S = RecordingState;
using E = RecordingEvent;
using Calls = std::vector<std::string>;

struct Row {
    S from;
    E event;
    bool ok; // what the first operation answers
    S to;
    Calls calls;
};

void runRow(const Row& row) {
    FakeOps ops;
    ops.startOk = ops.stopOk = ops.armStartOk = ops.armEndOk = row.ok;
    TRecordingStateMachine machine(ops);
    machine.Reset(row.from);
    machine.Handle(row.event);
    EXPECT_EQ(machine.state(), row.to);
    EXPECT_EQ(ops.calls, row.calls);
}

} // namespace

TEST(RecordingStateMachine, CaptureCommand) {
    const Row rows[] = {
        {S::rsPreview, E::CaptureCommand, true, S::rsRecording, {"start", "enter2"}},
        {S::rsPreview, E::CaptureCommand, false, S::rsPreview, {"start"}},
        {S::rsRecording, E::CaptureCommand, true, S::rsPreview, {"stop", "enter1"}},
        // A source lost during the recording: the state stays, the no-video display shows.
        {S::rsRecording, E::CaptureCommand, false, S::rsRecording, {"stop", "noVideo"}},
        {S::rsProgrammed,
         E::CaptureCommand,
         true,
         S::rsProgrammedRecording,
         {"start", "enter4", "armEnd"}},
        {S::rsProgrammed, E::CaptureCommand, false, S::rsPreview, {"start", "enter1", "disarm"}},
        {S::rsProgrammedRecording,
         E::CaptureCommand,
         true,
         S::rsPreview,
         {"stop", "enter1", "disarm"}},
        {S::rsProgrammedRecording,
         E::CaptureCommand,
         false,
         S::rsProgrammedRecording,
         {"stop", "noVideo"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.from) * 10 + row.ok);
        runRow(row);
    }
}

TEST(RecordingStateMachine, ScheduleCommand) {
    const Row rows[] = {
        {S::rsPreview, E::ScheduleCommand, true, S::rsProgrammed, {"armStart", "enter3"}},
        {S::rsPreview, E::ScheduleCommand, false, S::rsPreview, {"armStart"}},
        // While recording, only the end is programmed; the recording goes on.
        {S::rsRecording, E::ScheduleCommand, true, S::rsProgrammedRecording, {"armEnd", "enter4"}},
        {S::rsRecording, E::ScheduleCommand, false, S::rsRecording, {"armEnd"}},
        {S::rsProgrammed, E::ScheduleCommand, true, S::rsPreview, {"disarm", "enter1"}},
        {S::rsProgrammedRecording, E::ScheduleCommand, true, S::rsRecording, {"disarm", "enter2"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.from) * 10 + row.ok);
        runRow(row);
    }
}

TEST(RecordingStateMachine, AlarmsAndStopsFromTheRecordingSide) {
    const Row rows[] = {
        {S::rsProgrammed,
         E::StartAlarm,
         true,
         S::rsProgrammedRecording,
         {"start", "armEnd", "enter4"}},
        // A failed start from the alarm returns to the preview, disarmed.
        {S::rsProgrammed,
         E::StartAlarm,
         false,
         S::rsPreview,
         {"start", "disarm", "stop", "enter1"}},
        {S::rsPreview, E::StartAlarm, true, S::rsPreview, {}},
        {S::rsRecording, E::StartAlarm, true, S::rsRecording, {}},
        {S::rsProgrammedRecording, E::EndAlarm, true, S::rsPreview, {"stop", "disarm", "enter1"}},
        {S::rsRecording, E::EndAlarm, true, S::rsRecording, {}},
        {S::rsProgrammed, E::EndAlarm, true, S::rsProgrammed, {}},
        // The disk reserve or a lost device ended the recording by itself.
        {S::rsRecording, E::StoppedBySelf, true, S::rsPreview, {"stop", "disarm", "enter1"}},
        {S::rsProgrammedRecording,
         E::StoppedBySelf,
         true,
         S::rsPreview,
         {"stop", "disarm", "enter1"}},
        {S::rsPreview, E::StoppedBySelf, true, S::rsPreview, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.from) * 100 + int(row.event) * 10 + row.ok);
        runRow(row);
    }
}
