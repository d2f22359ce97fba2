#include "HostActions.h"
#include "ScriptEngine.h"

#include <QFile>
#include <chrono>
#include <cstdio>
#include <thread>

using vscript::HostCall;
using vscript::ScriptValue;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage : vidorra-script FICHIER\n", stderr);
        return 1;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Impossible de lire %s\n", argv[1]);
        return 1;
    }
    const QString source = QString::fromUtf8(file.readAll());

    vscript::ScriptEngine engine;
    engine.registerRoutine(QStringLiteral("procedure showmessage(z:string);"), [](HostCall& c) {
        std::fputs((c.args[0].toString() + '\n').toUtf8().constData(), stdout);
        return ScriptValue();
    });
    engine.registerRoutine(QStringLiteral("procedure sleep(milli:Cardinal);"), [](HostCall& c) {
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(c.args[0].toInt()));
        return ScriptValue();
    });
    engine.registerRoutine(QStringLiteral("procedure processmessages;"),
                           [](HostCall&) { return ScriptValue(); });
    registerActionEchoes(engine);

    const auto compiled = engine.compile(source);
    if (!compiled.ok) {
        for (const QString& m : compiled.messages)
            std::fputs((m + '\n').toUtf8().constData(), stderr);
        return 1;
    }
    const auto ran = engine.run();
    std::fflush(stdout);
    if (!ran.ok) {
        std::fputs((ran.error + '\n').toUtf8().constData(), stderr);
        return 2;
    }
    return 0;
}
