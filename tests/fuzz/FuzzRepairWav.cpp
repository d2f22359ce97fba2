// The repair of a WAV recording cut short (the program killed, the power lost), on any bytes
// that open as RIFF WAVE.
#include "RepairFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20)
        return 0;
    return fuzz::RunRepair(data, size, QByteArrayLiteral("WAVE"), 8, 12);
}
