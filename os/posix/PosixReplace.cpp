// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of a file's content on POSIX.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

}  // namespace

ReplaceResult ReplaceFileSafely(const std::string& name,
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
    Target target;
    if (!target.Open(path)) return fail(FileOp::Open, LastError());
    if (!target.TryLock() &&
        !(waitForLock && waitForLock([&target] { return target.TryLock(); })))
        return ReplaceResult::Failure(
            FileOp::Open, std::make_error_code(std::errc::device_or_resource_busy), true);

    // Everything happens in the file's folder, held open, so that a folder renamed meanwhile
    // cannot send the copy anywhere else.
    const std::string dir = posix::Dirname(path);
    const std::string base = posix::Basename(path);
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return fail(FileOp::Open, LastError());
    struct DirGuard {
        int fd;
        ~DirGuard() { ::close(fd); }
    } dirGuard{dirFd};

    // A temporary file of our own: created here, never one that was there (a file, a link or a
    // FIFO of that name is passed over for the next name).
    std::string tempName, tempPath;
    int tempFd = -1;
    for (int attempt = 0; attempt < 100 && tempFd < 0; ++attempt) {
        tempName = backend::TempName();
        tempPath = dir + "/" + tempName;
        if (!posix::Allowed(FileOp::Open, tempPath)) return fail(FileOp::Open, LastError());
        tempFd = ::openat(dirFd, tempName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (tempFd < 0 && errno != EEXIST) return fail(FileOp::Open, LastError());
    }
    if (tempFd < 0) return fail(FileOp::Open, std::make_error_code(std::errc::file_exists));
    struct stat tempSt {};
    ::fstat(tempFd, &tempSt);
    // Removes the temporary file, if the name still leads to the file this call made.
    auto removeTemp = [&] {
        struct stat now {};
        if (::fstatat(dirFd, tempName.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(now, tempSt) && posix::Allowed(FileOp::Unlink, tempPath))
            ::unlinkat(dirFd, tempName.c_str(), 0);
    };

    FdOutputFile out(tempFd, tempPath);
    auto failWith = [&](FileOp op, std::error_code err) {
        out.Close();
        removeTemp();
        return fail(op, err);
    };
    if (!writeCopy(out)) {
        const std::error_code err = out.Error();
        return failWith(err ? FileOp::Write : FileOp::Read, err);
    }
    if (!out.Flush()) return failWith(FileOp::Flush, out.Error());
    if (!out.Sync()) return failWith(FileOp::Sync, out.Error());
    if (!CopyAttributes(target.Fd(), tempFd, target.Stat(), tempPath))
        return failWith(FileOp::Chmod, LastError());
    if (!out.Close()) {
        removeTemp();
        return fail(FileOp::Close, out.Error());
    }
    if (!posix::Allowed(FileOp::Rename, tempPath) ||
        ::renameat(dirFd, tempName.c_str(), dirFd, base.c_str()) != 0) {
        const std::error_code err = LastError();
        removeTemp();
        return fail(FileOp::Rename, err);
    }
    // Make the rename itself durable. The file is already in place, so a folder that cannot be
    // synced (some file systems refuse) is not a failure of the rewrite.
    if (posix::Allowed(FileOp::SyncFolder, dir)) ::fsync(dirFd);
    ReplaceResult done;
    done.ok = true;
    return done;
}

}  // namespace sx::os
