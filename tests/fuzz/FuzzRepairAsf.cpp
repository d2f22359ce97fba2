// The completion of an ASF recording written as a stream and found unfinished (size, packet
// count, duration, the broadcast flag), on any bytes that open with the ASF header object.
#include "RepairFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20)
        return 0;
    static const QByteArray header(
        "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    return fuzz::RunRepair(data, size, header, 0, 16);
}
