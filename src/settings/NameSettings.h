#pragma once

#include <QString>

// What the folders panel holds for one kind of output, and how it is read from the
// parameters. Output naming (src/graph/OutputNaming.h) takes these values as they are.

struct TParameters;

// What the folders panel holds for one kind of output.
struct TNameSettings {
    QString directory; // "Video Directory" / "Image Directory"
    QString racine;    // "Video Racine" / "Image Racine"
    bool withDate = false;
};
// The settings of the given parameters (the program passes Prm). A stored root name that
// would write elsewhere than into its folder gives way to "Video" or "Image".
TNameSettings VideoNameSettings(const TParameters& prm);
TNameSettings ImageNameSettings(const TParameters& prm);
