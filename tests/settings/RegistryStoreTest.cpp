#include "RegistryStore.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

namespace {
const QString kKey = QStringLiteral("Software\\Ardoval\\Vidorra");
}

TEST(RegistryStore, ValuesKeepTheirKindAndCompareWithoutCase) {
    Sandbox box;
    const QString file = box.path("reg.reg");
    {
        TRegistryFile reg(file);
        ASSERT_TRUE(reg.createKey("\\" + kKey));
        reg.setValue(kKey, "Volume", TRegValue::fromDword(5000));
        reg.setValue(kKey, "Video Racine", TRegValue::fromString("Vidéo \"1\"\\\r\nfin\t"));
        reg.setValue(kKey, "Framerate", TRegValue::fromDouble(18.5));
        reg.setValue(kKey, "Vide", TRegValue::fromBinary({}));
        ASSERT_TRUE(reg.commit());
    }
    TRegistryFile reg(file);
    EXPECT_TRUE(reg.keyExists("software\\ARDOVAL\\vidorra"));
    EXPECT_EQ(reg.value(kKey, "VOLUME"), TRegValue::fromDword(5000));
    EXPECT_EQ(reg.value(kKey, "video racine")->text, QString("Vidéo \"1\"\\\r\nfin\t"));
    EXPECT_EQ(reg.value(kKey, "Framerate")->toDouble(), 18.5);
    EXPECT_EQ(reg.value(kKey, "Vide")->binary.size(), 0);
    // A string is not a number: the reader sees the kind and refuses it.
    EXPECT_FALSE(reg.value(kKey, "Video Racine")->toDouble());
    EXPECT_EQ(reg.subKeyNames("Software\\Ardoval"), QStringList{"Vidorra"});
}

TEST(RegistryStore, DeletingAKeyTakesItsSubKeysAndLeavesSiblings) {
    Sandbox box;
    TRegistryFile reg(box.path("reg.reg"));
    reg.createKey(kKey + "\\IncrustRec\\FontRec");
    reg.createKey("Software\\Ardoval\\Datorix");
    EXPECT_TRUE(reg.deleteKey(kKey));
    EXPECT_FALSE(reg.keyExists(kKey + "\\IncrustRec"));
    EXPECT_TRUE(reg.keyExists("Software\\Ardoval\\Datorix"));
    EXPECT_FALSE(reg.deleteKey(kKey)); // already gone
    EXPECT_FALSE(reg.setValue(kKey, "x", TRegValue::fromDword(1)));
}

TEST(RegistryStore, TwoWritersKeepEachOthersChanges) {
    Sandbox box;
    const QString file = box.path("reg.reg");
    TRegistryFile a(file), b(file);
    a.createKey(kKey);
    a.setValue(kKey, "A", TRegValue::fromDword(1));
    b.createKey("Software\\Ardoval\\Datorix");
    b.setValue("Software\\Ardoval\\Datorix", "Exename", TRegValue::fromString("/opt/datorix"));
    ASSERT_TRUE(a.commit());
    ASSERT_TRUE(b.commit());
    TRegistryFile c(file);
    EXPECT_EQ(c.value(kKey, "A"), TRegValue::fromDword(1));
    EXPECT_EQ(c.value("Software\\Ardoval\\Datorix", "Exename")->text, QString("/opt/datorix"));
}

TEST(RegistryStore, DamagedLinesAreSkippedAndTheOriginalKept) {
    Sandbox box;
    const QString file = box.path("reg.reg");
    const QByteArray damaged = "[Software\\Ardoval\\Vidorra]\n"
                               "\"Volume\"=dword:00000064\n"
                               "\"Bad\"=dword:zz\n"
                               "garbage \x01\x02\xff line\n"
                               "\"Open=\"unterminated\n"
                               "\"Real\"=hex:00,00,00,00,00,00,f0,3f\n";
    ASSERT_TRUE(Sandbox::write(file, damaged));
    int bad = 0;
    const auto keys = TRegistryFile::parse(damaged, &bad);
    EXPECT_EQ(bad, 3);
    TRegistryFile reg(file);
    EXPECT_EQ(reg.value(kKey, "Volume"), TRegValue::fromDword(100));
    EXPECT_EQ(reg.value(kKey, "Real")->toDouble(), 1.0);
    EXPECT_FALSE(reg.value(kKey, "Bad"));
    reg.setValue(kKey, "New", TRegValue::fromDword(2));
    ASSERT_TRUE(reg.commit());
    EXPECT_EQ(Sandbox::read(file + ".illisible"), damaged);
    EXPECT_EQ(TRegistryFile(file).value(kKey, "Volume"), TRegValue::fromDword(100));
}

// An exported key, appended to a registry file that lost it, brings it back with its
// sub-keys and values of every kind, beside what the file holds meanwhile.
TEST(RegistryStore, AnExportedKeyAppendedToTheFileComesBack) {
    Sandbox box;
    const QString file = box.path("reg.reg");
    TRegistryFile reg(file);
    reg.createKey(kKey + "\\IncrustRec\\FontRec");
    reg.setValue(kKey, "Volume", TRegValue::fromDword(100));
    reg.setValue(kKey, "Video Racine", TRegValue::fromString("/média/\"vidéos\"\\\r\n"));
    reg.setValue(kKey, "Framerate", TRegValue::fromDouble(18.5));
    reg.setValue(kKey + "\\IncrustRec\\FontRec", "FontName", TRegValue::fromString("Arial"));
    reg.createKey("Software\\Ardoval\\Datorix");
    reg.setValue("Software\\Ardoval\\Datorix", "Exename", TRegValue::fromString("/opt/d"));
    ASSERT_TRUE(reg.commit());

    const QByteArray exported = reg.exportKey("\\software\\ardoval\\VIDORRA");
    EXPECT_TRUE(TRegistryFile(file).exportKey(kKey + "\\Absente").isEmpty());
    const auto keys = TRegistryFile::parse(exported);
    EXPECT_EQ(keys.count("software\\ardoval\\datorix"), 0u); // siblings stay out
    EXPECT_EQ(keys.count("software\\ardoval\\vidorra\\incrustrec\\fontrec"), 1u);

    reg.deleteKey(kKey);
    reg.createKey(kKey);
    reg.setValue(kKey, "Written Since", TRegValue::fromDword(7));
    ASSERT_TRUE(reg.commit());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(exported);
    f.close();

    TRegistryFile back(file);
    EXPECT_EQ(back.value(kKey, "Volume"), TRegValue::fromDword(100));
    EXPECT_EQ(back.value(kKey, "Video Racine")->text, QString("/média/\"vidéos\"\\\r\n"));
    EXPECT_EQ(back.value(kKey, "Framerate")->toDouble(), 18.5);
    EXPECT_EQ(back.value(kKey + "\\IncrustRec\\FontRec", "FontName")->text, QString("Arial"));
    EXPECT_EQ(back.value(kKey, "Written Since"), TRegValue::fromDword(7));
    EXPECT_EQ(back.value("Software\\Ardoval\\Datorix", "Exename")->text, QString("/opt/d"));
}

// Any text a value or its name holds reads back the same after the file is rewritten: control
// characters, pairs of surrogates, and halves of pairs alone (which UTF-8 cannot carry and
// the file keeps escaped).
TEST(RegistryStore, TextsOfAnyCharactersSurviveARewrite) {
    Sandbox box;
    const QString file = box.path("reg.reg");
    ASSERT_TRUE(Sandbox::write(file, "[Software\\Ardoval\\Vidorra]\n"
                                     "\"n\\ud800\"=\"x\\udc00y\\ud800\"\n"));
    const QString lone = QString(QChar(0xD800));
    const QString text =
        QStringLiteral("a") + QChar(0xDFFF) + QStringLiteral("\x01 \U0001F600 ") + QChar(0xDBFF);
    {
        TRegistryFile reg(file);
        ASSERT_EQ(reg.value(kKey, "n" + lone),
                  TRegValue::fromString("x" + QString(QChar(0xDC00)) + "y" + lone));
        reg.setValue(kKey, "t", TRegValue::fromString(text));
        ASSERT_TRUE(reg.commit());
    }
    TRegistryFile reg(file);
    EXPECT_EQ(reg.value(kKey, "n" + lone),
              TRegValue::fromString("x" + QString(QChar(0xDC00)) + "y" + lone));
    EXPECT_EQ(reg.value(kKey, "t"), TRegValue::fromString(text));
    EXPECT_TRUE(QString::fromUtf8(Sandbox::read(file)).contains(QStringLiteral("\U0001F600")));
}

// Tens of thousands of values under one key read in linear time, and are found by name
// whatever the case, also after some were deleted and others added.
TEST(RegistryStore, AKeyOfManyValuesReadsAndChangesByName) {
    Sandbox box;
    const QString file = box.path("reg.reg");
    QByteArray text = "[Software\\Ardoval\\Vidorra]\n";
    for (int i = 0; i < 60000; ++i)
        text += "\"Valeur" + QByteArray::number(i) +
                "\"=dword:" + QByteArray::number(i, 16).rightJustified(8, '0') + "\n";
    text += "\"VALEUR7\"=dword:00000063\n"; // the same name again: the last one wins
    ASSERT_TRUE(Sandbox::write(file, text));
    TRegistryFile reg(file);
    EXPECT_EQ(reg.valueNames(kKey).size(), 60000);
    EXPECT_EQ(reg.value(kKey, "valeur59999"), TRegValue::fromDword(59999));
    EXPECT_EQ(reg.value(kKey, "Valeur7"), TRegValue::fromDword(99));
    ASSERT_TRUE(reg.deleteValue(kKey, "VALEUR10"));
    EXPECT_FALSE(reg.value(kKey, "Valeur10"));
    EXPECT_EQ(reg.value(kKey, "Valeur11"), TRegValue::fromDword(11));
    ASSERT_TRUE(reg.setValue(kKey, "Nouvelle", TRegValue::fromDword(5)));
    ASSERT_TRUE(reg.setValue(kKey, "valeur12", TRegValue::fromDword(6)));
    ASSERT_TRUE(reg.commit());
    TRegistryFile again(file);
    EXPECT_EQ(again.valueNames(kKey).size(), 60000);
    EXPECT_EQ(again.value(kKey, "nouvelle"), TRegValue::fromDword(5));
    EXPECT_EQ(again.value(kKey, "Valeur12"), TRegValue::fromDword(6));
    EXPECT_EQ(again.valueNames(kKey)[11], "Valeur12"); // in place, as written first
}
