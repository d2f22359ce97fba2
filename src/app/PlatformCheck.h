#pragma once

#include <QString>

// The media runtime the program needs, checked at process entry.
namespace PlatformCheck {

inline constexpr int kMinMajor = 1;
inline constexpr int kMinMinor = 22;

// "major.minor.micro" of a version; false when too old.
bool versionIsEnough(int major, int minor);
QString displayedVersion(int major, int minor, int micro);
// The warning shown before any window when the runtime is too old.
QString warningText(const QString& displayedVersion);

// Asks through the prompts when the running GStreamer is older than needed; false when the
// user declined to continue.
bool checkRuntime();

} // namespace PlatformCheck
