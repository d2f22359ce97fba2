#include "QtFrench.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* InstallQtFrench(QCoreApplication& app, const QLocale& locale) {
    if (locale.language() != QLocale::French && locale.language() != QLocale::C)
        return nullptr;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
