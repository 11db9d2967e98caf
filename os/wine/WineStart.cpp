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
#include <map>
#include <optional>

#include "os/Paths.h"
#include "os/Process.h"
#include "os/wine/Wine.h"

namespace sx::os::wine {

namespace {
std::string g_named;  // --prefix
std::optional<PrefixCandidate> g_found;

// The run's search: for the folders of the environment, once (a test's other home searches
// again), and which of its prefixes hold each key asked for.
struct Search {
    SearchRoots roots;
    std::vector<PrefixCandidate> prefixes;
    SearchReport report;
    std::map<std::string, std::vector<PrefixCandidate>, std::less<>> holding;
};
Search& RunSearch() {
    static std::optional<Search> search;
    const SearchRoots roots = RootsFromEnvironment();
    if (!search || !(search->roots == roots)) {
        search.emplace();
        search->roots = roots;
        search->prefixes = FindPrefixes(roots, search->report);
    }
    return *search;
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
    g_named = prefix;
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

const std::vector<PrefixCandidate>& AllPrefixes() {
    return RunSearch().prefixes;
}

const std::vector<PrefixCandidate>& PrefixesHolding(std::string_view key) {
    Search& search = RunSearch();
    auto it = search.holding.find(key);
    if (it == search.holding.end())
        it = search.holding.emplace(std::string(key), HoldingKey(search.prefixes, key)).first;
    return it->second;
}

const SearchReport& PassedOver() {
    return RunSearch().report;
}

Runner RunnerForPrefix() {
    // The tool that made the prefix, as its settings tell; a prefix named on the command line
    // or in the environment is looked for among them too.
    const PrefixCandidate made = g_found && !PrefixNamed() ? *g_found
                                                          : DescribePrefix(AllPrefixes(), Prefix());
    Runner runner;
    runner.refused = made.refused;
    // The trust rules once more, now, on the programs as they resolve now.
    if (!made.start.argv.empty()) {
        runner.start = made.start;
        if (runner.refused.empty()) runner.refused = TrustNow(runner.start, made.programFolders);
        return runner;
    }
    const std::string wine = FindWine();
    if (wine.empty()) return runner;
    PrefixCandidate system{Prefix(), made.tool};
    StartUnderWine(system, wine);
    runner.start = system.start;
    if (runner.refused.empty()) runner.refused = TrustNow(runner.start, system.programFolders);
    // Another tool's prefix under another Wine than its own: the user is asked first.
    if (!made.systemWine && !made.PlainWine())
        runner.asks = Substitution{made.tool,
                                   made.recorded.empty() ? "a Wine it does not name" : made.recorded,
                                   wine};
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
    return FindOnPath((wine && *wine) ? wine : "wine");
}

std::string FindOnPath(const std::string& program) {
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

std::vector<std::string> InstallationPlaces() {
    return wine::SearchPlaces();
}

std::vector<GameInstallation> GameInstallations(const std::string& key, const std::string& exeName,
                                                std::vector<std::string>* passedOver) {
    std::vector<GameInstallation> list;
    const std::string current = RealHostPath(wine::Prefix());
    for (const wine::PrefixCandidate& p : wine::PrefixesHolding(key)) {
        GameInstallation g{p.tool, p.path, wine::GameFolderIn(p.path, key), {}, p.refused,
                           RealHostPath(p.path) == current};
        // The command as a shell would take it: what the environment gets, then the program.
        if (!p.start.argv.empty()) {
            for (const std::string& part : p.start.env) g.command += part + " ";
            for (const std::string& part : p.start.argv) g.command += part + " ";
            g.command += exeName;
        } else if (p.systemWine || p.PlainWine()) {
            const std::string wine = wine::FindWine();
            if (!wine.empty()) g.command = "WINEPREFIX=" + p.path + " " + wine + " " + exeName;
        }
        list.push_back(std::move(g));
    }
    if (passedOver != nullptr) *passedOver = wine::PassedOver().Lines();
    return list;
}

}  // namespace sx::os
