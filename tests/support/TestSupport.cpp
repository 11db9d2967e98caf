// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

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

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
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
}

FakePrefix::~FakePrefix() {
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
