// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestSupport.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/LauncherDlg.h"

namespace sxtest {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/sortilex-test-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Leave the folder before removing it, so a test that made it current does not hold it.
    if (std::filesystem::current_path(ec).string().rfind(m_path, 0) == 0) ::chdir("/");
    std::filesystem::remove_all(m_path, ec);
}

CommandRun RunCommandLine(const std::vector<std::string>& args, const std::string& scratch) {
    const std::string out = scratch + "/out", err = scratch + "/err";
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(out.c_str(), "w", stdout);
        std::freopen(err.c_str(), "w", stderr);
        std::vector<std::string> copy = {"Sortilex"};
        copy.insert(copy.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int code = CLauncherApp().CommandLine(static_cast<int>(copy.size()), argv.data()).value_or(99);
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(code);
    }
    CommandRun run;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start).count());
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKiB = usage.ru_maxrss;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Canon(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

void MakeDirs(const std::string& path) {
    std::filesystem::create_directories(path);
}

std::string InstalledGameValues() {
    return "@=\"C:\\\\Games\\\\Vantorra\\\\vnt.exe\"\n\"Path\"=\"C:\\\\Games\\\\Vantorra\"\n";
}

FakePrefix::FakePrefix(const std::string& registryValues) {
    if (const char* old = std::getenv("WINEPREFIX")) {
        m_hadPrefix = true;
        m_oldPrefix = old;
    }
    MakeDirs(m_dir / "dosdevices");
    MakeDirs(missions());
    MakeDirs(campaigns());
    std::filesystem::create_directory_symlink("../drive_c", m_dir / "dosdevices/c:");
    std::string reg =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
    if (!registryValues.empty())
        reg +=
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\vnt.exe] "
            "1796598835\n"
            "#time=1dd85d777490044\n" +
            registryValues + "\n";
    WriteFile(m_dir / "system.reg", reg);
    ::setenv("WINEPREFIX", m_dir.path().c_str(), 1);
    // The desktop's trash of the run: on the file system of the missions, and the test's own.
    if (const char* old = std::getenv("XDG_DATA_HOME")) m_oldData = old;
    ::setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
}

FakePrefix::~FakePrefix() {
    if (m_oldData)
        ::setenv("XDG_DATA_HOME", m_oldData->c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    if (m_hadPrefix)
        ::setenv("WINEPREFIX", m_oldPrefix.c_str(), 1);
    else
        ::unsetenv("WINEPREFIX");
}

}  // namespace sxtest

namespace sxtest {

Env::Env(const char* name, const std::optional<std::string>& value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
        m_had = true;
        m_old = old;
    }
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

Env::~Env() {
    if (m_had)
        ::setenv(m_name, m_old.c_str(), 1);
    else
        ::unsetenv(m_name);
}

int RunAsNobody(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

}  // namespace sxtest
