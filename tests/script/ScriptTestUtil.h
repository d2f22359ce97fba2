#pragma once

#include "ScriptEngine.h"

#include <QString>
#include <QStringList>
#include <ostream>

// Runs a script with showmessage collecting lines; "ERR:" + message when it fails.
inline QString runScript(const QString& source, vscript::ScriptEngine* given = nullptr) {
    vscript::ScriptEngine own;
    vscript::ScriptEngine& e = given ? *given : own;
    auto out = std::make_shared<QStringList>();
    e.registerRoutine("procedure showmessage(z: string);", [out](vscript::HostCall& c) {
        *out << c.args[0].toString();
        return vscript::ScriptValue();
    });
    auto c = e.compile(source);
    if (!c.ok)
        return "ERR:" + c.messages.join('|');
    auto r = e.run();
    QString text = out->join('\n');
    if (!r.ok)
        text += (text.isEmpty() ? "" : "\n") + QString("RUN:") + r.error;
    return text;
}

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}
