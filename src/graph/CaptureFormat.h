#pragma once

// The capture formats, each one descriptor: what the format list shows, the file it writes,
// when it is offered, what the preview lock makes of the preview, how its recording branch
// is built and how a part of it is finished. The descriptors live in formats/, one file each,
// and are listed once in formats/FormatList.cpp; adding a format is one new file and one line
// there.
//
// The values are the stored numbers (0 "none" and 10 "default" are no formats of their own:
// nothing is recorded with them).

#include "CaptureFormats.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

class TFormatBuild;

// When the format list offers a format.
enum class TFormatOffer : uint8_t {
    DeviceNative, // when the video device names it as its own stream (and a sound is chosen
                  // for the first of them)
    WithVideo,    // whenever a video source is chosen
    WithAudio,    // whenever an audio source is chosen
    WithAudioMp3, // whenever an audio source is chosen and an MP3 encoder is installed
};

// What the file holds.
enum class TFormatStreams : uint8_t {
    PictureAndSound, // the sound goes with the picture when a sound source is chosen
    SoundOnly,
    ImageByImage, // pictures granted one by one, no sound
};

// The container the file is, as its end is checked and repaired (recognised again from the
// file's own bytes at a repair: the journal keeps only the names).
enum class TFormatContainer : uint8_t {
    Avi,
    Asf,
    MpegSystem, // or a plain MPEG stream when no multiplexer is installed
    Wave,       // RIFF WAVE; MP3 is written in it where the WAV writer takes MP3
};

// What the preview lock does for a format: the preview shows what would be recorded.
struct TPreviewLock {
    enum class Effects : uint8_t {
        Off,           // the stream is recorded as the source gives it: no effects
        On,            // the picture is re-encoded with the effects
        UnlessDvSource // on, except from a DV source, whose frames are kept as they are
    };
    // The ratio the preview takes with effects on (with them off, a picture keeps its own
    // shape: only "normal" is allowed).
    enum class Ratios : uint8_t {
        Untouched,     // as it is
        ByWindowShape, // 4:3 or 16:9, whichever the preview window is closer to
        NarrowOnly,    // 4:3
        UsersChoice,   // the ratio last chosen, applied again
    };
    Effects effects = Effects::On;
    Ratios ratios = Ratios::Untouched;
    bool soundOfVideoDevice = false; // the device's own sound goes with its own stream
};

struct TCaptureFormat {
    uint8_t value = 0;
    const char* label = "";      // the format list's text, also what a command names
    const char* shortLabel = ""; // the status bar's
    const char* extension = ".avi";
    // The status bar's recording panel for a format without a picture count.
    const char* statusText = "";
    TFormatOffer offer = TFormatOffer::WithVideo;
    TFormatStreams streams = TFormatStreams::PictureAndSound;
    TFormatContainer container = TFormatContainer::Avi;
    TPreviewLock lock;
    // The DivX resizer shapes the picture; from a DV camcorder the picture is decoded at
    // half size for it when the settings ask so.
    bool divxResizer = false;
    // The file's end is checked after every part, a whole one too (a stream whose header
    // gets its length only at the end).
    bool checkEveryEnd = false;
    // Bytes a second the file grows by whatever the picture (0: not known in advance).
    qint64 fixedByteRate = 0;
    // Builds the branch on the running pipeline (see formats/FormatBuild.h).
    bool (*build)(TFormatBuild& build) = nullptr;
};

// Every format, in the order of the format list.
const std::vector<const TCaptureFormat*>& CaptureFormatList();
// The descriptor of a stored value (its low 7 bits); nullptr for 0, 10 and unknown values.
const TCaptureFormat* CaptureFormatOf(uint8_t value);

// What the format combo box shows: the label; "" for 0; "défaut" for 10 and unknown values.
QString CaptureFormatLabel(uint8_t format);
// What the status bar shows.
QString CaptureFormatShortLabel(uint8_t format);
// The value of a label as the combo box shows it; "Aucun" is 0; anything else 10.
uint8_t CaptureFormatFromLabel(const QString& label);
// A format named by a person (command line, scripts): the labels, "Aucun" and "défaut",
// without regard to case ("DivX", "WAV"); nothing for any other text.
std::optional<uint8_t> CaptureFormatFromTypedName(const QString& name);
// The names it takes, in the order of the format list.
QStringList CaptureFormatNames();
// The file extension of a format (".avi" for 0, 10 and unknown values).
QString CaptureFormatExtension(uint8_t format);

// Shorthands the program asks often.
bool RecordsSoundOnly(uint8_t format);
bool RecordsImageByImage(uint8_t format);
