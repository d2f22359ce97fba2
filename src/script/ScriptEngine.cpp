#include "ScriptEngine.h"

#include "Compiler.h"
#include "Lexer.h"
#include "Parser.h"
#include "Vm.h"

#include <cstdio>

namespace vscript {

struct ScriptEngine::Impl : HostBridge {
    HostDecls decls;
    std::vector<HostRoutine> routines;
    std::unique_ptr<CompiledProgram> program;
    VmLimits limits;
    std::atomic<bool> stop{false};

    int add(HostRoutine r) {
        routines.push_back(std::move(r));
        return int(routines.size()) - 1;
    }
    HostDecls::Class* findClass(const QString& name) {
        for (auto& c : decls.classes)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return &c;
        return nullptr;
    }

    static ScriptValue fromSlot(const Type* t, Value v) {
        switch (t->kind) {
        case TK::Float:
            return ScriptValue::fromFloat(v.d);
        case TK::Bool:
            return ScriptValue::fromBool(v.i != 0);
        case TK::Str:
            return ScriptValue::fromString(strOf(v));
        case TK::Char:
            return ScriptValue::fromString(QString(QChar(char16_t(v.i))));
        case TK::Class:
            return ScriptValue::fromObject(
                v.o && v.o->kind == Obj::Host ? static_cast<HostObj*>(v.o)->handle : 0);
        default:
            return ScriptValue::fromInt(v.i);
        }
    }

    bool callHost(const HostCallSite& site, Value* w, int argc, QString& error) override {
        (void)argc;
        HostCall call;
        int first = 1;
        if (site.hasSelf) {
            Obj* self = w[1].o;
            if (!self) {
                error = QStringLiteral("Objet non créé");
                return false;
            }
            call.self = ScriptValue::fromObject(static_cast<HostObj*>(self)->handle);
            first = 2;
        }
        for (size_t i = 0; i < site.params.size(); ++i)
            call.args.push_back(fromSlot(site.params[i], w[first + int(i)]));
        if (site.hostIndex < 0 || site.hostIndex >= int(routines.size()) ||
            !routines[site.hostIndex]) {
            error = QStringLiteral("non disponible");
            return false;
        }
        ScriptValue r = routines[site.hostIndex](call);
        if (call.failed()) {
            error = call.error();
            return false;
        }
        if (!site.result)
            return true;
        switch (site.result->kind) {
        case TK::Float:
            w[0].d = r.toFloat();
            break;
        case TK::Str: {
            Obj* old = w[0].o;
            QString s = r.toString();
            w[0].o = nullptr;
            if (!s.isEmpty()) {
                auto* o = new StrObj(s);
                account(o);
                w[0].o = o;
            }
            decRef(old);
            break;
        }
        case TK::Class: {
            auto* h = new HostObj;
            h->classId = site.result->classId;
            h->handle = r.handle();
            Obj* old = w[0].o;
            w[0].o = h;
            decRef(old);
            break;
        }
        case TK::Bool:
            w[0].i = r.toBool();
            break;
        default:
            w[0].i = r.toInt();
            break;
        }
        return true;
    }
};

ScriptEngine::ScriptEngine() : m_d(std::make_unique<Impl>()) {}
ScriptEngine::~ScriptEngine() = default;

void ScriptEngine::registerRoutine(const QString& declaration, HostRoutine routine) {
    m_d->decls.routines.push_back({declaration, m_d->add(std::move(routine))});
}

void ScriptEngine::registerConstant(const QString& name, const QString& type,
                                    const ScriptValue& value) {
    QString text;
    switch (value.kind()) {
    case ScriptValue::Kind::Float:
        text = QString::number(value.toFloat(), 'g', 17);
        break;
    case ScriptValue::Kind::Bool:
        text = value.toBool() ? "True" : "False";
        break;
    case ScriptValue::Kind::String:
        text = '\'' + value.toString().replace('\'', "''") + '\'';
        break;
    default:
        text = QString::number(value.toInt());
    }
    if (value.kind() == ScriptValue::Kind::Float && !text.contains('.') && !text.contains('e'))
        text += ".0";
    m_d->decls.constants.push_back({name, type, text});
}

void ScriptEngine::registerType(const QString& name, const QString& declaration) {
    m_d->decls.types.push_back({name, declaration});
}

void ScriptEngine::registerClass(const QString& name, HostRoutine create) {
    HostDecls::Class c;
    c.name = name;
    c.classId = int(m_d->decls.classes.size());
    c.methods.push_back(
        {QStringLiteral("function Create: %1;").arg(name), m_d->add(std::move(create))});
    m_d->decls.classes.push_back(c);
}

void ScriptEngine::registerMethod(const QString& className, const QString& declaration,
                                  HostRoutine routine) {
    if (auto* c = m_d->findClass(className))
        c->methods.push_back({declaration, m_d->add(std::move(routine))});
}

void ScriptEngine::registerProperty(const QString& className, const QString& name,
                                    const QString& type, bool readOnly, HostRoutine getter,
                                    HostRoutine setter) {
    if (auto* c = m_d->findClass(className)) {
        int g = m_d->add(std::move(getter));
        int s = m_d->add(std::move(setter));
        c->properties.push_back({name, type, readOnly, g, s});
    }
}

CompileResult ScriptEngine::compile(const QString& source) {
    CompileResult result;
    m_d->program.reset();
    Diagnostics diags;
    Lexer lexer(source, diags);
    lexer.define(QStringLiteral("VIDORRA"));
    auto tokens = lexer.tokenize();
    if (!diags.hasErrors()) {
        Parser parser(std::move(tokens), diags);
        NodePtr tree = parser.parseProgram();
        if (!diags.hasErrors()) {
            auto program = std::make_unique<CompiledProgram>();
            Compiler compiler(*program, diags);
            compiler.declareHost(m_d->decls);
            if (!diags.hasErrors())
                compiler.compile(tree.get());
            if (!diags.hasErrors()) {
                fuseInstructions(*program);
                if (qEnvironmentVariableIsSet("VIDORRA_SCRIPT_DUMP"))
                    for (size_t i = 0; i < program->code.size(); ++i) {
                        const Instr& in = program->code[i];
                        std::fprintf(stderr, "%4zu op%-3d x%d %d %d %d\n", i, int(in.op), in.x,
                                     in.a, in.b, in.c);
                    }
                m_d->program = std::move(program);
            }
        }
    }
    result.messages = diags.messages();
    result.ok = m_d->program != nullptr;
    return result;
}

RunResult ScriptEngine::run() {
    RunResult r;
    if (!m_d->program) {
        r.error = QStringLiteral("Aucun programme compilé");
        return r;
    }
    m_d->stop.store(false);
    VmLimits limits = m_d->limits;
    limits.stop = &m_d->stop;
    Vm vm(*m_d->program, m_d.get(), limits);
    r.ok = vm.run(r.error);
    return r;
}

void ScriptEngine::setTimeLimit(int64_t ms) {
    m_d->limits.timeLimitMs = std::max<int64_t>(ms, 0);
}

void ScriptEngine::setStepBudget(int64_t steps) {
    m_d->limits.stepBudget = steps;
}
void ScriptEngine::setMaxHeapBytes(int64_t bytes) {
    m_d->limits.maxHeapBytes = bytes;
}
void ScriptEngine::setMaxCallDepth(int depth) {
    m_d->limits.maxDepth = depth;
}
void ScriptEngine::setPump(std::function<void()> pump) {
    m_d->limits.pump = std::move(pump);
}

void ScriptEngine::setOutput(std::function<void(const QString& text)> output) {
    m_d->limits.output = std::move(output);
}
std::atomic<bool>& ScriptEngine::stopRequest() {
    return m_d->stop;
}

} // namespace vscript
