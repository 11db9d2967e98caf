// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/PrefixSearch.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <functional>
#include <thread>
#include <set>

#include "base/Text.h"
#include "os/Backend.h"
#include "os/Files.h"
#include "os/wine/WineRegistry.h"

namespace sx::os::wine {

namespace {

std::string Parent(const std::string& path) {
    const size_t sep = path.find_last_of('/');
    return sep == std::string::npos || sep == 0 ? "/" : path.substr(0, sep);
}

std::string RealPathOf(const std::string& p) {
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) ? std::string(buf) : std::string();
}

std::optional<PathOwner> OwnerOf(const std::string& path) {
    if (auto hooked = backend::AskOwnerHook(path)) return hooked;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return PathOwner{st.st_uid, st.st_gid, st.st_mode};
}

// The user's own group: the one of the user's name, with nobody else in it.
bool PrivateGroup(uint32_t gid) {
    const passwd* pw = ::getpwuid(::getuid());
    const group* gr = ::getgrgid(gid);
    return pw != nullptr && gr != nullptr && gid == pw->pw_gid &&
           std::string_view(gr->gr_name) == pw->pw_name &&
           (gr->gr_mem == nullptr || gr->gr_mem[0] == nullptr);
}

// Why another user could change what lies at path; nothing when no one but this user and root
// can. A sticky folder lets nobody rename what others own in it.
std::optional<std::string> Changeable(const std::string& path, bool stickyAllowed) {
    const std::optional<PathOwner> o = OwnerOf(path);
    if (!o) return std::nullopt;
    if (o->uid != ::getuid() && o->uid != 0) return path + " belongs to another user.";
    if (stickyAllowed && (o->mode & S_ISVTX)) return std::nullopt;
    if (o->mode & S_IWOTH) return path + " can be changed by every user.";
    if ((o->mode & S_IWGRP) && !PrivateGroup(o->gid))
        return path + " can be changed by the other users of its group.";
    return std::nullopt;
}

long long Modified(const std::string& prefix) {
    struct stat st {};
    if (::stat((prefix + "/system.reg").c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    const long long at = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    // A registry dated in the future was not used after every other one.
    const long long now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    return std::min(at, now);
}

// Looks keys up in a prefix's system.reg, both registry views of each; the values of valueNames.
std::vector<WineRegKey> ScanKey(const std::string& prefix, std::string_view key,
                                std::span<const std::string_view> valueNames, std::vector<uint64_t>* hints = nullptr) {
    std::vector<WineRegKey> keys;
    std::string wow(key);
    if (StartsWithNoCase(wow, "Software\\")) wow.insert(9, "Wow6432Node\\");
    const std::string_view wanted[] = {key, wow};
    if (!ScanWineRegistryFile(prefix + "/system.reg", wanted, valueNames, keys, hints)) keys.clear();
    return keys;
}

std::vector<std::string> SteamFolders(const SearchRoots& r) {
    const std::string flatpak = r.home + "/.var/app/com.valvesoftware.Steam";
    return {r.home + "/.steam/root",
            r.home + "/.steam/steam",
            r.dataHome + "/Steam",
            r.home + "/.steam/debian-installation",
            r.home + "/snap/steam/common/.local/share/Steam",
            flatpak + "/.local/share/Steam",
            flatpak + "/data/Steam"};
}

}  // namespace

SearchRoots RootsFromEnvironment() {
    SearchRoots roots;
    const char* home = std::getenv("HOME");
    roots.home = home ? home : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* data = std::getenv("XDG_DATA_HOME");
    roots.configHome = config && *config == '/' ? config : roots.home + "/.config";
    roots.dataHome = data && *data == '/' ? data : roots.home + "/.local/share";
    return roots;
}

std::string Untrusted(const std::string& programFolder) {
    const std::string real = RealPathOf(programFolder);
    if (real.empty()) return programFolder + " cannot be found.";
    for (const char* own : {"", "/bin", "/lib", "/lib64", "/share/wine"})
        if (auto why = Changeable(real + own, false)) return *why;
    for (std::string d = Parent(real);; d = Parent(d)) {
        if (auto why = Changeable(d, true)) return *why;
        if (d == "/") return {};
    }
}

std::string TrustNow(StartCommand& start, const std::vector<std::string>& programFolders,
                     std::map<std::string, std::string>* verdicts) {
    // A verdict, looked up in verdicts first; "=" and the resolved path for a program that may run.
    const auto verdict = [verdicts](const std::string& key, const std::function<std::string()>& judge) {
        if (verdicts == nullptr) return judge();
        auto it = verdicts->find(key);
        if (it == verdicts->end()) it = verdicts->emplace(key, judge()).first;
        return it->second;
    };
    for (const std::string& folder : programFolders)
        if (std::string why = verdict("folder " + folder, [&] { return Untrusted(folder); }); !why.empty()) return why;
    for (std::string& part : start.argv) {
        if (!part.starts_with('/')) continue;
        const std::string judged = verdict("program " + part, [&part]() -> std::string {
            const std::string real = RealPathOf(part);
            if (real.empty()) return part + " cannot be found.";
            if (auto why = Changeable(real, false)) return *why;
            for (std::string d = Parent(real);; d = Parent(d)) {
                if (auto why = Changeable(d, true)) return *why;
                if (d == "/") break;
            }
            return "=" + real;
        });
        if (!judged.starts_with('=')) return judged;
        part = judged.substr(1);
    }
    return {};
}

std::string ForeignPrefix(const std::string& prefix, std::optional<uint32_t> ownerUid) {
    std::optional<PathOwner> o = backend::AskOwnerHook(prefix);
    if (!o && ownerUid) o = PathOwner{*ownerUid, 0, 0};
    if (!o) o = OwnerOf(prefix);
    return o && o->uid != ::getuid() ? "the Wine prefix " + prefix + " belongs to another user."
                                     : std::string();
}

std::vector<PrefixCandidate> FindPrefixes(const SearchRoots& roots, SearchReport& report) {
    Collector c(roots, report);
    const std::string& home = roots.home;
    ReadPlainWine(c);
    ReadLutris(c, roots.configHome + "/lutris", roots.dataHome + "/lutris", false);
    ReadBottles(c, roots.dataHome + "/bottles", false);
    std::string steam;  // the first Steam folder there is, for Heroic's Protons
    const std::vector<std::string> steamFolders = SteamFolders(roots);
    ReadSteam(c, steamFolders);
    for (const std::string& s : steamFolders)
        if (steam.empty() && IsFolder(s)) steam = s;
    ReadPlayOnLinux(c);
    ReadHeroic(c, roots.configHome + "/heroic", steam, false);
    // The same tools installed from Flathub keep their settings in their sandbox's folders.
    const std::string flatpak = home + "/.var/app";
    ReadLutris(c, flatpak + "/net.lutris.Lutris/config/lutris",
               flatpak + "/net.lutris.Lutris/data/lutris", true);
    ReadBottles(c, flatpak + "/com.usebottles.bottles/data/bottles", true);
    ReadHeroic(c, flatpak + "/com.heroicgameslauncher.hgl/config/heroic", steam, true);

    // Each prefix once (several Steam folders are links to one), newest registry first; one
    // without a registry file is no prefix.
    std::vector<PrefixCandidate> unique;
    std::set<std::pair<dev_t, ino_t>> seen;  // a folder is the same by any path that leads there
    std::map<std::string, std::string> verdicts;
    for (PrefixCandidate& p : c.Take()) {
        struct stat folder {};
        if (::stat(p.path.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
            !seen.insert({folder.st_dev, folder.st_ino}).second)
            continue;
        p.modified = Modified(p.path);
        if (p.modified < 0) continue;
        if (std::string foreign = ForeignPrefix(p.path, folder.st_uid); !foreign.empty()) p.refused = std::move(foreign);
        // The programs the start runs (a runtime's entry point, Proton's script, a Wine, umu),
        // where they resolve to, and their folders.
        StartCommand resolved = p.start;
        if (p.refused.empty()) p.refused = TrustNow(resolved, p.programFolders, &verdicts);
        unique.push_back(std::move(p));
    }
    std::stable_sort(unique.begin(), unique.end(),
                     [](const auto& a, const auto& b) { return a.modified > b.modified; });
    return unique;
}

std::vector<PrefixCandidate> HoldingKey(const std::vector<PrefixCandidate>& prefixes,
                                        std::string_view key) {
    // Reading registries is most of a search's time, and each prefix's is read on its own: the
    // processor's cores share them (the program waits for all before its window shows).
    std::vector<char> holds(prefixes.size(), 0);
    const auto scan = [&](size_t first, size_t step) {
        // Prefixes of one Wine lay out their registries alike: each search starts where the
        // one before it ended.
        std::vector<uint64_t> hints;
        for (size_t i = first; i < prefixes.size(); i += step) {
            const std::vector<WineRegKey> keys = ScanKey(prefixes[i].path, key, {}, &hints);
            holds[i] = !keys.empty() && (keys[0].found || keys[1].found);
        }
    };
    const size_t helpers =
        prefixes.size() < 16 ? 0 : std::min<size_t>(std::thread::hardware_concurrency(), 8) - 1;
    std::vector<std::thread> threads;
    for (size_t t = 1; t <= helpers; ++t) threads.emplace_back(scan, t, helpers + 1);
    scan(0, helpers + 1);
    for (std::thread& t : threads) t.join();
    std::vector<PrefixCandidate> holding;
    for (size_t i = 0; i < prefixes.size(); ++i)
        if (holds[i]) holding.push_back(prefixes[i]);
    return holding;
}

PrefixCandidate DescribePrefix(const std::vector<PrefixCandidate>& found, const std::string& prefix) {
    const std::string real = RealPathOf(prefix);
    for (const PrefixCandidate& p : found)
        if (!real.empty() && RealPathOf(p.path) == real) return p;
    PrefixCandidate plain{prefix, "Wine"};
    plain.systemWine = true;
    plain.refused = ForeignPrefix(prefix);
    return plain;
}

std::string GameFolderIn(const std::string& prefix, std::string_view key) {
    // As the catalogue reads the key: "Path", else the unnamed value; the 64-bit view first.
    const std::string_view names[] = {"", "Path"};
    for (const WineRegKey& k : ScanKey(prefix, key, names)) {
        if (!k.found) continue;
        std::string folder;
        for (const WineRegValue& v : k.values) folder = v.text;  // in the order asked for
        return folder;
    }
    return {};
}

std::vector<std::string> SearchPlaces() {
    return {"Wine         ~/.wine",
            "winetricks   $XDG_DATA_HOME/wineprefixes/*",
            "Lutris       the prefix of each game of $XDG_CONFIG_HOME/lutris/games/*.yml, or",
            "             of $XDG_DATA_HOME/lutris/games/*.yml where the first folder is not",
            "Bottles      $XDG_DATA_HOME/bottles/bottles/*, the folder its custom_bottles_path",
            "             names, and the Path of each bottle's placeholder.yml",
            "Steam        steamapps/compatdata/*/pfx in every library of ~/.steam/root,",
            "             ~/.steam/steam, $XDG_DATA_HOME/Steam, ~/.steam/debian-installation,",
            "             ~/snap/steam/common/.local/share/Steam",
            "PlayOnLinux  ~/.PlayOnLinux/wineprefix/*",
            "Heroic       the winePrefix of $XDG_CONFIG_HOME/heroic/GamesConfig/*.json",
            "Flatpak      the same for Steam, Lutris, Bottles and Heroic under ~/.var/app",
            "($XDG_CONFIG_HOME is ~/.config and $XDG_DATA_HOME ~/.local/share when unset.)"};
}

}  // namespace sx::os::wine
