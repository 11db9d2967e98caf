// SPDX-License-Identifier: GPL-3.0-or-later
// Windows paths mapped to host paths through the Wine prefix, and back, as Wine resolves them.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/Text.h"
#include "os/Paths.h"
#include "os/wine/Wine.h"

namespace sx::os {

namespace {

bool LExists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool IsHostFolder(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of dir whose name is name: the exact spelling first, else the first that equals it
// without regard to case, as Wine matches names; name itself when none does.
std::string MatchComponent(const std::string& dir, const std::string& name) {
    if (LExists(dir + "/" + name)) return name;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return name;
    std::string match = name;
    while (dirent* e = ::readdir(d)) {
        if (EqualsNoCaseUtf8(e->d_name, name)) {
            match = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return match;
}

std::string RealPath(const std::string& p) {
    char buf[PATH_MAX];
    if (::realpath(p.c_str(), buf) == nullptr) return {};
    return buf;
}

std::vector<std::string> SplitWindowsPath(std::string_view rest) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find_first_of("\\/", pos);
        if (end == std::string_view::npos) end = rest.size();
        parts.emplace_back(rest.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A name a Windows path can hold and that Wine gives back as this very name: none of the
// characters Windows forbids, no trailing dot or blank, no device name.
bool IsWindowsName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* d : kDevices)
        if (stem == d) return false;
    if (stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
        stem[3] >= '0' && stem[3] <= '9')
        return false;
    return true;
}

}  // namespace

std::string ToHostPath(const std::string& path) {
    // A host path stands as it is: its names may hold any byte, a backslash among them.
    if (path.empty() || path[0] == '/') return path;
    std::string_view p = path;
    // "\\?\C:\..." is the long form of "C:\..."; "\\.\" names devices, never a file.
    if (p.substr(0, 4) == "\\\\?\\") p.remove_prefix(4);
    if (p.substr(0, 4) == "\\\\.\\") return {};
    std::string host;
    std::string_view rest;
    size_t keep = 0;  // components of the root that ".." does not climb over
    if (p.size() >= 2 && IsDriveLetter(p[0]) && p[1] == ':') {
        const char drive = static_cast<char>(FoldCase(static_cast<unsigned char>(p[0])));
        host = wine::Prefix() + "/dosdevices/" + drive + ":";
        rest = p.substr(2);
    } else if (p.size() >= 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/')) {
        // A UNC path goes through the prefix's unc folder, as Wine does, or nowhere.
        host = wine::Prefix() + "/dosdevices/unc";
        if (!IsHostFolder(host)) return {};
        rest = p.substr(2);
        keep = 2;  // the server and the share
    } else {
        // A relative name is never looked up in the current folder: "C:\Games" spelled
        // without its drive would otherwise find a folder of that literal name there.
        return {};
    }
    std::vector<std::string> stack;
    for (const std::string& comp : SplitWindowsPath(rest)) {
        if (comp.empty() || comp == ".") continue;
        if (comp == "..") {
            // ".." stops at the drive's root.
            if (stack.size() > keep) stack.pop_back();
            continue;
        }
        stack.push_back(comp);
    }
    if (stack.size() < keep) return {};
    for (const std::string& comp : stack) host += "/" + MatchComponent(host, comp);
    return host;
}

std::string FromHostPath(const std::string& hostPath) {
    const std::string prefix = wine::Prefix();
    if (prefix.empty() || hostPath.empty() || hostPath[0] != '/') return hostPath;
    struct stat original {};
    if (::stat(hostPath.c_str(), &original) != 0) return hostPath;
    const size_t slash = hostPath.find_last_of('/');
    std::string dir = RealPath(slash == 0 ? "/" : hostPath.substr(0, slash));
    if (dir.empty()) return hostPath;
    const std::string full = (dir == "/" ? "" : dir) + "/" + hostPath.substr(slash + 1);

    DIR* d = ::opendir((prefix + "/dosdevices").c_str());
    if (d == nullptr) return hostPath;
    std::string bestRoot;
    char bestDrive = 0;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() != 2 || n[1] != ':' || n[0] < 'a' || n[0] > 'z') continue;
        std::string r = RealPath(prefix + "/dosdevices/" + n);
        if (r.empty()) continue;
        const bool under = r == "/" || (full.compare(0, r.size(), r) == 0 &&
                                        (full.size() == r.size() || full[r.size()] == '/'));
        if (under && (bestDrive == 0 || r.size() > bestRoot.size())) {
            bestRoot = r;
            bestDrive = n[0];
        }
    }
    ::closedir(d);
    if (bestDrive == 0) return hostPath;
    // The drive's root itself has nothing after the drive.
    const size_t skip = bestRoot == "/" ? 1 : bestRoot.size() + 1;
    const std::string rest = full.size() > skip ? full.substr(skip) : std::string();
    std::string windows = std::string(1, static_cast<char>(bestDrive - 'a' + 'A')) + ":\\";
    for (size_t pos = 0; pos < rest.size();) {
        size_t end = rest.find('/', pos);
        if (end == std::string::npos) end = rest.size();
        const std::string comp = rest.substr(pos, end - pos);
        pos = end + 1;
        if (comp.empty()) continue;
        if (!IsWindowsName(comp)) return hostPath;
        if (windows.back() != '\\') windows += '\\';
        windows += comp;
    }
    // The Windows spelling must lead back to this very file, not to a namesake that differs
    // in case, or the program would work on a file the user did not choose.
    struct stat mapped {};
    if (::stat(ToHostPath(windows).c_str(), &mapped) != 0 || mapped.st_dev != original.st_dev ||
        mapped.st_ino != original.st_ino)
        return hostPath;
    return windows;
}

std::string RealHostPath(const std::string& hostPath) {
    const std::string real = RealPath(hostPath);
    return real.empty() ? hostPath : real;
}

std::vector<DrivePlace> DrivePlaces() {
    std::vector<DrivePlace> drives;
    const std::string prefix = wine::Prefix();
    if (prefix.empty()) return drives;
    const std::string devices = prefix + "/dosdevices";
    DIR* d = ::opendir(devices.c_str());
    if (d == nullptr) return drives;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() != 2 || n[1] != ':' || n[0] < 'a' || n[0] > 'z') continue;
        const std::string real = RealPath(devices + "/" + n);
        if (real.empty() || !IsHostFolder(real)) continue;
        drives.push_back({std::string(1, static_cast<char>(n[0] - 'a' + 'A')) + ":", real});
    }
    ::closedir(d);
    std::sort(drives.begin(), drives.end(),
              [](const DrivePlace& a, const DrivePlace& b) { return a.label < b.label; });
    return drives;
}

}  // namespace sx::os
