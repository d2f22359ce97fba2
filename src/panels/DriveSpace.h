#pragma once

#include <QString>
#include <QtGlobal>

// The size of the filesystem that holds a folder, as the free-space gauges show it.
struct DriveSpace {
    qint64 totalMb = 0; // whole size, in MiB, truncated
    qint64 usedMb = 0;  // whole size minus what the user may still write, in MiB

    // statvfs of the folder, or of its nearest existing parent folder when it is not made
    // yet (the recording makes it). An empty path, a parent that is not a folder or a
    // filesystem that does not answer gives zeros. May block on a dead network mount: call
    // it away from the window's thread.
    static DriveSpace Of(const QString& folder);
};
