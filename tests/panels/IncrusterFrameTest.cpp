#include "IncrusterFrame.h"
#include "DateTimeFormatQt.h"
#include "OffsetText.h"
#include "ParameterTable.h"
#include "Sandbox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFocusEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class IncrusterFrame : public ::testing::Test {
protected:
    void SetUp() override {
        CreateParameters(m_list);
        panel.inlayWanted = [this] { return wanted; };
        QObject::connect(&panel, &TIncrusterFrame::recordChanged, [this] { ++pushes; });
        QObject::connect(&panel, &TIncrusterFrame::inlayToggleRequested, [this] {
            ++toggles;
            wanted = !wanted;
        });
    }
    void TearDown() override { Prm = TParameters{}; }
    const TincrustRec& rec() const { return Prm.incrustRec->Value; }

    Sandbox m_box;
    TparameterList m_list{"test"};
    TIncrusterFrame panel;
    bool wanted = false;
    int pushes = 0, toggles = 0;
};

} // namespace

TEST_F(IncrusterFrame, LoadRecordFillsTheControlsAndWritesNothing) {
    TincrustRec r;
    r.Alignement = 3;
    r.FontRec.FontName = "Police que personne n'a";
    r.Autofontsize = false;
    r.FontRec.FontSize = 36;
    r.FontRec.FontBold = 1;
    r.BorderSize = 0;
    r.FormatDate1 = "dddddd";
    r.Incrust2 = "Noël à %d";
    r.Decalage = 2.0 / 24.0;
    r.WhatIncrust = wiTimecode;
    panel.LoadRecord(r);
    // A sub-title has no button of its own: all four stay up.
    for (QAbstractButton* b : panel.alignGroup->buttons())
        EXPECT_FALSE(b->isChecked()) << b->toolTip().toStdString();
    // A family the machine lacks shows the one fontconfig draws for its name, not the list's
    // first entry (which was "DejaVu Math TeX Gyre" on a machine without Liberation).
    const QString match = QFontInfo(QFont(r.FontRec.FontName)).family();
    if (panel.FontComboBox->findText(match) > 0)
        EXPECT_EQ(panel.FontComboBox->currentText(), match);
    EXPECT_EQ(panel.cbSize->currentText(), "36");
    EXPECT_TRUE(panel.tbBold->isChecked());
    EXPECT_FALSE(panel.tbItalic->isChecked());
    EXPECT_TRUE(panel.tbBorder->text().isEmpty());
    EXPECT_EQ(panel.cbDatecode1->currentText(), "dddddd");
    EXPECT_EQ(panel.edPerso2->text(), "Noël à %d");
    EXPECT_EQ(panel.labDecalage->text(), "2 heures");
    EXPECT_FALSE(panel.tbDecalage->isEnabled());
    EXPECT_EQ(pushes, 0);
    EXPECT_EQ(rec(), DefaultIncrustRec());

    r.Alignement = 1;
    r.Autofontsize = true;
    r.BorderSize = 3;
    r.WhatIncrust = wiReel;
    panel.LoadRecord(r);
    EXPECT_TRUE(panel.tbCenter->isChecked());
    EXPECT_EQ(panel.cbSize->currentText(), "auto");
    EXPECT_EQ(panel.tbBorder->text(), "3");
    EXPECT_TRUE(panel.tbDecalage->isEnabled());

    // Arial, the overlay's first font, is drawn with its metric twin where it is installed.
    if (panel.FontComboBox->findText("Liberation Sans") >= 0) {
        r.FontRec.FontName = "Arial";
        panel.LoadRecord(r);
        EXPECT_EQ(panel.FontComboBox->currentText(), "Liberation Sans");
    }
}

// Switched on with both date patterns empty, the inlay takes the date and the time, shown in
// the panel and written to the record; a pattern the user gave is kept.
TEST_F(IncrusterFrame, AnInlayWithoutPatternsTakesTheDateAndTheTime) {
    panel.LoadRecord(rec());
    ASSERT_TRUE(rec().FormatDate1.isEmpty() && rec().FormatDate2.isEmpty());
    panel.FillEmptyPatterns();
    EXPECT_EQ(rec().FormatDate1, "ddddd");
    EXPECT_EQ(rec().FormatDate2, "tt");
    EXPECT_EQ(panel.cbDatecode1->currentText(), "ddddd");
    EXPECT_EQ(panel.cbDatecode2->currentText(), "tt");
    EXPECT_GT(pushes, 0);

    panel.cbDatecode1->setEditText("d mmm yyyy");
    panel.cbDatecode2->setEditText("");
    const int before = pushes;
    panel.FillEmptyPatterns();
    EXPECT_EQ(rec().FormatDate1, "d mmm yyyy");
    EXPECT_TRUE(rec().FormatDate2.isEmpty());
    EXPECT_EQ(pushes, before);
}

TEST_F(IncrusterFrame, EditsWriteTheRecordAndReachTheOverlay) {
    panel.cbSize->setEditText("48");
    EXPECT_FALSE(rec().Autofontsize);
    EXPECT_EQ(rec().FontRec.FontSize, 48);
    // Not a number: the size stays, the automatic size is off all the same.
    panel.cbSize->setEditText("auto");
    EXPECT_TRUE(rec().Autofontsize);
    panel.cbSize->setEditText("grand");
    EXPECT_FALSE(rec().Autofontsize);
    EXPECT_EQ(rec().FontRec.FontSize, 48);

    panel.tbItalic->click();
    EXPECT_EQ(rec().FontRec.FontItalic, 1);
    panel.SetFontColour(0x0000FF); // red, as 0x00BBGGRR
    EXPECT_EQ(rec().FontRec.FontColor, 0x0000FFu);
    panel.tbLeftAlign->click();
    EXPECT_EQ(rec().Alignement, 0);
    panel.tbBorder->menu()->actions().at(4)->trigger();
    EXPECT_EQ(rec().BorderSize, 4);
    EXPECT_EQ(panel.tbBorder->text(), "4");
    panel.tbBorder->menu()->actions().at(0)->trigger();
    EXPECT_TRUE(panel.tbBorder->text().isEmpty());
    panel.cbDatecode2->setEditText("d mmm yyyy");
    EXPECT_EQ(rec().FormatDate2, "d mmm yyyy");
    panel.edPerso1->setText("Vacances");
    EXPECT_EQ(rec().Incrust1, "Vacances");
    EXPECT_GE(pushes, 9);

    int whens = 0;
    QObject::connect(&panel, &TIncrusterFrame::whenChanged, [&] { ++whens; });
    panel.rbScene->click();
    EXPECT_EQ(Prm.whenIncrust->Value, 2);
    panel.edDuree->setText("12");
    EXPECT_EQ(Prm.dureeIncruster->Value, 12);
    panel.edDuree->setText("douze");
    EXPECT_EQ(Prm.dureeIncruster->Value, 0);
    EXPECT_EQ(whens, 3);

    // Sub-title: the window is asked to put the horizontal slider in the middle.
    int subtitles = 0;
    QObject::connect(&panel, &TIncrusterFrame::subtitleChosen, [&] { ++subtitles; });
    panel.tbSousTitre->click();
    EXPECT_EQ(rec().Alignement, 3);
    EXPECT_EQ(subtitles, 1);
}

TEST_F(IncrusterFrame, KindButtonsSwitchTheInlayOnAndNeantOff) {
    // "Néant" with the inlay off does nothing.
    panel.JvImgBtn4->click();
    EXPECT_EQ(toggles, 0);
    // "Datecode" with the inlay off switches it on and chooses the kind.
    TincrustRec r = rec();
    r.WhatIncrust = wiPerso;
    Prm.incrustRec->Value = r;
    panel.JvImgBtn1->click();
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(rec().WhatIncrust, wiDatecode);
    EXPECT_TRUE(panel.tbDecalage->isEnabled());
    panel.JvImgBtn2->click();
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(rec().WhatIncrust, wiTimecode);
    EXPECT_FALSE(panel.tbDecalage->isEnabled());
    // "Néant" switches it off and leaves the kind.
    panel.JvImgBtn4->click();
    EXPECT_EQ(toggles, 2);
    EXPECT_FALSE(wanted);
    EXPECT_EQ(rec().WhatIncrust, wiTimecode);
}

TEST(OffsetText, ShortAndLongForms) {
    EXPECT_EQ(offset::OffsetText(2.0 / 24), "2 heures");
    EXPECT_EQ(offset::OffsetText(1.0 + 1.0 / 24), "1 jours 01h 00m 00s");
    EXPECT_EQ(offset::OffsetText(90.0 / 86400), "0 jours 00h 01m 30s");
    EXPECT_EQ(offset::OffsetText(1.0), "1 jours 00h 00m 00s");
    EXPECT_EQ(offset::OffsetText(-2.0 / 24), "-2 heures");
    EXPECT_EQ(offset::OffsetText(-(2.5 / 24)), "0 jours -02h -30m 00s");
    EXPECT_EQ(offset::DaysFromText("0,5"), 0.5);
    EXPECT_EQ(offset::DaysFromText(" -1.25 "), -1.25);
    EXPECT_EQ(offset::DaysFromText("une heure"), 0.0);
    EXPECT_EQ(offset::DaysFromText("nan"), 0.0);
    // Milliseconds are dropped, also at the last one of a day.
    const double at = *vrdate::encodeDateTime(2024, 5, 1, 12, 30, 15, 999);
    EXPECT_EQ(vrdate::qt::formatDateTime("dd/mm/yyyy hh:nn:ss.zzz", offset::CutToSeconds(at)),
              "01/05/2024 12:30:15.000");
    const double late = *vrdate::encodeDateTime(2024, 5, 1, 23, 59, 59, 999);
    EXPECT_EQ(vrdate::qt::formatDateTime("hh:nn:ss.zzz", offset::CutToSeconds(late)),
              "23:59:59.000");
}

TEST_F(IncrusterFrame, ClockCorrectionOfTheCamcorderDate) {
    int shown = 0;
    QObject::connect(&panel, &TIncrusterFrame::correctionToggled, [&](bool on) { shown += on; });
    const double recorded = *vrdate::encodeDateTime(2024, 5, 1, 12, 30, 15, 640);
    std::optional<double> dvDate;
    panel.currentRecordingDate = [&] { return dvDate; };
    // Without a camcorder date there is nothing to correct.
    panel.ToggleCorrection();
    EXPECT_FALSE(panel.correctionShown());
    EXPECT_EQ(shown, 0);

    dvDate = recorded;
    panel.tbDecalage->click();
    ASSERT_TRUE(panel.correctionShown());
    EXPECT_TRUE(panel.tbDecalage->isChecked());
    EXPECT_EQ(panel.labOldDate->text(),
              "Ancienne date: " +
                  vrdate::qt::formatDateTime("ddddd tt", offset::CutToSeconds(recorded)));
    EXPECT_EQ(panel.seSeconde->value(), 15);
    EXPECT_TRUE(panel.labDecalage->text().isEmpty());

    // The camcorder was an hour late.
    panel.seHeure->setValue(13);
    EXPECT_NEAR(rec().Decalage, 1.0 / 24, 1e-9);
    EXPECT_EQ(panel.labDecalage->text(), "1 heures");
    panel.DateEdit2->setDate(panel.DateEdit2->date().addDays(-1));
    EXPECT_EQ(panel.labDecalage->text(), "-23 heures");
    panel.resetBtn->click();
    EXPECT_EQ(rec().Decalage, 0.0);
    EXPECT_TRUE(panel.labDecalage->text().isEmpty());

    // Closing keeps the offset; reopening re-bases on the date shown then.
    panel.seMinute->setValue(31);
    panel.tbDecalage->click();
    EXPECT_FALSE(panel.correctionShown());
    EXPECT_FALSE(panel.tbDecalage->isChecked());
    EXPECT_NEAR(rec().Decalage, 1.0 / 1440, 1e-9);
    dvDate = recorded + 1.0;
    panel.ToggleCorrection();
    EXPECT_EQ(panel.DateEdit2->date(), QDate(2024, 5, 2));
    EXPECT_NEAR(rec().Decalage, 1.0 / 1440, 1e-9);

    // "Réel" corrects the computer's clock.
    panel.ToggleCorrection();
    panel.JvImgBtn5->click();
    panel.now = [] { return *vrdate::encodeDateTime(2026, 12, 9, 8, 0, 0, 250); };
    panel.ToggleCorrection();
    EXPECT_EQ(panel.DateEdit2->date(), QDate(2026, 12, 9));
    EXPECT_EQ(panel.seHeure->value(), 8);
}

TEST_F(IncrusterFrame, TextFieldsTellWhenTypingStartsAndEnds) {
    QStringList log;
    QObject::connect(&panel, &TIncrusterFrame::typingStarted, [&] { log << "start"; });
    QObject::connect(&panel, &TIncrusterFrame::typingEnded, [&] { log << "end"; });
    for (QWidget* field : std::initializer_list<QWidget*>{
             panel.edPerso1, panel.edPerso2, panel.edDuree, panel.cbDatecode1->lineEdit()}) {
        QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
        QCoreApplication::sendEvent(field, &in);
        QCoreApplication::sendEvent(field, &out);
    }
    EXPECT_EQ(log.size(), 8);
    EXPECT_EQ(log.count("start"), 4);
}
