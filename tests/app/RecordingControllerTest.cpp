#include "RecordingController.h"
#include "CaptureForm.h"
#include "CaptureFormats.h"
#include "EncoderSettings.h"
#include "Dm.h"
#include "Encoders.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "Prompts.h"
#include "RaccourcisForm.h"
#include "RecordingSettingsFromParameters.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "SourcesController.h"
#include "StatusPanels.h"
#include "SuperAction.h"
#include "WaitFor.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <gtest/gtest.h>

namespace {

struct Program {
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    Program() { form.attachModules(&dm, &plaque, &raccourcis); }
};

} // namespace

TEST(RecordingController, DurationTextStartsAgainAfterADay) {
    EXPECT_EQ(TRecordingController::DurationText(0), QString("durée 0:00 :00"));
    EXPECT_EQ(TRecordingController::DurationText(3 * 3600 + 5 * 60 + 9), QString("durée 3:05 :09"));
    EXPECT_EQ(TRecordingController::DurationText(25 * 3600), QString("durée 1:00 :00"));
}

// With no format chosen nothing is built, yet the recording state is entered and the file
// name is listed; "Tous" stops the overwrite questions.
// What a recording is built with: each parameter, the DivX "Propriétés" and LAME's bitrate
// as stored; without parameters, the defaults the recordings have always had.
TEST(RecordingController, RecordingSettingsComeFromTheParametersAndTheEncoderStores) {
    Sandbox box;
    Prm = TParameters{};
    const TRecordingSettings defaults = RecordingSettingsFrom(Prm);
    EXPECT_EQ(defaults.framerate, 18.0);
    EXPECT_EQ(defaults.frequenceDV, 3);
    EXPECT_TRUE(defaults.frequenceDVNative);
    EXPECT_FALSE(defaults.garderFormatDV);
    EXPECT_TRUE(defaults.demiTaille);
    EXPECT_TRUE(defaults.wantMp3);
    EXPECT_TRUE(defaults.profilParDefaut);
    EXPECT_EQ(defaults.profileWmv, 1);
    EXPECT_EQ(defaults.versionWmv, 2);
    EXPECT_EQ(defaults.divx.bitrateKbps, 2000);
    EXPECT_EQ(defaults.mp3BitrateKbps, 128);

    TparameterList list(QStringLiteral("recording settings test"));
    CreateParameters(list);
    Prm.framerate->Value = 7.5;
    Prm.frequenceDV->Value = 1;
    Prm.frequenceDVNative->Value = false;
    Prm.garderFormatDV->Value = true;
    Prm.standardDV->Value = 1;
    Prm.ratioDV->Value = 1;
    Prm.divxFavori->Value = QStringLiteral("DivX Pro 5.0");
    Prm.ratioDivX->Value = 2;
    Prm.demiTaille->Value = false;
    Prm.wantMp3->Value = false;
    Prm.versionWmv->Value = 0;
    Prm.profilParDefaut->Value = false;
    Prm.profileWmv->Value = 3;
    Prm.profilWmvFavori->Value = QStringLiteral("Mon profil");
    ASSERT_TRUE(SaveDivxSettings({0, 6, 50}));
    ASSERT_TRUE(SaveMp3Bitrate(192));
    const TRecordingSettings s = RecordingSettingsFrom(Prm);
    Prm = TParameters{};
    EXPECT_EQ(s.framerate, 7.5);
    EXPECT_EQ(s.frequenceDV, 1);
    EXPECT_FALSE(s.frequenceDVNative);
    EXPECT_TRUE(s.garderFormatDV);
    EXPECT_EQ(s.standardDV, 1);
    EXPECT_EQ(s.ratioDV, 1);
    EXPECT_EQ(s.divxFavori, QStringLiteral("DivX Pro 5.0"));
    EXPECT_EQ(s.ratioDivX, 2);
    EXPECT_FALSE(s.demiTaille);
    EXPECT_FALSE(s.wantMp3);
    EXPECT_EQ(s.versionWmv, 0);
    EXPECT_FALSE(s.profilParDefaut);
    EXPECT_EQ(s.profileWmv, 3);
    EXPECT_EQ(s.profilWmvFavori, QStringLiteral("Mon profil"));
    EXPECT_EQ(s.divx.bitrateKbps, 0);
    EXPECT_EQ(s.divx.quantiser, 6);
    EXPECT_EQ(s.divx.keyFrameInterval, 50);
    EXPECT_EQ(s.mp3BitrateKbps, 192);
}

TEST(RecordingController, DefaultFormatRecordsTheNameAndTousStopsTheQuestions) {
    Sandbox box;
    ScriptedPrompts prompts;
    PromptsGuard guard(&prompts);
    Program p;
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TRecordingController& rec = *p.form.recorder;
    QDir().mkpath(box.path("videos"));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    Prm.captureFormat->Value = cfDefault;
    rec.RecomputeNextName();
    const QString first = rec.nextVideoFileName();
    EXPECT_TRUE(first.startsWith(box.path("videos") + "/Video_"));

    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsRecording);
    EXPECT_EQ(rec.recordedFiles(), QStringList{first});
    EXPECT_TRUE(p.form.action("acCouper")->isEnabled());
    EXPECT_EQ(p.form.action("saCapturerBascule")->text(), QString("Stop Capture"));
    EXPECT_TRUE(p.form.statusPanels->text(1).contains("=>défaut"));
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsPreview);
    EXPECT_NE(rec.nextVideoFileName(), first);
    EXPECT_TRUE(prompts.asked.isEmpty());

    // The next name exists: asked once, "Tous" answers for the rest of the run.
    QFile(rec.nextVideoFileName()).open(QIODevice::WriteOnly);
    prompts.answer = IPrompts::All;
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsRecording);
    EXPECT_EQ(prompts.asked.size(), 1);
    EXPECT_FALSE(Prm.confirmerVideo->Value);
    EXPECT_FALSE(p.form.OptionsFrame->cbConfirmerVideo->isChecked());
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    QFile(rec.nextVideoFileName()).open(QIODevice::WriteOnly);
    prompts.answer = IPrompts::No;
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsRecording);
    EXPECT_EQ(prompts.asked.size(), 1);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);

    // Refused overwrite: the start fails and the check mark is cleared.
    Prm.confirmerVideo->Value = true;
    QFile(rec.nextVideoFileName()).open(QIODevice::WriteOnly);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsPreview);
    EXPECT_FALSE(p.form.action("saCapturerBascule")->isChecked());
    p.form.hide();
}

// Preview lock with an audio-only format drops the video source.
TEST(RecordingController, LockWithWavDropsTheVideoSource) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    ASSERT_NE(p.form.sources->currentVideo(), nullptr);
    ASSERT_NE(p.form.sources->currentAudio(), nullptr);
    Prm.captureFormat->Value = cfWav;
    Prm.previewLocked->Value = true;
    p.form.recorder->ApplyPreviewLock();
    EXPECT_EQ(p.form.sources->currentVideo(), nullptr);
    EXPECT_FALSE(p.form.session().videoReady);
    p.form.hide();
}

// A missing folder is offered for creation; refusing it fails the start.
TEST(RecordingController, MissingFolderIsAskedFor) {
    Sandbox box;
    ScriptedPrompts prompts;
    PromptsGuard guard(&prompts);
    Program p;
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TRecordingController& rec = *p.form.recorder;
    Prm.videoDirectory->Value = box.path("nouveau/dossier") + "/";
    Prm.captureFormat->Value = cfNone;
    rec.RecomputeNextName();
    prompts.answer = IPrompts::No;
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsPreview);
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_TRUE(prompts.asked[0].startsWith("Le dossier "));
    prompts.answer = IPrompts::Yes;
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(rec.state(), RecordingState::rsRecording);
    EXPECT_TRUE(QDir(box.path("nouveau/dossier")).exists());
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    p.form.hide();
}

// The free space follows the folder of the recordings at once, and names its disk as it is.
TEST(RecordingController, FreeSpaceFollowsTheFolder) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path() + "/";
    p.form.recorder->RecomputeNextName();
    const QString root = QStorageInfo(box.path()).rootPath();
    EXPECT_TRUE(p.form.statusPanels->text(3).endsWith(" mo libres sur " + root))
        << p.form.statusPanels->text(3).toStdString();
    // A folder on another filesystem (not made yet: its nearest parent tells the disk).
    Prm.videoDirectory->Value = "/proc/vidorra/enregistrements/";
    p.form.recorder->RecomputeNextName();
    EXPECT_TRUE(p.form.statusPanels->text(3).endsWith(" mo libres sur /proc"))
        << p.form.statusPanels->text(3).toStdString();
    p.form.hide();
}
