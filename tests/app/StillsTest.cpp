// Still images grabbed from the preview, through the whole program on the virtual devices.
#include "CaptureForm.h"
#include "Dm.h"
#include "ExtraireFrame.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "StatusPanels.h"
#include "StillsController.h"
#include "SuperAction.h"
#include "VideoWidget.h"
#include "WaitFor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <libexif/exif-data.h>

namespace {

struct Program {
    Sandbox box;
    ScriptedPrompts answers;
    PromptsGuard guard{&answers};
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    QStringList saved;

    explicit Program(const QStringList& commandLine, bool pictures = true) {
        form.attachModules(&dm, &plaque, &raccourcis);
        form.setCommandLine(commandLine);
        QObject::connect(form.stills, &TStillsController::saved,
                         [this](const QString& file) { saved << file; });
        form.show();
        waitFor([&] { return form.startupFinished(); });
        if (pictures) {
            QDir().mkpath(box.path("images"));
            Prm.imageDirectory->Value = box.path("images") + "/";
            form.stills->RecomputeName();
        }
    }
    ~Program() { form.hide(); }
    QStringList images() const {
        return QDir(box.path("images")).entryList(QDir::Files, QDir::Name);
    }
    bool grab(int count = 1) {
        const int before = saved.size();
        form.action("saGrab")->executeInteractive(&form);
        return waitFor([&] { return saved.size() >= before + count; });
    }
};

QString exifDate(const QString& path) {
    ExifData* exif = exif_data_new_from_file(QFile::encodeName(path).constData());
    if (!exif)
        return {};
    QString text;
    if (ExifEntry* e =
            exif_content_get_entry(exif->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL)) {
        char value[64];
        text = QString::fromLatin1(exif_entry_get_value(e, value, sizeof value));
    }
    exif_data_unref(exif);
    return text;
}

} // namespace

// "/gf /g" writes one image of the test pattern into the pictures folder (the home folder
// here), shows it and lists it with the run's files; the name moves on.
TEST(Stills, GrabFromTheCommandLineWritesAnImage) {
    Program p({"/sv=Mire de test", "/gf", "/g"}, false);
    ASSERT_TRUE(waitFor([&] { return !p.saved.isEmpty(); }));
    const QString file = p.saved.first();
    EXPECT_TRUE(file.startsWith(p.box.home())) << file.toStdString();
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(Prm.panneauActif->Value, pnExtraire);
    EXPECT_FALSE(p.form.ExtraireFrame1->Image->pixmap().isNull());
    EXPECT_TRUE(p.form.recorder->recordedFiles().contains(file));
    EXPECT_NE(p.form.stills->nextName(), file);
    EXPECT_EQ(p.form.ExtraireFrame1->destlabel->text(),
              QFileInfo(p.form.stills->nextName()).fileName());
    // 720 x 576 with the ratio of a source that is not a camcorder: the frame's own size.
    EXPECT_EQ(p.form.stills->lastImage().width, 720);
    EXPECT_EQ(p.form.stills->lastImage().height, 576);
    // A left click on the picture grabs it too.
    QTest::mouseClick(p.form.videoWidget, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return p.saved.size() == 2; }));
}

TEST(Stills, RatioOverwriteAndAMissingFolder) {
    Program p({"/sv=Mire de test"});
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > 2; }));
    Prm.aspectRatio->Value = 2; // 16:9
    ASSERT_TRUE(p.grab());
    EXPECT_EQ(p.form.stills->lastImage().width, 720);
    EXPECT_EQ(p.form.stills->lastImage().height, 405);
    QFile bmp(p.saved.last());
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_EQ(bmp.size(), 54 + 720 * 3 * 405);
    bmp.close();

    // After a restart the run's first names exist already: asked, "Tous" stops the asking.
    const QString next = p.form.stills->nextName();
    ASSERT_TRUE(Sandbox::write(next, "déjà là"));
    const QString following =
        QFileInfo(next).path() + "/" + QFileInfo(next).fileName().replace("_1.", "_2.");
    ASSERT_TRUE(Sandbox::write(following, "déjà là"));
    p.answers.answer = IPrompts::No;
    p.form.action("saGrab")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return !p.answers.asked.isEmpty(); }));
    EXPECT_TRUE(p.answers.lastDefaultNo); // Enter keeps the image that is there
    waitFor([] { return false; }, 200);
    EXPECT_EQ(Sandbox::read(next), "déjà là");
    EXPECT_EQ(p.form.stills->nextName(), next); // refused: the name stays
    p.answers.answer = IPrompts::All;
    ASSERT_TRUE(p.grab());
    EXPECT_NE(Sandbox::read(next), "déjà là");
    EXPECT_FALSE(p.form.OptionsFrame->cbConfirmerImage->isChecked());
    EXPECT_FALSE(Prm.confirmerImage->Value);
    const int asked = p.answers.asked.size();
    ASSERT_TRUE(p.grab());
    EXPECT_NE(Sandbox::read(following), "déjà là");
    EXPECT_EQ(p.answers.asked.size(), asked);

    // A folder that does not exist: said in French, nothing written, the name stays, and the
    // slot came back (the next grab works once the folder is there).
    Prm.imageDirectory->Value = p.box.path("absent") + "/";
    p.form.stills->RecomputeName();
    const QString missing = p.form.stills->nextName();
    const int savedBefore = p.saved.size();
    for (int i = 0; i < 3; ++i) {
        p.form.action("saGrab")->executeInteractive(&p.form);
        waitFor([&] { return p.form.statusPanels->text(0).contains("n'existe pas"); });
    }
    EXPECT_TRUE(p.form.statusPanels->text(0).contains("n'existe pas"))
        << p.form.statusPanels->text(0).toStdString();
    EXPECT_EQ(p.form.stills->nextName(), missing);
    EXPECT_EQ(p.saved.size(), savedBefore);
    ASSERT_TRUE(QDir().mkpath(p.box.path("absent")));
    ASSERT_TRUE(p.grab());
    EXPECT_EQ(p.saved.last(), missing);
}

// The intervalometer at one second writes several images and counts down; with the beeps on,
// 4-3-2-1-0 gives four "beep1" and one "beep0".
TEST(Stills, IntervalometerAndCountdown) {
    Program p({"/sv=Mire de test"});
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > 2; }));
    TExtraireFrame& panel = *p.form.ExtraireFrame1;
    panel.RxSpinEdit7->setValue(1);
    panel.cbUnites->setCurrentIndex(0);
    p.form.action("saIntervallo")->executeInteractive(&p.form);
    ASSERT_TRUE(p.form.stills->running());
    EXPECT_FALSE(panel.RxSpinEdit7->isEnabled());
    EXPECT_TRUE(p.form.statusPanels->text(0).endsWith("toutes les 1 secondes"))
        << p.form.statusPanels->text(0).toStdString();
    ASSERT_TRUE(waitFor([&] { return p.saved.size() >= 3; }));
    p.form.action("saIntervallo")->executeInteractive(&p.form);
    EXPECT_FALSE(p.form.stills->running());
    EXPECT_TRUE(panel.RxSpinEdit7->isEnabled());
    EXPECT_TRUE(p.form.statusPanels->text(0).endsWith("Intervallomètre désactivé"));
    EXPECT_GE(p.images().size(), 3);

    // Too long for the overlay's count: refused with a message, the switch stays off.
    panel.RxSpinEdit7->setValue(60);
    panel.cbUnites->setCurrentIndex(3);
    p.form.action("saIntervallo")->executeInteractive(&p.form);
    EXPECT_FALSE(p.form.stills->running());
    EXPECT_FALSE(panel.RxSwitch1->isChecked());
    ASSERT_FALSE(p.answers.asked.isEmpty());
    EXPECT_TRUE(p.answers.asked.last().contains("trop long"));

    Prm.beeps->Value = true;
    for (int s : {4, 3, 2, 1, 0})
        p.form.stills->Countdown(s);
    EXPECT_EQ(p.form.stills->beeper().played(1), 4);
    EXPECT_EQ(p.form.stills->beeper().played(0), 1);
    EXPECT_EQ(panel.chronoLab->text(), "0");
    p.form.stills->Countdown(7);
    EXPECT_EQ(p.form.stills->beeper().played(1), 4);
}

// After a restart the counter starts again at the images of the run before: the
// intervalometer, which nobody watches, asks nothing and loses no picture; each takes the next
// free number, and the images already there stay as they are.
TEST(Stills, AnIntervalometerNeverStopsAtAnImageThatIsThere) {
    Program p({"/sv=Mire de test"});
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > 2; }));
    ASSERT_TRUE(Prm.confirmerImage->Value);
    const QString first = p.form.stills->nextName();
    ASSERT_TRUE(first.contains("_00000.")) << first.toStdString();
    QStringList before;
    for (int n = 0; n < 3; ++n) {
        before << QString(first).replace("_00000.", QString("_%1.").arg(n, 5, 10, QChar('0')));
        ASSERT_TRUE(Sandbox::write(before.last(), "déjà là"));
    }
    TExtraireFrame& panel = *p.form.ExtraireFrame1;
    panel.RxSpinEdit7->setValue(1);
    panel.cbUnites->setCurrentIndex(0);
    p.form.action("saIntervallo")->executeInteractive(&p.form);
    ASSERT_TRUE(p.form.stills->running());
    ASSERT_TRUE(waitFor([&] { return p.saved.size() >= 3; }));
    p.form.action("saIntervallo")->executeInteractive(&p.form);
    EXPECT_TRUE(p.answers.asked.isEmpty()) << p.answers.asked.join('|').toStdString();
    for (const QString& old : before)
        EXPECT_EQ(Sandbox::read(old), "déjà là");
    for (const QString& file : p.saved) {
        EXPECT_FALSE(before.contains(file)) << file.toStdString();
        EXPECT_TRUE(QFile::exists(file));
    }
    EXPECT_EQ(p.images().size(), 3 + p.saved.size());
}

// A JPEG grabbed from the virtual camcorder carries the tape's recording date of that frame,
// corrected as the inlay shows it.
TEST(Stills, JpegOfADvFrameKnowsWhenItWasFilmed) {
    Program p({"/sv=DV Source - Video", "/j"});
    ASSERT_TRUE(waitFor([] { return Prm.extensionDesImages->Value == 1; }));
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > 5; }, 60000));
    TincrustRec rec = Prm.incrustRec->Value;
    rec.Decalage = 10.0; // the camcorder's clock was ten days behind
    Prm.incrustRec->Value = rec;
    ASSERT_TRUE(p.grab());
    const QString file = p.saved.last();
    EXPECT_TRUE(file.endsWith(".jpg")) << file.toStdString();
    // The clip was filmed on 1 and 2 May 2024; ten days on, 11 or 12 May.
    const QString date = exifDate(file);
    EXPECT_TRUE(date.startsWith("2024:05:11") || date.startsWith("2024:05:12"))
        << date.toStdString();
}
