// Recording branches on the running pipeline, fed by the built-in virtual devices; the files
// are checked with ffprobe.
#include "CaptureDevice.h"
#include "Dm.h"
#include "Encoders.h"
#include "Sandbox.h"
#include "SystemDevices.h"
#include "VidorraElements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

void pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

// One ffprobe line per stream: codec_type, codec_name, codec_tag_string, nb_read_frames
// (counted), sample_rate, channels; and the container's format name.
struct Probe {
    QString format;
    struct Stream {
        QString type, codec, tag;
        int frames = -1, rate = 0, channels = 0;
    };
    std::vector<Stream> streams;
    const Stream* of(const char* type) const {
        for (const Stream& s : streams)
            if (s.type == QLatin1String(type))
                return &s;
        return nullptr;
    }
};

Probe probe(const QString& file) {
    Probe result;
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                        "format=format_name:stream=codec_type,codec_name,codec_tag_string,"
                        "nb_read_frames,sample_rate,channels",
                        "-of", "flat", file});
    if (!p.waitForFinished(30000))
        return result;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        QString value = line.mid(eq + 1);
        value.remove('"');
        if (key == "format.format_name") {
            result.format = value;
            continue;
        }
        const QStringList parts = key.split('.'); // streams.stream.N.field
        if (parts.size() != 4)
            continue;
        const size_t index = parts[2].toUInt();
        if (result.streams.size() <= index)
            result.streams.resize(index + 1);
        Probe::Stream& s = result.streams[index];
        const QString& field = parts[3];
        if (field == "codec_type")
            s.type = value;
        else if (field == "codec_name")
            s.codec = value;
        else if (field == "codec_tag_string")
            s.tag = value;
        else if (field == "nb_read_frames")
            s.frames = value.toInt();
        else if (field == "sample_rate")
            s.rate = value.toInt();
        else if (field == "channels")
            s.channels = value.toInt();
    }
    return result;
}

// The module with virtual devices connected and previewing.
class Rig {
public:
    explicit Rig(const QString& videoName, const QString& audioName = "Signal de test") {
        TEnumeratorOptions options;
        options.deviceMonitor = false;
        options.firewire = false;
        m_enumerator = CreateSystemDeviceEnumerator(options);
        for (const TDeviceDescriptor& d : m_enumerator->enumerate(TDeviceCategory::Video))
            if (!videoName.isEmpty() && d.friendlyName == videoName)
                m_video = CreateCaptureDevice(d, 1);
        for (const TDeviceDescriptor& d : m_enumerator->enumerate(TDeviceCategory::Audio))
            if (!audioName.isEmpty() && d.friendlyName == audioName)
                m_audio = CreateCaptureDevice(d, 1);
        dm.audioSinkFactory = [] {
            GstElement* sink = gst_element_factory_make("fakesink", nullptr);
            g_object_set(sink, "sync", TRUE, nullptr);
            return sink;
        };
        if (m_video) {
            m_video->SourceFilter = m_video->SetSourceGraph(dm);
            m_ok = m_video->SetVideoGraph(dm, 1) && dm.BuildPreviewVideoChain(detector());
        }
        // The DV camcorder brings its own sound.
        TCaptureDevice* sound = audioName == "DV" ? m_video.get() : m_audio.get();
        if (sound) {
            if (sound == m_audio.get())
                m_audio->SourceFilter = m_audio->SetSourceGraph(dm);
            m_ok = m_ok || !m_video;
            m_ok = m_ok && sound->SetAudioGraph(dm, 1) && dm.BuildPreviewAudioChain();
        }
        m_ok = m_ok && dm.RunGraph();
        // Until the stream flows (the DV clip may still be being made).
        m_ok = m_ok && waitFor([this] { return !m_video || dm.previewFrames() > 3; }, 60000);
        pump(200);
    }
    ~Rig() {
        dm.EndRecordingPart();
        dm.StopGraph();
        dm.RemovePreviewVideoChain();
        dm.RemovePreviewAudioChain();
        for (TCaptureDevice* d : {m_video.get(), m_audio.get()})
            if (d) {
                d->KillVideoGraph(dm);
                d->KillAudioGraph(dm);
                d->KillSourceGraph(dm);
            }
    }
    bool ok() const { return m_ok; }
    GstElement* detector() const { return m_video ? m_video->SceneDetector() : nullptr; }

    Sandbox box;
    Tdm dm;

private:
    std::unique_ptr<IDeviceEnumerator> m_enumerator;
    std::unique_ptr<TCaptureDevice> m_video;
    std::unique_ptr<TCaptureDevice> m_audio;
    bool m_ok = false;
};

// Records about two seconds of a format and returns the probe of the file.
Probe record(Rig& rig, uint8_t format, const QString& name, int ms = 2000) {
    const QString file = rig.box.path(name);
    if (!rig.dm.BuildRecording(format, file, rig.detector())) {
        ADD_FAILURE() << "format " << int(format) << ": " << rig.dm.lastError().toStdString();
        return {};
    }
    EXPECT_TRUE(rig.dm.hasRecordingBranch());
    EXPECT_EQ(rig.dm.recordingFileName(), file);
    pump(ms);
    EXPECT_TRUE(rig.dm.EndRecordingPart());
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
        const Probe p = record(rig, 9, QString("divx_%1.avi").arg(fourcc));
        EXPECT_EQ(p.format, "avi");
        ASSERT_NE(p.of("video"), nullptr);
        EXPECT_EQ(p.of("video")->codec, "mpeg4");
        EXPECT_EQ(p.of("video")->tag, fourcc);
        expectFrames(p, 45, 56);
        ASSERT_NE(p.of("audio"), nullptr);
        EXPECT_EQ(p.of("audio")->codec, "mp3");
    }
    // Without MP3 the sound is PCM.
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, false);
    expectPcm(record(rig, 9, "divx_pcm.avi"));
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
