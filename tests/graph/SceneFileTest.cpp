#include "SceneFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QByteArray Bytes(std::initializer_list<int> bytes) {
    QByteArray b;
    for (int x : bytes)
        b.append(char(x));
    return b;
}

QByteArray Le32(uint32_t v) {
    return Bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The layout a scene-list reader expects, spelled out byte by byte.
QByteArray ExpectedStart(const QByteArray& name, int count) {
    return Bytes({0x63, 0x26, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0A,
                  0x00}) +
           "SourceTape" + Bytes({int(name.size())}) + name + QByteArray(8, '\0') +
           Bytes({count & 0xFF, count >> 8, 0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00}) + "ClipP" +
           Bytes({0, 0, 0, 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}) + "Scene" + QByteArray(5, '\0');
}

TDVFrameInfo Frame(uint32_t n) {
    TDVFrameInfo info;
    info.FrameNumber = n;
    return info;
}

constexpr int kLaterRecordBytes = 35;

} // namespace

TEST(SceneFile, RecordingWithoutSceneChange) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/Video_0.scn";
    TSceneFile scn;
    ASSERT_TRUE(scn.Open(path));
    EXPECT_TRUE(scn.IsOpen());
    scn.Close();
    EXPECT_FALSE(scn.IsOpen());
    EXPECT_EQ(ReadAll(path), ExpectedStart(QFile::encodeName(path), 0));
}

TEST(SceneFile, TwoScenesAndTheCountBeforeClosing) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/Vidéo_1.scn";
    const QByteArray name = QFile::encodeName(path);
    TSceneFile scn;
    ASSERT_TRUE(scn.Open(path));
    scn.Scene(Frame(0), Frame(99));    // frames 1..100, then a new scene at 100
    scn.Scene(Frame(100), Frame(249)); // frames 101..250
    const QByteArray expected =
        ExpectedStart(name, 2) + Le32(100) + Bytes({0, 0, 0, 0, 0x01, 0x80, int(name.size())}) +
        name + QByteArray(8, '\0') + Le32(100) +
        Bytes({0x03, 0x80, 0xF0, 0x00, 0x00, 0x00, 0x05, 0x80, 0x00}) + Le32(101) + Le32(150) +
        Bytes({0, 0, 0, 0, 0x07, 0x00}) + Le32(101) + Le32(150) + Le32(101);
    // Already on disk with its count while the recording goes on.
    EXPECT_EQ(ReadAll(path), expected);
    scn.Close();
    EXPECT_EQ(ReadAll(path), expected);
    scn.Scene(Frame(250), Frame(300));
    EXPECT_EQ(ReadAll(path), expected) << "nothing is written once closed";
}

TEST(SceneFile, LongPathsKeepLengthAndBytesTogether) {
    QTemporaryDir dir;
    QString folder = dir.path();
    while (QFile::encodeName(folder).size() < 300)
        folder += "/dossier_assez_long_pour_depasser";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/Video_010324_093005_0.scn";
    TSceneFile scn;
    ASSERT_TRUE(scn.Open(path));
    scn.Scene(Frame(0), Frame(9));
    scn.Close();
    const QByteArray name = "Video_010324_093005_0.scn";
    EXPECT_EQ(TSceneFile::NameBytes(path), name);
    const QByteArray file = ReadAll(path);
    EXPECT_TRUE(file.startsWith(ExpectedStart(name, 1)));
    EXPECT_EQ(file.size(), ExpectedStart(name, 1).size() + 4 + 7 + name.size() + 8 + 4);
    // A path that fits is written whole.
    EXPECT_EQ(TSceneFile::NameBytes("/a/b.scn"), "/a/b.scn");
    EXPECT_EQ(TSceneFile::NameBytes("/a/" + QString(300, 'x')).size(), 255);
}

TEST(SceneFile, AtMost32768Records) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/v.scn";
    const QByteArray name = QFile::encodeName(path);
    TSceneFile scn;
    ASSERT_TRUE(scn.Open(path));
    for (uint32_t i = 0; i < 32800; ++i)
        scn.Scene(Frame(i * 10), Frame(i * 10 + 9));
    EXPECT_EQ(scn.Count(), 32768);
    scn.Close();
    const QByteArray file = ReadAll(path);
    const qsizetype start = ExpectedStart(name, 0).size();
    EXPECT_EQ(file.size(), start + 4 + 7 + name.size() + 8 + 4 + 32767 * kLaterRecordBytes);
    EXPECT_EQ(file.mid(start - 32, 2), Bytes({0x00, 0x80}));
}

TEST(SceneFile, FailuresAreSilent) {
    QTemporaryDir dir;
    TSceneFile scn;
    EXPECT_FALSE(scn.Open(dir.path() + "/absent/v.scn"));
    EXPECT_TRUE(scn.IsOpen()) << "the flag stays set once opening was tried";
    scn.Scene(Frame(0), Frame(5));
    EXPECT_EQ(scn.Count(), 0);
    scn.Close();
    EXPECT_FALSE(QFile::exists(dir.path() + "/absent/v.scn"));
}

// Records come from the streaming thread while the UI thread closes the list: whatever the
// timing, the count in the file matches the records in it.
TEST(SceneFile, CloseWhileScenesArrive) {
    QTemporaryDir dir;
    for (int round = 0; round < 20; ++round) {
        const QString path = dir.path() + QStringLiteral("/r%1.scn").arg(round);
        const QByteArray name = QFile::encodeName(path);
        TSceneFile scn;
        ASSERT_TRUE(scn.Open(path));
        std::atomic<bool> go{false};
        std::thread streaming([&] {
            go = true;
            for (uint32_t i = 0; i < 2000; ++i)
                scn.Scene(Frame(i), Frame(i + 1));
        });
        while (!go)
            std::this_thread::yield();
        scn.Close();
        streaming.join();
        const QByteArray file = ReadAll(path);
        const qsizetype start = ExpectedStart(name, 0).size();
        const int count = uint8_t(file[start - 32]) | uint8_t(file[start - 31]) << 8;
        const qsizetype records =
            count == 0 ? 0 : 4 + 7 + name.size() + 8 + 4 + (count - 1) * kLaterRecordBytes;
        EXPECT_EQ(file.size(), start + records) << "count " << count;
    }
}

TEST(SceneFile, NameAndQuestion) {
    EXPECT_EQ(TSceneFile::PathFor("/films/Video_0.avi"), "/films/Video_0.scn");
    EXPECT_EQ(TSceneFile::PathFor("/films.d/Video_0"), "/films.d/Video_0.scn");
    EXPECT_EQ(TSceneFile::DroppedFramesQuestion(3, "/f/v.scn"),
              "3 frames ont été perdues pendant la capture.\r\nLe fichier .scn créé en temps réel "
              "n'est probablement pas correct.\r\nIl est recommandé de le détruire et d'en "
              "recréer un avec Datorix\r\n\r\nVoulez-vous détruire le fichier /f/v.scn?");
}
