#include "SourcesFrame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QToolButton* toolButton(const QString& text, const QString& hint, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    return b;
}
} // namespace

TSourcesFrame::TSourcesFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("SourcesFrame"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* title = new QLabel(QStringLiteral("<b>Sources</b>"), this);
    layout->addWidget(title);

    gbVideo = new QGroupBox(QStringLiteral("Vidéo"), this);
    auto* video = new QGridLayout(gbVideo);
    cboxvideo = new QComboBox(gbVideo);
    cboxvideo->setObjectName(QStringLiteral("cboxvideo"));
    sbVideoSettings =
        toolButton(QStringLiteral("..."), QStringLiteral("Réglages de la source vidéo"), gbVideo);
    sbVideoPilotVCR =
        toolButton(QStringLiteral("DV"), QStringLiteral("Télécommande du camescope"), gbVideo);
    sbVideoPilotVCR->hide();
    LabVideo = new QLabel(gbVideo);
    LabVideo->setObjectName(QStringLiteral("LabVideo"));
    video->addWidget(cboxvideo, 0, 0);
    video->addWidget(sbVideoSettings, 0, 1);
    video->addWidget(sbVideoPilotVCR, 0, 2);
    video->addWidget(LabVideo, 1, 0, 1, 3);
    video->setColumnStretch(0, 1);
    layout->addWidget(gbVideo);

    gbAudio = new QGroupBox(QStringLiteral("Audio"), this);
    auto* audio = new QGridLayout(gbAudio);
    cboxAudio = new QComboBox(gbAudio);
    cboxAudio->setObjectName(QStringLiteral("cboxAudio"));
    sbAudioSettings =
        toolButton(QStringLiteral("..."), QStringLiteral("Réglages de la source audio"), gbAudio);
    sbAudioPilotVCR =
        toolButton(QStringLiteral("DV"), QStringLiteral("Télécommande du camescope"), gbAudio);
    sbAudioPilotVCR->hide();
    LabAudio = new QLabel(gbAudio);
    LabAudio->setObjectName(QStringLiteral("LabAudio"));
    cbEntries = new QComboBox(gbAudio);
    cbEntries->setObjectName(QStringLiteral("cbEntries"));
    cbEntries->setToolTip(QStringLiteral("Entrée de la carte son"));
    cbEntries->hide();
    audio->addWidget(cboxAudio, 0, 0);
    audio->addWidget(sbAudioSettings, 0, 1);
    audio->addWidget(sbAudioPilotVCR, 0, 2);
    audio->addWidget(LabAudio, 1, 0, 1, 3);
    audio->addWidget(cbEntries, 2, 0, 1, 3);
    audio->setColumnStretch(0, 1);
    layout->addWidget(gbAudio);

    gbFormatCapture = new QGroupBox(QStringLiteral("Format de capture"), this);
    auto* format = new QGridLayout(gbFormatCapture);
    cbFormatCapture = new QComboBox(gbFormatCapture);
    cbFormatCapture->setObjectName(QStringLiteral("cbFormatCapture"));
    sbFormatCapturesettings =
        toolButton(QStringLiteral("..."), QStringLiteral("Options du format"), gbFormatCapture);
    lblFramerate = new QLabel(QStringLiteral("images/seconde"), gbFormatCapture);
    leFramerate = new QLineEdit(gbFormatCapture);
    leFramerate->setObjectName(QStringLiteral("leFramerate"));
    LabelVideo = new QLabel(gbFormatCapture);
    LabelVideo->setObjectName(QStringLiteral("LabelVideo"));
    LabelVideo->setWordWrap(true);
    format->addWidget(cbFormatCapture, 0, 0);
    format->addWidget(sbFormatCapturesettings, 0, 1);
    format->addWidget(lblFramerate, 1, 0);
    format->addWidget(leFramerate, 1, 1);
    format->addWidget(LabelVideo, 2, 0, 1, 2);
    format->setColumnStretch(0, 1);
    layout->addWidget(gbFormatCapture);

    // Device names can be long: they show whole in the lists, and do not widen the panel.
    for (QComboBox* devices : {cboxvideo, cboxAudio, cbEntries}) {
        devices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        devices->setMinimumContentsLength(12);
    }

    ActualiserVideoSpeedBtn = toolButton(QStringLiteral("Actualiser"),
                                         QStringLiteral("Rechercher à nouveau les sources"), this);
    ActualiserVideoSpeedBtn->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* refresh = new QHBoxLayout;
    refresh->addStretch();
    refresh->addWidget(ActualiserVideoSpeedBtn);
    layout->addLayout(refresh);
    layout->addStretch();
}
