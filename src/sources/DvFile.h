#pragma once

#include "DeviceDescriptor.h"
#include "DvTransport.h"
#include "GstRef.h"
#include "LiveDeckSrc.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Where the DV frames of a file the user captured lie: a raw DV (DIF) stream, or an AVI of
// type 1 (one "iavs" stream) or type 2 ("vids" DV, its sound beside it). The file is foreign:
// every size is checked against the file and against its list, and nothing in it is trusted
// to be whole (an AVI's index may lie, so the frames are found by walking its "movi" lists).
struct TDvFileFrames {
    enum Kind { Raw, AviType1, AviType2 };
    Kind kind = Raw;
    bool pal = true;
    size_t frameSize = 0;
    std::vector<uint64_t> offsets; // each frame's first byte in the file
    bool cutShort = false;         // the file ends inside a frame or a list it announced
};

// The frames of the file open on fd (read only); nullopt with why (French, "il est vide") when
// it holds none. read is pread on fd; tests hand in the bytes of a file in memory.
using TDvFileRead = std::function<bool(uint64_t pos, void* data, size_t size)>;
std::optional<TDvFileFrames> FindDvFileFrames(const TDvFileRead& read, uint64_t fileSize,
                                              QString* why);

// "Fichier DV": a DV file played as a tape in a deck. The file is opened read only and never
// written; the tape stops at its end (the deck shows nothing there) and winds back to its
// start. Transport and timecode are those of the virtual deck.
class TDvFileDeck : public IDvTransport, public IDeckFeed {
public:
    // The deck of the file at path, or null with why (French) when it cannot be played.
    static std::shared_ptr<TDvFileDeck> Open(const QString& path, QString* why);
    ~TDvFileDeck() override;

    bool setMode(Mode mode) override;
    Mode mode() const override { return m_mode.load(); }
    Timecode timecode() const override;
    bool isVcr() const override { return true; }
    bool isCamera() const override { return false; }

    int readiness() const override { return m_broken ? -1 : 1; }
    GstCaps* caps() const override;
    GstClockTime frameDuration() const override;
    GstBuffer* nextFrame() override;

    QString path() const { return m_path; }
    const TDvFileFrames& frames() const { return m_frames; }
    int64_t position() const { return m_position.load(); } // next frame on the tape
    // Puts the tape at a frame (tests; a deck's counter reset).
    void seek(int64_t frame);

private:
    TDvFileDeck(QString path, int fd, TDvFileFrames frames);

    const QString m_path;
    const int m_fd; // read only
    const TDvFileFrames m_frames;
    std::atomic<Mode> m_mode{ED_MODE_PLAY};
    std::atomic<int64_t> m_position{0};
    std::atomic<bool> m_broken{false};
    mutable std::mutex m_lock; // guards the pool, m_slowPhase and m_timecode
    TGstRef<GstBufferPool> m_pool;
    int m_slowPhase = 0;
    Timecode m_timecode;
};

// The name the file's device is listed by, and the first of its id.
inline const QString kDvFileDeviceName = QStringLiteral("Fichier DV");
inline const QString kDvFileDeviceId = QStringLiteral("dvfile:");

// The devices of an enumerator, with the DV file's deck after all of them while a file is
// chosen.
class TDvFileEnumerator : public IDeviceEnumerator {
public:
    explicit TDvFileEnumerator(std::unique_ptr<IDeviceEnumerator> inner);
    std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override;

    // Plays the file at path from now on (empty: none); false with why (French) when it
    // cannot be played, the file chosen before staying.
    bool SetFile(const QString& path, QString* why);
    QString file() const { return m_deck ? m_deck->path() : QString(); }
    std::shared_ptr<TDvFileDeck> deck() const { return m_deck; }
    IDeviceEnumerator* inner() const { return m_inner.get(); }

private:
    std::unique_ptr<IDeviceEnumerator> m_inner;
    std::shared_ptr<TDvFileDeck> m_deck;
    int m_serial = 0; // a new file is a new device
};
