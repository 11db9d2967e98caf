// SPDX-License-Identifier: GPL-3.0-or-later
// Steam: the prefix of each game Proton ran, in every library of the library lists, under the
// Proton that made it, started as Steam starts it: through Proton's own script, inside the Steam
// Linux Runtime that Proton asks for.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <unordered_set>

#include "base/Text.h"
#include "os/wine/KeyValues.h"
#include "os/wine/Tools.h"

namespace sx::os::wine {

namespace {

constexpr const char* kVerb = "waitforexitandrun";

bool IsNumber(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Resolved(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string Basename(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// A Proton or a runtime on disk: its folder and its command line; or why it may not run.
struct Tool {
    std::string dir;
    std::vector<std::string> commandLine;
    std::string requiredTool;
    std::string refused;
};

// The folder names Valve's Protons install as, by the internal name Steam records for the tool a
// game is to use ("proton_9", "proton_513", "proton_experimental").
std::vector<std::string> ValveToolFolders(const std::string& name) {
    if (name == "proton_experimental") return {"Proton - Experimental"};
    if (name == "proton_hotfix") return {"Proton Hotfix"};
    const std::string digits = name.rfind("proton_", 0) == 0 ? name.substr(7) : std::string();
    if (!IsNumber(digits) || digits.size() > 4) return {};
    // One or two digits from 10 on are a major version ("proton_9", "proton_10"); more are a
    // major and a minor one ("proton_63" is 6.3, "proton_513" is 5.13).
    const int number = std::stoi(digits);
    if (digits.size() == 1 || (digits.size() == 2 && number >= 10 && number < 30)) return {"Proton " + digits + ".0"};
    return {"Proton " + digits.substr(0, 1) + "." + digits.substr(1)};
}

// One Steam installation: where it lies, the tool it was told to use for each game, its
// non-Steam games and the compatibility tools of its own.
struct Install {
    std::string dir;
    std::map<std::string, std::string> mapping;   // app id ("0": every other game) -> tool name
    std::map<std::string, std::string> shortcuts;  // compatdata folder -> the shortcut's app id
};

class SteamReader {
  public:
    SteamReader(Collector& c, const std::vector<std::string>& steamDirs) : m_c(c) {
        std::unordered_set<std::string> seen;
        for (const std::string& dir : steamDirs) {
            const std::string real = Resolved(dir);
            if (!real.empty() && IsFolder(dir) && seen.insert(real).second) m_installs.push_back({dir, {}, {}});
        }
    }

    void Run() {
        for (size_t i = 0; i < m_installs.size(); ++i) FindLibraries(i);
        for (Install& s : m_installs) ReadSettings(s);
        for (const auto& [library, install] : m_libraries) {
            const std::string compat = library + "/steamapps/compatdata";
            const std::vector<std::string> ids = m_c.Entries(compat);
            for (size_t k = 0; k < ids.size(); ++k) {
                // Past the cap, a prefix's files are not even read.
                if (m_c.Full("Steam")) {
                    m_c.PassOver(static_cast<int>(ids.size() - k));
                    break;
                }
                AddPrefix(compat + "/" + ids[k], ids[k], m_installs[install]);
            }
        }
    }

  private:
    // Every library an installation's lists name, each folder once over all installations, at
    // most kMaxLibraries.
    void FindLibraries(size_t install) {
        const std::string& steam = m_installs[install].dir;
        std::vector<std::string> named = {steam};
        for (const char* list : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"})
            if (const std::string* text = m_c.Read(steam + list))
                for (std::string& l : SteamLibraries(*text)) named.push_back(std::move(l));
        std::unordered_set<std::string> seen;
        for (const std::string& l : named) {
            if (!seen.insert(l).second) continue;
            const std::string real = Resolved(l);
            if (real.empty() || !m_resolved.insert(real).second) continue;
            if (m_libraries.size() == static_cast<size_t>(kMaxLibraries)) {
                ++m_c.Report().librariesPassedOver;
                continue;
            }
            m_libraries.emplace_back(l, install);
        }
    }

    // The tool Steam was told to use for each game, and the non-Steam games ("Add a Non-Steam
    // Game") of every user of the installation.
    void ReadSettings(Install& s) {
        if (const std::string* text = m_c.Read(s.dir + "/config/config.vdf")) {
            const KvNode root = ParseKeyValues(*text);
            const KvNode* n = &root;
            for (const char* key : {"InstallConfigStore", "Software", "Valve", "Steam", "CompatToolMapping"})
                if (n != nullptr) n = n->Child(key);
            if (n != nullptr)
                for (const KvNode& app : n->children)
                    if (app.block && !app.Text("name").empty()) s.mapping[app.key] = app.Text("name");
        }
        for (const std::string& user : m_c.Entries(s.dir + "/userdata")) {
            const std::string* data = m_c.Read(s.dir + "/userdata/" + user + "/config/shortcuts.vdf");
            if (data == nullptr) continue;
            const KvNode root = ParseBinaryKeyValues(*data);
            if (const KvNode* list = root.Child("shortcuts"))
                for (const KvNode& shortcut : list->children)
                    if (IsNumber(shortcut.Text("appid"))) s.shortcuts[shortcut.Text("appid")] = shortcut.Text("appid");
        }
    }

    void AddPrefix(const std::string& compat, const std::string& id, const Install& s) {
        PrefixCandidate p{compat + "/pfx", "Steam"};
        std::optional<Tool> tool;
        // The tool Steam was told to use, for the game or for every game, where it is installed.
        for (const std::string& key : {id, std::string("0")}) {
            const auto named = s.mapping.find(key);
            if (tool || named == s.mapping.end()) continue;
            tool = ToolNamed(named->second);
            if (tool) p.recorded = named->second;
            else if (p.recorded.empty()) p.recorded = named->second;
        }
        // Else the Proton that made the prefix.
        if (!tool) {
            std::optional<std::string> proton;
            if (const std::string* info = m_c.Read(compat + "/config_info", kSmallFileBound)) {
                proton = ProtonOfConfigInfo(*info);
            } else if (const std::string* version = m_c.Read(compat + "/version", kSmallFileBound)) {
                // Protons before 5.13 leave only the prefix's version: the one Proton that makes it.
                const std::string v = Trimmed(*version);
                p.recorded = "Proton " + v;
                std::vector<std::string> makers;
                for (const std::string& dir : Protons()) {
                    const std::string* script = m_c.Read(dir + "/proton");
                    if (script != nullptr && ProtonPrefixVersion(*script) == v) makers.push_back(dir);
                }
                if (makers.size() == 1) proton = makers[0];
            }
            if (proton) p.recorded = Basename(*proton);
            if (proton) tool = ReadTool(*proton);
        }
        if (tool && !tool->refused.empty()) {
            p.refused = tool->refused;
        } else if (tool) {
            // Inside the runtime Proton asks for, when it is installed.
            std::optional<Tool> runtime;
            if (!tool->requiredTool.empty()) runtime = Installed(tool->requiredTool);
            if (runtime && !runtime->refused.empty()) p.refused = runtime->refused;
            if (runtime) {
                p.start.argv = runtime->commandLine;
                p.programFolders.push_back(runtime->dir);
            }
            p.start.argv.insert(p.start.argv.end(), tool->commandLine.begin(), tool->commandLine.end());
            p.programFolders.push_back(tool->dir);
            // A non-Steam game runs as app 0, with the shortcut's id in the game id's high half.
            const auto shortcut = s.shortcuts.find(id);
            const std::string gameId = shortcut == s.shortcuts.end()
                                           ? id
                                           : std::to_string((std::stoull(shortcut->second) << 32) | 0x02000000u);
            p.start.env = {"STEAM_COMPAT_DATA_PATH=" + compat, "STEAM_COMPAT_CLIENT_INSTALL_PATH=" + s.dir,
                           "SteamAppId=" + (shortcut == s.shortcuts.end() ? id : std::string("0")),
                           "SteamGameId=" + gameId};
        }
        m_c.Add(std::move(p));
    }

    // The installed tool of a name Steam records: a compatibility tool of its own folders by the
    // name its compatibilitytool.vdf gives it, or one of Valve's by its folder in a library.
    std::optional<Tool> ToolNamed(const std::string& name) {
        const std::map<std::string, std::string>& custom = CustomTools();
        if (const auto it = custom.find(name); it != custom.end()) return ReadTool(it->second);
        for (const std::string& folder : ValveToolFolders(name))
            for (const auto& [library, install] : m_libraries) {
                (void)install;
                const std::string dir = library + "/steamapps/common/" + folder;
                if (IsFolder(dir)) return ReadTool(dir);
            }
        return std::nullopt;
    }

    // A Proton or runtime folder with its command line, read and checked once a run; a Proton
    // without a manifest (none had one before Steam's tool manifests) runs its script with the
    // verb. The program a manifest names must lie inside the tool's folder.
    std::optional<Tool> ReadTool(const std::string& dir) {
        const auto cached = m_tools.find(dir);
        if (cached != m_tools.end()) return cached->second;
        std::optional<ToolManifest> m;
        if (const std::string* text = m_c.Read(dir + "/toolmanifest.vdf", kManifestBound))
            m = ReadToolManifest(*text, dir, kVerb);
        if (!m && IsProgram(dir + "/proton")) m = ToolManifest{{dir + "/proton", kVerb}, {}};
        std::optional<Tool> tool;
        if (m && !m->commandLine.empty() && IsProgram(m->commandLine[0])) {
            tool = Tool{dir, std::move(m->commandLine), std::move(m->requiredTool), {}};
            const std::string real = Resolved(tool->commandLine[0]), home = Resolved(dir);
            if (home.empty() || real.rfind(home + "/", 0) != 0)
                tool->refused = "the program " + tool->commandLine[0] + " that " + dir +
                                "/toolmanifest.vdf names lies outside that tool's folder.";
        }
        m_tools.emplace(dir, tool);
        return tool;
    }

    // The tool of an app id, as the app manifest of some library names its folder.
    std::optional<Tool> Installed(const std::string& appId) {
        for (const auto& [library, install] : m_libraries) {
            (void)install;
            const std::string* acf = m_c.Read(library + "/steamapps/appmanifest_" + appId + ".acf", kManifestBound);
            if (acf == nullptr) continue;
            const KvNode root = ParseKeyValues(*acf);
            const KvNode* state = root.children.empty() ? nullptr : &root.children.front();
            const std::string dir = state ? state->Text("installdir") : std::string();
            if (!dir.empty() && dir.find('/') == std::string::npos && dir != "..")
                return ReadTool(library + "/steamapps/common/" + dir);
        }
        return std::nullopt;
    }

    // The folders compatibility tools are installed in: each installation's own and the system's.
    std::vector<std::string> ToolRoots() const {
        std::vector<std::string> roots;
        for (const Install& s : m_installs) roots.push_back(s.dir + "/compatibilitytools.d");
        roots.push_back("/usr/share/steam/compatibilitytools.d");
        roots.push_back("/usr/local/share/steam/compatibilitytools.d");
        return roots;
    }

    // The compatibility tools of those folders, by the names their compatibilitytool.vdf gives.
    const std::map<std::string, std::string>& CustomTools() {
        if (m_customRead) return m_custom;
        m_customRead = true;
        for (const std::string& root : ToolRoots())
            for (const std::string& n : m_c.Entries(root)) {
                const std::string dir = root + "/" + n;
                const std::string* text = m_c.Read(dir + "/compatibilitytool.vdf", kManifestBound);
                if (text == nullptr) continue;
                const KvNode doc = ParseKeyValues(*text);
                const KvNode* tools = doc.Child("compatibilitytools");
                tools = tools ? tools->Child("compat_tools") : nullptr;
                for (const KvNode& t : tools ? tools->children : std::vector<KvNode>()) {
                    const std::string path = t.Text("install_path");
                    if (!t.block || path.empty() || path.find("..") != std::string::npos) continue;
                    m_custom.emplace(t.key, path == "." ? dir : path.front() == '/' ? path : dir + "/" + path);
                }
            }
        return m_custom;
    }

    // Every Proton installed: in each library's common folder and the compatibility tools'.
    const std::vector<std::string>& Protons() {
        if (m_protonsRead) return m_protons;
        m_protonsRead = true;
        std::vector<std::string> roots;
        for (const auto& [library, install] : m_libraries) {
            (void)install;
            roots.push_back(library + "/steamapps/common");
        }
        for (const std::string& r : ToolRoots()) roots.push_back(r);
        for (const std::string& root : roots)
            for (const std::string& n : m_c.Entries(root))
                if (IsProgram(root + "/" + n + "/proton")) m_protons.push_back(root + "/" + n);
        return m_protons;
    }

    static std::string Trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
        return s;
    }

    Collector& m_c;
    std::vector<Install> m_installs;
    std::vector<std::pair<std::string, size_t>> m_libraries;  // each with its installation
    std::unordered_set<std::string> m_resolved;               // the libraries' real folders
    std::map<std::string, std::optional<Tool>> m_tools;        // by folder
    std::map<std::string, std::string> m_custom;
    bool m_customRead = false;
    std::vector<std::string> m_protons;
    bool m_protonsRead = false;
};

}  // namespace

std::vector<std::string> SteamLibraries(std::string_view libraryList) {
    std::vector<std::string> libraries;
    const KvNode root = ParseKeyValues(libraryList);
    for (const KvNode& top : root.children) {
        for (const KvNode& entry : top.children) {
            if (!entry.block && IsNumber(entry.key) && !entry.value.empty())
                libraries.push_back(entry.value);  // before 2021: the key's value is the path
            else if (entry.block && !entry.Text("path").empty())
                libraries.push_back(entry.Text("path"));
        }
    }
    return libraries;
}

std::optional<std::string> ProtonOfConfigInfo(std::string_view configInfo) {
    const size_t first = configInfo.find('\n');
    if (first == std::string_view::npos) return std::nullopt;
    std::string_view line = configInfo.substr(first + 1);
    line = line.substr(0, line.find('\n'));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.back() == '/') line.remove_suffix(1);
    // From the end: a library may itself lie under a folder named files or dist.
    for (std::string_view suffix : {"/files/share/fonts", "/dist/share/fonts"})
        if (line.size() > suffix.size() && line.ends_with(suffix) && line.front() == '/')
            return std::string(line.substr(0, line.size() - suffix.size()));
    return std::nullopt;
}

std::optional<std::string> ProtonPrefixVersion(std::string_view protonScript) {
    constexpr std::string_view kKey = "CURRENT_PREFIX_VERSION=\"";
    for (size_t at = protonScript.find(kKey); at != std::string_view::npos;
         at = protonScript.find(kKey, at + 1)) {
        if (at != 0 && protonScript[at - 1] != '\n') continue;
        const size_t start = at + kKey.size();
        const size_t end = protonScript.find('"', start);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(protonScript.substr(start, end - start));
    }
    return std::nullopt;
}

std::optional<ToolManifest> ReadToolManifest(std::string_view manifest, const std::string& toolDir,
                                             std::string_view verb) {
    const KvNode root = ParseKeyValues(manifest);
    const KvNode* m = root.Child("manifest");
    if (m == nullptr || m->Text("commandline").empty()) return std::nullopt;
    ToolManifest tool;
    tool.requiredTool = m->Text("require_tool_appid");
    const std::string line = m->Text("commandline");
    for (size_t pos = 0; pos < line.size();) {
        const size_t end = std::min(line.find(' ', pos), line.size());
        std::string word = line.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty()) continue;
        for (size_t v = word.find("%verb%"); v != std::string::npos; v = word.find("%verb%"))
            word.replace(v, 6, verb);
        if (tool.commandLine.empty() && word.front() == '/') word = toolDir + word;
        tool.commandLine.push_back(std::move(word));
    }
    return tool;
}

void ReadSteam(Collector& c, const std::vector<std::string>& steamDirs) {
    SteamReader(c, steamDirs).Run();
}

}  // namespace sx::os::wine
