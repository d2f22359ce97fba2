// The Debian package that `cpack -G DEB` leaves in the build folder (scripts/test.sh makes
// it before the tests), unpacked into a temporary root and run from there. Without a
// package, or with one older than the program, the test is skipped.
#include "Run.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString packageFile() {
    const QFileInfoList found = QDir(QStringLiteral(VR_BUILD_DIR))
                                    .entryInfoList({QStringLiteral("vidorra_" VR_VERSION "_*.deb")},
                                                   QDir::Files, QDir::Time);
    return found.isEmpty() ? QString() : found.first().absoluteFilePath();
}

TEST(Package, UnpacksAndRunsFromItsRoot) {
    const QString deb = packageFile();
    if (deb.isEmpty())
        GTEST_SKIP() << "pas de paquet : cpack -G DEB dans " VR_BUILD_DIR;
    if (QFileInfo(deb).lastModified() < QFileInfo(QStringLiteral(VR_BUILT_PROGRAM)).lastModified())
        GTEST_SKIP() << "paquet plus ancien que le programme : cpack -G DEB dans " VR_BUILD_DIR;

    // What the package says of itself.
    const Ran fields = run(QStringLiteral("dpkg-deb"),
                           {QStringLiteral("--field"), deb, QStringLiteral("Package"),
                            QStringLiteral("Version"), QStringLiteral("Depends"),
                            QStringLiteral("Maintainer"), QStringLiteral("Description")});
    ASSERT_EQ(fields.code, 0) << fields.err.toStdString();
    const QString f = fields.out;
    EXPECT_TRUE(f.contains(QStringLiteral("Package: vidorra\n")));
    EXPECT_TRUE(f.contains(QStringLiteral("Version: " VR_VERSION "\n")));
    EXPECT_TRUE(f.contains(QStringLiteral("Maintainer: ")));
    // Found by dpkg-shlibdeps in the binaries, and added for what the program loads itself.
    for (const char* depends :
         {"libqt6widgets6", "libgstreamer1.0-0", "libpangocairo-1.0-0", "gstreamer1.0-plugins-good",
          "gstreamer1.0-plugins-bad", "gstreamer1.0-plugins-ugly", "gstreamer1.0-libav",
          "fonts-liberation2"})
        EXPECT_TRUE(f.contains(QLatin1String(depends))) << depends << "\n" << f.toStdString();

    QTemporaryDir root;
    const Ran x = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root.path()});
    ASSERT_EQ(x.code, 0) << x.err.toStdString();
    const QString usr = root.filePath(QStringLiteral("usr"));

    const QFileInfo program(usr + QStringLiteral("/bin/vidorra"));
    ASSERT_TRUE(program.isFile() && program.isExecutable());
    EXPECT_TRUE(QFileInfo(usr + QStringLiteral("/bin/vidorra-script")).isExecutable());
    // The unpacked program answers without a display and without starting.
    const Ran v = run(program.filePath(), {QStringLiteral("--version")},
                      {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}});
    EXPECT_EQ(v.code, 0) << v.all().toStdString();
    EXPECT_TRUE(v.out.contains(QStringLiteral(VR_VERSION))) << v.out.toStdString();

    // The plug-in from the package's own folder.
    const QString plugins = usr + QStringLiteral("/" VR_PLUGIN_SUBDIR);
    const Ran inspect = run(QStringLiteral("gst-inspect-1.0"), {QStringLiteral("vidorra")},
                            {{"GST_PLUGIN_PATH", plugins},
                             {"GST_REGISTRY", root.filePath(QStringLiteral("registry.bin"))}});
    ASSERT_EQ(inspect.code, 0) << inspect.all().toStdString();
    EXPECT_TRUE(inspect.out.contains(plugins + QStringLiteral("/libgstvidorra.so")));
    EXPECT_TRUE(inspect.out.contains(QStringLiteral("vr_superposer")));

    // The desktop files, the icon and the manual page came along.
    const Ran d = run(QStringLiteral("desktop-file-validate"),
                      {usr + QStringLiteral("/share/applications/com.ardoval.Vidorra.desktop")});
    EXPECT_EQ(d.code, 0) << d.all().toStdString();
    const Ran m = run(QStringLiteral("appstreamcli"),
                      {QStringLiteral("validate"), QStringLiteral("--no-net"),
                       usr + QStringLiteral("/share/metainfo/com.ardoval.Vidorra.metainfo.xml")});
    EXPECT_EQ(m.code, 0) << m.all().toStdString();
    for (const char* file :
         {"/share/icons/hicolor/48x48/apps/com.ardoval.Vidorra.png", "/share/man/man1/vidorra.1.gz",
          "/include/vidorra/pvr.h", "/share/pkgconfig/vidorra-pvr.pc"})
        EXPECT_TRUE(QFileInfo(usr + QLatin1String(file)).isFile()) << file;
}

} // namespace
