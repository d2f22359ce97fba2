#include "MornePreferences.h"
#include "CaptureForm.h"
#include "IniFile.h"
#include "ParameterTable.h"
#include "RegistryStore.h"
#include "Sandbox.h"
#include "SavePrefsForm.h"
#include "SuperAction.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kProductKey = QStringLiteral("Software\\Ardoval\\Vidorra");

// Answers the save dialog as soon as it is shown: with a button, or by closing it.
void answerDialog(std::function<void(TSavePrefsForm*)> answer, int* shown) {
    QTimer::singleShot(0, [answer, shown] {
        auto* dialog = qobject_cast<TSavePrefsForm*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerDialog(answer, shown);
            return;
        }
        ++*shown;
        answer(dialog);
    });
}

TRegistryFile registry() {
    return TRegistryFile(AppPaths::registryFilePath());
}

void writeRegistryStore(const QString& exe) {
    TRegistryFile reg = registry();
    reg.createKey(kProductKey + "\\IncrustRec");
    reg.setValue(kProductKey, "ExeName", TRegValue::fromString(exe));
    reg.setValue(kProductKey, "Volume", TRegValue::fromDword(100));
    ASSERT_TRUE(reg.commit());
}

} // namespace

TEST(MornePreferences, AnIniFileAtStartErasesTheRegistryStore) {
    for (bool sibling : {false, true}) {
        SCOPED_TRACE(sibling);
        Sandbox box;
        writeRegistryStore(AppPaths::executablePath());
        if (sibling) {
            TRegistryFile reg = registry();
            reg.createKey("Software\\Ardoval\\Datorix");
            ASSERT_TRUE(reg.commit());
        }
        ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[" + kStorePath + "]", "Volume=7"}));
        TCaptureForm form;
        form.show();
        EXPECT_EQ(form.gp->mode(), spPortable);
        EXPECT_EQ(PrefsMode, spPortable);
        EXPECT_EQ(Prm.volume->Value, 7);
        EXPECT_FALSE(registry().keyExists(kProductKey));
        EXPECT_EQ(registry().keyExists("Software\\Ardoval"), sibling);
        form.hide();
    }
}

TEST(MornePreferences, FirstCloseAsksAndClosingTheDialogCancels) {
    Sandbox box;
    TCaptureForm form;
    form.show();
    EXPECT_EQ(form.gp->mode(), spNone);

    int shown = 0;
    answerDialog([](TSavePrefsForm* d) { d->reject(); }, &shown);
    EXPECT_FALSE(form.close());
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.gp->dialog()->windowTitle(),
              QString("Enregistrement des préférences de Vidorra"));

    // Asked again; "Aucun" lets the program close and stores nothing.
    answerDialog([](TSavePrefsForm* d) { d->AucunBtn->click(); }, &shown);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(QFile::exists(AppPaths::iniFilePath()));
    EXPECT_FALSE(registry().keyExists(kProductKey));
}

TEST(MornePreferences, AucunErasesBothStores) {
    Sandbox box;
    writeRegistryStore("/ailleurs/vidorra");
    TCaptureForm form;
    form.show();
    ASSERT_EQ(form.gp->mode(), spRegistre); // the key exists
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    form.gp->SetMode(spNone);
    EXPECT_FALSE(QFile::exists(AppPaths::iniFilePath()));
    EXPECT_FALSE(registry().keyExists("Software\\Ardoval"));
    EXPECT_FALSE(form.gp->WriteBool("Essai", true));
    EXPECT_TRUE(form.gp->ReadBool("caScript", true));
}

TEST(MornePreferences, PortableChoiceKeepsBothLayersInTheIniFile) {
    Sandbox box;
    {
        TCaptureForm form;
        form.show();
        form.setVolume(4242);
        int shown = 0;
        answerDialog([](TSavePrefsForm* d) { d->PortableBtn->click(); }, &shown);
        // The action list writes after the parameters, through the component's manager.
        QObject::connect(form.gp, &TMornePreferences::OnSavePrefs, form.gp,
                         [](TMornePreferences* gp) { EXPECT_TRUE(gp->WriteBool("Essai", true)); });
        ASSERT_TRUE(form.close());
        EXPECT_EQ(shown, 1);
    }
    QStringList lines;
    ASSERT_TRUE(IniFile::load(AppPaths::iniFilePath(), lines));
    // The component's root section and the parameter section, each written by its layer.
    const qsizetype root = lines.indexOf("[]");
    ASSERT_GE(root, 0);
    EXPECT_EQ(lines.value(root + 1), "Version=Vidorra 6.0.6 fr de Ardoval");
    EXPECT_TRUE(lines.value(root + 2).startsWith("Dernière Sauvegarde="));
    EXPECT_EQ(lines.value(root + 3), "ExeName=" + AppPaths::executablePath());
    const qsizetype essai = lines.indexOf("Essai=True");
    ASSERT_GT(essai, root);
    for (qsizetype i = root + 1; i < essai; ++i)
        EXPECT_FALSE(IniFile::isSectionHeader(lines[i])) << lines[i].toStdString();
    EXPECT_TRUE(lines.contains("[" + kStorePath + "]"));
    EXPECT_TRUE(lines.contains("Volume=4242"));

    // Next start: portable, the values come back, and no question at close.
    TCaptureForm form;
    form.show();
    EXPECT_EQ(form.gp->mode(), spPortable);
    EXPECT_EQ(Prm.volume->Value, 4242);
    EXPECT_TRUE(form.gp->ReadBool("Essai", false));
    int shown = 0;
    answerDialog([](TSavePrefsForm* d) { d->reject(); }, &shown);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(shown, 0);
}

TEST(MornePreferences, NormalChoiceStoresInTheRegistryForThisExecutable) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    {
        TCaptureForm form;
        form.show();
        ASSERT_EQ(form.gp->mode(), spPortable);
        form.gp->SetMode(spRegistre); // the options panel's choice
        EXPECT_FALSE(QFile::exists(AppPaths::iniFilePath()));
        if (Prm.muteOn->Value)
            form.action("taMute")->executeInteractive(&form);
        EXPECT_TRUE(form.gp->WriteRect("Essai", QRect(1, 2, 3, 4)));
        ASSERT_TRUE(form.close());
    }
    TCaptureForm form;
    form.show();
    EXPECT_EQ(form.gp->mode(), spRegistre);
    EXPECT_EQ(PrefsMode, spRegistre);
    EXPECT_FALSE(Prm.muteOn->Value);
    EXPECT_EQ(form.gp->ReadRect("Essai", {}), QRect(1, 2, 3, 4));
    EXPECT_EQ(registry().value(kProductKey, "Signature")->text,
              QString("Vidorra 6.0.6 fr de Ardoval"));
    form.hide();
}
