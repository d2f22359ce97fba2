#pragma once

#include <QStringList>

namespace vscript {
class ScriptEngine;
}

// The application manager's actions as recorded macros call them. The runner only reports
// each call ("appel NOM [argument]") on standard output.
QStringList actionDeclarations();
void registerActionEchoes(vscript::ScriptEngine& engine);
