#include "IniFile.h"
#include "Preferences.h"
#include "RegistryStore.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

namespace {

void writeIni(const QStringList& lines) {
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), lines));
}

QStringList iniLines() {
    QStringList lines;
    IniFile::load(AppPaths::iniFilePath(), lines);
    return lines;
}

const QString kSection = "[" + kStorePath + "]";

} // namespace

TEST(ParameterStore, IniReadRules) {
    Sandbox box;
    QLocale::setDefault(QLocale(QLocale::English));
    writeIni({"[Autre]", "Volume=1", kSection, "Volume=7", "Volume=8", "Correction Sync=abc",
              "Beeps=", "Confirmer Image=0 ", "Framerate=12,5", "Decalage= 0.25 ",
              "Video Racine=#@vide§#", "Texte= garde ses blancs ", "Negatif= -3", "volume=99"});
    TReadPreferences r(kStorePath, spPortable);
    EXPECT_EQ(r.GetInteger("Volume", 5000), 7);       // first match in the right section
    EXPECT_EQ(r.GetInteger("Correction Sync", 5), 0); // not a number: 0, not the default
    EXPECT_EQ(r.GetInteger("Negatif", 0), -3);
    EXPECT_EQ(r.GetInteger("Absent", 42), 42);
    EXPECT_TRUE(r.GetBool("Beeps", false));           // empty value reads true
    EXPECT_FALSE(r.GetBool("Confirmer Image", true)); // "0 " trimmed
    EXPECT_EQ(r.GetReal("Framerate", 18.0), 0.0);     // comma under a point locale
    EXPECT_EQ(r.GetReal("Decalage", 0), 0.25);
    EXPECT_EQ(r.GetText("Video Racine", "Video"), QString());
    EXPECT_EQ(r.GetText("Texte", ""), QString(" garde ses blancs "));
    EXPECT_EQ(r.GetText("Absent", "N/A"), QString("N/A"));

    QLocale::setDefault(QLocale(QLocale::French));
    TReadPreferences fr(kStorePath, spPortable);
    EXPECT_EQ(fr.GetReal("Framerate", 18.0), 12.5);
}

TEST(ParameterStore, IniWriteRules) {
    Sandbox box;
    QLocale::setDefault(QLocale(QLocale::French));
    // The parameter section header is the last line: new keys go after it.
    writeIni({"[]", "Version=x", "", kSection});
    {
        TWritePreferences w(kStorePath, spPortable);
        w.PutInteger("Volume", -12);
        w.PutBool("Beeps", true);
        w.PutReal("Framerate", 12.5);
        w.PutText("Video Racine", "");
        ASSERT_TRUE(w.commit());
    }
    EXPECT_EQ(iniLines(), (QStringList{"[]", "Version=x", "", kSection, "Volume=-12", "Beeps=1",
                                       "Framerate=12,5", "Video Racine=#@vide§#"}));

    // An existing key is replaced in place; a new one goes just before the next section.
    writeIni({kSection, "Volume=1", "", "[Suite]", "a=b"});
    {
        TWritePreferences w(kStorePath, spPortable);
        w.PutInteger("Volume", 2);
        w.PutText("Nouveau", "n");
    }
    EXPECT_EQ(iniLines(), (QStringList{kSection, "Volume=2", "", "Nouveau=n", "[Suite]", "a=b"}));
}

TEST(ParameterStore, LineBreaksInTextsSurviveTheIniFile) {
    Sandbox box;
    // "Sources Exclues" holds names each followed by CR LF: one INI line must keep them all.
    const QString excluded = "Caméra USB\r\nDV Source\r\n";
    TincrustRec rec;
    rec.Incrust1 = "ligne 1\nligne 2";
    {
        TWritePreferences w(kStorePath, spPortable);
        w.PutText("Sources Exclues", excluded);
        w.PutIncrustRec("IncrustRec", rec);
        w.PutText("Apres", "suite");
    }
    TReadPreferences r(kStorePath, spPortable);
    EXPECT_EQ(r.GetText("Sources Exclues", ""), excluded);
    EXPECT_EQ(r.GetIncrustRec("IncrustRec", {}).Incrust1, QString("ligne 1\r\nligne 2"));
    EXPECT_EQ(r.GetText("Apres", ""), QString("suite"));
    EXPECT_EQ(iniLines().size(), 1 + 1 + 19 + 1);
}

TEST(ParameterStore, RegistryReadsRefuseValuesOfAnotherKind) {
    Sandbox box;
    {
        TRegistryFile reg(AppPaths::registryFilePath());
        reg.createKey(kStorePath);
        reg.setValue(kStorePath, "Volume", TRegValue::fromString("12"));
        reg.setValue(kStorePath, "Beeps", TRegValue::fromDword(7));
        reg.setValue(kStorePath, "Framerate", TRegValue::fromDword(25));
        reg.setValue(kStorePath, "Nom", TRegValue::fromDword(1));
        reg.setValue(kStorePath, "Video Racine", TRegValue::fromString("#@vide§#"));
        reg.setValue(kStorePath, "NaN",
                     TRegValue::fromBinary(QByteArray("\0\0\0\0\0\0\xf8\x7f", 8)));
        ASSERT_TRUE(reg.commit());
    }
    TReadPreferences r(kStorePath, spRegistre);
    EXPECT_EQ(r.GetInteger("Volume", 5000), 5000);
    EXPECT_TRUE(r.GetBool("Beeps", false)); // any non-zero DWORD
    EXPECT_EQ(r.GetReal("Framerate", 18.0), 18.0);
    EXPECT_EQ(r.GetReal("NaN", 3.0), 3.0);
    EXPECT_EQ(r.GetText("Nom", "def"), QString("def"));
    EXPECT_EQ(r.GetText("Video Racine", "Video"), QString());
}

TEST(ParameterStore, OverlayRecordFallsBackFieldByField) {
    Sandbox box;
    TincrustRec def;
    def.Xpos = 500;
    def.FontRec.FontName = "Liberation Sans";
    {
        TRegistryFile reg(AppPaths::registryFilePath());
        reg.createKey(kStorePath + "\\IncrustRec");
        reg.setValue(kStorePath + "\\IncrustRec", "Ypos", TRegValue::fromDword(100));
        reg.setValue(kStorePath + "\\IncrustRec", "What Incrust", TRegValue::fromDword(0x103));
        reg.setValue(kStorePath + "\\IncrustRec", "Xpos", TRegValue::fromString("1"));
        ASSERT_TRUE(reg.commit());
    }
    TincrustRec rec = TReadPreferences(kStorePath, spRegistre).GetIncrustRec("IncrustRec", def);
    EXPECT_EQ(rec.Ypos, 100);
    EXPECT_EQ(rec.WhatIncrust, 3);       // low 8 bits
    EXPECT_EQ(rec.Xpos, 500);            // wrong kind: the default field
    EXPECT_EQ(rec.FontRec, def.FontRec); // no FontRec sub-key: the default font
    // No sub-key at all: the whole default record.
    EXPECT_EQ(TReadPreferences(kStorePath, spRegistre).GetIncrustRec("Autre", def), def);

    writeIni({kSection, "IncrustRec\\Ypos=abc", "IncrustRec\\FontRec\\FontSize=40",
              "IncrustRec\\Autofontsize=0"});
    rec = TReadPreferences(kStorePath, spPortable).GetIncrustRec("IncrustRec", def);
    EXPECT_EQ(rec.Ypos, 0);
    EXPECT_EQ(rec.FontRec.FontSize, 40);
    EXPECT_FALSE(rec.Autofontsize);
    EXPECT_EQ(rec.FontRec.FontName, def.FontRec.FontName);
    EXPECT_EQ(rec.Xpos, 500);
}

TEST(ParameterStore, ModeNoneReadsDefaultsAndWritesNothing) {
    Sandbox box;
    {
        TWritePreferences w(kStorePath, spNone);
        w.PutInteger("Volume", 1);
        w.PutIncrustRec("IncrustRec", TincrustRec{});
    }
    EXPECT_FALSE(QFile::exists(AppPaths::iniFilePath()));
    EXPECT_FALSE(QFile::exists(AppPaths::registryFilePath()));
    EXPECT_EQ(TReadPreferences(kStorePath, spNone).GetInteger("Volume", 3), 3);
}
