// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's trash, as the freedesktop.org trash standard lays it out: the home trash
// for files on its file system; elsewhere the trash at the top of the file's file system
// ($topdir/.Trash/$uid where .Trash is a sticky folder and no link, else $topdir/.Trash-$uid).
// A file's info file is written first, exclusively, then the file goes in under the same name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "os/posix/Posix.h"
#include "os/posix/PosixTrash.h"

namespace sx::os::posix {

namespace {

// Opens (making it where it is missing) a folder of this user's that is no link, mode 0700.
int OwnFolderAt(int parentFd, const char* name) {
    if (::mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST) return -1;
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Makes every folder of an absolute path (mode 0700 where one is made) and opens the last.
int OwnPath(const std::string& path) {
    int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (size_t pos = 1; fd >= 0 && pos < path.size();) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        if (::mkdirat(fd, part.c_str(), 0700) != 0 && errno != EEXIST) {
            ::close(fd);
            return -1;
        }
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

// The mount point a folder lies on: the highest folder above it of the same device.
std::string TopDir(const std::string& folder, dev_t dev) {
    std::string top = folder;
    while (top != "/") {
        const size_t slash = top.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : top.substr(0, slash);
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != dev) break;
        top = parent;
    }
    return top;
}

// A trash folder's files and info folders, opened.
struct TrashFolders {
    int files = -1, info = -1;
    std::string pathBase;  // what Path= is relative to ("" for absolute)
};

bool OpenTrash(int trashFd, TrashFolders& t) {
    t.files = OwnFolderAt(trashFd, "files");
    t.info = OwnFolderAt(trashFd, "info");
    ::close(trashFd);
    return t.files >= 0 && t.info >= 0;
}

// The trash for a file of device dev under folder (a real path), on that very device.
bool FindTrash(const std::string& folder, dev_t dev, TrashFolders& t) {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string homeTrash;
    if (data != nullptr && data[0] == '/')
        homeTrash = std::string(data) + "/Trash";
    else if (home != nullptr && home[0] == '/')
        homeTrash = std::string(home) + "/.local/share/Trash";
    if (!homeTrash.empty()) {
        const int fd = OwnPath(homeTrash);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == dev) return OpenTrash(fd, t);
        if (fd >= 0) ::close(fd);
    }
    const std::string top = TopDir(folder, dev);
    const int topFd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (topFd < 0) return false;
    t.pathBase = top == "/" ? "/" : top + "/";
    const std::string uid = std::to_string(::geteuid());
    // $topdir/.Trash/$uid, where .Trash is a real sticky folder (not a link).
    struct stat shared {};
    if (::fstatat(topFd, ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) && shared.st_dev == dev) {
        const int sharedFd = ::openat(topFd, ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int mine = sharedFd >= 0 ? OwnFolderAt(sharedFd, uid.c_str()) : -1;
        if (sharedFd >= 0) ::close(sharedFd);
        if (mine >= 0) {
            ::close(topFd);
            return OpenTrash(mine, t);
        }
    }
    const int own = OwnFolderAt(topFd, (".Trash-" + uid).c_str());
    ::close(topFd);
    struct stat st {};
    if (own < 0 || ::fstat(own, &st) != 0 || st.st_dev != dev) {
        if (own >= 0) ::close(own);
        return false;
    }
    return OpenTrash(own, t);
}

std::string PercentEscaped(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("-_.~/").find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

bool TrashSlot::Reserve(const std::string& folder, const std::string& name, dev_t dev) {
    Release(false);
    TrashFolders t;
    if (!Allowed(FileOp::Open, folder + "/" + name + ".trashinfo") || !FindTrash(folder, dev, t)) {
        if (t.files >= 0) ::close(t.files);
        if (t.info >= 0) ::close(t.info);
        return false;
    }
    filesFd = t.files;
    infoFd = t.info;
    std::string path = folder + "/" + name;
    if (!t.pathBase.empty() && t.pathBase != "/") path = path.substr(t.pathBase.size());
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string text = "[Trash Info]\nPath=" + PercentEscaped(path) + "\nDeletionDate=" + date + "\n";
    // The first name of the files folder that is free in both folders.
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = n == 1 ? name : name + "." + std::to_string(n);
        struct stat st {};
        if (::fstatat(filesFd, candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
        const int fd = ::openat(infoFd, (candidate + ".trashinfo").c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        trashName = candidate;
        if (!written) break;
        return true;
    }
    Release(false);
    return false;
}

void TrashSlot::Release(bool used) {
    if (!used && infoFd >= 0 && !trashName.empty()) ::unlinkat(infoFd, (trashName + ".trashinfo").c_str(), 0);
    if (filesFd >= 0) ::close(filesFd);
    if (infoFd >= 0) ::close(infoFd);
    filesFd = infoFd = -1;
    trashName.clear();
}

}  // namespace sx::os::posix
