// SPDX-License-Identifier: GPL-3.0-or-later
// Folders and file search on POSIX.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Text.h"
#include "os/Paths.h"

namespace sx::os {

bool ChangeDir(const std::string& folder) {
    if (folder.empty()) return false;
    return ::chdir(ToHostPath(folder).c_str()) == 0;
}

std::vector<std::string> FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    DIR* d = ::opendir(".");
    if (d == nullptr) return names;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        if (WildcardMatchNoCase(pattern, n)) names.push_back(n);
    }
    ::closedir(d);
    return names;
}

bool PathExists(const std::string& path) {
    // A path that ends in a separator names no file (a mission path built without a name).
    if (path.empty() || path.back() == '\\' || path.back() == '/') return false;
    struct stat st {};
    return ::stat(ToHostPath(path).c_str(), &st) == 0;
}

std::optional<FileIdentity> IdentityOf(const std::string& hostPath) {
    struct stat st {};
    if (hostPath.empty() || ::lstat(hostPath.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool IsFolder(const std::string& path) {
    const std::string host = ToHostPath(path);
    struct stat st {};
    return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace sx::os
