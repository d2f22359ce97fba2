// A DV file played as a tape: where its frames are found (raw DV, AVI of type 1 and 2), how
// foreign files that lie are taken, and the deck's transport over it.
#include "DvFile.h"
#include "CaptureDevice.h"
#include "DVGenerator.h"
#include "DVPacks.h"
#include "Sources.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

QByteArray le32(uint32_t v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}

QByteArray chunk(const char* id, const QByteArray& data) {
    QByteArray out = QByteArray(id, 4) + le32(uint32_t(data.size())) + data;
    if (data.size() & 1)
        out += '\0';
    return out;
}

QByteArray list(const char* type, const QByteArray& content) {
    return QByteArray("LIST") + le32(uint32_t(content.size() + 4)) + QByteArray(type, 4) + content;
}

struct AviLayout {
    bool type1 = true;
    bool lyingIndex = false; // idx1 entries point at the wrong bytes and sizes
    bool withAudio = false;  // a PCM stream beside the video (type 2)
};

// An AVI holding frames, laid out by hand as capture programs wrote them.
QByteArray makeAvi(const std::vector<QByteArray>& frames, const AviLayout& layout) {
    QByteArray strh(56, 0);
    strh.replace(0, 8, layout.type1 ? QByteArray("iavsdvsd") : QByteArray("vidsdvsd"));
    QByteArray strf(layout.type1 ? 32 : 40, 0);
    if (!layout.type1)
        strf.replace(16, 4, "dvsd");
    QByteArray streams = list("strl", chunk("strh", strh) + chunk("strf", strf));
    if (layout.withAudio) {
        QByteArray ah(56, 0);
        ah.replace(0, 4, "auds");
        streams += list("strl", chunk("strh", ah) + chunk("strf", QByteArray(18, 0)));
    }
    const QByteArray hdrl = list("hdrl", chunk("avih", QByteArray(56, 0)) + streams);
    QByteArray movi;
    QByteArray idx;
    const char* id = layout.type1 ? "00__" : "00dc";
    for (size_t i = 0; i < frames.size(); ++i) {
        idx += QByteArray(id, 4) + le32(0x10) + le32(uint32_t(layout.lyingIndex ? 999999 : 4)) +
               le32(uint32_t(layout.lyingIndex ? 7 : frames[i].size()));
        movi += chunk(id, frames[i]);
        if (layout.withAudio)
            movi += chunk("01wb", QByteArray(7680, 0));
    }
    const QByteArray body = QByteArray("AVI ") + hdrl + list("movi", movi) + chunk("idx1", idx);
    return QByteArray("RIFF") + le32(uint32_t(body.size())) + body;
}

std::vector<QByteArray> clipFrames(const QString& path) {
    QFile f(path);
    std::vector<QByteArray> frames;
    if (!f.open(QIODevice::ReadOnly))
        return frames;
    for (QByteArray frame = f.read(dv::kFrameSize625); frame.size() == int(dv::kFrameSize625);
         frame = f.read(dv::kFrameSize625))
        frames.push_back(frame);
    return frames;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray checksum(const QString& path) {
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
}

std::optional<TDvFileFrames> framesOf(const QByteArray& bytes, QString* why) {
    const TDvFileRead read = [&bytes](uint64_t pos, void* data, size_t size) {
        if (pos > uint64_t(bytes.size()) || size > uint64_t(bytes.size()) - pos)
            return false;
        std::memcpy(data, bytes.constData() + pos, size);
        return true;
    };
    return FindDvFileFrames(read, uint64_t(bytes.size()), why);
}

class DvFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        dv::ClipSpec spec;
        spec.frames = 20;
        spec.startTimecode = {0, 1, 2, 0};
        std::string error;
        ASSERT_TRUE(dv::GenerateClip(dir->filePath("k7.dv").toStdString(), spec, &error)) << error;
        frames = new std::vector<QByteArray>(clipFrames(dir->filePath("k7.dv")));
        ASSERT_EQ(frames->size(), 20u);
    }
    static void TearDownTestSuite() {
        delete frames;
        delete dir;
    }
    static QString path(const char* name) { return dir->filePath(name); }
    static inline QTemporaryDir* dir = nullptr;
    static inline std::vector<QByteArray>* frames = nullptr;
};

} // namespace

// Raw DV, AVI of type 1 and of type 2 (with its sound between the frames): every frame is
// found where it lies, whatever the index says.
TEST_F(DvFileTest, FindsTheFramesOfEveryKind) {
    QString why;
    auto raw = TDvFileDeck::Open(path("k7.dv"), &why);
    ASSERT_TRUE(raw) << why.toStdString();
    EXPECT_EQ(raw->frames().kind, TDvFileFrames::Raw);
    EXPECT_TRUE(raw->frames().pal);
    EXPECT_EQ(raw->frames().offsets.size(), 20u);

    struct Case {
        const char* name;
        AviLayout layout;
        TDvFileFrames::Kind kind;
    } cases[] = {
        {"type1.avi", {true, false, false}, TDvFileFrames::AviType1},
        {"type2.avi", {false, false, true}, TDvFileFrames::AviType2},
        {"menteur.avi", {true, true, false}, TDvFileFrames::AviType1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray avi = makeAvi(*frames, c.layout);
        ASSERT_TRUE(writeFile(path(c.name), avi));
        const QByteArray before = checksum(path(c.name));
        auto deck = TDvFileDeck::Open(path(c.name), &why);
        ASSERT_TRUE(deck) << why.toStdString();
        EXPECT_EQ(deck->frames().kind, c.kind);
        EXPECT_FALSE(deck->frames().cutShort);
        ASSERT_EQ(deck->frames().offsets.size(), 20u);
        for (size_t i = 0; i < 20; ++i)
            EXPECT_EQ(avi.mid(qsizetype(deck->frames().offsets[i]), dv::kFrameSize625),
                      (*frames)[i]);
        // The deck hands out the file's frames as they are.
        GstBuffer* first = deck->nextFrame();
        ASSERT_NE(first, nullptr);
        GstMapInfo map;
        gst_buffer_map(first, &map, GST_MAP_READ);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(map.data), int(map.size)),
                  frames->front());
        gst_buffer_unmap(first, &map);
        gst_buffer_unref(first);
        EXPECT_EQ(checksum(path(c.name)), before);
    }

    // A type 2 AVI as FFmpeg writes it from the raw file (its sound as PCM beside it).
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-y", "-f", "dv", "-i", path("k7.dv"), "-c:v", "copy",
                            "-c:a", "pcm_s16le", path("ffmpeg.avi")});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    ASSERT_EQ(ffmpeg.exitCode(), 0) << ffmpeg.readAllStandardError().toStdString();
    auto made = TDvFileDeck::Open(path("ffmpeg.avi"), &why);
    ASSERT_TRUE(made) << why.toStdString();
    EXPECT_EQ(made->frames().kind, TDvFileFrames::AviType2);
    EXPECT_EQ(made->frames().offsets.size(), 20u);
    EXPECT_FALSE(made->frames().cutShort);
}

// Foreign files: nothing crashes, what cannot be played is said in French, what is cut short
// plays up to its last whole frame, and the file is never written.
TEST_F(DvFileTest, HostileFilesAreSaidOrCut) {
    QString why;
    ASSERT_TRUE(writeFile(path("vide.dv"), {}));
    EXPECT_FALSE(TDvFileDeck::Open(path("vide.dv"), &why));
    EXPECT_EQ(why, "il est vide");
    EXPECT_FALSE(TDvFileDeck::Open(path("absent.dv"), &why));
    EXPECT_EQ(why, "il n'existe pas");
    EXPECT_FALSE(TDvFileDeck::Open(dir->path(), &why));
    EXPECT_EQ(why, "ce n'est pas un fichier");
    ASSERT_TRUE(writeFile(path("texte.dv"), QByteArray(300000, 'a')));
    EXPECT_FALSE(TDvFileDeck::Open(path("texte.dv"), &why));
    EXPECT_EQ(why, "ce n'est pas un fichier DV");
    ASSERT_TRUE(writeFile(path("court.dv"), frames->front().left(5000)));
    EXPECT_FALSE(TDvFileDeck::Open(path("court.dv"), &why));
    EXPECT_EQ(why, "il ne contient aucune image DV entière");

    // Cut in the middle of its fourth frame: three frames.
    QByteArray raw;
    for (const QByteArray& f : *frames)
        raw += f;
    ASSERT_TRUE(writeFile(path("coupe.dv"), raw.left(3 * dv::kFrameSize625 + 777)));
    auto cut = TDvFileDeck::Open(path("coupe.dv"), &why);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->frames().offsets.size(), 3u);
    EXPECT_TRUE(cut->frames().cutShort);
    EXPECT_FALSE(TDvFileDeck::Open(path("k7.dv"), &why)->frames().cutShort);
    const QByteArray avi = makeAvi(*frames, {});
    ASSERT_TRUE(writeFile(path("coupe.avi"), avi.left(avi.size() / 2)));
    auto cutAvi = TDvFileDeck::Open(path("coupe.avi"), &why);
    ASSERT_TRUE(cutAvi);
    EXPECT_GE(cutAvi->frames().offsets.size(), 9u);
    EXPECT_LE(cutAvi->frames().offsets.size(), 10u);
    EXPECT_TRUE(cutAvi->frames().cutShort);

    // Two million empty chunks before the one frame: walked through, the frame found.
    {
        QByteArray movi;
        for (int i = 0; i < 2000000; ++i)
            movi += QByteArray("JUNK\0\0\0\0", 8);
        movi += chunk("00dc", frames->front());
        QByteArray strh(56, 0);
        strh.replace(0, 8, "vidsdvsd");
        const QByteArray hdrl =
            list("hdrl", chunk("avih", QByteArray(56, 0)) +
                             list("strl", chunk("strh", strh) + chunk("strf", QByteArray(40, 0))));
        const QByteArray body = QByteArray("AVI ") + hdrl + list("movi", movi);
        ASSERT_TRUE(writeFile(path("vide-plein.avi"),
                              QByteArray("RIFF") + le32(uint32_t(body.size())) + body));
        auto full = TDvFileDeck::Open(path("vide-plein.avi"), &why);
        ASSERT_TRUE(full) << why.toStdString();
        ASSERT_EQ(full->frames().offsets.size(), 1u);
        EXPECT_EQ(full->frames().offsets[0],
                  uint64_t(12 + hdrl.size() + 12 + movi.size() - frames->front().size()));
    }

    // An AVI without DV.
    QByteArray other = makeAvi(*frames, {false, false, false});
    other.replace(other.indexOf("vidsdvsd") + 4, 4, "MJPG");
    other.replace(other.indexOf("dvsd"), 4, "MJPG");
    EXPECT_FALSE(framesOf(other, &why));
    EXPECT_EQ(why, "cet AVI ne contient pas de vidéo DV");

    // Sizes that lie, bytes at random, files cut anywhere: answered, never crashed on, and
    // every frame found lies inside the file.
    std::mt19937 rng(41);
    for (int i = 0; i < 400; ++i) {
        QByteArray f = avi.left(64 * 1024 + 4000);
        for (int k = 0; k < 8; ++k) {
            const qsizetype at = k < 6 ? std::uniform_int_distribution<qsizetype>(0, 400)(rng)
                                       : std::uniform_int_distribution<qsizetype>(0, 200000)(rng);
            if (at < f.size())
                f[at] = char(rng());
        }
        f.truncate(std::uniform_int_distribution<qsizetype>(0, f.size())(rng));
        const auto found = framesOf(f, &why);
        if (found)
            for (uint64_t offset : found->offsets)
                ASSERT_LE(offset + found->frameSize, uint64_t(f.size()));
        else
            EXPECT_FALSE(why.isEmpty());
    }
}

// The tape plays to its end and stops there; it winds back to its start; the timecode is the
// frame's own, and a damaged frame leaves the last good one.
TEST_F(DvFileTest, TapeStopsAtItsEndAndWindsBack) {
    QByteArray raw;
    for (const QByteArray& f : *frames)
        raw += f;
    raw.replace(5 * dv::kFrameSize625, dv::kFrameSize625, QByteArray(dv::kFrameSize625, 0));
    ASSERT_TRUE(writeFile(path("bande.dv"), raw));
    auto deck = TDvFileDeck::Open(path("bande.dv"), nullptr);
    ASSERT_TRUE(deck);
    EXPECT_EQ(deck->readiness(), 1);
    EXPECT_EQ(deck->frameDuration(), 40 * GST_MSECOND);
    int delivered = 0;
    for (int i = 0; i < 30; ++i)
        if (GstBuffer* b = deck->nextFrame()) {
            ++delivered;
            gst_buffer_unref(b);
            if (delivered == 6) // the zeroed frame: the counter holds
                EXPECT_EQ(deck->timecode().frames, 4);
        }
    EXPECT_EQ(delivered, 20);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_STOP);
    EXPECT_TRUE(deck->timecode().valid);
    EXPECT_EQ(deck->timecode().seconds, 2);
    EXPECT_EQ(deck->timecode().frames, 19);
    // Play again at the end: nothing more.
    deck->setMode(IDvTransport::ED_MODE_PLAY);
    EXPECT_EQ(deck->nextFrame(), nullptr);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_STOP);
    // Rewinding shows nothing and stops at the start.
    deck->setMode(IDvTransport::ED_MODE_REW);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(deck->nextFrame(), nullptr);
    EXPECT_EQ(deck->position(), 0);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_STOP);
    deck->setMode(IDvTransport::ED_MODE_PLAY_FASTEST_FWD);
    gst_buffer_unref(deck->nextFrame());
    EXPECT_EQ(deck->position(), 5);
    deck->setMode(IDvTransport::ED_MODE_FREEZE);
    gst_buffer_unref(deck->nextFrame());
    EXPECT_EQ(deck->position(), 5);
    deck->setMode(IDvTransport::ED_MODE_PLAY_FASTEST_REV);
    gst_buffer_unref(deck->nextFrame());
    gst_buffer_unref(deck->nextFrame());
    EXPECT_EQ(deck->position(), 0);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_STOP);
}

// The file's deck comes after every other device, under its own name: a camcorder's numbers
// and a stored "DV Source - Video" never lead to it.
TEST_F(DvFileTest, ListedAfterTheOthersUnderItsOwnName) {
    struct Two : IDeviceEnumerator {
        std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override {
            std::vector<TDeviceDescriptor> list;
            if (category != TDeviceCategory::Video)
                return list;
            for (const char* id : {"cam:1", "cam:2"}) {
                TDeviceDescriptor d;
                d.id = id;
                d.friendlyName = "Caméscope";
                d.caps = gst_caps_from_string("video/x-dv, systemstream=(boolean)true");
                d.createSource = [] { return static_cast<GstElement*>(nullptr); };
                list.push_back(d);
            }
            return list;
        }
    };
    TDvFileEnumerator enumerator(std::make_unique<Two>());
    TCaptureDeviceList devices(TDeviceCategory::Video);
    ASSERT_TRUE(devices.Refresh(enumerator));
    EXPECT_EQ(devices.Count(), 2);
    QString why;
    EXPECT_FALSE(enumerator.SetFile(path("absent.dv"), &why));
    EXPECT_EQ(enumerator.file(), QString());
    ASSERT_TRUE(enumerator.SetFile(path("k7.dv"), &why));
    ASSERT_TRUE(devices.Refresh(enumerator));
    ASSERT_EQ(devices.Count(), 3);
    EXPECT_EQ(devices.Get(0)->DisplayName, "DV Source");
    EXPECT_EQ(devices.Get(1)->DisplayName, "DV Source #2");
    EXPECT_EQ(devices.Get(2)->DisplayName, "Fichier DV");
    EXPECT_EQ(devices.Get(2)->Kind, dkDV);
    EXPECT_EQ(devices.Get(2)->Transport(), enumerator.deck().get());
    EXPECT_EQ(VideoSourceName(*devices.Get(2), 1), "Fichier DV - Video");
    EXPECT_EQ(AudioSourceName(*devices.Get(2), 1), "Fichier DV - Audio");
    // Another file is another device; none, and it goes.
    ASSERT_TRUE(enumerator.SetFile(path("k7.dv"), &why));
    ASSERT_TRUE(devices.Refresh(enumerator));
    ASSERT_EQ(devices.Count(), 3);
    EXPECT_EQ(devices.Get(2)->Transport(), enumerator.deck().get());
    EXPECT_EQ(devices.Get(2)->DisplayName, "Fichier DV");
    ASSERT_TRUE(enumerator.SetFile({}, &why));
    ASSERT_TRUE(devices.Refresh(enumerator));
    EXPECT_EQ(devices.Count(), 2);
}
