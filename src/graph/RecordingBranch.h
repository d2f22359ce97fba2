#pragma once

#include "GstRef.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <functional>
#include <gst/gst.h>
#include <memory>
#include <mutex>
#include <vector>

// One recording branch on the running pipeline: taps on the tees, the elements between them
// and the file writer, and the writer itself (muxer or format writer + filesink), which can be
// swapped for a new file while the rest keeps running.
//
// Time stamps: the capture gates' outputs share one time base, the start of the recording
// (running time, with the frozen stretches taken out); the streams of a file share one too,
// the start of the file (the cut instant), so that a stream that starts later in the file
// (pictures waiting for a key frame) keeps its place beside the sound.
class TRecordingBranch {
public:
    // Makes the writer's elements for a file: head first, the file sink last, not linked.
    using TWriterFactory = std::function<std::vector<GstElement*>(const QString& fileName)>;

    explicit TRecordingBranch(GstBin* pipeline);
    ~TRecordingBranch();
    TRecordingBranch(const TRecordingBranch&) = delete;
    TRecordingBranch& operator=(const TRecordingBranch&) = delete;

    // An element made for this branch (added to the pipeline; null when the factory is
    // missing, which fails the build).
    GstElement* Make(const char* factory, const char* name = nullptr);
    // One of the module's own elements, added for the life of the branch.
    [[nodiscard]] bool UseOwn(GstElement* own);
    // A queue fed by a new request pad of tee (linked when the branch starts).
    GstElement* Tap(GstElement* tee, const char* name);
    [[nodiscard]] bool Link(std::initializer_list<GstElement*> chain);

    // The gate of a stream: frames lost before it are counted (video), frames after it are
    // re-stamped; markBranchTime marks each frame for the DV header; waitKeyAfterFreeze drops
    // the delta frames that follow a frozen stretch (native compressed streams).
    void WatchGate(GstElement* gate, bool video, bool markBranchTime, bool waitKeyAfterFreeze);
    // A stream entering the writer from last's src pad. A new file starts with a key frame
    // (requested from an encoder upstream when forceKeyUnit), preceded by the stream's
    // configuration (the caps' codec_data: an MPEG sequence header) when it lacks one.
    void AddStream(GstElement* last, bool video, bool keyFrames, bool forceKeyUnit,
                   bool startWithConfig = false);
    // For an encoder that keeps the order of its frames: an output buffer without a usable
    // time (the MPEG-4 encoder of libav 1.22 stamps every packet 2^63 ns) takes the time of
    // the input frame it came from. Without it a muxer interleaving by time would starve the
    // other streams of the file.
    void KeepEncoderTimes(GstElement* encoder);

    // Creates the writer of fileName and links every stream to it.
    [[nodiscard]] bool OpenWriter(TWriterFactory factory, const QString& fileName);
    // Brings the branch to the pipeline's state and links the taps.
    [[nodiscard]] bool Start();
    // Called on a streaming thread when something an end or a cut waits for has happened (the
    // writer's end of stream, a tap cut off): the owner moves the operation on (Advance) from
    // its own thread. Set before Start.
    void SetWake(std::function<void()> wake) { m_wake = std::move(wake); }

    // The end: end of stream through the branch. It starts here and goes on in Advance; once
    // the file has its end (or timeoutMs has passed without anything more reaching the file,
    // longestMs at most), everything is taken out. Nothing waits inside.
    void BeginEnd(int timeoutMs, int longestMs);
    // A cut: the branch continues in a new file at a frame boundary, the old file gets its
    // end in Advance (at most a few times timeoutMs). False when the new file could not be
    // opened (the old one goes on, nothing is under way).
    [[nodiscard]] bool BeginSwap(const QString& fileName, int timeoutMs);
    // Moves the end or the cut under way on (the thread that began it); true once it is over:
    // finishedFile() is the file it finished, fileFinished() whether that file got its end.
    bool Advance();
    bool busy() const { return m_op != Op::None; }
    QString finishedFile() const { return m_doneFile; }
    bool fileFinished() const { return m_doneFinished; }
    // Takes everything out at once (a build that failed half-way).
    void TearDown();

    // Freeze and release: the gates leave out the frozen stretch and the streams close the
    // gap after it.
    void SetFrozen(bool frozen);

    QString fileName() const;
    GstElement* writerHead() const;
    // Set when an element of the branch failed (the file sink, an encoder).
    bool Owns(GstObject* object) const;
    quint64 frames() const { return m_frames.load(); }
    quint64 fed() const { return m_fed.load(); } // buffers of every stream into the writer
    quint64 dropped() const { return m_dropped.load(); }

    struct Stream;
    struct Writer;
    struct Gate;
    struct TimeKeeper;

private:
    bool makeWriter(Writer& w);
    void linkStreams(Writer& w);
    void watchEncoderInput(Stream& stream);
    GstClockTime furthestGate() const;
    bool inFrozenStretch(Gate& g, GstClockTime running);
    void finishWriter(Writer& w);
    static bool claimSwap(Stream& s, GstPad* feed);
    void relinkWhenIdle(Stream& s, bool force);
    void dropIdleProbes();
    void addProbe(GstPad* pad, GstPadProbeType mask, GstPadProbeCallback callback, gpointer data);
    void removeProbes();
    bool advanceEnd();
    bool advanceSwap();
    bool allSwapped() const;
    void movePending(bool force);
    void nextPhase(int phase);
    bool phaseOver(int ms) const;
    void wake() const {
        if (m_wake)
            m_wake();
    }

    GstBin* m_bin;
    std::vector<TGstRef<GstElement>> m_made;
    std::vector<GstElement*> m_own; // the module's elements borrowed for the branch
    struct TapPad {
        TGstRef<GstElement> tee;
        TGstRef<GstPad> teePad;
        GstElement* queue;   // in m_made
        TGstRef<GstPad> src; // the queue's
        std::atomic<bool> done{false};
        std::atomic<bool> failed{false}; // reported once
        const std::atomic<bool>* ending = nullptr;
        const TRecordingBranch* owner = nullptr;
    };
    std::vector<std::unique_ptr<TapPad>> m_taps;
    std::vector<std::unique_ptr<Gate>> m_gates;
    std::vector<std::unique_ptr<Stream>> m_streams;
    std::vector<std::unique_ptr<TimeKeeper>> m_keepers;
    std::unique_ptr<Writer> m_writer;
    std::unique_ptr<Writer> m_oldWriter; // the file a cut is finishing
    std::vector<std::pair<TGstRef<GstPad>, gulong>> m_probes;
    TWriterFactory m_factory;
    struct FrozenStretch {
        GstClockTime from;
        GstClockTime until; // none while frozen
    };
    std::mutex m_frozenLock;
    std::vector<FrozenStretch> m_frozen;
    bool m_started = false;
    std::atomic<bool> m_ending{false};
    // The running time where the recording starts: the first buffer of any gate.
    std::atomic<GstClockTime> m_gateStart{GST_CLOCK_TIME_NONE};
    std::atomic<quint64> m_frames{0};  // video buffers into the writer (streaming threads)
    std::atomic<quint64> m_fed{0};     // buffers of every stream into the writer
    std::atomic<quint64> m_dropped{0}; // frames missing before the video gate

    // The end or the cut under way (the owner's thread only).
    enum class Op { None, Ending, Swapping };
    Op m_op = Op::None;
    int m_phase = 0;
    int m_timeoutMs = 0;
    int m_longestMs = 0;
    bool m_flowing = false;
    bool m_finished = false;
    quint64 m_fedMark = 0;
    QElapsedTimer m_opClock;    // since the operation began
    QElapsedTimer m_phaseClock; // since its current step began
    QString m_doneFile;
    bool m_doneFinished = false;
    std::function<void()> m_wake; // set before Start, then only read
};
