#include "CommandLineHelp.h"

#include "CaptureFormat.h"

#include <algorithm>

namespace {

struct Category {
    const char* key;
    const char* title;
};

// The order of the help; the table's category names.
const Category kCategories[] = {
    {"general", "Programme"},
    {"action", "Capture, images et affichage"},
    {"select", "Source et format (avec =nom)"},
    {"Morne", "Preview, capture et incrustation"},
    {"frame", "Panneaux et fenêtre"},
    {"Options", "Format des images fixes"},
    {"camera", "Caméscope DV"},
};

QString column(const QString& text, int width) {
    return text.leftJustified(width - 1) + u' ';
}

} // namespace

QList<ManagerWindowRow> ManagerWindowRows() {
    return {
        {"caScript", "Script", "Script", "F12", "Shift+F12"},
        {"caHelp", "Help", "Aide pour Raccourcis, Script et Macros", "F1", ""},
        {"caAbout", "About", "A propos", "F11", ""},
        {"caOptions", "Options", "Options", "F10", ""},
        {"caCustom", "Custom", "Personnaliser", "Alt+F10", ""},
    };
}

QStringList ManagerRectSwitches() {
    return {QStringLiteral("formsave"), QStringLiteral("cam1"), QStringLiteral("cam2"),
            QStringLiteral("scriptformsave")};
}

QString CommandLineCategoryTitle(const QString& category) {
    for (const Category& c : kCategories)
        if (category == QLatin1String(c.key))
            return QString::fromUtf8(c.title);
    return category;
}

QStringList CommandLineCategories() {
    QStringList out;
    for (const Category& c : kCategories)
        out << QLatin1String(c.key);
    return out;
}

ProgramOptions ParseProgramOptions(const QStringList& arguments) {
    ProgramOptions options;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help"))
            options.help = true;
        else if (argument == QLatin1String("--version"))
            options.version = true;
        else if (argument == QLatin1String("--new-instance"))
            options.newInstance = true;
        else
            options.commands << argument;
    }
    return options;
}

QString CommandLineHelp() {
    QString text = QStringLiteral(
        "Utilisation : vidorra [OPTION]... [COMMANDE]...\n"
        "Capture vidéo : Vidorra prévisualise une source vidéo et une source audio et "
        "enregistre\nce qu'il montre.\n"
        "\n"
        "Options :\n"
        "  --help          affiche cette aide et quitte\n"
        "  --version       affiche la version et quitte\n"
        "  --new-instance  démarre un programme indépendant, même quand Vidorra est déjà "
        "ouvert\n"
        "                  dans la session : il ne lui transmet pas ses commandes et n'en\n"
        "                  reçoit aucune\n"
        "\n"
        "Commandes :\n"
        "Chaque commande nomme une action par son switch ou son token, après un préfixe :\n"
        "  /nom         exécute l'action (une action à deux états change d'état)\n"
        "  +nom         met en marche une action à deux états (marquée +/- ci-dessous)\n"
        "  -nom         l'arrête\n"
        "  /nom=texte   passe un texte à l'action : le nom d'une source ou d'un format\n"
        "  /quit        ferme le programme une fois les autres commandes exécutées\n"
        "Les commandes s'exécutent dans l'ordre, une fois le démarrage terminé ; une commande\n"
        "inconnue ou sans préfixe est ignorée. Quand Vidorra est déjà ouvert dans la session,\n"
        "vidorra lui transmet ses commandes, qu'il exécute comme les siennes, et se termine\n"
        "aussitôt ; sans commande, il ramène sa fenêtre au premier plan. Le bus de session "
        "est\ntrouvé aussi depuis cron ($XDG_RUNTIME_DIR/bus).\n"
        "\n"
        "Exemples :\n"
        "  vidorra /c                          démarre ou arrête l'enregistrement\n"
        "  vidorra \"/sv=Mire de test\" +fs      choisit la mire et passe en plein écran\n"
        "  vidorra /format_capture=divx /c     enregistre en MPEG-4\n"
        "  vidorra \"/dv_fichier=CHEMIN\"        lit le fichier DV (.dv, .dif, .avi) comme une\n"
        "                                       cassette dans le magnétoscope « Fichier DV »\n"
        "  vidorra /quit                       ferme le programme ouvert\n");

    const QList<CommandLineActionRow> rows = CommandLineActionRows();
    text += QStringLiteral("\nActions (switch, token, touches, action) :\n");
    QStringList shadowed;
    for (const QString& category : CommandLineCategories()) {
        QString lines;
        for (const CommandLineActionRow& row : rows) {
            if (row.category != category)
                continue;
            QString sw;
            if (!row.switchName.isEmpty() && !row.switchShadowed)
                sw = u'/' + row.switchName;
            QString token = row.token.isEmpty() ? QString() : u'/' + row.token;
            if (row.takesArgument)
                token += QStringLiteral("=nom");
            QString keys = row.shortcut;
            if (!row.secondaryShortcut.isEmpty())
                keys += QStringLiteral(" (%1)").arg(row.secondaryShortcut);
            QString caption = row.caption;
            if (row.toggle)
                caption += QStringLiteral(" [+/-]");
            lines += QStringLiteral("  ") + column(sw, 6) + column(token, 22) + column(keys, 21) +
                     caption + u'\n';
            if (row.switchShadowed) {
                // Named by the first action of the list with that switch.
                const auto owner =
                    std::find_if(rows.begin(), rows.end(), [&row](const CommandLineActionRow& r) {
                        return r.switchName == row.switchName;
                    });
                shadowed << QStringLiteral("/%1 désigne « %2 » ; « %3 » se nomme /%4.")
                                .arg(row.switchName, owner->caption, row.caption, row.token);
            }
        }
        if (!lines.isEmpty())
            text += u'\n' + CommandLineCategoryTitle(category) + QStringLiteral(" :\n") + lines;
    }
    if (!shadowed.isEmpty())
        text += u'\n' + shadowed.join(u'\n') + u'\n';
    // The manager's own commands: its windows, and the places of the windows it keeps.
    text += QStringLiteral("\nFenêtres du gestionnaire (fenêtre Script : Maj+F12 ; F12 est "
                           "l'incrustation) :\n");
    for (const ManagerWindowRow& w : ManagerWindowRows()) {
        QString keys = FrenchKeyText(
            QKeySequence::fromString(QLatin1String(w.shortcut), QKeySequence::PortableText));
        if (*w.secondaryShortcut)
            keys = FrenchKeyText(QKeySequence::fromString(QLatin1String(w.secondaryShortcut),
                                                          QKeySequence::PortableText));
        text += QStringLiteral("  ") +
                column(u'/' + QString::fromLatin1(w.scriptName).toLower(), 28) + column(keys, 21) +
                QString::fromUtf8(w.title) + QStringLiteral(" [+/-]\n");
    }
    text += QStringLiteral("  ");
    QStringList rects;
    for (const QString& s : ManagerRectSwitches())
        rects << u'/' + s;
    text += rects.join(QStringLiteral(", ")) +
            QStringLiteral("=gauche,droite,haut,bas\n      places de la fenêtre principale, "
                           "des fenêtres DV et de la fenêtre Script\n");
    text += QStringLiteral("  ") + column(QStringLiteral("/naquit"), 28) +
            column(FrenchKeyText(QKeySequence(Qt::ALT | Qt::Key_F4)), 21) +
            QStringLiteral("ferme la fenêtre, comme Quitter\n");
    text += QStringLiteral("Un script atteint chaque commande par commande('/token').\n");
    text += QStringLiteral("\nFormats de /format_capture= (majuscules ou minuscules) :\n  ") +
            CaptureFormatNames().join(QStringLiteral(", ")) + u'\n';
    return text;
}
