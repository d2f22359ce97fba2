#include "ActionEchoes.h"
#include "KXScript.h"

#include <QFile>
#include <cstdio>

// Compiles and runs a script file with what the program gives every script; the actions of
// the program's manager print "appel NOM" instead of acting, and a message prints its text.
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
    TKXScript script;
    script.Script = QString::fromUtf8(file.readAll()).split(u'\n');
    script.OnCompile = [](TKXScript& s) { registerActionEchoes(s.engine()); };
    const bool compiled = script.Compile();
    if (!compiled) {
        // The messages but the closing "### Compilation Failed".
        for (qsizetype i = 0; i + 1 < script.Messages.size(); ++i)
            std::fputs((script.Messages[i] + u'\n').toUtf8().constData(), stderr);
        return 1;
    }
    const bool ran = script.Run();
    std::fflush(stdout);
    if (!ran) {
        const QString prefix = QStringLiteral("### Erreur pendant l'exécution: ");
        for (const QString& m : script.Messages)
            std::fputs((QString(m).remove(0, m.startsWith(prefix) ? prefix.size() : 0) + u'\n')
                           .toUtf8()
                           .constData(),
                       stderr);
        return 2;
    }
    return 0;
}
