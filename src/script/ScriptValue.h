#pragma once

#include <QString>
#include <cstdint>

namespace vscript {

// A value crossing between a script and the program.
class ScriptValue {
public:
    enum class Kind { None, Int, Float, Bool, String, Object };

    ScriptValue() = default;
    static ScriptValue fromInt(int64_t v) { return ScriptValue(Kind::Int, v, 0.0, {}); }
    static ScriptValue fromFloat(double v) { return ScriptValue(Kind::Float, 0, v, {}); }
    static ScriptValue fromBool(bool v) { return ScriptValue(Kind::Bool, v ? 1 : 0, 0.0, {}); }
    static ScriptValue fromString(const QString& v) { return ScriptValue(Kind::String, 0, 0.0, v); }
    // A host object, known to the program by its handle.
    static ScriptValue fromObject(int64_t handle) {
        return ScriptValue(Kind::Object, handle, 0.0, {});
    }

    Kind kind() const { return m_kind; }
    int64_t toInt() const { return m_kind == Kind::Float ? int64_t(m_f) : m_i; }
    double toFloat() const { return m_kind == Kind::Float ? m_f : double(m_i); }
    bool toBool() const { return m_i != 0; }
    QString toString() const { return m_s; }
    int64_t handle() const { return m_i; }

private:
    ScriptValue(Kind k, int64_t i, double f, QString s)
        : m_kind(k), m_i(i), m_f(f), m_s(std::move(s)) {}
    Kind m_kind = Kind::None;
    int64_t m_i = 0;
    double m_f = 0.0;
    QString m_s;
};

} // namespace vscript
