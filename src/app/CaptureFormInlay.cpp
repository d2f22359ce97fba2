// The main window's side of the inlay: the settings panel, the two position sliders over the
// preview, the clock-correction actions, and what reaches the overlay.
#include "CaptureForm.h"

#include "Dm.h"
#include "GstRef.h"
#include "GstSuperposer.h"
#include "IncrusterFrame.h"
#include "OffsetText.h"
#include "OptionsFrame.h"
#include "OverlayRecord.h"
#include "ParameterTable.h"
#include "SceneDetect.h"
#include "SourcesController.h"
#include "SuperAction.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

void TCaptureForm::pushIncrustRec() {
    if (GstElement* overlay = m_dm ? m_dm->overlay() : nullptr; overlay && Prm.incrustRec)
        setOverlayIncrustRec(overlay, Prm.incrustRec->Value);
}

// While a text field of the panel has the focus, "+", "−" and space are text, not the volume
// and the freeze of the recording.
void TCaptureForm::setTypingShortcuts(bool typing) {
    action("acIncVolume")->ShortCut =
        typing ? QKeySequence() : QKeySequence(Qt::KeypadModifier | Qt::Key_Plus);
    action("acDecVolume")->ShortCut =
        typing ? QKeySequence() : QKeySequence(Qt::KeypadModifier | Qt::Key_Minus);
    action("taFreezeCapture")->ShortCut = typing ? QKeySequence() : QKeySequence(Qt::Key_Space);
}

void TCaptureForm::connectInlay() {
    TIncrusterFrame* panel = IncrusterFrame1;
    panel->inlayWanted = [] { return Prm.wantIncrust && Prm.wantIncrust->Value; };
    panel->currentRecordingDate = [this]() -> std::optional<double> {
        TVideoSource* video = sources ? sources->currentVideo() : nullptr;
        GstElement* detector = video ? video->SceneDetector() : nullptr;
        if (!detector)
            return std::nullopt;
        TDVFrameInfo* newest = nullptr;
        g_object_get(detector, "current-frame", &newest, nullptr);
        const TGstRef<TDVFrameInfo> info(newest);
        if (!info || !info->DateValid)
            return std::nullopt;
        return info->RecDate;
    };
    connect(panel, &TIncrusterFrame::recordChanged, this, [this] { pushIncrustRec(); });
    connect(panel, &TIncrusterFrame::whenChanged, this, [this] {
        if (GstElement* overlay = m_dm ? m_dm->overlay() : nullptr)
            g_object_set(overlay, "when-mode", guint(Prm.whenIncrust->Value), "when-seconds",
                         gint(Prm.dureeIncruster->Value), nullptr);
    });
    connect(panel, &TIncrusterFrame::inlayToggleRequested, this,
            [this] { action("taIncruster")->executeInteractive(this); });
    connect(panel, &TIncrusterFrame::subtitleChosen, this, [this] { Xslider->setValue(500); });
    connect(panel, &TIncrusterFrame::typingStarted, this, [this] { setTypingShortcuts(true); });
    connect(panel, &TIncrusterFrame::typingEnded, this, [this] { setTypingShortcuts(false); });
    connect(panel, &TIncrusterFrame::correctionToggled, this,
            [this](bool shown) { action("taDecalage")->SetChecked(shown); });

    connect(Xslider, &QSlider::valueChanged, this, [this](int value) {
        if (!Prm.incrustRec)
            return;
        TincrustRec rec = Prm.incrustRec->Value;
        // Moving a sub-title sideways makes it a centred text.
        if (rec.Alignement == 3)
            rec.Alignement = 1;
        rec.Xpos = value;
        Prm.incrustRec->Value = rec;
        pushIncrustRec();
    });
    connect(Yslider, &QSlider::valueChanged, this, [this](int value) {
        if (!Prm.incrustRec)
            return;
        TincrustRec rec = Prm.incrustRec->Value;
        rec.Ypos = Yslider->maximum() - value;
        Prm.incrustRec->Value = rec;
        pushIncrustRec();
    });

    auto* correction = static_cast<TtoggleAction*>(action("taDecalage"));
    auto toggleCorrection = [this, correction](QObject*) {
        IncrusterFrame1->ToggleCorrection();
        correction->SetChecked(IncrusterFrame1->correctionShown());
    };
    correction->OnTrueExecute = toggleCorrection;
    correction->OnfalseExecute = toggleCorrection;
    bindAction("saDecalage", [this](QObject*) {
        if (!Prm.incrustRec)
            return;
        const QStringList& arguments = ActionArguments();
        TincrustRec rec = Prm.incrustRec->Value;
        rec.Decalage = offset::DaysFromText(arguments.isEmpty() ? QString() : arguments.first());
        Prm.incrustRec->Value = rec;
        IncrusterFrame1->labDecalage->setText(rec.Decalage != 0.0 ? offset::OffsetText(rec.Decalage)
                                                                  : QString());
        pushIncrustRec();
    });

    // Without the overlay allowed, its three actions are not offered.
    auto showEffects = [this](bool allowed) {
        for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"})
            action(QLatin1String(name))->setVisible(allowed);
    };
    connect(OptionsFrame, &TOptionsFrame::superpositionChanged, this, showEffects);
}

void TCaptureForm::loadInlay() {
    const TincrustRec& rec = Prm.incrustRec->Value;
    IncrusterFrame1->LoadRecord(rec);
    {
        // Placing the sliders is not an edit: the record keeps its alignment.
        const QSignalBlocker x(Xslider), y(Yslider);
        Xslider->setValue(std::clamp(rec.Xpos, 0, Xslider->maximum()));
        Yslider->setValue(std::clamp(Yslider->maximum() - rec.Ypos, 0, Yslider->maximum()));
    }
    IncrusterFrame1->LoadWhen(Prm.whenIncrust->Value, Prm.dureeIncruster->Value);
    for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"})
        action(QLatin1String(name))->setVisible(Prm.activerSuperposition->Value);
    if (GstElement* overlay = m_dm ? m_dm->overlay() : nullptr) {
        setOverlayIncrustRec(overlay, rec);
        g_object_set(overlay, "when-mode", guint(Prm.whenIncrust->Value), "when-seconds",
                     gint(Prm.dureeIncruster->Value), "overlay-enabled",
                     gboolean(Prm.activerSuperposition->Value), nullptr);
    }
}
