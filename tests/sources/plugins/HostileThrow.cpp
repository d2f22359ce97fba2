// A capture plug-in in C++ that lets an exception out of pi_setsourcegraph, on the window
// thread; it takes over "Mire de test".
#include "vidorra/pvr.h"

#include <cstring>
#include <stdexcept>

extern "C" {

void pi_drivername(char* buffer, int32_t size) {
    std::strncpy(buffer, "Mire de test", size_t(size));
}

void pi_create(pvr_instance* instance) {
    *instance = 1;
}

void pi_nbfluxvideo(pvr_instance*, int32_t* count) {
    *count = 1;
}

void pi_setsourcegraph(pvr_instance*, int32_t*, GstBin*) {
    throw std::runtime_error("the device is not there");
}
}
