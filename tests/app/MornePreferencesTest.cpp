#include "MornePreferences.h"
#include "AtomicFile.h"
#include "CaptureForm.h"
#include "IniFile.h"
#include "Log.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "ProgramUnderTest.h"
#include "Prompts.h"
#include "RecordingController.h"
#include "RegistryStore.h"
#include "Sandbox.h"
#include "SavePrefsForm.h"
#include "SourcesController.h"
#include "SuperAction.h"
#include "VideoWidget.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kProductKey = QStringLiteral("Software\\Ardoval\\Vidorra");

// Answers the save dialog of form as soon as it is shown: with a button, or by closing it.
// Waiting ends with the form, so that a dialog that never came is not answered in another test.
void answerDialog(TCaptureForm& form, std::function<void(TSavePrefsForm*)> answer, int* shown) {
    QTimer::singleShot(0, form.gp, [&form, answer, shown] {
        auto* dialog = qobject_cast<TSavePrefsForm*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerDialog(form, answer, shown);
            return;
        }
        ++*shown;
        answer(dialog);
    });
}

TRegistryFile registry() {
    return TRegistryFile(AppPaths::registryFilePath());
}

void writeRegistryStore(const QString& exe, quint32 volume = 100) {
    TRegistryFile reg = registry();
    reg.createKey(kProductKey + "\\IncrustRec");
    reg.setValue(kProductKey, "ExeName", TRegValue::fromString(exe));
    reg.setValue(kProductKey, "Volume", TRegValue::fromDword(volume));
    ASSERT_TRUE(reg.commit());
}

// The stores cannot be written (a read-only medium, a full disk).
class FailingWrites : public FileWriteSeam {
public:
    FailingWrites() : m_previous(setFileWriteSeam(this)) {}
    ~FailingWrites() override { setFileWriteSeam(m_previous); }
    qint64 write(QIODevice&, const QByteArray&) override { return -1; }

private:
    FileWriteSeam* m_previous;
};

// Keeps what the program said, and whether its window was still there to say it.
struct SaidPrompts : IPrompts {
    explicit SaidPrompts(QWidget* window) : window(window), previous(setPrompts(this)) {}
    ~SaidPrompts() override { setPrompts(previous); }
    Answer question(QWidget*, const QString& text, bool, bool) override {
        said << text;
        return No;
    }
    void information(QWidget*, const QString& text) override { said << text; }
    void warning(QWidget*, const QString& text) override {
        said << text;
        windowShown = window->isVisible();
    }
    void error(QWidget*, const QString& text) override { said << text; }
    QWidget* window;
    IPrompts* previous;
    QStringList said;
    bool windowShown = false;
};

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
        // Everything erased is kept beside the registry file, the sibling's key only where
        // it was erased.
        const auto kept =
            TRegistryFile::parse(Sandbox::read(AppPaths::registryFilePath() + ".sauvegarde"));
        EXPECT_EQ(kept.count("software\\ardoval\\vidorra\\incrustrec"), 1u);
        EXPECT_EQ(kept.count("software\\ardoval\\datorix"), 0u);
        // The user is told, in French, where the copy is.
        const QStringList notices = takeUserNotices();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains(AppPaths::registryFilePath() + ".sauvegarde"))
            << notices[0].toStdString();
        form.hide();
    }
}

// A copy started once with an INI file beside it erases the registry settings; appended to
// the registry file, the copy kept of them brings them back. A later erase replaces the copy,
// a start with nothing to erase keeps it.
TEST(MornePreferences, ErasedRegistrySettingsCanBeRestored) {
    Sandbox box;
    const QString backup = AppPaths::registryFilePath() + ".sauvegarde";
    auto startWithIni = [] {
        ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
        TCaptureForm form;
        form.show();
        EXPECT_EQ(form.gp->mode(), spPortable);
        form.hide();
    };
    writeRegistryStore(AppPaths::executablePath(), 100);
    startWithIni();
    ASSERT_FALSE(registry().keyExists(kProductKey));
    const QByteArray kept = Sandbox::read(backup);
    startWithIni();
    EXPECT_EQ(Sandbox::read(backup), kept);

    ASSERT_TRUE(QFile::remove(AppPaths::iniFilePath()));
    QFile reg(AppPaths::registryFilePath());
    ASSERT_TRUE(reg.open(QIODevice::Append));
    reg.write(kept);
    reg.close();
    {
        TCaptureForm form;
        form.show();
        EXPECT_EQ(form.gp->mode(), spRegistre);
        EXPECT_EQ(Prm.volume->Value, 100);
        EXPECT_EQ(registry().value(kProductKey, "ExeName")->text, AppPaths::executablePath());
        form.hide();
    }

    writeRegistryStore(AppPaths::executablePath(), 200);
    startWithIni();
    const auto replaced = TRegistryFile::parse(Sandbox::read(backup));
    const auto product = replaced.find("software\\ardoval\\vidorra");
    ASSERT_NE(product, replaced.end());
    EXPECT_TRUE(product->second.values.contains({"Volume", TRegValue::fromDword(200)}));
}

TEST(MornePreferences, FirstCloseAsksAndClosingTheDialogCancels) {
    Sandbox box;
    TCaptureForm form;
    form.show();
    EXPECT_EQ(form.gp->mode(), spNone);

    int shown = 0;
    answerDialog(
        form, [](TSavePrefsForm* d) { d->reject(); }, &shown);
    EXPECT_FALSE(form.close());
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.gp->dialog()->windowTitle(),
              QString("Enregistrement des préférences de Vidorra"));

    // Asked again; "Aucun" lets the program close and stores nothing.
    answerDialog(
        form, [](TSavePrefsForm* d) { d->AucunBtn->click(); }, &shown);
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
        answerDialog(
            form, [](TSavePrefsForm* d) { d->PortableBtn->click(); }, &shown);
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
    answerDialog(
        form, [](TSavePrefsForm* d) { d->reject(); }, &shown);
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

// Cancelling the store question at the first close leaves the program as it was: the preview
// and a recording under way go on, full screen comes back. Asked again, "Aucun" closes.
TEST(MornePreferences, CancellingTheFirstCloseStopsNothing) {
    Sandbox box;
    ProgramUnderTest p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(p.runUntil([&] { return p.form.sources->currentVideo() != nullptr; }));
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(
        p.runUntil([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    const QString file = p.form.recorder->currentFile();
    p.form.action("tafullscreen")->executeInteractive(&p.form);
    ASSERT_TRUE(p.runUntil([&] { return p.plaque.isVisible(); }));

    int shown = 0;
    bool fullScreenWhileAsked = true;
    answerDialog(
        p.form,
        [&](TSavePrefsForm* d) {
            fullScreenWhileAsked = p.plaque.isVisible();
            d->reject();
        },
        &shown);
    EXPECT_FALSE(p.form.close());
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(fullScreenWhileAsked);
    EXPECT_TRUE(p.plaque.isVisible());
    EXPECT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    EXPECT_EQ(p.form.recorder->currentFile(), file);
    EXPECT_NE(p.form.sources->currentVideo(), nullptr);
    const quint64 recorded = p.dm.recordedFrames();
    const quint64 shownFrames = p.form.videoWidget->framesShown();
    EXPECT_TRUE(p.runUntil([&] {
        return p.dm.recordedFrames() > recorded + 5 &&
               p.form.videoWidget->framesShown() > shownFrames + 5;
    }));

    // The recording's file gets its end first, then the window closes without asking again.
    answerDialog(
        p.form, [](TSavePrefsForm* d) { d->AucunBtn->click(); }, &shown);
    p.form.close();
    EXPECT_TRUE(p.runUntil([&] { return !p.form.isVisible(); }));
    EXPECT_EQ(shown, 2);
    EXPECT_GT(QFileInfo(file).size(), 0);
    EXPECT_FALSE(p.dm.endingPart());
}

// A store that cannot be written is said at the close, while the window is still there.
TEST(MornePreferences, AFailedSaveIsSaidAtTheClose) {
    for (TSavePreferences mode : {spPortable, spRegistre}) {
        SCOPED_TRACE(int(mode));
        Sandbox box;
        if (mode == spPortable)
            ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
        else
            writeRegistryStore(AppPaths::executablePath());
        TCaptureForm form;
        form.show();
        ASSERT_EQ(form.gp->mode(), mode);
        SaidPrompts prompts(&form);
        {
            FailingWrites failing;
            EXPECT_TRUE(form.close());
        }
        const QString file =
            mode == spPortable ? AppPaths::iniFilePath() : AppPaths::registryFilePath();
        EXPECT_EQ(prompts.said,
                  QStringList{"Les préférences n'ont pas pu être enregistrées dans " + file + "."});
        EXPECT_TRUE(prompts.windowShown);
    }
}
