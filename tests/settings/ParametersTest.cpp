#include "CaptureFormats.h"
#include "IniFile.h"
#include "ParameterTable.h"
#include "RegistryStore.h"
#include "Sandbox.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Gives every parameter a value other than its default; returns the keys' expected values
// as text for comparison.
void changeEverything(TparameterList& list) {
    for (int i = 0; i < list.count(); ++i) {
        TParameter* p = list.at(i);
        if (auto* x = dynamic_cast<TIntegerParameter*>(p)) {
            x->Value = x->Default() * 3 - 17;
        } else if (auto* x = dynamic_cast<TRealParameter*>(p)) {
            x->Value = x->Default() - 1.0 / 1024 - i;
        } else if (auto* x = dynamic_cast<TBooleanParameter*>(p)) {
            x->Value = !x->Default();
        } else if (auto* x = dynamic_cast<TWideStringParameter*>(p)) {
            x->Value = QStringLiteral("« %1 » = é\\ %2").arg(p->key()).arg(i);
        } else if (auto* x = dynamic_cast<TByteParameter*>(p)) {
            x->Value = uint8_t(x->Default() + 200 + i);
        } else if (auto* x = dynamic_cast<TincrustRecParameter*>(p)) {
            TincrustRec& r = x->Value;
            r.Incrust1 = "Prise %D à %T";
            r.Incrust2 = "=%R=";
            r.FormatDate1 = "dddd d mmmm yyyy";
            r.FormatDate2 = "hh:nn:ss";
            r.Decalage = -0.5;
            r.FontRec = {"Liberation Serif", 33, 0x00FF00, 1, 1, 1, 1};
            r.Autofontsize = false;
            r.BorderSize = 4;
            r.WhatIncrust = 3;
            r.Alignement = 1;
            r.BorderColor = 0x123456;
            r.Xpos = -20;
            r.Ypos = 1200;
        } else {
            FAIL() << "parameter of an unknown class: " << p->key().toStdString();
        }
    }
}

void expectSameValues(const TparameterList& a, const TparameterList& b) {
    ASSERT_EQ(a.count(), b.count());
    for (int i = 0; i < a.count(); ++i) {
        const TParameter* p = a.at(i);
        const TParameter* q = b.at(i);
        ASSERT_EQ(p->key(), q->key());
        const std::string key = p->key().toStdString();
        auto same = [&](auto* x) {
            using P = std::remove_pointer_t<decltype(x)>;
            if (!x)
                return false;
            EXPECT_TRUE(x->Value == dynamic_cast<P*>(q)->Value) << key;
            return true;
        };
        const bool compared = same(dynamic_cast<const TIntegerParameter*>(p)) ||
                              same(dynamic_cast<const TRealParameter*>(p)) ||
                              same(dynamic_cast<const TBooleanParameter*>(p)) ||
                              same(dynamic_cast<const TWideStringParameter*>(p)) ||
                              same(dynamic_cast<const TByteParameter*>(p)) ||
                              same(dynamic_cast<const TincrustRecParameter*>(p));
        EXPECT_TRUE(compared) << key;
    }
}

QStringList parameterSection(const QStringList& lines) {
    const qsizetype start = lines.indexOf("[" + kStorePath + "]");
    QStringList section;
    for (qsizetype i = start + 1; i > 0 && i < lines.size() && !IniFile::isSectionHeader(lines[i]);
         ++i)
        section << lines[i];
    return section;
}

} // namespace

TEST(Parameters, FirstStartIsModeNoneWithDefaults) {
    Sandbox box;
    QDir(box.home()).mkpath("Vidéos");
    Sandbox::write(box.home() + "/.config/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/Vidéos\"\n");
    TparameterList list(AppPaths::signature());
    CreateParameters(list);
    EXPECT_EQ(PrefsMode, spNone);
    ASSERT_EQ(list.count(), kParameterCount);
    EXPECT_EQ(Prm.captureFormat->Value, cfDefault);
    EXPECT_EQ(Prm.volume->Value, 5000);
    EXPECT_EQ(Prm.framerate->Value, 18.0);
    EXPECT_EQ(Prm.videoInputSelect->Value, -1);
    EXPECT_TRUE(Prm.incrustRec->Value == DefaultIncrustRec());
    EXPECT_EQ(Prm.incrustRec->Value.Xpos, 914);
    EXPECT_EQ(Prm.videoDirectory->Value, box.home() + "/Vidéos/");
    EXPECT_EQ(Prm.imageDirectory->Value, box.home() + "/"); // no Pictures folder: home
    EXPECT_EQ(Prm.pluginsDir->Value, box.exeDir() + "/");
    EXPECT_EQ(Prm.datorix->Value, QString());
    EXPECT_EQ(list.find("Durée Incruster"), Prm.dureeIncruster);
    // Reading the sibling program's key must not create it (nor any store).
    EXPECT_FALSE(QFile::exists(AppPaths::registryFilePath()));
}

TEST(Parameters, StoreModeFollowsTheExecutable) {
    Sandbox box;
    {
        TRegistryFile reg(AppPaths::registryFilePath());
        reg.createKey(kStorePath);
        reg.setValue(kStorePath, "ExeName", TRegValue::fromString("/autre/copie/vidorra"));
        reg.setValue(kStorePath, "Volume", TRegValue::fromDword(10));
        reg.createKey("Software\\Ardoval\\Datorix");
        reg.setValue("Software\\Ardoval\\Datorix", "Exename", TRegValue::fromString("/opt/dx"));
        ASSERT_TRUE(reg.commit());
    }
    TparameterList list(AppPaths::signature());
    CreateParameters(list);
    EXPECT_EQ(PrefsMode, spNone); // another copy's settings
    EXPECT_EQ(Prm.volume->Value, 5000);
    EXPECT_EQ(Prm.datorix->Value, QString("/opt/dx"));

    {
        TRegistryFile reg(AppPaths::registryFilePath());
        reg.setValue(kStorePath, "ExeName",
                     TRegValue::fromString(AppPaths::executablePath().toUpper()));
        ASSERT_TRUE(reg.commit());
    }
    CreateParameters(list);
    EXPECT_EQ(PrefsMode, spRegistre);
    EXPECT_EQ(Prm.volume->Value, 10);

    // An INI file beside the executable wins whatever the registry holds.
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[" + kStorePath + "]", "Volume=20",
                                                        "Video Racine=#@vide§#", "Image Racine="}));
    CreateParameters(list);
    EXPECT_EQ(PrefsMode, spPortable);
    EXPECT_EQ(Prm.volume->Value, 20);
    EXPECT_EQ(Prm.videoRacine->Value, QString("Video"));
    EXPECT_EQ(Prm.imageRacine->Value, QString("Image"));
}

class ParameterRoundTrip : public ::testing::TestWithParam<TSavePreferences> {};

TEST_P(ParameterRoundTrip, EveryParameterComesBack) {
    Sandbox box;
    QLocale::setDefault(QLocale(QLocale::French));
    if (GetParam() == spPortable) {
        ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    }
    TparameterList saved(AppPaths::signature());
    CreateParameters(saved);
    PrefsMode = GetParam();
    changeEverything(saved);
    ASSERT_TRUE(SaveParameters(saved));

    TparameterList loaded(AppPaths::signature());
    CreateParameters(loaded);
    EXPECT_EQ(PrefsMode, GetParam());
    expectSameValues(saved, loaded);
}

INSTANTIATE_TEST_SUITE_P(Stores, ParameterRoundTrip, ::testing::Values(spRegistre, spPortable));

TEST(Parameters, PortableSaveLaysOutTheSectionInTableOrder) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]", "Version=1"}));
    TparameterList list(AppPaths::signature());
    CreateParameters(list);
    ASSERT_EQ(PrefsMode, spPortable);
    ASSERT_TRUE(SaveParameters(list));

    const QByteArray bytes = Sandbox::read(AppPaths::iniFilePath());
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    ASSERT_TRUE(bytes.endsWith(QByteArray("\r\0\n\0", 4)));
    QStringList lines;
    ASSERT_TRUE(IniFile::load(AppPaths::iniFilePath(), lines));
    EXPECT_EQ(lines.mid(0, 2), (QStringList{"[]", "Version=1"}));

    QStringList keys;
    for (const QString& line : parameterSection(lines))
        keys << line.section('=', 0, 0);
    QStringList expected{"Signature", "DerniereSauvegarde", "ExeName"};
    const char* fields[] = {"Incrust1",
                            "Incrust2",
                            "FormatDate1",
                            "FormatDate2",
                            "Decalage Horaire",
                            "FontRec\\FontName",
                            "FontRec\\FontSize",
                            "FontRec\\FontColor",
                            "FontRec\\FontBold",
                            "FontRec\\FontItalic",
                            "FontRec\\FontUnderline",
                            "FontRec\\FontStrikeOut",
                            "Autofontsize",
                            "BorderSize",
                            "What Incrust",
                            "Alignement",
                            "BorderColor",
                            "Xpos",
                            "Ypos"};
    int plain = 0;
    for (int i = 0; i < list.count(); ++i) {
        if (list.at(i)->key() == "IncrustRec") {
            for (const char* f : fields)
                expected << "IncrustRec\\" + QString::fromUtf8(f);
        } else {
            expected << list.at(i)->key();
            ++plain;
        }
    }
    EXPECT_EQ(plain, 74);
    EXPECT_EQ(keys, expected);
    // The DV file played as a tape came last, after the table as it was.
    EXPECT_EQ(keys.last(), "Fichier DV");
    const QStringList section = parameterSection(lines);
    EXPECT_EQ(section[0], "Signature=Vidorra 6.0.6 fr de Ardoval");
    EXPECT_EQ(section[2], "ExeName=" + AppPaths::executablePath());
    EXPECT_TRUE(QRegularExpression("^DerniereSauvegarde=\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$")
                    .match(section[1])
                    .hasMatch());
    EXPECT_TRUE(section.contains("Audio Type=#@vide§#"));
}
