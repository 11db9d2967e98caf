// POSIX backend of the operating-system operations. The game is a Windows program run under
// Wine, so Windows paths are mapped to host paths through the Wine prefix and the registry is
// the prefix's system.reg.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/WineRegistry.h"

extern char** environ;

namespace sx::os {
namespace {

FaultHook& Hook() {
    static FaultHook hook;
    return hook;
}

// Asks the fault seam; sets errno and returns false when the step is to fail.
bool Allowed(FileOp op, const std::string& path) {
    const FaultHook& hook = Hook();
    if (!hook) return true;
    const int err = hook(op, path);
    if (err == 0) return true;
    errno = err;
    return false;
}

std::string WinePrefix() {
    if (const char* p = std::getenv("WINEPREFIX"); p != nullptr && *p != '\0') return p;
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
        return std::string(h) + "/.wine";
    return {};
}

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

}  // namespace

const char* FileOpName(FileOp op) {
    switch (op) {
        case FileOp::Open:
            return "open";
        case FileOp::Read:
            return "read";
        case FileOp::Write:
            return "write";
        case FileOp::Flush:
            return "flush";
        case FileOp::Fsync:
            return "fsync";
        case FileOp::Close:
            return "close";
        case FileOp::Chmod:
            return "chmod";
        case FileOp::Rename:
            return "rename";
        case FileOp::FsyncDir:
            return "fsync-dir";
        case FileOp::Unlink:
            return "unlink";
    }
    return "?";
}

void SetFaultHook(FaultHook hook) {
    Hook() = std::move(hook);
}

// ---- Paths ---------------------------------------------------------------------------------

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
        root = WinePrefix() + "/dosdevices/" + drive + ":";
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
    const std::string prefix = WinePrefix();
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

// ---- Folders -------------------------------------------------------------------------------

bool ChangeDir(const std::string& folder) {
    if (folder.empty()) return false;
    return ::chdir(ToHostPath(folder).c_str()) == 0;
}

std::vector<std::string> FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    const size_t sep = pattern.find_last_of("\\/");
    const std::string folder =
        sep == std::string::npos ? std::string() : pattern.substr(0, sep + (sep == 0 ? 1 : 0));
    const std::string mask = sep == std::string::npos ? pattern : pattern.substr(sep + 1);
    const std::string host = folder.empty() ? "." : ToHostPath(folder);
    DIR* d = ::opendir(host.c_str());
    if (d == nullptr) return names;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        if (WildcardMatchNoCase(mask, n)) names.push_back(n);
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

// ---- Files ---------------------------------------------------------------------------------

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::string& name) {
    Close();
    if (name.empty()) return false;
    m_path = ToHostPath(name);
    if (!Allowed(FileOp::Open, m_path)) return false;
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return false;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        errno = EISDIR;
        return false;
    }
    return true;
}

long InputFile::Read(char* buffer, size_t size) {
    if (m_fd < 0) return -1;
    if (!Allowed(FileOp::Read, m_path)) return -1;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool InputFile::Identity(FileIdentity& id) const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return false;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.changedNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

void InputFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

OutputFile::~OutputFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool OutputFile::Create(const std::string& name) {
    m_path = name;
    m_err = 0;
    m_buffer.clear();
    if (!Allowed(FileOp::Open, m_path)) {
        m_err = errno;
        return false;
    }
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m_fd < 0) m_err = errno;
    return m_fd >= 0;
}

bool OutputFile::WriteOut(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_err = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::Write(const char* data, size_t size) {
    if (m_fd < 0 || m_err != 0) return false;
    if (!Allowed(FileOp::Write, m_path)) {
        m_err = errno;
        return false;
    }
    constexpr size_t kBuffer = 1 << 16;
    if (m_buffer.size() + size > kBuffer) {
        if (!WriteOut(m_buffer.data(), m_buffer.size())) return false;
        m_buffer.clear();
        if (size > kBuffer) return WriteOut(data, size);
    }
    m_buffer.append(data, size);
    return true;
}

bool OutputFile::Flush() {
    if (m_fd < 0 || m_err != 0) return false;
    if (!Allowed(FileOp::Flush, m_path)) {
        m_err = errno;
        return false;
    }
    if (!WriteOut(m_buffer.data(), m_buffer.size())) return false;
    m_buffer.clear();
    return true;
}

bool OutputFile::Sync() {
    if (!Flush()) return false;
    if (!Allowed(FileOp::Fsync, m_path) || ::fsync(m_fd) != 0) {
        m_err = errno;
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (m_fd < 0) return false;
    const int fd = m_fd;
    m_fd = -1;
    if (!Allowed(FileOp::Close, m_path)) {
        m_err = errno;
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0 && m_err == 0) m_err = errno;
    return m_err == 0;
}

bool MakeWritable(const std::string& name) {
    if (name.empty()) return false;
    const std::string host = ToHostPath(name);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (!Allowed(FileOp::Chmod, host)) return false;
    // chmod on a read-only mount fails even when the bits would not change; that is the
    // answer wanted here.
    return ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

ReplaceResult ReplaceFileSafely(const std::string& name, const std::string& tempName,
                                const std::string& altTempName,
                                const std::function<bool(OutputFile&)>& writeCopy) {
    ReplaceResult result;
    auto fail = [&result](FileOp op, int err) {
        result.ok = false;
        result.failedOp = op;
        result.error = err != 0 ? err : EIO;
        return result;
    };
    std::string target = ToHostPath(name);
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) != 0) return fail(FileOp::Open, errno);
    if (S_ISLNK(lst.st_mode)) {
        // Replace the file the link points to, so the link stays a link.
        target = RealPath(target);
        if (target.empty()) return fail(FileOp::Open, errno);
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return fail(FileOp::Open, errno);
    const std::string dir = Dirname(target);
    const std::string base = Basename(target);
    const std::string temp = dir + "/" + (base == tempName ? altTempName : tempName);

    // Two rewrites of one file (two launchers, or a launcher and a script) would share the
    // temporary file. The second waits for the first: the lock is held from before the temporary
    // file is created until after the rename.
    const int lockFd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd < 0) return fail(FileOp::Open, errno);
    struct LockGuard {
        int fd;
        ~LockGuard() { ::close(fd); }
    } lock{lockFd};
    while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }

    auto removeTemp = [&temp]() {
        if (Allowed(FileOp::Unlink, temp)) ::unlink(temp.c_str());
    };

    OutputFile out;
    if (!out.Create(temp)) return fail(FileOp::Open, out.Error());
    if (!writeCopy(out)) {
        const int err = out.Error();
        out.Close();
        removeTemp();
        return fail(err != 0 ? FileOp::Write : FileOp::Read, err);
    }
    if (!out.Flush()) {
        const int err = out.Error();
        out.Close();
        removeTemp();
        return fail(FileOp::Flush, err);
    }
    if (!out.Sync()) {
        const int err = out.Error();
        out.Close();
        removeTemp();
        return fail(FileOp::Fsync, err);
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
        const int err = errno;
        removeTemp();
        return fail(FileOp::Chmod, err);
    }
    if (!Allowed(FileOp::Rename, temp) || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        removeTemp();
        return fail(FileOp::Rename, err);
    }
    // Make the rename itself durable. The file is already in place, so a folder that cannot be
    // synced (some file systems refuse) is not a failure of the rewrite.
    if (Allowed(FileOp::FsyncDir, dir)) {
        const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }
    result.ok = true;
    return result;
}

// ---- Registry ------------------------------------------------------------------------------

bool RegistryKey::OpenMachineKey(const std::string& subKey) {
    Close();
    const std::string prefix = WinePrefix();
    if (prefix.empty()) return false;
    InputFile f;
    if (!f.Open(prefix + "/system.reg")) return false;
    std::string text;
    char buf[1 << 16];
    for (;;) {
        const long n = f.Read(buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    std::vector<WineRegValue> values;
    // The 64-bit view first, then the 32-bit one where 32-bit installers write.
    std::string wow = subKey;
    if (StartsWithNoCase(wow, "Software\\")) wow.insert(9, "Wow6432Node\\");
    if (!ReadWineRegistryKey(text, subKey, values) && !ReadWineRegistryKey(text, wow, values))
        return false;
    for (auto& v : values) m_values.emplace_back(std::move(v.name), std::move(v.text));
    m_open = true;
    return true;
}

bool RegistryKey::QueryValue(const std::string& name, std::string& value) const {
    if (!m_open) return false;
    for (const auto& [n, v] : m_values) {
        if (EqualsNoCase(n, name)) {
            value = v;
            return true;
        }
    }
    return false;
}

void RegistryKey::Close() {
    m_open = false;
    m_values.clear();
}

// ---- Processes and clock -------------------------------------------------------------------

namespace {

// True for a Windows executable: an MZ header whose e_lfanew points at a PE signature.
bool IsWindowsExecutable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char mz[64];
    bool pe = false;
    if (::pread(fd, mz, sizeof mz, 0) == static_cast<ssize_t>(sizeof mz) && mz[0] == 'M' &&
        mz[1] == 'Z') {
        const uint32_t off = static_cast<uint32_t>(mz[60]) | (static_cast<uint32_t>(mz[61]) << 8) |
                             (static_cast<uint32_t>(mz[62]) << 16) |
                             (static_cast<uint32_t>(mz[63]) << 24);
        unsigned char sig[4];
        pe = ::pread(fd, sig, 4, off) == 4 && sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 &&
             sig[3] == 0;
    }
    ::close(fd);
    return pe;
}

// $WINE, or wine on the PATH; empty when there is none.
std::string FindWine() {
    if (const char* w = std::getenv("WINE"); w != nullptr && *w != '\0') {
        if (std::strchr(w, '/') != nullptr) return ::access(w, X_OK) == 0 ? w : "";
    }
    const char* name = std::getenv("WINE");
    const std::string program = (name && *name) ? name : "wine";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t end = dirs.find(':', pos);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(pos, end - pos);
        pos = end + 1;
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

SpawnResult StartGame(const std::string& exeName, const std::vector<std::string>& args, bool wait) {
    SpawnResult result;
    std::string found;
    for (const std::string& n : FindFiles(exeName)) {
        if (n == exeName || found.empty()) found = n;
    }
    struct stat st {};
    if (found.empty() || ::stat(found.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        result.failure = StartFailure::NotFound;
        return result;
    }

    std::string program = "./" + found;
    std::vector<std::string> argv;
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    if (IsWindowsExecutable(found)) {
        program = FindWine();
        if (program.empty()) {
            result.failure = StartFailure::NoWine;
            return result;
        }
        // Wine runs the game in the prefix the registry was read from.
        std::erase_if(env, [](const std::string& v) { return v.rfind("WINEPREFIX=", 0) == 0; });
        env.push_back("WINEPREFIX=" + WinePrefix());
        argv = {program, found};
    } else {
        if (::access(found.c_str(), X_OK) != 0) {
            result.failure = StartFailure::Failed;
            result.message = std::strerror(errno);
            return result;
        }
        argv = {exeName};
    }
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argvp = Pointers(argv);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    if (!wait) {
        // A game started on its own belongs to a session of its own and outlives the launcher.
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    }

    pid_t pid = 0;
    int err = 0;
    if (wait) {
        err = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argvp.data(), envp.data());
        if (err == 0) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    } else {
        // Started through a short-lived intermediate process, which is reaped at once: the game
        // is then nobody's child here, and no zombie is left when it ends.
        int pipefd[2];
        if (::pipe2(pipefd, O_CLOEXEC) != 0) {
            err = errno;
        } else {
            const pid_t middle = ::fork();
            if (middle == 0) {
                ::close(pipefd[0]);
                pid_t game = 0;
                int e = ::posix_spawn(&game, program.c_str(), &actions, &attr, argvp.data(),
                                      envp.data());
                if (::write(pipefd[1], &e, sizeof e) != sizeof e) e = 0;
                ::_exit(0);
            }
            ::close(pipefd[1]);
            if (middle < 0) {
                err = errno;
            } else {
                int e = 0;
                if (::read(pipefd[0], &e, sizeof e) == sizeof e) err = e;
                int status = 0;
                while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
                }
            }
            ::close(pipefd[0]);
        }
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        result.failure = StartFailure::Failed;
        result.message = std::strerror(err);
        return result;
    }
    result.started = true;
    return result;
}

int64_t MonotonicMilliseconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace sx::os
