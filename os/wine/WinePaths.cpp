// Windows paths mapped to host paths through the Wine prefix, and back.
#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "base/Text.h"
#include "os/Paths.h"
#include "os/wine/Wine.h"

namespace sx::os {

namespace {

bool LExists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

// The entry of dir whose name equals name without regard to case; name itself when none does.
std::string MatchComponent(const std::string& dir, const std::string& name) {
    if (name == "." || name == ".." || LExists((dir.empty() ? "." : dir) + "/" + name)) return name;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return name;
    std::string match = name;
    while (dirent* e = ::readdir(d)) {
        if (EqualsNoCase(e->d_name, name)) {
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

std::string Dirname(const std::string& p) {
    const size_t s = p.find_last_of('/');
    if (s == std::string::npos) return ".";
    if (s == 0) return "/";
    return p.substr(0, s);
}

std::string Basename(const std::string& p) {
    const size_t s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

}  // namespace

std::string ToHostPath(const std::string& path) {
    if (path.empty()) return path;
    // A name that exists as it stands (a bare name from a folder listing, which may even hold a
    // backslash) is taken byte for byte.
    if (LExists(path)) return path;
    std::string root;
    std::string rest = path;
    if (path[0] == '/') {
        root = "/";
        rest = path.substr(1);
    } else if (path.size() >= 2 && path[1] == ':' &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        const char drive = static_cast<char>(FoldCase(static_cast<unsigned char>(path[0])));
        root = wine::Prefix() + "/dosdevices/" + drive + ":";
        rest = path.substr(2);
    }
    std::string host = root;
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find_first_of("\\/", pos);
        if (end == std::string::npos) end = rest.size();
        const std::string comp = rest.substr(pos, end - pos);
        pos = end + 1;
        if (comp.empty()) continue;
        const std::string matched = MatchComponent(host, comp);
        if (!host.empty() && host.back() != '/') host += '/';
        host += matched;
    }
    return host.empty() ? "." : host;
}

std::string FromHostPath(const std::string& hostPath) {
    const std::string prefix = wine::Prefix();
    if (prefix.empty() || hostPath.empty() || hostPath[0] != '/') return hostPath;
    std::string dir = RealPath(Dirname(hostPath));
    if (dir.empty()) return hostPath;
    const std::string full = (dir == "/" ? "" : dir) + "/" + Basename(hostPath);

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
    std::string rest = full.size() > skip ? full.substr(skip) : std::string();
    for (char& c : rest)
        if (c == '/') c = '\\';
    return std::string(1, static_cast<char>(bestDrive - 'a' + 'A')) + ":\\" + rest;
}

}  // namespace sx::os
