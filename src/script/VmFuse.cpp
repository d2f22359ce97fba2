#include "Vm.h"

namespace vscript {

void fuseInstructions(Program& program) {
    std::vector<Instr>& code = program.code;
    std::vector<bool> reached(code.size() + 1, false);
    for (const Routine& r : program.routines)
        if (r.entry >= 0 && size_t(r.entry) < reached.size())
            reached[size_t(r.entry)] = true;
    for (const Instr& in : code) {
        int target = -1;
        switch (in.op) {
        case Op::Jmp:
        case Op::Try:
            target = in.a;
            break;
        case Op::JT:
        case Op::JF:
            target = in.b;
            break;
        case Op::JEq:
        case Op::JNe:
        case Op::JLt:
        case Op::JLe:
        case Op::JGt:
        case Op::JGe:
        case Op::JEqK:
        case Op::JNeK:
        case Op::JLtK:
        case Op::JLeK:
        case Op::JGtK:
        case Op::JGeK:
        case Op::ForUp:
        case Op::ForDown:
            target = in.c;
            break;
        default:
            break;
        }
        if (target >= 0 && size_t(target) < reached.size())
            reached[size_t(target)] = true;
    }
    for (Instr& in : code)
        if (in.op == Op::Jmp && in.a >= 0 && size_t(in.a) < code.size() &&
            code[size_t(in.a)].op == Op::Ret)
            in = code[size_t(in.a)];
    for (size_t i = 0; i + 1 < code.size(); ++i) {
        Instr& in = code[i];
        const Instr& next = code[i + 1];
        switch (in.op) {
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
        case Op::Mod:
        case Op::AddK:
        case Op::SubK:
        case Op::MulK:
            if (in.x == 0 && next.op == Op::Wrap && next.b == in.a && next.x != W64 &&
                !reached[i + 1])
                in.x = next.x;
            break;
        default:
            break;
        }
    }
}

} // namespace vscript
