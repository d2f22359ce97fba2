// Writes the manual page vidorra.1 (French, roff) from the main window's own actions, so
// that the page lists exactly the switches and tokens the program answers: the commands as
// the shortcut window lists them, and the settings the application manager takes.
//
//   vidorra-manpage OUTPUT DATE
#include "AppliMan.h"
#include "CaptureForm.h"
#include "CommandRunner.h"
#include "SuperAction.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace {

// Text for roff: backslashes escaped, hyphens kept as such, no line that starts a request.
QString roff(const QString& text) {
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\e"));
    out.replace(u'-', QStringLiteral("\\-"));
    if (out.startsWith(u'.') || out.startsWith(u'\''))
        out.prepend(QStringLiteral("\\&"));
    return out;
}

QString keys(const TCustomSuperAction* action) {
    QStringList list;
    if (!action->ShortCut.isEmpty())
        list << action->ShortCut.toString(QKeySequence::PortableText);
    for (const QKeySequence& key : action->SecondaryShortcuts)
        if (!key.isEmpty())
            list << key.toString(QKeySequence::PortableText);
    return list.join(QStringLiteral(", "));
}

// The names by which the command line reaches the action: its switch and its token, each
// only when no earlier action of the list answers it first.
QStringList reachableNames(TCustomScript& runner, TCustomSuperAction* action) {
    QStringList names;
    for (const QString& name : {action->Switch(), action->Token()})
        if (!name.isEmpty() && !names.contains(name) && runner.FindAction(name) == action)
            names << name;
    return names;
}

void writeCommands(QTextStream& out, TCaptureForm& form) {
    // As the shortcut window shows them: the actions with a caption, here by switch.
    QList<TCustomSuperAction*> actions;
    for (TCustomSuperAction* action : form.al)
        if (action && !action->text().isEmpty())
            actions << action;
    std::stable_sort(actions.begin(), actions.end(), [](const auto* a, const auto* b) {
        const QString ka = a->Switch().isEmpty() ? a->Token() : a->Switch();
        const QString kb = b->Switch().isEmpty() ? b->Token() : b->Switch();
        return QString::compare(ka, kb, Qt::CaseInsensitive) < 0;
    });
    for (TCustomSuperAction* action : actions) {
        const QStringList names = reachableNames(*form.Switch1, action);
        if (names.isEmpty())
            continue;
        QStringList shown;
        for (const QString& name : names)
            shown << QStringLiteral("\\fB/%1\\fR").arg(roff(name));
        out << ".TP\n" << shown.join(QStringLiteral(", ")) << '\n' << roff(action->text());
        if (qobject_cast<TtoggleAction*>(action))
            out << QStringLiteral(" (bascule : \\fB+%1\\fR met en marche, \\fB\\-%1\\fR arrête)")
                       .arg(roff(names.first()));
        // "Grab!" and "Panneau A propos..." end their own sentence.
        const bool ended = action->text().endsWith(u'.') || action->text().endsWith(u'!');
        const QString k = keys(action);
        if (!k.isEmpty())
            out << (ended ? " " : ". ") << QStringLiteral("Touches : %1.").arg(roff(k));
        else if (!ended)
            out << '.';
        out << '\n';
    }
}

void writeManagerSettings(QTextStream& out, TCaptureForm& form) {
    for (TCustomAbstractAction* action : form.am->actions) {
        if (!action || action->Switch().isEmpty())
            continue;
        QString what;
        if (qobject_cast<TRectAction*>(action))
            what = QStringLiteral("place la fenêtre : rectangle (gauche, haut, droite, bas)");
        else if (qobject_cast<TCheckAction*>(action))
            what = QStringLiteral("affiche (+), masque (\\-) ou bascule (/) la fenêtre");
        else if (qobject_cast<TBooleanAction*>(action))
            what = QStringLiteral("vrai ou faux");
        else
            what = QStringLiteral("exécute la commande");
        const QString name =
            action->ScriptName.isEmpty() ? action->objectName() : action->ScriptName;
        out << ".TP\n\\fB" << roff(action->SwitchSyntax()) << "\\fR\n"
            << roff(name) << " : " << what << ".\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Builds run without a session: a private runtime folder, as Qt expects one.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fputs("usage : vidorra-manpage SORTIE DATE\n", stderr);
        return 1;
    }
    TCaptureForm form; // never shown: its constructor builds the action lists

    QSaveFile file(args[1]);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::fprintf(stderr, "Impossible d'écrire %s\n", argv[1]);
        return 1;
    }
    QTextStream out(&file);
    out << ".\\\" -*- coding: UTF-8 -*-\n"
           ".\\\" Produit à la construction depuis les actions du programme : ne pas modifier.\n"
        << QStringLiteral(".TH VIDORRA 1 \"%1\" \"Vidorra %2\" \"Commandes de l'utilisateur\"\n")
               .arg(args[2], QStringLiteral(VIDORRA_VERSION))
        << QStringLiteral(R"(.SH NOM
vidorra \- capture vidéo et audio, caméscopes DV, incrustation et scripts
.SH SYNOPSIS
.B vidorra
.RI [ commande ...]
.SH DESCRIPTION
\fBvidorra\fR prévisualise une source vidéo et une source audio et enregistre ce qu'il
montre : AVI DV, AVI, AVI MPEG\-4, ASF/WMV, MPEG, WAV, MP3 et AVI en accéléré.
Sans matériel de capture, il travaille sur ses périphériques virtuels (mire de test,
signal de test, DV virtuel, MPEG virtuel).
.PP
Chaque commande de la fenêtre est une action, que l'on nomme aussi sur la ligne de
commande ou dans un fichier de commandes par son \fIswitch\fR ou son \fImot\-clé\fR.
Les commandes de la ligne de commande s'exécutent dans l'ordre, une fois le programme
démarré.
.SH "LIGNE DE COMMANDE"
Chaque argument nomme une action, précédé d'un préfixe :
.TP
.BI / nom
exécute l'action ;
.TP
.BI + nom
met en marche une action à bascule ;
.TP
.BI \- nom
arrête une action à bascule.
.PP
Un argument qui ne commence par aucun de ces préfixes est ignoré, de même qu'un nom
inconnu. Un texte suit le nom après un signe égal, par exemple
\fB"/sv=DV Source \- Video"\fR choisit la source vidéo de ce nom.
\fB"/dv_fichier=/chemin/cassette.avi"\fR lit un fichier DV (.dv, .dif, AVI de type 1 ou 2)
comme une cassette, dans la source \fBFichier DV\fR ; le fichier n'est jamais modifié.
\fB/quit\fR ferme le programme après les autres commandes de la même ligne.
.SH COMMANDES
)");
    writeCommands(out, form);
    out << QStringLiteral(R"(.SH "RÉGLAGES DU GESTIONNAIRE"
Le gestionnaire de l'application prend aussi ces switches :
)");
    writeManagerSettings(out, form);
    out << QStringLiteral(R"(.SH "FICHIERS DE COMMANDES"
Un fichier de commandes tient une commande par ligne : un mot\-clé ou un switch, suivi
d'un blanc ou d'un signe égal et d'un argument (\fBtrue\fR, \fBfalse\fR ou \fBtoggle\fR
pour une action à bascule ; un nom, entre guillemets s'il contient des blancs, pour les
choix de source et de format).
.SH FICHIERS
.TP
.I ~/.config/Ardoval/registre.reg
les préférences (dans \fB$XDG_CONFIG_HOME\fR quand il est défini) ;
.TP
.I Vidorra.ini
les préférences en mode portable, à côté de l'exécutable ;
.TP
.I ~/.local/share/gstreamer\-1.0/plugins
les filtres GStreamer installés depuis le programme.
.SH SCRIPTS
Les scripts de la fenêtre Script s'exécutent aussi depuis un terminal :
\fBvidorra\-script\fR \fIFICHIER\fR compile et exécute le script ; les actions du
programme y affichent \(lqappel NOM\(rq. Le code de sortie vaut 0 quand le script s'est
exécuté, 1 quand il ne compile pas, 2 quand il s'est arrêté sur une erreur.
.SH "VOIR AUSSI"
.BR gst\-inspect\-1.0 (1),
.BR gst\-launch\-1.0 (1)
pour les éléments du greffon GStreamer \fBvidorra\fR
(\fBvr_superposer\fR, \fBvr_timestamper\fR, ...).
)");
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        std::fprintf(stderr, "Impossible d'écrire %s\n", argv[1]);
        return 1;
    }
    return 0;
}
