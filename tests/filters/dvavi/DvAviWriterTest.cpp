#include "DvAviWriter.h"
#include "AviReader.h"
#include "DvSynthetic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

// Writes to a file; payloads for which skip() holds are left as holes (a sparse file).
class FileOutput : public avi::TAviOutput {
public:
    explicit FileOutput(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)) {}
    ~FileOutput() override { ::close(m_fd); }
    std::function<bool(const uint8_t*, size_t)> skip;
    uint64_t failAfter = UINT64_MAX; // bytes accepted before writes fail

    bool Write(const uint8_t* data, size_t size) override {
        if (m_written + size > failAfter)
            return false;
        m_written += size;
        if (!(skip && skip(data, size)) &&
            ::pwrite(m_fd, data, size, static_cast<off_t>(m_pos)) != ssize_t(size))
            return false;
        m_pos += size;
        if (m_pos > m_size) {
            m_size = m_pos;
            return ::ftruncate(m_fd, static_cast<off_t>(m_size)) == 0;
        }
        return true;
    }
    bool Seek(uint64_t pos) override {
        m_pos = pos;
        ++seeks;
        return true;
    }
    int seeks = 0;

private:
    int m_fd;
    uint64_t m_pos = 0, m_size = 0, m_written = 0;
};

class TempFile {
public:
    TempFile() {
        static int n = 0;
        m_path = (std::filesystem::temp_directory_path() /
                  ("vr_dvavi_" + std::to_string(::getpid()) + "_" + std::to_string(n++) + ".avi"))
                     .string();
    }
    ~TempFile() { std::filesystem::remove(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

struct Layout {
    uint64_t frames = 0;
    uint32_t riffs = 0;
    std::vector<uint64_t> riffStarts;
};

// Checks every structure of the file against the OpenDML layout and returns what it found.
// With checkPayload, every frame's number must follow the previous one.
void CheckLayout(const AviReader& r, uint64_t riffLimit, bool checkPayload, Layout& out) {
    const uint64_t fileSize = r.size();
    EXPECT_EQ(r.Cc(0), "RIFF");
    EXPECT_EQ(r.Cc(8), "AVI ");
    const int64_t hdrl = r.Find(12, 12 + 4096, "LIST", "hdrl");
    EXPECT_EQ(hdrl, 12);
    const uint64_t hdrlEnd = hdrl + 8 + r.U32(hdrl + 4);
    const int64_t avih = r.Find(hdrl + 12, hdrlEnd, "avih");
    const int64_t strl = r.Find(hdrl + 12, hdrlEnd, "LIST", "strl");
    const int64_t odml = r.Find(hdrl + 12, hdrlEnd, "LIST", "odml");
    EXPECT_TRUE(avih > 0 && strl > 0 && odml > 0);
    const uint64_t strlEnd = strl + 8 + r.U32(strl + 4);
    const int64_t strh = r.Find(strl + 12, strlEnd, "strh");
    const int64_t indx = r.Find(strl + 12, strlEnd, "indx");
    EXPECT_EQ(r.Cc(strh + 8), "iavs");
    EXPECT_EQ(r.Cc(strh + 12), "dvsd");
    EXPECT_EQ(r.U32(avih + 8 + 24), 1u) << "one stream";
    const uint64_t total = r.U32(odml + 12 + 8);
    EXPECT_EQ(r.Cc(odml + 12), "dmlh");
    EXPECT_EQ(r.U32(strh + 8 + 32), total) << "strh length";

    // The RIFFs follow each other to the end of the file.
    uint64_t pos = 0;
    while (pos + 12 <= fileSize) {
        EXPECT_EQ(r.Cc(pos), "RIFF") << pos;
        EXPECT_EQ(r.Cc(pos + 8), out.riffStarts.empty() ? "AVI " : "AVIX") << pos;
        const uint64_t size = r.U32(pos + 4);
        EXPECT_LE(size + 8, riffLimit) << "RIFF at " << pos;
        out.riffStarts.push_back(pos);
        pos += 8 + size;
        if (size == 0)
            break;
    }
    EXPECT_EQ(pos, fileSize);
    out.riffs = static_cast<uint32_t>(out.riffStarts.size());

    // Super index: one standard index per RIFF, each inside the movi of its RIFF.
    EXPECT_EQ(r.U16(indx + 8), 4);
    EXPECT_EQ(r.Bytes(indx + 11, 1)[0], 0) << "index of indexes";
    const uint32_t entries = r.U32(indx + 12);
    EXPECT_EQ(entries, total ? out.riffs : 0u);
    EXPECT_EQ(r.Cc(indx + 16), "00dc");
    uint32_t expectNumber = 0;
    for (uint32_t i = 0; i < entries && i < out.riffs; ++i) {
        const uint64_t e = indx + 32 + 16 * uint64_t(i);
        const uint64_t ix = r.U64(e);
        const uint64_t riff = out.riffStarts[i];
        const uint64_t riffEnd = riff + 8 + r.U32(riff + 4);
        const int64_t movi = r.Find(i == 0 ? riff + 12 : riff + 12, riffEnd, "LIST", "movi");
        EXPECT_GT(movi, 0);
        const uint64_t moviEnd = movi + 8 + r.U32(movi + 4);
        EXPECT_EQ(r.Cc(ix), "ix00");
        EXPECT_TRUE(ix > uint64_t(movi) && ix + r.U32(e + 8) <= moviEnd) << "ix00 in movi " << i;
        EXPECT_EQ(r.U32(e + 8), 8 + r.U32(ix + 4));
        const uint32_t n = r.U32(ix + 12);
        EXPECT_EQ(r.U32(e + 12), n) << "duration";
        EXPECT_EQ(r.U16(ix + 8), 2);
        EXPECT_EQ(r.Bytes(ix + 11, 1)[0], 1) << "index of chunks";
        EXPECT_EQ(r.Cc(ix + 16), "00dc");
        const uint64_t base = r.U64(ix + 20);
        EXPECT_EQ(base, riff);
        const auto table = r.Bytes(ix + 32, 8 * size_t(n));
        ASSERT_EQ(table.size(), 8 * size_t(n));
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t off = table[8 * k] | table[8 * k + 1] << 8 | table[8 * k + 2] << 16 |
                                 uint32_t(table[8 * k + 3]) << 24;
            const uint32_t sz = table[8 * k + 4] | table[8 * k + 5] << 8 | table[8 * k + 6] << 16 |
                                uint32_t(table[8 * k + 7]) << 24;
            const uint64_t data = base + off;
            if (k == 0 || k + 1 == n || checkPayload) {
                ASSERT_EQ(r.Cc(data - 8), "00dc") << "RIFF " << i << " frame " << k;
                ASSERT_EQ(r.U32(data - 4), sz);
                EXPECT_TRUE(data > uint64_t(movi) && data + sz <= moviEnd);
            }
            if (checkPayload) {
                const auto f = r.Bytes(data, 1004);
                ASSERT_EQ(SyntheticNumber(f.data()), expectNumber);
            }
            ++expectNumber;
        }
        out.frames += n;
        // The legacy index of the first RIFF.
        if (i == 0) {
            EXPECT_EQ(r.U32(avih + 8 + 16), n) << "avih: frames of the first RIFF";
            const int64_t idx1 = r.Find(movi, riffEnd, "idx1");
            ASSERT_GT(idx1, 0);
            EXPECT_EQ(r.U32(idx1 + 4), 16 * n);
            const auto idx = r.Bytes(idx1 + 8, 16 * size_t(n));
            for (uint32_t k = 0; k < n; k += std::max<uint32_t>(1, n / 50)) {
                const uint32_t off = idx[16 * k + 8] | idx[16 * k + 9] << 8 |
                                     idx[16 * k + 10] << 16 | uint32_t(idx[16 * k + 11]) << 24;
                EXPECT_EQ(r.Cc(movi + 8 + off), "00dc") << k;
                EXPECT_EQ(idx[16 * k + 4], 0x10) << "key frame";
            }
        }
    }
    EXPECT_EQ(out.frames, total);
}

} // namespace

TEST(DvFramer, CutsAnyPiecesIntoFramesAndSkipsJunk) {
    std::vector<uint8_t> stream;
    const std::vector<uint8_t> junk(777, 0xAA);
    for (uint32_t i = 0; i < 6; ++i) {
        const auto f = SyntheticDvFrame(i, i % 2 == 0);
        stream.insert(stream.end(), f.begin(), f.end());
        if (i == 2)
            stream.insert(stream.end(), junk.begin(), junk.end());
    }
    stream.insert(stream.end(), 5000, 0x1F); // an incomplete tail that never becomes a frame
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        avi::TDvFramer framer;
        std::vector<uint32_t> numbers;
        std::vector<size_t> sizes;
        size_t at = 0;
        while (at < stream.size()) {
            const size_t piece = round == 0 ? stream.size() : 1 + rng() % 60000;
            const size_t n = std::min(piece, stream.size() - at);
            ASSERT_TRUE(framer.Push({stream.data() + at, n}, [&](std::span<const uint8_t> f) {
                numbers.push_back(SyntheticNumber(f.data()));
                sizes.push_back(f.size());
                return true;
            }));
            at += n;
        }
        EXPECT_EQ(numbers, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5})) << round;
        EXPECT_EQ(sizes, (std::vector<size_t>{144000, 120000, 144000, 120000, 144000, 120000}));
        EXPECT_EQ(framer.SkippedBytes(), junk.size() + 5000 - framer.PendingBytes());
    }
}

TEST(DvFramer, WholeFramesAreNotCopied) {
    const auto f = SyntheticDvFrame(9);
    avi::TDvFramer framer;
    const uint8_t* seen = nullptr;
    framer.Push(f, [&](std::span<const uint8_t> frame) {
        seen = frame.data();
        return true;
    });
    EXPECT_EQ(seen, f.data());
    EXPECT_EQ(framer.PendingBytes(), 0u);
}

TEST(DvStreamInfo, HeadersFollowTheFirstFrame) {
    const auto pal = avi::DvStreamInfoOf(SyntheticDvFrame(0, true));
    EXPECT_TRUE(pal.pal);
    EXPECT_EQ(pal.height, 576u);
    EXPECT_EQ(pal.rate, 25u);
    EXPECT_EQ(pal.dvinfo[0], 0x13121110u);
    EXPECT_EQ(pal.dvinfo[1], 0x23222120u);
    EXPECT_EQ(pal.dvinfo[2], 0x33323130u);
    EXPECT_EQ(pal.dvinfo[3], 0x43424140u);
    EXPECT_EQ(pal.dvinfo[4], 0x53525150u);
    EXPECT_EQ(pal.dvinfo[5], 0x63626160u);
    const auto ntsc = avi::DvStreamInfoOf(SyntheticDvFrame(0, false));
    EXPECT_EQ(ntsc.height, 480u);
    EXPECT_EQ(ntsc.scale, 1001u);
    EXPECT_EQ(ntsc.rate, 30000u);
    EXPECT_EQ(ntsc.dvinfo[2], 0x33323130u);
    // A short or damaged frame gives the defaults, without reading past its end.
    const std::vector<uint8_t> stub(100, 0);
    EXPECT_EQ(avi::DvStreamInfoOf(stub).dvinfo[0], 0xFFFFFFFFu);
}

TEST(DvAviWriter, OneRiffFile) {
    TempFile file;
    {
        FileOutput out(file.path());
        avi::TDvAviWriter w(out);
        for (uint32_t i = 0; i < 10; ++i)
            ASSERT_TRUE(w.AddFrame(SyntheticDvFrame(i)));
        EXPECT_GT(w.BytesToFinish(), 10u * 24);
        ASSERT_TRUE(w.Finish());
        EXPECT_EQ(w.BytesToFinish(), 0u);
    }
    AviReader r(file.path());
    Layout l;
    CheckLayout(r, avi::TDvAviWriter::kDefaultRiffLimit, true, l);
    EXPECT_EQ(l.riffs, 1u);
    EXPECT_EQ(l.frames, 10u);
    EXPECT_EQ(r.U32(12 + 12 + 8), 40000u) << "40 ms per frame";
    const uint64_t movi = avi::TDvAviWriter::FirstMoviPos();
    EXPECT_EQ(r.Cc(movi), "LIST");
    EXPECT_EQ(r.Cc(movi + 8), "movi");
    EXPECT_EQ(r.Cc(movi + 12), "00dc");
    EXPECT_EQ(r.U32(movi + 16), 144000u);
}

TEST(DvAviWriter, ExtensionsCarryTheFramesBeyondEachRiff) {
    TempFile file;
    const uint64_t limit = 1 << 20;
    {
        FileOutput out(file.path());
        avi::TDvAviWriter w(out, limit);
        for (uint32_t i = 0; i < 40; ++i)
            ASSERT_TRUE(w.AddFrame(SyntheticDvFrame(i, false)));
        ASSERT_TRUE(w.Finish());
        EXPECT_EQ(w.Riffs(), 5u);
    }
    AviReader r(file.path());
    Layout l;
    CheckLayout(r, limit, true, l);
    EXPECT_EQ(l.riffs, 5u);
    EXPECT_EQ(l.frames, 40u);
}

TEST(DvAviWriter, EmptyFileIsComplete) {
    TempFile file;
    {
        FileOutput out(file.path());
        avi::TDvAviWriter w(out);
        ASSERT_TRUE(w.Finish());
        EXPECT_FALSE(w.AddFrame(SyntheticDvFrame(0))) << "finished";
    }
    AviReader r(file.path());
    Layout l;
    CheckLayout(r, avi::TDvAviWriter::kDefaultRiffLimit, false, l);
    EXPECT_EQ(l.frames, 0u);
    EXPECT_EQ(r.size(), avi::TDvAviWriter::FirstMoviPos() + 12 + 8);
}

TEST(DvAviWriter, WriteFailureStopsWithoutDamage) {
    TempFile file;
    FileOutput out(file.path());
    out.failAfter = 1000000;
    avi::TDvAviWriter w(out);
    int accepted = 0;
    while (w.AddFrame(SyntheticDvFrame(accepted)) && accepted < 100)
        ++accepted;
    EXPECT_EQ(accepted, 6);
    EXPECT_TRUE(w.Failed());
    EXPECT_FALSE(w.AddFrame(SyntheticDvFrame(0)));
    EXPECT_FALSE(w.Finish());
}

// A DV tape hour passes 4 GiB many times over: 5.25 GiB of frames, their payload left as holes.
TEST(DvAviWriter, OpenDmlLayoutBeyond4GiB) {
    TempFile file;
    const auto frame = SyntheticDvFrame(0);
    const uint64_t frames = (uint64_t(21) << 28) / (frame.size() + 8) + 1;
    {
        FileOutput out(file.path());
        out.skip = [&](const uint8_t* d, size_t n) {
            return d == frame.data() && n == frame.size();
        };
        avi::TDvAviWriter w(out);
        for (uint64_t i = 0; i < frames; ++i)
            ASSERT_TRUE(w.AddFrame(frame));
        ASSERT_TRUE(w.Finish());
        EXPECT_GT(w.Position(), uint64_t(21) << 28);
        EXPECT_EQ(out.seeks, 2 + 5 * 4) << "headers after each RIFF, sizes of each AVIX";
    }
    AviReader r(file.path());
    Layout l;
    CheckLayout(r, avi::TDvAviWriter::kDefaultRiffLimit, false, l);
    EXPECT_EQ(l.frames, frames);
    EXPECT_EQ(l.riffs, 6u);
    EXPECT_GT(l.riffStarts.back(), uint64_t(4) << 30) << "an index past 4 GiB";
    EXPECT_GT(r.size(), uint64_t(21) << 28);
}

TEST(DvAviWriter, FullSuperIndexEndsACompleteFile) {
    TempFile file;
    const auto frame = SyntheticDvFrame(0);
    uint64_t written = 0;
    {
        FileOutput out(file.path());
        out.skip = [&](const uint8_t* d, size_t n) {
            return d == frame.data() && n == frame.size();
        };
        // The smallest RIFFs hold one frame each.
        avi::TDvAviWriter w(out, avi::TDvAviWriter::kMinRiffLimit);
        while (w.AddFrame(frame))
            ++written;
        EXPECT_TRUE(w.Full());
        EXPECT_FALSE(w.Failed());
        ASSERT_TRUE(w.Finish());
    }
    EXPECT_EQ(written, avi::TDvAviWriter::kSuperIndexEntries);
    AviReader r(file.path());
    Layout l;
    CheckLayout(r, 200000, false, l);
    EXPECT_EQ(l.frames, written);
}
