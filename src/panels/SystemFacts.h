#pragma once

#include "SystemReport.h"

class TSourceExclusions;
class TpluginList;

// The facts of the running machine: the system, the GStreamer registry, the encoder catalog,
// the source exclusions and the capture plug-ins.
TSystemFacts GatherSystemFacts(const TSourceExclusions& exclusions, const TpluginList& plugins);
