#include "PatchFrameRate.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

void Put32(QByteArray& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.append(char(v >> (8 * i)));
}

QByteArray Chunk(const char* id, const QByteArray& data, int64_t size = -1) {
    QByteArray b(id, 4);
    Put32(b, size < 0 ? uint32_t(data.size()) : uint32_t(size));
    b += data;
    if (data.size() & 1)
        b.append('\0');
    return b;
}

QByteArray List(const char* id, const char* type, const QByteArray& content) {
    return Chunk(id, QByteArray(type, 4) + content);
}

QByteArray Strh(const char* type, uint32_t scale = 1, uint32_t rate = 25) {
    QByteArray d(type, 4);
    d += QByteArray("dvsd", 4);
    Put32(d, 0);
    Put32(d, 0);
    Put32(d, 0);
    Put32(d, scale);
    Put32(d, rate);
    d += QByteArray(56 - d.size(), '\0');
    return Chunk("strh", d);
}

// RIFF AVI with hdrl (avih, strl per stream type), movi with one odd-sized chunk, idx1.
QByteArray Avi(std::initializer_list<const char*> streams) {
    QByteArray hdrl = Chunk("avih", QByteArray(56, '\x11'));
    for (const char* s : streams)
        hdrl += List("LIST", "strl", Strh(s) + Chunk("strf", QByteArray(32, '\x22')));
    const QByteArray movi = List("LIST", "movi", Chunk("00dc", QByteArray(7, '\x33')));
    return List("RIFF", "AVI ", List("LIST", "hdrl", hdrl) + movi + Chunk("idx1", {}));
}

uint32_t Le32(const QByteArray& b, qsizetype at) {
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

class PatchFile : public ::testing::Test {
protected:
    QString Write(const QByteArray& bytes) {
        QFile f(m_path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return m_path;
    }
    QByteArray Read() {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir m_dir;
    QString m_path = m_dir.path() + "/capture.avi";
};

} // namespace

TEST(FrameRateFields, RoundsAndRefusesUnusableRates) {
    EXPECT_EQ(FrameRateFields(18)->dwScale, 55556u);
    EXPECT_EQ(FrameRateFields(18)->dwRate, 1000000u);
    EXPECT_EQ(FrameRateFields(25)->dwScale, 40000u);
    EXPECT_EQ(FrameRateFields(0.5)->dwScale, 2000000u);
    EXPECT_EQ(FrameRateFields(1000000)->dwScale, 1u);
    for (double bad : {0.0, -18.0, 3e6, 1e-4, std::nan(""), HUGE_VAL})
        EXPECT_FALSE(FrameRateFields(bad)) << bad;
}

TEST_F(PatchFile, PatchesTheLastVideoHeaderOnly) {
    const QByteArray avi = Avi({"vids", "auds", "iavs", "auds"});
    Write(avi);
    EXPECT_EQ(PatchFrameRate(m_path, 18.0), TPatchResult::Patched);
    const QByteArray after = Read();
    ASSERT_EQ(after.size(), avi.size());
    const qsizetype first = avi.indexOf("vids"), last = avi.indexOf("iavs");
    EXPECT_EQ(Le32(after, first + 20), 1u) << "an earlier video header keeps its rate";
    EXPECT_EQ(Le32(after, last + 20), 55556u);
    EXPECT_EQ(Le32(after, last + 24), 1000000u);
    QByteArray expected = avi;
    expected.replace(last + 20, 8, after.mid(last + 20, 8));
    EXPECT_EQ(after, expected) << "nothing else changes, the main header included";
}

TEST_F(PatchFile, FilesItCannotUseAreLeftUntouched) {
    const QByteArray wav = List("RIFF", "WAVE", Chunk("fmt ", QByteArray(16, 1)));
    const QByteArray audioOnly = Avi({"auds"});
    const QByteArray cases[] = {wav, audioOnly, QByteArray(), QByteArray("RIFF"),
                                QByteArray(4096, '\0')};
    const TPatchResult expected[] = {TPatchResult::NotAvi, TPatchResult::NoVideoStream,
                                     TPatchResult::NotAvi, TPatchResult::NotAvi,
                                     TPatchResult::NotAvi};
    for (size_t i = 0; i < std::size(cases); ++i) {
        Write(cases[i]);
        EXPECT_EQ(PatchFrameRate(m_path, 18.0), expected[i]) << i;
        EXPECT_EQ(Read(), cases[i]) << i;
    }
    Write(Avi({"vids"}));
    EXPECT_EQ(PatchFrameRate(m_path, 0.0), TPatchResult::InvalidRate);
    EXPECT_EQ(Read(), Avi({"vids"}));
    EXPECT_EQ(PatchFrameRate(m_dir.path() + "/absent.avi", 18), TPatchResult::CannotOpen);
    EXPECT_FALSE(QFile::exists(m_dir.path() + "/absent.avi"));
}

TEST_F(PatchFile, HostileStructuresEndTheWalk) {
    const QByteArray strh = Strh("vids");
    // A list whose size runs far past the end, holding a complete stream header: found.
    QByteArray longList = List("RIFF", "AVI ", List("LIST", "hdrl", List("LIST", "strl", strh)));
    longList.replace(16, 4, QByteArray("\xF0\xFF\xFF\x7F", 4));
    Write(longList);
    EXPECT_EQ(PatchFrameRate(m_path, 18), TPatchResult::Patched);
    EXPECT_EQ(Le32(Read(), longList.indexOf("vids") + 20), 55556u);

    // A stream header that claims 56 bytes but is cut by the end of the file: not patched.
    QByteArray cut = List("RIFF", "AVI ", List("LIST", "hdrl", List("LIST", "strl", strh)));
    cut.truncate(cut.indexOf("vids") + 24);
    Write(cut);
    EXPECT_EQ(PatchFrameRate(m_path, 18), TPatchResult::NoVideoStream);
    EXPECT_EQ(Read(), cut);

    // A stream header too small to hold the rate, and lists with sizes below their type.
    const QByteArray shortStrh = Chunk("strh", QByteArray("vids", 4) + QByteArray(20, 0));
    const QByteArray tiny =
        List("RIFF", "AVI ",
             Chunk("LIST", {}, 0) + Chunk("LIST", "hd", 2) + List("LIST", "strl", shortStrh));
    Write(tiny);
    EXPECT_EQ(PatchFrameRate(m_path, 18), TPatchResult::NoVideoStream);
    EXPECT_EQ(Read(), tiny);

    // Lists nested deeper than any AVI: the walk stops going down, and does not loop.
    QByteArray deep = List("LIST", "strl", strh);
    for (int i = 0; i < 200; ++i)
        deep = List("LIST", "hdrl", deep);
    deep = List("RIFF", "AVI ", deep);
    Write(deep);
    EXPECT_EQ(PatchFrameRate(m_path, 18), TPatchResult::NoVideoStream);
    EXPECT_EQ(Read(), deep);

    // Zero-sized and odd-sized chunks before the headers are stepped over with their pad.
    const QByteArray odd = List(
        "RIFF", "AVI ",
        Chunk("JUNK", {}) + Chunk("JUNK", "abc") +
            List("LIST", "hdrl", Chunk("avih", QByteArray(5, 1)) + List("LIST", "strl", strh)));
    Write(odd);
    EXPECT_EQ(PatchFrameRate(m_path, 18), TPatchResult::Patched);
    EXPECT_EQ(Le32(Read(), odd.indexOf("vids") + 20), 55556u);
}

// Truncated at every length and mutated at random: the file either keeps every byte, or
// changes in exactly the 8 bytes behind a video stream type.
TEST_F(PatchFile, CutsAndMutationsNeverWriteElsewhere) {
    const QByteArray avi = Avi({"auds", "vids"});
    auto check = [&](const QByteArray& before) {
        Write(before);
        const TPatchResult r = PatchFrameRate(m_path, 18);
        const QByteArray after = Read();
        ASSERT_EQ(after.size(), before.size());
        qsizetype firstDiff = -1, lastDiff = -1;
        for (qsizetype i = 0; i < after.size(); ++i)
            if (after[i] != before[i]) {
                if (firstDiff < 0)
                    firstDiff = i;
                lastDiff = i;
            }
        if (r != TPatchResult::Patched) {
            EXPECT_EQ(firstDiff, -1);
            return;
        }
        if (firstDiff < 0)
            return; // the rate was already the one written
        EXPECT_LE(lastDiff - firstDiff, 7);
        // The field sits 20 bytes into a stream header of type vids or iavs.
        bool explained = false;
        for (qsizetype at = std::max<qsizetype>(0, lastDiff - 7); at <= firstDiff; ++at) {
            const QByteArray type = before.mid(at - 20, 4);
            if (at >= 28 && (type == "vids" || type == "iavs") && before.mid(at - 28, 4) == "strh")
                explained = true;
        }
        EXPECT_TRUE(explained) << "changed at " << firstDiff;
    };
    for (qsizetype n = 0; n <= avi.size(); ++n)
        check(avi.left(n));
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        QByteArray m = avi;
        const int changes = 1 + int(rng() % 4);
        for (int c = 0; c < changes; ++c)
            m[qsizetype(rng() % m.size())] = char(rng() % 3 == 0 ? 0xFF : rng());
        check(m);
    }
}
