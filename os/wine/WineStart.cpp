// Telling a Windows program from a native one, and finding Wine to run it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "os/Process.h"
#include "os/wine/Wine.h"

namespace sx::os::wine {

std::string Prefix() {
    if (const char* p = std::getenv("WINEPREFIX"); p != nullptr && *p != '\0') return p;
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
        return std::string(h) + "/.wine";
    return {};
}

bool IsWindowsExecutable(const std::string& hostPath) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char mz[64];
    bool pe = false;
    if (::pread(fd, mz, sizeof mz, 0) == static_cast<ssize_t>(sizeof mz) && mz[0] == 'M' &&
        mz[1] == 'Z') {
        const uint32_t off = static_cast<uint32_t>(mz[60]) | (static_cast<uint32_t>(mz[61]) << 8) |
                             (static_cast<uint32_t>(mz[62]) << 16) |
                             (static_cast<uint32_t>(mz[63]) << 24);
        unsigned char sig[4];
        pe = ::pread(fd, sig, 4, off) == 4 && sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 &&
             sig[3] == 0;
    }
    ::close(fd);
    return pe;
}

std::string FindWine() {
    const char* wine = std::getenv("WINE");
    if (wine != nullptr && std::strchr(wine, '/') != nullptr)
        return ::access(wine, X_OK) == 0 ? wine : "";
    const std::string program = (wine && *wine) ? wine : "wine";
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t end = dirs.find(':', pos);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(pos, end - pos);
        pos = end + 1;
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

}  // namespace sx::os::wine

namespace sx::os {

void InitializeProcess() {
    // A relative WINEPREFIX names a folder beside the one Sortilex was started in; the program
    // changes its current folder as it works, so the prefix is made absolute now.
    const char* prefix = std::getenv("WINEPREFIX");
    char cwd[PATH_MAX];
    if (prefix != nullptr && *prefix != '\0' && *prefix != '/' && ::getcwd(cwd, sizeof cwd))
        ::setenv("WINEPREFIX", (std::string(cwd) + "/" + prefix).c_str(), 1);
}

}  // namespace sx::os
