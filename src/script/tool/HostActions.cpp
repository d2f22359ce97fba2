#include "HostActions.h"

#include "ScriptEngine.h"

#include <QRegularExpression>
#include <cstdio>

QStringList actionDeclarations() {
    return {
        QStringLiteral("procedure Capturer;"),
        QStringLiteral("procedure setEnregistrer(const fisTrue:Boolean);"),
        QStringLiteral("procedure Enregistrer;"),
        QStringLiteral("procedure Grab;"),
        QStringLiteral("procedure setFreezeCapture(const fisTrue:Boolean);"),
        QStringLiteral("procedure FreezeCapture;"),
        QStringLiteral("procedure setMute(const fisTrue:Boolean);"),
        QStringLiteral("procedure Mute;"),
    };
}

void registerActionEchoes(vscript::ScriptEngine& engine) {
    static const QRegularExpression nameRe(QStringLiteral("^\\s*procedure\\s+(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (const QString& decl : actionDeclarations()) {
        const QString name = nameRe.match(decl).captured(1);
        engine.registerRoutine(decl, [name](vscript::HostCall& call) {
            QString line = QStringLiteral("appel ") + name;
            for (const auto& a : call.args) {
                switch (a.kind()) {
                case vscript::ScriptValue::Kind::Bool:
                    line += a.toBool() ? " True" : " False";
                    break;
                case vscript::ScriptValue::Kind::Int:
                    line += ' ' + QString::number(a.toInt());
                    break;
                default:
                    line += ' ' + a.toString();
                }
            }
            std::fputs((line + '\n').toUtf8().constData(), stdout);
            return vscript::ScriptValue();
        });
    }
}
