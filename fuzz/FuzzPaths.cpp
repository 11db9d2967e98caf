// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and host path mapping over any text, in a small prefix made for the run. Beyond not
// failing: a file's Windows spelling leads back to that very file (same device and inode), even
// beside a namesake that differs only in case.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& prefix = Prefix();
    if (size > 512) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos) return 0;  // no path holds a NUL
    (void)sx::os::ToHostPath(text);
    (void)sx::os::FromHostPath(prefix + "/drive_c/" + text);

    // The text as a file's name, with a namesake in another case beside it.
    std::string name = text.substr(0, 100);
    std::erase(name, '/');
    if (name.empty() || name == "." || name == "..") return 0;
    const std::string dir = prefix + "/drive_c/Games/Vantorra/Data";
    std::string other = name;
    for (char& c : other) c = (c >= 'a' && c <= 'z') ? c - 32 : (c >= 'A' && c <= 'Z') ? c + 32 : c;
    for (const std::string& n : {name, other}) std::ofstream(dir + "/" + n) << n;
    for (const std::string& n : {name, other}) {
        const std::string host = dir + "/" + n;
        if (!SameFile(host, host)) continue;
        const std::string spelled = sx::os::FromHostPath(host);
        if (!SameFile(sx::os::ToHostPath(spelled), host)) std::abort();
    }
    std::error_code ec;
    for (const std::string& n : {name, other}) std::filesystem::remove(dir + "/" + n, ec);
    return 0;
}
