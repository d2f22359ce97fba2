#pragma once

#include <QString>

// Installation of GStreamer plug-in libraries dropped on the help panel's "Filtres" tab:
// they go into the user's own plug-in folder, which GStreamer searches at every start.
namespace FilterInstaller {

// $XDG_DATA_HOME/gstreamer-1.0/plugins (~/.local/share/... without the variable).
QString UserPluginFolder();

// Whether GStreamer accepts the file as a plug-in (it is loaded to find out).
bool IsGstPlugin(const QString& file);

// Copies a plug-in into `folder` (created when missing; an older copy of the same name is
// replaced) and rescans the registry. A file that is not a plug-in changes nothing.
bool Install(const QString& file, const QString& folder);

// Removes a plug-in library from `folder` and rescans the registry. Files elsewhere are
// refused: this never deletes anything outside the user's plug-in folder.
bool Uninstall(const QString& file, const QString& folder);

} // namespace FilterInstaller
