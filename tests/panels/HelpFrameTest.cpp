#include "HelpFrame.h"

#include "AproposFrame.h"
#include "FilterInstaller.h"
#include "ScriptedPrompts.h"
#include "VidorraElements.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextEdit>
#include <QUrl>
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

void initGst() {
    if (gst_is_initialized())
        return;
    // Installations rescan the registry: into a cache of the tests' own, not the user's.
    qputenv("GST_REGISTRY", VR_TEST_REGISTRY);
    gst_init(nullptr, nullptr);
}

const QString kSuccess = QStringLiteral("Opération réussie");
const QString kFailure = QStringLiteral("Echec de l'opération");

QString installQuestion(const QString& file) {
    return QStringLiteral("Voulez-vous vraiment installer le fichier %1?").arg(file);
}

QString uninstallQuestion(const QString& file) {
    return QStringLiteral("Voulez-vous vraiment désinstaller le fichier %1?").arg(file);
}

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A help panel whose plug-in folder is a temporary one.
struct HelpFrameFilters : ::testing::Test {
    static void SetUpTestSuite() { initGst(); }
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        frame.setPluginFolder(dir.filePath(QStringLiteral("gstreamer-1.0/plugins")));
    }
    QString installed() const {
        return frame.pluginFolder() + QStringLiteral("/libgstvrtinytest.so");
    }
    QTemporaryDir dir;
    THelpFrame frame;
    ScriptedPrompts prompts;
    PromptsGuard guard{&prompts};
};

} // namespace

TEST_F(HelpFrameFilters, PlugInIsInstalledIntoTheUserFolderAndUninstalledFromIt) {
    const QString plugin = QStringLiteral(VR_TINY_PLUGIN);
    frame.InstallFiles({plugin});
    EXPECT_EQ(prompts.asked, QStringList({installQuestion(plugin), kSuccess}));
    ASSERT_TRUE(QFile::exists(installed()));
    EXPECT_EQ(contents(installed()), contents(plugin));
    EXPECT_TRUE(FilterInstaller::IsGstPlugin(installed()));
    GstElementFactory* factory = gst_element_factory_find("vrtinytest");
    EXPECT_NE(factory, nullptr);
    if (factory)
        gst_object_unref(factory);

    // Installed again: the copy is replaced, not doubled.
    prompts.asked.clear();
    frame.InstallFiles({plugin});
    EXPECT_EQ(prompts.asked, QStringList({installQuestion(plugin), kSuccess}));
    EXPECT_EQ(QDir(frame.pluginFolder()).entryList(QDir::Files),
              QStringList({QStringLiteral("libgstvrtinytest.so")}));

    prompts.asked.clear();
    frame.UninstallFiles({installed()});
    EXPECT_EQ(prompts.asked, QStringList({uninstallQuestion(installed()), kSuccess}));
    EXPECT_FALSE(QFile::exists(installed()));
    EXPECT_TRUE(QFile::exists(plugin)); // the dropped original stays where it was
}

TEST_F(HelpFrameFilters, NoAnswerChangesNothingAndEveryFileIsAskedInDropOrder) {
    const QString plugin = QStringLiteral(VR_TINY_PLUGIN);
    const QString text = dir.filePath(QStringLiteral("notes.so"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ceci n'est pas un plug-in\n");
    f.close();

    prompts.answer = IPrompts::No;
    frame.InstallFiles({text, plugin});
    EXPECT_EQ(prompts.asked, QStringList({installQuestion(text), installQuestion(plugin)}));
    EXPECT_FALSE(QFile::exists(installed()));
}

TEST_F(HelpFrameFilters, FileThatIsNotAPlugInIsRefusedAndNothingChanges) {
    const QString text = dir.filePath(QStringLiteral("libgstfaux.so"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ceci n'est pas un plug-in\n");
    f.close();

    frame.InstallFiles({text, dir.filePath(QStringLiteral("absent.so"))});
    EXPECT_EQ(prompts.asked,
              QStringList({installQuestion(text), kFailure,
                           installQuestion(dir.filePath(QStringLiteral("absent.so"))), kFailure}));
    EXPECT_FALSE(QDir(frame.pluginFolder()).exists());
    EXPECT_TRUE(QFile::exists(text));
}

TEST_F(HelpFrameFilters, UninstallRefusesEveryFileOutsideTheUserFolder) {
    const QString plugin = QStringLiteral(VR_TINY_PLUGIN);
    frame.InstallFiles({plugin});
    ASSERT_TRUE(QFile::exists(installed()));
    prompts.asked.clear();

    // The original, and a path that only seems to lie inside the folder.
    const QString sneaky = frame.pluginFolder() + QStringLiteral("/../../outside.so");
    QFile f(dir.filePath(QStringLiteral("outside.so")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    frame.UninstallFiles({plugin, sneaky});
    EXPECT_EQ(prompts.asked, QStringList({uninstallQuestion(plugin), kFailure,
                                          uninstallQuestion(sneaky), kFailure}));
    EXPECT_TRUE(QFile::exists(plugin));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("outside.so"))));
    EXPECT_TRUE(QFile::exists(installed()));
}

TEST(FilterInstaller, UserFolderFollowsXdgDataHome) {
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/donnees");
    EXPECT_EQ(FilterInstaller::UserPluginFolder(),
              QStringLiteral("/tmp/donnees/gstreamer-1.0/plugins"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(FilterInstaller::UserPluginFolder(),
              QDir::homePath() + QStringLiteral("/.local/share/gstreamer-1.0/plugins"));
    if (!saved.isEmpty())
        qputenv("XDG_DATA_HOME", saved);
}

TEST(HelpFrame, HelpTextAndLinks) {
    THelpFrame frame;
    const QString html = THelpFrame::HelpHtml(QStringLiteral("Vidorra"), THelpFrame::kHelpPage);
    EXPECT_TRUE(html.contains(QStringLiteral("Aide sur Vidorra")));
    EXPECT_TRUE(html.contains(QStringLiteral("color:maroon")));
    EXPECT_TRUE(html.contains(QStringLiteral("glisser le plug-in GStreamer (fichier .so)")));
    EXPECT_TRUE(html.startsWith(QStringLiteral("<i>")));

    EXPECT_EQ(THelpFrame::LinkHint(QUrl(QStringLiteral("vidorra:F11"))),
              QStringLiteral("Cliquez pour afficher la liste des raccourcis"));
    EXPECT_EQ(THelpFrame::LinkHint(QUrl(QStringLiteral("vidorra:Filtres"))),
              QStringLiteral("Cliquez pour ouvrir l'onglet \"Filtres\""));
    EXPECT_EQ(THelpFrame::LinkHint(QUrl(QStringLiteral("https://ardoval.example/a"))),
              QStringLiteral("Cliquez pour ouvrir le site https://ardoval.example/a\n"
                             "dans votre navigateur par défaut"));

    int shortcuts = 0;
    QObject::connect(&frame, &THelpFrame::shortcutsRequested, [&] { ++shortcuts; });
    frame.OpenLink(QUrl(QStringLiteral("vidorra:Sources")));
    EXPECT_EQ(frame.PageControl->currentIndex(), THelpFrame::tabSources);
    frame.OpenLink(QUrl(QStringLiteral("vidorra:Filtres")));
    EXPECT_EQ(frame.PageControl->currentIndex(), THelpFrame::tabFiltres);
    frame.OpenLink(QUrl(QStringLiteral("vidorra:F11")));
    EXPECT_EQ(shortcuts, 1);
    QStringList tabs;
    for (int i = 0; i < frame.PageControl->count(); ++i)
        tabs << frame.PageControl->tabText(i);
    EXPECT_EQ(tabs, QStringList({"Aide", "Système", "Sources", "Filtres"}));
}

TEST(HelpFrame, SourcesListTellsOnlyTheUsersChecks) {
    THelpFrame frame;
    std::vector<std::pair<QString, bool>> checked;
    QObject::connect(&frame, &THelpFrame::sourceChecked,
                     [&](const QString& name, bool on) { checked.emplace_back(name, on); });
    frame.FillSources({{QStringLiteral("Webcam"), true}, {QStringLiteral("Carte TV"), false}});
    ASSERT_EQ(frame.clSources->count(), 2);
    EXPECT_EQ(frame.clSources->item(1)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(checked.empty());
    frame.clSources->item(0)->setCheckState(Qt::Unchecked);
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0], std::make_pair(QStringLiteral("Webcam"), false));
}

TEST(HelpFrame, SystemReportIsShownAndItsBodyReplacedAtEachBuild) {
    THelpFrame frame;
    int built = 0;
    QObject::connect(&frame, &THelpFrame::reportBuilt, [&] { ++built; });
    frame.ShowSystemReport({{QStringLiteral("Mp3 encoder not Found."), TReportColour::Red}});
    frame.ShowSystemReport({{QStringLiteral("Windows Media Found."), TReportColour::Black}});
    EXPECT_EQ(built, 2);
    EXPECT_TRUE(frame.reSystem->toPlainText().contains(QStringLiteral("Windows Media Found.")));
    EXPECT_FALSE(frame.reSystem->toPlainText().contains(QStringLiteral("Mp3")));
    EXPECT_FALSE(frame.reportBody().contains(QStringLiteral("Mp3")));
    EXPECT_TRUE(frame.reportBody().contains(QStringLiteral("Windows Media Found.\r\n")));
}

TEST(AproposFrame, ShowsVersionsAndTheProgramsOwnElements) {
    initGst();
    ASSERT_TRUE(vidorraRegisterStatic());
    EXPECT_TRUE(TAproposFrame::OwnElements().contains(QStringLiteral("vr_superposer")));
    TAproposFrame frame;
    EXPECT_TRUE(frame.lbVersions->text().contains(QString::fromLatin1(qVersion())));
    EXPECT_TRUE(frame.lbVersions->text().contains(QStringLiteral("GStreamer")));
    EXPECT_GE(frame.lbElements->count(), 8);
}
