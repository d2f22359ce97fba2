// What the session asks of the main window: the picture, the state's colours, the panels'
// fields and the camcorder windows.
#include "CaptureForm.h"

#include "CameraWindows.h"
#include "DossiersFrame.h"
#include "ExtraireFrame.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "ProgrammerFrame.h"
#include "RecordingController.h"
#include "SourcesFrame.h"
#include "StatusPanels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

namespace {

// Frame colours of the states (0x00BBGGRR in the settings; here as Qt colours).
QColor colourOf(RecordingState state, const QPalette& palette) {
    switch (state) {
    case RecordingState::rsRecording:
        return QColor(255, 0, 0);
    case RecordingState::rsProgrammed:
        return QColor(255, 255, 0);
    case RecordingState::rsProgrammedRecording:
        return QColor(255, 0, 255);
    default:
        return palette.color(QPalette::Button);
    }
}

QColor colourOf(TStatusTexts::Tone tone) {
    switch (tone) {
    case TStatusTexts::Tone::Fault:
        return Qt::red;
    case TStatusTexts::Tone::Deck:
        return Qt::darkBlue;
    case TStatusTexts::Tone::Plain:
        break;
    }
    return Qt::black;
}

// The "Programmer" panel's fields as the schedule reads them.
class TProgrammerFields : public IScheduleFields {
public:
    explicit TProgrammerFields(TProgrammerFrame& panel) : m_panel(panel) {}
    QDateTime start() const override { return m_panel.start(); }
    QDateTime end() const override { return m_panel.end(); }
    QDate endDate() const override { return m_panel.endDate(); }
    void showTime(const QDateTime& now) override { m_panel.ShowTime(now); }
    void presetFrom(const QDateTime& now) override { m_panel.PresetFrom(now); }

private:
    TProgrammerFrame& m_panel;
};

} // namespace

std::unique_ptr<IScheduleFields> TCaptureForm::programmerFields(TProgrammerFrame& panel) {
    return std::make_unique<TProgrammerFields>(panel);
}

void TCaptureForm::followStatusTexts() {
    const TStatusTexts& texts = m_session->status();
    connect(&texts, &TStatusTexts::textChanged, statusPanels, [this, &texts](int panel) {
        statusPanels->setText(panel, texts.text(panel), colourOf(texts.tone(panel)));
    });
    connect(&texts, &TStatusTexts::redSuffixChanged, statusPanels,
            [this, &texts] { statusPanels->setRedSuffix(texts.redSuffix()); });
}

void TCaptureForm::updateStatusTexts() {
    if (recorder)
        recorder->UpdateStatusTexts();
}

void TCaptureForm::showRecordingState(RecordingState state, bool frozen) {
    const QColor colour = colourOf(state, palette());
    QPalette pal = Shape2->palette();
    pal.setBrush(QPalette::Window,
                 QBrush(colour, frozen ? Qt::DiagCrossPattern : Qt::SolidPattern));
    for (QWidget* w : {static_cast<QWidget*>(Shape2), static_cast<QWidget*>(Yslider),
                       static_cast<QWidget*>(Xslider)}) {
        w->setAutoFillBackground(true);
        w->setPalette(pal);
    }
    if (m_plaque) {
        m_plaque->SetFrameBrush(
            QBrush(state == RecordingState::rsPreview ? QColor(Qt::black) : colour,
                   frozen ? Qt::DiagCrossPattern : Qt::SolidPattern));
        QPalette plaquePalette = m_plaque->palette();
        plaquePalette.setColor(QPalette::Window,
                               frozen ? palette().color(QPalette::Button) : QColor(Qt::black));
        m_plaque->setPalette(plaquePalette);
    }
    const bool recording =
        state == RecordingState::rsRecording || state == RecordingState::rsProgrammedRecording;
    for (QWidget* w : {static_cast<QWidget*>(SourcesFrame->gbVideo),
                       static_cast<QWidget*>(SourcesFrame->gbAudio),
                       static_cast<QWidget*>(SourcesFrame->gbFormatCapture),
                       static_cast<QWidget*>(SourcesFrame->ActualiserVideoSpeedBtn)})
        w->setEnabled(!recording);
    // What names and shapes the file cannot change while it is written.
    if (state != RecordingState::rsProgrammed) {
        for (QWidget* w : {static_cast<QWidget*>(OptionsFrame->gbrgProfiles),
                           static_cast<QWidget*>(OptionsFrame->gbProfiles),
                           static_cast<QWidget*>(DossiersFrame1->gbVideo)})
            w->setEnabled(!recording);
    }
}

void TCaptureForm::setRatioChoicesEnabled(bool on) {
    OptionsFrame->SetRatiosEnabled(on);
}

void TCaptureForm::stopConfirmingVideo() {
    OptionsFrame->cbConfirmerVideo->setChecked(false);
}

void TCaptureForm::stopConfirmingImage() {
    OptionsFrame->cbConfirmerImage->setChecked(false);
}

bool TCaptureForm::videoWindowNarrow() const {
    return vwEcran->width() * 9 < vwEcran->height() * 14;
}

void TCaptureForm::showGrab(bool bringPanel) {
    if (bringPanel)
        ShowPanel(pnExtraire);
    ExtraireFrame1->HideBevel();
}

void TCaptureForm::showThumbnail(const TStillImage& image) {
    ExtraireFrame1->ShowThumbnail(image);
}

void TCaptureForm::showCountdown(int seconds) {
    ExtraireFrame1->ShowCountdown(seconds);
}

ISessionView::Interval TCaptureForm::intervalChoice() const {
    return {ExtraireFrame1->cbUnites->currentIndex(), ExtraireFrame1->RxSpinEdit7->value(),
            ExtraireFrame1->cbUnites->currentText()};
}

void TCaptureForm::showIntervalometer(bool running) {
    ExtraireFrame1->RxSwitch1->setChecked(running);
    ExtraireFrame1->SetRunning(running);
}

bool TCaptureForm::bindTransport(TavFlux& source, const TavFlux* other) {
    if (!cameras)
        return false;
    cameras->Bind(source, other);
    return true;
}

void TCaptureForm::releaseTransport(TavFlux& source) {
    if (cameras)
        cameras->Release(source);
}

void TCaptureForm::refreshTransport(TavFlux* video, TavFlux* audio) {
    if (cameras)
        cameras->Refresh(video, audio);
}
