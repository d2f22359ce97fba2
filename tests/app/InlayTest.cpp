// The inlay as the main window drives it: its panel, the sliders over the preview, the clock
// offset actions, the typing in its fields, and the text in the pictures of the real graph.
#include "CaptureForm.h"
#include "Dm.h"
#include "GstSuperposer.h"
#include "IncrusterFrame.h"
#include "OptionsFrame.h"
#include "OverlayRecord.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "Sandbox.h"
#include "SuperAction.h"
#include "WaitFor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

struct Program {
    Sandbox box;
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    explicit Program(const QStringList& commandLine = {}) {
        form.attachModules(&dm, &plaque, &raccourcis);
        form.setCommandLine(commandLine);
        form.show();
    }
    const TincrustRec& rec() const { return Prm.incrustRec->Value; }
};

// Where the overlay drew: the box of the pixels that differ between a picture entering it and
// the same picture leaving it.
class DrawnBox {
public:
    explicit DrawnBox(GstElement* overlay) {
        m_in = gst_element_get_static_pad(overlay, "sink");
        m_out = gst_element_get_static_pad(overlay, "src");
        m_inProbe =
            gst_pad_add_probe(m_in, GST_PAD_PROBE_TYPE_BUFFER, &DrawnBox::entering, this, nullptr);
        m_outProbe =
            gst_pad_add_probe(m_out, GST_PAD_PROBE_TYPE_BUFFER, &DrawnBox::leaving, this, nullptr);
    }
    ~DrawnBox() {
        gst_pad_remove_probe(m_in, m_inProbe);
        gst_pad_remove_probe(m_out, m_outProbe);
        gst_object_unref(m_in);
        gst_object_unref(m_out);
    }
    // The box of the next picture that leaves with something drawn.
    QRect next(int ms = 10000) {
        {
            std::lock_guard lock(m_lock);
            m_box = QRect();
        }
        QRect box;
        waitFor(
            [&] {
                std::lock_guard lock(m_lock);
                box = m_box;
                return box.isValid();
            },
            ms);
        return box;
    }

private:
    static constexpr int kWidth = 720, kHeight = 576;
    static GstPadProbeReturn entering(GstPad*, GstPadProbeInfo* info, gpointer self) {
        auto* d = static_cast<DrawnBox*>(self);
        GstMapInfo map;
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            d->m_before.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        return GST_PAD_PROBE_OK;
    }
    static GstPadProbeReturn leaving(GstPad*, GstPadProbeInfo* info, gpointer self) {
        auto* d = static_cast<DrawnBox*>(self);
        GstMapInfo map;
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return GST_PAD_PROBE_OK;
        QRect box;
        if (map.size == d->m_before.size() && map.size == size_t(kWidth) * kHeight * 3)
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    const size_t at = (size_t(y) * kWidth + x) * 3;
                    if (std::memcmp(map.data + at, d->m_before.data() + at, 3) != 0)
                        box |= QRect(x, y, 1, 1);
                }
        gst_buffer_unmap(buffer, &map);
        if (box.isValid()) {
            std::lock_guard lock(d->m_lock);
            d->m_box = box;
        }
        return GST_PAD_PROBE_OK;
    }

    GstPad *m_in, *m_out;
    gulong m_inProbe, m_outProbe;
    std::vector<uint8_t> m_before; // streaming thread only
    std::mutex m_lock;             // guards m_box
    QRect m_box;
};

} // namespace

TEST(Inlay, SlidersSubtitleAndClockOffsetActions) {
    Program p;
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    // The sliders show the stored position without changing it.
    EXPECT_EQ(p.form.Xslider->maximum(), 970);
    EXPECT_EQ(p.form.Yslider->maximum(), 930);
    EXPECT_EQ(p.form.Xslider->value(), p.rec().Xpos);
    EXPECT_EQ(p.form.Yslider->value(), 930 - p.rec().Ypos);

    // A sub-title moves the slider to the middle, where the slider's own rule makes it a
    // centred text; asked again with the slider there, it stays a sub-title.
    ASSERT_NE(p.form.Xslider->value(), 500);
    p.form.IncrusterFrame1->tbSousTitre->click();
    EXPECT_EQ(p.form.Xslider->value(), 500);
    EXPECT_EQ(p.rec().Xpos, 500);
    EXPECT_EQ(p.rec().Alignement, 1);
    p.form.IncrusterFrame1->tbSousTitre->click();
    EXPECT_EQ(p.rec().Alignement, 3);
    p.form.Yslider->setValue(100);
    EXPECT_EQ(p.rec().Ypos, 830);

    // saDecalage takes a number of days.
    ActionArguments() = QStringList{"0,5"};
    p.form.action("saDecalage")->runHandler(&p.form);
    EXPECT_EQ(p.rec().Decalage, 0.5);
    EXPECT_EQ(p.form.IncrusterFrame1->labDecalage->text(), "12 heures");
    ActionArguments() = QStringList{"demain"};
    p.form.action("saDecalage")->runHandler(&p.form);
    EXPECT_EQ(p.rec().Decalage, 0.0);

    // taDecalage opens and closes the correction of the computer's clock and follows it.
    p.form.IncrusterFrame1->JvImgBtn5->click();
    TCustomSuperAction* correction = p.form.action("taDecalage");
    ASSERT_TRUE(correction->isEnabled());
    correction->executeInteractive(&p.form);
    EXPECT_TRUE(p.form.IncrusterFrame1->correctionShown());
    EXPECT_TRUE(correction->isChecked());
    EXPECT_EQ(correction->text(), "Masquer décalage");
    correction->executeInteractive(&p.form);
    EXPECT_FALSE(p.form.IncrusterFrame1->correctionShown());
    EXPECT_FALSE(correction->isChecked());

    // Without the overlay allowed, its actions are not offered.
    ASSERT_TRUE(p.form.action("taIncruster")->isVisible());
    p.form.OptionsFrame->cbActiverSuperposition->click();
    EXPECT_FALSE(p.form.action("taIncruster")->isVisible());
    EXPECT_FALSE(p.form.action("acHorzFlip")->isVisible());
    p.form.OptionsFrame->cbActiverSuperposition->click();
    EXPECT_TRUE(p.form.action("acVertFlip")->isVisible());
    p.form.hide();
}

TEST(Inlay, KeypadPlusIsTypedInATemplateField) {
    Program p;
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    p.form.action("acIncrusterFrame")->executeInteractive(&p.form);
    p.form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.form));
    const int volume = Prm.volume->Value;
    QLineEdit* field = p.form.IncrusterFrame1->edPerso1;
    field->setFocus();
    QApplication::processEvents();
    QTest::keyClick(field, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_EQ(field->text(), "+ ");
    EXPECT_EQ(Prm.volume->Value, volume);
    EXPECT_EQ(p.rec().Incrust1, "+ ");
    EXPECT_TRUE(p.form.action("acIncVolume")->ShortCut.isEmpty());
    // Leaving the field gives the keys back to the volume.
    p.form.btnCapture->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(p.form.action("acIncVolume")->ShortCut,
              QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
    QTest::keyClick(p.form.btnCapture, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_GT(Prm.volume->Value, volume);
    p.form.hide();
}

// "Réel" with the pattern "tt" chosen in the panel: the computer's time is drawn at the anchor
// (right-aligned on 914/1000 of the width, low in the picture); aligned left, it moves right.
TEST(Inlay, TextChosenInThePanelIsDrawnAtItsAnchor) {
    Program p({"/sv=Mire de test", "-l"});
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > 3; }));
    TIncrusterFrame* panel = p.form.IncrusterFrame1;
    p.form.action("acIncrusterFrame")->executeInteractive(&p.form);
    panel->cbDatecode1->setEditText("tt");
    panel->cbDatecode2->setEditText("");
    panel->JvImgBtn5->click();
    ASSERT_TRUE(p.form.action("taIncruster")->isChecked());
    EXPECT_EQ(p.rec().WhatIncrust, wiReel);
    ASSERT_EQ(p.rec().Alignement, 2);

    DrawnBox drawn(p.dm.overlay());
    const QRect right = drawn.next();
    ASSERT_TRUE(right.isValid()) << "nothing drawn";
    const int anchor = 914 * 720 / 1000;
    EXPECT_NEAR(right.right(), anchor, 30) << right.x() << "," << right.width();
    EXPECT_GT(right.width(), 40);
    EXPECT_GT(right.top(), 576 / 2);

    panel->tbLeftAlign->click();
    EXPECT_EQ(p.rec().Alignement, 0);
    QRect left;
    ASSERT_TRUE(waitFor([&] {
        left = drawn.next(2000);
        return left.isValid() && left.left() > right.left() + 20;
    })) << left.x();
    EXPECT_NEAR(left.left(), anchor, 30);
    p.form.hide();
}

// A first run: the inlay switched on while both date patterns are empty takes the date and
// the time, shows them in the panel and draws them, instead of drawing nothing.
TEST(Inlay, SwitchedOnWithoutPatternsItDrawsTheDateAndTheTime) {
    Program p({"/sv=Mire de test", "-l"});
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > 3; }));
    ASSERT_TRUE(p.rec().FormatDate1.isEmpty() && p.rec().FormatDate2.isEmpty());
    TIncrusterFrame* panel = p.form.IncrusterFrame1;
    panel->JvImgBtn5->click(); // "Réel": the computer's clock, drawn on any source
    ASSERT_TRUE(p.form.action("taIncruster")->isChecked());
    EXPECT_EQ(p.rec().FormatDate1, "ddddd");
    EXPECT_EQ(p.rec().FormatDate2, "tt");
    EXPECT_EQ(panel->cbDatecode1->currentText(), "ddddd");
    EXPECT_EQ(panel->cbDatecode2->currentText(), "tt");
    DrawnBox drawn(p.dm.overlay());
    EXPECT_TRUE(drawn.next().isValid()) << "nothing drawn";
    p.form.hide();
}

// Every field of the settings' record reaches the overlay, texts and accents included.
TEST(OverlayRecord, EveryFieldReachesTheOverlay) {
    TincrustRec rec;
    rec.Incrust1 = QStringLiteral("Été %D");
    rec.Incrust2 = QStringLiteral("à %T");
    rec.FormatDate1 = QStringLiteral("dddd d mmmm");
    rec.FormatDate2 = QStringLiteral("hh:nn am/pm");
    rec.Decalage = 1.5;
    rec.FontRec.FontName = QStringLiteral("DejaVu Sans");
    rec.FontRec.FontSize = 33;
    rec.FontRec.FontColor = 0x00FFFF;
    rec.FontRec.FontBold = 1;
    rec.FontRec.FontItalic = 1;
    rec.FontRec.FontUnderline = 1;
    rec.FontRec.FontStrikeOut = 1;
    rec.Autofontsize = false;
    rec.BorderSize = 4;
    rec.WhatIncrust = wiPerso;
    rec.Alignement = 3;
    rec.BorderColor = 0x123456;
    rec.Xpos = 120;
    rec.Ypos = 340;
    auto* overlay =
        GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("vr_superposer", nullptr)));
    ASSERT_NE(overlay, nullptr);
    setOverlayIncrustRec(overlay, rec);

    VrIncrustRec* raw = nullptr;
    g_object_get(overlay, "incrust-rec", &raw, nullptr);
    ASSERT_NE(raw, nullptr);
    VrIncrustRec want;
    want.Incrust1 = "Été %D";
    want.Incrust2 = "à %T";
    want.FormatDate1 = "dddd d mmmm";
    want.FormatDate2 = "hh:nn am/pm";
    want.Decalage = 1.5;
    want.FontRec = {"DejaVu Sans", 33, 0x00FFFF, 1, 1, 1, 1};
    want.Autofontsize = false;
    want.BorderSize = 4;
    want.WhatIncrust = VrIncrustRec::Perso;
    want.Alignement = 3;
    want.BorderColor = 0x123456;
    want.Xpos = 120;
    want.Ypos = 340;
    EXPECT_TRUE(*raw == want);
    EXPECT_TRUE(toOverlayRec(rec) == want);
    g_boxed_free(vr_incrust_rec_get_type(), raw);

    gchar* text = nullptr;
    g_object_get(overlay, "incrust1", &text, nullptr);
    EXPECT_STREQ(text, "Été %D");
    g_free(text);
    gst_object_unref(overlay);
}
