// The help panel's links into the window, its source exclusions and its system report.
#include "CaptureForm.h"

#include "ErreurFrame.h"
#include "HelpFrame.h"
#include "ParameterTable.h"
#include "PlugIns.h"
#include "SourcesController.h"
#include "SuperAction.h"
#include "SystemFacts.h"

void TCaptureForm::connectHelp() {
    connect(HelpFrame1, &THelpFrame::shortcutsRequested, this, [this] {
        // Already shown: only brought to the front, not toggled away.
        if (action("taraccourcis")->isChecked())
            showRaccourcis(true);
        else
            action("taraccourcis")->executeInteractive(this);
    });
    // Queued: the refresh refills the list whose item is being changed.
    connect(
        HelpFrame1, &THelpFrame::sourceChecked, this,
        [this](const QString& name, bool checked) {
            if (!sources)
                return;
            sources->exclusions().SetChecked(name, checked);
            sources->ReselectSources();
        },
        Qt::QueuedConnection);
    connect(HelpFrame1, &THelpFrame::reportBuilt, ErreurFrame1, &TErreurFrame::setSystemReport);
    // A plug-in out of use is tried again: the folder is searched anew, which lists every
    // device again (a recording ends first).
    connect(
        HelpFrame1, &THelpFrame::pluginEnableRequested, this,
        [this](const QString& path) {
            TpluginList::Enable(path);
            if (!sources || !sources->startupDone)
                return;
            sources->Change(
                [this] {
                    sources->ScanPlugins(Prm.pluginsDir->Value);
                    sources->ReselectSources();
                    rebuildSystemReport();
                    showNotices();
                },
                [] { return true; });
        },
        Qt::QueuedConnection);
}

void TCaptureForm::rebuildSystemReport() {
    static const TSourceExclusions noExclusions;
    static const TpluginList noPlugins;
    const TSourceExclusions& exclusions = sources ? sources->exclusions() : noExclusions;
    const TpluginList& plugins = sources ? sources->plugins() : noPlugins;
    HelpFrame1->FillSources(exclusions.Items());
    HelpFrame1->ShowSystemReport(BuildSystemReport(GatherSystemFacts(exclusions, plugins)));
}
