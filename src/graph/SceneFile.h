#pragma once

#include "DVFrameInfo.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <mutex>

// The scene list (".scn") written beside a DV recording while it is recorded: a header naming
// the scene file, a clip block, one record per scene reported by the DV scene detector, and the
// count of records. Opening and closing run on the UI thread, Scene on the streaming thread.
// Every record reaches the file (and the count is brought up to date) before Scene returns, so
// a recording that ends abruptly leaves a list that is readable up to its last scene.
class TSceneFile {
public:
    static constexpr int32_t kMaxRecords = 32768;
    // Longest path the one-byte length fields can describe.
    static constexpr int kMaxPathBytes = 255;

    TSceneFile() = default;
    ~TSceneFile();
    TSceneFile(const TSceneFile&) = delete;
    TSceneFile& operator=(const TSceneFile&) = delete;

    // Creates (truncating) the file and writes the header and the clip block. Any failure
    // gives false and leaves no stream open; IsOpen stays true once the opening was tried.
    bool Open(const QString& path);
    // The scene detector's OnScene: sceneStart is the first frame of the scene that ended,
    // current the frame that opens the next one (or the last frame, at the end of a part).
    void Scene(const TDVFrameInfo& sceneStart, const TDVFrameInfo& current);
    // Writes the final count and closes the stream; nothing when no stream is open.
    void Close();

    // The scene list of a recording: its name with ".scn" for extension.
    static QString PathFor(const QString& recording);
    // Asked after a part that lost frames, offering to delete the list just closed.
    static QString DroppedFramesQuestion(int dropped, const QString& scnPath);

    bool IsOpen() const;
    int32_t Count() const;
    QString Path() const;

    // The bytes that name the scene file inside it: the local 8-bit form of the path, or of
    // its file part alone when the whole path is longer than the length byte can say (a file
    // part fits: file names are at most 255 bytes); cut at 255 bytes as a last resort.
    static QByteArray NameBytes(const QString& path);
    // The bytes of one record (first or later), as Scene writes them.
    static QByteArray Record(int32_t count, uint32_t s, uint32_t c, const QByteArray& name);
    static QByteArray Header(const QByteArray& name);
    static QByteArray ClipBlock();

private:
    bool WriteAt(int64_t pos, const QByteArray& bytes);
    bool Append(const QByteArray& bytes);
    void WriteCount();

    mutable std::mutex m_mutex; // guards every field below
    QString m_path;
    QByteArray m_name;
    int m_fd = -1;
    int64_t m_end = 0;
    int64_t m_countPos = 0;
    int32_t m_count = 0;
    bool m_open = false;
};
