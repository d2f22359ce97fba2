#include "Vm.h"

#include "Builtins.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>

namespace vscript {

namespace {
constexpr int kStackSlots = 1 << 20;
constexpr int64_t kTickChunk = 1024;

enum ExcId {
    ExcException = 0,
    ExcConvert = 1,
    ExcDivByZero = 3,
    ExcRange = 4,
    ExcInvalidOp = 6,
    ExcZeroDivide = 7,
    ExcOutOfMemory = 8
};

// Integer, the common case, without wrapTo's switch.
inline int64_t wrapped(int64_t v, uint8_t width) {
    return width == WS32 ? int64_t(int32_t(v)) : wrapTo(v, width);
}

inline void loadMode(Value& dst, Value src, uint8_t mode) {
    if (mode == Plain) {
        dst = src;
    } else {
        incRef(src.o);
        Obj* old = dst.o;
        dst = src;
        decRef(old);
    }
}
} // namespace

Vm::Vm(const CompiledProgram& program, HostBridge* host, const VmLimits& limits)
    : m_prog(program), m_host(host), m_limits(limits) {
    m_stack.reset(static_cast<Value*>(std::calloc(kStackSlots, sizeof(Value))));
    if (!m_stack)
        throw std::bad_alloc();
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.timeLimitMs);
}

Vm::~Vm() {
    while (!m_frames.empty()) {
        releaseFrame(m_frames.size() - 1);
        m_frames.pop_back();
    }
    decRef(m_pending);
}

void Vm::raise(int classId, const QString& message) {
    auto* e = new ExcObj;
    e->classId = classId;
    e->message = message;
    decRef(m_pending);
    m_pending = e;
}

void Vm::fatal(const QString& message) {
    m_fatal = true;
    m_fatalText = message;
}

bool Vm::heapAllows(int64_t extraBytes) {
    if (extraBytes <= 0 ||
        (extraBytes < m_limits.maxHeapBytes && heapBytes() <= m_limits.maxHeapBytes - extraBytes))
        return true;
    // A script may catch it (EOutOfMemory) and go on with less.
    raise(ExcOutOfMemory, QStringLiteral("Mémoire insuffisante"));
    return false;
}

int64_t Vm::heapLeft() const {
    return std::max<int64_t>(0, m_limits.maxHeapBytes - heapBytes());
}

void Vm::releaseFrame(size_t frameIndex, bool abandoned) {
    const Frame& f = m_frames[frameIndex];
    const Routine& r = m_prog.routines[f.routine];
    Value* base = m_stack.get() + f.base;
    for (int s : r.releaseSlots) {
        decRef(base[s].o);
        base[s].o = nullptr;
    }
    if (abandoned && r.resultOwned) {
        decRef(base[0].o);
        base[0].o = nullptr;
    }
}

int Vm::framePc(size_t frameIndex, int topPc) const {
    return frameIndex + 1 >= m_frames.size() ? topPc : m_frames[frameIndex + 1].retPc - 1;
}

void Vm::releaseTemps(size_t frameIndex, int pc, size_t from) {
    if (pc < 0 || size_t(pc) >= m_prog.liveTemps.size())
        return;
    const std::vector<int>& live = m_prog.tempLists[size_t(m_prog.liveTemps[size_t(pc)])];
    Value* base = m_stack.get() + m_frames[frameIndex].base;
    for (size_t k = from; k < live.size(); ++k) {
        Obj* o = base[live[k]].o;
        base[live[k]].o = nullptr;
        decRef(o);
    }
}

bool Vm::slowCheck() {
    m_stepsUsed += m_chunk - m_ticks;
    if (m_limits.stop && m_limits.stop->load(std::memory_order_relaxed)) {
        fatal(QStringLiteral("Script arrêté"));
        return false;
    }
    if (m_limits.stepBudget > 0 && m_stepsUsed >= m_limits.stepBudget) {
        fatal(QStringLiteral("Nombre maximal d'étapes atteint"));
        return false;
    }
    auto now = std::chrono::steady_clock::now();
    if (m_limits.timeLimitMs > 0 && now >= m_deadline) {
        fatal(QStringLiteral("Durée maximale atteinte (%1 s)")
                  .arg(double(m_limits.timeLimitMs) / 1000.0));
        return false;
    }
    if (m_limits.pump && now - m_lastPump >= std::chrono::milliseconds(50)) {
        m_lastPump = now;
        m_limits.pump();
        if (m_limits.stop && m_limits.stop->load(std::memory_order_relaxed)) {
            fatal(QStringLiteral("Script arrêté"));
            return false;
        }
    }
    m_chunk = kTickChunk;
    if (m_limits.stepBudget > 0)
        m_chunk = std::max<int64_t>(1, std::min(m_chunk, m_limits.stepBudget - m_stepsUsed));
    m_ticks = m_chunk;
    return true;
}

bool Vm::run(QString& error) {
    const Instr* code = m_prog.code.data();
    const Routine& main = m_prog.routines[0];
    if (main.entry < 0 || main.frameSize > kStackSlots) {
        error = QStringLiteral("Programme vide");
        return false;
    }
    const std::atomic<bool>* stop = m_limits.stop;
    m_lastPump = std::chrono::steady_clock::now();
    m_chunk = m_ticks = 0;
    if (!slowCheck()) {
        error = m_fatalText + QStringLiteral(" (1:1)");
        return false;
    }
    m_frames.push_back({0, 0, -1, -1});
    Value* stack = m_stack.get();
    Value* stackEnd = stack + kStackSlots;
    Value* R = stack;
    const Instr* ip = code + main.entry;
    const Value* K = m_prog.constants.data();
    const Routine* routines = m_prog.routines.data();
    const Instr* faultAt = nullptr;

// A limit reached stops the run at `at`, the instruction its message names: the jump or the
// loop's end, or a routine's first instruction, where nothing of the new frame is live yet.
#define CHECK_TICK_AT(at)                                                                          \
    do {                                                                                           \
        if (--m_ticks <= 0 || (stop && stop->load(std::memory_order_relaxed))) {                   \
            if (!slowCheck()) {                                                                    \
                faultAt = (at);                                                                    \
                goto failed;                                                                       \
            }                                                                                      \
        }                                                                                          \
    } while (0)
#define CHECK_TICK() CHECK_TICK_AT(I)
#define JUMP(t)                                                                                    \
    do {                                                                                           \
        const Instr* target_ = code + (t);                                                         \
        if (target_ <= I) {                                                                        \
            ip = target_;                                                                          \
            CHECK_TICK();                                                                          \
        } else {                                                                                   \
            ip = target_;                                                                          \
        }                                                                                          \
    } while (0)
#define THROW(cls, msg)                                                                            \
    do {                                                                                           \
        raise(cls, msg);                                                                           \
        goto exception;                                                                            \
    } while (0)

#if defined(__GNUC__)
#define VM_THREADED 1
// The frequent instructions end by jumping straight to the code of the next one through a table
// of label addresses: the processor then predicts each of these jumps apart, where the one jump
// of a switch mispredicts whenever the instruction differs from the last. The others go through
// the switch.
#define HOT(name) hot_##name:
#define NEXT()                                                                                     \
    do {                                                                                           \
        I = ip++;                                                                                  \
        goto* dispatch[size_t(I->op)];                                                             \
    } while (0)
    void* dispatch[256];
    std::fill(std::begin(dispatch), std::end(dispatch), &&coldOps);
// clang-format off
#define HOT_OPS(X)                                                                                 \
    X(LoadI) X(LoadK) X(Mov) X(MovM) X(Clear) X(Null) X(LoadG) X(StoreG) X(AddrL) X(AddrG)         \
    X(LoadP) X(StoreP) X(LoadE) X(StoreE) X(LoadF) X(StoreF) X(Add) X(Sub) X(Mul) X(Mod) X(And)    \
    X(Or) X(Neg) X(Not) X(BNot) X(AddK) X(SubK) X(MulK) X(Wrap) X(Eq) X(Ne) X(Lt) X(Le) X(Gt)      \
    X(Ge) X(CmpS) X(Jmp) X(JT) X(JF) X(JEq) X(JNe) X(JLt) X(JLe) X(JGt) X(JGe) X(JEqK) X(JNeK)     \
    X(JLtK) X(JLeK) X(JGtK) X(JGeK) X(ForUp) X(ForDown) X(Call) X(Ret) X(CallB) X(Concat)          \
    X(AppendP) X(StrIdx) X(In)
// clang-format on
#define HOT_ENTRY(name) dispatch[size_t(Op::name)] = &&hot_##name;
    HOT_OPS(HOT_ENTRY)
#undef HOT_ENTRY
#undef HOT_OPS
    dispatch[size_t(Op::Div)] = &&hot_Mod; // they share their code
    dispatch[size_t(Op::Append)] = &&hot_AppendP;
#else
#define VM_THREADED 0
#define HOT(name)
#define NEXT() continue
#endif

// An operation marked by fuseInstructions does the Wrap that follows it and steps over it.
#define WRAP_NEXT()                                                                                \
    do {                                                                                           \
        if (I->x) {                                                                                \
            R[ip->a].i = wrapped(R[I->a].i, I->x);                                                 \
            ++ip;                                                                                  \
        }                                                                                          \
    } while (0)

    const Instr* I = nullptr;
    for (;;) {
        I = ip++;
#if VM_THREADED
        goto* dispatch[size_t(I->op)];
    coldOps:
#endif
        switch (I->op) {
        case Op::Nop:
            break;
        case Op::LoadI:
            HOT(LoadI)
            R[I->a].i = I->b;
            NEXT();
        case Op::LoadK:
            HOT(LoadK)
            loadMode(R[I->a], K[I->b], I->x);
            NEXT();
        case Op::Mov:
            HOT(Mov)
            R[I->a] = R[I->b];
            NEXT();
        case Op::MovM:
            HOT(MovM)
            storeValue(R[I->a], R[I->b], I->x);
            NEXT();
        case Op::Clear: {
            HOT(Clear)
            Obj* o = R[I->a].o;
            R[I->a].o = nullptr;
            decRef(o);
            NEXT();
        }
        case Op::Null:
            HOT(Null)
            R[I->a].o = nullptr;
            NEXT();
        case Op::LoadG:
            HOT(LoadG)
            loadMode(R[I->a], stack[I->b], I->x);
            NEXT();
        case Op::StoreG:
            HOT(StoreG)
            storeValue(stack[I->a], R[I->b], I->x);
            NEXT();
        case Op::AddrL:
            HOT(AddrL)
            R[I->a].p = &R[I->b];
            NEXT();
        case Op::AddrG:
            HOT(AddrG)
            R[I->a].p = &stack[I->b];
            NEXT();
        case Op::AddrO: {
            int f = int(m_frames.size()) - 1;
            for (int h = 0; h < I->b && f >= 0; ++h)
                f = m_frames[f].staticFrame;
            R[I->a].p = &stack[m_frames[f].base + I->c];
            break;
        }
        case Op::AddrE: {
            auto* a = static_cast<AggObj*>(R[I->b].o);
            uint64_t i = uint64_t(R[I->c].i);
            if (!a || i >= a->v.size())
                THROW(ExcRange, QStringLiteral("Range check error"));
            R[I->a].p = &a->v[i];
            break;
        }
        case Op::AddrF:
            R[I->a].p = &static_cast<AggObj*>(R[I->b].o)->v[I->c];
            break;
        case Op::LoadP:
            HOT(LoadP)
            loadMode(R[I->a], *R[I->b].p, I->x);
            NEXT();
        case Op::StoreP:
            HOT(StoreP)
            storeValue(*R[I->a].p, R[I->b], I->x);
            NEXT();
        case Op::LoadE: {
            HOT(LoadE)
            auto* a = static_cast<AggObj*>(R[I->b].o);
            uint64_t i = uint64_t(R[I->c].i);
            if (!a || i >= a->v.size())
                THROW(ExcRange, QStringLiteral("Range check error"));
            loadMode(R[I->a], a->v[i], I->x);
            NEXT();
        }
        case Op::StoreE: {
            HOT(StoreE)
            auto* a = static_cast<AggObj*>(R[I->a].o);
            uint64_t i = uint64_t(R[I->b].i);
            if (!a || i >= a->v.size())
                THROW(ExcRange, QStringLiteral("Range check error"));
            storeValue(a->v[i], R[I->c], I->x);
            NEXT();
        }
        case Op::LoadF:
            HOT(LoadF)
            loadMode(R[I->a], static_cast<AggObj*>(R[I->b].o)->v[I->c], I->x);
            NEXT();
        case Op::StoreF:
            HOT(StoreF)
            storeValue(static_cast<AggObj*>(R[I->a].o)->v[I->b], R[I->c], I->x);
            NEXT();
        case Op::NewAgg: {
            const Layout* l = &m_prog.layouts[I->b];
            if (!heapAllows(deepBytes(l)))
                goto exception;
            Obj* old = R[I->a].o;
            R[I->a].o = newAgg(l);
            decRef(old);
            break;
        }
        case Op::Add:
            HOT(Add)
            R[I->a].i = int64_t(uint64_t(R[I->b].i) + uint64_t(R[I->c].i));
            WRAP_NEXT();
            NEXT();
        case Op::Sub:
            HOT(Sub)
            R[I->a].i = int64_t(uint64_t(R[I->b].i) - uint64_t(R[I->c].i));
            WRAP_NEXT();
            NEXT();
        case Op::Mul:
            HOT(Mul)
            R[I->a].i = int64_t(uint64_t(R[I->b].i) * uint64_t(R[I->c].i));
            WRAP_NEXT();
            NEXT();
        case Op::Div:
        case Op::Mod: {
            HOT(Mod)
            int64_t d = R[I->c].i, n = R[I->b].i;
            if (d == 0)
                THROW(ExcDivByZero, QStringLiteral("Division by zero"));
            if (d == -1)
                R[I->a].i = I->op == Op::Div ? int64_t(0 - uint64_t(n)) : 0;
            else
                R[I->a].i = I->op == Op::Div ? n / d : n % d;
            WRAP_NEXT();
            NEXT();
        }
        case Op::And:
            HOT(And)
            R[I->a].i = R[I->b].i & R[I->c].i;
            NEXT();
        case Op::Or:
            HOT(Or)
            R[I->a].i = R[I->b].i | R[I->c].i;
            NEXT();
        case Op::Xor:
            R[I->a].i = R[I->b].i ^ R[I->c].i;
            break;
        case Op::Shl:
            if (I->x == Shift64)
                R[I->a].i = int64_t(uint64_t(R[I->b].i) << (R[I->c].i & 63));
            else if (I->x == ShiftS32)
                R[I->a].i = int32_t(uint32_t(R[I->b].i) << (R[I->c].i & 31));
            else
                R[I->a].i = uint32_t(R[I->b].i) << (R[I->c].i & 31);
            break;
        case Op::Shr:
            if (I->x == Shift64)
                R[I->a].i = int64_t(uint64_t(R[I->b].i) >> (R[I->c].i & 63));
            else if (I->x == ShiftS32)
                R[I->a].i = int32_t(uint32_t(R[I->b].i) >> (R[I->c].i & 31));
            else
                R[I->a].i = uint32_t(R[I->b].i) >> (R[I->c].i & 31);
            break;
        case Op::Neg:
            HOT(Neg)
            R[I->a].i = int64_t(0 - uint64_t(R[I->b].i));
            NEXT();
        case Op::Not:
            HOT(Not)
            R[I->a].i = ~R[I->b].i;
            NEXT();
        case Op::BNot:
            HOT(BNot)
            R[I->a].i = !R[I->b].i;
            NEXT();
        case Op::AddK:
            HOT(AddK)
            R[I->a].i = int64_t(uint64_t(R[I->b].i) + uint64_t(int64_t(I->c)));
            WRAP_NEXT();
            NEXT();
        case Op::SubK:
            HOT(SubK)
            R[I->a].i = int64_t(uint64_t(R[I->b].i) - uint64_t(int64_t(I->c)));
            WRAP_NEXT();
            NEXT();
        case Op::MulK:
            HOT(MulK)
            R[I->a].i = int64_t(uint64_t(R[I->b].i) * uint64_t(int64_t(I->c)));
            WRAP_NEXT();
            NEXT();
        case Op::Wrap:
            HOT(Wrap)
            R[I->a].i = wrapped(R[I->b].i, I->x);
            NEXT();
        case Op::AddF:
            R[I->a].d = R[I->b].d + R[I->c].d;
            break;
        case Op::SubF:
            R[I->a].d = R[I->b].d - R[I->c].d;
            break;
        case Op::MulF:
            R[I->a].d = R[I->b].d * R[I->c].d;
            break;
        case Op::DivF: {
            double d = R[I->c].d;
            if (d == 0.0) {
                if (R[I->b].d == 0.0 || std::isnan(R[I->b].d))
                    THROW(ExcInvalidOp, QStringLiteral("Invalid floating point operation"));
                THROW(ExcZeroDivide, QStringLiteral("Division by zero"));
            }
            R[I->a].d = R[I->b].d / d;
            break;
        }
        case Op::NegF:
            R[I->a].d = -R[I->b].d;
            break;
        case Op::I2F:
            R[I->a].d = double(R[I->b].i);
            break;
        case Op::Eq:
            HOT(Eq)
            R[I->a].i = R[I->b].i == R[I->c].i;
            NEXT();
        case Op::Ne:
            HOT(Ne)
            R[I->a].i = R[I->b].i != R[I->c].i;
            NEXT();
        case Op::Lt:
            HOT(Lt)
            R[I->a].i = R[I->b].i < R[I->c].i;
            NEXT();
        case Op::Le:
            HOT(Le)
            R[I->a].i = R[I->b].i <= R[I->c].i;
            NEXT();
        case Op::Gt:
            HOT(Gt)
            R[I->a].i = R[I->b].i > R[I->c].i;
            NEXT();
        case Op::Ge:
            HOT(Ge)
            R[I->a].i = R[I->b].i >= R[I->c].i;
            NEXT();
        case Op::EqF:
            R[I->a].i = R[I->b].d == R[I->c].d;
            break;
        case Op::NeF:
            R[I->a].i = R[I->b].d != R[I->c].d;
            break;
        case Op::LtF:
            R[I->a].i = R[I->b].d < R[I->c].d;
            break;
        case Op::LeF:
            R[I->a].i = R[I->b].d <= R[I->c].d;
            break;
        case Op::GtF:
            R[I->a].i = R[I->b].d > R[I->c].d;
            break;
        case Op::GeF:
            R[I->a].i = R[I->b].d >= R[I->c].d;
            break;
        case Op::CmpS: {
            HOT(CmpS)
            int c = strOf(R[I->b]).compare(strOf(R[I->c]));
            bool r;
            switch (I->x) {
            case 0:
                r = c == 0;
                break;
            case 1:
                r = c != 0;
                break;
            case 2:
                r = c < 0;
                break;
            case 3:
                r = c <= 0;
                break;
            case 4:
                r = c > 0;
                break;
            default:
                r = c >= 0;
                break;
            }
            R[I->a].i = r;
            NEXT();
        }
        case Op::Jmp:
            HOT(Jmp)
            JUMP(I->a);
            NEXT();
        case Op::JT:
            HOT(JT)
            if (R[I->a].i)
                JUMP(I->b);
            NEXT();
        case Op::JF:
            HOT(JF)
            if (!R[I->a].i)
                JUMP(I->b);
            NEXT();
#define CJ(name, cmp)                                                                              \
    case Op::name:                                                                                 \
        HOT(name)                                                                                  \
        if (R[I->a].i cmp R[I->b].i)                                                               \
            JUMP(I->c);                                                                            \
        NEXT();                                                                                    \
    case Op::name##K:                                                                              \
        HOT(name##K)                                                                               \
        if (R[I->a].i cmp int64_t(I->b))                                                           \
            JUMP(I->c);                                                                            \
        NEXT();
            CJ(JEq, ==)
            CJ(JNe, !=)
            CJ(JLt, <)
            CJ(JLe, <=)
            CJ(JGt, >)
            CJ(JGe, >=)
#undef CJ
        case Op::ForUp:
            HOT(ForUp)
            if (R[I->a].i < R[I->b].i) {
                ++R[I->a].i;
                ip = code + I->c;
                CHECK_TICK();
            }
            NEXT();
        case Op::ForDown:
            HOT(ForDown)
            if (R[I->a].i > R[I->b].i) {
                --R[I->a].i;
                ip = code + I->c;
                CHECK_TICK();
            }
            NEXT();
        case Op::Call: {
            HOT(Call)
            const Routine& r = routines[I->b];
            Value* nb = R + I->a;
            if (int(m_frames.size()) >= m_limits.maxDepth || nb + r.frameSize > stackEnd) {
                fatal(QStringLiteral("Dépassement de pile"));
                faultAt = I;
                goto failed;
            }
            int sf = int(m_frames.size()) - 1;
            for (int h = 0; h < I->x && sf >= 0; ++h)
                sf = m_frames[sf].staticFrame;
            nb[0].i = 0;
            // Most frames are a few slots: two at a time costs less than calling memset (which
            // the compiler would make of a plain loop).
            Value* v = nb + r.paramCount + 1;
            Value* end = nb + r.frameSize;
            if (v < end && ((end - v) & 1))
                (v++)->i = 0;
            for (; v < end; v += 2) {
                v[0].i = 0;
                v[1].i = 0;
            }
            m_frames.push_back({I->b, int(nb - stack), int(ip - code), sf});
            R = nb;
            ip = code + r.entry;
            CHECK_TICK_AT(ip);
            NEXT();
        }
        case Op::Ret: {
            HOT(Ret)
            const Frame& f = m_frames.back();
            for (int s : routines[f.routine].releaseSlots) {
                Obj* o = R[s].o;
                R[s].o = nullptr;
                decRef(o);
            }
            ip = code + f.retPc;
            m_frames.pop_back();
            R = stack + m_frames.back().base;
            NEXT();
        }
        case Op::CallB:
            HOT(CallB)
            if (!builtinFunction(Bi(I->b))(*this, R + I->a, I->c)) {
                if (m_fatal)
                    goto failed;
                goto exception;
            }
            NEXT();
        case Op::CallH: {
            QString err;
            if (!m_host || !m_host->callHost(m_prog.hostSites[I->b], R + I->a, I->c, err))
                THROW(ExcException, err);
            // A routine that let the program run (a wait, a command) may have been asked to
            // stop the script meanwhile.
            if (m_limits.stop && m_limits.stop->load(std::memory_order_relaxed)) {
                fatal(QStringLiteral("Script arrêté"));
                goto failed;
            }
            break;
        }
        case Op::Concat: {
            HOT(Concat)
            const QString& a = strOf(R[I->b]);
            const QString& b = strOf(R[I->c]);
            if (!heapAllows((a.size() + b.size()) * 2))
                goto exception;
            StrObj* s = a.isEmpty() && b.isEmpty() ? nullptr : new StrObj(a + b);
            if (s)
                account(s);
            Obj* old = R[I->a].o;
            R[I->a].o = s;
            decRef(old);
            NEXT();
        }
        case Op::Append:
        case Op::AppendP: {
            HOT(AppendP)
            Value& dst = I->op == Op::Append ? R[I->a] : *R[I->a].p;
            const QString& add = strOf(R[I->b]);
            if (add.isEmpty())
                break;
            if (!heapAllows(add.size() * 2))
                goto exception;
            auto* s = static_cast<StrObj*>(dst.o);
            if (s && s->rc == 1) {
                if (s->s.capacity() < s->s.size() + add.size())
                    s->s.reserve((s->s.size() + add.size()) * 2);
                s->s += add;
            } else {
                auto* n = new StrObj(strOf(dst) + add);
                decRef(dst.o);
                dst.o = s = n;
            }
            account(s);
            NEXT();
        }
        case Op::Chr2S: {
            Obj* old = R[I->a].o;
            auto* s = new StrObj(QString(QChar(char16_t(R[I->b].i))));
            account(s);
            R[I->a].o = s;
            decRef(old);
            break;
        }
        case Op::StrIdx: {
            HOT(StrIdx)
            const QString& s = strOf(R[I->b]);
            int64_t i = R[I->c].i;
            if (i < 1 || i > s.size())
                THROW(ExcRange, QStringLiteral("Range check error"));
            R[I->a].i = s[int(i - 1)].unicode();
            NEXT();
        }
        case Op::StrSet: {
            Value& v = I->x ? *R[I->a].p : R[I->a];
            int64_t i = R[I->b].i;
            auto* s = static_cast<StrObj*>(v.o);
            if (!s || i < 1 || i > s->s.size())
                THROW(ExcRange, QStringLiteral("Range check error"));
            if (s->rc > 1) {
                auto* n = new StrObj(s->s);
                account(n);
                decRef(s);
                v.o = s = n;
            }
            s->s[int(i - 1)] = QChar(char16_t(R[I->c].i));
            break;
        }
        case Op::SetBit: {
            int64_t e = R[I->b].i;
            if (e < 0 || e > 63)
                THROW(ExcRange, QStringLiteral("Range check error"));
            R[I->a].i |= int64_t(uint64_t(1) << e);
            break;
        }
        case Op::SetRange: {
            int64_t lo = R[I->b].i, hi = R[I->c].i;
            if (lo <= hi && (lo < 0 || hi > 63))
                THROW(ExcRange, QStringLiteral("Range check error"));
            for (int64_t e = lo; e <= hi; ++e)
                R[I->a].i |= int64_t(uint64_t(1) << e);
            break;
        }
        case Op::In: {
            HOT(In)
            int64_t e = R[I->b].i;
            R[I->a].i = e >= 0 && e < 64 && ((uint64_t(R[I->c].i) >> e) & 1);
            NEXT();
        }
        case Op::AndNot:
            R[I->a].i = R[I->b].i & ~R[I->c].i;
            break;
        case Op::SubSet:
            R[I->a].i = (R[I->b].i & ~R[I->c].i) == 0;
            break;
        case Op::BigSet:
            if (!bigSet(*I, R))
                THROW(ExcRange, QStringLiteral("Range check error"));
            break;
        case Op::Try:
            R[I->b].o = nullptr;
            m_handlers.push_back(
                {int(m_frames.size()) - 1, I->a, int(&R[I->b] - stack), I->x,
                 m_prog.tempLists[size_t(m_prog.liveTemps[size_t(I - code)])].size()});
            break;
        case Op::EndTry:
            m_handlers.pop_back();
            break;
        case Op::Raise: {
            Obj* e = R[I->a].o;
            if (!e)
                THROW(ExcException, QStringLiteral("Access violation"));
            incRef(e);
            decRef(m_pending);
            m_pending = static_cast<ExcObj*>(e);
            m_pending->raisedAt = int(I - code);
            goto exception;
        }
        case Op::Reraise: {
            Obj* e = R[I->a].o;
            if (!e)
                break;
            R[I->a].o = nullptr;
            decRef(m_pending);
            m_pending = static_cast<ExcObj*>(e);
            goto exception;
        }
        case Op::ExcIs: {
            auto* e = static_cast<ExcObj*>(R[I->b].o);
            int c = e ? e->classId : -1;
            while (c >= 0 && c != I->c)
                c = m_prog.excClasses[c].parent;
            R[I->a].i = c >= 0;
            break;
        }
        case Op::Halt:
            while (m_frames.size() > 1) {
                releaseFrame(m_frames.size() - 1);
                m_frames.pop_back();
            }
            return true;
        }
        continue;

    exception : {
        faultAt = I;
        if (m_pending && m_pending->raisedAt < 0)
            m_pending->raisedAt = int(I - code);
        if (m_handlers.empty())
            goto failed;
        Handler h = m_handlers.back();
        m_handlers.pop_back();
        int pc = int(I - code);
        while (int(m_frames.size()) - 1 > h.frame) {
            releaseTemps(m_frames.size() - 1, pc, 0);
            pc = m_frames.back().retPc - 1;
            releaseFrame(m_frames.size() - 1);
            m_frames.pop_back();
        }
        releaseTemps(m_frames.size() - 1, pc, h.liveBase);
        R = stack + m_frames.back().base;
        stack[h.excSlot].o = m_pending;
        m_pending = nullptr;
        ip = code + h.pc;
        continue;
    }
    }

failed:
    if (!faultAt)
        faultAt = ip - 1;
    {
        int pc = int(faultAt - code);
        for (size_t f = m_frames.size(); f-- > 0;)
            releaseTemps(f, framePc(f, pc), 0);
    }
    if (!m_fatal && m_pending && m_pending->raisedAt >= 0)
        faultAt = code + m_pending->raisedAt; // an uncaught exception: where it was raised
    {
        Pos p = m_prog.positions[size_t(faultAt - code)];
        QString text = m_fatal ? m_fatalText : (m_pending ? m_pending->message : QString());
        // One pass: a script's message holding "%2" (a Format specifier) stays as it is.
        error =
            QStringLiteral("%1 (%2:%3)").arg(text, QString::number(p.line), QString::number(p.col));
    }
    while (m_frames.size() > 1) {
        releaseFrame(m_frames.size() - 1);
        m_frames.pop_back();
    }
    m_handlers.clear();
    return false;
#undef CHECK_TICK
#undef CHECK_TICK_AT
#undef JUMP
#undef THROW
#undef HOT
#undef NEXT
#undef WRAP_NEXT
#undef VM_THREADED
}

} // namespace vscript
