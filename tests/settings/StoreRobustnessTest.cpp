#include "AtomicFile.h"
#include "IniFile.h"
#include "ParameterTable.h"
#include "RegistryStore.h"
#include "Sandbox.h"

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
