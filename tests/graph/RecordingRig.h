#pragma once

// The graph module on the built-in virtual devices, previewing, for the tests of its
// recording branches; and what ffprobe says of the files they write.
#include "CaptureDevice.h"
#include "Dm.h"
#include "EndPart.h"
#include "Sandbox.h"
#include "SystemDevices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

inline void pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

inline bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

// A built-in virtual device by its name ("Mire de test", "Signal de test" ...), or null.
inline std::unique_ptr<TCaptureDevice> virtualDevice(TDeviceCategory category,
                                                     const QString& name) {
    TEnumeratorOptions options;
    options.deviceMonitor = false;
    options.firewire = false;
    auto enumerator = CreateSystemDeviceEnumerator(options);
    for (const TDeviceDescriptor& d : enumerator->enumerate(category))
        if (d.friendlyName == name)
            return CreateCaptureDevice(d, 1);
    return nullptr;
}

// One ffprobe line per stream: codec_type, codec_name, codec_tag_string, nb_read_frames
// (counted), sample_rate, channels; and the container's format name.
struct Probe {
    QString format;
    double duration = -1; // of the container, -1 when it tells none
    struct Stream {
        QString type, codec, tag;
        int frames = -1, rate = 0, channels = 0, width = 0, height = 0;
    };
    std::vector<Stream> streams;
    const Stream* of(const char* type) const {
        for (const Stream& s : streams)
            if (s.type == QLatin1String(type))
                return &s;
        return nullptr;
    }
};

inline Probe probe(const QString& file) {
    Probe result;
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                        "format=format_name,duration:stream=codec_type,codec_name,codec_tag_string,"
                        "nb_read_frames,sample_rate,channels,width,height",
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
        if (key == "format.duration") {
            bool number = false;
            const double d = value.toDouble(&number);
            result.duration = number ? d : -1;
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
        else if (field == "width")
            s.width = value.toInt();
        else if (field == "height")
            s.height = value.toInt();
    }
    return result;
}

// The module with virtual devices connected and previewing.
class Rig {
public:
    explicit Rig(const QString& videoName, const QString& audioName = "Signal de test",
                 const TDeviceDescriptor* own = nullptr,
                 const TDeviceDescriptor* ownAudio = nullptr,
                 std::unique_ptr<TCaptureDevice> readyVideo = {}) {
        TEnumeratorOptions options;
        options.deviceMonitor = false;
        options.firewire = false;
        m_enumerator = CreateSystemDeviceEnumerator(options);
        for (const TDeviceDescriptor& d : m_enumerator->enumerate(TDeviceCategory::Video))
            if (!videoName.isEmpty() && d.friendlyName == videoName)
                m_video = CreateCaptureDevice(d, 1);
        if (own)
            m_video = CreateCaptureDevice(*own, 1);
        if (readyVideo)
            m_video = std::move(readyVideo);
        for (const TDeviceDescriptor& d : m_enumerator->enumerate(TDeviceCategory::Audio))
            if (!audioName.isEmpty() && d.friendlyName == audioName)
                m_audio = CreateCaptureDevice(d, 1);
        if (ownAudio)
            m_audio = CreateCaptureDevice(*ownAudio, 1);
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
        endPart(dm);
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
    TCaptureDevice* video() const { return m_video.get(); }

    Sandbox box;
    Tdm dm;

private:
    std::unique_ptr<IDeviceEnumerator> m_enumerator;
    std::unique_ptr<TCaptureDevice> m_video;
    std::unique_ptr<TCaptureDevice> m_audio;
    bool m_ok = false;
};
