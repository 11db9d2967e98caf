// Starting a program on POSIX (a Windows one through Wine), and the clock.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "os/Paths.h"
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

// Starts the program and returns posix_spawn's answer. Without wait, the program is started
// through a short-lived intermediate process, which is reaped at once: the program is then
// nobody's child here, and no zombie is left when it ends.
int Spawn(const std::string& program, std::vector<std::string>& argv, std::vector<std::string>& env,
          bool wait) {
    std::vector<char*> argvp = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A program started on its own belongs to a session of its own and outlives the launcher.
    if (!wait) posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

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

StartResult StartProgram(const std::string& exeName, const std::vector<ProgramArgument>& args,
                         bool wait) {
    StartResult result;
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
    if (wine::IsWindowsExecutable(found)) {
        program = wine::FindWine();
        if (program.empty()) {
            result.failure = StartFailure::NoWine;
            return result;
        }
        // Wine runs the game in the prefix the registry was read from.
        std::erase_if(env, [](const std::string& v) { return v.rfind("WINEPREFIX=", 0) == 0; });
        env.push_back("WINEPREFIX=" + wine::Prefix());
        argv = {program, found};
    } else {
        if (::access(found.c_str(), X_OK) != 0) {
            result.failure = StartFailure::Failed;
            result.message = std::strerror(errno);
            return result;
        }
        argv = {exeName};
    }
    // An argument vector carries each argument whole: quotes are a command line's business.
    for (const ProgramArgument& a : args) argv.push_back(a.text);

    if (const int err = Spawn(program, argv, env, wait); err != 0) {
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
