// SPDX-License-Identifier: GPL-3.0-or-later
// Telling a Windows program from a native one, and finding Wine to run it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>

#include "os/Process.h"
#include "os/wine/Wine.h"

namespace sx::os::wine {

namespace {
std::string g_named;               // --prefix
std::optional<PrefixCandidate> g_found;

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}
}  // namespace

std::string Prefix() {
    if (!g_named.empty()) return g_named;
    if (const char* p = std::getenv("WINEPREFIX"); p != nullptr && *p != '\0') return p;
    if (g_found) return g_found->path;
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
        return std::string(h) + "/.wine";
    return {};
}

void UsePrefix(const std::string& prefix) {
    g_named = Absolute(prefix);
}

bool PrefixNamed() {
    const char* env = std::getenv("WINEPREFIX");
    return !g_named.empty() || (env != nullptr && *env != '\0');
}

void UseFoundPrefix(const PrefixCandidate& found) {
    if (found.path.empty())
        g_found.reset();
    else
        g_found = found;
}

Runner RunnerForPrefix() {
    // The tool that made the prefix, as its settings tell; a prefix named on the command line
    // or in the environment is looked for among them too.
    const PrefixCandidate made = g_found && !PrefixNamed()
                                     ? *g_found
                                     : DescribePrefix(RootsFromEnvironment(), Prefix());
    Runner runner;
    if (!made.wine.empty()) {
        runner.wine = made.wine;
        return runner;
    }
    runner.wine = FindWine();
    if (!made.systemWine && !made.PlainWine()) runner.unrecordedTool = made.tool;
    return runner;
}

bool IsWindowsExecutable(const std::string& hostPath) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
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

std::string FindWine() {
    const char* wine = std::getenv("WINE");
    if (wine != nullptr && std::strchr(wine, '/') != nullptr)
        return ::access(wine, X_OK) == 0 ? wine : "";
    const std::string program = (wine && *wine) ? wine : "wine";
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
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

}  // namespace sx::os::wine

namespace sx::os {

StartOutcome InitializeProcess(int argc, char** argv, std::string_view name,
                               std::string_view version) {
    // A relative WINEPREFIX names a folder beside the one Sortilex was started in; the program
    // changes its current folder as it works, so the prefix is made absolute now.
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0')
        ::setenv("WINEPREFIX", wine::Absolute(prefix).c_str(), 1);
    const std::string program(name);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("Usage: %s [--prefix DIR]\n"
                        "Manages the missions of Vantorra, a Windows game run under Wine.\n\n"
                        "  --prefix DIR  the Wine prefix the game is installed in\n"
                        "  --help        show this text and end\n"
                        "  --version     show the version and end\n\n"
                        "Without --prefix, the prefix is $WINEPREFIX. Without that, %s looks\n"
                        "for the prefix that holds the game in these places, the prefix most\n"
                        "recently used first, and starts the game under the Wine the prefix's\n"
                        "tool records:\n",
                        program.c_str(), program.c_str());
            for (const std::string& place : wine::SearchPlaces()) std::printf("  %s\n", place.c_str());
            std::printf("\n%s is free software under the GNU General Public License, version 3 or\n"
                        "later: you may share and change it under its terms.\n",
                        program.c_str());
            return {false, 0};
        }
        if (arg == "--version" || arg == "-V") {
            std::printf("%s %.*s\n"
                        "Copyright (C) 2026 The Sortilex developers\n"
                        "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                        "This is free software: you are free to change and redistribute it.\n"
                        "There is NO WARRANTY, to the extent permitted by law.\n",
                        program.c_str(), static_cast<int>(version.size()), version.data());
            return {false, 0};
        }
        if (arg == "--prefix" && i + 1 < argc) {
            wine::UsePrefix(argv[++i]);
        } else if (arg.rfind("--prefix=", 0) == 0) {
            wine::UsePrefix(arg.substr(9));
        } else {
            std::fprintf(stderr, "%s: %s: unknown option\nTry '%s --help'.\n", program.c_str(),
                         arg == "--prefix" ? "--prefix needs a folder" : arg.c_str(),
                         program.c_str());
            return {false, 2};
        }
    }
    return {};
}

}  // namespace sx::os
