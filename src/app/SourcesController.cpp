#include "SourcesController.h"

#include "RecordingController.h"
#include "Session.h"

#include "AlsaMixer.h"
#include "CaptureFormat.h"
#include "Dm.h"
#include "DvTransport.h"
#include "GstRef.h"
#include "Log.h"
#include "ParameterTable.h"
#include "Prompts.h"

#include <QDir>
#include <QLocale>
#include <QTimer>

void TChoiceList::add(const QString& text) {
    items << text;
    if (current < 0)
        current = 0;
}

// As a combo box does: the entries after the choice move up, and when the choice itself goes
// the entry that takes its place (or the last) is chosen.
void TChoiceList::removeAt(int index) {
    if (index < 0 || index >= items.size())
        return;
    items.removeAt(index);
    if (index < current)
        --current;
    else if (index == current)
        current = items.isEmpty() ? -1 : std::min(int(items.size()) - 1, current);
}

void TChoiceList::choose(int index) {
    current = index >= 0 && index < items.size() ? index : -1;
}

TSourcesController::TSourcesController(TSession& session, Tdm& dm,
                                       std::unique_ptr<IDeviceEnumerator> enumerator)
    : QObject(&session), m_session(session), m_dm(dm) {
    if (enumerator) {
        auto files = std::make_unique<TDvFileEnumerator>(std::move(enumerator));
        m_files = files.get();
        m_enumerator = std::move(files);
    }
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
}

TSourcesController::~TSourcesController() = default;

// ------------------------------------------------------------------ the panel's choices

// The user chose in the video list: the choice shows at once, the source changes once a part
// being finished has its end.
void TSourcesController::VideoChosen(const QString& text) {
    if (text == kDvFileEntry) {
        // The list shows the source in use until a file is chosen.
        m_panel.video.choose(m_panel.video.find(m_video ? m_video->Name : kNoVideo));
        emit panelChanged();
        AskDvFile();
        return;
    }
    m_panel.video.choose(m_panel.video.find(text));
    emit panelChanged();
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
}

void TSourcesController::AudioChosen(const QString& text) {
    m_panel.audio.choose(m_panel.audio.find(text));
    emit panelChanged();
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
}

void TSourcesController::FormatChosen(int index) {
    if (index < 0 || index >= m_panel.formats.size())
        return;
    m_panel.format = index;
    emit panelChanged();
    const uint8_t format = m_panel.formats[index];
    Change([this, format] { formatChosen(format); });
}

QString TSourcesController::formatText() const {
    return m_panel.format >= 0 && m_panel.format < m_panel.formats.size()
               ? CaptureFormatLabel(m_panel.formats[m_panel.format])
               : QString();
}

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

    auto fill = [](TChoiceList& list, const QStringList& names, const QString& none) {
        for (int i = int(list.items.size()) - 1; i >= 0; --i)
            if (!names.contains(list.items[i]))
                list.removeAt(i);
        for (const QString& name : names)
            if (list.find(name) < 0)
                list.add(name);
        list.add(none);
    };
    fill(m_panel.video, m_lists.VideoNames(), kNoVideo);
    if (m_files) {
        // Before "none", which ends every list.
        TChoiceList& video = m_panel.video;
        video.items.insert(video.items.size() - 1, kDvFileEntry);
        if (video.current == video.items.size() - 2)
            ++video.current;
    }
    fill(m_panel.audio, m_lists.AudioNames(), kNoAudio);
    emit panelChanged();
    emit sourcesRefreshed();
    return ok;
}

// ------------------------------------------------------------------ the DV file

void TSourcesController::AskDvFile() {
    const QString path = prompts().openFile(
        m_session.view().dialogParent(), QStringLiteral("Fichier DV"),
        QStringLiteral("Fichiers DV (*.dv *.dif *.avi *.DV *.DIF *.AVI);;Tous les fichiers (*)"));
    if (!path.isEmpty())
        ChooseDvFile(path);
}

bool TSourcesController::ChooseDvFile(const QString& path) {
    QString why = QStringLiteral("la source n'est pas disponible");
    if (!m_files || !m_files->SetFile(path, &why)) {
        prompts().warning(m_session.view().dialogParent(),
                          QStringLiteral("Le fichier DV « %1 » ne peut pas être lu : %2.")
                              .arg(QDir::toNativeSeparators(path), why));
        return false;
    }
    Prm.fichierDv->Value = path;
    if (m_files->deck()->frames().cutShort)
        prompts().information(m_session.view().dialogParent(),
                              QStringLiteral("Le fichier DV « %1 » est coupé avant sa fin : ses "
                                             "%2 images entières sont lues.")
                                  .arg(QDir::toNativeSeparators(path))
                                  .arg(m_files->deck()->frames().offsets.size()));
    const QString video = kDvFileDeviceName + QStringLiteral(" - Video");
    const QString audio = kDvFileDeviceName + QStringLiteral(" - Audio");
    Change(
        [this, video, audio] {
            // The file chosen before (its device) goes with the refresh.
            RefreshSources();
            refreshing = true;
            Prm.wantVideoSource->Value = video;
            Prm.wantAudioSource->Value = audio;
            SelectVideoSource(video);
            SelectAudioSource(audio);
            FillCaptureFormats(Prm.captureFormat->Value);
            refreshing = false;
            m_dm.RunGraph();
            if (onSourceChanged)
                onSourceChanged();
        },
        [this, video, audio] {
            const bool fromFile =
                (m_video && m_video->Device->Moniker.id.startsWith(kDvFileDeviceId)) ||
                (m_audio && m_audio->Device->Moniker.id.startsWith(kDvFileDeviceId));
            return fromFile || videoChangeStops(video) || audioChangeStops(audio);
        });
    return true;
}

void TSourcesController::RestoreDvFile() {
    const QString path = Prm.fichierDv->Value;
    if (path.isEmpty() || !m_files)
        return;
    QString why;
    if (m_files->SetFile(path, &why))
        return;
    prompts().warning(m_session.view().dialogParent(),
                      QStringLiteral("Le fichier DV « %1 » ne peut pas être lu : %2. La source "
                                     "« %3 » n'est pas choisie.")
                          .arg(QDir::toNativeSeparators(path), why, kDvFileDeviceName));
    Prm.fichierDv->Value.clear();
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
    const QString chosen = m_panel.audio.items.value(std::max(0, m_panel.audio.find(name)));
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
    const QString video = m_panel.video.currentText();
    const QString audio = m_panel.audio.currentText();
    const uint8_t format = CaptureFormatFromLabel(formatText());
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
void TSourcesController::bindTransport(TavFlux& source, const TavFlux* other, bool& pilot) {
    if (!m_session.view().bindTransport(source, other)) {
        IDvTransport* t = source.Device->Transport();
        source.HasTransport = t != nullptr;
        source.IsVcr = t && t->isVcr();
        source.IsCamera = t && t->isCamera();
    }
    pilot = source.HasTransport && source.IsVcr;
    emit panelChanged();
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
    bindTransport(*source, m_audio, m_panel.videoPilot);
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
    m_panel.videoPilot = false;
    emit panelChanged();
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
    bindTransport(*source, m_video, m_panel.audioPilot);
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
    m_panel.audioPilot = false;
    emit panelChanged();
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
    TChoiceList& list = m_panel.video;
    if (!m_video && name == kNoVideo) {
        list.choose(std::max(0, list.find(Prm.sourceVideo->Value)));
        emit panelChanged();
        return;
    }
    if (stopRecording)
        stopRecording(!m_handlingFailure);
    if (m_dm.endingPart()) {
        // The recording's file gets its end before its source changes.
        m_dm.WhenIdle(this, [this, name] { SelectVideoSource(name); });
        return;
    }
    const QString chosen = list.items.value(std::max(0, list.find(name)));
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
        m_panel.videoLabel.clear();
        Prm.sourceVideo->Value = kNoVideo;
        m_session.view().showNoVideo();
    }
    list.choose(std::max(0, list.find(Prm.sourceVideo->Value)));
    emit panelChanged();
    if (!refreshing) {
        m_dm.RunGraph();
        if (onSourceChanged)
            onSourceChanged();
    }
}

void TSourcesController::SelectAudioSource(const QString& name) {
    TChoiceList& list = m_panel.audio;
    const int item = std::max(0, list.find(name));
    const QString chosen = list.items.value(item);
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
    list.choose(item);
    emit panelChanged();
    if (!(m_audio && m_audio->Name == chosen)) {
        if (chosen == kNoAudio || m_lists.audio.empty()) {
            DisconnectAudio(m_audio, true);
            m_panel.audioLabel.clear();
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
    m_panel.formatsShown = m_video || m_audio;
    emit panelChanged();
    if (!refreshing) {
        m_dm.RunGraph();
        if (onSourceChanged)
            onSourceChanged();
    }
}

void TSourcesController::fillEntries() {
    // The input lines of a sound card, from its mixer; other sources hide the list.
    TChoiceList& list = m_panel.entries;
    list.clear();
    const QString card = audioCard();
    std::unique_ptr<IAlsaMixer> mixer = card.isEmpty() ? nullptr : openMixer(card);
    if (mixer) {
        for (const QString& input : mixer->CaptureInputs())
            list.add(input.left(128));
        const QString active = mixer->ActiveCaptureInput();
        if (!active.isEmpty())
            Prm.soundCardEntry->Value = active;
        list.choose(std::max(0, list.find(Prm.soundCardEntry->Value)));
    }
    m_panel.entriesShown = !list.items.isEmpty();
    emit panelChanged();
}

QString TSourcesController::audioCard() const {
    if (!m_audio || m_audio->Device->Kind != dkAudio)
        return {};
    return m_audio->Device->Moniker.alsaCard;
}

// The card records from the chosen line, and from no other where it can only take one.
void TSourcesController::EntryChosen(const QString& entry) {
    m_panel.entries.choose(std::max(0, m_panel.entries.find(entry)));
    emit panelChanged();
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
        m_panel.videoLabel.clear();
        emit panelChanged();
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
        m_panel.videoLabel = QStringLiteral("...");
        emit panelChanged();
        return;
    }
    QString text = QStringLiteral("%1 - %2x%3").arg(f.compression).arg(f.width).arg(f.height);
    if (f.frameTime > 0)
        text += QStringLiteral(" - %1 fps").arg(QLocale().toString(f.frameRate(), 'f', 2));
    m_panel.videoLabel = text;
    emit panelChanged();
    m_session.view().applyAspectRatio();
}

void TSourcesController::updateAudioLabel() {
    if (m_audio) {
        const TAudioFormatLabel f = m_dm.audioFormat();
        m_panel.audioLabel =
            QStringLiteral("%1 Hz %2 bits %3 canaux").arg(f.rate).arg(f.bits).arg(f.channels);
    } else {
        m_panel.audioLabel.clear();
    }
    emit panelChanged();
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
    m_panel.formats = formats;
    m_panel.format = formats.isEmpty() ? -1 : std::max(0, int(formats.indexOf(wanted)));
    m_panel.formatsShown = !formats.isEmpty();
    Prm.captureFormat->Value = formats.isEmpty() ? wanted : formats[m_panel.format];
    applyFormatVisibility(Prm.captureFormat->Value);
    if (onFormatChanged)
        onFormatChanged();
}

void TSourcesController::applyFormatVisibility(uint8_t format) {
    // The list the format does not record from is greyed.
    const bool frameByFrame = RecordsImageByImage(format);
    m_panel.framerateShown = frameByFrame;
    m_panel.audioGreyed = frameByFrame;
    m_panel.videoGreyed = RecordsSoundOnly(format);
    emit panelChanged();
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

// ------------------------------------------------------------------ settings

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

// After a settings page: the source of that kind is connected again as chosen, the formats
// refilled and the graph run once.
void TSourcesController::Reselect(bool video) {
    Change([this, video] {
        refreshing = true;
        if (video) {
            const QString name = m_panel.video.currentText();
            DisconnectVideo(m_video, false);
            SelectVideoSource(name);
        } else {
            const QString name = m_panel.audio.currentText();
            DisconnectAudio(m_audio, false);
            SelectAudioSource(name);
        }
        FillCaptureFormats(Prm.captureFormat->Value);
        refreshing = false;
        m_dm.RunGraph();
    });
}
