#pragma once

#include "BgrImage.h"
#include "GrabRing.h"
#include "TextRenderer.h"
#include "VrIncrustRec.h"
#include "WhenCountdown.h"
#include "dv/FrameInfoSource.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The overlay of one video stream: mirrors, the two inlaid lines, the display countdown,
// the snapshot slots and the intervalometer, working in place on BGR or I420 frames (the
// snapshots are BGR whatever the frames).
//
// Control operations may come from any thread; processFrame() runs on the streaming
// thread. m_mutex guards the record, the countdown and the flags they come with; the frame
// work itself runs unlocked on the streaming thread's own copies.
class SuperposerCore {
public:
    struct FrameResult {
        int snapshotSlots[2] = {-1, -1};           // slots filled on this frame ("snapshot ready")
        bool snapshotPeriodic[2] = {false, false}; // taken by the intervalometer
        int snapshotCount = 0;
        bool secondsChanged = false; // "seconds to the next grab" changed
        int32_t seconds = 0;
    };

    SuperposerCore();

    void SetIncrustRec(const VrIncrustRec& rec);
    VrIncrustRec incrustRec() const;
    void SetIncrustActive(bool active);
    bool incrustActive() const;
    void SetWhenIncrust(uint8_t mode, int32_t seconds);
    void SetVertFlip(bool on) { m_vertFlip.store(on); }
    void SetHorzFlip(bool on) { m_horzFlip.store(on); }
    void setSourceFlipped(bool on) { m_sourceFlipped.store(on); }
    void setOverlayEnabled(bool on) { m_overlayEnabled.store(on); } // "Activer Superposition"
    void setFrameDuration(uint32_t duration) { m_frameDuration.store(duration); } // 100 ns
    void setAntialias(bool on) { m_antialias.store(on); }
    bool vertFlip() const { return m_vertFlip.load(); }
    bool horzFlip() const { return m_horzFlip.load(); }
    bool sourceFlipped() const { return m_sourceFlipped.load(); }
    bool overlayEnabled() const { return m_overlayEnabled.load(); }
    uint32_t frameDuration() const { return m_frameDuration.load(); }
    bool antialias() const { return m_antialias.load(); }
    WhenCountdown countdown() const;

    void StartIntervalometer(uint32_t interval) { m_grabs.StartIntervalometer(interval); }
    void stopIntervalometer() { m_grabs.stopIntervalometer(); }
    void GrabImage() { m_grabs.GrabImage(); }
    void releaseSlot(int slot) { m_grabs.release(slot); }
    GrabRing& grabs() { return m_grabs; }

    // The system clock read for "Réel" texts and the day trigger (tests fix it).
    void setClock(std::function<double()> clock) { m_clock = std::move(clock); }

    // Streaming thread. Sizes the work buffers and snapshot slots for a stream and re-arms
    // the countdown and the intervalometer's schedule.
    void startStreaming(int width, int height);
    // Processes one frame in place. ptsNs is the frame's time stamp in nanoseconds (0 when
    // it has none); scenes is the DV scene detector to read, or null.
    // A frame that may not be written (shared with a recording) is only read: no mirror, no
    // inlay, the snapshots and the countdown as usual.
    FrameResult processFrame(const BgrImage& frame, int64_t ptsNs, IFrameInfoSource* scenes,
                             bool writable = true);
    // Writes an I420 frame as BGR rows of width × 3 bytes, stride apart, for a snapshot slot.
    using ToBgr = std::function<void(const I420Image& frame, uint8_t* dst, size_t stride)>;
    // The same on an I420 frame; toBgr fills the snapshot slots (none are filled without it).
    FrameResult processFrame(const I420Image& frame, int64_t ptsNs, IFrameInfoSource* scenes,
                             bool writable, const ToBgr& toBgr);
    // Whether frames would be changed now (a mirror, a flip, the inlay switched on); when not,
    // the element passes them on without making them writable (no copy of a shared frame).
    bool writesFrames() const;

    // The lines last produced, and the anchor in use (for tests and the panel).
    const std::string& line1() const { return m_line1; } // UTF-8
    const std::string& line2() const { return m_line2; }
    // Counts the times the lines were produced anew (streaming thread).
    int linesVersion() const { return m_linesVersion; }
    int renderCount() const { return m_text.renderCount(); }
    int streamWidth() const { return m_width; }
    // The DV recording date of the picture in a snapshot slot, taken when the slot was filled
    // (streaming thread; read by the same thread when it posts the snapshot).
    struct SlotDate {
        bool valid = false;
        double recDate = 0.0;
    };
    SlotDate slotDate(int slot) const {
        return slot >= 0 && slot < kGrabSlots ? m_slotDates[size_t(slot)] : SlotDate{};
    }
    int streamHeight() const { return m_height; }

private:
    struct TextKey {
        int recVersion = -1;
        bool haveScene = false;
        bool dateValid = false;
        double recDate = 0.0;
        bool timecodeValid = false;
        uint8_t timecode[4] = {0, 0, 0, 0};
        int64_t nowKey = 0;
        bool operator==(const TextKey&) const = default;
    };

    template <class Image>
    FrameResult process(const Image& frame, int64_t ptsNs, IFrameInfoSource* scenes, bool writable,
                        const ToBgr* toBgr);
    template <class Image> void drawLines(const Image& frame);

    mutable std::mutex m_mutex;
    VrIncrustRec m_rec;        // guarded by m_mutex
    int m_recVersion = 0;      // guarded by m_mutex
    int m_xpos = 900;          // guarded by m_mutex (clamped anchor)
    int m_ypos = 900;          // guarded by m_mutex
    bool m_active = false;     // guarded by m_mutex
    WhenCountdown m_countdown; // guarded by m_mutex

    std::atomic<bool> m_vertFlip{false};
    std::atomic<bool> m_horzFlip{false};
    std::atomic<bool> m_sourceFlipped{false};
    std::atomic<bool> m_overlayEnabled{true};
    std::atomic<uint32_t> m_frameDuration{400000};
    std::atomic<bool> m_antialias{true};

    GrabRing m_grabs;
    std::function<double()> m_clock;

    // Streaming thread only.
    VrIncrustRec m_frameRec;
    int m_frameRecVersion = -1;
    int m_frameXpos = 900;
    int m_frameYpos = 900;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_rowScratch;
    double m_recDate = 0.0;
    double m_prevRecDate = 0.0;
    double m_dayDate = 0.0;
    double m_prevDayDate = 0.0;
    TDVFrameInfo m_info;
    bool m_haveScene = false;
    double m_now = 0.0;
    TextKey m_textKey;
    bool m_ms1 = false; // the date patterns show milliseconds
    std::string m_line1;
    std::string m_line2;
    int m_linesVersion = 0;
    FontSpec m_font; // of m_fontRecVersion on frames of m_fontWidth × m_fontHeight
    int m_fontRecVersion = -2;
    int m_fontWidth = 0;
    int m_fontHeight = 0;
    TextRenderer m_text;
    std::array<SlotDate, kGrabSlots> m_slotDates{}; // streaming thread
};
