#include "ParameterTable.h"

#include "AppPaths.h"
#include "CaptureFormats.h"
#include "Log.h"
#include "RegistryStore.h"

#include <QFileInfo>
#include <exception>

TParameters Prm;

namespace {

// The sibling DV-date program records its executable in its own key. The key is only read:
// creating it would leave an empty vendor key behind after the user chose to store nothing.
QString datorixDefault() {
    TRegistryFile registry(AppPaths::registryFilePath());
    const auto v =
        registry.value(QStringLiteral("Software\\Ardoval\\Datorix"), QStringLiteral("Exename"));
    return v && v->kind == RegKind::String ? v->text : QString();
}

template <class P, class T> P* make(TparameterList& list, const char* key, const T& def) {
    return new P(QString::fromUtf8(key), def, list);
}

void createAll(TparameterList& list) {
    TParameters& p = Prm;
    const QString na = QStringLiteral("N/A");
    p.volume = make<TIntegerParameter>(list, "Volume", 5000);
    p.standardDV = make<TstandardDVParameter>(list, "Standard DV", uint8_t(0));
    p.profileWmv = make<TIntegerParameter>(list, "Profile wmv", 1);
    p.frequenceDV = make<TFrequenceDVParameter>(list, "FrequenceDV", uint8_t(3));
    p.ratioDV = make<TRatioDVParameter>(list, "RatioDV", uint8_t(0));
    p.ratioDivX = make<TAspectRatioParameter>(list, "Ratio DivX", uint8_t(0));
    p.correctionSync = make<TIntegerParameter>(list, "Correction Sync", 0);
    p.framerate = make<TRealParameter>(list, "Framerate", 18.0);
    p.incrustRec = make<TincrustRecParameter>(list, "IncrustRec", DefaultIncrustRec());
    p.dureeIncruster = make<TIntegerParameter>(list, "Durée Incruster", 5);
    p.whenIncrust = make<TWhenIncrustParameter>(list, "When Incrust", uint8_t(0));
    p.noDatecode = make<TWideStringParameter>(list, "No Datecode", na);
    p.decalageHoraire = make<TRealParameter>(list, "Décalage horaire", 0.0);
    p.decalageAvance = make<TBooleanParameter>(list, "Décalage avancé", false);
    p.extensionDesImages = make<TIntegerParameter>(list, "Extension des images", 0);
    p.qualiteJpeg = make<TIntegerParameter>(list, "Qualité jpeg", 50);
    p.versionWmv = make<TIntegerParameter>(list, "Version wmv", 2);
    p.valeurIntervallometre = make<TIntegerParameter>(list, "Valeur Intervallomètre", 10);
    p.unitesIntervallometre = make<TIntegerParameter>(list, "Unités Intervallomètre", 0);
    p.panneauActif = make<TframeNumberParameter>(list, "Panneau actif", uint8_t(pnSources));
    p.aspectRatio = make<TAspectRatioParameter>(list, "Aspect ratio", uint8_t(0));
    p.wideScreen = make<TBooleanParameter>(list, "WideScreen", false);
    p.pluginsDir = make<TWideStringParameter>(list, "Plugins Dir", AppPaths::executableDir());
    p.videoDirectory =
        make<TWideStringParameter>(list, "Video Directory", AppPaths::userVideoDir());
    p.videoRacine = make<TWideStringParameter>(list, "Video Racine", QStringLiteral("Video"));
    p.imageDirectory =
        make<TWideStringParameter>(list, "Image Directory", AppPaths::userPictureDir());
    p.imageRacine = make<TWideStringParameter>(list, "Image Racine", QStringLiteral("Image"));
    p.datorix = make<TWideStringParameter>(list, "Datorix", datorixDefault());
    p.sourceVideo = make<TWideStringParameter>(list, "Source video", na);
    p.sourceAudio = make<TWideStringParameter>(list, "Source Audio", na);
    p.captureFormat = make<TFormatCaptureParameter>(list, "Capture Format", uint8_t(cfDefault));
    p.audioType = make<TWideStringParameter>(list, "Audio Type", QString());
    p.soundCardEntry =
        make<TWideStringParameter>(list, "Sound Card Entry", QStringLiteral("Line In"));
    p.profilWindowsMedia = make<TWideStringParameter>(list, "Profil Windows media", na);
    p.profilWmvFavori = make<TWideStringParameter>(list, "Profil wmv favori", QString());
    p.profilParDefaut = make<TBooleanParameter>(list, "Profil par défaut", true);
    p.divxFavori = make<TWideStringParameter>(list, "Divx favori", QString());
    p.wantMp3 = make<TBooleanParameter>(list, "Want Mp3", true);
    p.frequenceDVNative = make<TBooleanParameter>(list, "Frequence DV native", true);
    p.garderFormatDV = make<TBooleanParameter>(list, "Garder Format DV", false);
    p.demiTaille = make<TBooleanParameter>(list, "Demi Taille", true);
    p.notifier = make<TBooleanParameter>(list, "Notifier", true);
    p.internalDeinterlacer = make<TBooleanParameter>(list, "Internal Deinterlacer", true);
    p.ecranGauche = make<TBooleanParameter>(list, "EcranGauche", true);
    p.previewLocked = make<TBooleanParameter>(list, "Preview Locked", true);
    p.activerSuperposition = make<TBooleanParameter>(list, "Activer Superposition", true);
    p.wantIncrust = make<TBooleanParameter>(list, "Want Incrust", false);
    p.wantVertFlip = make<TBooleanParameter>(list, "Want vert Flip", false);
    p.wantHorzFlip = make<TBooleanParameter>(list, "Want Horz flip", false);
    p.wantWidescreen = make<TBooleanParameter>(list, "Want Widescreen", false);
    p.wantVideoSource = make<TWideStringParameter>(list, "Want video source", QString());
    p.wantAudioSource = make<TWideStringParameter>(list, "Want audio source", QString());
    p.wantFormatCapture = make<TWideStringParameter>(list, "Want Format capture", QString());
    p.raccourcisSort = make<TRaccourcisSortParameter>(list, "Raccourcis Sort", uint8_t(0));
    p.fullscreenOn = make<TBooleanParameter>(list, "Fullscreen On", false);
    p.reducedOn = make<TBooleanParameter>(list, "Reduced on", false);
    p.muteOn = make<TBooleanParameter>(list, "Mute On", true);
    p.stopperCameraDV1 = make<TBooleanParameter>(list, "Stopper camera DV 1 en quittant", true);
    p.stopperCameraDV2 = make<TBooleanParameter>(list, "Stopper camera DV 2 en quittant", true);
    p.videoDate = make<TBooleanParameter>(list, "Video Date", true);
    p.imageDate = make<TBooleanParameter>(list, "Image date", false);
    p.showVideoPilotDV = make<TBooleanParameter>(list, "Show Video Pilot DV", true);
    p.showAudioPilotDV = make<TBooleanParameter>(list, "Show Audio Pilot DV", true);
    p.sauverPreferences = make<TBooleanParameter>(list, "Sauver préférences en quittant", true);
    p.confirmerImage = make<TBooleanParameter>(list, "Confirmer Image", true);
    p.confirmerVideo = make<TBooleanParameter>(list, "Confirmer Video", true);
    p.mpeg2RatioNormal = make<TBooleanParameter>(list, "Mpeg2 Ratio Normal", true);
    p.scn = make<TBooleanParameter>(list, "scn", false);
    p.dvDemiSiDivX = make<TBooleanParameter>(list, "DV demi si DivX", true);
    p.beeps = make<TBooleanParameter>(list, "Beeps", false);
    p.sourcesExclues = make<TWideStringParameter>(list, "Sources Exclues", QString());
    p.videoInputSelect = make<TIntegerParameter>(list, "Video Input Select", -1);
    p.freezePreview = make<TBooleanParameter>(list, "Freeze Preview", false);
    p.freezeCapture = make<TBooleanParameter>(list, "Freeze Capture", false);
    p.fichierDv = make<TWideStringParameter>(list, "Fichier DV", QString());
}

} // namespace

TSavePreferences DetectParameterStoreMode(const QString& storePath) {
    if (QFileInfo::exists(AppPaths::iniFilePath()))
        return spPortable;
    // Registry settings belong to the executable file that wrote them.
    TRegistryFile registry(AppPaths::registryFilePath());
    const auto exe = registry.value(storePath, QStringLiteral("Exename"));
    const QString stored = exe && exe->kind == RegKind::String ? exe->text : QString();
    return stored.toLower() == AppPaths::executablePath().toLower() ? spRegistre : spNone;
}

void CreateParameters(TparameterList& list) {
    Prm = TParameters{};
    list.clear();
    list.StorePath = kStorePath;
    try {
        PrefsMode = DetectParameterStoreMode(list.StorePath);
        createAll(list);
        list.LoadAll();
    } catch (const std::exception& e) {
        qCWarning(lcVidorra) << "settings not loaded:" << e.what();
    }
}

bool SaveParameters(TparameterList& list) {
    try {
        return list.SaveAll();
    } catch (const std::exception& e) {
        qCWarning(lcVidorra) << "settings not saved:" << e.what();
        return false;
    }
}
