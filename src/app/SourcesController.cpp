#include "SourcesController.h"

#include "RecordingController.h"
#include "Session.h"

#include "InputsMenu.h"

#include "AlsaMixer.h"
#include "CaptureFormat.h"
#include "Dm.h"
#include "DvTransport.h"
#include "GstRef.h"
#include "Log.h"
#include "ParameterTable.h"
#include "Prompts.h"
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
#include <QMenu>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
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
} // namespace

TSourcesController::TSourcesController(TSession& session, Tdm& dm, TSourcesFrame& frame,
                                       std::unique_ptr<IDeviceEnumerator> enumerator)
    : QObject(&session), m_session(session), m_dm(dm), m_frame(frame),
      m_enumerator(std::move(enumerator)) {
    m_deviceChange = new QTimer(this);
    m_deviceChange->setSingleShot(true);
    m_deviceChange->setInterval(300);
    connect(m_deviceChange, &QTimer::timeout, this, &TSourcesController::devicesChanged);
    if (m_enumerator)
        m_enumerator->onDevicesChanged = [this] { m_deviceChange->start(); };
    m_videoDevices.SetPlugins(&m_plugins);
    m_audioDevices.SetPlugins(&m_plugins);

    connect(&m_dm, &Tdm::sourceError, this, &TSourcesController::sourceError);
    m_dm.SetSourceCheck(this, [this](GstElement* element) {
        return (m_video && belongsTo(element, m_video->Device)) ||
               (m_audio && belongsTo(element, m_audio->Device));
    });
    connect(&m_dm, &Tdm::videoFormatChanged, this, &TSourcesController::updateVideoLabel);
    connect(&m_dm, &Tdm::audioFormatChanged, this, &TSourcesController::updateAudioLabel);
    connect(&m_dm, &Tdm::wideScreenChanged, this, [this](bool wide) {
        // Taken only when the picture comes from a DV scene detector.
        if (!m_video || m_video->SceneDetector())
            m_session.setDetectedWide(wide);
    });

    connect(m_frame.cboxvideo, &QComboBox::activated, this, [this](int) {
        const QString text = m_frame.cboxvideo->currentText();
        Change(
            [this, text] {
                Prm.wantVideoSource->Value = text;
                SelectVideoSource(text);
                uint8_t format = Prm.captureFormat->Value;
                if (Prm.previewLocked->Value && m_video && RecordsSoundOnly(format))
                    format = cfNone;
                FillCaptureFormats(format);
            },
            [this, text] { return videoChangeStops(text); });
    });
    connect(m_frame.cboxAudio, &QComboBox::activated, this, [this](int) {
        const QString text = m_frame.cboxAudio->currentText();
        Change(
            [this, text] {
                Prm.wantAudioSource->Value = text;
                SelectAudioSource(text);
                uint8_t format = Prm.captureFormat->Value;
                if (Prm.previewLocked->Value && m_audio && RecordsImageByImage(format))
                    format = cfNone;
                FillCaptureFormats(format);
            },
            [this, text] { return audioChangeStops(text); });
    });
    connect(m_frame.cbFormatCapture, &QComboBox::activated, this, [this](int index) {
        const uint8_t format = uint8_t(m_frame.cbFormatCapture->itemData(index).toInt());
        Change([this, format] { formatChosen(format); });
    });
    connect(m_frame.cbEntries, &QComboBox::activated, this,
            [this](int) { entryChosen(m_frame.cbEntries->currentText()); });
    connect(m_frame.ActualiserVideoSpeedBtn, &QToolButton::clicked, this,
            &TSourcesController::ReselectSources);
    connect(m_frame.sbVideoSettings, &QToolButton::clicked, this,
            [this] { showSettingsMenu(true); });
    connect(m_frame.sbAudioSettings, &QToolButton::clicked, this,
            [this] { showSettingsMenu(false); });
}

TSourcesController::~TSourcesController() = default;

// ------------------------------------------------------------------ lists

bool TSourcesController::RefreshSources() {
    if (!m_enumerator)
        return false;
    const auto onRemoved = [this](TCaptureDevice* device) { deviceRemoved(device); };
    bool ok = m_videoDevices.Refresh(*m_enumerator, onRemoved);
    ok = m_audioDevices.Refresh(*m_enumerator, onRemoved) && ok;

    // Sources are made anew; the current ones carry over to their new objects.
    TSourceLists fresh;
    fresh.Rebuild(m_videoDevices, m_audioDevices, m_session.exclusionList, m_exclusions);
    auto carry = [](auto* current, const auto& list) -> decltype(current) {
        if (!current)
            return nullptr;
        for (const auto& s : list)
            if (s->Device == current->Device && s->StreamNumber == current->StreamNumber) {
                s->Connected = current->Connected;
                s->HasTransport = current->HasTransport;
                s->CameraWindow = current->CameraWindow;
                s->StreamKind = current->StreamKind;
                return s.get();
            }
        return nullptr;
    };
    m_video = carry(m_video, fresh.video);
    m_audio = carry(m_audio, fresh.audio);
    m_lists = std::move(fresh);

    auto fillCombo = [](QComboBox* combo, const QStringList& names, const QString& none) {
        for (int i = combo->count() - 1; i >= 0; --i)
            if (!names.contains(combo->itemText(i)))
                combo->removeItem(i);
        for (const QString& name : names)
            if (combo->findText(name, Qt::MatchExactly) < 0)
                combo->addItem(name);
        combo->addItem(none);
    };
    fillCombo(m_frame.cboxvideo, m_lists.VideoNames(), kNoVideo);
    fillCombo(m_frame.cboxAudio, m_lists.AudioNames(), kNoAudio);
    emit sourcesRefreshed();
    return ok;
}

void TSourcesController::ScanPlugins(const QString& folder) {
    const auto onRemoved = [this](TCaptureDevice* device) { deviceRemoved(device); };
    // The sources point at the devices: they go first.
    TSourceLists none;
    m_videoDevices.Clear(onRemoved);
    m_audioDevices.Clear(onRemoved);
    none.Rebuild(m_videoDevices, m_audioDevices, m_session.exclusionList, m_exclusions);
    m_video = nullptr;
    m_audio = nullptr;
    m_lists = std::move(none);
    m_plugins.Discover(folder);
}

void TSourcesController::deviceRemoved(TCaptureDevice* device) {
    const bool current =
        (m_video && m_video->Device == device) || (m_audio && m_audio->Device == device);
    if (current && stopRecording)
        stopRecording(false); // the recording is finalised before its source goes
    if (m_video && m_video->Device == device)
        DisconnectVideo(m_video, true);
    if (m_audio && m_audio->Device == device)
        DisconnectAudio(m_audio, true);
}

void TSourcesController::exclude(const QString& deviceName) {
    if (!deviceName.isEmpty() && !m_session.exclusionList.contains(deviceName))
        m_session.exclusionList << deviceName;
}

void TSourcesController::Change(std::function<void()> change, std::function<bool()> stops) {
    m_dm.WhenIdle(this, [this, change = std::move(change), stops = std::move(stops)] {
        if (stops && stopRecording && recording() && stops())
            stopRecording(!m_handlingFailure); // its file gets its end before anything changes
        m_dm.WhenIdle(this, change);
    });
}

bool TSourcesController::recording() const {
    return m_session.recorder() && m_session.recorder()->machine().recording();
}

bool TSourcesController::videoChangeStops(const QString& name) const {
    if (m_video && m_video->Name == name)
        return false;
    return m_video || name != kNoVideo;
}

bool TSourcesController::audioChangeStops(const QString& name) const {
    const QComboBox* combo = m_frame.cboxAudio;
    const QString chosen = combo->itemText(std::max(0, combo->findText(name, Qt::MatchExactly)));
    return m_audio ? m_audio->Name != chosen : chosen != kNoAudio;
}

// Whether a current source's device is no longer among those the system lists (a refresh
// would take it out from under the recording).
bool TSourcesController::currentDeviceGone() const {
    if (!m_enumerator)
        return false;
    for (const TavFlux* flux :
         {static_cast<const TavFlux*>(m_video), static_cast<const TavFlux*>(m_audio)}) {
        if (!flux || !flux->Device)
            continue;
        const TDeviceCategory category =
            flux == m_video ? TDeviceCategory::Video : TDeviceCategory::Audio;
        bool found = false;
        for (const TDeviceDescriptor& d : m_enumerator->enumerate(category))
            found = found || d.id == flux->Device->Moniker.id;
        if (!found)
            return true;
    }
    return false;
}

void TSourcesController::ReselectSources() {
    Change([this] { reselectAll(); }, [this] { return currentDeviceGone(); });
}

void TSourcesController::reselectAll() {
    const QString video = m_frame.cboxvideo->currentText();
    const QString audio = m_frame.cboxAudio->currentText();
    const uint8_t format = CaptureFormatFromLabel(m_frame.cbFormatCapture->currentText());
    RefreshSources();
    refreshing = true;
    SelectVideoSource(video);
    SelectAudioSource(audio);
    FillCaptureFormats(format);
    refreshing = false;
    m_dm.RunGraph();
}

void TSourcesController::devicesChanged() {
    if (!startupDone || !Prm.notifier || !Prm.notifier->Value)
        return;
    ReselectSources();
}

bool TSourcesController::belongsTo(GstElement* element, TCaptureDevice* device) {
    if (!device || !device->SourceFilter || !element)
        return false;
    return element == device->SourceFilter ||
           gst_object_has_as_ancestor(GST_OBJECT(element), GST_OBJECT(device->SourceFilter));
}

// A source that fails is excluded for the run and the lists are refreshed, silently.
void TSourcesController::sourceError(GstElement* element, const QString& message) {
    TCaptureDevice* failed = nullptr;
    if (m_video && belongsTo(element, m_video->Device))
        failed = m_video->Device;
    else if (m_audio && belongsTo(element, m_audio->Device))
        failed = m_audio->Device;
    if (!failed)
        return;
    qCWarning(lcVidorra) << "source" << failed->FriendlyName << "failed:" << message;
    if (!m_failedSources.contains(failed->FriendlyName))
        m_failedSources << failed->FriendlyName;
    // The recording ends first and its file gets its end: pulling a source out under the
    // file being finished would leave it without one. The failing source's next messages
    // (and those of another source) that come in meanwhile are only noted.
    if (m_handlingFailure)
        return;
    m_handlingFailure = true;
    Change([this] { handleFailedSources(); }, [] { return true; });
}

void TSourcesController::handleFailedSources() {
    while (!m_failedSources.isEmpty()) {
        const QStringList names = std::exchange(m_failedSources, {});
        for (const QString& name : names) {
            exclude(name);
            if (m_video && m_video->Device->FriendlyName == name)
                DisconnectVideo(m_video, true);
            if (m_audio && m_audio->Device->FriendlyName == name)
                DisconnectAudio(m_audio, true);
        }
        reselectAll();
    }
    m_handlingFailure = false;
}

// ------------------------------------------------------------------ connections

// A DV source's transport: its window (shared with the other source of the same device), the
// device type, and the pilot button of a deck.
void TSourcesController::bindTransport(TavFlux& source, const TavFlux* other, QWidget* pilot) {
    if (!m_session.view().bindTransport(source, other)) {
        IDvTransport* t = source.Device->Transport();
        source.HasTransport = t != nullptr;
        source.IsVcr = t && t->isVcr();
        source.IsCamera = t && t->isCamera();
    }
    pilot->setVisible(source.HasTransport && source.IsVcr);
}

void TSourcesController::releaseTransport(TavFlux& source) {
    m_session.view().releaseTransport(source);
    source.HasTransport = false;
    source.CameraWindow = nullptr;
}

bool TSourcesController::ConnectVideo(TVideoSource* source) {
    m_dm.StopGraph();
    if (m_video)
        DisconnectVideo(m_video, true);
    TCaptureDevice* device = source->Device;
    device->SourceFilter = device->SetSourceGraph(m_dm);
    if (!device->SourceFilter || !device->SetVideoGraph(m_dm, source->StreamNumber))
        return false;
    if (!m_dm.videoOutputPad || !m_dm.BuildPreviewVideoChain(source->SceneDetector())) {
        device->KillVideoGraph(m_dm);
        return false;
    }
    bindTransport(*source, m_audio, m_frame.sbVideoPilotVCR);
    // A capture card's inputs: the one chosen last is routed again (-1: none chosen).
    const QString node = device->Kind == dkVideo ? device->Moniker.v4l2Path : QString();
    m_crossbar = node.isEmpty() || !openInputs ? nullptr : TCrossbar::Create(openInputs(node));
    if (m_crossbar && m_crossbar->InputCount() == 0)
        m_crossbar.reset();
    if (m_crossbar && Prm.videoInputSelect->Value >= 0)
        m_crossbar->SelectInput(Prm.videoInputSelect->Value);
    source->StreamKind = device->Kind == dkDV ? 5 : 1;
    source->Connected = true;
    m_video = source;
    return true;
}

void TSourcesController::DisconnectVideo(TVideoSource* source, bool full) {
    if (!source || !source->Connected)
        return;
    source->Connected = false;
    m_dm.StopGraph();
    m_session.view().showNoVideo();
    m_dm.RemovePreviewVideoChain();
    source->Device->KillVideoGraph(m_dm);
    m_frame.sbVideoPilotVCR->hide();
    m_crossbar.reset();
    if (full && !(m_audio && m_audio->Device == source->Device)) {
        releaseTransport(*source);
        source->Device->KillSourceGraph(m_dm);
        source->Device->SourceFilter = nullptr;
    }
    if (m_video == source)
        m_video = nullptr;
}

bool TSourcesController::ConnectAudio(TAudioSource* source) {
    m_dm.StopGraph();
    if (m_audio && m_audio->Connected)
        DisconnectAudio(m_audio, true);
    TCaptureDevice* device = source->Device;
    device->SourceFilter = device->SetSourceGraph(m_dm);
    if (!device->SourceFilter || !device->SetAudioGraph(m_dm, source->StreamNumber) ||
        !m_dm.audioPin)
        return false;
    if (!m_dm.BuildPreviewAudioChain()) {
        device->KillAudioGraph(m_dm);
        return false;
    }
    bindTransport(*source, m_video, m_frame.sbAudioPilotVCR);
    source->StreamKind = device->Kind == dkDV ? 4 : device->Kind == dkVideo ? 2 : 3;
    source->Connected = true;
    m_audio = source;
    return true;
}

void TSourcesController::DisconnectAudio(TAudioSource* source, bool full) {
    if (!source || !source->Connected)
        return;
    source->Connected = false;
    m_dm.StopGraph();
    m_dm.RemovePreviewAudioChain();
    source->Device->KillAudioGraph(m_dm);
    m_frame.sbAudioPilotVCR->hide();
    if (full && !(m_video && m_video->Device == source->Device)) {
        releaseTransport(*source);
        source->Device->KillSourceGraph(m_dm);
        source->Device->SourceFilter = nullptr;
    }
    if (m_audio == source)
        m_audio = nullptr;
}

void TSourcesController::DisconnectAll() {
    DisconnectVideo(m_video, true);
    DisconnectAudio(m_audio, true);
}

// ------------------------------------------------------------------ selections

void TSourcesController::SelectVideoSource(const QString& name) {
    if (m_video && m_video->Name == name)
        return;
    QComboBox* combo = m_frame.cboxvideo;
    if (!m_video && name == kNoVideo) {
        combo->setCurrentIndex(std::max(0, combo->findText(Prm.sourceVideo->Value)));
        return;
    }
    if (stopRecording)
        stopRecording(!m_handlingFailure);
    if (m_dm.endingPart()) {
        // The recording's file gets its end before its source changes.
        m_dm.WhenIdle(this, [this, name] { SelectVideoSource(name); });
        return;
    }
    int item = combo->findText(name, Qt::MatchExactly);
    if (item < 0)
        item = 0;
    const QString chosen = combo->itemText(item);
    TVideoSource* source = nullptr;
    if (chosen != kNoVideo && !m_lists.video.empty()) {
        source = m_lists.FindVideo(chosen);
        if (!source)
            source = m_lists.video.front().get();
    }
    if (source && !ConnectVideo(source)) {
        exclude(source->Device->FriendlyName);
        RefreshSources();
        source = nullptr;
    }
    if (source) {
        updateVideoLabel();
        Prm.sourceVideo->Value = source->Name;
        m_session.view().showVideo();
    } else {
        DisconnectVideo(m_video, true);
        m_frame.LabVideo->clear();
        Prm.sourceVideo->Value = kNoVideo;
        m_session.view().showNoVideo();
    }
    combo->setCurrentIndex(std::max(0, combo->findText(Prm.sourceVideo->Value)));
    if (!refreshing) {
        m_dm.RunGraph();
        if (onSourceChanged)
            onSourceChanged();
    }
}

void TSourcesController::SelectAudioSource(const QString& name) {
    QComboBox* combo = m_frame.cboxAudio;
    int item = combo->findText(name, Qt::MatchExactly);
    if (item < 0)
        item = 0;
    const QString chosen = combo->itemText(item);
    const bool same = m_audio ? m_audio->Name == chosen : chosen == kNoAudio;
    // Stopping the pipeline under a recording would cut its file off without an end (and
    // starting it again would write that file anew): the source that stays leaves the
    // pipeline alone, and a recording ends properly before its sound source changes.
    if (!same) {
        if (stopRecording)
            stopRecording(!m_handlingFailure);
        if (m_dm.endingPart()) {
            m_dm.WhenIdle(this, [this, name] { SelectAudioSource(name); });
            return;
        }
        m_dm.StopGraph();
    }
    combo->setCurrentIndex(item);
    if (!(m_audio && m_audio->Name == chosen)) {
        if (chosen == kNoAudio || m_lists.audio.empty()) {
            DisconnectAudio(m_audio, true);
            m_frame.LabAudio->clear();
            Prm.sourceAudio->Value = kNoAudio;
        } else {
            TAudioSource* source = m_lists.FindAudio(chosen);
            if (!source)
                source = m_lists.audio.front().get();
            if (ConnectAudio(source)) {
                Prm.sourceAudio->Value = source->Name;
                updateAudioLabel();
            } else {
                exclude(source->Device->FriendlyName);
                RefreshSources();
                Prm.sourceAudio->Value = kNoAudio;
            }
        }
    }
    fillEntries();
    m_frame.gbFormatCapture->setVisible(m_video || m_audio);
    if (!refreshing) {
        m_dm.RunGraph();
        if (onSourceChanged)
            onSourceChanged();
    }
}

void TSourcesController::fillEntries() {
    // The input lines of a sound card, from its mixer; other sources hide the list.
    QComboBox* combo = m_frame.cbEntries;
    combo->clear();
    const QString card = audioCard();
    std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : openMixer(card);
    if (mixer) {
        for (const QString& input : mixer->CaptureInputs())
            combo->addItem(input.left(128));
        const QString active = mixer->ActiveCaptureInput();
        if (!active.isEmpty())
            Prm.soundCardEntry->Value = active;
        combo->setCurrentIndex(std::max(0, combo->findText(Prm.soundCardEntry->Value)));
    }
    combo->setVisible(combo->count() > 0);
}

QString TSourcesController::audioCard() const {
    if (!m_audio || m_audio->Device->Kind != dkAudio)
        return {};
    return m_audio->Device->Moniker.alsaCard;
}

// The card records from the chosen line, and from no other where it can only take one.
void TSourcesController::entryChosen(const QString& entry) {
    Prm.soundCardEntry->Value = entry;
    const QString card = audioCard();
    std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : openMixer(card);
    if (!mixer)
        return;
    if (!mixer->EnableCaptureInput(entry))
        prompts().warning(m_session.view().dialogParent(),
                          QStringLiteral("La carte son n'a pas accepté l'entrée "
                                         "« %1 » : l'enregistrement garde l'entrée "
                                         "« %2 ».")
                              .arg(entry, mixer->ActiveCaptureInput()));
}

void TSourcesController::updateVideoLabel() {
    if (!m_video) {
        m_frame.LabVideo->clear();
        return;
    }
    const TVideoFormatLabel f = m_dm.videoFormat();
    // What the stream turned out to be decides its native recording formats.
    TCaptureDevice* device = m_video->Device;
    if (device->Kind == dkVideo) {
        uint8_t native = cfAviNative;
        m_video->StreamKind = 1;
        if (f.compression == QLatin1String("MPEG2")) {
            native = cfMpeg2Native;
            m_video->StreamKind = 4;
        } else if (f.compression == QLatin1String("MPEG1")) {
            native = cfMpeg1Native;
            m_video->StreamKind = 3;
        }
        if (device->NativeFormat1 != native || device->NativeFormat2 != 0) {
            device->NativeFormat1 = native;
            device->NativeFormat2 = 0;
            FillCaptureFormats(Prm.captureFormat->Value);
        }
    }
    if (f.width <= 0) {
        m_frame.LabVideo->setText(QStringLiteral("..."));
        return;
    }
    QString text = QStringLiteral("%1 - %2x%3").arg(f.compression).arg(f.width).arg(f.height);
    if (f.frameTime > 0)
        text += QStringLiteral(" - %1 fps").arg(QLocale().toString(f.frameRate(), 'f', 2));
    m_frame.LabVideo->setText(text);
    m_session.view().applyAspectRatio();
}

void TSourcesController::updateAudioLabel() {
    if (!m_audio) {
        m_frame.LabAudio->clear();
        return;
    }
    const TAudioFormatLabel f = m_dm.audioFormat();
    m_frame.LabAudio->setText(
        QStringLiteral("%1 Hz %2 bits %3 canaux").arg(f.rate).arg(f.bits).arg(f.channels));
}

// ------------------------------------------------------------------ capture formats

void TSourcesController::FillCaptureFormats(uint8_t wanted) {
    QList<uint8_t> formats;
    if (m_video) {
        // The device's own streams first (the first of them with its sound only).
        TCaptureDevice* device = m_video->Device;
        if (device->NativeFormat1 && m_audio)
            formats << device->NativeFormat1;
        if (device->NativeFormat2)
            formats << device->NativeFormat2;
    }
    for (const TCaptureFormat* format : CaptureFormatList()) {
        const bool offered =
            (format->offer == TFormatOffer::WithVideo && m_video) ||
            (format->offer == TFormatOffer::WithAudio && m_audio) ||
            (format->offer == TFormatOffer::WithAudioMp3 && m_audio && mp3EncoderFound);
        if (offered)
            formats << format->value;
    }
    QComboBox* combo = m_frame.cbFormatCapture;
    combo->clear();
    for (uint8_t f : formats)
        combo->addItem(CaptureFormatLabel(f), int(f));
    const int item = std::max(0, combo->findData(int(wanted)));
    combo->setCurrentIndex(item);
    m_frame.gbFormatCapture->setVisible(!formats.isEmpty());
    Prm.captureFormat->Value = formats.isEmpty() ? wanted : uint8_t(combo->itemData(item).toInt());
    applyFormatVisibility(Prm.captureFormat->Value);
    if (onFormatChanged)
        onFormatChanged();
}

void TSourcesController::applyFormatVisibility(uint8_t format) {
    const bool frameByFrame = RecordsImageByImage(format);
    m_frame.leFramerate->setVisible(frameByFrame);
    m_frame.lblFramerate->setVisible(frameByFrame);
    const QPalette normal = m_frame.palette();
    QPalette grey = normal;
    grey.setColor(QPalette::ButtonText, normal.color(QPalette::Disabled, QPalette::ButtonText));
    grey.setColor(QPalette::Text, normal.color(QPalette::Disabled, QPalette::Text));
    m_frame.cboxAudio->setPalette(frameByFrame ? grey : normal);
    m_frame.cboxvideo->setPalette(RecordsSoundOnly(format) ? grey : normal);
}

void TSourcesController::formatChosen(uint8_t format) {
    if (format == Prm.captureFormat->Value)
        return;
    Prm.captureFormat->Value = format;
    Prm.wantFormatCapture->Value = CaptureFormatLabel(format);
    applyFormatVisibility(format);
    if (onFormatChanged)
        onFormatChanged();
}

// ------------------------------------------------------------------ settings menus

void TSourcesController::fillSettingsMenu(QMenu& menu, bool video) {
    menu.clear();
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
    if (video && m_crossbar) {
        menu.addAction(QStringLiteral("Crossbar Vidéo..."), this, [this] {
            const int chosen =
                inputs::ShowCrossbarDialog(m_session.view().dialogParent(), *m_crossbar);
            if (chosen >= 0)
                Prm.videoInputSelect->Value = chosen;
        });
        if (const TV4l2Input* tuner = m_crossbar->tunerInput();
            tuner && m_crossbar->device()->Tuner(tuner->tunerIndex)) {
            const unsigned index = tuner->tunerIndex;
            menu.addAction(QStringLiteral("Tuner TV..."), this, [this, index] {
                inputs::ShowTunerDialog(m_session.view().dialogParent(), *m_crossbar->device(),
                                        index);
            });
            menu.addAction(QStringLiteral("TV Audio..."), this, [this, index] {
                inputs::ShowTvAudioDialog(m_session.view().dialogParent(), *m_crossbar->device(),
                                          index);
            });
        }
        if (!inputs::AddInputsMenu(menu, *m_crossbar, Prm.videoInputSelect->Value, [this](int k) {
                Prm.videoInputSelect->Value = k;
                m_crossbar->SelectInput(k);
            }))
            prompts().error(m_session.view().dialogParent(),
                            QStringLiteral("Assertion failure (AVgraph, line 1124)"));
    }
    if (!video && m_audio) {
        const QString card = audioCard();
        std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : openMixer(card);
        if (mixer && (!mixer->CaptureLevels().empty() || !mixer->CaptureInputs().isEmpty()))
            menu.addAction(QStringLiteral("Filtre de Capture Audio..."), this,
                           [this] { showMixerDialog(); });
        if (AudioFormatChoices().size() > 1)
            menu.addAction(QStringLiteral("Broche de Capture Audio..."), this,
                           [this] { chooseAudioFormat(); });
    }
    if (menu.isEmpty()) {
        QAction* none = menu.addAction(QStringLiteral("[aucune page de réglages]"));
        none->setEnabled(false);
    }
}

// The formats the device offers (size, rate, pixel format), one of which it then delivers.
void TSourcesController::chooseVideoFormat() {
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
        QInputDialog::getItem(m_session.view().dialogParent(), QStringLiteral("Format Vidéo"),
                              QStringLiteral("Format de la source :"), labels, current, false, &ok);
    if (!ok)
        return;
    device->ChosenFormat = capsTexts.value(labels.indexOf(chosen));
    reselect(true);
}

QList<QPair<QString, QString>> TSourcesController::AudioFormatChoices() const {
    QList<QPair<QString, QString>> choices;
    const GstCaps* offered = m_audio ? m_audio->Device->Moniker.caps : nullptr;
    if (!offered || gst_caps_is_empty(offered))
        return choices;
    static const int kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
    static const struct {
        const char* format;
        int bits;
    } kSizes[] = {{"S16LE", 16}, {"S24LE", 24}, {"S32LE", 32}};
    for (const auto& size : kSizes)
        for (int channels : {1, 2})
            for (int rate : kRates) {
                const QString text = QStringLiteral("audio/x-raw, format=(string)%1, rate=(int)%2, "
                                                    "channels=(int)%3, layout=(string)interleaved")
                                         .arg(QLatin1String(size.format))
                                         .arg(rate)
                                         .arg(channels);
                const TGstRef<GstCaps> caps(gst_caps_from_string(text.toUtf8().constData()));
                if (caps && gst_caps_can_intersect(caps.get(), offered))
                    choices.append({QStringLiteral("%1 Hz %2 bits %3 canaux")
                                        .arg(rate)
                                        .arg(size.bits)
                                        .arg(channels),
                                    text});
            }
    return choices;
}

// The rate, sample size and channels the sound source records with.
void TSourcesController::chooseAudioFormat() {
    TCaptureDevice* device = m_audio ? m_audio->Device : nullptr;
    const QList<QPair<QString, QString>> choices = AudioFormatChoices();
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
        m_session.view().dialogParent(), QStringLiteral("Broche de Capture Audio"),
        QStringLiteral("Format de l'enregistrement :"), labels, current, false, &ok);
    if (!ok)
        return;
    device->ChosenFormat = choices.value(int(labels.indexOf(chosen))).second;
    reselect(false);
}

// The card's recording levels and inputs, applied as they are moved.
void TSourcesController::showMixerDialog() {
    const QString card = audioCard();
    std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : openMixer(card);
    if (!mixer)
        return;
    QDialog dialog(m_session.view().dialogParent());
    dialog.setWindowTitle(QStringLiteral("Filtre de Capture Audio"));
    auto* form = new QFormLayout;
    IAlsaMixer* device = mixer.get();
    const QStringList inputs = device->CaptureInputs();
    if (!inputs.isEmpty()) {
        auto* box = new QComboBox(&dialog);
        box->addItems(inputs);
        box->setCurrentIndex(std::max(0, int(inputs.indexOf(device->ActiveCaptureInput()))));
        connect(box, &QComboBox::activated, &dialog, [this, box](int) {
            entryChosen(box->currentText());
            m_frame.cbEntries->setCurrentIndex(
                std::max(0, m_frame.cbEntries->findText(box->currentText())));
        });
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
    reselect(false);
}

// After a settings page: the source of that kind is connected again as chosen, the formats
// refilled and the graph run once.
void TSourcesController::reselect(bool video) {
    Change([this, video] {
        refreshing = true;
        if (video) {
            const QString name = m_frame.cboxvideo->currentText();
            DisconnectVideo(m_video, false);
            SelectVideoSource(name);
        } else {
            const QString name = m_frame.cboxAudio->currentText();
            DisconnectAudio(m_audio, false);
            SelectAudioSource(name);
        }
        FillCaptureFormats(Prm.captureFormat->Value);
        refreshing = false;
        m_dm.RunGraph();
    });
}

// The device's controls (brightness, contrast ...), applied as they are moved; the source
// is selected again afterwards.
void TSourcesController::showControlsDialog(const QString& path) {
    std::unique_ptr<IV4l2Controls> controls = OpenV4l2Controls(path);
    if (!controls)
        return;
    QDialog dialog(m_session.view().dialogParent());
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
    reselect(true);
}

void TSourcesController::showSettingsMenu(bool video) {
    QMenu menu(m_session.view().dialogParent());
    fillSettingsMenu(menu, video);
    QToolButton* button = video ? m_frame.sbVideoSettings : m_frame.sbAudioSettings;
    menu.exec(button->mapToGlobal(QPoint(0, button->height())));
}
