// The inhibitor lock against a logind of the test's own on a private bus.
#include "SleepInhibitor.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Reads the lines a process prints until one matches, for at most ms.
QString lineOf(QProcess& p, const QString& start, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        while (p.canReadLine()) {
            const QString line = QString::fromUtf8(p.readLine()).trimmed();
            if (line.startsWith(start))
                return line;
        }
        p.waitForReadyRead(100);
    }
    return {};
}

// Waits until the process has printed each of the lines, in any order.
bool linesOf(QProcess& p, QStringList expected, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!expected.isEmpty() && clock.elapsed() < ms) {
        while (p.canReadLine())
            expected.removeOne(QString::fromUtf8(p.readLine()).trimmed());
        if (!expected.isEmpty())
            p.waitForReadyRead(100);
    }
    return expected.isEmpty();
}

} // namespace

TEST(SleepInhibitor, HoldsLogindsLockWhileARecordingIsProgrammedOrRuns) {
    QTemporaryDir dir;
    const QString config = dir.filePath("bus.conf");
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
            "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig>"
            "<type>custom</type><listen>unix:dir=" +
            dir.path().toUtf8() +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
            "send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
            "</busconfig>\n");
    f.close();
    QProcess daemon;
    daemon.start("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + config});
    ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon missing";
    const QString address = lineOf(daemon, "unix:");
    ASSERT_FALSE(address.isEmpty());

    TLogindInhibitor withoutLogind(QDBusConnection::connectToBus(address, "no-logind"));
    withoutLogind.Hold("Enregistrement programmé");
    EXPECT_FALSE(withoutLogind.held()); // said once in the log, nothing else

    QProcess logind;
    logind.start(FAKE_LOGIND, {address});
    ASSERT_FALSE(lineOf(logind, "ready").isEmpty());
    {
        TLogindInhibitor inhibitor(QDBusConnection::connectToBus(address, "vidorra"));
        inhibitor.Hold("Enregistrement programmé");
        EXPECT_TRUE(inhibitor.held());
        EXPECT_EQ(lineOf(logind, "Inhibit"), "Inhibit|sleep:idle|Vidorra|Enregistrement "
                                             "programmé|block");
        inhibitor.Hold("Enregistrement programmé"); // the same reason keeps the same lock
        // A new reason: the old lock ends and a new one is taken (logind may see the end of
        // the old descriptor after the new call).
        inhibitor.Hold("Enregistrement en cours");
        EXPECT_TRUE(linesOf(logind, {"released", "Inhibit|sleep:idle|Vidorra|Enregistrement en "
                                                 "cours|block"}));
        inhibitor.Release();
        EXPECT_FALSE(inhibitor.held());
        EXPECT_TRUE(linesOf(logind, {"released"}));
        inhibitor.Hold("Enregistrement en cours");
        EXPECT_TRUE(inhibitor.held());
        EXPECT_FALSE(lineOf(logind, "Inhibit").isEmpty());
    }
    // Gone with the program: the lock ends too.
    EXPECT_TRUE(linesOf(logind, {"released"}));
    logind.kill();
    daemon.kill();
    logind.waitForFinished();
    daemon.waitForFinished();
}
