#pragma once

#include <QLocale>

class QCoreApplication;

class QTranslator;

// Qt's own words (file dialogs, message box buttons) in French, as the program's are, when
// the user's locale is French or none is set: the translator installed, owned by app. Null
// when another language is wanted or Qt's French translation is not installed (Qt then
// speaks English).
QTranslator* InstallQtFrench(QCoreApplication& app, const QLocale& locale = QLocale::system());
