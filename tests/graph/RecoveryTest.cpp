#include "DVGenerator.h"
#include "LastPacket.h"
#include "RecoveryJournal.h"
#include "RunPipeline.h"
#include "Sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sys/wait.h>

namespace {

bool RunPipeline(const QString& desc) {
    return RunPipelineToEnd(desc.toStdString());
}

struct Probe {
    int status = -1;
    int frames = -1; // of the first video (or audio) stream
    double duration = -1;
};

Probe FfProbe(const QString& file, const char* stream = "v:0") {
    const QString cmd = QString("ffprobe -v error -count_frames -select_streams %1 -show_entries "
                                "stream=nb_read_frames:format=duration -of default=nw=1 '%2'")
                            .arg(stream, file);
    Probe p;
    FILE* f = ::popen(cmd.toUtf8().constData(), "r");
    if (!f)
        return p;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "nb_read_frames=", 15) == 0)
            p.frames = std::atoi(line + 15);
        else if (std::strncmp(line, "duration=", 9) == 0)
            p.duration = std::atof(line + 9);
    }
    const int st = ::pclose(f);
    p.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return p;
}

uint32_t Le32(const QByteArray& b, qint64 pos) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData() + pos);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
void SetLe32(QByteArray& b, qint64 pos, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[pos + i] = char(v >> (8 * i));
}

// The data chunks of a finished AVI: where each ends and whether it is video.
struct AviChunk {
    qint64 end;
    bool video;
};
void Walk(const QByteArray& f, qint64 pos, qint64 end, std::vector<AviChunk>& out,
          std::vector<qint64>& sizeFields) {
    while (pos + 8 <= end) {
        const uint32_t size = Le32(f, pos + 4);
        const QByteArray id = f.mid(pos, 4);
        if (id == "RIFF" || id == "LIST") {
            sizeFields.push_back(pos + 4);
            Walk(f, pos + 12, std::min<qint64>(pos + 8 + size, end), out, sizeFields);
        } else if (id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9') {
            out.push_back({pos + 8 + size, id.endsWith("dc") || id.endsWith("db")});
        }
        pos += 8 + size + (size & 1);
    }
}

// A file as a crash leaves it: cut at a byte, and the sizes and counts the writer fills in
// at the end back to 0.
QByteArray CrashAt(const QByteArray& whole, qint64 cut, bool zeroSizes) {
    QByteArray f = whole.left(cut);
    if (!zeroSizes)
        return f;
    std::vector<AviChunk> chunks;
    std::vector<qint64> sizes;
    Walk(whole, 0, whole.size(), chunks, sizes);
    for (qint64 at : sizes)
        if (at + 4 <= f.size() && f.mid(at + 4, 4) != "hdrl" && f.mid(at + 4, 4) != "strl" &&
            f.mid(at + 4, 4) != "odml")
            SetLe32(f, at, 0);
    for (qint64 at = 12; at + 8 < std::min<qint64>(f.size(), 8192); ++at)
        if (f.mid(at, 4) == "avih" || f.mid(at, 4) == "dmlh")
            SetLe32(f, at + 8 + (f.mid(at, 4) == "avih" ? 16 : 0), 0);
        else if (f.mid(at, 4) == "strh")
            SetLe32(f, at + 8 + 32, 0);
    return f;
}

int FramesBefore(const QByteArray& whole, qint64 cut) {
    std::vector<AviChunk> chunks;
    std::vector<qint64> sizes;
    Walk(whole, 0, whole.size(), chunks, sizes);
    int n = 0;
    for (const AviChunk& c : chunks)
        n += c.video && c.end <= cut;
    return n;
}

class Recovery : public ::testing::Test {
protected:
    QString Make(const QString& name, const QString& pipeline) {
        const QString path = m_box.path(name);
        // The sink goes where the description says (%1), else at its end.
        const QString desc = pipeline.contains("%1") ? pipeline.arg(path)
                                                     : pipeline + " ! filesink location=" + path;
        EXPECT_TRUE(RunPipeline(desc)) << name.toStdString();
        return path;
    }
    QString DvClip() {
        const QString path = m_box.path("clip.dv");
        dv::ClipSpec spec;
        spec.frames = 50;
        std::string error;
        EXPECT_TRUE(dv::GenerateClip(path.toStdString(), spec, &error)) << error;
        return path;
    }

    // Cuts the finished file at several places, as a crash would leave it, and checks that
    // every repaired file plays its complete frames.
    void CheckCuts(const QString& source, const char* what) {
        const QByteArray whole = Sandbox::read(source);
        ASSERT_GT(whole.size(), 10000);
        std::vector<AviChunk> chunks;
        std::vector<qint64> sizes;
        Walk(whole, 0, whole.size(), chunks, sizes);
        ASSERT_GT(chunks.size(), 10u);
        const qint64 firstData = chunks.front().end;
        const qint64 lastData = chunks.back().end;
        std::mt19937 rng(1234);
        std::vector<qint64> cuts = {
            firstData,       firstData - 3, lastData, lastData + 1, (whole.size() + lastData) / 2,
            whole.size() - 5};
        for (int i = 0; i < 4; ++i)
            cuts.push_back(std::uniform_int_distribution<qint64>(firstData, lastData)(rng));
        const QString file = m_box.path("cut.avi");
        // A file its writer finished is left as it is, rounding of lengths included.
        ASSERT_TRUE(Sandbox::write(file, whole));
        EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact) << what;
        EXPECT_EQ(Sandbox::read(file), whole) << what;
        for (const qint64 cut : cuts) {
            for (const bool zero : {false, true}) {
                SCOPED_TRACE(std::string(what) + " cut at " + std::to_string(cut) +
                             (zero ? " sizes zeroed" : ""));
                ASSERT_TRUE(Sandbox::write(file, CrashAt(whole, cut, zero)));
                ASSERT_TRUE(RepairRecording(file));
                const Probe p = FfProbe(file);
                const int present = FramesBefore(whole, cut);
                EXPECT_EQ(p.status, 0);
                EXPECT_GE(p.frames, present - 1);
                EXPECT_LE(p.frames, present);
                EXPECT_GE(p.duration, 0.0);
                EXPECT_LT(p.duration, 60.0);
                // Repaired once, the file is left as it is.
                const QByteArray repaired = Sandbox::read(file);
                EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
                EXPECT_EQ(Sandbox::read(file), repaired);
            }
        }
    }

    Sandbox m_box;
};

TEST_F(Recovery, AvimuxFilesCutShortPlayTheirCompleteFrames) {
    CheckCuts(Make("raw.avi", "videotestsrc num-buffers=50 ! video/x-raw,width=320,height=240,"
                              "framerate=25/1 ! avimux"),
              "raw video");
    CheckCuts(Make("av.avi", "videotestsrc num-buffers=50 ! video/x-raw,width=160,height=120,"
                             "framerate=25/1 ! avimux name=m ! filesink location=%1 "
                             "audiotestsrc num-buffers=50 ! audio/x-raw,rate=44100,channels=2 ! "
                             "m."),
              "video and sound");
}

// MPEG-4 pictures with MP3 sound, as a DivX recording writes them, cut short before the
// writer's end: the sound's header still says 0 bytes a second (the writer fills it in at its
// end). Repaired, the sound lasts as long as the pictures, and a second repair changes nothing.
TEST_F(Recovery, Mp3SoundOfACutDivxFileKeepsItsTimeBase) {
    const QByteArray whole = Sandbox::read(
        Make("divx.avi", "videotestsrc num-buffers=100 ! video/x-raw,width=160,height=120,"
                         "framerate=25/1 ! avenc_mpeg4 ! avimux name=m ! filesink location=%1 "
                         "audiotestsrc num-buffers=200 samplesperbuffer=960 ! "
                         "audio/x-raw,rate=48000,channels=2 ! lamemp3enc target=bitrate "
                         "bitrate=128 cbr=true ! m."));
    ASSERT_GT(whole.size(), 0);
    QByteArray early = whole;
    const qint64 strh = early.indexOf("auds") - 8;
    const qint64 strf = early.indexOf("strf", strh);
    ASSERT_GT(strh, 0);
    ASSERT_EQ(early.mid(strh, 4), "strh");
    ASSERT_GT(strf, strh);
    ASSERT_EQ(Le32(early, strh + 8 + 24), 16000u); // 128 kbit/s
    SetLe32(early, strh + 8 + 24, 0);
    SetLe32(early, strf + 8 + 8, 0);
    const qint64 idx1 = early.lastIndexOf("idx1");
    ASSERT_GT(idx1, 0);
    const QString file = m_box.path("divx-cut.avi");
    ASSERT_TRUE(Sandbox::write(file, CrashAt(early, idx1 - 1000, true)));
    ASSERT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Repaired);
    const QByteArray fixed = Sandbox::read(file);
    EXPECT_EQ(Le32(fixed, strh + 8 + 20), 1u);
    EXPECT_EQ(Le32(fixed, strh + 8 + 24), 16000u);
    EXPECT_EQ(Le32(fixed, strf + 8 + 8), 16000u);
    const double picture = lastPacketTime(file, "v:0");
    EXPECT_GT(picture, 3.0);
    EXPECT_NEAR(lastPacketTime(file, "a:0"), picture, 0.5);
    EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
    EXPECT_EQ(Sandbox::read(file), fixed);
}

// The last complete chunk, of odd size, lost its pad byte in the crash: the repair puts it
// back before the index it writes, so that the index lies where readers look for it, and a
// second repair finds the file finished.
TEST_F(Recovery, OddChunkCutBeforeItsPadByteGetsItBack) {
    const QByteArray whole =
        Sandbox::read(Make("odd.avi", "audiotestsrc num-buffers=6 samplesperbuffer=333 ! "
                                      "audio/x-raw,format=U8,rate=8000,channels=1 ! avimux"));
    std::vector<AviChunk> chunks;
    std::vector<qint64> sizes;
    Walk(whole, 0, whole.size(), chunks, sizes);
    ASSERT_GE(chunks.size(), 3u);
    const qint64 cut = chunks[2].end;
    ASSERT_EQ(cut % 2, 1);
    const QString file = m_box.path("odd-cut.avi");
    ASSERT_TRUE(Sandbox::write(file, whole.left(cut)));
    ASSERT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Repaired);
    const QByteArray fixed = Sandbox::read(file);
    EXPECT_EQ(fixed[cut], '\0');
    EXPECT_EQ(fixed.mid(cut + 1, 4), "idx1");
    EXPECT_EQ(Le32(fixed, 4), uint32_t(fixed.size() - 8));
    EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
    EXPECT_EQ(Sandbox::read(file), fixed);
    EXPECT_EQ(FfProbe(file, "a:0").status, 0);
}

TEST_F(Recovery, Mpeg4KeyFramesAreFoundAgain) {
    const QString src = Make("mp4.avi", "videotestsrc num-buffers=50 ! video/x-raw,width=160,"
                                        "height=120,framerate=25/1 ! avenc_mpeg4 gop-size=10 ! "
                                        "avimux");
    const QByteArray whole = Sandbox::read(src);
    const qint64 idx1 = whole.lastIndexOf("idx1");
    ASSERT_GT(idx1, 0);
    const QString file = m_box.path("cut.avi");
    ASSERT_TRUE(Sandbox::write(file, CrashAt(whole, idx1 - 1, true)));
    ASSERT_TRUE(RepairRecording(file));
    const QByteArray fixed = Sandbox::read(file);
    const qint64 at = fixed.lastIndexOf("idx1");
    ASSERT_GT(at, 0);
    int keys = 0, entries = 0;
    for (qint64 e = at + 8; e + 16 <= fixed.size(); e += 16, ++entries)
        keys += (Le32(fixed, e + 4) & 0x10) != 0;
    EXPECT_EQ(entries, 49); // the last frame lost its last byte
    EXPECT_EQ(keys, 5);
    EXPECT_EQ(FfProbe(file).frames, 49);
}

TEST_F(Recovery, DvAviFilesCutShortPlayTheirCompleteFrames) {
    const QString clip = DvClip();
    CheckCuts(Make("dv.avi",
                   "filesrc location=" + clip + " ! video/x-dv,systemstream=true ! vr_dvavimux"),
              "type 1 DV");
    // RIFFs of 1 MiB: seven frames each, the file is all OpenDML extensions.
    const QString odml = Make("odml.avi", "filesrc location=" + clip +
                                              " ! video/x-dv,systemstream=true ! vr_dvavimux "
                                              "riff-size=1048576");
    CheckCuts(odml, "OpenDML DV");
}

TEST_F(Recovery, UnreadableOrForeignFilesAreLeftUntouched) {
    const QString src = Make("small.avi", "videotestsrc num-buffers=10 ! video/x-raw,width=64,"
                                          "height=48 ! avimux");
    const QByteArray whole = Sandbox::read(src);
    const QString file = m_box.path("bad.avi");
    std::mt19937 rng(77);
    auto expectUntouched = [&](const QByteArray& bytes, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(Sandbox::write(file, bytes));
        EXPECT_FALSE(RepairRecording(file));
        EXPECT_EQ(Sandbox::read(file), bytes);
    };
    // Random bytes, a text, a file cut inside its headers, an empty file.
    QByteArray noise(50000, 0);
    for (char& c : noise)
        c = char(rng());
    expectUntouched(noise, "noise");
    expectUntouched("MPEG or not, nothing to do\n", "text");
    expectUntouched({}, "empty");
    for (qint64 cut : {4, 12, 30, 100, 300, 700})
        expectUntouched(whole.left(cut), "header cut");
    // A header list past the end of the file.
    QByteArray hdrl = whole;
    SetLe32(hdrl, 16, 0x7FFFFFF0);
    expectUntouched(hdrl, "hdrl past the end");
    // Tens of megabytes of data after a chunk that claims to run past the end: not a crash.
    QByteArray past = whole.left(whole.indexOf("00db") + 8);
    SetLe32(past, past.size() - 4, 0xFFFFFFF0);
    past += QByteArray(70 << 20, 'x');
    expectUntouched(past, "chunk past the end");
    // Headers followed by bytes that are no chunk at all.
    expectUntouched(whole.left(whole.indexOf("movi") + 4) + noise, "noise after the headers");
    // Half a million nested lists in the movi list end the walk without a stack overflow.
    QByteArray nested = whole.left(whole.indexOf("movi") + 4);
    for (int i = 0; i < 500000; ++i)
        nested += QByteArray("LIST\0\0\0\0rec ", 12);
    ASSERT_TRUE(Sandbox::write(file, nested));
    EXPECT_TRUE(RepairRecording(file)); // an AVI without frames
    EXPECT_EQ(FfProbe(file).status, 0);
    // Random damage to the headers never crashes and never grows the file unreasonably.
    for (int i = 0; i < 300; ++i) {
        QByteArray f = whole;
        for (int k = 0; k < 4; ++k)
            f[std::uniform_int_distribution<int>(0, 900)(rng)] = char(rng());
        f.truncate(std::uniform_int_distribution<qint64>(12, f.size())(rng));
        ASSERT_TRUE(Sandbox::write(file, f));
        RepairRecording(file);
        EXPECT_LE(QFile(file).size(), f.size() + 16 * 20 + 64);
    }
}

void CheckWav(const QString& source, Sandbox& box, int blockAlign, int headerSize) {
    const QByteArray whole = Sandbox::read(source);
    ASSERT_EQ(whole.mid(headerSize - 8, 4), "data");
    const QString file = box.path("cut.wav");
    std::mt19937 rng(99);
    for (int i = 0; i < 6; ++i) {
        const qint64 cut = std::uniform_int_distribution<qint64>(headerSize, whole.size())(rng);
        SCOPED_TRACE("cut at " + std::to_string(cut));
        QByteArray f = whole.left(cut);
        // The header the writers send before the first sound: sizes of an empty stream.
        SetLe32(f, 4, headerSize - 8);
        SetLe32(f, headerSize - 4, 0);
        ASSERT_TRUE(Sandbox::write(file, f));
        ASSERT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Repaired);
        const QByteArray fixed = Sandbox::read(file);
        const uint32_t data = Le32(fixed, headerSize - 4);
        EXPECT_EQ(data % blockAlign, 0u);
        EXPECT_EQ(data, (cut - headerSize) / blockAlign * blockAlign);
        EXPECT_EQ(Le32(fixed, 4), headerSize - 8 + data + (data & 1));
        EXPECT_EQ(fixed.size(), headerSize + data + (data & 1));
        EXPECT_EQ(fixed.left(headerSize + data).mid(headerSize), whole.mid(headerSize, data));
        const Probe p = FfProbe(file, "a:0");
        EXPECT_EQ(p.status, 0);
        EXPECT_GE(p.duration, 0.0);
        EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
    }
    // Cut inside the header: nothing to go by.
    ASSERT_TRUE(Sandbox::write(file, whole.left(headerSize - 6)));
    EXPECT_FALSE(RepairRecording(file));
    EXPECT_EQ(Sandbox::read(file), whole.left(headerSize - 6));
    // A finished file stays as it is.
    ASSERT_TRUE(Sandbox::write(file, whole));
    EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
    EXPECT_EQ(Sandbox::read(file), whole);
}

TEST_F(Recovery, WavFilesCutShortGetTheirSizesInWholeBlocks) {
    CheckWav(Make("dest.wav", "audiotestsrc num-buffers=40 ! audio/x-raw,format=S16LE,"
                              "rate=48000,channels=2 ! vr_wavedest"),
             m_box, 4, 46);
    CheckWav(Make("odd.wav", "audiotestsrc num-buffers=7 samplesperbuffer=333 ! audio/x-raw,"
                             "format=U8,rate=8000,channels=1 ! vr_wavedest"),
             m_box, 1, 46);
    CheckWav(Make("enc.wav", "audiotestsrc num-buffers=40 ! audio/x-raw,format=S16LE,"
                             "rate=44100,channels=2 ! wavenc"),
             m_box, 4, 44);
}

// A closed data chunk of odd length whose pad byte the file lost (cut one byte short): the
// pad byte comes back with a RIFF size that covers it, and a second repair finds it finished.
TEST_F(Recovery, WavLosingThePadByteOfItsLastChunkGetsItBack) {
    const QByteArray whole = Sandbox::read(Make("pad.wav", "audiotestsrc num-buffers=7 "
                                                           "samplesperbuffer=333 ! audio/x-raw,"
                                                           "format=U8,rate=8000,channels=1 ! "
                                                           "vr_wavedest"));
    ASSERT_EQ(Le32(whole, 42), 7u * 333u);
    ASSERT_EQ(whole.size(), 46 + 7 * 333 + 1);
    const QString file = m_box.path("pad-lost.wav");
    ASSERT_TRUE(Sandbox::write(file, whole.left(whole.size() - 1)));
    EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Repaired);
    EXPECT_EQ(Sandbox::read(file), whole);
    EXPECT_EQ(RepairRecordingOutcome(file), TRepairOutcome::Intact);
    EXPECT_EQ(FfProbe(file, "a:0").status, 0);
}

TEST_F(Recovery, JournalKeepsTheFilesBeingWritten) {
    const QString path = m_box.path("data/vidorra/en-cours.journal");
    TRecordingJournal journal(path);
    EXPECT_TRUE(journal.Pending().isEmpty());
    EXPECT_TRUE(journal.Add("/videos/Video_010324_093005_0.avi"));
    EXPECT_TRUE(journal.Add("/videos/Video_010324_093005_0.avi"));
    EXPECT_TRUE(journal.Add(m_box.path("Son été.wav")));
    EXPECT_FALSE(journal.Add("/videos/two\nlines.avi"));
    EXPECT_FALSE(journal.Add({}));
    EXPECT_EQ(TRecordingJournal(path).Pending(),
              QStringList({"/videos/Video_010324_093005_0.avi", m_box.path("Son été.wav")}));
    EXPECT_TRUE(journal.Remove("/videos/Video_010324_093005_0.avi"));
    EXPECT_TRUE(journal.Remove("/videos/never-there.avi"));
    EXPECT_EQ(journal.Pending(), QStringList({m_box.path("Son été.wav")}));
    // Relative names are kept absolute.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(m_box.path());
    EXPECT_TRUE(journal.Add("rel.avi"));
    QDir::setCurrent(cwd);
    EXPECT_TRUE(journal.Pending().contains(m_box.path("rel.avi")));
    EXPECT_TRUE(TRecordingJournal::DefaultPath().endsWith(
        QString("/vidorra/en-cours-%1.journal").arg(QCoreApplication::applicationPid())));
}

// At start only the journals that no running program holds are repaired: a second program,
// or a test beside another, never touches a file still being written.
TEST_F(Recovery, OnlyAbandonedJournalsAreRepairedAtStart) {
    const QByteArray whole =
        Sandbox::read(Make("src.avi", "videotestsrc num-buffers=20 ! video/x-raw,width=64,"
                                      "height=48 ! avimux"));
    const QByteArray cut = CrashAt(whole, whole.size() - 300, true);
    const QString folder = m_box.path("data/vidorra");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString live = m_box.path("live.avi"), dead = m_box.path("dead.avi"),
                  older = m_box.path("older.avi");
    for (const QString& f : {live, dead, older})
        ASSERT_TRUE(Sandbox::write(f, cut));
    ASSERT_TRUE(Sandbox::write(folder + "/en-cours-21.journal", live.toUtf8() + '\n'));
    ASSERT_TRUE(Sandbox::write(folder + "/en-cours-22.journal", dead.toUtf8() + '\n'));
    ASSERT_TRUE(Sandbox::write(folder + "/en-cours-22.journal.lock", {}));
    ASSERT_TRUE(Sandbox::write(folder + "/en-cours.journal", older.toUtf8() + '\n'));
    // The program that writes live.avi, as another process holding its journal's lock.
    QProcess holder;
    holder.start("flock", {"-x", "-o", folder + "/en-cours-21.journal.lock", "sleep", "60"});
    ASSERT_TRUE(holder.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (!TRecordingJournal(folder + "/en-cours-21.journal").HeldElsewhere() &&
           clock.elapsed() < 10000)
        QThread::msleep(20);
    ASSERT_TRUE(TRecordingJournal(folder + "/en-cours-21.journal").HeldElsewhere());
    EXPECT_FALSE(TRecordingJournal(folder + "/en-cours-22.journal").HeldElsewhere());

    EXPECT_EQ(RepairAbandonedRecordings(folder), QStringList({dead, older}));
    EXPECT_EQ(Sandbox::read(live), cut);
    EXPECT_EQ(TRecordingJournal(folder + "/en-cours-21.journal").Pending(), QStringList({live}));
    EXPECT_EQ(QDir(folder).entryList({"en-cours*"}, QDir::Files),
              QStringList({"en-cours-21.journal", "en-cours-21.journal.lock"}));
    EXPECT_EQ(FfProbe(dead).frames, FramesBefore(whole, whole.size() - 300));
    holder.kill();
    holder.waitForFinished();
    // Its program gone, the file is repaired at the next start.
    EXPECT_EQ(RepairAbandonedRecordings(folder), QStringList({live}));
    EXPECT_TRUE(QDir(folder).entryList({"en-cours*"}, QDir::Files).isEmpty());
}

TEST_F(Recovery, DamagedJournalIsReadAsFarAsItMakesSense) {
    const QString path = m_box.path("en-cours.journal");
    QByteArray bytes("/ok/one.avi\n\xff\xfe\x01garbage\nrelative/path.avi\n\0\0\0\n/ok/tw");
    bytes += QByteArray("o.avi\r\n\n/ok/one.avi\n", 20);
    bytes += QByteArray(3 << 20, '\0');
    ASSERT_TRUE(Sandbox::write(path, bytes));
    TRecordingJournal journal(path);
    EXPECT_EQ(journal.Pending(), QStringList({"/ok/one.avi"}));
    EXPECT_TRUE(journal.Add("/ok/three.avi"));
    EXPECT_EQ(journal.Pending(), QStringList({"/ok/one.avi", "/ok/three.avi"}));
    ASSERT_TRUE(Sandbox::write(path, QByteArray(1000, '\x80')));
    EXPECT_TRUE(journal.Pending().isEmpty());
    EXPECT_TRUE(journal.Remove("/ok/one.avi"));
    EXPECT_TRUE(Sandbox::read(path).isEmpty());
}

TEST_F(Recovery, PendingRecordingsAreRepairedAtStart) {
    const QByteArray whole =
        Sandbox::read(Make("src.avi", "videotestsrc num-buffers=20 ! video/x-raw,width=64,"
                                      "height=48 ! avimux"));
    const QString cut = m_box.path("cut.avi"), done = m_box.path("done.avi");
    const QString text = m_box.path("notes.mpg"), gone = m_box.path("gone.avi");
    ASSERT_TRUE(Sandbox::write(cut, CrashAt(whole, whole.size() - 300, true)));
    ASSERT_TRUE(Sandbox::write(done, whole));
    ASSERT_TRUE(Sandbox::write(text, "\0\0\1\xba not a RIFF"));
    TRecordingJournal journal(m_box.path("j/en-cours.journal"));
    for (const QString& f : {cut, done, text, gone})
        ASSERT_TRUE(journal.Add(f));
    EXPECT_EQ(RepairPendingRecordings(journal), QStringList({cut}));
    EXPECT_TRUE(journal.Pending().isEmpty());
    EXPECT_EQ(Sandbox::read(done), whole);
    EXPECT_EQ(FfProbe(cut).frames, FramesBefore(whole, whole.size() - 300));
}

TEST_F(Recovery, FreeSpaceAndMountPoint) {
    EXPECT_GT(FreeSpaceFor(m_box.path()), 0);
    // A file about to be created, in folders not made yet, is on its nearest folder's disk.
    EXPECT_EQ(FreeSpaceFor(m_box.path("a/b/Video_0.avi")) / (1 << 20),
              FreeSpaceFor(m_box.path()) / (1 << 20));
    EXPECT_EQ(MountPointOf("/proc/self/status"), "/proc");
    EXPECT_EQ(MountPointOf("/"), "/");
    const QString mount = MountPointOf(m_box.path("x/y.avi"));
    EXPECT_TRUE(m_box.path().startsWith(mount)) << mount.toStdString();
    EXPECT_EQ(MountPointOf(m_box.path()), mount);
}

} // namespace

// An image-by-image file cut short plays after its repair at the rate it was recorded for,
// which the journal keeps with its name (an older journal's plain names still read).
TEST_F(Recovery, AnImageByImageFileIsRepairedAtItsRate) {
    const QByteArray whole =
        Sandbox::read(Make("src.avi", "videotestsrc num-buffers=31 ! video/x-raw,width=64,"
                                      "height=48,framerate=25/1 ! avimux"));
    const QString cut = m_box.path("laps.avi"), plain = m_box.path("plain.avi");
    ASSERT_TRUE(Sandbox::write(cut, CrashAt(whole, whole.size() - 300, true)));
    ASSERT_TRUE(Sandbox::write(plain, CrashAt(whole, whole.size() - 300, true)));
    TRecordingJournal journal(m_box.path("j/en-cours.journal"));
    ASSERT_TRUE(journal.Add(cut, 18));
    ASSERT_TRUE(journal.Add(plain));
    ASSERT_TRUE(journal.Add(cut)); // already there: stays with its rate
    EXPECT_EQ(journal.Pending(), QStringList({cut, plain}));
    EXPECT_EQ(RepairPendingRecordings(journal), QStringList({cut, plain}));
    EXPECT_TRUE(journal.Pending().isEmpty());
    auto rate = [](const QString& file) {
        QProcess p;
        p.start("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                            "stream=r_frame_rate", "-of", "csv=p=0", file});
        p.waitForFinished(30000);
        const QString fraction = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return fraction.section('/', 0, 0).toDouble() / fraction.section('/', 1, 1).toDouble();
    };
    EXPECT_NEAR(rate(cut), 18.0, 0.001);
    EXPECT_NEAR(rate(plain), 25.0, 0.001);
}
