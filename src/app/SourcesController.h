#pragma once

#include "AlsaMixer.h"
#include "CaptureDevice.h"
#include "Crossbar.h"
#include "DvFile.h"
#include "PlugIns.h"
#include "Sources.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <functional>
#include <memory>

class QTimer;
class TSession;
class Tdm;

// One list of the sources panel and the entry chosen in it (-1: none).
struct TChoiceList {
    QStringList items;
    int current = -1;
    QString currentText() const { return items.value(current); }
    int find(const QString& text) const { return int(items.indexOf(text)); }
    void add(const QString& text); // the first entry of an empty list is chosen
    void removeAt(int index);
    void choose(int index);
    void clear() {
        items.clear();
        current = -1;
    }
};

// What the sources panel shows, as the sources controller decides it.
struct TSourcesPanelState {
    TChoiceList video, audio;
    TChoiceList entries; // the sound card's input lines
    QList<uint8_t> formats;
    int format = -1;                             // the one chosen, in formats
    QString videoLabel, audioLabel;              // what the streams turned out to be
    bool videoPilot = false, audioPilot = false; // a deck's pilot button beside its list
    bool formatsShown = true, entriesShown = false, framerateShown = true;
    bool videoGreyed = false, audioGreyed = false; // a list the format does not record from
};

// The sources of the program: the device lists, the source lists and the current video and
// audio sources, connected to the graph module's preview; decides what the sources panel
// shows (TSourcesPanelState) and takes what the user chooses there.
class TSourcesController : public QObject {
    Q_OBJECT
public:
    static inline const QString kNoVideo = QStringLiteral("aucun flux vidéo");
    static inline const QString kNoAudio = QStringLiteral("aucun flux audio");
    // The video list's entry that opens a DV file as a tape (never a source of its own).
    static inline const QString kDvFileEntry = QStringLiteral("Fichier DV…");

    TSourcesController(TSession& session, Tdm& dm, std::unique_ptr<IDeviceEnumerator> enumerator);
    ~TSourcesController() override;

    // Runs a change of sources or format as one command: now, or once the recording part
    // being ended has finished; when stops() says the change would stop the running
    // recording, that recording ends first and the change runs once its file is finished.
    void Change(std::function<void()> change, std::function<bool()> stops = {});
    bool videoChangeStops(const QString& name) const;
    bool audioChangeStops(const QString& name) const;

    bool RefreshSources();
    // Searches the plug-in folder; the devices the plug-ins declare are theirs from the next
    // refresh (the devices listed so far go, the current sources with them).
    void ScanPlugins(const QString& folder);
    const TpluginList& plugins() const { return m_plugins; }
    void SelectVideoSource(const QString& name);
    void SelectAudioSource(const QString& name);
    void FillCaptureFormats(uint8_t wanted);
    void ReselectSources();
    // After a settings page: the source of that kind connected again as chosen, the formats
    // refilled and the graph run once.
    void Reselect(bool video);

    // The panel: what it shows, and what the user chose in it.
    const TSourcesPanelState& panel() const { return m_panel; }
    void VideoChosen(const QString& name);
    void AudioChosen(const QString& name);
    void FormatChosen(int index);
    // The card records from the chosen line, and from no other where it can only take one.
    void EntryChosen(const QString& entry);

    bool ConnectVideo(TVideoSource* source);
    void DisconnectVideo(TVideoSource* source, bool full);
    bool ConnectAudio(TAudioSource* source);
    void DisconnectAudio(TAudioSource* source, bool full);

    TVideoSource* currentVideo() const { return m_video; }
    TAudioSource* currentAudio() const { return m_audio; }
    TSourceExclusions& exclusions() { return m_exclusions; }
    const TSourceLists& lists() const { return m_lists; }

    bool refreshing = false;      // selections do not run the graph while set
    bool mp3EncoderFound = false; // "mp3" is offered with an audio source
    bool startupDone = false;     // device changes are followed only afterwards
    // Stops a running recording before the sources change (set by the controller): the
    // user chose another source (changed) or the device went.
    std::function<void(bool changed)> stopRecording;
    // Called after the capture format changed (next file name and so on).
    std::function<void()> onFormatChanged;
    // A source was chosen on its own (not within a batch that ends with the formats).
    std::function<void()> onSourceChanged;

    // The DV file played as a tape: chosen (video and its sound) and kept in the settings;
    // false, said in French, when it cannot be played.
    bool ChooseDvFile(const QString& path);
    // Asks for a DV file and chooses it.
    void AskDvFile();
    // At start-up, before the first refresh: the file kept from the last run, or a French
    // message when it can no longer be played (it is then forgotten, and not selected).
    void RestoreDvFile();
    QString dvFile() const { return m_files ? m_files->file() : QString(); }
    std::shared_ptr<TDvFileDeck> dvFileDeck() const { return m_files ? m_files->deck() : nullptr; }

    // Shutdown: both current sources disconnected, fully.
    void DisconnectAll();

    // The inputs of the connected capture card (none for other sources).
    TCrossbar* crossbar() const { return m_crossbar.get(); }
    // Opens a card's inputs (tests put a double here).
    std::function<std::unique_ptr<IV4l2Inputs>(const QString&)> openInputs = OpenV4l2Inputs;
    // Opens a sound card's mixer (tests put a double here).
    std::function<std::unique_ptr<IAlsaMixer>(const QString&)> openMixer = OpenAlsaMixer;
    // The formats offered by "Broche de Capture Audio..." for the current audio source:
    // label ("48000 Hz 16 bits 2 canaux") and caps text, those the device can deliver.
    QList<QPair<QString, QString>> AudioFormatChoices() const;
    QString audioCard() const; // the ALSA card of the current audio source, if any

signals:
    // The source lists were rebuilt (the exclusion list may have grown).
    void sourcesRefreshed();
    // What the panel shows changed.
    void panelChanged();

private:
    void bindTransport(TavFlux& source, const TavFlux* other, bool& pilot);
    void releaseTransport(TavFlux& source);
    void deviceRemoved(TCaptureDevice* device);
    void sourceError(GstElement* element, const QString& message);
    void devicesChanged();
    void exclude(const QString& deviceName);
    void updateVideoLabel();
    void updateAudioLabel();
    void fillEntries();
    void formatChosen(uint8_t format);
    void reselectAll();
    void handleFailedSources();
    bool recording() const;
    bool currentDeviceGone() const;
    QString formatText() const; // the chosen format's label, empty when none
    void applyFormatVisibility(uint8_t format);
    static bool belongsTo(GstElement* element, TCaptureDevice* device);

    TSession& m_session;
    Tdm& m_dm;
    TSourcesPanelState m_panel;
    std::unique_ptr<IDeviceEnumerator> m_enumerator;
    TDvFileEnumerator* m_files = nullptr; // m_enumerator, when there is one
    TpluginList m_plugins;                // consulted by the device lists
    TCaptureDeviceList m_videoDevices{TDeviceCategory::Video};
    TCaptureDeviceList m_audioDevices{TDeviceCategory::Audio};
    TSourceLists m_lists;
    TSourceExclusions m_exclusions;
    TVideoSource* m_video = nullptr;
    TAudioSource* m_audio = nullptr;
    QTimer* m_deviceChange = nullptr;
    std::unique_ptr<TCrossbar> m_crossbar; // rebuilt at each video connection
    // Sources whose failure waits to be handled, and whether one is being handled.
    QStringList m_failedSources;
    bool m_handlingFailure = false;
};
