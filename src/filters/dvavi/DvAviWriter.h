#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// The byte layout of a type 1 DV AVI: one interleaved "iavs" stream of whole DV frames, in
// OpenDML (AVI 2.0) form so that a recording may pass 4 GB: RIFF 'AVI ' then RIFF 'AVIX'
// extensions of at most riffLimit bytes, a super index ('indx') in the stream header, one
// standard index ('ix00') at the end of every RIFF's movi list, the total frame count in
// 'odml'/'dmlh', and the legacy 'idx1' index of the first RIFF for older readers.
namespace avi {

// Where the bytes go. The writer keeps the position itself: Seek is called only to patch
// sizes and headers, and always followed by a Seek back to the end.
class TAviOutput {
public:
    virtual ~TAviOutput() = default;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
    virtual bool Seek(uint64_t pos) = 0;
};

// What the headers say about the DV stream, read from its first frame.
struct TDvStreamInfo {
    bool pal = true;
    uint32_t width = 720, height = 576;
    uint32_t scale = 1, rate = 25;
    uint32_t frameSize = 144000;
    // DVINFO: AAUX source and control of both audio halves, VAUX source and control.
    uint32_t dvinfo[8] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                          0xFFFFFFFF, 0xFFFFFFFF, 0,          0};
};
TDvStreamInfo DvStreamInfoOf(std::span<const uint8_t> frame);

// A DIF header block followed by a subcode block starts a frame; kProbeBytes tell.
inline constexpr size_t kProbeBytes = 83;
bool IsFrameStart(std::span<const uint8_t> bytes);
// 144000 for a 625/50 frame, 120000 for 525/60 (by the header block's DSF bit).
size_t FrameSizeOf(std::span<const uint8_t> frameStart);

// Cuts a DV byte stream into whole frames, whatever the sizes of the pieces it comes in;
// bytes that cannot start a frame are skipped up to the next frame start.
class TDvFramer {
public:
    using FrameFn = std::function<bool(std::span<const uint8_t> frame)>;
    TDvFramer();
    // Calls onFrame for each completed frame; stops and returns false when it does.
    bool Push(std::span<const uint8_t> data, const FrameFn& onFrame);
    void Reset();
    uint64_t SkippedBytes() const { return m_skipped; }
    size_t PendingBytes() const { return m_pending.size(); }

private:
    std::vector<uint8_t> m_pending; // the start of a frame, or fewer than kProbeBytes
    uint64_t m_skipped = 0;
};

class TDvAviWriter {
public:
    static constexpr uint64_t kDefaultRiffLimit = uint64_t(1) << 30;
    static constexpr uint64_t kMinRiffLimit = 64 * 1024;
    static constexpr uint64_t kMaxRiffLimit = 0xFFFFFFFFull - 0xFFFF;
    static constexpr uint32_t kSuperIndexEntries = 512;
    static constexpr char kChunkId[5] = "00dc";

    explicit TDvAviWriter(TAviOutput& out, uint64_t riffLimit = kDefaultRiffLimit);

    // The first frame writes the headers. False once a write failed or the super index is
    // full (the file stays finishable with Finish).
    bool AddFrame(std::span<const uint8_t> frame);
    // Closes the last RIFF and writes the final headers; the file is complete. A file without
    // frames gets the headers of an empty PAL stream.
    bool Finish();

    uint64_t Frames() const { return m_frames; }
    uint64_t Position() const { return m_pos; }
    uint32_t Riffs() const { return static_cast<uint32_t>(m_super.size()) + (m_riffOpen ? 1 : 0); }
    bool Full() const { return m_full; }
    bool Failed() const { return m_failed; }
    // Bytes still to be written by Finish beyond the current end (indexes).
    uint64_t BytesToFinish() const;
    // Where the movi list of the first RIFF starts (the header area is before it).
    static uint64_t FirstMoviPos();

private:
    struct Entry {
        uint32_t offset; // of the chunk's data, from the start of its RIFF
        uint32_t size;
    };
    struct SuperEntry {
        uint64_t offset; // of the ix00 chunk
        uint32_t size;   // of the ix00 chunk with its header
        uint32_t duration;
    };

    bool Begin(const TDvStreamInfo& info);
    bool OpenExtension();
    bool CloseRiff();
    bool WriteHeader();
    bool Put(const uint8_t* data, size_t size);
    bool Put(const std::vector<uint8_t>& bytes) { return Put(bytes.data(), bytes.size()); }
    bool PatchAt(uint64_t pos, const std::vector<uint8_t>& bytes);
    bool Fail();
    std::vector<uint8_t> HeaderBytes() const;
    uint64_t IndexBytes(uint64_t entries) const;

    TAviOutput& m_out;
    uint64_t m_riffLimit;
    TDvStreamInfo m_info;
    bool m_begun = false;
    bool m_failed = false;
    bool m_full = false;
    bool m_finished = false;

    uint64_t m_pos = 0;
    uint64_t m_frames = 0;
    uint64_t m_firstRiffFrames = 0;
    uint64_t m_firstRiffSize = 0; // 0 while the first RIFF is open
    uint64_t m_firstMoviSize = 0;
    uint32_t m_maxChunk = 0;

    bool m_riffOpen = false;
    uint64_t m_riffStart = 0;
    uint64_t m_moviStart = 0;     // the 'LIST' of the current movi
    std::vector<Entry> m_entries; // of the current RIFF; capacity kept across RIFFs
    std::vector<SuperEntry> m_super;
    std::vector<uint8_t> m_scratch; // index bytes on their way out
};

} // namespace avi
