#pragma once

#include "SystemReport.h"

#include <QFrame>
#include <QLabel>
#include <QStringList>
#include <functional>

class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTextEdit;
class QUrl;

// A zone that takes files dropped from the file manager.
class TDropZone : public QLabel {
public:
    TDropZone(const QString& text, QWidget* parent);
    std::function<void(const QStringList&)> onDrop;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// Side panel 7: a short help text with links, the report of what the program found on the
// machine, the sources the user keeps out of the choices, and the installation of
// GStreamer plug-ins by drag and drop.
class THelpFrame : public QFrame {
    Q_OBJECT
public:
    enum Tab { tabAide, tabSysteme, tabSources, tabFiltres };
    static inline const QString kHelpPage = QStringLiteral("https://ardoval.example/vidorra/aide");

    explicit THelpFrame(QWidget* parent = nullptr);

    // Fills `reSystem` anew and keeps the report body for the error e-mail.
    void ShowSystemReport(const std::vector<TReportLine>& lines);
    QString reportBody() const { return m_reportBody; }

    // The exclusion list as it stands (unchecked = excluded); emits nothing.
    void FillSources(const std::vector<std::pair<QString, bool>>& items);

    // The handlers of the two drop zones: one question and one outcome per file.
    void InstallFiles(const QStringList& files);
    void UninstallFiles(const QStringList& files);
    // Where plug-ins are installed (the user's GStreamer folder unless a test says otherwise).
    void setPluginFolder(const QString& folder) { m_pluginFolder = folder; }
    QString pluginFolder() const { return m_pluginFolder; }

    // An in-program link ("F11", "Sources", "Filtres") or a web address.
    void OpenLink(const QUrl& url);
    static QString LinkHint(const QUrl& url);
    static QString HelpHtml(const QString& program, const QString& helpPage);

    QTabWidget* PageControl;
    QTextBrowser* reAide;
    QTextBrowser* reSystem;
    QListWidget* clSources;
    TDropZone* dzInstaller;
    TDropZone* dzDesinstaller;

signals:
    // The "F11" link: the list of shortcuts is wanted.
    void shortcutsRequested();
    // The user checked or unchecked a source; the source lists are to be refreshed.
    void sourceChecked(const QString& name, bool checked);
    // The user asked to use a plug-in out of use again (its library's path).
    void pluginEnableRequested(const QString& path);
    void reportBuilt(const QString& body);

private:
    void runOnFiles(const QStringList& files, bool install);

    QString m_reportBody;
    QString m_pluginFolder;
    QStringList m_enablePaths; // the libraries behind the system page's "réactiver" links
    bool m_filling = false;
};
