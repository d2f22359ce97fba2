// The scene list written beside a DV recording, from what reaches it: the recording's name
// (any characters, any length, in a folder of any depth) and the frame numbers of the scenes
// the detector reports (the 32 768-record limit has a test of its own). Whatever they are,
// the file stays readable: its name field, its count and its records agree.
#include "FuzzSupport.h"
#include "SceneFile.h"

#include <algorithm>

namespace {

// A folder whose path alone is longer than the name field can say.
const QString& DeepFolder() {
    static const QString dir = [] {
        const QString d = fuzz::WorkDir() + '/' + QString(200, 'a') + '/' + QString(100, 'b');
        FUZZ_CHECK(QDir().mkpath(d));
        return d;
    }();
    return dir;
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// What a reader finds: the header naming the file, the clip block with the count, then the
// first record and the later ones.
void CheckFile(const QByteArray& file, const QByteArray& name, int32_t count,
               const std::vector<std::pair<uint32_t, uint32_t>>& scenes) {
    const QByteArray header = TSceneFile::Header(name);
    const QByteArray clip = TSceneFile::ClipBlock();
    FUZZ_CHECK(file.startsWith(header));
    FUZZ_CHECK(uint8_t(header[24]) == name.size());
    const qsizetype countAt = header.size();
    const int stored = uint8_t(file[countAt]) | (uint8_t(file[countAt + 1]) << 8);
    FUZZ_CHECK(stored == count);
    FUZZ_CHECK(file.mid(countAt + 2, clip.size() - 2) == clip.mid(2));
    qsizetype at = countAt + clip.size();
    for (int32_t i = 1; i <= count; ++i) {
        const QByteArray record =
            TSceneFile::Record(i, scenes[size_t(i - 1)].first, scenes[size_t(i - 1)].second, name);
        FUZZ_CHECK(file.mid(at, record.size()) == record);
        at += record.size();
    }
    FUZZ_CHECK(at == file.size());
    if (count > 1) // the last record's first frame and length: its frames, one-based
        FUZZ_CHECK(Le32(reinterpret_cast<const uint8_t*>(file.constData()) + at - 4) ==
                   scenes[size_t(count - 1)].first + 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A flag byte (bit 0: the deep folder), the name's length and bytes, then the scenes'
    // first and current frame numbers (32 bits each).
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const size_t nameBytes = std::min<size_t>(data[1], size - 2);
    QString fileName =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(nameBytes));
    fileName.replace('/', '_').replace(QChar(0), '_');
    if (fileName.isEmpty() || fileName == "." || fileName == "..")
        fileName = QStringLiteral("capture");
    const QString folder = (flags & 1) ? DeepFolder() : fuzz::WorkDir();
    const QString recording = folder + '/' + fileName;

    // The list lies beside the recording, whatever its name.
    const QString path = TSceneFile::PathFor(recording);
    FUZZ_CHECK(path.endsWith(QLatin1String(".scn")));
    FUZZ_CHECK(path.startsWith(folder + '/') && path.indexOf('/', folder.size() + 1) < 0);
    const QByteArray name = TSceneFile::NameBytes(path);
    FUZZ_CHECK(name.size() <= TSceneFile::kMaxPathBytes);

    TSceneFile scn;
    const bool opened = scn.Open(path);
    std::vector<std::pair<uint32_t, uint32_t>> scenes;
    for (size_t at = 2 + nameBytes; at + 8 <= size; at += 8) {
        TDVFrameInfo s, c;
        s.FrameNumber = Le32(data + at);
        c.FrameNumber = Le32(data + at + 4);
        scn.Scene(s, c);
        if (opened)
            scenes.emplace_back(s.FrameNumber, c.FrameNumber);
    }
    const int32_t count = scn.Count();
    scn.Close();
    if (!opened) {
        FUZZ_CHECK(count == 0);
        QFile::remove(path);
        return 0;
    }
    FUZZ_CHECK(count == int32_t(scenes.size()));
    CheckFile(fuzz::ReadWhole(path), name, count, scenes);
    FUZZ_CHECK(QFile::remove(path));
    return 0;
}
