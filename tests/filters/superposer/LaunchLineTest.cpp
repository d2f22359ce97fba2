// The overlay as a GStreamer user meets it: gst-launch-1.0 running the loadable plug-in
// (GST_PLUGIN_PATH on the built module, a registry of its own), one frame written as PNG.
#include "DVGenerator.h"
#include "DVPacks.h"

#include <QDate>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct Launch {
    bool ok = false;
    std::string output; // stdout and stderr
};

class LaunchLine : public testing::Test {
protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        dir = new QTemporaryDir;
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static std::string path(const char* name) { return dir->filePath(name).toStdString(); }

    // Runs gst-launch-1.0 -v on the pipeline with only the build's plug-in added.
    static Launch launch(const std::string& pipeline) {
        Launch result;
        gchar** argv = nullptr;
        GError* error = nullptr;
        const std::string command = "gst-launch-1.0 -v " + pipeline;
        if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, &error)) {
            result.output = error->message;
            g_error_free(error);
            return result;
        }
        gchar** env = g_get_environ();
        env = g_environ_setenv(env, "GST_PLUGIN_PATH", VR_PLUGIN_DIR, TRUE);
        env = g_environ_unsetenv(env, "GST_PLUGIN_PATH_1_0");
        env = g_environ_setenv(env, "GST_REGISTRY", path("registry.bin").c_str(), TRUE);
        gchar* out = nullptr;
        gchar* err = nullptr;
        gint status = -1;
        const bool spawned = g_spawn_sync(nullptr, argv, env, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                                          &out, &err, &status, &error);
        result.ok = spawned && g_spawn_check_wait_status(status, nullptr);
        if (!spawned) {
            result.output = error->message;
            g_error_free(error);
        } else {
            result.output = std::string(out ? out : "") + (err ? err : "");
        }
        g_free(out);
        g_free(err);
        g_strfreev(env);
        g_strfreev(argv);
        return result;
    }

    // The text the overlay reported last, from the "last-text" notifications.
    static std::string lastText(const std::string& output) {
        const auto key = std::string("last-text = ");
        const auto at = output.rfind(key);
        if (at == std::string::npos)
            return {};
        const auto lineEnd = output.find('\n', at);
        const auto secondEnd =
            lineEnd == std::string::npos ? lineEnd : output.find('\n', lineEnd + 1);
        return output.substr(at + key.size(), secondEnd - at - key.size());
    }

    static QTemporaryDir* dir;
};

QTemporaryDir* LaunchLine::dir = nullptr;

struct Difference {
    int inside = 0;  // pixels changed within the inlay area
    int outside = 0; // pixels changed elsewhere
};

// Pixels that differ clearly between two pictures, inside and outside the area where the
// overlay's default anchor (bottom right) puts the two lines.
Difference compare(const QImage& a, const QImage& b) {
    Difference d;
    if (a.size() != b.size() || a.isNull())
        return {-1, -1};
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const bool changed = std::abs(qRed(p) - qRed(q)) > 48 ||
                                 std::abs(qGreen(p) - qGreen(q)) > 48 ||
                                 std::abs(qBlue(p) - qBlue(q)) > 48;
            if (!changed)
                continue;
            const bool inlayArea = x >= a.width() / 3 && y >= a.height() * 2 / 3;
            ++(inlayArea ? d.inside : d.outside);
        }
    return d;
}

} // namespace

// The one line of the documentation that inlays a DV tape's recording date: the overlay finds
// the detector upstream by itself and draws the tape's date, not the clock's.
TEST_F(LaunchLine, DvTapeDateFromOneLine) {
    dv::ClipSpec spec;
    spec.frames = 10;
    spec.startDate = *dv::EncodeDateTime(1998, 7, 14, 10, 20, 30);
    std::string error;
    const std::string clip = path("bande.dv");
    ASSERT_TRUE(dv::GenerateClip(clip, spec, &error)) << error;

    auto run = [&](const char* overlay, const char* png) {
        return launch("filesrc location=" + clip +
                      " ! dvdemux ! vr_scenedetect ! dvdec ! videoconvert ! " + overlay +
                      " ! videoconvert ! pngenc snapshot=true ! filesink location=" + path(png));
    };
    const Launch dated = run("vr_superposer what-incrust=0", "dated.png");
    ASSERT_TRUE(dated.ok) << dated.output;
    EXPECT_EQ(lastText(dated.output), "14/07/1998\n10:20:30") << dated.output;
    const Launch plain = run("vr_superposer what-incrust=4", "plain.png");
    ASSERT_TRUE(plain.ok) << plain.output;

    const QImage withDate(QString::fromStdString(path("dated.png")));
    const QImage without(QString::fromStdString(path("plain.png")));
    ASSERT_EQ(withDate.size(), QSize(720, 576));
    const Difference d = compare(withDate, without);
    EXPECT_GT(d.inside, 400); // two lines of 28-pixel text and their outline
    EXPECT_EQ(d.outside, 0);
}

// With no property set, the overlay draws the system date and time, as clockoverlay does.
TEST_F(LaunchLine, DefaultsDrawTheClock) {
    const QString before = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    const Launch clock = launch("videotestsrc num-buffers=1 pattern=black ! vr_superposer ! "
                                "videoconvert ! pngenc ! filesink location=" +
                                path("clock.png"));
    const QString after = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    ASSERT_TRUE(clock.ok) << clock.output;
    const QString text = QString::fromStdString(lastText(clock.output));
    EXPECT_TRUE(text.startsWith(before + '\n') || text.startsWith(after + '\n')) << clock.output;
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("\n\\d\\d:\\d\\d:\\d\\d$")).match(text).hasMatch())
        << text.toStdString();

    const Launch blank =
        launch("videotestsrc num-buffers=1 pattern=black ! vr_superposer incrust-active=false ! "
               "videoconvert ! pngenc ! filesink location=" +
               path("black.png"));
    ASSERT_TRUE(blank.ok) << blank.output;
    EXPECT_EQ(lastText(blank.output), "");
    const Difference d = compare(QImage(QString::fromStdString(path("clock.png"))),
                                 QImage(QString::fromStdString(path("black.png"))));
    EXPECT_GT(d.inside, 150);
    EXPECT_EQ(d.outside, 0);
}
