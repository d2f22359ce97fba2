#pragma once

#include <QString>

// Where the program and its stores live. Tests point these at temporary folders: the
// executable path through setExecutablePathOverride(), the user folders through the XDG
// variables (XDG_CONFIG_HOME, XDG_VIDEOS_DIR via user-dirs.dirs, HOME).
namespace AppPaths {

inline constexpr const char* kProductName = "Vidorra";
inline constexpr const char* kMaker = "Ardoval";
inline constexpr const char* kVersion = "6.0.6";
inline constexpr const char* kLanguage = "fr";

// "Vidorra 6.0.6 fr"
QString productTitle();
// "Vidorra 6.0.6 fr de Ardoval"
QString signature();

// Full path of the running executable (or the override).
QString executablePath();
// Folder of the executable, with a trailing "/".
QString executableDir();
void setExecutablePathOverride(const QString& path); // empty = the real one

// The portable store beside the executable: "<exe dir>/Vidorra.ini".
QString iniFilePath();
// The registry substitute in the user's XDG config folder.
QString registryFilePath();
// Beside it, the settings last erased from it because an INI file took their place.
QString registryBackupPath();

// Messages kept for the next start (a close on a signal or at the session's end shows none):
// "<XDG config>/Ardoval/messages-en-attente.txt".
QString pendingMessagesPath();

// User folders with a trailing "/": XDG Videos and Pictures, each falling back to home.
QString userVideoDir();
QString userPictureDir();

// Ensures a trailing "/".
QString withTrailingSlash(const QString& dir);

// Why a root name (the start of the recordings' or images' file names) cannot be one, in
// French, or nothing when it can: it names a file inside its folder, so it holds no path
// separator, no ".." and no control character (a line break would follow the name into
// the recovery journal, which refuses it).
QString rootNameProblem(const QString& name);

} // namespace AppPaths
