// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a program on POSIX (a Windows one through Wine), and the clock.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/Text.h"
#include "os/Paths.h"
#include "os/posix/Posix.h"
#include "os/Process.h"
#include "os/wine/Wine.h"

extern char** environ;

namespace sx::os {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// The entry of folder named name without regard to case (the exact name first).
std::string FindInFolder(const std::string& folder, const std::string& name) {
    std::string found;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) return found;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name == name) {
            found = name;
            break;
        }
        if (found.empty() && EqualsNoCaseUtf8(e->d_name, name)) found = e->d_name;
    }
    ::closedir(d);
    return found;
}

// The program of folder (a path as the program holds it) named exeName, as a regular file:
// its host folder and its name there. Empty names when there is none.
struct FoundProgram {
    std::string hostFolder, name;
    std::string Path() const { return hostFolder + "/" + name; }
};
FoundProgram FindProgram(const std::string& folder, const std::string& exeName) {
    FoundProgram p{ToHostPath(folder), {}};
    if (p.hostFolder.empty()) return p;
    p.name = FindInFolder(p.hostFolder, exeName);
    struct stat st {};
    if (!p.name.empty() && (::stat(p.Path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)))
        p.name.clear();
    return p;
}

// The program loader an ELF program asks for (its PT_INTERP), or nothing.
std::string ElfLoader(int fd) {
    unsigned char h[64] = {};
    if (::pread(fd, h, sizeof h, 0) < 52 ||
        std::memcmp(h,
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        h[5] != 1)
        return {};
    auto le = [](const unsigned char* p, int n) {
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
        return v;
    };
    const bool wide = h[4] == 2;
    const uint64_t phoff = wide ? le(h + 0x20, 8) : le(h + 0x1C, 4);
    const uint64_t phentsize = wide ? le(h + 0x36, 2) : le(h + 0x2A, 2);
    const uint64_t phnum = wide ? le(h + 0x38, 2) : le(h + 0x2C, 2);
    for (uint64_t i = 0; i < phnum && i < 64; ++i) {
        unsigned char ph[56] = {};
        if (::pread(fd, ph, sizeof ph, static_cast<off_t>(phoff + i * phentsize)) < 32) break;
        if (le(ph, 4) != 3) continue;  // PT_INTERP
        const uint64_t off = wide ? le(ph + 8, 8) : le(ph + 4, 4);
        const uint64_t size = wide ? le(ph + 0x20, 8) : le(ph + 16, 4);
        std::string path(size < 4096 ? size : 4096, '\0');
        if (::pread(fd, path.data(), path.size(), static_cast<off_t>(off)) < 0) return {};
        return path.substr(0, path.find('\0'));
    }
    return {};
}

// Why a program that exists could not be run, when the system's own answer would blame the
// program's file: its interpreter or its loader is missing, or it is no program at all.
std::string ExplainFailure(const std::string& program, int err) {
    if (err == ENOEXEC) return "it is not a program this system can run.";
    if (err != ENOENT) return std::strerror(err);
    const int fd = ::open(program.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(err);
    char head[256] = {};
    const ssize_t n = ::pread(fd, head, sizeof head - 1, 0);
    std::string reason = std::strerror(err);
    if (n > 2 && head[0] == '#' && head[1] == '!') {
        std::string interpreter(head + 2, static_cast<size_t>(n - 2));
        interpreter = interpreter.substr(0, interpreter.find('\n'));
        const size_t b = interpreter.find_first_not_of(" \t");
        interpreter = b == std::string::npos ? "" : interpreter.substr(b);
        interpreter = interpreter.substr(0, interpreter.find_first_of(" \t\r"));
        reason = "its interpreter " + interpreter + " is missing.";
    } else if (const std::string loader = ElfLoader(fd); !loader.empty()) {
        reason = "it needs the program loader " + loader +
                 ", which this system lacks;\nit may be built for another system.";
    }
    ::close(fd);
    return reason;
}

}  // namespace

struct RunningProgram::Impl {
    pid_t pid = -1;
};

RunningProgram::RunningProgram() : m_impl(std::make_unique<Impl>()) {}

RunningProgram::~RunningProgram() {
    // A program still running when nobody waits for it any more is reaped when it ends by
    // nobody; it is not killed.
    HasEnded();
}

bool RunningProgram::HasEnded() {
    if (m_impl->pid <= 0) return true;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(m_impl->pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r == 0) return false;
    m_impl->pid = -1;
    return true;
}

namespace {

// Starts the program and returns posix_spawn's answer. Without a waitable, the program is
// started through a short-lived intermediate process, which is reaped at once: the program is
// then nobody's child here, and no zombie is left when it ends.
int Spawn(const std::string& program, const std::string& folder, std::vector<std::string>& argv,
          std::vector<std::string>& env, RunningProgram::Impl* waitable) {
    const bool wait = waitable != nullptr;
    std::vector<char*> argvp = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A program started on its own belongs to a session of its own and outlives the launcher.
    if (!wait) posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

    pid_t pid = 0;
    int err = 0;
    if (wait) {
        err = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argvp.data(), envp.data());
        if (err == 0) waitable->pid = pid;
    } else {
        int pipefd[2];
        if (::pipe2(pipefd, O_CLOEXEC) != 0) {
            err = errno;
        } else {
            const pid_t middle = ::fork();
            if (middle == 0) {
                ::close(pipefd[0]);
                pid_t child = 0;
                int e = ::posix_spawn(&child, program.c_str(), &actions, &attr, argvp.data(),
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
    return err;
}

}  // namespace

StartResult StartProgram(const std::string& folder, const std::string& exeName,
                         const std::vector<ProgramArgument>& args, RunningProgram* waitable) {
    StartResult result;
    const FoundProgram exe = FindProgram(folder, exeName);
    if (exe.name.empty()) {
        result.failure = StartFailure::NotFound;
        return result;
    }
    const std::string& hostFolder = exe.hostFolder;
    const std::string& found = exe.name;
    const std::string exePath = exe.Path();

    std::string program = exePath;
    std::vector<std::string> argv;
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    if (wine::IsWindowsExecutable(exePath)) {
        // As the prefix's tool starts it, on the game's own name in the game's folder.
        const wine::Runner runner = wine::RunnerForPrefix();
        if (!runner.refused.empty()) {
            result.failure = StartFailure::Failed;
            result.message = runner.refused;
            return result;
        }
        if (runner.start.argv.empty()) {
            result.failure = StartFailure::NoWine;
            return result;
        }
        program = runner.start.argv[0];
        argv = runner.start.argv;
        argv.push_back(found);
        // The tool's own settings win over the caller's; a prefix of another run never leaks in.
        std::erase_if(env, [&runner](const std::string& v) {
            if (v.rfind("WINEPREFIX=", 0) == 0) return true;
            for (const std::string& set : runner.start.env)
                if (v.compare(0, set.find('=') + 1, set, 0, set.find('=') + 1) == 0) return true;
            return false;
        });
        env.insert(env.end(), runner.start.env.begin(), runner.start.env.end());
    } else {
        if (::access(exePath.c_str(), X_OK) != 0) {
            result.failure = StartFailure::Failed;
            result.message = std::strerror(errno);
            return result;
        }
        argv = {exeName};
    }
    // An argument vector carries each argument whole: quotes are a command line's business.
    for (const ProgramArgument& a : args) argv.push_back(a.text);

    RunningProgram::Impl* impl = nullptr;
    if (waitable != nullptr) impl = &waitable->Native();
    if (const int err = Spawn(program, hostFolder, argv, env, impl); err != 0) {
        result.failure = StartFailure::Failed;
        result.message = ExplainFailure(program, err);
        return result;
    }
    result.started = true;
    return result;
}

std::optional<WineSubstitution> SubstituteWine(const std::string& folder, const std::string& exeName) {
    const FoundProgram exe = FindProgram(folder, exeName);
    if (exe.name.empty() || !wine::IsWindowsExecutable(exe.Path())) return std::nullopt;
    const wine::Runner runner = wine::RunnerForPrefix();
    if (!runner.asks || !runner.refused.empty()) return std::nullopt;
    return WineSubstitution{runner.asks->tool, runner.asks->recorded, runner.asks->instead};
}

namespace {
std::vector<std::string> g_arguments;  // the command line the program was started with
std::string g_startFolder;
}  // namespace

void InitializeProcess(int argc, char** argv) {
    // A relative WINEPREFIX names a folder beside the one Sortilex was started in; the program
    // changes its current folder as it works, so the prefix is made absolute now.
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0')
        ::setenv("WINEPREFIX", posix::Absolute(prefix).c_str(), 1);
    if (argv != nullptr) g_arguments.assign(argv, argv + argc);
    g_startFolder = posix::Absolute(".");
}

bool OpenFolder(const std::string& folder) {
    const std::string opener = wine::FindOnPath("xdg-open");
    // The folder where it really lies (drive_c, not the drive letter's link), as a player
    // knows it, and only a folder: the trailing "/" makes the opener take nothing else.
    const std::string host = ToHostPath(folder);
    const std::string real = host.empty() ? std::string() : posix::RealPath(host);
    struct stat st {};
    if (opener.empty() || real.empty() || ::stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    std::vector<std::string> argv = {"xdg-open", real == "/" ? real : real + "/"};
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    return Spawn(opener, "/", argv, env, nullptr) == 0;
}

void NamePrefix(const std::string& prefix) {
    wine::UsePrefix(posix::Absolute(prefix));
}

bool RestartWithPrefix(const std::string& prefix) {
    if (g_arguments.empty()) return false;
    std::vector<std::string> argv = {g_arguments[0]};
    for (size_t i = 1; i < g_arguments.size(); ++i) {
        if (g_arguments[i] == "--prefix") {
            ++i;
            continue;
        }
        if (g_arguments[i].rfind("--prefix=", 0) != 0) argv.push_back(g_arguments[i]);
    }
    argv.push_back("--prefix");
    argv.push_back(posix::Absolute(prefix));
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    // The program as it was started (from the folder it was started in), else this very one.
    const std::string program = argv[0].find('/') != std::string::npos ? argv[0] : "/proc/self/exe";
    return Spawn(program, g_startFolder, argv, env, nullptr) == 0;
}

int64_t MonotonicMilliseconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace sx::os
