// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/PrefixSearch.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/Text.h"
#include "os/Files.h"
#include "os/wine/WineRegistry.h"

namespace sx::os::wine {

namespace {

// ---- Small helpers over the file system, none of which follows a FIFO or waits --------------

bool IsFolder(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsProgram(const std::string& p) {
    return IsRegularFile(p) && ::access(p.c_str(), X_OK) == 0;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A settings file, whole, if it is a regular file of reasonable size.
std::optional<std::string> ReadSmallFile(const std::string& path) {
    InputFile f;
    if (!f.Open(path)) return std::nullopt;
    std::string text;
    char buf[1 << 14];
    for (;;) {
        const std::ptrdiff_t n = f.Read(buf, sizeof buf);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
        if (text.size() > (4u << 20)) return std::nullopt;
    }
    return text;
}

std::optional<YAML::Node> ReadYaml(const std::string& path) {
    const auto text = ReadSmallFile(path);
    if (!text) return std::nullopt;
    try {
        return YAML::Load(*text);
    } catch (const YAML::Exception&) {
        return std::nullopt;  // a settings file that is no YAML names no prefix
    }
}

std::string YamlText(const YAML::Node& node, std::initializer_list<const char*> keys) {
    // reset() rebinds; assigning one node to another would write into the document.
    YAML::Node n;
    n.reset(node);
    for (const char* k : keys) {
        if (!n.IsMap() || !n[k]) return {};
        const YAML::Node child = n[k];
        n.reset(child);
    }
    return n.IsScalar() ? n.as<std::string>() : std::string();
}

std::string ExpandHome(std::string path, const SearchRoots& roots) {
    if (path.rfind("~/", 0) == 0) path = roots.home + path.substr(1);
    return path;
}

class Collector {
  public:
    explicit Collector(const SearchRoots& roots) : m_roots(roots) {}

    void Add(const std::string& path, const std::string& tool, std::string wine = {},
             bool systemWine = false) {
        if (path.empty() || !IsFolder(path)) return;
        if (!wine.empty() && !IsProgram(wine)) wine.clear();
        m_found.push_back({path, tool, wine, systemWine, 0});
    }
    const SearchRoots& Roots() const { return m_roots; }
    std::vector<PrefixCandidate> Take() { return std::move(m_found); }

  private:
    const SearchRoots& m_roots;
    std::vector<PrefixCandidate> m_found;
};

// ---- The tools ---------------------------------------------------------------------------------

void Winetricks(Collector& c) {
    const std::string root = c.Roots().dataHome + "/wineprefixes";
    for (const std::string& n : Entries(root)) c.Add(root + "/" + n, "winetricks", {}, true);
}

// Lutris: the prefix of each game's settings, under the Wine version the game (or Lutris's
// settings for its Wine runner) names.
void Lutris(Collector& c, const std::string& config, const std::string& data) {
    std::string defaultVersion;
    if (const auto runner = ReadYaml(config + "/runners/wine.yml"))
        defaultVersion = YamlText(*runner, {"wine", "version"});
    for (const std::string& folder : {config + "/games", data + "/games"}) {
        for (const std::string& n : Entries(folder)) {
            if (!n.ends_with(".yml") && !n.ends_with(".yaml")) continue;
            const auto game = ReadYaml(folder + "/" + n);
            if (!game) continue;
            const std::string prefix = ExpandHome(YamlText(*game, {"game", "prefix"}), c.Roots());
            std::string version = YamlText(*game, {"wine", "version"});
            if (version.empty()) version = defaultVersion;
            const std::string wine =
                version.empty() ? std::string() : data + "/runners/wine/" + version + "/bin/wine";
            c.Add(prefix, "Lutris", wine);
        }
    }
}

// Bottles: each bottle is a prefix, under the runner its bottle.yml names.
void Bottles(Collector& c, const std::string& data) {
    const std::string root = data + "/bottles";
    for (const std::string& n : Entries(root)) {
        const std::string bottle = root + "/" + n;
        std::string runner;
        if (const auto yml = ReadYaml(bottle + "/bottle.yml")) runner = YamlText(*yml, {"Runner"});
        const bool system = runner.rfind("sys-", 0) == 0;
        const std::string wine =
            runner.empty() || system ? std::string() : data + "/runners/" + runner + "/bin/wine";
        c.Add(bottle, "Bottles", wine, system);
    }
}

// The quoted values that follow a key in a Valve KeyValues file.
std::vector<std::string> VdfValues(const std::string& text, std::string_view key) {
    std::vector<std::string> tokens;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '"') {
            ++i;
            continue;
        }
        std::string token;
        for (++i; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) ++i;
            token += text[i];
        }
        ++i;
        tokens.push_back(std::move(token));
    }
    std::vector<std::string> values;
    for (size_t i = 0; i + 1 < tokens.size(); ++i)
        if (EqualsNoCase(tokens[i], key)) values.push_back(tokens[i + 1]);
    return values;
}

// The Wine of the Proton a Steam prefix was made with, from its config_info.
std::string ProtonWine(const std::string& compat) {
    const auto info = ReadSmallFile(compat + "/config_info");
    if (!info) return {};
    std::istringstream lines(*info);
    for (std::string line; std::getline(lines, line);) {
        for (const char* mark : {"/files/", "/dist/"}) {
            const size_t at = line.find(mark);
            if (at == std::string::npos || line[0] != '/') continue;
            const std::string wine = line.substr(0, at) + mark + "bin/wine";
            if (IsProgram(wine)) return wine;
        }
    }
    return {};
}

// Steam: the prefix of each game Proton ran, in every library the library list names.
void Steam(Collector& c, const std::string& steamRoot) {
    const auto list = ReadSmallFile(steamRoot + "/steamapps/libraryfolders.vdf");
    std::vector<std::string> libraries = {steamRoot};
    if (list)
        for (const std::string& p : VdfValues(*list, "path")) libraries.push_back(p);
    for (const std::string& library : libraries) {
        const std::string compat = library + "/steamapps/compatdata";
        for (const std::string& id : Entries(compat))
            c.Add(compat + "/" + id + "/pfx", "Steam", ProtonWine(compat + "/" + id));
    }
}

// PlayOnLinux: its prefixes, under the Wine version each one's settings name.
void PlayOnLinux(Collector& c) {
    const std::string root = c.Roots().home + "/.PlayOnLinux";
    for (const std::string& n : Entries(root + "/wineprefix")) {
        const std::string prefix = root + "/wineprefix/" + n;
        std::string version, arch = "x86";
        if (const auto cfg = ReadSmallFile(prefix + "/playonlinux.cfg")) {
            std::istringstream lines(*cfg);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind("VERSION=", 0) == 0) version = line.substr(8);
                if (line.rfind("ARCH=", 0) == 0) arch = line.substr(5);
            }
        }
        const std::string wine = version.empty() ? std::string()
                                                 : root + "/wine/linux-" + arch + "/" + version +
                                                       "/bin/wine";
        c.Add(prefix, "PlayOnLinux", wine, version.empty());
    }
}

// Heroic: the prefix of each game's settings, under the Wine they name.
void Heroic(Collector& c, const std::string& config) {
    const std::string folder = config + "/GamesConfig";
    for (const std::string& n : Entries(folder)) {
        if (!n.ends_with(".json")) continue;
        const auto text = ReadSmallFile(folder + "/" + n);
        if (!text) continue;
        const nlohmann::json doc = nlohmann::json::parse(*text, nullptr, false);
        if (!doc.is_object()) continue;
        for (const auto& [app, game] : doc.items()) {
            if (!game.is_object() || !game.contains("winePrefix")) continue;
            const auto& prefix = game["winePrefix"];
            std::string wine;
            if (game.contains("wineVersion") && game["wineVersion"].is_object() &&
                game["wineVersion"].contains("bin") && game["wineVersion"]["bin"].is_string())
                wine = game["wineVersion"]["bin"].get<std::string>();
            if (prefix.is_string()) c.Add(ExpandHome(prefix.get<std::string>(), c.Roots()), "Heroic", wine);
        }
    }
}

long long Modified(const std::string& prefix) {
    struct stat st {};
    if (::stat((prefix + "/system.reg").c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

std::string RealPathOf(const std::string& p) {
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) ? std::string(buf) : p;
}

// The registry of a prefix holds the key, in either view.
bool HoldsKey(const std::string& prefix, std::string_view key) {
    InputFile f;
    if (!f.Open(prefix + "/system.reg")) return false;
    std::string wow(key);
    if (StartsWithNoCase(wow, "Software\\")) wow.insert(9, "Wow6432Node\\");
    const std::string_view wanted[] = {key, wow};
    std::vector<WineRegKey> keys;
    const ReadFn read = [&f](char* buffer, size_t size) { return f.Read(buffer, size); };
    if (!ScanWineRegistry(read, wanted, {}, keys)) return false;
    return keys[0].found || keys[1].found;
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

std::vector<PrefixCandidate> FindPrefixes(const SearchRoots& roots) {
    Collector c(roots);
    const std::string& home = roots.home;
    c.Add(home + "/.wine", "Wine", {}, true);
    Winetricks(c);
    Lutris(c, roots.configHome + "/lutris", roots.dataHome + "/lutris");
    Bottles(c, roots.dataHome + "/bottles");
    for (const std::string& steam : {home + "/.steam/root", home + "/.steam/steam",
                                     roots.dataHome + "/Steam", home + "/.steam/debian-installation"})
        Steam(c, steam);
    PlayOnLinux(c);
    Heroic(c, roots.configHome + "/heroic");
    // The same tools installed from Flathub keep their settings in their sandbox's folders.
    const std::string flatpak = home + "/.var/app";
    Steam(c, flatpak + "/com.valvesoftware.Steam/.local/share/Steam");
    Steam(c, flatpak + "/com.valvesoftware.Steam/data/Steam");
    Lutris(c, flatpak + "/net.lutris.Lutris/config/lutris", flatpak + "/net.lutris.Lutris/data/lutris");
    Bottles(c, flatpak + "/com.usebottles.bottles/data/bottles");
    Heroic(c, flatpak + "/com.heroicgameslauncher.hgl/config/heroic");

    // Each prefix once (several Steam folders are links to one), newest registry first; one
    // without a registry file is no prefix.
    std::vector<PrefixCandidate> found = c.Take();
    std::vector<PrefixCandidate> unique;
    std::vector<std::string> seen;
    for (PrefixCandidate& p : found) {
        const std::string real = RealPathOf(p.path);
        if (std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
        seen.push_back(real);
        p.modified = Modified(p.path);
        if (p.modified >= 0) unique.push_back(std::move(p));
    }
    std::stable_sort(unique.begin(), unique.end(),
                     [](const auto& a, const auto& b) { return a.modified > b.modified; });
    return unique;
}

std::optional<PrefixCandidate> FindGamePrefix(const SearchRoots& roots, std::string_view key) {
    for (PrefixCandidate& p : FindPrefixes(roots))
        if (HoldsKey(p.path, key)) return p;
    return std::nullopt;
}

PrefixCandidate DescribePrefix(const SearchRoots& roots, const std::string& prefix) {
    const std::string real = RealPathOf(prefix);
    for (PrefixCandidate& p : FindPrefixes(roots))
        if (RealPathOf(p.path) == real) return p;
    return {prefix, "Wine", {}, true, 0};
}

std::vector<std::string> SearchPlaces() {
    return {"Wine         ~/.wine",
            "winetricks   $XDG_DATA_HOME/wineprefixes/*",
            "Lutris       the prefix of $XDG_CONFIG_HOME/lutris/games/*.yml and",
            "             $XDG_DATA_HOME/lutris/games/*.yml",
            "Bottles      $XDG_DATA_HOME/bottles/bottles/*",
            "Steam        steamapps/compatdata/*/pfx in every library of ~/.steam/root,",
            "             ~/.steam/steam, $XDG_DATA_HOME/Steam, ~/.steam/debian-installation",
            "PlayOnLinux  ~/.PlayOnLinux/wineprefix/*",
            "Heroic       the winePrefix of $XDG_CONFIG_HOME/heroic/GamesConfig/*.json",
            "Flatpak      the same for Steam, Lutris, Bottles and Heroic under ~/.var/app",
            "($XDG_CONFIG_HOME is ~/.config and $XDG_DATA_HOME ~/.local/share when unset.)"};
}

}  // namespace sx::os::wine
