// The Wine registry-file reader over any text, behind a valid header or not.
#include <cstdint>
#include <string>
#include <vector>

#include "os/wine/WineRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    std::vector<sx::os::wine::WineRegValue> values;
    sx::os::wine::ReadWineRegistryKey(
        body, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe", values);
    sx::os::wine::ReadWineRegistryKey(
        "WINE REGISTRY Version 2\n" + body,
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe", values);
    return 0;
}
