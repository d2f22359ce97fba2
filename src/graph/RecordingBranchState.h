#pragma once

// The branch's nested state, shared by its implementation files (the life cycle, the time
// bases, the writer swap) and kept out of RecordingBranch.h: nothing else needs it.

#include "RecordingBranch.h"

#include <QString>
#include <atomic>
#include <deque>
#include <gst/gst.h>
#include <mutex>
#include <thread>
#include <vector>

// The continuity of one capture gate's output; the fields without atomics belong to the
// gate's streaming thread.
struct TRecordingBranch::Gate {
    TRecordingBranch* owner = nullptr;
    bool video = false;
    bool mark = false;
    bool waitKey = false;
    GstSegment segment{};
    bool haveSegment = false;
    bool offsetSet = false;
    GstClockTimeDiff offset = 0;
    GstClockTime lastEnd = GST_CLOCK_TIME_NONE;
    GstClockTime lastIn = GST_CLOCK_TIME_NONE;   // before the gate: gaps are lost frames
    GstClockTime shortest = GST_CLOCK_TIME_NONE; // the frame period seen before the gate
    std::atomic<bool> resync{false};             // set past a frozen stretch
    std::atomic<GstClockTime> removed{0};        // frozen time passed since the last resync
    std::atomic<bool> keyWait{false};
    GstSegment sinkSegment{}; // as the stream comes to the gate
    std::atomic<GstClockTime> lastRunning{GST_CLOCK_TIME_NONE};
    size_t passed = 0; // frozen stretches this gate is past
};

// A stream entering the writer. `next`, `cutAt` and `nextStart` are written by the UI thread
// before swapPending is set (release) and read by the streaming thread after it saw
// swapPending (acquire). Whoever turns swapPending from true to false (the streaming thread
// at the cut, or the UI thread on a pad at rest when the cut waited too long) moves the
// stream to the new file; nobody else touches its links.
struct TRecordingBranch::Stream {
    TRecordingBranch* owner = nullptr;
    bool video = false;
    bool keyFrames = false;
    bool forceKeyUnit = false;
    // The encoder's input, where a key frame is asked for the first picture at or after
    // keyAt (running time; none when nothing is asked).
    TGstRef<GstPad> encoderSink;
    std::atomic<GstClockTime> keyAt{GST_CLOCK_TIME_NONE};
    GstSegment encoderSegment{}; // the encoder's input thread
    bool startWithConfig = false;
    TGstRef<GstPad> feed;
    GstPad* next = nullptr; // the new writer's pad during a swap (owned by the writer)
    std::atomic<bool> swapPending{false};
    std::atomic<bool> swapped{false};
    // The streams of a file end at one time: the running time a swap waits for (written
    // before swapPending), and the running time of the last buffer that came.
    GstClockTime cutAt = GST_CLOCK_TIME_NONE;
    std::atomic<GstClockTime> lastRunning{GST_CLOCK_TIME_NONE};
    // The running time where the current file starts, common to its streams (none: each
    // stream starts from its first buffer); the next file's, during a swap.
    GstClockTime fileStart = 0;
    GstClockTime nextStart = GST_CLOCK_TIME_NONE;
    // The probe that moves the stream over once its pad is at rest, while it is pending: at
    // once when the pad is at rest when it is set (idleCaller, the thread that set it, runs
    // it then), or whenever it runs when forced.
    std::mutex idleLock;
    gulong idleProbe = 0;
    bool idleDone = false;
    std::atomic<bool> idleForce{false};
    std::thread::id idleCaller;
    GstSegment segment{}; // streaming thread, as the stream came
    bool haveSegment = false;
    bool baseSet = false;
    GstClockTime base = 0;
};

// The times of the frames an encoder has taken and not yet given back, oldest first; filled
// on the encoder's input thread, read on its output thread.
struct TRecordingBranch::TimeKeeper {
    struct Times {
        GstClockTime running; // of the input frame
        GstClockTime duration;
    };
    std::mutex lock;
    std::deque<Times> pending;
    GstSegment in{};  // input thread
    GstSegment out{}; // output thread
};

// The writer of one file: its elements, and its pads for the streams.
struct TRecordingBranch::Writer {
    const TRecordingBranch* owner = nullptr;
    QString fileName;
    std::vector<TGstRef<GstElement>> elements;
    std::vector<TGstRef<GstPad>> pads; // one per stream
    std::vector<GstPad*> requested;    // those of pads that are request pads of the head
    std::atomic<bool> eos{false};      // set on the file sink's streaming thread
};
