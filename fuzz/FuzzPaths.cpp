// Windows and host path mapping over any text, in a small prefix made for the run.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "os/Paths.h"

namespace {
const std::string& Prefix() {
    static const std::string prefix = [] {
        // One folder, emptied at every start: libFuzzer ends without running exit handlers.
        const std::string dir = "/tmp/sortilex-fuzz-paths-" + std::to_string(::getuid());
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir + "/drive_c/Games/Vantorra/Data");
        std::filesystem::create_directories(dir + "/dosdevices");
        std::filesystem::create_directory_symlink("../drive_c", dir + "/dosdevices/c:");
        ::setenv("WINEPREFIX", dir.c_str(), 1);
        return dir;
    }();
    return prefix;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& prefix = Prefix();
    if (size > 512) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos) return 0;  // no path holds a NUL
    const std::string host = sx::os::ToHostPath(text);
    if (!text.empty() && host.empty()) std::abort();
    (void)sx::os::FromHostPath(host);
    (void)sx::os::FromHostPath(prefix + "/drive_c/" + text);
    return 0;
}
