#pragma once

#include "KeyText.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>

// One action of the main window as the command line names it, from the action table: what
// "vidorra --help" and the manual page list.
struct CommandLineActionRow {
    QString name;              // the action, e.g. "saCapturerBascule"
    QString switchName;        // e.g. "c"; empty when the action has none
    QString token;             // e.g. "capture"; empty when the action has none
    QString caption;           // French; a short description where the action has no caption
    QString shortcut;          // main key in French key names, e.g. "Ctrl+Espace"; may be empty
    QString secondaryShortcut; // e.g. "Ctrl+G"; may be empty
    QString category;    // the table's: general, action, select, frame, Morne, Options, camera
    bool toggle = false; // two states: "+" switches it on, "-" off, "/" over
    bool takesArgument = false;  // "=name" selects a source or a format by name
    bool switchShadowed = false; // an earlier action has the same switch: only the token reaches it
};

// The actions a command line can name (a switch or a token), in table order. Defined beside
// the table; needs no application object.
QList<CommandLineActionRow> CommandLineActionRows();

// The French heading of a category of the table; the categories in the order the help lists
// them.
QString CommandLineCategoryTitle(const QString& category);
QStringList CommandLineCategories();

// The application manager's windows, shown or hidden in turn by their switches (the
// manager makes its actions from this table; the help lists it).
struct ManagerWindowRow {
    const char* name;       // the action, e.g. "caScript"
    const char* scriptName; // its procedure; the switch is the same in lower case
    const char* title;
    const char* shortcut; // portable key text
    const char* secondaryShortcut;
};
QList<ManagerWindowRow> ManagerWindowRows();
// The manager's rectangles (window places) a command sets with "=gauche,droite,haut,bas".
QStringList ManagerRectSwitches();

// The options the program reads itself, before anything starts. They are GNU long options,
// which no command can be taken for: a command is a prefix ('/', '+' or '-') and a switch
// or token of letters, digits and '_'.
struct ProgramOptions {
    bool help = false;
    bool version = false;
    bool newInstance = false;
    QStringList commands; // every other argument, in order
};
ProgramOptions ParseProgramOptions(const QStringList& arguments);

// What "vidorra --help" prints.
QString CommandLineHelp();
