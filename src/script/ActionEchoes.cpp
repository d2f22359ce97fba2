#include "ActionEchoes.h"

#include "ScriptEngine.h"

#include <QRegularExpression>
#include <cstdio>

// The procedures of the program's application manager, as its actions declare them (a test
// of the program checks that this list follows them).
QStringList actionDeclarations() {
    return {
        QStringLiteral("procedure FormSave(const left,right,top,bottom:integer);"),
        QStringLiteral("procedure raCam1(const left,right,top,bottom:integer);"),
        QStringLiteral("procedure Cam2(const left,right,top,bottom:integer);"),
        QStringLiteral("procedure setScript(const fisTrue:Boolean);"),
        QStringLiteral("procedure Script;"),
        QStringLiteral("procedure setHelp(const fisTrue:Boolean);"),
        QStringLiteral("procedure Help;"),
        QStringLiteral("procedure setAbout(const fisTrue:Boolean);"),
        QStringLiteral("procedure About;"),
        QStringLiteral("procedure setOptions(const fisTrue:Boolean);"),
        QStringLiteral("procedure Options;"),
        QStringLiteral("procedure setCustom(const fisTrue:Boolean);"),
        QStringLiteral("procedure Custom;"),
        QStringLiteral("procedure ScriptFormSave(const left,right,top,bottom:integer);"),
        QStringLiteral("procedure Decalage(const jours:widestring);"),
        QStringLiteral("procedure commande(const ligne:string);"),
        QStringLiteral("procedure attendre(const ms:Integer);"),
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
            const QByteArray bytes = (line + '\n').toUtf8(); // a #0 included
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
            return vscript::ScriptValue();
        });
    }
}
