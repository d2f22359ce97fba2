#pragma once

#include "EncoderSettings.h"

#include <QString>
#include <QStringList>
#include <vector>

typedef struct _GstElement GstElement;

// The encoders found at start-up and the user's choices among them (options panel).

// An MPEG-4 part 2 encoder offered as a DivX or Xvid entry.
struct TDivxEntry {
    QString name;    // what the list shows, e.g. "Xvid (libavcodec MPEG-4)"
    QString factory; // GStreamer element factory, e.g. "avenc_mpeg4", "xvidenc"
    QString fourcc;  // written into the AVI: "XVID" or "DX50"
};

// A Windows Media profile: the four presets are built-in tables; system profiles come from
// profile files.
struct TWmvProfile {
    QString name;
    int videoBitrateKbps = 0;
    int width = 0, height = 0; // 0: the source's size
    int fps = 0;               // 0: the source's rate
    int audioBitrateKbps = 0;
    int audioRate = 0;
    int audioChannels = 0;
};

class TEncoderCatalog {
public:
    // Looks the encoders up in the GStreamer registry (once, at start-up).
    void Discover();

    const std::vector<TDivxEntry>& divxEntries() const { return m_divx; }
    // The entry named `favourite`, else the last "xvid" entry, else the first; null when none.
    const TDivxEntry* ChooseDivx(const QString& favourite) const;
    bool mp3Available() const { return m_mp3; }
    bool divxAvailable() const { return !m_divx.empty(); }
    // Replaces what Discover found (tests, and systems where discovery is not wanted).
    void Assign(std::vector<TDivxEntry> divx, bool mp3);

    // Name, plug-in and version of an element factory, for the "version" dialog; empty when
    // the factory is not installed.
    static QString EncoderVersion(const QString& factory);
    // Applies the "Propriétés" settings to an MPEG-4 encoder element (avenc_mpeg4, xvidenc):
    // one pass, constant bitrate or constant quantiser, key-frame interval.
    static void ConfigureDivxEncoder(GstElement* encoder, const TDivxSettings& settings);

    // Codec factories for a Windows Media version: 0 "4", 1 "7", 2 "8".
    static QString WmvVideoFactory(int version);
    static QString WmvAudioFactory(int version);
    // The four presets: 0 High, 1 Medium, 2 Low, 3 Internet.
    static TWmvProfile PresetProfile(int index);
    // Profiles read from the profile files of a folder (Windows Media profile XML).
    // Files of more than 1 MiB, unreadable files and profiles without a video stream are
    // skipped; values out of range are clamped.
    static std::vector<TWmvProfile> SystemProfiles(const QString& folder);
    // The folder the options panel reads: <XDG data>/vidorra/profils.
    static QString DefaultProfilesFolder();
    // The profile a WMV recording uses. With the presets on (`Profil par défaut`) the preset
    // `Profile wmv`; otherwise the system profile named `favourite`, else the first system
    // profile, else the preset when the folder holds none.
    static TWmvProfile ChosenWmvProfile(bool useDefault, int preset, const QString& favourite,
                                        const std::vector<TWmvProfile>& system);

    // The bitrates (kbit/s) the list offers for LAME; the chosen one is kept with the
    // encoders' settings (EncoderSettings.h).
    static QList<int> Mp3Bitrates();

private:
    std::vector<TDivxEntry> m_divx;
    bool m_mp3 = false;
};

// The catalog of the running program (filled by Discover at start-up).
TEncoderCatalog& Encoders();
