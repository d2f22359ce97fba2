// The main window's layout commands: side panels, reduced mode, full screen, aspect ratio,
// monitoring volume, mirrors and the inlay position sliders.
#include "CaptureForm.h"

#include "Dm.h"
#include "LayoutMath.h"
#include "LevelMeterWidget.h"
#include "ListeFrame.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "PartArea.h"
#include "Plaque.h"
#include "Scheduler.h"
#include "SuperAction.h"

#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {
const char* const kPanelActions[9] = {"acSourcesFrame",  "acDossiersFrame",  "acProgrammerFrame",
                                      "acExtraireFrame", "acIncrusterFrame", "acOptionsFrame",
                                      "saListeFrame",    "acHelp",           "acApropos"};
constexpr QSize kPreviewSize(410, 330);
constexpr QSize kClientSize(700, 459);
constexpr QSize kPanelSize(275, 400);
} // namespace

QSize TCaptureForm::panelSize() const {
    QSize size = kPanelSize;
    for (const QFrame* panel : panels)
        size = size.expandedTo(panel->minimumSizeHint());
    return size;
}

void TCaptureForm::fitCaptions() {
    bool changed = panelSize() != m_fittedPanelSize;
    for (QToolButton* b : {btnCouper, btnCapture, btnGrab})
        changed = changed || b->size() != b->sizeHint().expandedTo(b->minimumSize());
    changed = changed || levelMeter->height() != levelMeter->sizeHint().height();
    changed = changed || partArea->height() != partArea->sizeHint().height();
    if (changed && Prm.ecranGauche)
        LayoutPanels();
}

void TCaptureForm::LayoutPanels() {
    const bool left = Prm.ecranGauche ? Prm.ecranGauche->Value : true;
    const LayoutMath::PanelOffsets offsets = LayoutMath::panelOffsets(left);
    // Where the desktop's fonts make a caption longer than the design allows, the panels and
    // the buttons under the preview grow, and so does the window; panels on the left push
    // the preview right by what they grew.
    const QSize panel = panelSize();
    const int growW = panel.width() - kPanelSize.width();
    const int growH = panel.height() - kPanelSize.height();
    m_fittedPanelSize = panel;
    PanelsX = offsets.panelsX;
    PreviewShiftX = offsets.previewShiftX + (left ? 0 : growW);
    if (action("acReduire") && action("acReduire")->isChecked())
        return;
    for (QToolButton* b : {btnCouper, btnCapture, btnGrab})
        b->resize(b->sizeHint().expandedTo(b->minimumSize()));

    // A window larger than its design size gives the room to the preview.
    const QSize central = centralWidget()->size();
    const int statusHeight = statusBar()->isHidden() ? 0 : statusBar()->sizeHint().height();
    QSize design(kClientSize.width() + growW, kClientSize.height() - statusHeight + growH);
    // Places everything with `extra` pixels more than the design for the preview; returns the
    // least room its contents need, which does not depend on the extra.
    auto place = [&](QSize extra) {
        const int panelsX = left ? PanelsX + extra.width() : PanelsX;
        Panel1->setGeometry(PreviewShiftX + 10, Panel1->y() > 0 ? Panel1->y() : 40,
                            kPreviewSize.width() + extra.width(),
                            kPreviewSize.height() + extra.height());
        Panel2->setGeometry(12, 12, Panel1->width() - 24, Panel1->height() - 24);
        const int buttonsY = Panel1->geometry().bottom() + 8;
        const int volumeY = buttonsY + 40;
        btnCouper->move(PreviewShiftX + 24, buttonsY);
        btnCapture->move(PreviewShiftX + 64, buttonsY);
        btnGrab->move(PreviewShiftX + 404 + extra.width() - btnGrab->width(), buttonsY);
        chronoLab->move(btnGrab->x() - chronoLab->width() - 4, buttonsY + 8);
        tb->move(PreviewShiftX + 144, volumeY - 2);
        // The label ends before the slider however wide the font makes its text.
        lblVolume->adjustSize();
        lblVolume->move(std::min(PreviewShiftX + 108, tb->x() - 4 - lblVolume->width()), volumeY);
        gaugeVolume->move(PreviewShiftX + 296, volumeY);
        // The level meter under the volume row, from the cut button to the gauge's end.
        const int meterY = std::max({tb->geometry().bottom(), gaugeVolume->geometry().bottom(),
                                     lblVolume->geometry().bottom()}) +
                           6;
        levelMeter->setGeometry(PreviewShiftX + 24, meterY,
                                std::max(382, levelMeter->sizeHint().width()),
                                levelMeter->sizeHint().height());
        partArea->setGeometry(levelMeter->x(), levelMeter->geometry().bottom() + 5,
                              std::max(levelMeter->width(), partArea->sizeHint().width()),
                              partArea->sizeHint().height());
        for (QFrame* p : panels)
            p->setGeometry(panelsX, 33, panel.width(), panel.height());
        actionToolBar->move(PreviewShiftX != 0 ? central.width() - actionToolBar->width() : 16, 2);
        panelToolBar->move(panelsX + 8, 2);
        QSize least;
        for (const QWidget* w :
             {static_cast<QWidget*>(btnCapture), static_cast<QWidget*>(btnGrab),
              static_cast<QWidget*>(lblVolume), static_cast<QWidget*>(tb),
              static_cast<QWidget*>(gaugeVolume), static_cast<QWidget*>(levelMeter),
              static_cast<QWidget*>(partArea)})
            least = least.expandedTo(QSize(w->geometry().right() + 1 - extra.width(),
                                           w->geometry().bottom() + 1 - extra.height()));
        return least;
    };
    auto extraFor = [&](QSize room) {
        return QSize(std::max(0, central.width() - room.width()),
                     std::max(0, central.height() - room.height()));
    };
    const QSize least = place(extraFor(design));
    if (design.expandedTo(least) != design) {
        // The controls under the preview need more than the design (a taller status bar takes
        // its height from the window, not from them): the preview has less extra room.
        design = design.expandedTo(least);
        place(extraFor(design));
    }
    // The window holds at the least the design and whatever grew.
    if (centralWidget()->minimumSize() != design)
        centralWidget()->setMinimumSize(design);
    ApplyAspectRatio();
}

void TCaptureForm::HidePanel() {
    const int current = Prm.panneauActif ? Prm.panneauActif->Value : 0;
    if (current > 8)
        return;
    panels[size_t(current)]->hide();
    action(QLatin1String(kPanelActions[current]))->setChecked(false);
}

void TCaptureForm::ShowPanel(int panel) {
    if (panel < 0 || panel > 8)
        return;
    HidePanel();
    Prm.panneauActif->Value = uint8_t(panel);
    QFrame* frame = panels[size_t(panel)];
    frame->move(frame->x(), 33);
    frame->show();
    frame->raise();
    TCustomSuperAction* a = action(QLatin1String(kPanelActions[panel]));
    a->setCheckable(true);
    a->setChecked(true);
    if (panel == pnProgrammer && scheduler)
        scheduler->PanelShown();
    if (panel == pnListe)
        ListeFrame->Refresh();
}

void TCaptureForm::setReduced(bool reduced) {
    TCustomSuperAction* a = action("acReduire");
    if (reduced) {
        if (!m_sizeBeforeReduced.isValid()) // not reduced already
            m_sizeBeforeReduced = size();
        statusBar()->hide();
        Panel1->move(0, 0);
        Panel1->raise();
        setFixedSize(QSize(Panel1->width(), Panel1->height()));
        a->setText(QStringLiteral("Restaurer"));
        setWindowTitle(videoSourceText ? videoSourceText() : QString());
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        statusBar()->show();
        Panel1->move(Panel1->x(), Prm.wideScreen && Prm.wideScreen->Value ? 76 : 40);
        // Back to the size the user had.
        if (m_sizeBeforeReduced.isValid())
            resize(m_sizeBeforeReduced);
        m_sizeBeforeReduced = QSize();
        LayoutPanels();
        a->setText(QStringLiteral("Réduire"));
        setWindowTitle(windowCaption());
    }
}

void TCaptureForm::toggleFullScreen(bool on) {
    TCustomSuperAction* a = action("tafullscreen");
    a->SetChecked(on);
    const bool haveVideo = currentVideoSource && currentVideoSource().present;
    if (on) {
        if (!haveVideo || !m_plaque)
            return;
        vwEcran->setParent(m_plaque->videoHolder);
        vwEcran->setGeometry(m_plaque->videoHolder->rect());
        vwEcran->show();
        m_plaque->showFullScreen();
        m_plaque->raise();
        m_plaque->activateWindow();
    } else {
        if (m_plaque && vwEcran->parent() == m_plaque->videoHolder) {
            vwEcran->setParent(Panel1);
            vwEcran->setVisible(haveVideo);
            vwEcran->stackUnder(Panel2);
        }
        if (m_plaque)
            m_plaque->hide();
    }
    ApplyAspectRatio();
}

void TCaptureForm::detectedWideChanged(bool) {
    ApplyAspectRatio();
}

void TCaptureForm::ApplyAspectRatio() {
    if (!currentVideoSource || !Prm.aspectRatio)
        return;
    const TVideoSourceInfo source = currentVideoSource();
    if (!source.present)
        return;
    const QSize units = LayoutMath::aspectUnits(Prm.aspectRatio->Value, source.hasSceneDetector,
                                                m_session->detectedWide(), source.nativeSize);
    FitVideoWindow(units.width(), units.height());
    // The recordings take the aspect shown: DivX the same choice, DV the nearer of 4:3, 16:9.
    OptionsFrame->SelectRatios(Prm.aspectRatio->Value,
                               units.width() * 9 >= units.height() * 14 ? 1 : 0);
}

void TCaptureForm::FitVideoWindow(int w, int h) {
    if (m_plaque && m_plaque->isVisible()) {
        const QRect box = m_plaque->rect().adjusted(12, 12, -12, -12);
        const QRect r = LayoutMath::fitRect(box, w, h);
        m_plaque->videoHolder->setGeometry(r);
        vwEcran->setGeometry(m_plaque->videoHolder->rect());
        m_plaque->Shape1->setGeometry(r.adjusted(-12, -12, 12, 12));
        m_plaque->Shape1->lower();
        return;
    }
    const QRect r = LayoutMath::fitRect(Panel2->geometry(), w, h);
    vwEcran->setGeometry(r);
    Shape2->setGeometry(r.adjusted(-12, -12, 12, 12));
    Yslider->setGeometry(r.x() + r.width() - 6, r.y() - 8, 12, r.height() + 16);
    Xslider->setGeometry(r.x() - 8, r.y() + r.height() - 6, r.width() + 16, 12);
    Shape1->move(r.x() + r.width() - 6, r.y() + r.height() - 6);
    Shape1->raise();
}

void TCaptureForm::ApplyVolume() {
    if (!Prm.volume)
        return;
    if (m_dm)
        m_dm->SetVolume(Prm.muteOn->Value ? 0 : Prm.volume->Value);
    gaugeVolume->setValue(Prm.volume->Value / 100);
    levelMeter->setMuted(Prm.muteOn->Value);
}

void TCaptureForm::setVolume(int volume) {
    tb->setValue(LayoutMath::clampVolume(volume)); // the slider writes the parameter
    if (Prm.volume)
        Prm.volume->Value = tb->value();
    ApplyVolume();
}

void TCaptureForm::toggleMute(bool on) {
    Prm.muteOn->Value = on;
    action("taMute")->SetChecked(on);
    ApplyVolume();
    updateStatusTexts();
}

void TCaptureForm::applyFlip(bool vertical) {
    const bool on = action(vertical ? "acVertFlip" : "acHorzFlip")->isChecked();
    (vertical ? Prm.wantVertFlip : Prm.wantHorzFlip)->Value = on;
    m_session->setOverlayFlip(vertical, on && m_session->videoReady);
    updateStatusTexts();
}

void TCaptureForm::toggleSliders() {
    m_slidersVisible = !m_slidersVisible;
    Yslider->setVisible(m_slidersVisible);
    Xslider->setVisible(m_slidersVisible);
    Shape1->setVisible(m_slidersVisible);
    if (m_slidersVisible) {
        Yslider->raise();
        Xslider->raise();
        Shape1->raise();
        if (!action("taIncruster")->isChecked())
            action("taIncruster")->executeInteractive(this);
    }
    action("acSliders")
        ->setText(m_slidersVisible ? QStringLiteral("Masquer les curseurs de l'incrustation")
                                   : QStringLiteral("Afficher les curseurs de l'incrustation"));
}

void TCaptureForm::swapSides(QObject* sender) {
    if (!sender)
        return;
    Prm.ecranGauche->Value = !Prm.ecranGauche->Value;
    if (!action("acReduire")->isChecked())
        LayoutPanels();
}

void TCaptureForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (Prm.ecranGauche)
        LayoutPanels();
}

void TCaptureForm::mousePressEvent(QMouseEvent* event) {
    // A left click on the picture grabs a still.
    const QPoint inPreview = vwEcran->mapFrom(this, event->position().toPoint());
    if (event->button() == Qt::LeftButton && vwEcran->isVisible() &&
        vwEcran->rect().contains(inPreview)) {
        action("saGrab")->executeInteractive(this);
        return;
    }
    QMainWindow::mousePressEvent(event);
}

void TCaptureForm::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const char* name :
         {"saCapturerBascule", "saGrab", "tafullscreen", "acReduire", "taMute", "acVertFlip",
          "acHorzFlip", "taFreezepreview", "taraccourcis", "acQuitter"})
        menu.addAction(action(QLatin1String(name)));
    menu.exec(event->globalPos());
}
