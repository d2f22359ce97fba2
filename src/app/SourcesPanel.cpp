// The sources panel: its lists, labels and buttons follow the sources controller, and what the
// user chooses there goes to it; the settings menus and their pages.
#include "SourcesPanel.h"

#include "AlsaMixer.h"
#include "CaptureFormat.h"
#include "Crossbar.h"
#include "GstRef.h"
#include "InputsMenu.h"
#include "ParameterTable.h"
#include "Prompts.h"
#include "SourcesController.h"
#include "SourcesFrame.h"
#include "V4l2Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// A settings page: its rows above a Close button, shown until closed.
void execWithClose(QDialog& dialog, QFormLayout* form) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog.exec();
}

QStringList itemsOf(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// The list as the controller has it; its items are only made again when they changed.
void show(QComboBox* combo, const TChoiceList& list) {
    if (itemsOf(combo) != list.items) {
        combo->clear();
        combo->addItems(list.items);
    }
    combo->setCurrentIndex(list.current);
}

void setShown(QWidget* widget, bool shown) {
    if (widget->isHidden() == shown)
        widget->setVisible(shown);
}
} // namespace

TSourcesPanel::TSourcesPanel(TSourcesController& sources, TSourcesFrame& frame,
                             QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_sources(sources), m_frame(frame), m_dialogParent(dialogParent) {
    connect(&m_sources, &TSourcesController::panelChanged, this, &TSourcesPanel::follow);
    connect(m_frame.cboxvideo, &QComboBox::activated, this,
            [this](int) { m_sources.VideoChosen(m_frame.cboxvideo->currentText()); });
    connect(m_frame.cboxAudio, &QComboBox::activated, this,
            [this](int) { m_sources.AudioChosen(m_frame.cboxAudio->currentText()); });
    connect(m_frame.cbFormatCapture, &QComboBox::activated, &m_sources,
            &TSourcesController::FormatChosen);
    connect(m_frame.cbEntries, &QComboBox::activated, this,
            [this](int) { m_sources.EntryChosen(m_frame.cbEntries->currentText()); });
    connect(m_frame.ActualiserVideoSpeedBtn, &QToolButton::clicked, &m_sources,
            &TSourcesController::ReselectSources);
    connect(m_frame.sbVideoSettings, &QToolButton::clicked, this,
            [this] { showSettingsMenu(true); });
    connect(m_frame.sbAudioSettings, &QToolButton::clicked, this,
            [this] { showSettingsMenu(false); });
    follow();
}

void TSourcesPanel::follow() {
    const TSourcesPanelState& state = m_sources.panel();
    show(m_frame.cboxvideo, state.video);
    show(m_frame.cboxAudio, state.audio);
    show(m_frame.cbEntries, state.entries);
    setShown(m_frame.cbEntries, state.entriesShown);
    QStringList labels;
    for (uint8_t format : state.formats)
        labels << CaptureFormatLabel(format);
    if (itemsOf(m_frame.cbFormatCapture) != labels) {
        m_frame.cbFormatCapture->clear();
        for (uint8_t format : state.formats)
            m_frame.cbFormatCapture->addItem(CaptureFormatLabel(format), int(format));
    }
    m_frame.cbFormatCapture->setCurrentIndex(state.format);
    setShown(m_frame.gbFormatCapture, state.formatsShown);
    setShown(m_frame.leFramerate, state.framerateShown);
    setShown(m_frame.lblFramerate, state.framerateShown);
    setShown(m_frame.sbVideoPilotVCR, state.videoPilot);
    setShown(m_frame.sbAudioPilotVCR, state.audioPilot);
    if (m_frame.LabVideo->text() != state.videoLabel)
        m_frame.LabVideo->setText(state.videoLabel);
    if (m_frame.LabAudio->text() != state.audioLabel)
        m_frame.LabAudio->setText(state.audioLabel);
    // The list the format does not record from is greyed.
    if (state.videoGreyed != m_videoGreyed || state.audioGreyed != m_audioGreyed) {
        m_videoGreyed = state.videoGreyed;
        m_audioGreyed = state.audioGreyed;
        const QPalette normal = m_frame.palette();
        QPalette grey = normal;
        grey.setColor(QPalette::ButtonText, normal.color(QPalette::Disabled, QPalette::ButtonText));
        grey.setColor(QPalette::Text, normal.color(QPalette::Disabled, QPalette::Text));
        m_frame.cboxAudio->setPalette(m_audioGreyed ? grey : normal);
        m_frame.cboxvideo->setPalette(m_videoGreyed ? grey : normal);
    }
}

void TSourcesPanel::FillSettingsMenu(QMenu& menu, bool video) {
    menu.clear();
    TVideoSource* const m_video = m_sources.currentVideo();
    TAudioSource* const m_audio = m_sources.currentAudio();
    TCrossbar* const crossbar = m_sources.crossbar();
    const QString path = video && m_video ? m_video->Device->Moniker.v4l2Path : QString();
    std::unique_ptr<IV4l2Controls> controls = path.isEmpty() ? nullptr : OpenV4l2Controls(path);
    if (video && m_video && m_video->Device->Kind == dkVideo && m_video->Device->Moniker.caps &&
        !gst_caps_is_any(m_video->Device->Moniker.caps) &&
        gst_caps_get_size(m_video->Device->Moniker.caps) > 0) {
        menu.addAction(QStringLiteral("Format Vidéo..."), this, [this] { chooseVideoFormat(); });
    }
    if (controls && !controls->List().empty()) {
        menu.addAction(QStringLiteral("Filtre de Capture Vidéo..."), this,
                       [this, path] { showControlsDialog(path); });
    }
    if (video && crossbar) {
        // The controller's crossbar when the entry is chosen: the source may have changed.
        menu.addAction(QStringLiteral("Crossbar Vidéo..."), this, [this] {
            if (TCrossbar* now = m_sources.crossbar()) {
                const int chosen = inputs::ShowCrossbarDialog(m_dialogParent, *now);
                if (chosen >= 0)
                    Prm.videoInputSelect->Value = chosen;
            }
        });
        if (const TV4l2Input* tuner = crossbar->tunerInput();
            tuner && crossbar->device()->Tuner(tuner->tunerIndex)) {
            const unsigned index = tuner->tunerIndex;
            menu.addAction(QStringLiteral("Tuner TV..."), this, [this, index] {
                if (TCrossbar* now = m_sources.crossbar())
                    inputs::ShowTunerDialog(m_dialogParent, *now->device(), index);
            });
            menu.addAction(QStringLiteral("TV Audio..."), this, [this, index] {
                if (TCrossbar* now = m_sources.crossbar())
                    inputs::ShowTvAudioDialog(m_dialogParent, *now->device(), index);
            });
        }
        if (!inputs::AddInputsMenu(menu, *crossbar, Prm.videoInputSelect->Value, [this](int k) {
                Prm.videoInputSelect->Value = k;
                if (TCrossbar* now = m_sources.crossbar())
                    now->SelectInput(k);
            }))
            prompts().error(m_dialogParent,
                            QStringLiteral("Assertion failure (AVgraph, line 1124)"));
    }
    if (!video && m_audio) {
        const QString card = m_sources.audioCard();
        std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : m_sources.openMixer(card);
        if (mixer && (!mixer->CaptureLevels().empty() || !mixer->CaptureInputs().isEmpty()))
            menu.addAction(QStringLiteral("Filtre de Capture Audio..."), this,
                           [this] { showMixerDialog(); });
        if (m_sources.AudioFormatChoices().size() > 1)
            menu.addAction(QStringLiteral("Broche de Capture Audio..."), this,
                           [this] { chooseAudioFormat(); });
    }
    if (menu.isEmpty()) {
        QAction* none = menu.addAction(QStringLiteral("[aucune page de réglages]"));
        none->setEnabled(false);
    }
}

// The formats the device offers (size, rate, pixel format), one of which it then delivers.
void TSourcesPanel::chooseVideoFormat() {
    TVideoSource* const m_video = m_sources.currentVideo();
    TCaptureDevice* device = m_video ? m_video->Device : nullptr;
    if (!device || !device->Moniker.caps)
        return;
    QStringList labels, capsTexts;
    const GstCaps* caps = device->Moniker.caps;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        GstStructure* s = gst_structure_copy(gst_caps_get_structure(caps, i));
        gint w = 0, h = 0, num = 0, den = 1;
        const char* format = gst_structure_get_string(s, "format");
        QString label = QString::fromLatin1(format ? format : gst_structure_get_name(s));
        if (gst_structure_get_int(s, "width", &w) && gst_structure_get_int(s, "height", &h))
            label += QStringLiteral(" - %1x%2").arg(w).arg(h);
        if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0)
            label += QStringLiteral(" - %1 fps").arg(QLocale().toString(double(num) / den, 'f', 2));
        const TGstRef<GstCaps> one(gst_caps_new_full(s, nullptr)); // takes s
        g_autofree gchar* text = gst_caps_to_string(one.get());
        if (!capsTexts.contains(QString::fromUtf8(text))) {
            labels << label;
            capsTexts << QString::fromUtf8(text);
        }
    }
    bool ok = false;
    const int current = std::max(0, int(capsTexts.indexOf(device->ChosenFormat)));
    const QString chosen =
        QInputDialog::getItem(m_dialogParent, QStringLiteral("Format Vidéo"),
                              QStringLiteral("Format de la source :"), labels, current, false, &ok);
    if (!ok)
        return;
    device->ChosenFormat = capsTexts.value(labels.indexOf(chosen));
    m_sources.Reselect(true);
}

// The rate, sample size and channels the sound source records with.
void TSourcesPanel::chooseAudioFormat() {
    TAudioSource* const m_audio = m_sources.currentAudio();
    TCaptureDevice* device = m_audio ? m_audio->Device : nullptr;
    const QList<QPair<QString, QString>> choices = m_sources.AudioFormatChoices();
    if (!device || choices.isEmpty())
        return;
    QStringList labels;
    int current = 0;
    for (const auto& [label, caps] : choices) {
        if (caps == device->ChosenFormat)
            current = int(labels.size());
        labels << label;
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        m_dialogParent, QStringLiteral("Broche de Capture Audio"),
        QStringLiteral("Format de l'enregistrement :"), labels, current, false, &ok);
    if (!ok)
        return;
    device->ChosenFormat = choices.value(int(labels.indexOf(chosen))).second;
    m_sources.Reselect(false);
}

// The card's recording levels and inputs, applied as they are moved.
void TSourcesPanel::showMixerDialog() {
    const QString card = m_sources.audioCard();
    std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : m_sources.openMixer(card);
    if (!mixer)
        return;
    QDialog dialog(m_dialogParent);
    dialog.setWindowTitle(QStringLiteral("Filtre de Capture Audio"));
    auto* form = new QFormLayout;
    IAlsaMixer* device = mixer.get();
    const QStringList inputs = device->CaptureInputs();
    if (!inputs.isEmpty()) {
        auto* box = new QComboBox(&dialog);
        box->addItems(inputs);
        box->setCurrentIndex(std::max(0, int(inputs.indexOf(device->ActiveCaptureInput()))));
        connect(box, &QComboBox::activated, &dialog,
                [this, box](int) { m_sources.EntryChosen(box->currentText()); });
        form->addRow(QStringLiteral("Entrée"), box);
    }
    for (const IAlsaMixer::Level& level : device->CaptureLevels()) {
        auto* slider = new QSlider(Qt::Horizontal, &dialog);
        // The slider's range is an int; card ranges are small.
        slider->setRange(int(level.minimum), int(level.maximum));
        slider->setValue(int(level.value));
        connect(slider, &QSlider::valueChanged, &dialog,
                [device, name = level.name](int v) { device->SetCaptureLevel(name, v); });
        form->addRow(level.name, slider);
    }
    execWithClose(dialog, form);
    m_sources.Reselect(false);
}

// The device's controls (brightness, contrast ...), applied as they are moved; the source
// is selected again afterwards.
void TSourcesPanel::showControlsDialog(const QString& path) {
    std::unique_ptr<IV4l2Controls> controls = OpenV4l2Controls(path);
    if (!controls)
        return;
    QDialog dialog(m_dialogParent);
    dialog.setWindowTitle(QStringLiteral("Filtre de Capture Vidéo"));
    auto* form = new QFormLayout;
    IV4l2Controls* device = controls.get();
    for (const TV4l2Control& c : device->List()) {
        if (c.readOnly || c.type == TV4l2Control::Button || c.type == TV4l2Control::Other)
            continue;
        if (c.type == TV4l2Control::Boolean) {
            auto* box = new QCheckBox(&dialog);
            box->setChecked(c.value != 0);
            connect(box, &QCheckBox::toggled, &dialog,
                    [device, id = c.id](bool on) { device->Set(id, on ? 1 : 0); });
            form->addRow(c.name, box);
        } else if (c.type == TV4l2Control::Menu) {
            auto* box = new QComboBox(&dialog);
            for (int v = c.minimum; v <= c.maximum; ++v)
                box->addItem(c.menuItems.value(v - c.minimum), v);
            box->setCurrentIndex(std::max(0, box->findData(c.value)));
            connect(box, &QComboBox::activated, &dialog,
                    [device, box, id = c.id](int i) { device->Set(id, box->itemData(i).toInt()); });
            form->addRow(c.name, box);
        } else {
            auto* slider = new QSlider(Qt::Horizontal, &dialog);
            slider->setRange(c.minimum, c.maximum);
            slider->setSingleStep(std::max(1, c.step));
            slider->setValue(c.value);
            connect(slider, &QSlider::valueChanged, &dialog,
                    [device, id = c.id](int v) { device->Set(id, v); });
            form->addRow(c.name, slider);
        }
    }
    execWithClose(dialog, form);
    m_sources.Reselect(true);
}

void TSourcesPanel::showSettingsMenu(bool video) {
    QMenu menu(m_dialogParent);
    FillSettingsMenu(menu, video);
    QToolButton* button = video ? m_frame.sbVideoSettings : m_frame.sbAudioSettings;
    menu.exec(button->mapToGlobal(QPoint(0, button->height())));
}
