// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of files' contents on POSIX, and the clean-up of what killed
// replacements left.
//
// Everything works on descriptors: a file's folder is opened once, the file in it without
// following a link, and each later step (the lock, the reads of the copy, the attributes, the
// check before the rename) acts on what was opened. Only the final renameat names the file
// again, in the held folder, and it replaces the name itself, never following a link.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "os/Backend.h"
#include "os/Paths.h"
#include "os/posix/Posix.h"

namespace sx::os {

namespace {

using posix::Errno;
using posix::LastError;
using posix::OpenRegularAt;
using posix::SameFile;
using posix::StatAt;


// The most files a group holds: each keeps two descriptors (the file under its lock and its
// copy), and a group stays under half of what the system lets the program hold open. The soft
// limit is raised to the hard one first, once.
size_t GroupCapacity() {
    static const size_t capacity = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return size_t{64};
        if (limit.rlim_cur < limit.rlim_max) {
            rlimit raised = limit;
            raised.rlim_cur = limit.rlim_max;
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
        }
        const rlim_t open = limit.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_cur;
        return std::max<size_t>(16, static_cast<size_t>(open / 4) - 16);
    }();
    return capacity;
}

// Gives the copy what the file was: owner and group where this user may set them, the
// permission bits (mode), and the extended attributes (ACLs among them) where the file system
// keeps them. The ACL comes after the bits, as it sets some of them itself.
bool CopyAttributes(int from, int to, const struct stat& st, const struct stat& copy, mode_t mode,
                    const std::string& tempPath) {
    if ((copy.st_uid != st.st_uid || copy.st_gid != st.st_gid) &&
        ::fchown(to, st.st_uid, st.st_gid) != 0 &&
        ::fchown(to, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // An ordinary user cannot give a file away; the copy stays this user's.
    }
    if (!posix::Allowed(FileOp::Chmod, tempPath) || ::fchmod(to, mode) != 0) return false;
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0) return true;
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t got = ::flistxattr(from, names.data(), names.size());
    for (ssize_t i = 0; i < got;) {
        const char* name = names.data() + i;
        i += static_cast<ssize_t>(std::char_traits<char>::length(name)) + 1;
        const ssize_t len = ::fgetxattr(from, name, nullptr, 0);
        if (len < 0) continue;
        std::vector<char> value(static_cast<size_t>(len));
        if (::fgetxattr(from, name, value.data(), value.size()) == len)
            ::fsetxattr(to, name, value.data(), value.size(), 0);
    }
    return true;
}

// Output to the temporary file's descriptor.
// The descriptor stays the caller's: it holds the copy's lock until the copy is in place, and
// closing it then can no longer fail the rewrite (the data reached the disk before).
class FdOutputFile : public backend::BufferedOutputFile {
  public:
    FdOutputFile(int fd, const std::string& path) : BufferedOutputFile(path), m_fd(fd) {}
    ~FdOutputFile() override = default;
    FdOutputFile(const FdOutputFile&) = delete;
    FdOutputFile& operator=(const FdOutputFile&) = delete;

    int Fd() const { return m_fd; }

  private:
    bool IsOpen() const override { return m_fd >= 0; }
    std::error_code WriteHandle(const char* data, size_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return n < 0 ? LastError() : std::make_error_code(std::errc::io_error);
            data += n;
            size -= static_cast<size_t>(n);
        }
        return {};
    }
    std::error_code SyncHandle() override {
        return ::fsync(m_fd) == 0 ? std::error_code() : LastError();
    }
    std::error_code CloseHandle() override {
        m_fd = -1;
        return {};
    }
    int m_fd;
};

// A folder the group works in, opened once by the name it was given.
struct Folder {
    std::string name;  // as given ("." for the current folder)
    int fd = -1;
    bool renamed = false;  // a copy took a file's place here: the folder is flushed
};

// One file's replacement on its way: the file open and locked, its copy written and held under
// a lock of its own (so that a clean-up of leftovers passes it over), not yet in the file's
// place.
struct Pending {
    size_t folder = 0;
    int fd = -1;      // the file
    int copyFd = -1;  // its copy
    struct stat st {};
    dev_t tempDev = 0;
    ino_t tempIno = 0;
    std::string base, tempName;
};

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "." ? name : folder + "/" + name;
}

// The file being replaced, open for its lock, as Add tries and waits for it.
class Target {
  public:
    Target(int dirFd, std::string base, std::string path)
        : m_dirFd(dirFd), m_base(std::move(base)), m_path(std::move(path)) {}
    ~Target() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    // Opens what the name leads to; false with why when it may not be replaced.
    bool Open() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        if (const std::error_code err = backend::AskFaultHook(FileOp::Open, m_path)) {
            m_why = err;
            return false;
        }
        // A name swapped between the look and the opening is looked at again, a few times.
        for (int attempt = 0; attempt < 3 && m_fd < 0; ++attempt) {
            m_fd = OpenRegularAt(m_dirFd, m_base, m_st, m_why);
            if (m_fd < 0 && m_why != std::errc::resource_unavailable_try_again) break;
        }
        return m_fd >= 0;
    }
    // Takes the lock if it is free, on the file the name still leads to: a rewrite that finished
    // meanwhile has put another file in its place, whose lock is the one to take. True too when
    // the name no longer leads to a file that may be replaced (Failed() tells).
    bool TryLock() {
        if (m_fd < 0) return true;
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) return false;
        struct stat now {};
        if (StatAt(m_dirFd, m_base, now) && SameFile(now, m_st)) return true;
        ::flock(m_fd, LOCK_UN);
        // Another file to wait for; or none that may be replaced, which ends the wait.
        return !Open();
    }
    bool Failed() const { return m_fd < 0; }
    std::error_code Why() const { return m_why; }
    int Release() { return std::exchange(m_fd, -1); }
    const struct stat& Stat() const { return m_st; }

  private:
    int m_dirFd;
    std::string m_base, m_path;
    int m_fd = -1;
    struct stat m_st {};
    std::error_code m_why;
};

// Whether this user may replace the file: it may write it, or it owns it on a disk that can
// be written (it could make it writable, as a file copied from a CD needs). The copy's mode.
std::optional<mode_t> ReplaceableMode(int dirFd, int fd, const std::string& base,
                                      const std::string& path, const struct stat& st,
                                      std::error_code& why) {
    const mode_t mode = st.st_mode & 07777;
    errno = 0;
    if (posix::Allowed(FileOp::Access, path) && ::faccessat(dirFd, base.c_str(), W_OK, AT_EACCESS) == 0)
        return mode;
    struct statvfs vfs {};
    if (errno == EROFS || (::fstatvfs(fd, &vfs) == 0 && (vfs.f_flag & ST_RDONLY))) {
        why = Errno(EROFS);
        return std::nullopt;
    }
    // A file this user may write but does not own is left as it is; one it owns gets the
    // owner's write bit on its copy, as a rewrite that made it writable first leaves it.
    if (st.st_uid != ::geteuid() || !posix::Allowed(FileOp::Chmod, path)) {
        why = errno != 0 && errno != EACCES ? LastError() : Errno(EACCES);
        return std::nullopt;
    }
    return mode | S_IWUSR;
}

// Removes the staging folder name of a killed install from dirFd: a real folder of this user's
// that no running install holds (its lock can be taken), and of it only its regular files.
void RemoveStagingAt(int dirFd, const std::string& name) {
    struct stat st {};
    if (!StatAt(dirFd, name, st) || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return;
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat held {};
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && SameFile(held, st)) {
        const int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (DIR* d = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
            std::vector<std::string> names;
            while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
            ::closedir(d);
            for (const std::string& n : names) {
                struct stat f {};
                if (StatAt(fd, n, f) && S_ISREG(f.st_mode)) ::unlinkat(fd, n.c_str(), 0);
            }
        }
        ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);  // refused where anything else is left
    }
    ::close(fd);
}

// Removes, from the open folder dirFd, the copies of killed rewrites: names of the program's
// own pattern that are regular files with one name, this user's, and that no running rewrite
// holds (its lock can be taken). Nothing is followed, nothing else removed.
void RemoveLeftoversAt(int dirFd, const std::string& folder) {
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (d == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    const uid_t me = ::geteuid();
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (backend::IsStagingName(name)) {
            RemoveStagingAt(dirFd, name);
            continue;
        }
        if (!backend::IsLeftoverName(name)) continue;
        struct stat st {};
        if (!StatAt(dirFd, name, st) || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != me)
            continue;
        std::error_code why;
        const int fd = OpenRegularAt(dirFd, name, st, why);
        if (fd < 0) continue;
        struct stat named {};
        if (st.st_nlink == 1 && st.st_uid == me && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            StatAt(dirFd, name, named) && SameFile(st, named) &&
            posix::Allowed(FileOp::Unlink, Join(folder, name)))
            ::unlinkat(dirFd, name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(d);
}

}  // namespace

struct ReplacementGroup::Impl {
    std::vector<Folder> folders;
    std::vector<Pending> pending;

    ~Impl() {
        for (Pending& p : pending) Drop(p);
        for (Folder& f : folders)
            if (f.fd >= 0) ::close(f.fd);
    }
    // The folder of a name, opened the first time it is asked for; nothing when it cannot be.
    std::optional<size_t> FolderOf(const std::string& name, std::error_code& why) {
        for (size_t i = 0; i < folders.size(); ++i)
            if (folders[i].name == name) return i;
        const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            why = LastError();
            return std::nullopt;
        }
        RemoveLeftoversAt(fd, name);
        folders.push_back({name, fd, false});
        return folders.size() - 1;
    }
    std::string TempPath(const Pending& p) const { return Join(folders[p.folder].name, p.tempName); }
    // Lets go of a file: its copy removed if the name still leads to it, its locks let go.
    void Drop(Pending& p) {
        if (p.copyFd >= 0) {
            struct stat now {};
            const int dirFd = folders[p.folder].fd;
            if (StatAt(dirFd, p.tempName, now) && now.st_dev == p.tempDev &&
                now.st_ino == p.tempIno && posix::Allowed(FileOp::Unlink, TempPath(p)))
                ::unlinkat(dirFd, p.tempName.c_str(), 0);
            ::close(p.copyFd);
        }
        if (p.fd >= 0) ::close(p.fd);
        p.fd = p.copyFd = -1;
    }
    ReplaceResult Fail(Pending& p, FileOp op, std::error_code err) {
        Drop(p);
        return ReplaceResult::Failure(op, err);
    }
};

ReplacementGroup::ReplacementGroup() : m_impl(std::make_unique<Impl>()) {}

ReplacementGroup::~ReplacementGroup() = default;

size_t ReplacementGroup::Size() const {
    return m_impl->pending.size();
}

bool ReplacementGroup::Full() const {
    return m_impl->pending.size() >= GroupCapacity();
}

ReplaceResult ReplacementGroup::Add(const std::string& name, const CopyWriter& writeCopy,
                                    const LockWait& waitForLock, const CopyNeeded& needed) {
    Impl& g = *m_impl;
    const size_t slash = name.find_last_of('/');
    const std::string folderName = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    Pending p;
    p.base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (p.base.empty()) return ReplaceResult::Refusal(Errno(name.empty() ? ENOENT : EISDIR));
    std::error_code why;
    const std::optional<size_t> folder = g.FolderOf(folderName, why);
    if (!folder) return ReplaceResult::Refusal(why);
    p.folder = *folder;
    const int dirFd = g.folders[p.folder].fd;

    Target target(dirFd, p.base, name);
    if (!target.Open()) return ReplaceResult::Refusal(target.Why());
    // A second name of a file the group holds already (a hard link) shares its lock, which stays
    // taken until every copy is in place.
    const bool held = std::any_of(g.pending.begin(), g.pending.end(), [&target](const Pending& other) {
        return SameFile(other.st, target.Stat());
    });
    if (!held && !target.TryLock() &&
        !(waitForLock && waitForLock([&target] { return target.TryLock(); })))
        return ReplaceResult::Failure(FileOp::Open, Errno(EBUSY), true);
    if (target.Failed()) return ReplaceResult::Refusal(target.Why());
    p.st = target.Stat();
    p.fd = target.Release();

    // What the caller reads of the file, from its start each time, for its look and its copy.
    InputFile file;
    const struct Lent {
        InputFile& file;
        ~Lent() { posix::ReleaseInput(file); }
    } lent{file};
    const auto fromStart = [&] {
        return file.IsOpen() ? posix::RewindInput(file) : posix::AdoptInput(file, p.fd, name, &p.st, false);
    };
    if (needed && (!fromStart() || !needed(file))) {
        posix::ReleaseInput(file);
        ::close(p.fd);
        ReplaceResult left;
        left.unchanged = true;
        return left;
    }
    const std::optional<mode_t> mode = ReplaceableMode(dirFd, p.fd, p.base, name, p.st, why);
    if (!mode) {
        ::close(p.fd);
        return ReplaceResult::Refusal(why);
    }

    // A temporary file of our own: created here, never one that was there (a file, a link or a
    // FIFO of that name is passed over for the next name), and held under a lock of its own
    // from the moment it is made until it has taken the file's place. A clean-up of leftovers
    // that took it before the lock is noticed: another name then.
    int tempFd = -1;
    struct stat made {};
    for (int attempt = 0; attempt < 100 && tempFd < 0; ++attempt) {
        p.tempName = backend::TempName();
        const std::string tempPath = g.TempPath(p);
        if (!posix::Allowed(FileOp::Open, tempPath)) return g.Fail(p, FileOp::Open, LastError());
        tempFd = ::openat(dirFd, p.tempName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (tempFd < 0 && errno != EEXIST) return g.Fail(p, FileOp::Open, LastError());
        if (tempFd < 0) continue;
        struct stat named {};
        if (::flock(tempFd, LOCK_EX | LOCK_NB) == 0 && ::fstat(tempFd, &made) == 0 &&
            StatAt(dirFd, p.tempName, named) && SameFile(named, made))
            break;
        ::close(tempFd);  // the name taken is not ours to remove
        tempFd = -1;
    }
    if (tempFd < 0) return g.Fail(p, FileOp::Open, Errno(EEXIST));
    p.copyFd = tempFd;
    p.tempDev = made.st_dev;
    p.tempIno = made.st_ino;
    FdOutputFile out(tempFd, g.TempPath(p));
    if (!fromStart() || !writeCopy(file, out)) {
        const std::error_code err = out.Error();
        return g.Fail(p, err ? FileOp::Write : FileOp::Read, err);
    }
    posix::ReleaseInput(file);
    if (!out.Flush()) return g.Fail(p, FileOp::Flush, out.Error());
    if (!CopyAttributes(p.fd, out.Fd(), p.st, made, *mode, g.TempPath(p)))
        return g.Fail(p, FileOp::Chmod, LastError());
    if (!out.Close()) return g.Fail(p, FileOp::Close, out.Error());
    g.pending.push_back(std::move(p));
    ReplaceResult added;
    added.ok = true;
    return added;
}

std::vector<ReplaceResult> ReplacementGroup::Commit(const std::function<void(size_t)>& placing) {
    Impl& g = *m_impl;
    std::vector<Pending> group = std::move(g.pending);
    g.pending.clear();
    std::vector<ReplaceResult> results(group.size());
    std::vector<bool> failed(group.size(), false);
    const auto fail = [&](size_t i, FileOp op, std::error_code err) {
        results[i] = g.Fail(group[i], op, err);
        failed[i] = true;
    };
    // The copies on the disk before any takes its file's place: one copy is synced itself; a
    // group syncs the file systems its folders lie on, once each, and a file system that fails
    // its sync fails every copy on it.
    if (group.size() == 1) {
        if (!posix::Allowed(FileOp::Sync, g.TempPath(group[0])) || ::fsync(group[0].copyFd) != 0)
            fail(0, FileOp::Sync, LastError());
    } else {
        std::vector<std::pair<dev_t, std::error_code>> synced;
        for (size_t i = 0; i < group.size(); ++i) {
            Pending& p = group[i];
            auto it = std::find_if(synced.begin(), synced.end(), [&p](const auto& s) { return s.first == p.tempDev; });
            if (it == synced.end()) {
                std::error_code err = backend::AskFaultHook(FileOp::Sync, g.TempPath(p));
                if (!err && ::syncfs(p.copyFd) != 0) err = LastError();
                synced.emplace_back(p.tempDev, err);
                it = synced.end() - 1;
            }
            if (it->second) fail(i, FileOp::Sync, it->second);
        }
    }
    size_t placed = 0;
    for (size_t i = 0; i < group.size(); ++i) {
        if (failed[i]) continue;
        Pending& p = group[i];
        Folder& f = g.folders[p.folder];
        if (!posix::Allowed(FileOp::Rename, g.TempPath(p))) {
            fail(i, FileOp::Rename, LastError());
            continue;
        }
        // The name must still lead to the file that was opened: a link or another file put in
        // its place meanwhile is not replaced.
        struct stat now {};
        if (!StatAt(f.fd, p.base, now) || !SameFile(now, p.st)) {
            const bool gone = errno == ENOENT;
            results[i] = g.Fail(p, FileOp::Rename, Errno(gone ? ENOENT : S_ISLNK(now.st_mode) ? ELOOP : ESTALE));
            results[i].refused = !gone;
            failed[i] = true;
            continue;
        }
        if (::renameat(f.fd, p.tempName.c_str(), f.fd, p.base.c_str()) != 0) {
            fail(i, FileOp::Rename, LastError());
            continue;
        }
        f.renamed = true;
        results[i].ok = true;
        if (placing && ++placed % 256 == 0) placing(placed);
    }
    // The locks go once every copy is in place (two names of one file share one).
    for (size_t i = 0; i < group.size(); ++i) {
        if (failed[i]) continue;
        ::close(group[i].copyFd);
        ::close(group[i].fd);
        group[i].copyFd = group[i].fd = -1;
    }
    // Makes the renames durable, each folder once. The files are already in place, so a folder
    // that cannot be synced (some file systems refuse) is no failure of the rewrite.
    for (Folder& f : g.folders) {
        if (!f.renamed) continue;
        f.renamed = false;
        if (posix::Allowed(FileOp::SyncFolder, f.name)) ::fsync(f.fd);
    }
    return results;
}

void RemoveLeftoverCopies(const std::string& folder) {
    const std::string host = ToHostPath(folder);
    if (host.empty()) return;
    const int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    RemoveLeftoversAt(fd, host);
    ::close(fd);
}

}  // namespace sx::os
