#include "SystemReport.h"
#include "HelpFrame.h"

#include <QTextBrowser>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using C = TReportColour;

TReportLine L(const QString& text, C colour = C::Black, bool bold = false, bool italic = false) {
    return {text, colour, bold, italic};
}

TSystemFacts poorMachine() {
    TSystemFacts f;
    f.osDescription = QStringLiteral("Debian GNU/Linux 12 (bookworm), Linux 6.1.0");
    f.gstreamerVersion = QStringLiteral("1.22.0");
    f.sources = {{QStringLiteral("Webcam"), true}, {QStringLiteral("Carte TV"), false}};
    f.plugins = {{QStringLiteral("Caméra A"), QStringLiteral("/p/a.pvr"), true},
                 {QStringLiteral("Caméra B"), QStringLiteral("/p/b.pvr"), false}};
    return f;
}

} // namespace

TEST(SystemReport, MissingComponentsAreRedAndExcludedSourcesAndDisabledPlugInsToo) {
    const std::vector<TReportLine> expected = {
        L("Debian GNU/Linux 12 (bookworm), Linux 6.1.0. ", C::Black, true),
        L("GStreamer version 1.22.0."),
        L(""),
        L("Filtres:", C::Blue, false, true),
        L("Windows Media not Found.", C::Red),
        L("DivX encoder not Found.", C::Red),
        L("Mp3 encoder not Found.", C::Red),
        L(""),
        L("Sources:", C::Blue, false, true),
        L("Webcam +"),
        L("Carte TV -", C::Red),
        L(""),
        L("Plug-ins:", C::Blue, false, true),
        L("Caméra A in /p/a.pvr"),
        L("Caméra B in /p/b.pvr", C::Red),
    };
    EXPECT_EQ(BuildSystemReport(poorMachine()), expected);
}

TEST(SystemReport, FoundComponentsListTheirDetailsInOliveAndNoPlugInsEndAfterTheSources) {
    TSystemFacts f = poorMachine();
    f.windowsMedia = true;
    f.divxEncoders = {QStringLiteral("DivX 5 (FFmpeg)"), QStringLiteral("Xvid (FFmpeg)")};
    f.mp3Found = true;
    f.mp3File = QStringLiteral("/usr/lib/gstreamer-1.0/libgstlame.so");
    f.mp3Version = QStringLiteral("version 1.22.0");
    f.plugins.clear();
    const std::vector<TReportLine> lines = BuildSystemReport(f);
    const std::vector<TReportLine> filters(lines.begin() + 4, lines.begin() + 11);
    const std::vector<TReportLine> expected = {
        L("Windows Media Found."),         L("DivX encoders Found:"),
        L("   DivX 5 (FFmpeg)", C::Olive), L("   Xvid (FFmpeg)", C::Olive),
        L("Mp3 encoder Found:"),           L("    /usr/lib/gstreamer-1.0/libgstlame.so", C::Olive),
        L("    version 1.22.0", C::Olive),
    };
    EXPECT_EQ(filters, expected);
    EXPECT_EQ(lines.back(), L("Carte TV -", C::Red));
}

TEST(SystemReport, BodyHasOneHeadingAndOneLinePerReportLine) {
    TSystemFacts f = poorMachine();
    f.plugins.clear();
    f.sources.clear();
    const QString body = SystemReportBody(BuildSystemReport(f));
    EXPECT_EQ(body.count(QStringLiteral("Informations sur le système:")), 1);
    EXPECT_TRUE(body.startsWith(QStringLiteral("\r\nInformations sur le système:\r\n"
                                               "Debian GNU/Linux 12 (bookworm), Linux 6.1.0. \r\n"
                                               "GStreamer version 1.22.0.\r\n\r\nFiltres:\r\n")));
    EXPECT_TRUE(body.endsWith(QStringLiteral("Sources:\r\n")));
}

TEST(SystemReport, OsDescriptionReadsPrettyNameAndAddsTheKernel) {
    EXPECT_EQ(OsDescription(QStringLiteral("NAME=\"Ubuntu\"\nPRETTY_NAME=\"Ubuntu 24.04 LTS\"\n"
                                           "ID=ubuntu\n"),
                            QStringLiteral("6.8.0-31-generic")),
              QStringLiteral("Ubuntu 24.04 LTS, Linux 6.8.0-31-generic"));
    EXPECT_EQ(OsDescription(QStringLiteral("PRETTY_NAME=Arch\n"), QString()),
              QStringLiteral("Arch"));
    // Without the file (or without the key) the system is still named.
    EXPECT_EQ(OsDescription(QString(), QStringLiteral("6.1")), QStringLiteral("Linux 6.1"));
    EXPECT_EQ(ReportColourRgb(C::Olive), 0x808000u);
    EXPECT_EQ(ReportColourRgb(C::Blue), 0x0000FFu);
    EXPECT_EQ(ReportColourRgb(C::Red), 0xFF0000u);
}

// A plug-in out of use says why beside its red entry and offers to be enabled again; the page
// turns the offer into a link that names the library.
TEST(SystemReport, APlugInOutOfUseShowsItsReasonAndCanBeEnabledAgain) {
    TSystemFacts f = poorMachine();
    f.plugins = {{QStringLiteral("Caméra A"), QStringLiteral("/p/a.pvr"), true},
                 {QString(), QStringLiteral("/p/b.pvr"), false,
                  QStringLiteral("a arrêté le programme pendant la création de son instance"),
                  QStringLiteral("/p/b.pvr")}};
    const std::vector<TReportLine> lines = BuildSystemReport(f);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].text, "Caméra A in /p/a.pvr");
    EXPECT_TRUE(lines[lines.size() - 2].enablePath.isEmpty());
    EXPECT_EQ(lines.back().text,
              " in /p/b.pvr : a arrêté le programme pendant la création de son instance");
    EXPECT_EQ(lines.back().colour, C::Red);
    EXPECT_EQ(lines.back().enablePath, "/p/b.pvr");

    THelpFrame frame;
    QStringList asked;
    QObject::connect(&frame, &THelpFrame::pluginEnableRequested,
                     [&](const QString& path) { asked << path; });
    frame.ShowSystemReport(lines);
    EXPECT_TRUE(frame.reSystem->toHtml().contains("reactiver:0"));
    EXPECT_TRUE(frame.reSystem->toPlainText().contains("réactiver"));
    emit frame.reSystem->anchorClicked(QUrl("reactiver:0"));
    emit frame.reSystem->anchorClicked(QUrl("reactiver:7")); // no such link
    emit frame.reSystem->anchorClicked(QUrl("https://exemple.org/"));
    EXPECT_EQ(asked, QStringList{"/p/b.pvr"});
    // The body of the error e-mail keeps the text, without the link.
    EXPECT_TRUE(frame.reportBody().contains(
        " in /p/b.pvr : a arrêté le programme pendant la création de son instance\r\n"));
}
