// What `cmake --install` puts into a prefix, run and validated from there.
#include "Run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kPrefix = QStringLiteral(VR_PREFIX);

QString installed(const QString& relative) {
    return kPrefix + u'/' + relative;
}

QByteArray readAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Width and height from a PNG's header chunk; {0, 0} when the file is no PNG.
std::pair<int, int> pngSize(const QString& file) {
    const QByteArray b = readAll(file);
    if (b.size() < 24 || !b.startsWith("\x89PNG\r\n\x1a\n") || b.mid(12, 4) != "IHDR")
        return {0, 0};
    const auto be32 = [&b](int at) {
        return int(quint8(b[at]) << 24 | quint8(b[at + 1]) << 16 | quint8(b[at + 2]) << 8 |
                   quint8(b[at + 3]));
    };
    return {be32(16), be32(20)};
}

TEST(InstalledTree, EveryFileInItsPlace) {
    for (const char* program : {"bin/vidorra", "bin/vidorra-script"}) {
        const QFileInfo info(installed(QLatin1String(program)));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program;
    }
    const QStringList files = {
        QStringLiteral(VR_PLUGIN_SUBDIR "/libgstvidorra.so"),
        QStringLiteral("include/vidorra/pvr.h"),
        QStringLiteral("share/pkgconfig/vidorra-pvr.pc"),
        QStringLiteral("share/doc/vidorra/plugins.md"),
        QStringLiteral("share/doc/vidorra/examples/plugins/mire-exemple.c"),
        QStringLiteral("share/doc/vidorra/examples/plugins/CMakeLists.txt"),
        QStringLiteral("share/applications/com.ardoval.Vidorra.desktop"),
        QStringLiteral("share/metainfo/com.ardoval.Vidorra.metainfo.xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/com.ardoval.Vidorra.svg"),
        QStringLiteral("share/man/man1/vidorra.1.gz"),
    };
    for (const QString& file : files)
        EXPECT_TRUE(QFileInfo(installed(file)).isFile()) << file.toStdString();
    // The plug-in folder is GStreamer's own under the prefix, and nothing of the build
    // (tests, benchmarks, the example's built plug-in) comes along.
    EXPECT_TRUE(QStringLiteral(VR_PLUGIN_SUBDIR).endsWith(QStringLiteral("/gstreamer-1.0")));
    EXPECT_EQ(QDir(installed(QStringLiteral("bin"))).entryList(QDir::Files),
              QStringList({QStringLiteral("vidorra"), QStringLiteral("vidorra-script")}));
    EXPECT_EQ(QDir(installed(QStringLiteral(VR_PLUGIN_SUBDIR))).entryList(QDir::Files),
              QStringList(QStringLiteral("libgstvidorra.so")));
}

TEST(InstalledTree, IconAtEveryHicolorSize) {
    const QStringList sizes = QStringLiteral(VR_ICON_SIZES).split(u',');
    EXPECT_EQ(sizes, QStringList({"16", "32", "48", "64", "128", "256"}));
    for (const QString& size : sizes) {
        const QString file = installed(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/com.ardoval.Vidorra.png").arg(size));
        EXPECT_EQ(pngSize(file), std::make_pair(size.toInt(), size.toInt())) << file.toStdString();
    }
    EXPECT_TRUE(readAll(installed("share/icons/hicolor/scalable/apps/com.ardoval.Vidorra.svg"))
                    .contains("<svg"));
}

TEST(InstalledTree, ScriptToolRunsAProgram) {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("essai.pas"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("program essai;\n"
            "var i: Integer;\n"
            "begin\n"
            "  i := 6 * 7;\n"
            "  showmessage('réponse ' + IntToStr(i));\n"
            "  setScript(true);\n"
            "end.\n");
    f.close();
    const Ran r = run(installed(QStringLiteral("bin/vidorra-script")), {script});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("réponse 42\nappel setScript True\n"));
}

TEST(InstalledTree, GstInspectFindsThePluginInThePrefix) {
    const QString folder = installed(QStringLiteral(VR_PLUGIN_SUBDIR));
    const Ran r = run(QStringLiteral("gst-inspect-1.0"), {QStringLiteral("vidorra")},
                      {{"GST_PLUGIN_PATH", folder}, {"GST_REGISTRY", VR_REGISTRY}});
    ASSERT_EQ(r.code, 0) << r.all().toStdString();
    EXPECT_TRUE(r.out.contains(folder + QStringLiteral("/libgstvidorra.so")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral(VR_VERSION)));
    for (const char* element :
         {"vr_superposer", "vr_timestamper", "vr_scenedetect", "vr_dvavimux", "vr_wavedest"})
        EXPECT_TRUE(r.out.contains(QLatin1String(element))) << element;
}

TEST(InstalledTree, DesktopEntryAndMetainfoValidate) {
    const QString desktop =
        installed(QStringLiteral("share/applications/com.ardoval.Vidorra.desktop"));
    const Ran d = run(QStringLiteral("desktop-file-validate"), {desktop});
    ASSERT_NE(d.code, -1) << "desktop-file-validate manque (scripts/install-deps.sh l'installe)";
    EXPECT_EQ(d.code, 0) << d.all().toStdString();
    EXPECT_TRUE(d.all().trimmed().isEmpty()) << d.all().toStdString();

    const QString entry = QString::fromUtf8(readAll(desktop));
    for (const char* line : {"\nExec=vidorra\n", "\nIcon=com.ardoval.Vidorra\n",
                             "\nCategories=AudioVideo;Video;Recorder;\n", "\nName=Vidorra\n",
                             "\nComment=Prévisualiser et enregistrer"})
        EXPECT_TRUE(entry.contains(QString::fromUtf8(line))) << line;

    const QString metainfo =
        installed(QStringLiteral("share/metainfo/com.ardoval.Vidorra.metainfo.xml"));
    const Ran m = run(QStringLiteral("appstreamcli"),
                      {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    ASSERT_NE(m.code, -1) << "appstreamcli manque (scripts/install-deps.sh l'installe)";
    EXPECT_EQ(m.code, 0) << m.all().toStdString();
    const QString xml = QString::fromUtf8(readAll(metainfo));
    EXPECT_TRUE(xml.contains(QStringLiteral("<release version=\"" VR_VERSION "\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral(
        "<launchable type=\"desktop-id\">com.ardoval.Vidorra.desktop</launchable>")));
}

TEST(InstalledTree, ManualPageListsSwitchesAndTokens) {
    const QString page = installed(QStringLiteral("share/man/man1/vidorra.1.gz"));
    const Ran z = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), page});
    ASSERT_EQ(z.code, 0) << z.err.toStdString();
    const QString roff = z.out;
    EXPECT_TRUE(roff.startsWith(QStringLiteral(".\\\" -*- coding: UTF-8 -*-\n")));
    EXPECT_TRUE(roff.contains(QStringLiteral(".TH VIDORRA 1 ")));
    EXPECT_TRUE(roff.contains(QStringLiteral("\"Vidorra " VR_VERSION "\"")));
    // The capture command by its switch and its token, with its caption and key.
    EXPECT_TRUE(roff.contains(
        QStringLiteral(".TP\n\\fB/c\\fR, \\fB/capture\\fR\nCapturer. Touches : Ctrl+Space.\n")))
        << roff.toStdString();
    // A toggle says how to switch it on and off.
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB/fs\\fR, \\fB/full_screen\\fR\n")));
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB+fs\\fR met en marche")));
    // The first action of the list answers a name: "fc" is the capture freeze, so the
    // capture format is reached by its token only; "quit" is the runner's own word.
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB/fc\\fR, \\fB/freeze_capture\\fR\n")));
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB/format_capture\\fR\nFormat Capture.")));
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB/q\\fR\nQuitter.")));
    // Selectors and the manager's settings.
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB/sv\\fR, \\fB/source_video\\fR\n")));
    EXPECT_TRUE(roff.contains(QStringLiteral("\\fB/cam1=")));

    // The page renders without a warning.
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("vidorra.1"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(roff.toUtf8());
    f.close();
    const Ran g =
        run(QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("preconv \"$1\" | groff -man -Tutf8 -ww -z"),
             QStringLiteral("sh"), plain});
    EXPECT_EQ(g.code, 0) << g.err.toStdString();
    EXPECT_TRUE(g.err.isEmpty()) << g.err.toStdString();
}

// A plug-in writer's path: the example, copied from the installed documentation, builds
// against the installed header alone.
TEST(InstalledTree, ExamplePluginBuildsFromThePrefix) {
    QTemporaryDir dir;
    const QString source = installed(QStringLiteral("share/doc/vidorra/examples/plugins"));
    const QString build = dir.filePath(QStringLiteral("build"));
    const Ran c = run(QStringLiteral("cmake"),
                      {QStringLiteral("-S"), source, QStringLiteral("-B"), build,
                       QStringLiteral("-G"), QStringLiteral("Ninja")},
                      {{"CCACHE_DISABLE", "1"}});
    ASSERT_EQ(c.code, 0) << c.all().toStdString();
    EXPECT_TRUE(readAll(build + QStringLiteral("/CMakeCache.txt"))
                    .contains(("VIDORRA_INCLUDE_DIR:PATH=" + kPrefix + "/include\n").toUtf8()));
    const Ran b = run(QStringLiteral("cmake"), {QStringLiteral("--build"), build});
    ASSERT_EQ(b.code, 0) << b.all().toStdString();
    EXPECT_TRUE(QFileInfo(build + QStringLiteral("/mire-exemple.pvr")).isFile());
}

} // namespace
