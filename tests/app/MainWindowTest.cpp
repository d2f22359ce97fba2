#include "CaptureForm.h"
#include "CaptureFormats.h"
#include "CommandRunner.h"
#include "Dm.h"
#include "IniFile.h"
#include "LevelMeterWidget.h"
#include "MornePreferences.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "ProgramUnderTest.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "SourcesController.h"
#include "StatusPanels.h"
#include "SuperAction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

using Program = ProgramUnderTest;

QString iniValue(const QString& key) {
    QStringList lines;
    IniFile::load(AppPaths::iniFilePath(), lines);
    for (const QString& line : lines)
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1);
    return QStringLiteral("<absent>");
}

} // namespace

TEST(MainWindow, CommandLineRunsAfterStartupAndQuitSavesPortably) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    Program p;
    p.form.setCommandLine({"-m", "/of", "/w", "sans-prefixe", "/inconnu", "/quit"});
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return !p.form.isVisible(); }));
    EXPECT_TRUE(p.form.startupFinished());
    EXPECT_EQ(iniValue("Mute On"), "0");
    EXPECT_EQ(iniValue("Panneau actif"), "5");
    EXPECT_EQ(iniValue("EcranGauche"), "0");
    EXPECT_EQ(iniValue("Signature"), "Vidorra 6.0.6 fr de Ardoval");
    // The application manager's persisted actions are there too.
    EXPECT_TRUE(iniValue("FormSave") == "<absent>"); // a rectangle is a section of its own
    QStringList lines;
    IniFile::load(AppPaths::iniFilePath(), lines);
    EXPECT_TRUE(lines.contains("[FormSave]"));
}

TEST(MainWindow, LayoutCommands) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    EXPECT_EQ(p.form.windowTitle(), QString("Vidorra 6.0.6 fr de Ardoval"));

    // Panels: the next one after 8 is 0; 9 and above change nothing.
    p.form.ShowPanel(8);
    p.form.action("acNextPanneau")->executeInteractive(&p.form);
    EXPECT_EQ(Prm.panneauActif->Value, 0);
    EXPECT_TRUE(p.form.panels[0]->isVisible());
    p.form.ShowPanel(9);
    EXPECT_EQ(Prm.panneauActif->Value, 0);

    // Volume steps clamp to 0..10000 and the gauge follows.
    p.form.setVolume(9500);
    p.form.action("acIncVolume")->executeInteractive(&p.form);
    EXPECT_EQ(Prm.volume->Value, 10000);
    EXPECT_EQ(p.form.gaugeVolume->value(), 100);
    p.form.setVolume(500);
    p.form.action("acDecVolume")->executeInteractive(&p.form);
    EXPECT_EQ(Prm.volume->Value, 0);

    // Muting by the keyboard: Ctrl+M goes through the program's own router.
    const bool muted = Prm.muteOn->Value;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_M, Qt::ControlModifier);
    QApplication::sendEvent(&p.form, &key);
    EXPECT_EQ(Prm.muteOn->Value, !muted);
    EXPECT_EQ(p.form.action("taMute")->text(),
              muted ? QString("Couper le son") : QString("Remettre le son"));

    // Swapping sides moves the panels to the left edge and the preview right.
    p.form.action("acBasculerPanneau")->executeInteractive(&p.form);
    EXPECT_EQ(p.form.PanelsX, 0);
    EXPECT_EQ(p.form.PreviewShiftX, 266);
    EXPECT_EQ(p.form.Panel1->x(), 276);

    // Without a video source there is no full screen.
    ASSERT_NE(p.form.sources, nullptr);
    p.form.sources->SelectVideoSource("aucun flux vidéo");
    p.form.action("tafullscreen")->executeInteractive(&p.form);
    EXPECT_FALSE(p.plaque.isVisible());
    EXPECT_TRUE(p.form.Panel2->isVisibleTo(&p.form));

    // With a source, the picture is fitted into the preview box.
    p.form.currentVideoSource = [] { return TVideoSourceInfo{true, QSize(720, 576), false}; };
    // The preview lock keeps native formats at their own ratio; unlocked, any ratio goes.
    if (Prm.previewLocked->Value)
        p.form.action("taLock")->executeInteractive(&p.form);
    ASSERT_FALSE(Prm.previewLocked->Value);
    p.form.action("saRatio16x9")->executeInteractive(&p.form);
    const QRect fitBox = p.form.Panel2->geometry();
    EXPECT_EQ(p.form.vwEcran->width(), fitBox.width());
    EXPECT_EQ(p.form.vwEcran->height(), fitBox.width() * 9 / 16);

    // The shortcut table lists every action with a caption, and only those.
    int withCaption = 0;
    for (TCustomSuperAction* a : p.form.al)
        withCaption += a->text().isEmpty() ? 0 : 1;
    EXPECT_EQ(p.raccourcis.grid()->rowCount(), withCaption);
    // The 55 of the action table, saDecalage (the clock offset, without a caption), the
    // two folder commands and the DV file's.
    EXPECT_EQ(p.form.al.size(), 59);
    p.form.hide();
}

// Every auto-checking toggle ends in the same state whether its shortcut or a command runs it:
// "+" leaves it on, "-" off, "/" inverts it, and what it drives follows.
// The level meter shows the chosen sound source's levels, marks the mute without losing
// them, and goes idle when no sound source is chosen.
TEST(MainWindow, LevelMeterFollowsTheSoundSourceAndMarksTheMute) {
    Sandbox box;
    Program p;
    p.form.setCommandLine({"/sa=Signal de test"});
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    const TLevelMeter& meter = p.form.levelMeter->meter();
    EXPECT_TRUE(meter.active());
    ASSERT_TRUE(p.runUntil([&] { return !meter.channels().empty(); }));
    if (!Prm.muteOn->Value)
        p.form.action("taMute")->executeInteractive(&p.form);
    EXPECT_TRUE(meter.muted());
    ASSERT_TRUE(p.runUntil(
        [&] { return !meter.channels().empty() && meter.channels()[0].peakDb > -20.0; }));
    p.form.action("taMute")->executeInteractive(&p.form);
    EXPECT_FALSE(meter.muted());

    // No sound source: the meter waits for none.
    p.form.dm()->StopGraph();
    p.form.dm()->RemovePreviewAudioChain();
    EXPECT_FALSE(meter.active());
    EXPECT_TRUE(meter.channels().empty());
}

TEST(MainWindow, AutoCheckingTogglesAgreeWithTheirCommands) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    int tested = 0;
    for (TCustomSuperAction* a : p.form.al) {
        if (!a->AutoCheck || !qobject_cast<TtoggleAction*>(a) || a->Switch().isEmpty())
            continue;
        SCOPED_TRACE(a->objectName().toStdString());
        ++tested;
        auto run = [&](const QString& command) {
            TScript script;
            script.actionlist = p.form.al;
            script.ParseCommandLine({command});
            script.RunCommands();
        };
        const bool start = a->isChecked();
        a->executeInteractive(&p.form); // the shortcut's path
        const bool byKey = a->isChecked();
        EXPECT_NE(byKey, start);
        a->executeInteractive(&p.form);
        EXPECT_EQ(a->isChecked(), start);
        run("+" + a->Switch());
        EXPECT_TRUE(a->isChecked());
        run("-" + a->Switch());
        EXPECT_FALSE(a->isChecked());
        run("/" + a->Switch());
        EXPECT_TRUE(a->isChecked());
        run("/" + a->Switch());
        EXPECT_FALSE(a->isChecked());
        // What it drives agrees with the mark: the key now turns it on.
        a->executeInteractive(&p.form);
        EXPECT_TRUE(a->isChecked());
        if (a->objectName() == "taFreezepreview") {
            EXPECT_TRUE(p.dm.previewFrozen());
        }
        run("-" + a->Switch());
        if (a->objectName() == "taFreezepreview") {
            EXPECT_FALSE(p.dm.previewFrozen());
        }
        if (a->objectName() == "taFreezeCapture") {
            EXPECT_FALSE(Prm.freezeCapture->Value);
        }
    }
    EXPECT_GE(tested, 2);
    p.form.hide();
}

// In full screen the picture fills the window once the window has its size, whenever that
// comes (a window manager grants it after it was asked for).
TEST(MainWindow, FullScreenFitsThePictureWhenTheWindowGrows) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(p.runUntil([&] { return p.form.sources->currentVideo() != nullptr; }));
    p.form.action("tafullscreen")->executeInteractive(&p.form);
    ASSERT_TRUE(p.runUntil([&] { return p.plaque.isVisible(); }));
    p.plaque.resize(1200, 500);
    ASSERT_TRUE(p.runUntil([&] { return p.plaque.height() == 500; }, 3000));
    const QRect holder = p.plaque.videoHolder->geometry();
    // Fitted into the window less its 12-pixel frame: as high as it can be.
    EXPECT_EQ(holder.height(), 500 - 24) << holder.width() << "x" << holder.height();
    EXPECT_TRUE(p.plaque.rect().contains(holder));
    p.form.action("tafullscreen")->executeInteractive(&p.form);
    p.form.hide();
}

// The aspect shown is the aspect recorded: the DivX group takes the same choice, the DV group
// the nearer of 4:3 and 16:9; while the preview is locked the format decides and both groups
// are off. In full screen the frame around the picture takes the colour of the recording.
TEST(MainWindow, AspectAndFrameFollowWhatIsRecorded) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(p.runUntil([&] { return p.form.sources->currentVideo() != nullptr; }));
    TOptionsFrame& options = *p.form.OptionsFrame;
    // The preview starts locked to what the format records; free, every aspect is offered.
    ASSERT_TRUE(Prm.previewLocked->Value);
    p.form.action("taLock")->executeInteractive(&p.form);
    ASSERT_FALSE(Prm.previewLocked->Value);
    p.form.action("saRatio16x9")->executeInteractive(&p.form);
    EXPECT_EQ(options.rgRatioDivX->checkedId(), 2);
    EXPECT_EQ(options.rgDVRatio->checkedId(), 1);
    EXPECT_EQ(Prm.ratioDivX->Value, 2);
    EXPECT_EQ(Prm.ratioDV->Value, 1);
    p.form.action("saRatio4x3")->executeInteractive(&p.form);
    EXPECT_EQ(options.rgRatioDivX->checkedId(), 1);
    EXPECT_EQ(options.rgDVRatio->checkedId(), 0);
    EXPECT_EQ(Prm.ratioDV->Value, 0);

    Prm.captureFormat->Value = cfDivx;
    p.form.action("taLock")->executeInteractive(&p.form);
    ASSERT_TRUE(Prm.previewLocked->Value);
    for (QButtonGroup* group : {options.rgRatioDivX, options.rgDVRatio})
        for (QAbstractButton* b : group->buttons())
            EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    p.form.action("taLock")->executeInteractive(&p.form);
    ASSERT_FALSE(Prm.previewLocked->Value);
    for (QButtonGroup* group : {options.rgRatioDivX, options.rgDVRatio})
        for (QAbstractButton* b : group->buttons())
            EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();

    auto frame = [&] { return p.plaque.Shape1->palette().brush(QPalette::Window); };
    p.form.action("tafullscreen")->executeInteractive(&p.form);
    ASSERT_TRUE(p.runUntil([&] { return p.plaque.isVisible(); }));
    EXPECT_EQ(frame().color(), QColor(Qt::black));
    Prm.captureFormat->Value = cfDefault; // records the name only
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    EXPECT_EQ(frame().color(), QColor(255, 0, 0));
    EXPECT_EQ(frame().style(), Qt::SolidPattern);
    p.form.action("taFreezeCapture")->executeInteractive(&p.form);
    EXPECT_EQ(frame().style(), Qt::DiagCrossPattern);
    p.form.action("taFreezeCapture")->executeInteractive(&p.form);
    EXPECT_EQ(frame().style(), Qt::SolidPattern);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(frame().color(), QColor(Qt::black));
    p.form.action("tafullscreen")->executeInteractive(&p.form);
    p.form.hide();
}

// At the window's default size the volume label and the status texts show whole, on either
// side; leaving the reduced mode gives back the size the user had.
TEST(MainWindow, TextsShowWholeAndReducedModeKeepsTheUsersSize) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(p.runUntil([&] { return p.form.sources->currentVideo() != nullptr; }));
    QApplication::processEvents();
    ASSERT_TRUE(p.form.statusPanels->text(0).contains("Intervallomètre désactivé"));
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side);
        const QRect label = p.form.lblVolume->geometry();
        EXPECT_GE(label.width(), p.form.lblVolume->sizeHint().width());
        EXPECT_FALSE(label.intersects(p.form.tb->geometry()));
        EXPECT_FALSE(label.intersects(p.form.gaugeVolume->geometry()));
        EXPECT_GE(label.left(), p.form.Panel1->geometry().left());
        p.form.action("acBasculerPanneau")->executeInteractive(&p.form);
    }
    const TStatusPanels& status = *p.form.statusPanels;
    for (int i = 0; i < TStatusPanels::kPanels; ++i) {
        SCOPED_TRACE(i);
        const QString text = status.text(i) + (i == 1 ? status.redSuffix() : QString());
        EXPECT_GE(status.textRect(i).width(), status.fontMetrics().horizontalAdvance(text))
            << text.toStdString();
        EXPECT_LE(status.textRect(i).right(), status.width());
    }

    p.form.resize(900, 620);
    ASSERT_TRUE(p.runUntil([&] { return p.form.size() == QSize(900, 620); }, 3000));
    p.form.action("acReduire")->executeInteractive(&p.form);
    EXPECT_EQ(p.form.size(), p.form.Panel1->size());
    p.form.action("acReduire")->executeInteractive(&p.form);
    EXPECT_TRUE(p.runUntil([&] { return p.form.size() == QSize(900, 620); }, 3000))
        << p.form.width() << "x" << p.form.height();
    // A command may ask for the mode the window is in already.
    auto run = [&](const QString& command) {
        TScript script;
        script.actionlist = p.form.al;
        script.ParseCommandLine({command});
        script.RunCommands();
    };
    const QString reduce = p.form.action("acReduire")->Switch();
    for (const char* sign : {"+", "+", "-", "-"})
        run(sign + reduce);
    EXPECT_TRUE(p.runUntil([&] { return p.form.size() == QSize(900, 620); }, 3000))
        << p.form.width() << "x" << p.form.height();
    p.form.hide();
}
