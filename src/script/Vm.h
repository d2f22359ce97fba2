#pragma once

#include "Compiler.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace vscript {

// Runs host routines on behalf of the machine; returns false with a message to raise.
class HostBridge {
public:
    virtual ~HostBridge() = default;
    virtual bool callHost(const HostCallSite& site, Value* window, int argc, QString& error) = 0;
};

// Saves the machine a dispatch on the commonest sequences, run once on a compiled program
// before the machine runs it: an integer operation followed by the Wrap of its result (a sum
// stored into an Integer, say) is marked with that Wrap's width, the machine then cuts the
// result itself and steps over the Wrap (unless a jump reaches that Wrap); a jump to a return
// becomes that return (the end of an if branch in a function).
void fuseInstructions(Program& program);

struct VmLimits {
    int64_t stepBudget = 0; // backward jumps and calls; 0 = no limit
    int maxDepth = 100000;  // nested calls; the stack of slots bounds them too
    int64_t maxHeapBytes = int64_t(256) << 20;
    int64_t timeLimitMs = 0; // how long a run may last; 0 = no limit
    const std::atomic<bool>* stop = nullptr;
    std::function<void()> pump;
    // Where Write and WriteLn send their text; standard output when not given.
    std::function<void(const QString& text)> output;
};

class Vm {
public:
    Vm(const CompiledProgram& program, HostBridge* host, const VmLimits& limits);
    ~Vm();
    // False with "<text> (L:C)" in error when the program ends on an error.
    bool run(QString& error);

    // For the standard library: the exception to raise when a builtin returns false.
    void raise(int classId, const QString& message);
    void fatal(const QString& message);
    // Whether the script's heap may grow by that much; raises EOutOfMemory when it may not.
    bool heapAllows(int64_t extraBytes);
    int64_t heapLeft() const;
    const CompiledProgram& program() const { return m_prog; }
    void output(const QString& text) const;

private:
    bool slowCheck();
    bool bigSet(const Instr& in, Value* R);
    // abandoned: left by an exception or Halt, its result not handed back either.
    void releaseFrame(size_t frameIndex, bool abandoned = true);
    // Releases the temporaries live at a frame's current instruction, after the first `from`.
    void releaseTemps(size_t frameIndex, int pc, size_t from);
    int framePc(size_t frameIndex, int topPc) const;

    const CompiledProgram& m_prog;
    HostBridge* m_host;
    VmLimits m_limits;
    struct FreeSlots {
        void operator()(Value* p) const { std::free(p); }
    };
    // Zeroed by calloc: the pages a run never reaches are never touched, which keeps a short
    // script from paying for the whole stack at start.
    std::unique_ptr<Value, FreeSlots> m_stack;
    struct Frame {
        int routine;
        int base;
        int retPc;
        int staticFrame;
    };
    std::vector<Frame> m_frames;
    struct Handler {
        int frame;
        int pc;
        int excSlot;
        int kind;
        size_t liveBase; // temporaries already live at the try, kept for after the handler
    };
    std::vector<Handler> m_handlers;
    ExcObj* m_pending = nullptr;
    bool m_fatal = false;
    QString m_fatalText;
    int64_t m_ticks = 0;
    int64_t m_chunk = 0;
    int64_t m_stepsUsed = 0;
    std::chrono::steady_clock::time_point m_lastPump;
    std::chrono::steady_clock::time_point m_deadline; // with limits.timeLimitMs
};

} // namespace vscript
