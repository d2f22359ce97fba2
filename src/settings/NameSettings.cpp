#include "NameSettings.h"

#include "AppPaths.h"
#include "Log.h"
#include "ParameterTable.h"

#include <utility>

namespace {

// A stored root name that would write elsewhere than into its folder (edited by hand)
// gives way to the default one.
QString safeRoot(const QString& stored, const QString& fallback) {
    const QString problem = AppPaths::rootNameProblem(stored);
    if (problem.isEmpty())
        return stored;
    static QString told; // said once for each such name
    if (std::exchange(told, stored) != stored)
        qCWarning(lcVidorra).noquote()
            << QStringLiteral("Le nom de fichier « %1 » des réglages n'est pas pris (%2) : « %3 » "
                              "le remplace.")
                   .arg(stored, problem, fallback);
    return fallback;
}

} // namespace

TNameSettings VideoNameSettings(const TParameters& prm) {
    return {prm.videoDirectory->Value, safeRoot(prm.videoRacine->Value, QStringLiteral("Video")),
            prm.videoDate->Value};
}

TNameSettings ImageNameSettings(const TParameters& prm) {
    return {prm.imageDirectory->Value, safeRoot(prm.imageRacine->Value, QStringLiteral("Image")),
            prm.imageDate->Value};
}
