// The names capture plug-ins write into the program's buffers (any bytes, NUL-terminated or
// not, valid UTF-8 or not, of any length): the name kept is at most 255 characters, and the
// device a plug-in names is found again by the name the system lists it under.
#include "FuzzSupport.h"
#include "PluginName.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65537) // the buffer the loader hands a plug-in
        return 0;
    // A buffer of exactly the bytes given: nothing past it may be read.
    std::vector<char> buffer(reinterpret_cast<const char*>(data),
                             reinterpret_cast<const char*>(data) + size);
    const QString name = PluginName(buffer.data(), buffer.size());
    FUZZ_CHECK(name.toUcs4().size() <= kPluginNameMax);
    FUZZ_CHECK(PluginNameKey(name) == name);

    // The system lists the device under the whole name; it compares on the same 255.
    const size_t length = size ? strnlen(buffer.data(), buffer.size()) : 0;
    const QString listed = QString::fromUtf8(buffer.data(), qsizetype(length));
    FUZZ_CHECK(PluginNameKey(listed) == name);
    FUZZ_CHECK(listed.startsWith(name));
    return 0;
}
