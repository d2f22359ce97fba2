#include "SceneFile.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

void Put32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutBytes(QByteArray& out, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes)
        out.append(static_cast<char>(b));
}

} // namespace

TSceneFile::~TSceneFile() {
    Close();
}

QByteArray TSceneFile::NameBytes(const QString& path) {
    QByteArray name = QFile::encodeName(path);
    if (name.size() > kMaxPathBytes)
        name = QFile::encodeName(path.mid(path.lastIndexOf('/') + 1));
    if (name.size() > kMaxPathBytes)
        name.truncate(kMaxPathBytes);
    return name;
}

QByteArray TSceneFile::Header(const QByteArray& name) {
    QByteArray out;
    PutBytes(out,
             {0x63, 0x26, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0A, 0x00});
    out.append("SourceTape");
    out.append(static_cast<char>(name.size()));
    out.append(name);
    out.append(8, '\0');
    return out;
}

QByteArray TSceneFile::ClipBlock() {
    QByteArray out;
    PutBytes(out, {0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00});
    out.append("ClipP");
    PutBytes(out, {0x00, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00});
    out.append("Scene");
    out.append(5, '\0');
    return out;
}

QByteArray TSceneFile::Record(int32_t count, uint32_t s, uint32_t c, const QByteArray& name) {
    // Frame numbers in the file are one-based.
    const uint32_t S = s + 1;
    const uint32_t C = c + 1;
    QByteArray out;
    if (count == 1) {
        Put32(out, C);
        PutBytes(out, {0x00, 0x00, 0x00, 0x00, 0x01, 0x80, static_cast<uint8_t>(name.size())});
        out.append(name);
        out.append(8, '\0');
        Put32(out, C);
        return out;
    }
    const uint32_t N = C - S + 1;
    PutBytes(out, {0x03, 0x80, 0xF0, 0x00, 0x00, 0x00, 0x05, 0x80, 0x00});
    Put32(out, S);
    Put32(out, N);
    PutBytes(out, {0x00, 0x00, 0x00, 0x00, 0x07, 0x00});
    Put32(out, S);
    Put32(out, N);
    Put32(out, S);
    return out;
}

bool TSceneFile::WriteAt(int64_t pos, const QByteArray& bytes) {
    const char* p = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = ::pwrite(m_fd, p, left, pos);
        if (n <= 0)
            return false;
        p += n;
        pos += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool TSceneFile::Append(const QByteArray& bytes) {
    if (!WriteAt(m_end, bytes))
        return false;
    m_end += bytes.size();
    return true;
}

void TSceneFile::WriteCount() {
    QByteArray count;
    count.append(static_cast<char>(m_count & 0xFF));
    count.append(static_cast<char>((m_count >> 8) & 0xFF));
    WriteAt(m_countPos, count);
}

bool TSceneFile::Open(const QString& path) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        WriteCount();
        ::close(m_fd);
        m_fd = -1;
    }
    m_path = path;
    m_name = NameBytes(path);
    m_count = 0;
    m_end = 0;
    m_open = true;
    m_fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return false;
    const bool ok = Append(Header(m_name)) && (m_countPos = m_end, Append(ClipBlock()));
    if (!ok) {
        ::close(m_fd);
        m_fd = -1;
    }
    return ok;
}

void TSceneFile::Scene(const TDVFrameInfo& sceneStart, const TDVFrameInfo& current) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0 || m_count >= kMaxRecords)
        return;
    ++m_count;
    if (Append(Record(m_count, sceneStart.FrameNumber, current.FrameNumber, m_name))) {
        WriteCount();
        return;
    }
    // A record that could not be written is not counted and leaves no partial bytes: the
    // count must match the records a reader finds.
    --m_count;
    [[maybe_unused]] const int truncated = ::ftruncate(m_fd, m_end);
}

void TSceneFile::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    WriteCount();
    ::close(m_fd);
    m_fd = -1;
    m_open = false;
}

QString TSceneFile::PathFor(const QString& recording) {
    const int slash = recording.lastIndexOf('/');
    const int dot = recording.lastIndexOf('.');
    return (dot > slash ? recording.left(dot) : recording) + QStringLiteral(".scn");
}

QString TSceneFile::DroppedFramesQuestion(int dropped, const QString& scnPath) {
    return QStringLiteral("%1 frames ont été perdues pendant la capture.\r\nLe fichier .scn créé "
                          "en temps réel n'est probablement pas correct.\r\nIl est recommandé de "
                          "le détruire et d'en recréer un avec Datorix\r\n\r\nVoulez-vous "
                          "détruire le fichier %2?")
        .arg(QString::number(dropped), scnPath);
}

bool TSceneFile::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

int32_t TSceneFile::Count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

QString TSceneFile::Path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}
