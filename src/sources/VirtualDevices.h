#pragma once

#include "DeviceDescriptor.h"
#include "DvTransport.h"
#include "GstRef.h"
#include "LiveDeckSrc.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A file the program makes for a virtual device (the DV demo clip, the MPEG-2 clip): made
// once, off the UI thread, into a temporary file of this process that is renamed when
// complete, so that an interrupted run never leaves a half file behind under the real name.
// Several processes may want the same file at once (two program instances, tests running side
// by side): a lock file beside it lets one of them make it while the others wait for it.
class TVirtualMaterial {
public:
    enum State { Missing, Making, Ready, Failed };
    // Makes the file; gives up (false) soon after stop becomes true (the program closes).
    using TMaker = std::function<bool(const std::string& path, std::string* error,
                                      const std::atomic<bool>& stop)>;
    // Tells whether a file found on disk is whole (an older run may have left a damaged one).
    using TCheck = std::function<bool(const QString& path)>;

    TVirtualMaterial(QString path, TMaker maker, TCheck check = {});
    // Stops a generation in progress (its half file goes) and waits for it to end.
    ~TVirtualMaterial();

    // Starts making the file on a worker thread when it does not exist (once); then, when
    // given, runs `after` on that thread (so that several files are made one after another).
    void Ensure(std::function<void()> after = {});
    State state() const { return m_state.load(); }
    // Waits until the file is ready or failed (tests, tools); true when ready.
    bool WaitReady(int milliseconds);
    QString path() const { return m_path; }
    // Seconds the last generation took (0 when the file was already there).
    double generationSeconds() const { return m_seconds.load(); }

private:
    bool Usable() const;
    bool Make(std::string* error); // worker thread, under the lock file

    QString m_path;
    TMaker m_maker;
    TCheck m_check;
    std::atomic<State> m_state{Missing};
    std::atomic<double> m_seconds{0};
    std::atomic<bool> m_closing{false}; // set by the destructor: stop waiting for the lock
    std::mutex m_lock;                  // guards m_worker and the wait below
    std::condition_variable m_done;
    std::thread m_worker;
};

// Whether path holds whole DV frames, each starting with its header block.
bool IsWholeDvClip(const QString& path);

// "DV virtuel": a DV deck playing a DV file in a loop, with a tape transport. The tape
// position belongs to the deck, not to its source elements, so it is kept for the whole run
// across source changes.
class TVirtualDvDeck : public IDvTransport, public IDeckFeed {
public:
    explicit TVirtualDvDeck(std::shared_ptr<TVirtualMaterial> material);
    ~TVirtualDvDeck() override;

    bool setMode(Mode mode) override;
    Mode mode() const override { return m_mode.load(); }
    Timecode timecode() const override;
    bool isVcr() const override { return true; }
    bool isCamera() const override { return false; }

    int readiness() const override;
    GstCaps* caps() const override;
    GstClockTime frameDuration() const override;
    GstBuffer* nextFrame() override;

    int64_t position() const { return m_position.load(); } // next frame on the tape
    int64_t frameCount() const { return m_frames.load(); }

private:
    bool Open(); // streaming thread

    std::shared_ptr<TVirtualMaterial> m_material;
    std::atomic<Mode> m_mode{ED_MODE_PLAY};
    std::atomic<int64_t> m_position{0};
    std::atomic<int64_t> m_frames{0};
    std::atomic<bool> m_pal{true};
    std::atomic<bool> m_broken{false};
    mutable std::mutex m_lock; // guards the file, the pool and m_timecode
    int m_fd = -1;
    size_t m_frameSize = 0;
    TGstRef<GstBufferPool> m_pool;
    int m_slowPhase = 0;
    Timecode m_timecode;
};

// "MPEG virtuel": whole MPEG-2 pictures of a small generated clip, in a loop.
class TVirtualMpegFeed : public IDeckFeed {
public:
    explicit TVirtualMpegFeed(std::shared_ptr<TVirtualMaterial> material);
    ~TVirtualMpegFeed() override;

    int readiness() const override;
    GstCaps* caps() const override;
    GstClockTime frameDuration() const override;
    GstBuffer* nextFrame() override;

private:
    bool Load() const; // parses the clip into pictures, once

    std::shared_ptr<TVirtualMaterial> m_material;
    mutable std::mutex m_lock; // guards everything below
    mutable bool m_loaded = false;
    mutable bool m_broken = false;
    mutable std::vector<TGstRef<GstBuffer>> m_pictures;
    mutable TGstRef<GstCaps> m_caps;
    mutable GstClockTime m_frame = 40 * GST_MSECOND;
    size_t m_next = 0;
};

struct TVirtualOptions {
    QString dataDir;      // empty: <XDG data>/vidorra
    int dvFrames = 750;   // 30 s of PAL
    int mpegFrames = 75;  // 3 s at 25 fps, 352 x 288
    bool generate = true; // start making missing files at once
};

// The four built-in virtual devices, listed after the real ones.
class TVirtualDevices {
public:
    explicit TVirtualDevices(const TVirtualOptions& options = {});

    // "Mire de test", "DV virtuel", "MPEG virtuel".
    std::vector<TDeviceDescriptor> videoDevices() const;
    // "Signal de test".
    std::vector<TDeviceDescriptor> audioDevices() const;

    std::shared_ptr<TVirtualDvDeck> dvDeck() const { return m_dvDeck; }
    std::shared_ptr<TVirtualMaterial> dvMaterial() const { return m_dvMaterial; }
    std::shared_ptr<TVirtualMaterial> mpegMaterial() const { return m_mpegMaterial; }

    static QString DefaultDataDir();

private:
    std::shared_ptr<TVirtualMaterial> m_dvMaterial, m_mpegMaterial;
    std::shared_ptr<TVirtualDvDeck> m_dvDeck;
    std::shared_ptr<TVirtualMpegFeed> m_mpegFeed;
};
