// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of a file's content on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "os/Backend.h"
#include "os/posix/Posix.h"

namespace sx::os {

namespace {

std::error_code LastError() {
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file being replaced, open for its lock and for reading its attributes.
class Target {
  public:
    ~Target() {
        if (m_fd >= 0) ::close(m_fd);
    }
    // Opens the file the name leads to; only a regular file will do.
    bool Open(const std::string& path) {
        m_path = path;
        if (m_fd >= 0) ::close(m_fd);
        m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0) return false;
        if (::fstat(m_fd, &m_st) != 0) return false;
        if (!S_ISREG(m_st.st_mode)) {
            errno = EINVAL;
            return false;
        }
        return true;
    }
    // Takes the lock if it is free, on the file the name still leads to: a rewrite that
    // finished meanwhile has put another file in its place, whose lock is the one to take.
    bool TryLock() {
        if (m_fd < 0) return false;
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) return false;
        struct stat now {};
        if (::stat(m_path.c_str(), &now) == 0 && SameFile(now, m_st)) return true;
        ::flock(m_fd, LOCK_UN);
        Open(m_path);
        return false;
    }
    int Fd() const { return m_fd; }
    const struct stat& Stat() const { return m_st; }

  private:
    std::string m_path;
    int m_fd = -1;
    struct stat m_st {};
};

// Gives the copy what the file was: owner and group where this user may set them, the
// permission bits, and the extended attributes (ACLs among them) where the file system keeps
// them. The ACL comes after the bits, as it sets some of them itself.
bool CopyAttributes(int from, int to, const struct stat& st, const std::string& tempPath) {
    if (::fchown(to, st.st_uid, st.st_gid) != 0 &&
        ::fchown(to, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // An ordinary user cannot give a file away; the copy stays this user's.
    }
    if (!posix::Allowed(FileOp::Chmod, tempPath) || ::fchmod(to, st.st_mode & 07777) != 0)
        return false;
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
class FdOutputFile : public backend::BufferedOutputFile {
  public:
    FdOutputFile(int fd, const std::string& path) : BufferedOutputFile(path), m_fd(fd) {}
    ~FdOutputFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }
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
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? std::error_code() : LastError();
    }
    int m_fd;
};

// One file's replacement on its way: the file open and locked, its folder held open, and the
// copy written but not yet in the file's place.
struct Pending {
    Target target;
    int dirFd = -1;
    std::string dir, base, tempName, tempPath;
    struct stat tempSt {};
    // A second descriptor of the copy, locked, so that a cleaner of leftovers passes it over
    // until it has taken the file's place.
    int holdFd = -1;
    std::unique_ptr<FdOutputFile> out;

    Pending() = default;
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;
    ~Pending() {
        if (out) {
            out->Close();
            RemoveTemp();
        }
        if (holdFd >= 0) ::close(holdFd);
        if (dirFd >= 0) ::close(dirFd);
    }
    // Removes the temporary file, if the name still leads to the file made for it.
    void RemoveTemp() {
        struct stat now {};
        if (::fstatat(dirFd, tempName.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(now, tempSt) && posix::Allowed(FileOp::Unlink, tempPath))
            ::unlinkat(dirFd, tempName.c_str(), 0);
    }
    ReplaceResult Fail(FileOp op, std::error_code err) {
        if (out) out->Close();
        RemoveTemp();
        out.reset();
        return ReplaceResult::Failure(op, err);
    }
};

}  // namespace

struct ReplacementGroup::Impl {
    std::vector<std::unique_ptr<Pending>> pending;
};

ReplacementGroup::ReplacementGroup() : m_impl(std::make_unique<Impl>()) {}

ReplacementGroup::~ReplacementGroup() = default;

size_t ReplacementGroup::Size() const {
    return m_impl->pending.size();
}

ReplaceResult ReplacementGroup::Add(const std::string& name,
                                    const std::function<bool(OutputFile&)>& writeCopy,
                                    const LockWait& waitForLock) {
    const auto fail = [](FileOp op, std::error_code err) { return ReplaceResult::Failure(op, err); };
    // A symbolic link stays a link: the file it leads to is replaced.
    std::string path = name;
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) != 0) return fail(FileOp::Open, LastError());
    if (S_ISLNK(lst.st_mode)) {
        path = posix::RealPath(path);
        if (path.empty()) return fail(FileOp::Open, LastError());
    }
    auto p = std::make_unique<Pending>();
    Target& target = p->target;
    if (!target.Open(path)) return fail(FileOp::Open, LastError());
    if (!target.TryLock() &&
        !(waitForLock && waitForLock([&target] { return target.TryLock(); })))
        return ReplaceResult::Failure(
            FileOp::Open, std::make_error_code(std::errc::device_or_resource_busy), true);

    // Everything happens in the file's folder, held open, so that a folder renamed meanwhile
    // cannot send the copy anywhere else.
    p->dir = posix::Dirname(path);
    p->base = posix::Basename(path);
    p->dirFd = ::open(p->dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (p->dirFd < 0) return fail(FileOp::Open, LastError());

    // A temporary file of our own: created here, never one that was there (a file, a link or a
    // FIFO of that name is passed over for the next name), and held under a lock of its own
    // from the moment it is made; a cleaner of leftovers that took it first is noticed.
    int tempFd = -1;
    for (int attempt = 0; attempt < 100 && tempFd < 0; ++attempt) {
        p->tempName = backend::TempName();
        p->tempPath = p->dir + "/" + p->tempName;
        if (!posix::Allowed(FileOp::Open, p->tempPath)) return fail(FileOp::Open, LastError());
        tempFd = ::openat(p->dirFd, p->tempName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (tempFd < 0 && errno != EEXIST) return fail(FileOp::Open, LastError());
        if (tempFd < 0) continue;
        ::fstat(tempFd, &p->tempSt);
        p->holdFd = ::openat(p->dirFd, p->tempName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat held {}, named {};
        if (p->holdFd >= 0 && ::flock(p->holdFd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstat(p->holdFd, &held) == 0 && SameFile(held, p->tempSt) &&
            ::fstatat(p->dirFd, p->tempName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(named, p->tempSt))
            break;
        // Taken away before it was held: another name.
        if (p->holdFd >= 0) ::close(p->holdFd);
        p->holdFd = -1;
        ::close(tempFd);
        tempFd = -1;
    }
    if (tempFd < 0) return fail(FileOp::Open, std::make_error_code(std::errc::file_exists));
    p->out = std::make_unique<FdOutputFile>(tempFd, p->tempPath);
    if (!writeCopy(*p->out)) {
        const std::error_code err = p->out->Error();
        return p->Fail(err ? FileOp::Write : FileOp::Read, err);
    }
    if (!p->out->Flush()) return p->Fail(FileOp::Flush, p->out->Error());
    m_impl->pending.push_back(std::move(p));
    ReplaceResult added;
    added.ok = true;
    return added;
}

std::vector<ReplaceResult> ReplacementGroup::Commit() {
    std::vector<std::unique_ptr<Pending>> group = std::move(m_impl->pending);
    m_impl->pending.clear();
    std::vector<ReplaceResult> results(group.size());
    // The copies on the disk before any takes its file's place: one copy is synced itself; a
    // group syncs the file systems its folders lie on, once each.
    if (group.size() == 1) {
        if (!group[0]->out->Sync()) results[0] = group[0]->Fail(FileOp::Sync, group[0]->out->Error());
    } else {
        std::vector<dev_t> synced;
        for (size_t i = 0; i < group.size(); ++i) {
            Pending& p = *group[i];
            std::error_code err = backend::AskFaultHook(FileOp::Sync, p.tempPath);
            if (!err && std::find(synced.begin(), synced.end(), p.tempSt.st_dev) == synced.end()) {
                if (::syncfs(p.dirFd) != 0) err = LastError();
                synced.push_back(p.tempSt.st_dev);
            }
            if (err) results[i] = p.Fail(FileOp::Sync, err);
        }
    }
    std::vector<int> folders;  // of the files put in place: flushed once each below
    for (size_t i = 0; i < group.size(); ++i) {
        Pending& p = *group[i];
        if (!p.out) continue;
        const int tempFd = p.out->Fd();
        if (!CopyAttributes(p.target.Fd(), tempFd, p.target.Stat(), p.tempPath)) {
            results[i] = p.Fail(FileOp::Chmod, LastError());
            continue;
        }
        if (!p.out->Close()) {
            const std::error_code err = p.out->Error();
            results[i] = p.Fail(FileOp::Close, err);
            continue;
        }
        if (!posix::Allowed(FileOp::Rename, p.tempPath) ||
            ::renameat(p.dirFd, p.tempName.c_str(), p.dirFd, p.base.c_str()) != 0) {
            results[i] = p.Fail(FileOp::Rename, LastError());
            continue;
        }
        p.out.reset();  // in place: nothing left to remove
        results[i].ok = true;
        folders.push_back(static_cast<int>(i));
    }
    // Makes the renames durable, each folder once. The files are already in place, so a folder
    // that cannot be synced (some file systems refuse) is no failure of the rewrite.
    std::vector<std::string> flushed;
    for (int i : folders) {
        const Pending& p = *group[static_cast<size_t>(i)];
        if (std::find(flushed.begin(), flushed.end(), p.dir) != flushed.end()) continue;
        flushed.push_back(p.dir);
        if (posix::Allowed(FileOp::SyncFolder, p.dir)) ::fsync(p.dirFd);
    }
    return results;
}

void RemoveLeftoverCopies() {
    DIR* d = ::opendir(".");
    if (d == nullptr) return;
    const int dirFd = ::dirfd(d);
    while (dirent* e = ::readdir(d)) {
        if (!backend::IsLeftoverName(e->d_name)) continue;
        // Held by a running rewrite: its lock is taken. Only a regular file, never followed.
        const int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {}, named {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(st, named) &&
            posix::Allowed(FileOp::Unlink, e->d_name))
            ::unlinkat(dirFd, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(d);
}

}  // namespace sx::os
