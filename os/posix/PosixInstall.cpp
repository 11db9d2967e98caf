// SPDX-License-Identifier: GPL-3.0-or-later
// An install's files on POSIX: staged in a folder of the install's own, then put in place one by
// one, on descriptors. The folders below a category folder are walked part by part, never
// through a link; a file replaced goes to the trash by a second name (a hard link) before the new
// file is renamed over its name, so that a name always holds old or new bytes and the old ones
// are in place or in the trash.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include "base/Text.h"
#include "os/Backend.h"
#include "os/Install.h"
#include "os/Paths.h"
#include "os/posix/Posix.h"
#include "os/posix/PosixTrash.h"

namespace sx::os {

namespace {

using posix::Errno;
using posix::LastError;
using posix::SameFile;
using posix::StatAt;

// The real path of an open folder.
std::string RealPathOf(int fd) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The entry of an open folder named name: that very name, else the first that equals it without
// regard to case, as Windows matches names; empty when there is none.
std::string MatchIn(int dirFd, const std::string& name) {
    struct stat st {};
    if (StatAt(dirFd, name, st)) return name;
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (d == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return {};
    }
    std::string found;
    const std::string key = FoldedKeyUtf8(name);
    while (dirent* e = ::readdir(d))
        if (FoldedKeyUtf8(e->d_name) == key) {
            found = e->d_name;
            break;
        }
    ::closedir(d);
    return found;
}

// Output to a staged file.
class FdStagedFile : public StagedFile {
  public:
    FdStagedFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~FdStagedFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    FdStagedFile(const FdStagedFile&) = delete;
    FdStagedFile& operator=(const FdStagedFile&) = delete;
    bool Write(const char* data, size_t size) override {
        if (m_fd < 0 || m_err) return false;
        if (!posix::Allowed(FileOp::Write, m_path)) return Fail(LastError());
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return Fail(n < 0 ? LastError() : Errno(EIO));
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    std::error_code Error() const override { return m_err; }
    bool Finish() override {
        if (m_fd < 0) return !m_err;
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && !m_err) m_err = LastError();
        return !m_err;
    }

  private:
    bool Fail(std::error_code err) {
        if (!m_err) m_err = err;
        return false;
    }
    int m_fd;
    std::string m_path;
    std::error_code m_err;
};

// The folders placed into since the last flush, held open.
std::vector<int>& PlacedFolders() {
    static std::vector<int> folders;
    return folders;
}

void Remember(int dirFd) {
    struct stat st {}, other {};
    ::fstat(dirFd, &st);
    for (int fd : PlacedFolders())
        if (::fstat(fd, &other) == 0 && SameFile(st, other)) return;
    PlacedFolders().push_back(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
}

// Walks parts (the folders below a category folder) from dirFd, never through a link, making a
// folder where one is missing when asked; -1 with why.
int WalkFolders(int dirFd, const std::vector<std::string>& parts, size_t count, bool make, std::error_code& why) {
    int fd = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    for (size_t i = 0; i < count && fd >= 0; ++i) {
        if (make && ::mkdirat(fd, parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
            why = LastError();
            ::close(fd);
            return -1;
        }
        const int next = ::openat(fd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) why = errno == ELOOP || errno == ENOTDIR ? Errno(ENOTDIR) : LastError();
        ::close(fd);
        fd = next;
    }
    return fd;
}

int OpenCategory(const std::string& folder) {
    const std::string host = ToHostPath(folder);
    return host.empty() ? -1 : ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

struct StagingFolder::Impl {
    int parentFd = -1, fd = -1;
    std::string name, path;
    ~Impl() { Remove(); }
    void Remove() {
        if (fd >= 0) {
            // Only regular files, by name in the held folder, never following a link.
            const int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (DIR* d = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
                std::vector<std::string> names;
                while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
                ::closedir(d);
                for (const std::string& n : names) {
                    struct stat st {};
                    if (StatAt(fd, n, st) && S_ISREG(st.st_mode)) ::unlinkat(fd, n.c_str(), 0);
                }
            }
            struct stat held {}, named {};
            if (::fstat(fd, &held) == 0 && StatAt(parentFd, name, named) && SameFile(held, named))
                ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR);
            ::close(fd);
        }
        if (parentFd >= 0) ::close(parentFd);
        fd = parentFd = -1;
    }
};

StagingFolder::StagingFolder() : m_impl(std::make_unique<Impl>()) {}

StagingFolder::~StagingFolder() = default;

bool StagingFolder::IsOpen() const {
    return m_impl->fd >= 0;
}

bool StagingFolder::Create(const std::string& folder) {
    Impl& s = *m_impl;
    s.Remove();
    s.parentFd = OpenCategory(folder);
    if (s.parentFd < 0) return false;
    for (int attempt = 0; attempt < 10; ++attempt) {
        s.name = backend::kStagingStart + backend::RandomHex();
        s.path = ToHostPath(folder) + "/" + s.name;
        if (!posix::Allowed(FileOp::Open, s.path)) return false;
        if (::mkdirat(s.parentFd, s.name.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        s.fd = ::openat(s.parentFd, s.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat named {}, held {};
        if (s.fd >= 0 && ::flock(s.fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(s.fd, &held) == 0 &&
            StatAt(s.parentFd, s.name, named) && SameFile(held, named))
            return true;
        if (s.fd >= 0) ::close(s.fd);
        s.fd = -1;
    }
    return false;
}

std::unique_ptr<StagedFile> StagingFolder::Stage(size_t index) {
    const Impl& s = *m_impl;
    const std::string name = std::to_string(index);
    if (s.fd < 0 || !posix::Allowed(FileOp::Open, s.path + "/" + name)) return nullptr;
    const int fd = ::openat(s.fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<FdStagedFile>(fd, s.path + "/" + name);
}

bool StagingFolder::OpenStaged(size_t index, InputFile& in) const {
    struct stat st {};
    std::error_code why;
    const int fd = posix::OpenRegularAt(m_impl->fd, std::to_string(index), st, why);
    return fd >= 0 && posix::AdoptInput(in, fd, m_impl->path + "/" + std::to_string(index), &st);
}

void StagingFolder::Discard(size_t index) {
    if (m_impl->fd >= 0) ::unlinkat(m_impl->fd, std::to_string(index).c_str(), 0);
}

bool StagingFolder::Sync() {
    return m_impl->fd >= 0 && posix::Allowed(FileOp::Sync, m_impl->path) && ::syncfs(m_impl->fd) == 0;
}

PlaceLookUp LookUpPlace(const std::string& folder, const std::vector<std::string>& parts) {
    PlaceLookUp found;
    found.spelled = parts;
    int fd = OpenCategory(folder);
    for (size_t i = 0; fd >= 0 && i < parts.size(); ++i) {
        const std::string match = MatchIn(fd, parts[i]);
        if (match.empty()) break;  // missing from here on: spelled as the pack spells it
        found.spelled[i] = match;
        struct stat st {};
        StatAt(fd, match, st);
        const bool last = i + 1 == parts.size();
        if (last) {
            found.kind = S_ISREG(st.st_mode) ? PlaceLookUp::File : PlaceLookUp::NoFile;
            break;
        }
        if (!S_ISDIR(st.st_mode)) {
            found.kind = PlaceLookUp::NoFile;
            break;
        }
        const int next = ::openat(fd, match.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
        if (fd < 0) found.kind = PlaceLookUp::NoFile;
    }
    if (fd >= 0) ::close(fd);
    return found;
}

bool OpenPlaced(const std::string& folder, const std::vector<std::string>& spelled, InputFile& in) {
    const int category = OpenCategory(folder);
    if (category < 0 || spelled.empty()) {
        if (category >= 0) ::close(category);
        return false;
    }
    std::error_code why;
    const int dirFd = WalkFolders(category, spelled, spelled.size() - 1, false, why);
    ::close(category);
    if (dirFd < 0) return false;
    struct stat st {};
    const int fd = posix::OpenRegularAt(dirFd, spelled.back(), st, why);
    ::close(dirFd);
    return fd >= 0 && posix::AdoptInput(in, fd, spelled.back(), &st);
}

PlaceResult PlaceStaged(StagingFolder& staging, size_t index, const std::string& folder,
                        const std::vector<std::string>& spelled, bool replace, const LockWait& waitForLock) {
    PlaceResult result;
    const int stagingFd = staging.Native().fd;
    const std::string staged = std::to_string(index);
    const int category = OpenCategory(folder);
    if (stagingFd < 0 || category < 0 || spelled.empty()) {
        if (category >= 0) ::close(category);
        result.error = Errno(ENOENT);
        return result;
    }
    const int dirFd = WalkFolders(category, spelled, spelled.size() - 1, true, result.error);
    ::close(category);
    if (dirFd < 0) {
        result.outcome = result.error == std::errc::not_a_directory ? Placed::NotAFile : Placed::Failed;
        return result;
    }
    const std::string& name = spelled.back();
    const std::string target = RealPathOf(dirFd) + "/" + name;
    const auto done = [&](Placed outcome, std::error_code err = {}) {
        if (outcome == Placed::New || outcome == Placed::Replaced) Remember(dirFd);
        ::close(dirFd);
        result.outcome = outcome;
        result.error = err;
        return result;
    };
    if (!posix::Allowed(FileOp::Rename, target)) return done(Placed::Failed, LastError());
    if (!replace) {
        // Never over a file that came meanwhile.
        if (::renameat2(stagingFd, staged.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) == 0)
            return done(Placed::New);
        if (errno != EINVAL && errno != ENOSYS) return done(Placed::Failed, LastError());
        if (::linkat(stagingFd, staged.c_str(), dirFd, name.c_str(), 0) != 0) return done(Placed::Failed, LastError());
        ::unlinkat(stagingFd, staged.c_str(), 0);
        return done(Placed::New);
    }
    // The file replaced: opened without following a link, under its lock, which no reader waits
    // for; a file this user can neither write nor make writable stays.
    struct stat st {};
    std::error_code why;
    const int fd = posix::OpenRegularAt(dirFd, name, st, why);
    if (fd < 0) return done(why == std::errc::too_many_symbolic_link_levels || why == std::errc::is_a_directory ||
                                    why == std::errc::invalid_argument
                                ? Placed::NotAFile
                                : Placed::Failed,
                            why);
    const auto tryLock = [fd] { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; };
    if (!tryLock() && !(waitForLock && waitForLock(tryLock))) {
        ::close(fd);
        return done(Placed::InUse, Errno(EBUSY));
    }
    const auto finish = [&](Placed outcome, std::error_code err = {}) {
        ::close(fd);
        return done(outcome, err);
    };
    if ((!posix::Allowed(FileOp::Access, target) || ::faccessat(dirFd, name.c_str(), W_OK, AT_EACCESS) != 0) &&
        st.st_uid != ::geteuid())
        return finish(Placed::MayNotChange, Errno(EACCES));
    // The new file takes the old one's permissions, as a rewrite keeps them.
    struct stat stagedSt {};
    // Where that fails the new file keeps the staging's own permissions, which are the user's.
    if (StatAt(stagingFd, staged, stagedSt) && ::fchmodat(stagingFd, staged.c_str(), st.st_mode & 07777, 0) != 0)
        stagedSt = {};
    posix::TrashSlot slot;
    if (!slot.Reserve(RealPathOf(dirFd), name, st.st_dev)) return finish(Placed::NoTrash);
    struct stat now {};
    if (!StatAt(dirFd, name, now) || !SameFile(now, st)) {
        slot.Release(false);
        return finish(Placed::Failed, Errno(ESTALE));
    }
    if (::linkat(dirFd, name.c_str(), slot.filesFd, slot.trashName.c_str(), 0) == 0) {
        if (::renameat(stagingFd, staged.c_str(), dirFd, name.c_str()) != 0) {
            const std::error_code err = LastError();
            ::unlinkat(slot.filesFd, slot.trashName.c_str(), 0);
            slot.Release(false);
            return finish(Placed::Failed, err);
        }
        return finish(Placed::Replaced);
    }
    // A file system without second names (FAT): the old file into the trash, then the new one
    // into its place.
    if (::renameat(dirFd, name.c_str(), slot.filesFd, slot.trashName.c_str()) != 0) {
        slot.Release(false);
        return finish(Placed::NoTrash, LastError());
    }
    if (::renameat(stagingFd, staged.c_str(), dirFd, name.c_str()) != 0) {
        const std::error_code err = LastError();
        ::renameat(slot.filesFd, slot.trashName.c_str(), dirFd, name.c_str());
        slot.Release(false);
        return finish(Placed::Failed, err);
    }
    return finish(Placed::Replaced);
}

void FlushPlaced() {
    std::vector<int>& folders = PlacedFolders();
    if (!folders.empty()) ::syncfs(folders.front());
    for (int fd : folders) {
        if (posix::Allowed(FileOp::SyncFolder, RealPathOf(fd))) ::fsync(fd);
        ::close(fd);
    }
    folders.clear();
}

Trashed MoveToTrash(const std::string& name, const LockWait& waitForLock) {
    const int dirFd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return Trashed::NotAFile;
    struct stat st {};
    std::error_code why;
    const int fd = name.empty() ? -1 : posix::OpenRegularAt(dirFd, name, st, why);
    const auto done = [&](Trashed t) {
        if (fd >= 0) ::close(fd);
        ::close(dirFd);
        return t;
    };
    if (fd < 0) return done(Trashed::NotAFile);
    const auto tryLock = [fd] { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; };
    if (!tryLock() && !(waitForLock && waitForLock(tryLock))) return done(Trashed::InUse);
    posix::TrashSlot slot;
    struct stat now {};
    if (!slot.Reserve(RealPathOf(dirFd), name, st.st_dev)) return done(Trashed::NoTrash);
    if (!StatAt(dirFd, name, now) || !SameFile(now, st) ||
        ::renameat(dirFd, name.c_str(), slot.filesFd, slot.trashName.c_str()) != 0) {
        slot.Release(false);
        return done(Trashed::NoTrash);
    }
    ::fsync(dirFd);
    return done(Trashed::Yes);
}

namespace {
void ListInto(int dirFd, const std::string& prefix, std::vector<TreeEntry>& out, size_t limit, bool& complete, int depth) {
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (d == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..") names.emplace_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        if (out.size() >= limit) {
            complete = false;
            return;
        }
        struct stat st {};
        if (!StatAt(dirFd, n, st)) continue;
        TreeEntry e{prefix + n, S_ISREG(st.st_mode) ? TreeEntry::File : S_ISDIR(st.st_mode) ? TreeEntry::Folder
                                    : S_ISLNK(st.st_mode)                              ? TreeEntry::Link
                                                                                       : TreeEntry::Other};
        out.push_back(e);
        if (e.kind != TreeEntry::Folder || depth > 64) continue;
        const int sub = ::openat(dirFd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) continue;
        ListInto(sub, e.name + "/", out, limit, complete, depth + 1);
        ::close(sub);
    }
}
}  // namespace

std::vector<TreeEntry> ListTree(const std::string& hostFolder, size_t limit, bool& complete) {
    std::vector<TreeEntry> out;
    complete = true;
    const int fd = ::open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return out;
    ListInto(fd, "", out, limit, complete, 0);
    ::close(fd);
    return out;
}

bool OpenTreeFile(const std::string& hostFolder, const std::string& name, InputFile& in) {
    const int top = ::open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0) return false;
    std::vector<std::string> parts;
    for (size_t pos = 0; pos <= name.size();) {
        size_t end = name.find('/', pos);
        if (end == std::string::npos) end = name.size();
        parts.push_back(name.substr(pos, end - pos));
        pos = end + 1;
    }
    std::error_code why;
    const int dirFd = WalkFolders(top, parts, parts.size() - 1, false, why);
    ::close(top);
    if (dirFd < 0) return false;
    struct stat st {};
    const int fd = posix::OpenRegularAt(dirFd, parts.back(), st, why);
    ::close(dirFd);
    return fd >= 0 && posix::AdoptInput(in, fd, hostFolder + "/" + name, &st);
}

bool CanSpellName(const std::string&) {
    return true;
}

std::string NameForPaths(const std::string& utf8) {
    return utf8;
}

std::string NameForTexts(const std::string& utf8) {
    return Utf8ToCp1252(utf8);
}

std::string NameFromPaths(const std::string& spelled) {
    return spelled;
}

}  // namespace sx::os
