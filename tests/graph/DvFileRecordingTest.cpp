// A DV file played as a tape ("Fichier DV") recorded through to its end in the DV formats and
// a recompressing one: the damaged frames of the file are left out and counted as from a live
// deck, and the user's file is never written.
#include "CaptureDevice.h"
#include "DVGenerator.h"
#include "DVPacks.h"
#include "DeviceKinds.h"
#include "Dm.h"
#include "DvFile.h"
#include "Encoders.h"
#include "EndPart.h"
#include "RecordingRig.h"
#include "Sandbox.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRectF>
#include <gtest/gtest.h>

#include <random>

namespace {

QByteArray checksum(const QString& path) {
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
}

// Until the source has made no frame for a while: what was on its way has arrived.
void settle(Tdm& dm) {
    quint64 last = dm.sourceFrames();
    int still = 0;
    while (still < 15) {
        pump(20);
        const quint64 now = dm.sourceFrames();
        still = now == last ? still + 1 : 0;
        last = now;
    }
}

// Records the whole tape, from its start to where it stops, in a format.
Probe recordTheTape(Rig& rig, TDvFileDeck& deck, uint8_t format, const QString& name) {
    deck.setMode(IDvTransport::ED_MODE_STOP);
    settle(rig.dm);
    deck.seek(0);
    const QString file = rig.box.path(name);
    if (!rig.dm.BuildRecording(format, file, rig.detector(), TRecordingSettings{})) {
        ADD_FAILURE() << "format " << int(format) << ": " << rig.dm.lastError().toStdString();
        return {};
    }
    deck.setMode(IDvTransport::ED_MODE_PLAY);
    const int64_t end = int64_t(deck.frames().offsets.size());
    EXPECT_TRUE(
        waitFor([&] { return deck.mode() == IDvTransport::ED_MODE_STOP && deck.position() == end; },
                120000));
    settle(rig.dm);
    EXPECT_TRUE(endPart(rig.dm));
    return probe(file);
}

} // namespace

// A tape FFmpeg made, then damaged: zeroed frames, DIF blocks at random, a frame whose header
// says 525/60 in a 625/50 tape. It records to its end in DV type 1, DV type 2 and DivX; every
// frame that is not whole is left out and counted, the others are all there.
TEST(DvFileRecording, ADamagedFileRecordsToItsEndInEveryKindOfFormat) {
    Sandbox box;
    const QString tape = box.path("ffmpeg.dv");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-f",
                  "lavfi", "-i", "sine", "-t", "3", "-target", "pal-dv", tape});
    ASSERT_TRUE(ffmpeg.waitForFinished(120000));
    ASSERT_EQ(ffmpeg.exitCode(), 0) << ffmpeg.readAllStandardError().toStdString();
    QByteArray bytes = Sandbox::read(tape);
    const qsizetype frameSize = qsizetype(dv::kFrameSize625);
    ASSERT_EQ(bytes.size() % frameSize, 0);
    const int frames = int(bytes.size() / frameSize);
    ASSERT_GE(frames, 70);

    // Zeroed frames, zeroed blocks, DIF blocks of noise (some on a sequence's header block),
    // and a flipped system flag.
    for (int f : {10, 11})
        bytes.replace(f * frameSize, frameSize, QByteArray(frameSize, 0));
    bytes.replace(15 * frameSize + 80 * 40, 80 * 30, QByteArray(80 * 30, 0));
    std::mt19937 rng(2004);
    for (int f : {20, 30, 31, 45}) {
        for (int k = 0; k < 12; ++k) {
            const qsizetype block = std::uniform_int_distribution<qsizetype>(0, 1799)(rng);
            for (int b = 0; b < 80; ++b)
                bytes[f * frameSize + block * 80 + b] = char(rng());
        }
    }
    bytes[45 * frameSize + 6 * dv::kSequenceSize] = 0; // that block's header is noise now
    bytes[50 * frameSize + 3] = char(bytes[50 * frameSize + 3] & 0x7F);
    ASSERT_TRUE(Sandbox::write(tape, bytes));
    int whole = 0;
    for (int f = 0; f < frames; ++f)
        whole +=
            dv::IsWholeFrame({reinterpret_cast<const uint8_t*>(bytes.constData()) + f * frameSize,
                              size_t(frameSize)});
    EXPECT_EQ(whole, frames - 4); // 10, 11, 45 and 50
    const QByteArray before = checksum(tape);

    TDvFileEnumerator files(nullptr);
    QString why;
    ASSERT_TRUE(files.SetFile(tape, &why)) << why.toStdString();
    const std::vector<TDeviceDescriptor> listed = files.enumerate(TDeviceCategory::Video);
    ASSERT_EQ(listed.size(), 1u);
    Rig rig("", "DV", &listed[0]);
    ASSERT_TRUE(rig.ok());
    ASSERT_NE(rig.detector(), nullptr);
    TDvFileDeck& deck = *files.deck();
    auto* device = static_cast<TDVCaptureDevice*>(rig.video());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    for (const uint8_t format : {uint8_t(1), uint8_t(2), uint8_t(9)}) {
        SCOPED_TRACE(int(format));
        const uint64_t damaged = device->damagedFrames();
        const Probe p = recordTheTape(rig, deck, format, QString("bande%1.avi").arg(format));
        ASSERT_NE(p.of("video"), nullptr);
        EXPECT_EQ(p.of("video")->frames, whole);
        ASSERT_NE(p.of("audio"), nullptr);
        EXPECT_EQ(device->damagedFrames() - damaged, uint64_t(frames - whole));
    }
    EXPECT_EQ(checksum(tape), before);
    // The program's own DV files play as tapes in their turn.
    for (const auto& [format, kind] :
         {std::pair{1, TDvFileFrames::AviType1}, std::pair{2, TDvFileFrames::AviType2}}) {
        const auto again =
            TDvFileDeck::Open(rig.box.path(QString("bande%1.avi").arg(format)), &why);
        ASSERT_TRUE(again) << why.toStdString();
        EXPECT_EQ(again->frames().kind, kind);
        EXPECT_EQ(again->frames().offsets.size(), size_t(whole));
        EXPECT_FALSE(again->frames().cutShort);
    }
}

namespace {

// How many pixels of frame n of the file, in the box (fractions of the picture), are light on
// the blue bar of the generated tape's pattern (red and green both high): the inlay's letters.
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

// Every format the camcorder is offered in records the file's tape with its sound; the
// recompressed pictures carry the DV date inlay as the camcorder's do.
TEST(DvFileRecording, EveryFormatWithItsSoundAndTheDateInlay) {
    Sandbox box;
    dv::ClipSpec spec;
    spec.frames = 60;
    std::string error;
    const QString tape = box.path("k7.dv");
    ASSERT_TRUE(dv::GenerateClip(tape.toStdString(), spec, &error)) << error;
    const QByteArray before = checksum(tape);
    TDvFileEnumerator files(nullptr);
    QString why;
    ASSERT_TRUE(files.SetFile(tape, &why)) << why.toStdString();
    const std::vector<TDeviceDescriptor> listed = files.enumerate(TDeviceCategory::Video);
    ASSERT_EQ(listed.size(), 1u);
    Rig rig("", "DV", &listed[0]);
    ASSERT_TRUE(rig.ok());
    TDvFileDeck& deck = *files.deck();
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    for (const uint8_t format : {1, 2, 5, 6, 7, 9}) {
        SCOPED_TRACE(int(format));
        const Probe p = recordTheTape(rig, deck, format, QString("k7-%1.avi").arg(format));
        ASSERT_NE(p.of("video"), nullptr);
        // The native formats keep every frame; the encoders may round at the end.
        if (format <= 2 || format == 5)
            EXPECT_EQ(p.of("video")->frames, 60);
        else
            EXPECT_NEAR(p.of("video")->frames, 60, 2);
        ASSERT_NE(p.of("audio"), nullptr);
    }
    const QRectF blueBar(0.88, 0.15, 0.11, 0.25);
    EXPECT_EQ(lightPixels(rig.box.path("k7-6.avi"), 20, blueBar), 0);
    g_object_set(rig.dm.overlay(), "what-incrust", 0u, "format-date1", "dd", "format-date2", "",
                 "alignement", 1u, "xpos", 935, "ypos", 300, "auto-font-size", FALSE, "font-size",
                 40, "incrust-active", TRUE, "overlay-enabled", TRUE, nullptr);
    for (const uint8_t format : {6, 9}) {
        const QString name = QString("date-%1.avi").arg(format);
        recordTheTape(rig, deck, format, name);
        EXPECT_GT(lightPixels(rig.box.path(name), 20, blueBar), 50) << name.toStdString();
    }
    EXPECT_EQ(checksum(tape), before);
}
