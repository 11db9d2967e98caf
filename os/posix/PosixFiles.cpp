// SPDX-License-Identifier: GPL-3.0-or-later
// Files on POSIX: the fault seam, reading, and the helpers of the POSIX backend.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "os/Backend.h"
#include "os/posix/Posix.h"

namespace sx::os {

namespace posix {

std::error_code Errno(int e) {
    return std::error_code(e != 0 ? e : EIO, std::generic_category());
}
std::error_code LastError() {
    return Errno(errno);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What a name in a folder is now, not following a link.
bool StatAt(int dirFd, const std::string& name, struct stat& st) {
    return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Opens a regular file of a folder for reading, never following a link and never opening
// anything else (a device would have to be opened to be told from a file otherwise). Refuses
// with ELOOP for a link, EISDIR for a folder and EINVAL for the other kinds.
int OpenRegularAt(int dirFd, const std::string& name, struct stat& st, std::error_code& why) {
    if (!StatAt(dirFd, name, st)) {
        why = LastError();
        return -1;
    }
    if (S_ISLNK(st.st_mode) || !S_ISREG(st.st_mode)) {
        why = Errno(S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return -1;
    }
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !SameFile(opened, st)) {
        // Swapped between the look and the opening: what the name leads to now decides.
        why = fd < 0 ? LastError() : Errno(EAGAIN);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    st = opened;
    return fd;
}


bool Allowed(FileOp op, const std::string& path) {
    const std::error_code err = backend::AskFaultHook(op, path);
    if (!err) return true;
    errno = err.value();
    return false;
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

std::string RealPath(const std::string& p) {
    char buf[PATH_MAX];
    if (::realpath(p.c_str(), buf) == nullptr) return {};
    return buf;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

}  // namespace posix

namespace {
constexpr uint64_t kPseudoFileLimit = 1 << 20;
}  // namespace

namespace posix {

bool AdoptInput(InputFile& file, int fd, const std::string& path, const struct stat* known, bool owned) {
    file.Close();
    InputFile::Impl& impl = file.Native();
    struct stat st {};
    if (known != nullptr) st = *known;
    if (fd < 0 || (known == nullptr && ::fstat(fd, &st) != 0) || !S_ISREG(st.st_mode)) {
        if (fd >= 0 && owned) ::close(fd);
        impl.openError = std::error_code(fd < 0 ? errno : EINVAL, std::generic_category());
        return false;
    }
    impl.fd = fd;
    impl.path = path;
    impl.size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : kPseudoFileLimit;
    impl.openError = {};
    return RewindInput(file);
}

void ReleaseInput(InputFile& file) {
    file.Native().fd = -1;
}

bool RewindInput(InputFile& file) {
    InputFile::Impl& impl = file.Native();
    impl.offset = 0;
    impl.left = impl.size;
    return impl.fd >= 0;
}

}  // namespace posix

InputFile::InputFile() : m_impl(std::make_unique<Impl>()) {}

InputFile::~InputFile() {
    Close();
}

bool InputFile::IsOpen() const {
    return m_impl->fd >= 0;
}

std::error_code InputFile::OpenError() const {
    return m_impl->openError;
}

bool InputFile::Open(const std::string& name) {
    Close();
    const bool opened = OpenRegular(name);
    m_impl->openError = opened ? std::error_code() : std::error_code(errno, std::generic_category());
    return opened;
}

bool InputFile::OpenSame(const InputFile& other) {
    Close();
    if (other.m_impl->fd < 0) {
        m_impl->openError = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    return posix::AdoptInput(*this, ::fcntl(other.m_impl->fd, F_DUPFD_CLOEXEC, 0),
                             other.m_impl->path);
}

bool InputFile::OpenRegular(const std::string& name) {
    if (name.empty()) {
        errno = ENOENT;
        return false;
    }
    m_impl->path = name;
    if (!posix::Allowed(FileOp::Open, name)) return false;
    // Only a regular file is read: a FIFO would block, a device may never end. The test comes
    // before the opening, so that opening has no effect on a device, and again after it, on
    // what was really opened.
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    if (!posix::AdoptInput(*this, fd, name)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, size_t size) {
    if (m_impl->fd < 0) return -1;
    if (!posix::Allowed(FileOp::Read, m_impl->path)) return -1;
    if (size > m_impl->left) size = static_cast<size_t>(m_impl->left);
    if (size == 0) return 0;
    // At a position of its own: several readers of one opened file each read it whole.
    for (;;) {
        const ssize_t n = ::pread(m_impl->fd, buffer, size, static_cast<off_t>(m_impl->offset));
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            m_impl->left -= static_cast<uint64_t>(n);
            m_impl->offset += static_cast<uint64_t>(n);
        }
        return n;
    }
}

bool InputFile::Version(FileVersion& version) const {
    struct stat st {};
    if (m_impl->fd < 0 || ::fstat(m_impl->fd, &st) != 0) return false;
    version.key = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<uint64_t>(st.st_size),
                   static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                       static_cast<uint64_t>(st.st_mtim.tv_nsec),
                   static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000u +
                       static_cast<uint64_t>(st.st_ctim.tv_nsec)};
    return true;
}

void InputFile::Close() {
    if (m_impl->fd >= 0) ::close(m_impl->fd);
    m_impl->fd = -1;
}

}  // namespace sx::os
