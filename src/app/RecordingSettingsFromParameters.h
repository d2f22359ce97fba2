#pragma once

#include "RecordingSettings.h"

struct TParameters;

// The settings a recording starts with, from the parameters (the program passes Prm), the
// DivX "Propriétés" and LAME's bitrate from the registry file. A parameter that does not
// exist keeps the struct's default.
TRecordingSettings RecordingSettingsFrom(const TParameters& prm);
