#include "PreferencesMan.h"
#include "IniFile.h"
#include "RegistryStore.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

namespace {
const QString kRoot = QStringLiteral("Software\\Ardoval\\Vidorra");

// The same script of operations for every medium that stores something.
void exerciseManager(TPreferencesMan& man) {
    EXPECT_TRUE(man.WriteString("Texte", "valeur é"));
    EXPECT_TRUE(man.WriteBool("Coché", true));
    EXPECT_TRUE(man.WriteInteger("Entier", -42));
    EXPECT_TRUE(man.WriteFloat("Réel", 2.5));
    EXPECT_TRUE(WriteRect(man, "raCam1", QRect(10, 20, 300, 200)));

    QString s;
    bool b = false;
    int32_t i = 0;
    double d = 0;
    EXPECT_TRUE(man.ReadString("TEXTE", s)); // names compare without case
    EXPECT_EQ(s, QString("valeur é"));
    EXPECT_TRUE(man.ReadBool("Coché", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(man.ReadInteger("Entier", i));
    EXPECT_EQ(i, -42);
    EXPECT_TRUE(man.ReadFloat("Réel", d));
    EXPECT_EQ(d, 2.5);
    QRect r;
    EXPECT_TRUE(ReadRect(man, "raCam1", r));
    EXPECT_EQ(r, QRect(10, 20, 300, 200));
    EXPECT_EQ(man.currentPath(), QString());

    QStringList names;
    EXPECT_TRUE(man.GetValueNames(names));
    EXPECT_EQ(names, (QStringList{"Texte", "Coché", "Entier", "Réel"}));
    EXPECT_TRUE(man.GetKeyNames(names));
    EXPECT_EQ(names, QStringList{"raCam1"});

    EXPECT_TRUE(man.DeleteValue("Texte"));
    EXPECT_FALSE(man.ReadString("Texte", s));
    EXPECT_FALSE(man.ReadBool("Absent", b));

    // A rectangle with a missing corner keeps the caller's default.
    EXPECT_TRUE(man.OpenKey("raCam2", true));
    man.WriteInteger("Left", 1);
    man.WriteInteger("Top", 2);
    man.WriteInteger("Right", 3);
    man.CloseKey();
    QRect keep(7, 7, 7, 7);
    EXPECT_FALSE(ReadRect(man, "raCam2", keep));
    EXPECT_EQ(keep, QRect(7, 7, 7, 7));
}
} // namespace

TEST(PreferencesMan, Registry) {
    Sandbox box;
    {
        TRegPreferencesMan man(AppPaths::registryFilePath(), kRoot);
        exerciseManager(man);
        EXPECT_FALSE(man.OpenKey("Inexistante", false));
        // A DWORD other than 0 or 1 is no boolean.
        man.WriteInteger("Trois", 3);
        bool b = true;
        EXPECT_FALSE(man.ReadBool("Trois", b));
        EXPECT_TRUE(b);
    }
    TRegistryFile reg(AppPaths::registryFilePath());
    EXPECT_EQ(reg.value(kRoot + "\\raCam1", "Right"), TRegValue::fromDword(310));
}

TEST(PreferencesMan, IniFile) {
    Sandbox box;
    QLocale::setDefault(QLocale(QLocale::French));
    const QString file = AppPaths::iniFilePath();
    {
        TIniPreferencesMan man(file);
        EXPECT_EQ(man.lines(), QStringList{"[]"});
        exerciseManager(man);
        // Any text but True or False fails as a boolean; a bad number reads 0.
        man.WriteString("Oui", "true");
        man.WriteString("Nombre", "douze");
        bool b = false;
        int32_t i = 5;
        EXPECT_FALSE(man.ReadBool("Oui", b));
        EXPECT_TRUE(man.ReadInteger("Nombre", i));
        EXPECT_EQ(i, 0);
        EXPECT_TRUE(man.OpenKey("Créée", false)); // sections are created whatever the flag
    }
    QStringList lines;
    ASSERT_TRUE(IniFile::load(file, lines));
    EXPECT_EQ(lines,
              (QStringList{"[]", "Coché=True", "Entier=-42", "Réel=2,5", "Oui=true", "Nombre=douze",
                           "", "[raCam1]", "Left=10", "Top=20", "Right=310", "Bottom=220", "",
                           "[raCam2]", "Left=1", "Top=2", "Right=3", "", "[Créée]"}));
}

TEST(PreferencesMan, NoneStoresNothing) {
    TNonePreferencesMan man;
    QString s = "garde";
    QStringList names;
    EXPECT_TRUE(man.OpenKey("x", false));
    EXPECT_TRUE(man.WriteString("a", "b"));
    EXPECT_FALSE(man.ReadString("a", s));
    EXPECT_EQ(s, QString("garde"));
    EXPECT_FALSE(man.GetValueNames(names));
    EXPECT_FALSE(man.GetKeyNames(names));
    EXPECT_FALSE(man.DeleteValue("a"));
    QRect r(1, 1, 1, 1);
    EXPECT_FALSE(ReadRect(man, "r", r));
}
