#include "DvFile.h"

#include "DVPacks.h"
#include "Log.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isFourcc(const uint8_t* p, const char* fourcc) {
    return std::memcmp(p, fourcc, 4) == 0;
}

// The fourccs DV25 video goes by in a "vids" stream, any case.
bool isDvFourcc(const uint8_t* p) {
    char low[5] = {};
    for (int i = 0; i < 4; ++i)
        low[i] = char(std::tolower(p[i]));
    return !std::strcmp(low, "dvsd") || !std::strcmp(low, "dv25") || !std::strcmp(low, "cdvc") ||
           !std::strcmp(low, "dvcs");
}

// The header block of a frame's first sequence, for either system.
bool opensFrame(const uint8_t id[4], bool pal) {
    return (id[0] & 0xF0) == 0x10 && (id[1] >> 4) == 0 && id[2] == 0 &&
           ((id[3] & 0x80) != 0) == pal;
}

std::optional<TDvFileFrames> rawFrames(const TDvFileRead& read, uint64_t fileSize, QString* why) {
    // The system is the one most of the first frames open with: a dropout in the first
    // frame does not decide it.
    int best = 0;
    TDvFileFrames out;
    for (const bool pal : {true, false}) {
        const size_t frameSize = pal ? dv::kFrameSize625 : dv::kFrameSize525;
        const uint64_t frames = fileSize / frameSize;
        int opening = 0;
        for (uint64_t i = 0; i < std::min<uint64_t>(frames, 50); ++i) {
            uint8_t id[4];
            opening += read(i * frameSize, id, sizeof id) && opensFrame(id, pal);
        }
        if (opening > best) {
            best = opening;
            out.pal = pal;
            out.frameSize = frameSize;
        }
    }
    if (best == 0) {
        *why = fileSize < dv::kFrameSize525
                   ? QStringLiteral("il ne contient aucune image DV entière")
                   : QStringLiteral("ce n'est pas un fichier DV");
        return std::nullopt;
    }
    out.kind = TDvFileFrames::Raw;
    const uint64_t frames = fileSize / out.frameSize; // a last frame cut short is left out
    out.cutShort = fileSize % out.frameSize != 0;
    out.offsets.reserve(frames);
    for (uint64_t i = 0; i < frames; ++i)
        out.offsets.push_back(i * out.frameSize);
    return out;
}

// Walks an AVI's RIFF lists. Only chunks wholly inside their list and the file count; a size
// past either ends the walk of that list.
class TAviWalker {
public:
    TAviWalker(const TDvFileRead& read, uint64_t fileSize) : m_read(read), m_size(fileSize) {}

    void walkFile() {
        uint64_t pos = 0;
        for (int riffs = 0; riffs < 4096 && pos + 12 <= m_size; ++riffs) {
            uint8_t head[12];
            if (!m_read(pos, head, sizeof head) || !isFourcc(head, "RIFF"))
                return;
            const uint64_t size = le32(head + 4);
            if (size < 4)
                return;
            // An AVI cut short: its last RIFF ends with the file.
            const uint64_t end = std::min(pos + 8 + size, m_size);
            frames.cutShort = frames.cutShort || pos + 8 + size > m_size;
            if (isFourcc(head + 8, "AVI ") || isFourcc(head + 8, "AVIX"))
                walkList(pos + 12, end, 0, false);
            pos += 8 + size + (size & 1);
        }
    }

    TDvFileFrames frames;
    int dvStream = -1;
    bool type1 = false;

private:
    void walkList(uint64_t pos, uint64_t end, int depth, bool movi) {
        if (depth > 4)
            return;
        while (pos + 8 <= end) {
            uint8_t head[12];
            if (!m_read(pos, head, 8))
                return;
            const uint64_t size = le32(head + 4);
            const uint64_t body = pos + 8;
            const bool whole = body + size <= end;
            if (isFourcc(head, "LIST")) {
                if (size < 4 || !m_read(body, head + 8, 4))
                    return;
                const uint64_t listEnd = std::min(body + size, end);
                if (isFourcc(head + 8, "hdrl"))
                    walkList(body + 4, listEnd, depth + 1, false);
                else if (isFourcc(head + 8, "strl")) {
                    ++m_streams;
                    walkList(body + 4, listEnd, depth + 1, false);
                } else if (isFourcc(head + 8, "movi") || (movi && isFourcc(head + 8, "rec ")))
                    walkList(body + 4, listEnd, depth + 1, true);
            } else if (!whole) {
                return;
            } else if (movi) {
                frame(head, body, size);
            } else if (isFourcc(head, "strh") && size >= 8) {
                uint8_t type[8];
                if (m_read(body, type, sizeof type) && dvStream < 0) {
                    if (isFourcc(type, "iavs")) {
                        dvStream = m_streams - 1;
                        type1 = true;
                    } else if (isFourcc(type, "vids") && isDvFourcc(type + 4)) {
                        dvStream = m_streams - 1;
                    } else if (isFourcc(type, "vids")) {
                        m_pendingVids = m_streams - 1; // the format may tell
                    }
                }
            } else if (isFourcc(head, "strf") && size >= 20 && dvStream < 0 &&
                       m_pendingVids == m_streams - 1) {
                uint8_t format[20];
                if (m_read(body, format, sizeof format) && isDvFourcc(format + 16))
                    dvStream = m_pendingVids;
            }
            if (size > m_size)
                return;
            pos = body + size + (size & 1);
        }
    }

    void frame(const uint8_t head[8], uint64_t body, uint64_t size) {
        if (dvStream < 0 || dvStream > 99 || !std::isdigit(head[0]) || !std::isdigit(head[1]) ||
            (head[0] - '0') * 10 + (head[1] - '0') != dvStream)
            return;
        if (size != dv::kFrameSize625 && size != dv::kFrameSize525)
            return; // not a frame of this program's size: left out
        if (frames.frameSize == 0) {
            frames.frameSize = size_t(size);
            frames.pal = size == dv::kFrameSize625;
        }
        if (size == frames.frameSize && frames.offsets.size() < (1u << 24))
            frames.offsets.push_back(body);
    }

    const TDvFileRead& m_read;
    const uint64_t m_size;
    int m_streams = 0;
    int m_pendingVids = -1;
};

} // namespace

std::optional<TDvFileFrames> FindDvFileFrames(const TDvFileRead& read, uint64_t fileSize,
                                              QString* why) {
    QString ignored;
    if (!why)
        why = &ignored;
    if (fileSize == 0) {
        *why = QStringLiteral("il est vide");
        return std::nullopt;
    }
    uint8_t head[12];
    const bool avi = fileSize >= 12 && read(0, head, sizeof head) && isFourcc(head, "RIFF") &&
                     isFourcc(head + 8, "AVI ");
    if (!avi)
        return rawFrames(read, fileSize, why);
    TAviWalker walker(read, fileSize);
    walker.walkFile();
    if (walker.dvStream < 0) {
        *why = QStringLiteral("cet AVI ne contient pas de vidéo DV");
        return std::nullopt;
    }
    if (walker.frames.offsets.empty()) {
        *why = QStringLiteral("il ne contient aucune image DV entière");
        return std::nullopt;
    }
    walker.frames.kind = walker.type1 ? TDvFileFrames::AviType1 : TDvFileFrames::AviType2;
    return std::move(walker.frames);
}

// --- TDvFileDeck ---

std::shared_ptr<TDvFileDeck> TDvFileDeck::Open(const QString& path, QString* why) {
    QString ignored;
    if (!why)
        why = &ignored;
    const QFileInfo info(path);
    if (!info.exists()) {
        *why = QStringLiteral("il n'existe pas");
        return nullptr;
    }
    if (!info.isFile()) {
        *why = QStringLiteral("ce n'est pas un fichier");
        return nullptr;
    }
    // Read only: the user's capture is never written, whatever happens here.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        *why = QStringLiteral("il ne peut pas être ouvert en lecture");
        return nullptr;
    }
    // The walk reads small headers one after the other: they come from one block read ahead,
    // so that a file of many tiny chunks costs no system call each.
    struct Block {
        std::vector<uint8_t> bytes;
        uint64_t at = 0;
    };
    auto block = std::make_shared<Block>();
    const TDvFileRead read = [fd, block](uint64_t pos, void* data, size_t size) {
        constexpr size_t kBlock = 64 * 1024;
        if (size > kBlock / 2)
            return ::pread(fd, data, size, off_t(pos)) == ssize_t(size);
        if (pos < block->at || pos + size > block->at + block->bytes.size()) {
            block->bytes.resize(kBlock);
            const ssize_t got = ::pread(fd, block->bytes.data(), kBlock, off_t(pos));
            block->bytes.resize(got > 0 ? size_t(got) : 0);
            block->at = pos;
            if (size > block->bytes.size())
                return false;
        }
        std::memcpy(data, block->bytes.data() + (pos - block->at), size);
        return true;
    };
    std::optional<TDvFileFrames> frames = FindDvFileFrames(read, uint64_t(st.st_size), why);
    if (!frames) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<TDvFileDeck>(new TDvFileDeck(path, fd, std::move(*frames)));
}

TDvFileDeck::TDvFileDeck(QString path, int fd, TDvFileFrames frames)
    : m_path(std::move(path)), m_fd(fd), m_frames(std::move(frames)) {
    m_pool.reset(gst_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(m_pool.get());
    gst_buffer_pool_config_set_params(config, nullptr, guint(m_frames.frameSize), 4, 0);
    gst_buffer_pool_set_config(m_pool.get(), config); // takes config
    gst_buffer_pool_set_active(m_pool.get(), TRUE);
}

TDvFileDeck::~TDvFileDeck() {
    ::close(m_fd);
    gst_buffer_pool_set_active(m_pool.get(), FALSE);
}

bool TDvFileDeck::setMode(Mode mode) {
    m_mode = mode;
    return true;
}

void TDvFileDeck::seek(int64_t frame) {
    m_position = std::clamp<int64_t>(frame, 0, int64_t(m_frames.offsets.size()));
}

IDvTransport::Timecode TDvFileDeck::timecode() const {
    std::lock_guard lock(m_lock);
    return m_timecode;
}

GstCaps* TDvFileDeck::caps() const {
    return gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr);
}

GstClockTime TDvFileDeck::frameDuration() const {
    return m_frames.pal ? 40 * GST_MSECOND : gst_util_uint64_scale(GST_SECOND, 1001, 30000);
}

GstBuffer* TDvFileDeck::nextFrame() {
    std::lock_guard lock(m_lock);
    Mode mode = m_mode;
    if (mode == ED_MODE_STOP)
        return nullptr;
    const int64_t count = int64_t(m_frames.offsets.size());
    int64_t pos = std::clamp<int64_t>(m_position.load(), 0, count);
    // The tape stops at either end; a command given meanwhile wins.
    auto stopAtEnd = [this, &mode] { m_mode.compare_exchange_strong(mode, ED_MODE_STOP); };
    const bool winding = mode == ED_MODE_FF || mode == ED_MODE_REW;
    if (winding) {
        pos = std::clamp<int64_t>(pos + (mode == ED_MODE_FF ? 20 : -20), 0, count);
        if (pos == 0 || pos == count)
            stopAtEnd();
    } else if (pos >= count) {
        stopAtEnd();
        return nullptr;
    }
    const int64_t shown = std::min(pos, count - 1);
    GstBuffer* acquired = nullptr;
    if (gst_buffer_pool_acquire_buffer(m_pool.get(), &acquired, nullptr) != GST_FLOW_OK)
        return nullptr;
    TGstRef<GstBuffer> buffer(acquired);
    GstMapInfo map;
    gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE);
    const size_t size = m_frames.frameSize;
    const bool got =
        ::pread(m_fd, map.data, size, off_t(m_frames.offsets[size_t(shown)])) == ssize_t(size);
    // A damaged frame tells no timecode: the counter holds the last good one.
    if (got && dv::IsWholeFrame({map.data, size})) {
        const dv::Timecode tc = dv::DecodeTimecode(dv::Sequence({map.data, size}, 0));
        m_timecode.valid = tc.hours != 255;
        m_timecode.hours = tc.hours == 255 ? 0 : tc.hours;
        m_timecode.minutes = tc.minutes;
        m_timecode.seconds = tc.seconds;
        m_timecode.frames = tc.frames;
    }
    gst_buffer_unmap(buffer.get(), &map);
    if (!got) {
        // The file shrank under the deck: its end is here.
        qCWarning(lcVidorra) << "the DV file" << m_path << "ends before frame" << shown;
        stopAtEnd();
        return nullptr;
    }
    if (winding) {
        m_position = pos;
        return nullptr;
    }
    const int64_t step = TapeStep(mode, m_slowPhase);
    int64_t next = pos + step;
    if (next < 0) {
        next = 0;
        stopAtEnd();
    }
    m_position = std::min(next, count);
    return buffer.release();
}

// --- TDvFileEnumerator ---

TDvFileEnumerator::TDvFileEnumerator(std::unique_ptr<IDeviceEnumerator> inner)
    : m_inner(std::move(inner)) {
    if (m_inner)
        m_inner->onDevicesChanged = [this] {
            if (onDevicesChanged)
                onDevicesChanged();
        };
}

std::vector<TDeviceDescriptor> TDvFileEnumerator::enumerate(TDeviceCategory category) {
    std::vector<TDeviceDescriptor> list;
    if (m_inner)
        list = m_inner->enumerate(category);
    if (category != TDeviceCategory::Video || !m_deck)
        return list;
    TDeviceDescriptor d;
    d.id = kDvFileDeviceId + QString::number(m_serial) + u':' + m_deck->path();
    d.friendlyName = kDvFileDeviceName;
    d.caps = m_deck->caps();
    d.transport = m_deck;
    std::shared_ptr<TDvFileDeck> deck = m_deck;
    d.createSource = [deck] { return MakeLiveDeck(deck); };
    list.push_back(std::move(d));
    return list;
}

bool TDvFileEnumerator::SetFile(const QString& path, QString* why) {
    if (path.isEmpty()) {
        m_deck.reset();
        return true;
    }
    std::shared_ptr<TDvFileDeck> deck = TDvFileDeck::Open(path, why);
    if (!deck)
        return false;
    m_deck = std::move(deck);
    ++m_serial;
    return true;
}
