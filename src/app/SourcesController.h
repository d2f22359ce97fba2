#pragma once

#include "AlsaMixer.h"
#include "CaptureDevice.h"
#include "Crossbar.h"
#include "PlugIns.h"
#include "Sources.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <functional>
#include <memory>

class QMenu;
class QTimer;
class TSession;
class TSourcesFrame;
class Tdm;

// The sources of the program: the device lists, the source lists and the current video and
// audio sources, connected to the graph module's preview; fills the sources panel.
class TSourcesController : public QObject {
    Q_OBJECT
public:
    static inline const QString kNoVideo = QStringLiteral("aucun flux vidéo");
    static inline const QString kNoAudio = QStringLiteral("aucun flux audio");

    TSourcesController(TSession& session, Tdm& dm, TSourcesFrame& frame,
                       std::unique_ptr<IDeviceEnumerator> enumerator);
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
    // The video settings menu as the settings button shows it.
    void FillSettingsMenu(QMenu& menu, bool video) { fillSettingsMenu(menu, video); }

signals:
    // The source lists were rebuilt (the exclusion list may have grown).
    void sourcesRefreshed();

private:
    void bindTransport(TavFlux& source, const TavFlux* other, QWidget* pilot);
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
    void showSettingsMenu(bool video);
    void fillSettingsMenu(QMenu& menu, bool video);
    void showControlsDialog(const QString& devicePath);
    void chooseVideoFormat();
    void chooseAudioFormat();
    void showMixerDialog();
    void entryChosen(const QString& entry);
    void reselect(bool video);
    QString audioCard() const; // the ALSA card of the current audio source, if any
    void applyFormatVisibility(uint8_t format);
    static bool belongsTo(GstElement* element, TCaptureDevice* device);

    TSession& m_session;
    Tdm& m_dm;
    TSourcesFrame& m_frame;
    std::unique_ptr<IDeviceEnumerator> m_enumerator;
    TpluginList m_plugins; // consulted by the device lists
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
