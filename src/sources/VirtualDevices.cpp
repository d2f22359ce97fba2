#include "VirtualDevices.h"

#include "DVGenerator.h"
#include "DVPacks.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gst/app/gstappsink.h>
#include <gst/base/gstbasesrc.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// --- TVirtualMaterial ---

namespace {

// An exclusive lock on a file beside the material. The kernel lets it go with the descriptor,
// also when the process is killed, so a dead maker never blocks the next one.
class TLockFile {
public:
    explicit TLockFile(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {}
    ~TLockFile() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    TLockFile(const TLockFile&) = delete;
    TLockFile& operator=(const TLockFile&) = delete;

    // Waits for the lock while another process holds it; false when told to give up. A folder
    // where no lock file can be made goes without one (the temporary name is ours anyway).
    bool Acquire(const std::atomic<bool>& giveUp) {
        if (m_fd < 0)
            return true;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return true;
            if (giveUp)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

private:
    int m_fd;
};

} // namespace

bool IsWholeDvClip(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    uint8_t first[4];
    bool whole = ::pread(fd, first, sizeof first, 0) == ssize_t(sizeof first);
    const bool pal = (first[3] & 0x80) != 0;
    const off_t frameSize = off_t(pal ? dv::kFrameSize625 : dv::kFrameSize525);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    whole = whole && size > 0 && size % frameSize == 0;
    // Each frame opens with a header block: section type 0, sequence 0, block 0, the
    // reserved bit set, and the same 625/525 flag as the first frame.
    for (off_t at = 0; whole && at < size; at += frameSize) {
        uint8_t id[4];
        whole = ::pread(fd, id, sizeof id, at) == ssize_t(sizeof id) && (id[0] & 0xF0) == 0x10 &&
                (id[1] & 0xF0) == 0 && id[2] == 0 && ((id[3] & 0x80) != 0) == pal;
    }
    ::close(fd);
    return whole;
}

TVirtualMaterial::TVirtualMaterial(QString path, TMaker maker, TCheck check)
    : m_path(std::move(path)), m_maker(std::move(maker)), m_check(std::move(check)) {}

TVirtualMaterial::~TVirtualMaterial() {
    m_closing = true;
    std::thread worker;
    {
        std::lock_guard lock(m_lock);
        worker = std::move(m_worker);
    }
    if (worker.joinable())
        worker.join();
}

bool TVirtualMaterial::Usable() const {
    const QFileInfo info(m_path);
    return info.isFile() && info.size() > 0 && (!m_check || m_check(m_path));
}

void TVirtualMaterial::Ensure(std::function<void()> after) {
    std::unique_lock lock(m_lock);
    if (m_state != Missing) {
        lock.unlock();
        if (after)
            after();
        return;
    }
    if (Usable()) {
        m_state = Ready;
        m_done.notify_all();
        lock.unlock();
        if (after)
            after();
        return;
    }
    m_state = Making;
    m_worker = std::thread([this, after = std::move(after)] {
        // Below the preview and the UI: the encoder's own threads inherit this.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
        const auto start = std::chrono::steady_clock::now();
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        std::string error;
        bool ok = false;
        {
            TLockFile fileLock(m_path + QStringLiteral(".lock"));
            if (!fileLock.Acquire(m_closing))
                error = "the program closed while another process was making it";
            else if (Usable())
                ok = true; // another process made it meanwhile
            else
                ok = Make(&error);
        }
        if (!ok)
            qCWarning(lcVidorra) << "cannot make" << m_path << ":" << error.c_str();
        m_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        {
            std::lock_guard lock(m_lock);
            m_state = ok ? Ready : Failed;
            m_done.notify_all();
        }
        if (after)
            after();
    });
}

bool TVirtualMaterial::Make(std::string* error) {
    const QFileInfo target(m_path);
    // Half files of makers that died: nobody else is making the file while we hold the lock.
    QDir dir = target.absoluteDir();
    for (const QString& name :
         dir.entryList({target.fileName() + QStringLiteral(".*part")}, QDir::Files))
        dir.remove(name);
    if (target.exists())
        qCWarning(lcVidorra) << m_path << "is damaged: it is made again";
    static std::atomic<int> serial{0};
    const QString part =
        QStringLiteral("%1.%2-%3.part").arg(m_path).arg(::getpid()).arg(serial.fetch_add(1));
    bool ok = m_maker(part.toStdString(), error, m_closing);
    // rename() replaces a damaged file in one step: a reader sees the old file or the new.
    if (ok &&
        ::rename(QFile::encodeName(part).constData(), QFile::encodeName(m_path).constData())) {
        ok = false;
        *error = "cannot rename the finished file";
    }
    if (!ok)
        QFile::remove(part);
    return ok;
}

bool TVirtualMaterial::WaitReady(int milliseconds) {
    std::unique_lock lock(m_lock);
    m_done.wait_for(lock, std::chrono::milliseconds(milliseconds),
                    [this] { return m_state == Ready || m_state == Failed; });
    return m_state == Ready;
}

// --- TVirtualDvDeck ---

TVirtualDvDeck::TVirtualDvDeck(std::shared_ptr<TVirtualMaterial> material)
    : m_material(std::move(material)) {}

TVirtualDvDeck::~TVirtualDvDeck() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_pool)
        gst_buffer_pool_set_active(m_pool.get(), FALSE);
}

bool TVirtualDvDeck::setMode(Mode mode) {
    m_mode = mode;
    return true;
}

IDvTransport::Timecode TVirtualDvDeck::timecode() const {
    std::lock_guard lock(m_lock);
    return m_timecode;
}

int TVirtualDvDeck::readiness() const {
    if (m_broken)
        return -1;
    switch (m_material->state()) {
    case TVirtualMaterial::Ready:
        return 1;
    case TVirtualMaterial::Failed:
        return -1;
    default:
        return 0;
    }
}

GstCaps* TVirtualDvDeck::caps() const {
    return gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr);
}

GstClockTime TVirtualDvDeck::frameDuration() const {
    return m_pal ? 40 * GST_MSECOND : gst_util_uint64_scale(GST_SECOND, 1001, 30000);
}

bool TVirtualDvDeck::Open() {
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(m_material->path());
    m_fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    uint8_t header[80];
    if (m_fd < 0 || ::pread(m_fd, header, sizeof header, 0) != ssize_t(sizeof header)) {
        qCWarning(lcVidorra) << "cannot read the virtual DV tape" << m_material->path();
        m_broken = true;
        return false;
    }
    // The DSF bit of the header block tells 625/50 from 525/60.
    m_pal = (header[3] & 0x80) != 0;
    m_frameSize = m_pal ? dv::kFrameSize625 : dv::kFrameSize525;
    const off_t size = ::lseek(m_fd, 0, SEEK_END);
    m_frames = size / off_t(m_frameSize);
    if (m_frames <= 0) {
        m_broken = true;
        return false;
    }
    m_pool.reset(gst_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(m_pool.get());
    gst_buffer_pool_config_set_params(config, nullptr, guint(m_frameSize), 4, 0);
    gst_buffer_pool_set_config(m_pool.get(), config); // takes config
    gst_buffer_pool_set_active(m_pool.get(), TRUE);
    return true;
}

GstBuffer* TVirtualDvDeck::nextFrame() {
    std::lock_guard lock(m_lock);
    if (!Open())
        return nullptr;
    const Mode mode = m_mode;
    if (mode == ED_MODE_STOP)
        return nullptr;
    const int64_t count = m_frames;
    int64_t pos = ((m_position.load() % count) + count) % count;
    // Winding: the tape runs fast and the deck shows no picture; the timecode follows.
    const bool winding = mode == ED_MODE_FF || mode == ED_MODE_REW;
    if (winding)
        pos = ((pos + (mode == ED_MODE_FF ? 20 : -20)) % count + count) % count;
    GstBuffer* acquired = nullptr;
    if (gst_buffer_pool_acquire_buffer(m_pool.get(), &acquired, nullptr) != GST_FLOW_OK)
        return nullptr;
    TGstRef<GstBuffer> buffer(acquired);
    GstMapInfo map;
    gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE);
    const ssize_t got = ::pread(m_fd, map.data, m_frameSize, off_t(pos) * off_t(m_frameSize));
    if (got == ssize_t(m_frameSize)) {
        const dv::Timecode tc = dv::DecodeTimecode(dv::Sequence({map.data, map.size}, 0));
        m_timecode.valid = tc.hours != 255;
        m_timecode.hours = tc.hours == 255 ? 0 : tc.hours;
        m_timecode.minutes = tc.minutes;
        m_timecode.seconds = tc.seconds;
        m_timecode.frames = tc.frames;
    }
    gst_buffer_unmap(buffer.get(), &map);
    if (got != ssize_t(m_frameSize)) {
        m_broken = true;
        return nullptr;
    }
    if (winding) {
        m_position = pos;
        return nullptr;
    }
    const int64_t step = TapeStep(mode, m_slowPhase);
    m_position = ((pos + step) % count + count) % count;
    return buffer.release();
}

// --- TVirtualMpegFeed ---

TVirtualMpegFeed::TVirtualMpegFeed(std::shared_ptr<TVirtualMaterial> material)
    : m_material(std::move(material)) {}

TVirtualMpegFeed::~TVirtualMpegFeed() = default;

bool TVirtualMpegFeed::Load() const {
    if (m_loaded || m_broken)
        return m_loaded;
    const TGstRef<GstElement> pipeline(gst_pipeline_new(nullptr));
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    GstElement* parse = gst_element_factory_make("mpegvideoparse", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!src || !parse || !sink) {
        m_broken = true;
        for (GstElement* e : {src, parse, sink})
            GstRefSink(e).reset(); // never added
        return false;
    }
    g_object_set(src, "location", QFile::encodeName(m_material->path()).constData(), nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline.get()), src, parse, sink, nullptr);
    gst_element_link_many(src, parse, sink, nullptr);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    while (const TGstRef<GstSample> sample{
        gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND)}) {
        if (!m_caps && gst_sample_get_caps(sample.get()))
            m_caps.reset(gst_caps_ref(gst_sample_get_caps(sample.get())));
        m_pictures.emplace_back(gst_buffer_ref(gst_sample_get_buffer(sample.get())));
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (!m_caps || m_pictures.empty()) {
        qCWarning(lcVidorra) << "cannot read the virtual MPEG clip" << m_material->path();
        m_broken = true;
        return false;
    }
    int num = 25, den = 1;
    gst_structure_get_fraction(gst_caps_get_structure(m_caps.get(), 0), "framerate", &num, &den);
    if (num > 0 && den > 0)
        m_frame = gst_util_uint64_scale(GST_SECOND, den, num);
    m_loaded = true;
    return true;
}

int TVirtualMpegFeed::readiness() const {
    switch (m_material->state()) {
    case TVirtualMaterial::Ready: {
        std::lock_guard lock(m_lock);
        return Load() ? 1 : -1;
    }
    case TVirtualMaterial::Failed:
        return -1;
    default:
        return 0;
    }
}

GstCaps* TVirtualMpegFeed::caps() const {
    std::lock_guard lock(m_lock);
    if (m_caps)
        return gst_caps_ref(m_caps.get());
    return gst_caps_from_string("video/mpeg, mpegversion=(int)2, systemstream=(boolean)false, "
                                "parsed=(boolean)true");
}

GstClockTime TVirtualMpegFeed::frameDuration() const {
    std::lock_guard lock(m_lock);
    return m_frame;
}

GstBuffer* TVirtualMpegFeed::nextFrame() {
    std::lock_guard lock(m_lock);
    if (!m_loaded)
        return nullptr;
    GstBuffer* picture = m_pictures[m_next].get();
    m_next = (m_next + 1) % m_pictures.size();
    // A shallow copy: the picture's memory is shared, the times are the deck's own.
    GstBuffer* out = gst_buffer_copy(picture);
    GST_BUFFER_OFFSET(out) = GST_BUFFER_OFFSET_NONE;
    return out;
}

// --- TVirtualDevices ---

namespace {

bool MakeDvClip(const std::string& path, int frames, std::string* error,
                const std::atomic<bool>& stop) {
    dv::ClipSpec spec;
    spec.frames = frames;
    spec.pal = true;
    // Two scene jumps: an hour later at a third of the clip, the next day at two thirds.
    spec.dateJumps = {{frames / 3, 3600.0}, {2 * frames / 3, 86400.0 + 125.0}};
    spec.startTimecode = {0, 10, 0, 0};
    return dv::GenerateClip(path, spec, error, &stop);
}

bool MakeMpegClip(const std::string& path, int frames, std::string* error,
                  const std::atomic<bool>& stop) {
    g_autofree gchar* location = g_strescape(path.c_str(), nullptr);
    const std::string desc = "videotestsrc pattern=ball num-buffers=" + std::to_string(frames) +
                             " ! video/x-raw,format=I420,width=352,height=288,framerate=25/1"
                             " ! mpeg2enc format=3 b-per-refframe=0 ! mpegvideoparse"
                             " ! filesink location=\"" +
                             location + "\"";
    g_autoptr(GError) err = nullptr;
    const TGstRef<GstElement> pipeline(gst_parse_launch(desc.c_str(), &err));
    if (!pipeline || err) {
        if (error)
            *error = err ? err->message : "cannot build the MPEG-2 encoding pipeline";
        return false;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    bool ok = false;
    {
        const TGstRef<GstBus> bus(gst_element_get_bus(pipeline.get()));
        // At most 120 s, looked at every 0.1 s for the stop.
        TGstRef<GstMessage> msg;
        for (int waited = 0; !msg && !stop.load() && waited < 120000; waited += 100)
            msg.reset(gst_bus_timed_pop_filtered(
                bus.get(), 100 * GST_MSECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        ok = msg && GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_EOS;
        if (!ok && error)
            *error =
                msg ? "MPEG-2 encoding failed"
                    : (stop.load() ? "stopped: the program closes" : "MPEG-2 encoding timed out");
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return ok;
}

// The long-run benchmarks record an hour of media in minutes: with VIDORRA_BENCH_NONLIVE=1 in
// the environment when a source is made, the virtual sources hand their frames over as fast as
// the pipeline takes them. The program always plays them live.
bool BenchNonLive() {
    return qEnvironmentVariableIntValue("VIDORRA_BENCH_NONLIVE") == 1;
}

GstElement* MakeVirtualDeck(std::shared_ptr<IDeckFeed> feed) {
    GstElement* deck = MakeLiveDeck(std::move(feed));
    if (deck && BenchNonLive())
        gst_base_src_set_live(GST_BASE_SRC(deck), FALSE);
    return deck;
}

GstElement* ParseBin(const char* desc, const char* name) {
    g_autoptr(GError) err = nullptr;
    GstElement* bin = gst_parse_bin_from_description(desc, TRUE, &err);
    if (!bin || err) {
        qCWarning(lcVidorra) << "cannot build virtual device" << name << ":"
                             << (err ? err->message : "");
        GstRefSink(bin).reset(); // never added
        return nullptr;
    }
    return bin;
}

} // namespace

QString TVirtualDevices::DefaultDataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vidorra");
}

TVirtualDevices::TVirtualDevices(const TVirtualOptions& options) {
    const QString dir = options.dataDir.isEmpty() ? DefaultDataDir() : options.dataDir;
    const int dvFrames = options.dvFrames > 0 ? options.dvFrames : 750;
    const int mpegFrames = options.mpegFrames > 0 ? options.mpegFrames : 75;
    m_dvMaterial = std::make_shared<TVirtualMaterial>(
        dir + QStringLiteral("/dv-virtuel.dv"),
        [dvFrames](const std::string& path, std::string* error, const std::atomic<bool>& stop) {
            return MakeDvClip(path, dvFrames, error, stop);
        },
        IsWholeDvClip);
    m_mpegMaterial = std::make_shared<TVirtualMaterial>(
        dir + QStringLiteral("/mpeg-virtuel.m2v"),
        [mpegFrames](const std::string& path, std::string* error, const std::atomic<bool>& stop) {
            return MakeMpegClip(path, mpegFrames, error, stop);
        },
        [](const QString& path) {
            // An MPEG-2 video stream opens with its sequence header.
            QFile f(path);
            return f.open(QIODevice::ReadOnly) && f.read(4) == QByteArray("\0\0\1\xB3", 4);
        });
    m_dvDeck = std::make_shared<TVirtualDvDeck>(m_dvMaterial);
    m_mpegFeed = std::make_shared<TVirtualMpegFeed>(m_mpegMaterial);
    if (options.generate) {
        // One file after the other, so that one core is left to the preview.
        std::shared_ptr<TVirtualMaterial> mpeg = m_mpegMaterial;
        m_dvMaterial->Ensure([mpeg] { mpeg->Ensure(); });
    }
}

std::vector<TDeviceDescriptor> TVirtualDevices::videoDevices() const {
    std::vector<TDeviceDescriptor> list(3);
    TDeviceDescriptor& mire = list[0];
    mire.id = QStringLiteral("virtual:mire");
    mire.friendlyName = QStringLiteral("Mire de test");
    // 24-bit RGB, as the overlay works on it: the preview converts nothing.
    mire.caps = gst_caps_from_string("video/x-raw, format=(string)BGR, width=(int)720, "
                                     "height=(int)576, framerate=(fraction)25/1, "
                                     "pixel-aspect-ratio=(fraction)16/15");
    mire.createSource = [] {
        // The clock text changes once a second, so the overlay renders it once a second.
        const QByteArray desc = QByteArray("videotestsrc pattern=smpte is-live=") +
                                (BenchNonLive() ? "false" : "true") +
                                " ! video/x-raw,format=BGR,width=720,height=576,framerate=25/1,"
                                "pixel-aspect-ratio=16/15"
                                " ! clockoverlay time-format=\"%H:%M:%S\" halignment=right"
                                " valignment=bottom shaded-background=true font-desc=\"Sans 28\"";
        return ParseBin(desc.constData(), "Mire de test");
    };

    TDeviceDescriptor& dvDev = list[1];
    dvDev.id = QStringLiteral("virtual:dv");
    dvDev.friendlyName = QStringLiteral("DV virtuel");
    dvDev.caps = m_dvDeck->caps();
    dvDev.transport = m_dvDeck;
    std::shared_ptr<TVirtualDvDeck> deck = m_dvDeck;
    std::shared_ptr<TVirtualMaterial> dvMaterial = m_dvMaterial;
    dvDev.createSource = [deck, dvMaterial] {
        dvMaterial->Ensure();
        return MakeVirtualDeck(deck);
    };
    dvDev.preparing = [dvMaterial] { return dvMaterial->state() == TVirtualMaterial::Making; };

    TDeviceDescriptor& mpeg = list[2];
    mpeg.id = QStringLiteral("virtual:mpeg");
    mpeg.friendlyName = QStringLiteral("MPEG virtuel");
    mpeg.caps = gst_caps_from_string("video/mpeg, mpegversion=(int)2, systemstream=(boolean)false, "
                                     "parsed=(boolean)true, width=(int)352, height=(int)288, "
                                     "framerate=(fraction)25/1");
    std::shared_ptr<TVirtualMpegFeed> feed = m_mpegFeed;
    std::shared_ptr<TVirtualMaterial> mpegMaterial = m_mpegMaterial;
    mpeg.createSource = [feed, mpegMaterial] {
        mpegMaterial->Ensure();
        return MakeVirtualDeck(feed);
    };
    mpeg.preparing = [mpegMaterial] { return mpegMaterial->state() == TVirtualMaterial::Making; };
    return list;
}

std::vector<TDeviceDescriptor> TVirtualDevices::audioDevices() const {
    std::vector<TDeviceDescriptor> list(1);
    TDeviceDescriptor& tone = list[0];
    tone.id = QStringLiteral("virtual:signal");
    tone.friendlyName = QStringLiteral("Signal de test");
    tone.caps = gst_caps_from_string("audio/x-raw, format=(string)S16LE, rate=(int)48000, "
                                     "channels=(int)2, layout=(string)interleaved");
    tone.createSource = [] {
        // Built by hand: a description may not end with a caps filter.
        GstElement* src = gst_element_factory_make("audiotestsrc", nullptr);
        GstElement* format = gst_element_factory_make("capsfilter", nullptr);
        if (!src || !format) {
            for (GstElement* e : {src, format})
                GstRefSink(e).reset(); // never added
            return static_cast<GstElement*>(nullptr);
        }
        g_object_set(src, "is-live", BenchNonLive() ? FALSE : TRUE, "wave", 0 /* sine */, "freq",
                     440.0, "volume", 0.2, "samplesperbuffer", 960, nullptr);
        const TGstRef<GstCaps> caps(gst_caps_from_string(
            "audio/x-raw, format=S16LE, rate=48000, channels=2, layout=interleaved"));
        g_object_set(format, "caps", caps.get(), nullptr);
        GstElement* bin = gst_bin_new(nullptr);
        gst_bin_add_many(GST_BIN(bin), src, format, nullptr);
        gst_element_link(src, format);
        const TGstRef<GstPad> out(gst_element_get_static_pad(format, "src"));
        gst_element_add_pad(bin, gst_ghost_pad_new("src", out.get()));
        return bin;
    };
    return list;
}
