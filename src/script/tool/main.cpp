#include "ActionEchoes.h"
#include "KXScript.h"

#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

bool numberAfter(const QString& argument, const QString& option, double& value) {
    if (!argument.startsWith(option))
        return false;
    bool ok = false;
    value = argument.mid(option.size()).toDouble(&ok);
    return ok && value > 0 && value < 1e12;
}

// The whole line, a #0 a script put into a message included.
void writeLine(const QString& text, FILE* to) {
    const QByteArray bytes = (text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

} // namespace

// Compiles and runs a script file with what the program gives every script; the actions of
// the program's manager print "appel NOM" instead of acting, and a message prints its text.
// For scripts run unattended, --limite=SECONDES and --etapes=N end the run when reached.
int main(int argc, char** argv) {
    QString path;
    double seconds = 0, steps = 0;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (numberAfter(argument, QStringLiteral("--limite="), seconds) ||
            numberAfter(argument, QStringLiteral("--etapes="), steps))
            continue;
        usage = usage || argument.startsWith(QLatin1String("--")) || !path.isEmpty();
        path = argument;
    }
    if (usage || path.isEmpty()) {
        std::fputs("usage : vidorra-script [--limite=SECONDES] [--etapes=N] FICHIER\n", stderr);
        return 1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Impossible de lire %s\n", QFile::encodeName(path).constData());
        return 1;
    }
    TKXScript script;
    QString warning;
    script.Script = TKXScript::DecodeSource(file.readAll(), &warning).split(u'\n');
    if (!warning.isEmpty())
        writeLine(QStringLiteral("Attention : ") + warning, stderr);
    script.OnCompile = [](TKXScript& s) { registerActionEchoes(s.engine()); };
    script.write = [](const QString& text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    };
    const bool compiled = script.Compile();
    if (!compiled) {
        // The messages but the closing "### Compilation Failed".
        for (qsizetype i = 0; i + 1 < script.Messages.size(); ++i)
            writeLine(script.Messages[i], stderr);
        return 1;
    }
    if (steps > 0)
        script.engine().setStepBudget(int64_t(steps));
    if (seconds > 0) {
        script.engine().setTimeLimit(int64_t(seconds * 1000));
        // A script waiting in a routine of the host (a long Sleep) is not stopped by the
        // engine: the process ends a little after the limit all the same.
        std::thread([seconds] {
            std::this_thread::sleep_for(std::chrono::milliseconds(int64_t(seconds * 1000) + 2000));
            std::fflush(stdout);
            std::fputs(QStringLiteral("Durée maximale atteinte (%1 s)\n")
                           .arg(seconds)
                           .toUtf8()
                           .constData(),
                       stderr);
            std::_Exit(2);
        }).detach();
    }
    const bool ran = script.Run();
    std::fflush(stdout);
    if (!ran) {
        const QString prefix = QStringLiteral("### Erreur pendant l'exécution: ");
        for (const QString& m : script.Messages)
            writeLine(QString(m).remove(0, m.startsWith(prefix) ? prefix.size() : 0), stderr);
        return 2;
    }
    return 0;
}
