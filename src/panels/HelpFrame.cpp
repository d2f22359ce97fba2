#include "HelpFrame.h"

#include "FilterInstaller.h"
#include "Prompts.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

const QString kLinkScheme = QStringLiteral("vidorra");

// An in-program link: "vidorra:F11".
QString link(const QString& name, const QString& text) {
    return QStringLiteral("<a href=\"%1:%2\">%3</a>").arg(kLinkScheme, name, text);
}

QString htmlColour(TReportColour colour) {
    return QStringLiteral("#%1").arg(ReportColourRgb(colour), 6, 16, QLatin1Char('0'));
}

} // namespace

// ------------------------------------------------------------------ drop zone

TDropZone::TDropZone(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(60);
    setWordWrap(true);
}

void TDropZone::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TDropZone::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        const QString file = url.toLocalFile();
        if (!file.isEmpty() && file.size() <= 65530)
            files << file;
    }
    event->acceptProposedAction();
    if (onDrop && !files.isEmpty())
        onDrop(files);
}

// ------------------------------------------------------------------ panel

THelpFrame::THelpFrame(QWidget* parent)
    : QFrame(parent), m_pluginFolder(FilterInstaller::UserPluginFolder()) {
    setObjectName(QStringLiteral("HelpFrame1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    PageControl = new QTabWidget(this);
    // Every tab caption stays in sight: the panel grows to hold them rather than scroll them.
    PageControl->setUsesScrollButtons(false);
    layout->addWidget(PageControl);

    reAide = new QTextBrowser(PageControl);
    reAide->setOpenLinks(false);
    reAide->setHtml(HelpHtml(QStringLiteral("Vidorra"), kHelpPage));
    PageControl->addTab(reAide, QStringLiteral("Aide"));

    reSystem = new QTextBrowser(PageControl);
    reSystem->setObjectName(QStringLiteral("reSystem"));
    reSystem->setOpenLinks(false);
    connect(reSystem, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        const int index = url.path().toInt();
        if (url.scheme() == QLatin1String("reactiver") && index >= 0 &&
            index < m_enablePaths.size())
            emit pluginEnableRequested(m_enablePaths.at(index));
    });
    reSystem->setReadOnly(true);
    reSystem->setFont(QFont(QStringLiteral("Arial"), 8));
    PageControl->addTab(reSystem, QStringLiteral("Système"));

    clSources = new QListWidget(PageControl);
    clSources->setObjectName(QStringLiteral("clSources"));
    PageControl->addTab(clSources, QStringLiteral("Sources"));

    auto* filtres = new QWidget(PageControl);
    auto* fl = new QVBoxLayout(filtres);
    auto* dropHint =
        new QLabel(QStringLiteral("Glissez ici un plug-in GStreamer (fichier .so):"), filtres);
    dropHint->setWordWrap(true);
    fl->addWidget(dropHint);
    dzInstaller = new TDropZone(QStringLiteral("Installer"), filtres);
    dzDesinstaller = new TDropZone(QStringLiteral("Désinstaller"), filtres);
    dzInstaller->onDrop = [this](const QStringList& files) { InstallFiles(files); };
    dzDesinstaller->onDrop = [this](const QStringList& files) { UninstallFiles(files); };
    fl->addWidget(dzInstaller);
    fl->addWidget(dzDesinstaller);
    fl->addStretch();
    PageControl->addTab(filtres, QStringLiteral("Filtres"));

    connect(reAide, &QTextBrowser::anchorClicked, this, &THelpFrame::OpenLink);
    connect(reAide, &QTextBrowser::highlighted, this, [this](const QUrl& url) {
        if (url.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), LinkHint(url), reAide);
    });
    connect(clSources, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling)
            emit sourceChecked(item->text(), item->checkState() == Qt::Checked);
    });
}

QString THelpFrame::HelpHtml(const QString& program, const QString& helpPage) {
    const QString web = QStringLiteral("<a href=\"%1\">mon site web</a>").arg(helpPage);
    QString html = QStringLiteral("<i>");
    html += QStringLiteral("<span style=\"font-size:14pt; font-weight:bold; color:maroon\">"
                           "Aide sur %1</span>")
                .arg(program);
    html += QStringLiteral("<br><br>");
    html += QStringLiteral("Pour une explication sur l'utilisation et les fonctions de <b>%1</b>, "
                           "visitez les pages d'aide sur <b>%2</b> dans %3.")
                .arg(program, helpPage, web);
    html += QStringLiteral("<br><br>");
    html += QStringLiteral("Pour connaître la liste des raccourcis clavier et des mots-clés pour "
                           "script ou ligne de commande, tapez F11 ou %1.")
                .arg(link(QStringLiteral("F11"), QStringLiteral("cliquez ici")));
    html += QStringLiteral("<br><br>");
    html +=
        QStringLiteral("Pour enlever une source de capture qui pose des problèmes avec "
                       "<b>%1</b>, décochez une case sous %2.")
            .arg(program, link(QStringLiteral("Sources"), QStringLiteral("l'onglet \"Sources\"")));
    html += QStringLiteral("<br><br>");
    html += QStringLiteral("Pour installer un filtre, par exemple le filtre encodeur Lame mp3, "
                           "glisser le plug-in GStreamer (fichier .so) sur la zone "
                           "\"Installer\" sous %1.")
                .arg(link(QStringLiteral("Filtres"), QStringLiteral("l'onglet Filtres")));
    html += QStringLiteral("</i>");
    return html;
}

QString THelpFrame::LinkHint(const QUrl& url) {
    if (url.scheme() == kLinkScheme) {
        const QString name = url.path();
        if (name == QLatin1String("F11"))
            return QStringLiteral("Cliquez pour afficher la liste des raccourcis");
        if (name == QLatin1String("Sources"))
            return QStringLiteral("Cliquez pour ouvrir l'onglet \"Sources\"");
        if (name == QLatin1String("Filtres"))
            return QStringLiteral("Cliquez pour ouvrir l'onglet \"Filtres\"");
        return {};
    }
    return QStringLiteral("Cliquez pour ouvrir le site %1\ndans votre navigateur par défaut")
        .arg(url.toString());
}

void THelpFrame::OpenLink(const QUrl& url) {
    if (url.scheme() != kLinkScheme) {
        QDesktopServices::openUrl(url);
        return;
    }
    const QString name = url.path();
    if (name == QLatin1String("F11"))
        emit shortcutsRequested();
    else if (name == QLatin1String("Sources"))
        PageControl->setCurrentIndex(tabSources);
    else if (name == QLatin1String("Filtres"))
        PageControl->setCurrentIndex(tabFiltres);
}

void THelpFrame::ShowSystemReport(const std::vector<TReportLine>& lines) {
    QString html;
    m_enablePaths.clear();
    for (const TReportLine& line : lines) {
        QString text = line.text.toHtmlEscaped();
        text.replace(QLatin1Char(' '), QStringLiteral("&nbsp;")); // the indents of the details
        if (line.bold)
            text = QStringLiteral("<b>") + text + QStringLiteral("</b>");
        if (line.italic)
            text = QStringLiteral("<i>") + text + QStringLiteral("</i>");
        if (!line.enablePath.isEmpty()) {
            text +=
                QStringLiteral(" <a href=\"reactiver:%1\">réactiver</a>").arg(m_enablePaths.size());
            m_enablePaths << line.enablePath;
        }
        html += QStringLiteral("<span style=\"color:%1\">%2</span><br>")
                    .arg(htmlColour(line.colour), text);
    }
    reSystem->setHtml(html);
    m_reportBody = SystemReportBody(lines);
    emit reportBuilt(m_reportBody);
}

void THelpFrame::FillSources(const std::vector<std::pair<QString, bool>>& items) {
    m_filling = true;
    clSources->clear();
    for (const auto& [name, checked] : items) {
        auto* item = new QListWidgetItem(name, clSources);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

void THelpFrame::InstallFiles(const QStringList& files) {
    runOnFiles(files, true);
}

void THelpFrame::UninstallFiles(const QStringList& files) {
    runOnFiles(files, false);
}

void THelpFrame::runOnFiles(const QStringList& files, bool install) {
    for (const QString& file : files) {
        const QString question =
            install ? QStringLiteral("Voulez-vous vraiment installer le fichier %1?")
                    : QStringLiteral("Voulez-vous vraiment désinstaller le fichier %1?");
        if (prompts().question(this, question.arg(file)) != IPrompts::Yes)
            continue;
        const bool ok = install ? FilterInstaller::Install(file, m_pluginFolder)
                                : FilterInstaller::Uninstall(file, m_pluginFolder);
        if (ok)
            prompts().information(this, QStringLiteral("Opération réussie"));
        else
            prompts().error(this, QStringLiteral("Echec de l'opération"));
    }
}
