#include "AtomicFile.h"
#include "DamagedStore.h"
#include "IniFile.h"
#include "Log.h"
#include "ParameterTable.h"
#include "RegistryStore.h"
#include "Sandbox.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

// Writes the first `budget` bytes, then fails, as a disk that fills up mid-write would.
class FailingSeam : public FileWriteSeam {
public:
    explicit FailingSeam(qint64 budget) : m_budget(budget) {}
    qint64 write(QIODevice& file, const QByteArray& data) override {
        const qint64 n = std::min<qint64>(m_budget, data.size());
        file.write(data.constData(), n);
        return n < data.size() ? -1 : n;
    }

private:
    qint64 m_budget;
};

struct SeamGuard {
    explicit SeamGuard(FileWriteSeam* s) : previous(setFileWriteSeam(s)) {}
    ~SeamGuard() { setFileWriteSeam(previous); }
    FileWriteSeam* previous;
};

// Saves once with the given mode, then tries a second save with other values through
// `failing` and checks the first store is still there, byte for byte and by value.
void expectFailedSaveKeepsStore(TSavePreferences mode, const QString& storeFile,
                                FileWriteSeam* failing, const std::function<void()>& fill = {}) {
    TparameterList list(AppPaths::signature());
    CreateParameters(list);
    PrefsMode = mode;
    Prm.volume->Value = 1234;
    ASSERT_TRUE(SaveParameters(list));
    const QByteArray before = Sandbox::read(storeFile);
    ASSERT_FALSE(before.isEmpty());

    Prm.volume->Value = 4321;
    Prm.sourcesExclues->Value = QString(200000, QChar('x'));
    if (fill)
        fill();
    {
        SeamGuard guard(failing);
        EXPECT_FALSE(SaveParameters(list));
    }
    EXPECT_EQ(Sandbox::read(storeFile), before);
    TparameterList again(AppPaths::signature());
    CreateParameters(again);
    EXPECT_EQ(PrefsMode, mode);
    EXPECT_EQ(Prm.volume->Value, 1234);
}

} // namespace

TEST(StoreRobustness, AWriteFailingPartWayLeavesThePreviousStore) {
    for (qint64 budget : {0, 1, 100, 5000}) {
        SCOPED_TRACE(budget);
        {
            Sandbox box;
            ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
            FailingSeam seam(budget);
            expectFailedSaveKeepsStore(spPortable, AppPaths::iniFilePath(), &seam);
        }
        {
            Sandbox box;
            FailingSeam seam(budget);
            expectFailedSaveKeepsStore(spRegistre, AppPaths::registryFilePath(), &seam);
        }
    }
}

TEST(StoreRobustness, AFullDiskLeavesThePreviousStore) {
    Sandbox box;
    const QString dir = box.exeDir();
    if (::mount("tmpfs", dir.toLocal8Bit().constData(), "tmpfs", 0, "size=4M") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    struct Unmount {
        QString dir;
        ~Unmount() { ::umount2(dir.toLocal8Bit().constData(), MNT_DETACH); }
    } unmount{dir};

    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    auto fillDisk = [&] {
        QFile filler(dir + "/remplissage");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'z');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
    };
    expectFailedSaveKeepsStore(spPortable, AppPaths::iniFilePath(), nullptr, fillDisk);
}

TEST(StoreRobustness, DamagedStoresLoadDefaultsForWhatCannotBeRead) {
    Sandbox box;
    QLoggingCategory::setFilterRules("vidorra.warning=false");
    QLocale::setDefault(QLocale(QLocale::French));
    // A good store of each kind to cut and scramble.
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    {
        TparameterList list(AppPaths::signature());
        CreateParameters(list);
        PrefsMode = spPortable;
        ASSERT_TRUE(SaveParameters(list));
        PrefsMode = spRegistre;
        ASSERT_TRUE(SaveParameters(list));
    }
    const QByteArray ini = Sandbox::read(AppPaths::iniFilePath());
    const QByteArray reg = Sandbox::read(AppPaths::registryFilePath());

    QRandomGenerator rng(20261208);
    auto damage = [&](const QByteArray& good, int round) {
        QByteArray bytes = good;
        switch (round % 4) {
        case 0:
            bytes.truncate(rng.bounded(qsizetype(good.size())));
            break;
        case 1:
            for (int k = 0; k < 20; ++k)
                bytes[rng.bounded(qsizetype(bytes.size()))] = char(rng.bounded(256));
            break;
        case 2:
            bytes.resize(rng.bounded(4096));
            for (char& c : bytes)
                c = char(rng.bounded(256));
            break;
        default:
            bytes = good.mid(rng.bounded(qsizetype(good.size())));
            break;
        }
        return bytes;
    };
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(Sandbox::write(AppPaths::iniFilePath(), damage(ini, round)));
        ASSERT_TRUE(Sandbox::write(AppPaths::registryFilePath(), damage(reg, round)));
        for (TSavePreferences mode : {spPortable, spRegistre}) {
            TparameterList list(AppPaths::signature());
            CreateParameters(list);
            PrefsMode = mode;
            list.LoadAll();
            ASSERT_EQ(list.count(), kParameterCount);
            EXPECT_FALSE(Prm.videoRacine->Value.isEmpty());
            EXPECT_FALSE(Prm.videoDirectory->Value.isEmpty());
        }
    }

    // Absurd values: out of range numbers are no numbers, bytes keep their low 8 bits.
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(),
                              {"[" + kStorePath + "]", "Volume=99999999999", "Capture Format=1031",
                               "Framerate=1e400", "Panneau actif=-1"}));
    TparameterList list(AppPaths::signature());
    CreateParameters(list);
    EXPECT_EQ(Prm.volume->Value, 0);
    EXPECT_EQ(Prm.captureFormat->Value, 7);
    EXPECT_EQ(Prm.framerate->Value, 0.0);
    EXPECT_EQ(Prm.panneauActif->Value, 255);
    QLoggingCategory::setFilterRules({});
}

namespace {

// Saves the parameters in mode, then loads them again as the next start would; returns the
// volume loaded (the parameters go with their list).
int saveThenLoad(TSavePreferences mode) {
    {
        TparameterList list(AppPaths::signature());
        CreateParameters(list);
        PrefsMode = mode;
        EXPECT_TRUE(SaveParameters(list));
    }
    TparameterList again(AppPaths::signature());
    CreateParameters(again);
    return Prm.volume->Value;
}

QByteArray utf16(const QString& text) {
    return QByteArray("\xFF\xFE", 2) +
           QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

// A damaged store is copied beside it before anything is written over it, once per damaged
// content, and the user is told once; what could be read stays, the rest is written back
// clean. A registry saved as UTF-16 by an editor is no damage.
TEST(StoreRobustness, ADamagedStoreIsKeptBesideItAndSaidOnce) {
    Sandbox box;
    QLoggingCategory::setFilterRules("vidorra.warning=false");
    takeUserNotices();

    // An INI whose own section has a line of garbage and whose last character is cut.
    const QByteArray ini = utf16("[" + kStorePath +
                                 "]\r\nVolume=1234\r\n\r\n[Mes réglages]\r\nGarde=1\r\n"
                                 "\x01\x02 abîmé\r\n") +
                           "\x00";
    ASSERT_TRUE(Sandbox::write(AppPaths::iniFilePath(), ini));
    EXPECT_EQ(saveThenLoad(spPortable), 1234);
    EXPECT_EQ(Sandbox::read(AppPaths::iniFilePath() + ".illisible"), ini);
    QStringList lines;
    ASSERT_TRUE(IniFile::load(AppPaths::iniFilePath(), lines));
    EXPECT_TRUE(lines.contains("[Mes réglages]") && lines.contains("Garde=1"));
    EXPECT_FALSE(IniFile::damaged(Sandbox::read(AppPaths::iniFilePath()), lines));
    QStringList notices = takeUserNotices();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains("endommagé") && notices[0].contains(".ini.illisible"));

    // A registry of random bytes after another program's key.
    const QString reg = AppPaths::registryFilePath();
    QDir().mkpath(QFileInfo(reg).absolutePath());
    QByteArray random = "[Software\\Autre]\n\"Garde\"=dword:00000007\n";
    QRandomGenerator rng(31);
    for (int i = 0; i < 3000; ++i)
        random.append(char(rng.bounded(256)));
    ASSERT_TRUE(Sandbox::write(reg, random));
    saveThenLoad(spRegistre);
    EXPECT_EQ(Sandbox::read(reg + ".illisible"), random);
    EXPECT_EQ(TRegistryFile(reg).value("Software\\Autre", "Garde"), TRegValue::fromDword(7));
    EXPECT_EQ(takeUserNotices().size(), 1);

    // Damaged again, otherwise: a second copy, the first untouched, nothing said twice.
    QByteArray again = Sandbox::read(reg) + "\"Cassé\"=dword:zz\n";
    ASSERT_TRUE(Sandbox::write(reg, again));
    saveThenLoad(spRegistre);
    EXPECT_EQ(Sandbox::read(reg + ".illisible"), random);
    EXPECT_EQ(Sandbox::read(reg + ".2.illisible"), again);
    EXPECT_TRUE(takeUserNotices().isEmpty());

    // UTF-16 with its mark reads whole.
    QFile::remove(reg + ".illisible");
    QFile::remove(reg + ".2.illisible");
    ASSERT_TRUE(Sandbox::write(
        reg, utf16("[Software\\Autre]\r\n\"Garde\"=dword:00000007\r\n[Software\\Ardoval\\Vidorra]"
                   "\r\n\"Volume\"=dword:00000929\r\n")));
    TparameterList list(AppPaths::signature());
    CreateParameters(list);
    PrefsMode = spRegistre;
    list.LoadAll();
    EXPECT_EQ(Prm.volume->Value, 2345);
    EXPECT_FALSE(QFile::exists(reg + ".illisible"));
    QLoggingCategory::setFilterRules({});
}

// A store far larger than the program ever writes is not read: defaults, the original kept
// beside it, and the next save writes a store of the usual size.
TEST(StoreRobustness, AFarTooLargeStoreIsSetAsideForTheDefaults) {
    Sandbox box;
    QLoggingCategory::setFilterRules("vidorra.warning=false");
    takeUserNotices();
    QString text = "[" + kStorePath + "]\r\nVolume=1234\r\n";
    QByteArray regText = "[Software\\Ardoval\\Vidorra]\n\"Volume\"=dword:000004d2\n";
    for (int i = 0; text.size() < DamagedStore::kLargestStore; ++i) {
        text += QStringLiteral("Clef%1=une valeur qui remplit le fichier\r\n").arg(i);
        regText +=
            QStringLiteral("\"Clef%1\"=\"une valeur qui remplit le fichier\"\n").arg(i).toUtf8();
    }
    const QString reg = AppPaths::registryFilePath();
    QDir().mkpath(QFileInfo(reg).absolutePath());
    for (const auto& [mode, file, bytes] :
         {std::tuple{spPortable, AppPaths::iniFilePath(), utf16(text)},
          std::tuple{spRegistre, reg, regText}}) {
        ASSERT_TRUE(Sandbox::write(file, bytes));
        TparameterList list(AppPaths::signature());
        CreateParameters(list);
        PrefsMode = mode;
        list.LoadAll();
        EXPECT_NE(Prm.volume->Value, 1234);
        ASSERT_TRUE(SaveParameters(list));
        EXPECT_LT(QFileInfo(file).size(), 1024 * 1024);
        EXPECT_EQ(QFileInfo(file + ".illisible").size(), bytes.size());
        const QStringList notices = takeUserNotices();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains("trop grand"));
    }
    QLoggingCategory::setFilterRules({});
}
