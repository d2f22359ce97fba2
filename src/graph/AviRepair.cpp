#include "RecordingRepair.h"

namespace repair {

TRepairOutcome RepairAvi(TFileAccess&) {
    return TRepairOutcome::NotRecognised;
}

} // namespace repair
