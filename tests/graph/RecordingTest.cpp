// Recording branches on the running pipeline, fed by the built-in virtual devices; the files
// are checked with ffprobe.
#include "CaptureDevice.h"
#include "DVClip.h"
#include "DVGenerator.h"
#include "DVPacks.h"
#include "DeviceKinds.h"
#include "Dm.h"
#include "Encoders.h"
#include "EndPart.h"
#include "LiveDeckSrc.h"
#include "ParameterTable.h"
#include "PatchFrameRate.h"
#include "PlugIns.h"
#include "RecordingRig.h"
#include "RecoveryJournal.h"
#include "Sandbox.h"
#include "SystemDevices.h"
#include "VidorraElements.h"
#include "VirtualDevices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRectF>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <functional>
#include <gst/base/gstbasetransform.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>

namespace {

// Records `ms` worth of a format (its pictures at 25 a second) and returns the probe of
// the file. A loaded machine makes the pictures more slowly than the clock: the part lasts
// until the source has made that many, four times as long at most; without a picture it
// records `ms` of sound.
// `during` runs while the part records.
Probe record(Rig& rig, uint8_t format, const QString& name, int ms = 2000,
             const TRecordingSettings& settings = {}, const std::function<void()>& during = {}) {
    const QString file = rig.box.path(name);
    if (!rig.dm.BuildRecording(format, file, rig.detector(), settings)) {
        ADD_FAILURE() << "format " << int(format) << ": " << rig.dm.lastError().toStdString();
        return {};
    }
    EXPECT_TRUE(rig.dm.hasRecordingBranch());
    EXPECT_EQ(rig.dm.recordingFileName(), file);
    const quint64 from = rig.dm.sourceFrames(), pictures = quint64(ms) * 25 / 1000;
    QElapsedTimer clock;
    clock.start();
    waitFor(
        [&] {
            const quint64 made = rig.dm.sourceFrames() - from;
            return made >= pictures || (made == 0 && clock.elapsed() >= ms);
        },
        4 * ms);
    if (during)
        during();
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_FALSE(rig.dm.hasRecordingBranch());
    return probe(file);
}

void expectPcm(const Probe& p, int rate = 48000) {
    const Probe::Stream* a = p.of("audio");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->codec, "pcm_s16le");
    EXPECT_EQ(a->rate, rate);
    EXPECT_EQ(a->channels, 2);
}

void expectFrames(const Probe& p, int low, int high) {
    const Probe::Stream* v = p.of("video");
    ASSERT_NE(v, nullptr);
    EXPECT_GE(v->frames, low);
    EXPECT_LE(v->frames, high);
}

// The microseconds per frame an AVI file's header gives its picture (0: none found).
uint32_t headerMicroSecondsPerFrame(const QString& file) {
    QFile avi(file);
    if (!avi.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = avi.readAll();
    const TAviReader read = [&bytes](uint64_t pos, void* data, size_t n) {
        if (pos + n > uint64_t(bytes.size()))
            return false;
        memcpy(data, bytes.constData() + pos, n);
        return true;
    };
    uint64_t at = 0;
    uint32_t fields[2] = {0, 0};
    if (FindVideoRateField(read, bytes.size(), at) != TAviWalk::Found || !read(at, fields, 8) ||
        fields[1] != 1000000u)
        return 0;
    return fields[0];
}

// The program's parameters, made for one test and left behind with it (Prm points into
// them meanwhile).
struct ScopedParameters {
    TparameterList list{QStringLiteral("recording test")};
    ScopedParameters() { CreateParameters(list); }
    ~ScopedParameters() { Prm = TParameters{}; }
};

} // namespace

TEST(Recording, WavFromTheTestSignal) {
    Rig rig("", "Signal de test");
    ASSERT_TRUE(rig.ok());
    const Probe p = record(rig, 11, "son.wav");
    EXPECT_EQ(p.format, "wav");
    expectPcm(p);
    EXPECT_EQ(rig.dm.recordedFrames(), 0u);
}

TEST(Recording, NativeAviOfTheTestPattern) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    const Probe p = record(rig, 5, "natif.avi");
    EXPECT_EQ(p.format, "avi");
    ASSERT_NE(p.of("video"), nullptr);
    EXPECT_EQ(p.of("video")->codec, "rawvideo");
    expectFrames(p, 45, 56);
    expectPcm(p);
    // The preview went on during the recording and goes on after it.
    const quint64 shown = rig.dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return rig.dm.previewFrames() > shown + 3; }, 2000));
}

TEST(Recording, DivxWritesTheFourccOfTheChosenEntry) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    for (const char* fourcc : {"XVID", "DX50"}) {
        Encoders().Assign({{"Codec", "avenc_mpeg4", fourcc}}, true);
        // Longer than the branch's queues hold: the sound must keep pace with the pictures
        // in the muxer (it stalled once the encoder lost the pictures' times).
        const bool longer = fourcc == std::string("XVID");
        const Probe p = record(rig, 9, QString("divx_%1.avi").arg(fourcc), longer ? 5000 : 2000);
        EXPECT_EQ(p.format, "avi");
        ASSERT_NE(p.of("video"), nullptr);
        EXPECT_EQ(p.of("video")->codec, "mpeg4");
        EXPECT_EQ(p.of("video")->tag, fourcc);
        if (longer)
            expectFrames(p, 115, 135);
        else
            expectFrames(p, 45, 56);
        const Probe::Stream* a = p.of("audio");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->codec, "mp3");
        ASSERT_GT(a->rate, 0);
        const double sound = a->frames * 1152.0 / a->rate;
        const double pictures = p.of("video")->frames / 25.0;
        EXPECT_NEAR(sound, pictures, 0.5) << fourcc;
    }
    // Without MP3 the sound is PCM.
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    expectPcm(record(rig, 9, "divx_pcm.avi"));
}

TEST(Recording, RecompressedDvWmvAndMp3FromTheTestDevices) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    Probe dv = record(rig, 6, "dv2rec.avi");
    EXPECT_EQ(dv.format, "avi");
    ASSERT_NE(dv.of("video"), nullptr);
    EXPECT_EQ(dv.of("video")->codec, "dvvideo");
    expectFrames(dv, 45, 56);
    expectPcm(dv);

    Probe wmv = record(rig, 7, "film.wmv");
    EXPECT_EQ(wmv.format, "asf");
    ASSERT_NE(wmv.of("video"), nullptr);
    EXPECT_EQ(wmv.of("video")->codec, "wmv2");
    expectFrames(wmv, 45, 56);
    ASSERT_NE(wmv.of("audio"), nullptr);
    EXPECT_EQ(wmv.of("audio")->codec, "wmav2");

    // MP3 in the WAV writer's RIFF layout.
    Probe mp3 = record(rig, 12, "son.mp3");
    EXPECT_EQ(mp3.format, "wav");
    ASSERT_NE(mp3.of("audio"), nullptr);
    EXPECT_EQ(mp3.of("audio")->codec, "mp3");
    EXPECT_EQ(mp3.of("audio")->rate, 48000);
}

// The camcorder's interlaced picture in WMV (the encoder takes progressive pictures only).
TEST(Recording, WmvFromTheDvCamcorder) {
    Rig rig("DV virtuel", "DV");
    ASSERT_TRUE(rig.ok());
    Probe wmv = record(rig, 7, "camescope.wmv");
    EXPECT_EQ(wmv.format, "asf");
    ASSERT_NE(wmv.of("video"), nullptr);
    EXPECT_EQ(wmv.of("video")->codec, "wmv2");
    expectFrames(wmv, 40, 56);
    ASSERT_NE(wmv.of("audio"), nullptr);
    EXPECT_EQ(wmv.of("audio")->codec, "wmav2");
}

// A WMV file is written as a stream so that a file cut short plays; at its end, or at the
// next start when it was cut short, its header gets its length.
TEST(Recording, WmvTellsItsLengthEvenCutShort) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    const Probe wmv = record(rig, 7, "film.wmv", 3000);
    ASSERT_NE(wmv.of("video"), nullptr);
    const int frames = wmv.of("video")->frames;
    EXPECT_GE(frames, 70);
    EXPECT_NEAR(wmv.duration, frames / 25.0, 0.15);

    const QByteArray whole = Sandbox::read(rig.box.path("film.wmv"));
    const QString file = rig.box.path("cut.wmv");
    std::mt19937 rng(99);
    for (int i = 0; i < 5; ++i) {
        const qint64 cut =
            std::uniform_int_distribution<qint64>(whole.size() / 4, whole.size())(rng);
        SCOPED_TRACE("cut at " + std::to_string(cut));
        QByteArray bytes = whole.left(cut);
        // As the writer leaves it while recording: a stream of unknown length.
        const qint64 properties =
            bytes.indexOf(QByteArray::fromHex("a1dcab8c47a9cf118ee400c00c205365"));
        ASSERT_GT(properties, 0);
        bytes[properties + 24 + 64] = char(bytes[properties + 24 + 64] | 1);
        ASSERT_TRUE(Sandbox::write(file, bytes));
        ASSERT_TRUE(RepairRecording(file));
        const Probe p = probe(file);
        ASSERT_NE(p.of("video"), nullptr);
        EXPECT_GT(p.of("video")->frames, 10);
        EXPECT_NEAR(p.duration, p.of("video")->frames / 25.0, 0.25);
        EXPECT_EQ(QFile(file).size(), cut);
        // Once done, the file is left as it is.
        const QByteArray repaired = Sandbox::read(file);
        EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
        EXPECT_EQ(Sandbox::read(file), repaired);
    }
    // Damaged headers and packets never crash and never change the file's size.
    for (int i = 0; i < 300; ++i) {
        QByteArray f = whole;
        for (int k = 0; k < 6; ++k) {
            const qint64 at = k < 4 ? std::uniform_int_distribution<qint64>(0, 700)(rng)
                                    : std::uniform_int_distribution<qint64>(0, f.size() - 1)(rng);
            f[at] = char(rng());
        }
        f.truncate(std::uniform_int_distribution<qint64>(16, f.size())(rng));
        ASSERT_TRUE(Sandbox::write(file, f));
        RepairRecording(file);
        ASSERT_EQ(QFile(file).size(), f.size());
    }
}

TEST(Recording, NativeFormatsOfTheDvCamcorder) {
    Rig rig("DV virtuel", "DV");
    ASSERT_TRUE(rig.ok());
    ASSERT_NE(rig.detector(), nullptr);
    Probe type1 = record(rig, 1, "type1.avi");
    EXPECT_EQ(type1.format, "avi");
    ASSERT_NE(type1.of("video"), nullptr);
    EXPECT_EQ(type1.of("video")->codec, "dvvideo");
    expectFrames(type1, 45, 56);

    Probe type2 = record(rig, 2, "type2.avi");
    EXPECT_EQ(type2.format, "avi");
    ASSERT_NE(type2.of("video"), nullptr);
    EXPECT_EQ(type2.of("video")->codec, "dvvideo");
    expectFrames(type2, 45, 56);
    expectPcm(type2);
}

TEST(Recording, NativeMpegStream) {
    Rig rig("MPEG virtuel");
    ASSERT_TRUE(rig.ok());
    Probe p = record(rig, 3, "flux.mpg");
    EXPECT_EQ(p.format, "mpeg");
    ASSERT_NE(p.of("video"), nullptr);
    EXPECT_EQ(p.of("video")->codec, "mpeg2video");
    expectFrames(p, 35, 56);
    ASSERT_NE(p.of("audio"), nullptr);
}

// A cut loses no frame: the two parts hold every frame that reached the capture gate, and
// both files are complete; a frozen stretch leaves no gap in the file.
TEST(Recording, CutAndFreezeLoseNothing) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    static std::atomic<int> reached{0};
    reached = 0;
    GstElement* gate = rig.dm.element("Control_Capture_Video");
    ASSERT_NE(gate, nullptr);
    GstPad* src = gst_element_get_static_pad(gate, "src");
    const gulong probeId = gst_pad_add_probe(
        src, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            ++reached;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    const QString first = rig.box.path("part0.avi"), second = rig.box.path("part1.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(9, first, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    // The steps follow the pictures, not the clock: a loaded machine makes them late.
    ASSERT_TRUE(waitFor([] { return reached >= 30; }, 10000));
    const int atCut = reached.load();
    ASSERT_TRUE(rig.dm.SplitRecording(second));
    EXPECT_EQ(rig.dm.recordingFileName(), second);
    ASSERT_TRUE(waitFor([&] { return reached >= atCut + 15; }, 10000));
    rig.dm.SetCaptureFrozen(true);
    const int atFreeze = reached.load();
    pump(600);
    rig.dm.SetCaptureFrozen(false);
    ASSERT_TRUE(waitFor([&] { return reached >= atFreeze + 15; }, 10000));
    // A freeze leaves pictures out on purpose: none of them is counted lost.
    EXPECT_EQ(rig.dm.droppedFrames(), 0u);
    EXPECT_TRUE(endPart(rig.dm));
    gst_pad_remove_probe(src, probeId);
    gst_object_unref(src);
    const Probe a = probe(first), b = probe(second);
    ASSERT_NE(a.of("video"), nullptr);
    ASSERT_NE(b.of("video"), nullptr);
    EXPECT_EQ(a.of("video")->tag, "XVID");
    EXPECT_EQ(b.of("video")->tag, "XVID");
    EXPECT_EQ(a.of("video")->frames + b.of("video")->frames, reached.load());
    // What passed the gate before the cut was asked is the first part's; what the branch
    // still held then may join it, never more than a fraction of a second.
    EXPECT_GE(a.of("video")->frames, atCut - 1);
    EXPECT_LE(a.of("video")->frames, atCut + 15);
    // The sound is cut where the pictures are: each part holds as much of both.
    for (const Probe* part : {&a, &b}) {
        const Probe::Stream* sound = part->of("audio");
        ASSERT_NE(sound, nullptr);
        ASSERT_GT(sound->rate, 0);
        EXPECT_NEAR(sound->frames * 1152.0 / sound->rate, part->of("video")->frames / 25.0, 0.15);
    }
}

// Image by image: N grants give N frames at the chosen rate; no grant leaves no file.
TEST(Recording, FrameByFrame) {
    Rig rig("Mire de test", "");
    ASSERT_TRUE(rig.ok());
    QString ended;
    quint64 endedFrames = 99;
    rig.dm.onFrameByFrameEnd = [&](const QString& file, quint64 frames) {
        ended = file;
        endedFrames = frames;
    };
    const QString file = rig.box.path("images.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(8, file, nullptr, TRecordingSettings{}));
    for (int i = 0; i < 4; ++i) {
        rig.dm.GrantFrame();
        pump(200);
    }
    EXPECT_EQ(rig.dm.recordedFrames(), 4u);
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_EQ(ended, file);
    EXPECT_EQ(endedFrames, 4u);
    const Probe p = probe(file);
    ASSERT_NE(p.of("video"), nullptr);
    EXPECT_EQ(p.of("video")->codec, "dvvideo");
    EXPECT_EQ(p.of("video")->frames, 4);
    // 18 frames a second, as the settings' default says.
    EXPECT_EQ(headerMicroSecondsPerFrame(file), 55556u);

    const QString empty = rig.box.path("rien.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(8, empty, nullptr, TRecordingSettings{}));
    pump(300);
    endPart(rig.dm);
    EXPECT_EQ(endedFrames, 0u);
    EXPECT_FALSE(QFile::exists(empty));
}

// The recording is built with the settings it is handed, not with the program's parameters:
// image by image at 10 frames a second writes that rate into the header while the
// parameters say 25.
TEST(Recording, FrameByFrameRateComesFromTheSettingsHandedIn) {
    Rig rig("Mire de test", "");
    ASSERT_TRUE(rig.ok());
    ScopedParameters parameters;
    Prm.framerate->Value = 25.0;
    TRecordingSettings settings;
    settings.framerate = 10.0;
    const QString file = rig.box.path("dix.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(8, file, nullptr, settings))
        << rig.dm.lastError().toStdString();
    for (int i = 0; i < 3; ++i) {
        rig.dm.GrantFrame();
        pump(200);
    }
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_EQ(headerMicroSecondsPerFrame(file), 100000u);
}

// A cut keeps the settings the recording started with: the caller's settings and the
// parameters changed meanwhile reach neither the part that ends nor the one that begins.
TEST(Recording, CutKeepsTheSettingsOfTheRecordingsStart) {
    Rig rig("Mire de test", "");
    ASSERT_TRUE(rig.ok());
    ScopedParameters parameters;
    Prm.framerate->Value = 25.0;
    TRecordingSettings settings;
    settings.framerate = 10.0;
    const QString first = rig.box.path("avant.avi"), second = rig.box.path("apres.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(8, first, nullptr, settings))
        << rig.dm.lastError().toStdString();
    settings.framerate = 30.0;
    Prm.framerate->Value = 12.5;
    for (int i = 0; i < 2; ++i) {
        rig.dm.GrantFrame();
        pump(200);
    }
    ASSERT_TRUE(rig.dm.SplitRecording(second)) << rig.dm.lastError().toStdString();
    for (int i = 0; i < 3; ++i) {
        rig.dm.GrantFrame();
        pump(200);
    }
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_EQ(headerMicroSecondsPerFrame(first), 100000u);
    EXPECT_EQ(headerMicroSecondsPerFrame(second), 100000u);
}

// A nearly full filesystem ends the recording by itself, with a complete file.
TEST(Recording, DiskReserveEndsAPlayablePart) {
    Rig rig("", "Signal de test");
    ASSERT_TRUE(rig.ok());
    const QString dir = rig.box.path("petit");
    QDir().mkpath(dir);
    if (mount("tmpfs", dir.toUtf8().constData(), "tmpfs", 0, "size=4M") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    QString stopped;
    QObject::connect(&rig.dm, &Tdm::recordingStoppedByDiskReserve,
                     [&](const QString& file) { stopped = file; });
    const QString file = dir + "/long.wav";
    ASSERT_TRUE(rig.dm.BuildRecording(11, file, nullptr, TRecordingSettings{}));
    // 192 kB/s: 4 MiB would be full after about 22 s.
    EXPECT_TRUE(waitFor([&] { return !stopped.isEmpty(); }, 40000));
    EXPECT_FALSE(rig.dm.hasRecordingBranch());
    EXPECT_EQ(stopped, file);
    const Probe p = probe(file);
    EXPECT_EQ(p.format, "wav");
    expectPcm(p);
    const qint64 size = QFileInfo(file).size();
    EXPECT_GT(size, 2 * 1024 * 1024);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(44);
    // The RIFF size covers the whole file: the header was finished.
    const quint32 riff = quint8(head[4]) | quint8(head[5]) << 8 | quint8(head[6]) << 16 |
                         quint32(quint8(head[7])) << 24;
    EXPECT_EQ(qint64(riff) + 8, size);
    f.close();
    umount(dir.toUtf8().constData());
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

// A camcorder tape with dropouts: a generated clip played in a loop in which one frame is
// zeroed, one has random bytes over its picture blocks and one claims the 525/60 system.
class DamagedTape : public IDeckFeed {
public:
    explicit DamagedTape(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return;
        const QByteArray clip = f.readAll();
        for (qsizetype at = 0; at + qsizetype(dv::kFrameSize625) <= clip.size();
             at += qsizetype(dv::kFrameSize625))
            m_frames.emplace_back(clip.constData() + at, clip.constData() + at + dv::kFrameSize625);
        if (m_frames.size() < 40)
            return;
        std::fill(m_frames[10].begin(), m_frames[10].end(), 0);
        std::mt19937 random(3);
        for (size_t i = 6 * 80; i < 140 * 80; ++i)
            m_frames[20][3 * dv::kSequenceSize + i] = uint8_t(random());
        m_frames[30][3] &= 0x7F;
    }
    int readiness() const override { return m_frames.empty() ? -1 : 1; }
    GstCaps* caps() const override {
        return gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr);
    }
    GstClockTime frameDuration() const override { return 40 * GST_MSECOND; }
    GstBuffer* nextFrame() override {
        const std::vector<uint8_t>& f = m_frames[m_next++ % m_frames.size()];
        return gst_buffer_new_memdup(f.data(), f.size());
    }
    const std::vector<std::vector<uint8_t>>& frames() const { return m_frames; }

private:
    std::vector<std::vector<uint8_t>> m_frames;
    size_t m_next = 0;
};

} // namespace

// A tape with dropouts records through them in every DV format: the damaged frames are left
// out (and count as lost), the source goes on.
TEST(Recording, DamagedTapeRecordsThroughItsDropouts) {
    Sandbox box;
    dv::ClipSpec spec;
    spec.frames = 50;
    std::string error;
    ASSERT_TRUE(dv::GenerateClip(box.path("tape.dv").toStdString(), spec, &error)) << error;
    auto tape = std::make_shared<DamagedTape>(box.path("tape.dv"));
    ASSERT_EQ(tape->frames().size(), 50u);
    EXPECT_TRUE(dv::IsWholeFrame(tape->frames()[0]));
    EXPECT_FALSE(dv::IsWholeFrame(tape->frames()[10]));
    EXPECT_FALSE(dv::IsWholeFrame(tape->frames()[30]));

    TDeviceDescriptor d;
    d.id = "test:tape";
    d.friendlyName = "Bande abîmée";
    d.caps = tape->caps();
    d.createSource = [tape] { return MakeLiveDeck(tape); };
    Rig rig("", "DV", &d);
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    for (const uint8_t format : {uint8_t(1), uint8_t(2), uint8_t(9)}) {
        SCOPED_TRACE(int(format));
        const Probe p = record(rig, format, QString("abime%1.avi").arg(format), 3000);
        ASSERT_NE(p.of("video"), nullptr);
        // Three seconds at 25 frames a second, less what the dropouts cost.
        EXPECT_GE(p.of("video")->frames, 60);
    }
    const auto* dvDevice = static_cast<TDVCaptureDevice*>(rig.video());
    EXPECT_GE(dvDevice->damagedFrames(), 3u);
    // The preview goes on.
    const quint64 shown = rig.dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return rig.dm.previewFrames() > shown + 10; }, 5000));
}

// A recording slower than real time (here a file writer that takes 100 ms a picture) loses
// pictures, counted as lost, rather than hold up the source: the preview keeps its rate.
TEST(Recording, SlowBranchLosesPicturesNotThePreview) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    const QString file = rig.box.path("lent.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(5, file, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    GstIterator* it = gst_bin_iterate_recurse(rig.dm.pipeline());
    GValue item = G_VALUE_INIT;
    std::vector<GstPad*> slowed;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(e);
        if (f && g_str_equal(GST_OBJECT_NAME(f), "filesink"))
            slowed.push_back(gst_element_get_static_pad(e, "sink"));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    ASSERT_FALSE(slowed.empty());
    std::vector<gulong> slowing;
    for (GstPad* pad : slowed)
        slowing.push_back(gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer) {
                QThread::msleep(100);
                return GST_PAD_PROBE_OK;
            },
            nullptr, nullptr));
    pump(3000); // the branch's queue fills
    const quint64 before = rig.dm.previewFrames();
    QElapsedTimer clock;
    clock.start();
    pump(3000);
    const double rate = (rig.dm.previewFrames() - before) * 1000.0 / clock.elapsed();
    EXPECT_GT(rate, 18.0);
    EXPECT_GT(rig.dm.droppedFrames(), 10u);
    // The disk is fast again: what the queue holds is written at once.
    for (size_t i = 0; i < slowed.size(); ++i) {
        gst_pad_remove_probe(slowed[i], slowing[i]);
        gst_object_unref(slowed[i]);
    }
    EXPECT_TRUE(endPart(rig.dm));
}

// What stops a recording is told in French, once: a full disk is "le disque est plein".
TEST(Recording, ErrorsAreToldInFrench) {
    GError* full = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT,
                                       "No space left on the resource.");
    EXPECT_EQ(FrenchErrorReason(full), "le disque est plein");
    g_error_free(full);
    GError* write = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_WRITE, "x");
    EXPECT_EQ(FrenchErrorReason(write), "le fichier ne peut pas être écrit");
    g_error_free(write);
    GError* other = g_error_new_literal(GST_CORE_ERROR, GST_CORE_ERROR_PAD, "Internal");
    EXPECT_EQ(FrenchErrorReason(other), "une erreur s'est produite (Internal)");
    g_error_free(other);
    EXPECT_FALSE(FrenchErrorReason(nullptr).isEmpty());
}

namespace {

// Marks on both streams of a recording, at the same running times: every second, one white
// picture in black ones and a 40 ms beep in silence. The pictures are MPEG-2 with a key
// frame every 0.6 s, as a capture card would deliver them.
constexpr GstClockTime kMarkPeriod = GST_SECOND;

GstClockTime runningOf(GstPad* pad, GstClockTime pts) {
    GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
    if (!event)
        return pts;
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    const GstClockTime running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, pts);
    gst_event_unref(event);
    return running;
}

std::atomic<gint64> lastKeyFrame{0}; // monotonic µs of the last key frame out of the encoder

GstElement* markedMpegSource() {
    GstElement* bin = gst_parse_bin_from_description(
        "videotestsrc is-live=true pattern=black name=pictures ! "
        "video/x-raw,format=I420,width=352,height=288,framerate=25/1 ! "
        "mpeg2enc format=3 b-per-refframe=0 min-gop-size=15 max-gop-size=15 ! "
        "mpegvideoparse name=parser",
        TRUE, nullptr);
    if (!bin)
        return nullptr;
    GstElement* pictures = gst_bin_get_by_name(GST_BIN(bin), "pictures");
    GstPad* out = gst_element_get_static_pad(pictures, "src");
    gst_pad_add_probe(
        out, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad* pad, GstPadProbeInfo* info, gpointer) {
            GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
            const GstClockTime start = runningOf(pad, GST_BUFFER_PTS(buf));
            const GstClockTime end = start + 40 * GST_MSECOND;
            if (!GST_CLOCK_TIME_IS_VALID(start) || start / kMarkPeriod == end / kMarkPeriod ||
                end % kMarkPeriod == 0)
                return GST_PAD_PROBE_OK;
            buf = gst_buffer_make_writable(buf);
            GstMapInfo map;
            if (gst_buffer_map(buf, &map, GST_MAP_WRITE)) {
                memset(map.data, 235, 352 * 288); // the luma plane, white
                gst_buffer_unmap(buf, &map);
            }
            GST_PAD_PROBE_INFO_DATA(info) = buf;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(out);
    gst_object_unref(pictures);
    GstElement* parser = gst_bin_get_by_name(GST_BIN(bin), "parser");
    GstPad* coded = gst_element_get_static_pad(parser, "src");
    gst_pad_add_probe(
        coded, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer) {
            if (!GST_BUFFER_FLAG_IS_SET(GST_PAD_PROBE_INFO_BUFFER(info),
                                        GST_BUFFER_FLAG_DELTA_UNIT))
                lastKeyFrame = g_get_monotonic_time();
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(coded);
    gst_object_unref(parser);
    return bin;
}

GstElement* markedSoundSource() {
    GstElement* bin = gst_parse_bin_from_description(
        "audiotestsrc is-live=true wave=silence samplesperbuffer=480 name=sound ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved",
        TRUE, nullptr);
    if (!bin)
        return nullptr;
    GstElement* sound = gst_bin_get_by_name(GST_BIN(bin), "sound");
    GstPad* out = gst_element_get_static_pad(sound, "src");
    gst_pad_add_probe(
        out, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad* pad, GstPadProbeInfo* info, gpointer) {
            GstBuffer* buf = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            const GstClockTime start = runningOf(pad, GST_BUFFER_PTS(buf));
            GstMapInfo map;
            if (GST_CLOCK_TIME_IS_VALID(start) && gst_buffer_map(buf, &map, GST_MAP_WRITE)) {
                auto* samples = reinterpret_cast<int16_t*>(map.data);
                const size_t frames = map.size / 4;
                for (size_t i = 0; i < frames; ++i) {
                    const GstClockTime t = start + i * GST_SECOND / 48000;
                    const bool beep = t % kMarkPeriod < 40 * GST_MSECOND;
                    const auto v =
                        int16_t(beep ? 12000 * std::sin(2 * M_PI * 1000.0 * t / 1e9) : 0);
                    samples[2 * i] = samples[2 * i + 1] = v;
                }
                gst_buffer_unmap(buf, &map);
            }
            GST_PAD_PROBE_INFO_DATA(info) = buf;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(out);
    gst_object_unref(sound);
    return bin;
}

// The times (seconds, as a player reads them) of the white pictures and of the starts of the
// beeps of a file.
std::vector<double> marksIn(const QString& file, bool pictures) {
    const QString graph = pictures ? QString("movie=%1,signalstats").arg(file)
                                   : QString("amovie=%1,asetnsamples=n=240,astats=metadata=1:"
                                             "reset=1")
                                         .arg(file);
    const QString key = pictures ? "lavfi.signalstats.YAVG" : "lavfi.astats.Overall.RMS_level";
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-f", "lavfi", graph, "-show_entries",
                        "frame=pts_time:frame_tags=" + key, "-of", "csv=p=0"});
    p.waitForFinished(60000);
    std::vector<double> marks;
    bool was = false;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const QStringList fields = line.split(',');
        if (fields.size() < 2)
            continue;
        const double value = fields[1].toDouble();
        const bool on = pictures ? value > 128 : fields[1] != "-inf" && value > -40;
        if (on && !was)
            marks.push_back(fields[0].toDouble());
        was = on;
    }
    return marks;
}

// The white pictures of the file have their beeps within a picture's time (the sound encoder
// delays them a little); a mark at the edge of a frozen stretch may have lost its beep.
void expectInStep(const QString& file) {
    SCOPED_TRACE(file.toStdString());
    const std::vector<double> flashes = marksIn(file, true);
    const std::vector<double> beeps = marksIn(file, false);
    size_t inStep = 0;
    QStringList seen;
    for (const double flash : flashes) {
        double nearest = 1e9;
        for (const double beep : beeps)
            if (std::abs(beep - flash) < std::abs(nearest))
                nearest = beep - flash;
        seen << QString::number(nearest, 'f', 3);
        if (nearest > -0.045 && nearest < 0.085)
            ++inStep;
    }
    EXPECT_GE(flashes.size(), 3u);
    EXPECT_GE(inStep + 1, flashes.size())
        << "sound after picture: " << seen.join(' ').toStdString();
}

} // namespace

// A native MPEG recording keeps the sound where the pictures are: from the start, after a
// cut and after a freeze, although the pictures of each file wait for their first key frame.
TEST(Recording, NativeMpegSoundStaysWithThePictures) {
    for (const char* name : {"mpeg2enc", "mpegpsmux", "mpegvideoparse"}) {
        GstElementFactory* factory = gst_element_factory_find(name);
        if (!factory)
            GTEST_SKIP() << name << " missing";
        gst_object_unref(factory);
    }
    TDeviceDescriptor video;
    video.id = "test:marked-mpeg";
    video.friendlyName = "MPEG marqué";
    video.caps =
        gst_caps_from_string("video/mpeg, mpegversion=(int)2, systemstream=(boolean)false, "
                             "parsed=(boolean)true, width=(int)352, height=(int)288, "
                             "framerate=(fraction)25/1");
    video.createSource = markedMpegSource;
    TDeviceDescriptor sound;
    sound.id = "test:marked-sound";
    sound.friendlyName = "Son marqué";
    sound.caps = gst_caps_from_string("audio/x-raw, format=(string)S16LE, rate=(int)48000, "
                                      "channels=(int)2, layout=(string)interleaved");
    sound.createSource = markedSoundSource;
    Rig rig("", "", &video, &sound);
    ASSERT_TRUE(rig.ok());
    pump(1000);
    // Start just after a key frame: the pictures then wait most of a group for the next one.
    ASSERT_TRUE(waitFor([] { return g_get_monotonic_time() - lastKeyFrame < 100000; }, 5000));
    const QString first = rig.box.path("natif0.mpg"), second = rig.box.path("natif1.mpg");
    ASSERT_TRUE(rig.dm.BuildRecording(3, first, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    pump(3300);
    ASSERT_TRUE(waitFor([] { return g_get_monotonic_time() - lastKeyFrame < 100000; }, 5000));
    ASSERT_TRUE(rig.dm.SplitRecording(second));
    // The cut waits for a key frame to begin the new file: the seconds of the second part are
    // counted from there.
    ASSERT_TRUE(waitUntilIdle(rig.dm, 10000));
    pump(2300);
    rig.dm.SetCaptureFrozen(true);
    pump(700);
    rig.dm.SetCaptureFrozen(false);
    pump(3000);
    EXPECT_TRUE(endPart(rig.dm));
    expectInStep(first);
    expectInStep(second);
}

// Cuts that wait too long for the streams (the old file's writer holds a buffer longer than
// the wait) move them over once they are free: the preview never stops, the recording goes
// on, and no part is left empty.
TEST(Recording, CutsThatTimeOutKeepTheRecording) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    rig.dm.setEndWait(500);
    static std::atomic<bool> hold{false};
    hold = false;
    auto holdWriterOf = [&rig](const QString& file) {
        GstIterator* it = gst_bin_iterate_recurse(rig.dm.pipeline());
        GValue item = G_VALUE_INIT;
        bool found = false;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto* e = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* f = gst_element_get_factory(e);
            gchar* location = nullptr;
            if (f && g_str_equal(GST_OBJECT_NAME(f), "filesink"))
                g_object_get(e, "location", &location, nullptr);
            if (location && file == QString::fromUtf8(location)) {
                GstPad* pad = gst_element_get_static_pad(e, "sink");
                gst_pad_add_probe(
                    pad, GST_PAD_PROBE_TYPE_BUFFER,
                    [](GstPad*, GstPadProbeInfo*, gpointer) {
                        if (hold.exchange(false))
                            QThread::msleep(1200);
                        return GST_PAD_PROBE_OK;
                    },
                    nullptr, nullptr);
                gst_object_unref(pad);
                found = true;
            }
            g_free(location);
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        return found;
    };
    static std::atomic<int> reached{0};
    reached = 0;
    GstElement* gate = rig.dm.element("Control_Capture_Video");
    ASSERT_NE(gate, nullptr);
    GstPad* gateOut = gst_element_get_static_pad(gate, "src");
    const gulong counting = gst_pad_add_probe(
        gateOut, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            ++reached;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    // The window goes on while a cut waits.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestStill = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestStill = std::max(longestStill, sinceTick.restart()); });
    ticks.start(20);
    QStringList parts;
    parts << rig.box.path("coupe0.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(9, parts.back(), nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    for (int cut = 1; cut <= 3; ++cut) {
        // A cut follows the one before once that has finished its file, as the window's do.
        ASSERT_TRUE(waitUntilIdle(rig.dm, 15000)) << "cut " << cut;
        ASSERT_TRUE(holdWriterOf(parts.back()));
        pump(700);
        hold = true;
        pump(20);
        parts << rig.box.path(QString("coupe%1.avi").arg(cut));
        ASSERT_TRUE(rig.dm.SplitRecording(parts.back()));
        ASSERT_TRUE(rig.dm.hasRecordingBranch()) << "cut " << cut;
    }
    pump(800);
    ticks.stop();
    EXPECT_LT(longestStill, 300);
    const quint64 shown = rig.dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return rig.dm.previewFrames() > shown + 10; }, 3000));
    ASSERT_TRUE(rig.dm.hasRecordingBranch());
    EXPECT_TRUE(endPart(rig.dm));
    gst_pad_remove_probe(gateOut, counting);
    gst_object_unref(gateOut);
    // Every frame is in a part (those held up go to the next one), and no part is empty.
    int recorded = 0;
    for (const QString& part : parts) {
        SCOPED_TRACE(part.toStdString());
        const Probe p = probe(part);
        ASSERT_NE(p.of("video"), nullptr);
        EXPECT_GT(p.of("video")->frames, 0);
        recorded += p.of("video")->frames;
    }
    EXPECT_EQ(recorded, reached.load());
}

// A stop while the encoder is well behind its source (more than the wait for the end): the
// frames it still has to encode are waited for as long as they keep reaching the file.
TEST(Recording, AStopBehindTheEncoderKeepsEveryFrame) {
    Rig rig("Mire de test", "");
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    rig.dm.setEndWait(400);
    const QString file = rig.box.path("lent.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(9, file, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    // Every picture handed to the recording, and an encoder that takes 70 ms a picture of a
    // source giving one every 40 ms.
    static std::atomic<int> handed{0};
    handed = 0;
    const auto probeOn = [&rig](const char* element, GstPadProbeCallback callback) {
        GstElement* e = gst_bin_get_by_name(rig.dm.pipeline(), element);
        ASSERT_NE(e, nullptr) << element;
        GstPad* in = gst_element_get_static_pad(e, "sink");
        gst_pad_add_probe(in, GST_PAD_PROBE_TYPE_BUFFER, callback, nullptr, nullptr);
        gst_object_unref(in);
        gst_object_unref(e);
    };
    probeOn("VideoCap queue", [](GstPad*, GstPadProbeInfo*, gpointer) {
        ++handed;
        return GST_PAD_PROBE_OK;
    });
    probeOn("divx", [](GstPad*, GstPadProbeInfo*, gpointer) {
        QThread::msleep(70);
        return GST_PAD_PROBE_OK;
    });
    pump(3000);
    // About a second of pictures waits in the queue for the encoder.
    EXPECT_TRUE(endPart(rig.dm));
    const Probe p = probe(file);
    ASSERT_NE(p.of("video"), nullptr);
    EXPECT_GT(handed.load(), 40);
    EXPECT_EQ(p.of("video")->frames, handed.load());
}

// The camcorder's type 1 file is written from the stream and by the writer the device hands
// over: a cut swaps that writer and loses no frame.
TEST(Recording, DvType1CutLosesNothing) {
    Rig rig("DV virtuel", "DV");
    ASSERT_TRUE(rig.ok());
    static std::atomic<int> reached{0};
    reached = 0;
    GstElement* gate = rig.dm.element("Control_Capture_Video");
    ASSERT_NE(gate, nullptr);
    GstPad* src = gst_element_get_static_pad(gate, "src");
    const gulong counting = gst_pad_add_probe(
        src, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            ++reached;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    const QString first = rig.box.path("dv0.avi"), second = rig.box.path("dv1.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(1, first, rig.detector(), TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    ASSERT_TRUE(waitFor([] { return reached >= 37; }, 10000));
    const int atCut = reached.load();
    ASSERT_TRUE(rig.dm.SplitRecording(second));
    ASSERT_TRUE(waitFor([&] { return reached >= atCut + 37; }, 10000));
    EXPECT_TRUE(endPart(rig.dm));
    gst_pad_remove_probe(src, counting);
    gst_object_unref(src);
    const Probe a = probe(first), b = probe(second);
    ASSERT_NE(a.of("video"), nullptr);
    ASSERT_NE(b.of("video"), nullptr);
    EXPECT_EQ(a.of("video")->codec, "dvvideo");
    EXPECT_EQ(b.of("video")->codec, "dvvideo");
    EXPECT_GE(a.of("video")->frames, atCut - 1);
    EXPECT_LE(a.of("video")->frames, atCut + 15);
    EXPECT_EQ(a.of("video")->frames + b.of("video")->frames, reached.load());
}

// The example plug-in takes the test pattern over: its picture is previewed and recorded as
// "avi natif" from the tee it hands over.
TEST(Recording, ExamplePlugInIsPreviewedAndRecorded) {
    TpluginList plugins;
    plugins.Discover(QFileInfo(QStringLiteral(VR_EXAMPLE_PLUGIN)).absolutePath());
    const int index = plugins.IndexOf("Mire de test");
    ASSERT_GE(index, 0);
    TVirtualDevices virtualDevices;
    auto device = std::make_unique<TPlugInCaptureDevice>(plugins.Share(index),
                                                         virtualDevices.videoDevices()[0], 1);
    ASSERT_TRUE(device->Valid);
    EXPECT_EQ(device->DisplayName, QStringLiteral("Mire de test (plug-in d'exemple)"));
    Rig rig("", "Signal de test", nullptr, nullptr, std::move(device));
    ASSERT_TRUE(rig.ok());
    EXPECT_EQ(rig.video()->NativeFormat1, 5);
    const Probe p = record(rig, 5, "exemple.avi", 2000);
    EXPECT_EQ(p.format, "avi");
    ASSERT_NE(p.of("video"), nullptr);
    EXPECT_EQ(p.of("video")->width, 640);
    EXPECT_EQ(p.of("video")->height, 480);
    expectFrames(p, 40, 56);
    expectPcm(p);
}

// A plug-in that writes its own type 1 file does so part after part: both parts of a cut
// are complete.
TEST(Recording, PlugInWritesItsOwnFileAcrossACut) {
    for (const char* name : {"jpegenc", "avimux"}) {
        GstElementFactory* factory = gst_element_factory_find(name);
        if (!factory)
            GTEST_SKIP() << name << " missing";
        gst_object_unref(factory);
    }
    TpluginList plugins;
    plugins.Discover(QStringLiteral(VR_TEST_PLUGINS));
    const int index = plugins.IndexOf(QStringLiteral("Caméra plug-in"));
    ASSERT_GE(index, 0);
    TDeviceDescriptor d;
    d.id = "test:plugin";
    d.friendlyName = QStringLiteral("Caméra plug-in");
    d.caps = gst_caps_from_string("video/x-raw");
    d.createSource = [] { return gst_element_factory_make("videotestsrc", nullptr); };
    auto device = std::make_unique<TPlugInCaptureDevice>(plugins.Share(index), d, 1);
    ASSERT_TRUE(device->Valid);
    Rig rig("", "", nullptr, nullptr, std::move(device));
    ASSERT_TRUE(rig.ok());
    ASSERT_EQ(rig.video()->NativeFormat1, 1);
    const QString first = rig.box.path("propre0.avi"), second = rig.box.path("propre1.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(1, first, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    EXPECT_EQ(rig.dm.recordingFileName(), first);
    pump(1500);
    ASSERT_TRUE(rig.dm.SplitRecording(second));
    EXPECT_EQ(rig.dm.recordingFileName(), second);
    pump(1500);
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_FALSE(rig.dm.hasRecordingBranch());
    for (const QString& part : {first, second}) {
        SCOPED_TRACE(part.toStdString());
        const Probe p = probe(part);
        EXPECT_EQ(p.format, "avi");
        ASSERT_NE(p.of("video"), nullptr);
        EXPECT_EQ(p.of("video")->codec, "mjpeg");
        EXPECT_GE(p.of("video")->frames, 25);
    }
}

namespace {

// The format the overlay draws on, once the stream flows.
QString overlayFormat(Rig& rig) {
    GstPad* pad = gst_element_get_static_pad(rig.dm.overlay(), "sink");
    GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    QString format;
    if (caps && gst_caps_get_size(caps) > 0)
        format =
            QString::fromUtf8(gst_structure_get_string(gst_caps_get_structure(caps, 0), "format"));
    if (caps)
        gst_caps_unref(caps);
    if (pad)
        gst_object_unref(pad);
    return format;
}

// The colour bars of the test pattern (white, yellow, cyan, green, magenta, red, blue)
// across a BGR row of `width` pixels: how many bars are off their colour by more than 40
// levels on a channel.
int wrongBars(const uint8_t* bgrRow, int width) {
    static const uint8_t bars[7][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                       {255, 0, 255},   {0, 0, 255},   {255, 0, 0}};
    int wrong = 0;
    for (int i = 0; i < 7; ++i) {
        const uint8_t* px = bgrRow + ((2 * i + 1) * width / 14) * 3;
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(px[c]) - int(bars[i][c])) > 40) {
                ++wrong;
                break;
            }
    }
    return wrong;
}

// Whether the element named in the recording branch lets its pictures through unconverted.
bool passesThrough(Rig& rig, const char* name) {
    GstElement* e = rig.dm.element(name);
    return e && GST_IS_BASE_TRANSFORM(e) &&
           gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(e));
}

} // namespace

// A Motion-JPEG webcam: its decoded pictures reach the overlay in the decoder's I420 (the
// test pattern's in its BGR), the encoders take them as they are, a still grabbed from them
// is BGR with its colours right, and the branches fed by them record them whole with the
// inlay and a flip on; the DivX resizer scales the I420 itself.
TEST(Recording, MjpegWebcamFeedsEveryBranch) {
    {
        Rig mire("Mire de test");
        ASSERT_TRUE(mire.ok());
        EXPECT_EQ(overlayFormat(mire), "BGR");
    }
    TDeviceDescriptor webcam;
    webcam.friendlyName = QStringLiteral("Webcam MJPEG");
    webcam.id = QStringLiteral("test:webcam-mjpeg");
    webcam.caps = gst_caps_from_string("image/jpeg,width=320,height=240,framerate=25/1");
    webcam.createSource = [] {
        return gst_parse_bin_from_description(
            "videotestsrc is-live=true pattern=smpte ! "
            "video/x-raw,format=I420,width=320,height=240,framerate=25/1 ! jpegenc ! "
            "image/jpeg,width=320,height=240,framerate=25/1",
            TRUE, nullptr);
    };
    Rig rig("", "Signal de test", &webcam);
    ASSERT_TRUE(rig.ok());
    EXPECT_EQ(overlayFormat(rig), "I420");

    // A still of the I420 stream: a BGR picture of the stream's size, the bars in their order.
    std::vector<uint8_t> still;
    int stillWidth = 0, stillHeight = 0;
    const QMetaObject::Connection grabbed =
        QObject::connect(&rig.dm, &Tdm::elementMessage, [&](GstMessage* message) {
            const GstStructure* s = gst_message_get_structure(message);
            if (!s || !gst_structure_has_name(s, "vr-snapshot") || !still.empty())
                return;
            GstSample* sample = nullptr;
            gint slot = -1;
            gst_structure_get(s, "sample", GST_TYPE_SAMPLE, &sample, "slot", G_TYPE_INT, &slot,
                              nullptr);
            if (sample) {
                const GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
                if (g_strcmp0(gst_structure_get_string(caps, "format"), "BGR") == 0) {
                    gst_structure_get_int(caps, "width", &stillWidth);
                    gst_structure_get_int(caps, "height", &stillHeight);
                    GstMapInfo map;
                    GstBuffer* buffer = gst_sample_get_buffer(sample);
                    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                        still.assign(map.data, map.data + map.size);
                        gst_buffer_unmap(buffer, &map);
                    }
                }
                gst_sample_unref(sample);
            }
            if (slot >= 0)
                g_signal_emit_by_name(rig.dm.overlay(), "release-slot", slot);
        });
    g_signal_emit_by_name(rig.dm.overlay(), "grab-image");
    EXPECT_TRUE(waitFor([&] { return !still.empty(); }, 5000));
    QObject::disconnect(grabbed);
    ASSERT_EQ(stillWidth, 320);
    ASSERT_EQ(stillHeight, 240);
    ASSERT_GE(still.size(), size_t(320 * 240 * 3));
    EXPECT_EQ(wrongBars(&still[size_t(40) * 320 * 3], 320), 0);

    g_object_set(rig.dm.overlay(), "what-incrust", 2u, "incrust1", "Vidorra", "incrust-active",
                 TRUE, "vert-flip", TRUE, nullptr);

    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    const Probe divx = record(rig, 9, "webcam_divx.avi", 2000, {}, [&] {
        EXPECT_TRUE(passesThrough(rig, "Resizer"));
        EXPECT_TRUE(passesThrough(rig, "divx convert"));
    });
    EXPECT_EQ(divx.format, "avi");
    ASSERT_NE(divx.of("video"), nullptr);
    EXPECT_EQ(divx.of("video")->codec, "mpeg4");
    expectFrames(divx, 45, 56);

    // Shaped to 16:9 by the resizer on the I420 as it comes: the bars keep their colours.
    TRecordingSettings wide;
    wide.ratioDivX = 2;
    const Probe resized = record(rig, 9, "webcam_divx_16x9.avi", 2000, wide, [&] {
        EXPECT_FALSE(passesThrough(rig, "Resizer"));
        EXPECT_TRUE(passesThrough(rig, "divx convert"));
    });
    ASSERT_NE(resized.of("video"), nullptr);
    EXPECT_EQ(resized.of("video")->width, 320);
    EXPECT_EQ(resized.of("video")->height, 180);
    expectFrames(resized, 45, 56);
    {
        QProcess p;
        p.start("ffmpeg", {"-v", "error", "-i", rig.box.path("webcam_divx_16x9.avi"), "-vf",
                           "select=eq(n\\,10)", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt",
                           "bgr24", "-"});
        p.waitForFinished(60000);
        const QByteArray bgr = p.readAllStandardOutput();
        ASSERT_EQ(bgr.size(), 320 * 180 * 3);
        // Flipped, the bars fill the rows from a third of the height down.
        EXPECT_EQ(wrongBars(reinterpret_cast<const uint8_t*>(bgr.constData()) + 90 * 320 * 3, 320),
                  0);
    }

    const Probe wmv = record(rig, 7, "webcam.wmv", 2000, {},
                             [&] { EXPECT_TRUE(passesThrough(rig, "wmv convert")); });
    EXPECT_EQ(wmv.format, "asf");
    ASSERT_NE(wmv.of("video"), nullptr);
    EXPECT_EQ(wmv.of("video")->codec, "wmv2");
    expectFrames(wmv, 45, 56);

    const Probe dv = record(rig, 6, "webcam_dv.avi");
    ASSERT_NE(dv.of("video"), nullptr);
    EXPECT_EQ(dv.of("video")->codec, "dvvideo");
    expectFrames(dv, 45, 56);
    EXPECT_GT(rig.dm.previewFrames(), 100u);
}

namespace {

// How many pixels of frame n of the file, in the box (fractions of the picture), are light
// on the blue bar of the camcorder's pattern (red and green both high): the inlay's letters.
int lightPixels(const QString& file, int n, QRectF box) {
    QProcess p;
    p.start("ffmpeg",
            {"-v", "error", "-i", file, "-vf", QString("select=eq(n\\,%1),scale=360:288").arg(n),
             "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    p.waitForFinished(60000);
    const QByteArray rgb = p.readAllStandardOutput();
    if (rgb.size() != 360 * 288 * 3)
        return -1;
    int light = 0;
    for (int y = int(box.top() * 288); y < int(box.bottom() * 288); ++y)
        for (int x = int(box.left() * 360); x < int(box.right() * 360); ++x) {
            const auto* px = reinterpret_cast<const uchar*>(rgb.constData()) + (y * 360 + x) * 3;
            light += px[0] > 160 && px[1] > 160;
        }
    return light;
}

} // namespace

// The camcorder's picture recompressed (DV type 2, DivX) is the preview's, with its inlay:
// the recording date drawn on the blue bar of the pattern.
TEST(Recording, RecompressedCamcorderPicturesCarryTheInlay) {
    Rig rig("DV virtuel", "DV");
    ASSERT_TRUE(rig.ok());
    const QRectF blueBar(0.88, 0.15, 0.11, 0.25);
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    const QString plain = rig.box.path("sans.avi");
    record(rig, 6, "sans.avi");
    EXPECT_EQ(lightPixels(plain, 20, blueBar), 0);
    g_object_set(rig.dm.overlay(), "what-incrust", 0u, "format-date1", "dd", "format-date2", "",
                 "alignement", 1u, "xpos", 935, "ypos", 300, "auto-font-size", FALSE, "font-size",
                 40, "incrust-active", TRUE, "overlay-enabled", TRUE, nullptr);
    for (const auto& [format, name] : {std::pair{6, "dv2rec.avi"}, std::pair{9, "divx.avi"}}) {
        record(rig, uint8_t(format), name);
        EXPECT_GT(lightPixels(rig.box.path(name), 20, blueBar), 50) << name;
    }
}

// Every format a virtual video source is offered in records pictures that play (with the
// source's sound or the test signal): the matrix a user walks through.
TEST(Recording, EveryFormatFromEveryVirtualSource) {
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    const struct {
        const char* video;
        const char* audio;
        std::vector<int> formats;
    } sources[] = {
        {"Mire de test", "Signal de test", {5, 6, 7, 9}},
        {"DV virtuel", "DV", {1, 2, 5, 6, 7, 9}},
        {"MPEG virtuel", "Signal de test", {3, 6, 7, 9}},
    };
    for (const auto& source : sources) {
        Rig rig(source.video, source.audio);
        ASSERT_TRUE(rig.ok()) << source.video;
        for (int format : source.formats) {
            SCOPED_TRACE(std::string(source.video) + ", format " + std::to_string(format));
            const Probe p = record(rig, uint8_t(format), QString("f%1.bin").arg(format), 1600);
            ASSERT_NE(p.of("video"), nullptr);
            EXPECT_GE(p.of("video")->frames, 25);
            if (format != 3) {
                EXPECT_NE(p.of("audio"), nullptr);
            }
        }
    }
}

// Another program fills the disk while a DivX file is written: the part ends, but its end
// cannot be written. The user is not told the file is complete; it stays in the journal and
// plays once repaired (at the next start, when there is room again).
TEST(Recording, ADiskFilledByAnotherProgramLeavesTheFileToRepair) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    const QString dir = rig.box.path("plein");
    QDir().mkpath(dir);
    if (mount("tmpfs", dir.toUtf8().constData(), "tmpfs", 0, "size=8M") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        QByteArray dir;
        ~Unmount() { umount2(dir.constData(), MNT_DETACH); }
    } unmount{dir.toUtf8()};
    bool ended = false;
    QObject::connect(&rig.dm, &Tdm::recordingStoppedByDiskReserve, [&] { ended = true; });
    QObject::connect(&rig.dm, &Tdm::recordingEndedByError, [&] { ended = true; });
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    const QString file = dir + "/divx.avi";
    ASSERT_TRUE(rig.dm.BuildRecording(9, file, nullptr, TRecordingSettings{}));
    ASSERT_TRUE(waitFor([&] { return QFileInfo(file).size() > 256 * 1024; }, 30000));
    {
        QFile filler(dir + "/autre-programme");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    ASSERT_TRUE(waitFor([&] { return ended && !rig.dm.hasRecordingBranch(); }, 40000));
    EXPECT_FALSE(rig.dm.lastPartWhole());
    TRecordingJournal journal;
    EXPECT_TRUE(journal.Pending().contains(file));
    QFile::remove(dir + "/autre-programme");
    EXPECT_TRUE(RepairPendingRecordings(journal).contains(file));
    const Probe p = probe(file);
    ASSERT_NE(p.of("video"), nullptr);
    EXPECT_GT(p.of("video")->frames, 5);
}
