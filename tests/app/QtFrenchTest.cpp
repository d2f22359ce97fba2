// Qt's own words in French beside the program's, and the program's key names whatever
// translation Qt loaded.
#include "KeyText.h"
#include "QtFrench.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>
#include <gtest/gtest.h>

namespace {

bool frenchInstalled() {
    return QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).exists("qtbase_fr.qm");
}

} // namespace

TEST(QtFrench, QtsDialogsAndKeysSpeakFrenchAndTheProgramsKeyNamesStay) {
    // Another language wanted: Qt keeps its own words.
    EXPECT_EQ(InstallQtFrench(*QCoreApplication::instance(), QLocale(QLocale::German)), nullptr);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    const QKeySequence keys(Qt::CTRL | Qt::Key_Right);
    EXPECT_EQ(FrenchKeyText(keys), "Ctrl+Droite");
    if (!frenchInstalled())
        GTEST_SKIP() << "qtbase_fr.qm absent (qt6-translations-l10n)";

    // No locale set (C), as on a bare session: French.
    std::unique_ptr<QTranslator> french(InstallQtFrench(*QCoreApplication::instance(), QLocale::c()));
    ASSERT_TRUE(french);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annuler");
    EXPECT_NE(keys.toString(QKeySequence::NativeText), "Ctrl+Right");
    // The program's own names and the key texts it keeps do not follow the translation.
    EXPECT_EQ(FrenchKeyText(keys), "Ctrl+Droite");
    EXPECT_EQ(FrenchKeyText(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)), "Num +");
    EXPECT_EQ(QKeySequence::fromString("Ctrl+Right", QKeySequence::PortableText), keys);
    EXPECT_EQ(keys.toString(QKeySequence::PortableText), "Ctrl+Right");
}
