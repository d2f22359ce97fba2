#include "CaptureForm.h"
#include "Dm.h"
#include "FichierListbox.h"
#include "ListeFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "ProgramUnderTest.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "SuperAction.h"
#include "TextGauge.h"
#include "WaitFor.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using Program = ProgramUnderTest;

} // namespace

// A short WAV recording cut once: both parts are listed on panel 6, sorted by name, and the
// video gauge shows the drive of the folder they went to.
TEST(ListePanel, EveryRecordingPartJoinsTheList) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    Program p;
    p.form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    p.form.recorder->RecomputeNextName();
    TListeFrame* liste = p.form.ListeFrame;
    ASSERT_EQ(p.form.panels[pnListe], liste);
    EXPECT_EQ(liste->fl->count(), 0);

    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    ASSERT_TRUE(waitFor([&] { return liste->fl->count() == 1; }));
    pause(700);
    p.form.action("acCouper")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return liste->fl->count() == 2; }));
    pause(700);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsPreview; }));

    QStringList recorded = p.form.recorder->recordedFiles();
    ASSERT_EQ(recorded.size(), 2);
    EXPECT_EQ(liste->fl->paths(), TFichierListbox::Sorted(recorded, TFichierListbox::soName));
    for (const QString& file : recorded)
        EXPECT_TRUE(file.startsWith(box.path("videos"))) << file.toStdString();

    // Shown by its action (Alt+L): on top, the count and order under the list.
    p.form.action("saListeFrame")->executeInteractive(&p.form);
    EXPECT_TRUE(liste->isVisible());
    EXPECT_EQ(Prm.panneauActif->Value, pnListe);
    EXPECT_EQ(liste->labselect->text(), "2 fichiers triés par ordre alphabétique");
    EXPECT_TRUE(waitFor([&] { return liste->tgVideo->maxValue() > 0; }, 10000));
    EXPECT_TRUE(liste->tgVideo->text().endsWith(" Mo"));
    p.form.hide();
}

// A double click on a file where no launcher answers, or on a file that went, is said in
// French instead of doing nothing visible.
TEST(ListePanel, ADoubleClickThatOpensNothingSaysSo) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    ScriptedPrompts answers;
    PromptsGuard guard(&answers);
    Program p;
    const QString file = box.path("videos/essai.avi");
    QFile(file).open(QIODevice::WriteOnly);
    // No launcher on the path: xdg-open cannot answer.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", box.path("nulle-part").toLocal8Bit());
    emit p.form.ListeFrame->openRequested(file);
    qputenv("PATH", path);
    ASSERT_EQ(answers.asked.size(), 1);
    EXPECT_TRUE(answers.asked[0].startsWith("Aucun lecteur du bureau n'a pu ouvrir"))
        << answers.asked[0].toStdString();
    EXPECT_TRUE(answers.asked[0].contains("essai.avi"));

    QFile::remove(file);
    emit p.form.ListeFrame->openRequested(file);
    ASSERT_EQ(answers.asked.size(), 2);
    EXPECT_TRUE(answers.asked[1].contains("n'existe plus"));
}
