// The safe replacement of a file's content on POSIX.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/Posix.h"

namespace sx::os {

using posix::Allowed;

ReplaceResult ReplaceFileSafely(const std::string& name, const std::string& tempName,
                                const std::string& altTempName,
                                const std::function<bool(OutputFile&)>& writeCopy) {
    ReplaceResult result;
    auto fail = [&result](FileOp op, std::error_code err) {
        result.ok = false;
        result.failedOp = op;
        result.error = err ? err : std::make_error_code(std::errc::io_error);
        return result;
    };
    auto errnoCode = [] { return std::error_code(errno, std::generic_category()); };
    std::string target = name;
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) != 0) return fail(FileOp::Open, errnoCode());
    if (S_ISLNK(lst.st_mode)) {
        // Replace the file the link points to, so the link stays a link.
        target = posix::RealPath(target);
        if (target.empty()) return fail(FileOp::Open, errnoCode());
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return fail(FileOp::Open, errnoCode());
    const std::string dir = posix::Dirname(target);
    const std::string base = posix::Basename(target);
    const std::string temp = dir + "/" + (base == tempName ? altTempName : tempName);

    // Two rewrites of one file (two launchers, or a launcher and a script) would share the
    // temporary file. The second waits for the first: the lock is held from before the temporary
    // file is created until after the rename.
    const int lockFd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd < 0) return fail(FileOp::Open, errnoCode());
    struct LockGuard {
        int fd;
        ~LockGuard() { ::close(fd); }
    } lock{lockFd};
    while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }

    auto removeTemp = [&temp]() {
        if (Allowed(FileOp::Unlink, temp)) ::unlink(temp.c_str());
    };

    posix::FdOutputFile out;
    if (!out.Create(temp)) return fail(FileOp::Open, out.Error());
    if (!writeCopy(out)) {
        const std::error_code err = out.Error();
        out.Close();
        removeTemp();
        return fail(err ? FileOp::Write : FileOp::Read, err);
    }
    if (!out.Flush()) {
        const std::error_code err = out.Error();
        out.Close();
        removeTemp();
        return fail(FileOp::Flush, err);
    }
    if (!out.Sync()) {
        const std::error_code err = out.Error();
        out.Close();
        removeTemp();
        return fail(FileOp::Sync, err);
    }
    if (!out.Close()) {
        removeTemp();
        return fail(FileOp::Close, out.Error());
    }
    // Keep the owner where we may (root rewriting a user's mission), and the permission bits.
    if (::chown(temp.c_str(), st.st_uid, st.st_gid) != 0) {
        // Not fatal: an ordinary user cannot give a file away, and owns the file anyway.
    }
    if (!Allowed(FileOp::Chmod, temp) || ::chmod(temp.c_str(), st.st_mode & 07777) != 0) {
        const std::error_code err = errnoCode();
        removeTemp();
        return fail(FileOp::Chmod, err);
    }
    if (!Allowed(FileOp::Rename, temp) || ::rename(temp.c_str(), target.c_str()) != 0) {
        const std::error_code err = errnoCode();
        removeTemp();
        return fail(FileOp::Rename, err);
    }
    // Make the rename itself durable. The file is already in place, so a folder that cannot be
    // synced (some file systems refuse) is not a failure of the rewrite.
    if (Allowed(FileOp::SyncFolder, dir)) {
        const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }
    result.ok = true;
    return result;
}

}  // namespace sx::os
