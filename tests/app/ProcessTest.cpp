// The program as a process: a recording survives SIGTERM and, once the program has started
// again, SIGKILL.
#include "LastPacket.h"
#include "ProgramProcess.h"
#include "Sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

using namespace ProgramProcess;

// Starts the program with a portable store that sends recordings to box/videos. It is a
// program of its own: it never hands its command line to one open in the session.
std::unique_ptr<QProcess> start(const Sandbox& box, const QStringList& arguments,
                                const QString& videos = {},
                                const QMap<QString, QString>& variables = {}) {
    const QString exe = install(box, videos);
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = environmentOf(box);
    for (auto it = variables.begin(); it != variables.end(); ++it)
        env.insert(it.key(), it.value());
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(exe, QStringList{"--new-instance"} + arguments);
    p->waitForStarted();
    return p;
}

int packetsOf(const QString& info, const QString& codec) {
    for (const QString& line : info.split('\n'))
        if (line.startsWith("codec_name=" + codec + "|"))
            return line.section("nb_read_packets=", 1).section('|', 0, 0).toInt();
    return -1;
}

// Waits until the recording has written that much to the disk (about a second per 64 KiB
// here), however long a busy machine takes to start; returns the file.
QString waitUntilRecorded(const Sandbox& box, qint64 bytes) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 90000) {
        const QString file = recordedFile(box);
        if (!file.isEmpty() && QFileInfo(file).size() >= bytes)
            return file;
        QThread::msleep(100);
    }
    return {};
}

// The bytes of every packet ffprobe can read in the file.
qint64 packetBytes(const QString& file) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries", "packet=size", "-of", "csv=p=0", file});
    p.waitForFinished(60000);
    qint64 total = 0;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        total += line.trimmed().toLongLong();
    return total;
}

double durationOf(const QString& info) {
    const int at = info.indexOf("duration=");
    return at < 0 ? 0 : info.mid(at + 9).section('\n', 0, 0).toDouble();
}

const QStringList kRecordDivx{"/sv=Mire de test", "/sa=Signal de test", "/format_capture=divx",
                              "/c"};

} // namespace

TEST(Process, SigtermFinishesTheRecording) {
    Sandbox box;
    auto p = start(box, kRecordDivx);
    ASSERT_FALSE(waitUntilRecorded(box, 130 * 1024).isEmpty()) << p->readAll().toStdString();
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(20000));
    const QString file = recordedFile(box);
    ASSERT_FALSE(file.isEmpty()) << p->readAll().toStdString();
    const QString info = probe(file);
    EXPECT_TRUE(info.contains("codec_name=mpeg4")) << info.toStdString();
    EXPECT_TRUE(info.contains("codec_name=mp3")) << info.toStdString();
    EXPECT_GT(durationOf(info), 1.5) << info.toStdString();
    // As much sound as pictures (one MP3 frame of 1152 samples at 48 kHz per chunk).
    EXPECT_NEAR(packetsOf(info, "mp3") * 0.024, packetsOf(info, "mpeg4") / 25.0, 0.7)
        << info.toStdString();
}

TEST(Process, KilledRecordingIsRepairedAtTheNextStart) {
    Sandbox box;
    auto p = start(box, kRecordDivx);
    // Killed once a few seconds of the recording have reached the disk.
    const QString file = waitUntilRecorded(box, 200 * 1024);
    p->kill();
    p->waitForFinished(10000);
    ASSERT_FALSE(file.isEmpty());
    const qint64 onDisk = QFileInfo(file).size();
    auto again = start(box, {"/quit"});
    ASSERT_TRUE(again->waitForFinished(30000));
    const QString info = probe(file);
    EXPECT_TRUE(info.contains("codec_name=mpeg4")) << info.toStdString();
    EXPECT_TRUE(info.contains("codec_name=mp3")) << info.toStdString();
    // Everything that had reached the disk plays, but for the chunk being written at the kill
    // (the writer's 64 KiB block) and the headers.
    EXPECT_GE(packetBytes(file), onDisk - 96 * 1024) << info.toStdString();
    EXPECT_GE(packetsOf(info, "mpeg4"), 25) << info.toStdString();
    EXPECT_GE(packetsOf(info, "mp3") * 0.024, 1.0) << info.toStdString();
    // The sound plays about as long as the pictures: its time base came back with the repair
    // (without it, a few seconds of sound spread over most of an hour). At the kill the sound
    // may run ahead of the pictures by what the picture encoder still held.
    EXPECT_NEAR(lastPacketTime(file, "a:0"), lastPacketTime(file, "v:0"), 1.0);
}

// A native MPEG stream or an MP3 file is a few kilobytes a second: killed, the program leaves
// on disk all that its elements had been given, not what a write buffer still held (seconds
// of it), and the next start makes it play.
TEST(Process, AKilledRecordingKeepsItsFirstSeconds) {
    for (const auto& [format, codec, seconds] :
         {std::tuple{"flux mpeg2 natif", "mpeg2video", 6}, std::tuple{"mp3", "mp3", 3}}) {
        SCOPED_TRACE(format);
        Sandbox box;
        auto p = start(box, {"/sv=MPEG virtuel", "/sa=Signal de test",
                             QStringLiteral("/format_capture=") + format, "/c"});
        const QString file = waitUntilRecorded(box, 0); // from its creation
        ASSERT_FALSE(file.isEmpty()) << p->readAll().toStdString();
        QThread::msleep(seconds * 1000);
        p->kill();
        p->waitForFinished(10000);
        auto again = start(box, {"/quit"});
        ASSERT_TRUE(again->waitForFinished(30000));
        const QString info = probe(file);
        EXPECT_TRUE(info.contains(QStringLiteral("codec_name=") + codec)) << info.toStdString();
        EXPECT_GE(lastPacketTime(file, codec == QLatin1String("mp3") ? "a:0" : "v:0"),
                  seconds - 1.0)
            << info.toStdString();
    }
}

// A second signal while the first one's close waits for the recording's end (as a service
// manager or a user pressing Ctrl+C twice sends): the close goes on, the file gets its end and
// the program ends by itself, well within the time its watchdog allows.
TEST(Process, ASecondSigtermDuringTheEndKeepsTheFile) {
    Sandbox box;
    auto p = start(box, kRecordDivx);
    ASSERT_FALSE(waitUntilRecorded(box, 130 * 1024).isEmpty()) << p->readAll().toStdString();
    QElapsedTimer clock;
    clock.start();
    p->terminate();
    QThread::msleep(20);
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(40000));
    const QString output = QString::fromUtf8(p->readAll());
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0) << output.toStdString();
    EXPECT_FALSE(output.contains("did not end")) << output.toStdString();
    const QString file = recordedFile(box);
    ASSERT_FALSE(file.isEmpty());
    const QString info = probe(file);
    EXPECT_GT(durationOf(info), 1.5) << info.toStdString();
    EXPECT_NEAR(packetsOf(info, "mp3") * 0.024, packetsOf(info, "mpeg4") / 25.0, 0.7)
        << info.toStdString();
    // Nothing was left for the next start to repair.
    auto again = start(box, {"/quit"});
    ASSERT_TRUE(again->waitForFinished(30000));
    EXPECT_EQ(probe(file), info);
}

// A signal while a message box waits for a click: the box is closed, its message kept for the
// next start, and the program ends at once.
TEST(Process, SigtermClosesAnOpenMessageBox) {
    Sandbox box;
    // The folder of recordings cannot be made (a file stands where its parent should be).
    ASSERT_TRUE(Sandbox::write(box.path("blocked"), "a file"));
    auto p = start(box, kRecordDivx, box.path("blocked/videos"));
    const QString pending = box.home() + "/.config/Ardoval/messages-en-attente.txt";
    QThread::sleep(4);
    ASSERT_EQ(p->state(), QProcess::Running);
    QElapsedTimer clock;
    clock.start();
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(5000)) << p->readAll().toStdString();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(
        QString::fromUtf8(Sandbox::read(pending)).contains("Impossible de créer le dossier"))
        << p->readAll().toStdString();
}

// The shortcuts window left open does not keep the program alive once its main window
// closed: SIGTERM ends it within seconds, with its normal exit.
TEST(Process, SigtermWithTheShortcutsWindowOpenEndsTheProgram) {
    Sandbox box;
    auto p = start(box, {"/sv=Mire de test", "+o"});
    QThread::sleep(4);
    ASSERT_EQ(p->state(), QProcess::Running) << p->readAll().toStdString();
    QElapsedTimer clock;
    clock.start();
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(20000)) << p->readAll().toStdString();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(p->exitCode(), 0) << p->readAll().toStdString();
}

// A recording whose end does not reach its file in time while the program closes on a
// signal: nobody is asked, the file is repaired, the warning waits for the next start, which
// shows it and forgets it.
TEST(Process, SigtermWithALateEndLeavesARepairedFileAndAMessage) {
    Sandbox box;
    auto p = start(box, kRecordDivx, {}, {{"VIDORRA_END_WAIT_MS", "0"}});
    ASSERT_FALSE(waitUntilRecorded(box, 130 * 1024).isEmpty());
    QThread::sleep(1);
    QElapsedTimer clock;
    clock.start();
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(5000)) << p->readAll().toStdString();
    EXPECT_LT(clock.elapsed(), 5000);
    const QString file = recordedFile(box);
    ASSERT_FALSE(file.isEmpty());
    const QString info = probe(file);
    EXPECT_GE(packetsOf(info, "mpeg4"), 40) << info.toStdString();
    const QString pending = box.home() + "/.config/Ardoval/messages-en-attente.txt";
    EXPECT_TRUE(QString::fromUtf8(Sandbox::read(pending)).contains("ne s'est pas terminé à temps"));
    auto again = start(box, {"/quit"});
    ASSERT_TRUE(again->waitForFinished(30000));
    EXPECT_FALSE(QFile::exists(pending));
}

// The program and its INI file on a read-only medium: a close on a signal cannot save the
// settings, and says so in the log and at the next start, without waiting for anybody.
TEST(Process, SigtermOnAReadOnlyMediumKeepsTheSaveFailureForTheNextStart) {
    Sandbox box;
    const QString medium = box.exeDir();
    QDir().mkpath(medium);
    ASSERT_TRUE(QFile::copy(VIDORRA_EXE, medium + "/vidorra"));
    ASSERT_TRUE(Sandbox::write(medium + "/Vidorra.ini", "[]\r\n"));
    const QByteArray dir = medium.toLocal8Bit();
    if (::mount(dir.constData(), dir.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "mounting is not permitted here";
    struct Unmount {
        QByteArray dir;
        ~Unmount() { ::umount2(dir.constData(), MNT_DETACH); }
    } unmount{dir};
    ASSERT_EQ(::mount(nullptr, dir.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
              0);

    auto p = start(box, {});
    QThread::sleep(4);
    ASSERT_EQ(p->state(), QProcess::Running);
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(5000)) << p->readAll().toStdString();
    const QString message =
        "Les préférences n'ont pas pu être enregistrées dans " + medium + "/Vidorra.ini.";
    EXPECT_TRUE(QString::fromUtf8(p->readAll()).contains(message));
    const QString pending = box.home() + "/.config/Ardoval/messages-en-attente.txt";
    EXPECT_TRUE(QString::fromUtf8(Sandbox::read(pending)).contains(message));
}

// A damaged INI file: the program starts, says once that the file is damaged and where the
// original is kept, and writes back what it could read (another program's section too).
TEST(Process, ADamagedIniFileIsKeptBesideAndSaidOnce) {
    Sandbox box;
    const QString text = "[\\Software\\Ardoval\\Vidorra]\r\nVideo Directory=" + box.path("videos") +
                         "/\r\n\r\n[Mes réglages]\r\nGarde=1\r\n\x01\x02 abîmé\r\n";
    QByteArray ini("\xFF\xFE", 2);
    ini += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    ini += '\0'; // cut in the middle of a character
    QDir().mkpath(box.exeDir());
    ASSERT_TRUE(Sandbox::write(box.exeDir() + "/Vidorra.ini", ini));

    auto p = start(box, {"/quit"});
    ASSERT_TRUE(p->waitForFinished(60000));
    EXPECT_EQ(p->exitCode(), 0);
    const QString log = QString::fromUtf8(p->readAll());
    EXPECT_EQ(log.count("Le fichier de réglages " + box.exeDir() + "/Vidorra.ini est endommagé"), 1)
        << log.toStdString();
    EXPECT_EQ(Sandbox::read(box.exeDir() + "/Vidorra.ini.illisible"), ini);
    const QByteArray bytes = Sandbox::read(box.exeDir() + "/Vidorra.ini");
    const QString written = QString::fromUtf16(
        reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    EXPECT_TRUE(written.contains("[Mes réglages]\r\nGarde=1\r\n"));
    EXPECT_FALSE(written.contains("abîmé"));
}

namespace {

// The program in box with hostile plug-ins in its folder (the program's own, the default
// plug-in folder) and its plug-in cache in the box. ownData: the user's data folder too, so
// that what a crash leaves there is this test's alone (the built-in devices then make their
// material anew, which a quit waits for).
QMap<QString, QString> withPlugins(const Sandbox& box, const QStringList& plugins,
                                   bool ownData = true) {
    install(box);
    for (const QString& name : plugins)
        QFile::copy(QStringLiteral(VR_HOSTILE_PLUGINS "/") + name + ".pvr",
                    box.exeDir() + "/" + name + ".pvr");
    QMap<QString, QString> env{{"XDG_CACHE_HOME", box.path("cache")}};
    if (ownData)
        env.insert("XDG_DATA_HOME", box.path("data"));
    return env;
}

struct Culprit {
    const char* plugin;
    const char* during;
};

class PlugInCrash : public ::testing::TestWithParam<Culprit> {};

} // namespace

// A plug-in that takes the program down (in pi_create and pi_setsourcegraph on the window
// thread, with a crash or an exception on its streaming thread while it previews) does it once: the
// next start sets it aside, says so once in French, and records from the built-in pattern it had
// taken over.
TEST_P(PlugInCrash, TheNextStartSetsItAsideAndRecords) {
    Sandbox box;
    const auto env = withPlugins(box, {GetParam().plugin});
    auto first = start(box, {}, {}, env);
    ASSERT_TRUE(first->waitForFinished(90000));
    // Taken down (a sanitizer may turn the signal into an exit code of its own).
    EXPECT_TRUE(first->exitStatus() == QProcess::CrashExit || first->exitCode() != 0)
        << first->readAll().toStdString();

    auto second = start(box, kRecordDivx, {}, env);
    const QString file = waitUntilRecorded(box, 64 * 1024);
    ASSERT_FALSE(file.isEmpty()) << second->readAll().toStdString();
    second->terminate();
    ASSERT_TRUE(second->waitForFinished(30000));
    const QString log = QString::fromUtf8(second->readAll());
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Le module %1.pvr a arrêté le programme pendant %2 ; "
                                            "il a été désactivé.")
                                 .arg(GetParam().plugin, GetParam().during)))
        << log.toStdString();
    const QString info = probe(file);
    EXPECT_GT(packetsOf(info, "mpeg4"), 10) << info.toStdString();

    auto third = start(box, {"/quit"}, {}, env);
    ASSERT_TRUE(third->waitForFinished(60000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_FALSE(third->readAll().contains("il a été désactivé"));
}

INSTANTIATE_TEST_SUITE_P(Process, PlugInCrash,
                         ::testing::Values(Culprit{"crash_creation", "la création de son instance"},
                                           Culprit{"crash_source", "la mise en place de sa source"},
                                           Culprit{"crash_flux", "l'aperçu ou l'enregistrement"},
                                           Culprit{"exception_flux",
                                                   "l'aperçu ou l'enregistrement"}),
                         [](const auto& info) { return std::string(info.param.plugin); });

// Plug-ins that crash, hang or scribble while they are searched, need a missing symbol or
// throw at the program: it opens at the first start, says each in French and quits cleanly.
TEST(Process, HostilePlugInsNeverKeepTheProgramFromOpening) {
    Sandbox box;
    const auto env = withPlugins(
        box, {"crash_nom", "crash_chargement", "debordement", "bloque", "symbole", "exception"});
    auto p = start(box, {"/quit"}, {}, env);
    ASSERT_TRUE(p->waitForFinished(90000));
    const QString log = QString::fromUtf8(p->readAll());
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(p->exitCode(), 0) << log.toStdString();
    for (const char* name : {"crash_nom", "crash_chargement", "debordement", "bloque", "symbole"})
        EXPECT_TRUE(
            log.contains(QStringLiteral("Le module %1.pvr n'a pas été retenu : ").arg(name)))
            << name << "\n"
            << log.toStdString();
    EXPECT_TRUE(log.contains("Le module exception.pvr a levé une exception pendant la mise en "
                             "place de sa source"))
        << log.toStdString();
}

namespace {

struct Trouble {
    const char* plugin;
    const char* said; // what the log says of it
};

class PlugInTrouble : public ::testing::TestWithParam<Trouble> {};

} // namespace

// A plug-in that blocks its streaming thread, sends broken pictures or leaks while it is
// recorded: the recording is finished and readable, the program says what happened naming
// the plug-in, and quitting takes seconds, not for ever.
TEST_P(PlugInTrouble, TheRecordingIsKeptAndTheProgramQuits) {
    Sandbox box;
    // Nothing is left behind in the data folder: the one all tests share will do.
    auto env = withPlugins(box, {GetParam().plugin}, false);
    env.insert("HOSTILE_GOOD_PICTURES", "100"); // 4 s of good pictures, then the trouble
    auto p = start(box, {"/sv=Mire hostile", "/sa=Signal de test", "/format_capture=divx", "/c"},
                   {}, env);
    const QString file = waitUntilRecorded(box, 16 * 1024);
    ASSERT_FALSE(file.isEmpty()) << p->readAll().toStdString();
    QString log;
    QElapsedTimer clock;
    clock.start();
    while (!log.contains(QString::fromUtf8(GetParam().said)) && clock.elapsed() < 60000 &&
           p->state() == QProcess::Running) {
        p->waitForReadyRead(200);
        log += QString::fromUtf8(p->readAll());
    }
    EXPECT_TRUE(log.contains(QString::fromUtf8(GetParam().said))) << log.toStdString();
    clock.restart();
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(30000));
    EXPECT_LT(clock.elapsed(), 15000) << (log + QString::fromUtf8(p->readAll())).toStdString();
    log += QString::fromUtf8(p->readAll());
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << log.toStdString();
    const QString info = probe(file);
    EXPECT_GT(packetsOf(info, "mpeg4"), 10) << info.toStdString() << log.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Process, PlugInTrouble,
    ::testing::Values(
        Trouble{"bloque_flux", "« Mire hostile » (module bloque_flux.pvr) n'envoie plus d'images"},
        Trouble{"images_courtes", "Le module images_courtes.pvr envoie des images incomplètes"},
        Trouble{"images_vides", "Le module images_vides.pvr envoie des images incomplètes"},
        Trouble{"fuite", "Le module fuite.pvr a pris "}),
    [](const auto& info) { return std::string(info.param.plugin); });
