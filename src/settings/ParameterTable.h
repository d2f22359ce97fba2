#pragma once

#include "Parameters.h"

// Side panels, by the value of "Panneau actif".
enum : uint8_t {
    pnSources = 0,
    pnDossiers = 1,
    pnProgrammer = 2,
    pnExtraire = 3,
    pnIncruster = 4,
    pnOptions = 5,
    pnListe = 6,
    pnAide = 7,
    pnAPropos = 8,
};

// Every setting of the program, reachable by name once CreateParameters has run (and by key
// through TparameterList::find). Members follow the table order.
struct TParameters {
    TIntegerParameter* volume = nullptr;
    TstandardDVParameter* standardDV = nullptr;
    TIntegerParameter* profileWmv = nullptr;
    TFrequenceDVParameter* frequenceDV = nullptr;
    TRatioDVParameter* ratioDV = nullptr;
    TAspectRatioParameter* ratioDivX = nullptr;
    TIntegerParameter* correctionSync = nullptr;
    TRealParameter* framerate = nullptr;
    TincrustRecParameter* incrustRec = nullptr;
    TIntegerParameter* dureeIncruster = nullptr;
    TWhenIncrustParameter* whenIncrust = nullptr;
    TWideStringParameter* noDatecode = nullptr;
    TRealParameter* decalageHoraire = nullptr;
    TBooleanParameter* decalageAvance = nullptr;
    TIntegerParameter* extensionDesImages = nullptr;
    TIntegerParameter* qualiteJpeg = nullptr;
    TIntegerParameter* versionWmv = nullptr;
    TIntegerParameter* valeurIntervallometre = nullptr;
    TIntegerParameter* unitesIntervallometre = nullptr;
    TframeNumberParameter* panneauActif = nullptr;
    TAspectRatioParameter* aspectRatio = nullptr;
    TBooleanParameter* wideScreen = nullptr;
    TWideStringParameter* pluginsDir = nullptr;
    TWideStringParameter* videoDirectory = nullptr;
    TWideStringParameter* videoRacine = nullptr;
    TWideStringParameter* imageDirectory = nullptr;
    TWideStringParameter* imageRacine = nullptr;
    TWideStringParameter* datorix = nullptr;
    TWideStringParameter* sourceVideo = nullptr;
    TWideStringParameter* sourceAudio = nullptr;
    TFormatCaptureParameter* captureFormat = nullptr;
    TWideStringParameter* audioType = nullptr;
    TWideStringParameter* soundCardEntry = nullptr;
    TWideStringParameter* profilWindowsMedia = nullptr;
    TWideStringParameter* profilWmvFavori = nullptr;
    TBooleanParameter* profilParDefaut = nullptr;
    TWideStringParameter* divxFavori = nullptr;
    TBooleanParameter* wantMp3 = nullptr;
    TBooleanParameter* frequenceDVNative = nullptr;
    TBooleanParameter* garderFormatDV = nullptr;
    TBooleanParameter* demiTaille = nullptr;
    TBooleanParameter* notifier = nullptr;
    TBooleanParameter* internalDeinterlacer = nullptr;
    TBooleanParameter* ecranGauche = nullptr;
    TBooleanParameter* previewLocked = nullptr;
    TBooleanParameter* activerSuperposition = nullptr;
    TBooleanParameter* wantIncrust = nullptr;
    TBooleanParameter* wantVertFlip = nullptr;
    TBooleanParameter* wantHorzFlip = nullptr;
    TBooleanParameter* wantWidescreen = nullptr;
    TWideStringParameter* wantVideoSource = nullptr;
    TWideStringParameter* wantAudioSource = nullptr;
    TWideStringParameter* wantFormatCapture = nullptr;
    TRaccourcisSortParameter* raccourcisSort = nullptr;
    TBooleanParameter* fullscreenOn = nullptr;
    TBooleanParameter* reducedOn = nullptr;
    TBooleanParameter* muteOn = nullptr;
    TBooleanParameter* stopperCameraDV1 = nullptr;
    TBooleanParameter* stopperCameraDV2 = nullptr;
    TBooleanParameter* videoDate = nullptr;
    TBooleanParameter* imageDate = nullptr;
    TBooleanParameter* showVideoPilotDV = nullptr;
    TBooleanParameter* showAudioPilotDV = nullptr;
    TBooleanParameter* sauverPreferences = nullptr;
    TBooleanParameter* confirmerImage = nullptr;
    TBooleanParameter* confirmerVideo = nullptr;
    TBooleanParameter* mpeg2RatioNormal = nullptr;
    TBooleanParameter* scn = nullptr;
    TBooleanParameter* dvDemiSiDivX = nullptr;
    TBooleanParameter* beeps = nullptr;
    TWideStringParameter* sourcesExclues = nullptr;
    TIntegerParameter* videoInputSelect = nullptr;
    TBooleanParameter* freezePreview = nullptr;
    TBooleanParameter* freezeCapture = nullptr;
    TWideStringParameter* fichierDv = nullptr; // the DV file played as a tape; empty: none
};

// The process-wide references, valid after CreateParameters.
extern TParameters Prm;

inline constexpr int kParameterCount = 75;

// Chooses the store mode (INI file beside the executable; else registry data written by
// this very executable; else nothing), creates the parameters in table order with their
// defaults, and loads them. A failure leaves the remaining parameters at their defaults.
void CreateParameters(TparameterList& list);
// Saves every parameter; never fails visibly. Returns whether the store was written.
bool SaveParameters(TparameterList& list);
// The store mode CreateParameters would choose now.
TSavePreferences DetectParameterStoreMode(const QString& storePath);
