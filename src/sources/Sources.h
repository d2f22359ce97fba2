#pragma once

#include "CaptureDevice.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TcamForm;

// One stream of a device, as listed in the source combo boxes.
class TavFlux {
public:
    virtual ~TavFlux() = default;
    TCaptureDevice* Device = nullptr; // not owned
    int StreamNumber = 1;
    QString Name;
    bool Connected = false;
    bool HasTransport = false;
    TcamForm* CameraWindow = nullptr;
    bool IsVcr = false;
    bool IsCamera = false;
    uint8_t StreamKind = 1;
    GstElement* SceneDetector() const { return Device ? Device->SceneDetector() : nullptr; }
};

class TVideoSource : public TavFlux {};
class TAudioSource : public TavFlux {};

// Names: "<DisplayName>" plus " - Video" when the device also has audio; from the second
// stream "<DisplayName> #<n>". Audio: " - Audio", and "<DisplayName>#<n>" (no blank).
QString VideoSourceName(const TCaptureDevice& device, int stream);
QString AudioSourceName(const TCaptureDevice& device, int stream);

// The source exclusion check list: names with a checked flag (unchecked = excluded),
// loaded from and saved to "Sources Exclues" (each unchecked name followed by CR LF).
class TSourceExclusions {
public:
    void Load(const QString& sourcesExclues); // every name, unchecked
    QString Save() const;                     // the unchecked names, each + "\r\n"
    // Whether a device of that name is listed; a new name is appended checked.
    bool Allow(const QString& friendlyName);
    void SetChecked(const QString& friendlyName, bool checked);
    const std::vector<std::pair<QString, bool>>& Items() const { return m_items; }

private:
    std::vector<std::pair<QString, bool>> m_items;
};

// The two source lists, rebuilt from the device lists at every refresh.
struct TSourceLists {
    std::vector<std::unique_ptr<TVideoSource>> video;
    std::vector<std::unique_ptr<TAudioSource>> audio;

    // Rebuilds both lists (video and audio streams of the video-input list, audio streams
    // of the audio-input list), skipping devices in the run exclusion list and unchecked in
    // the exclusions.
    void Rebuild(const TCaptureDeviceList& videoDevices, const TCaptureDeviceList& audioDevices,
                 const QStringList& runExclusions, TSourceExclusions& exclusions);
    TVideoSource* FindVideo(const QString& name) const; // first of that name
    TAudioSource* FindAudio(const QString& name) const;
    QStringList VideoNames() const;
    QStringList AudioNames() const;
};
