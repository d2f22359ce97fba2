#pragma once

#include <QKeySequence>
#include <QString>

// "Ctrl+Droite", "Num +", "Ctrl+Maj+F5": the program's own French names of keys, the same in
// --help, the shortcuts window and the help panel. Key texts kept in tables and settings stay
// in Qt's portable form ("Ctrl+Right"), read with QKeySequence::PortableText.
QString FrenchKeyText(const QKeySequence& keys);
