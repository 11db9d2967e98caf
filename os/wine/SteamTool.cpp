// SPDX-License-Identifier: GPL-3.0-or-later
// Steam: the prefix of each game Proton ran, in every library of the library lists, under the
// Proton that made it, started as Steam starts it: through Proton's own script, inside the Steam
// Linux Runtime that Proton asks for.
#include <algorithm>
#include <climits>
#include <cstdlib>
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

// A Proton or a runtime on disk: its folder and its command line.
struct Tool {
    std::string dir;
    std::vector<std::string> commandLine;
    std::string requiredTool;
};

class SteamReader {
  public:
    SteamReader(Collector& c, const std::string& steamDir) : m_c(c), m_steam(steamDir) {}

    void Run() {
        FindLibraries();
        for (const std::string& library : m_libraries) {
            const std::string compat = library + "/steamapps/compatdata";
            for (const std::string& id : m_c.Entries(compat)) AddPrefix(compat + "/" + id, id);
        }
    }

  private:
    // The Steam folder and every library its lists name, each folder once, at most kMaxLibraries.
    void FindLibraries() {
        std::vector<std::string> named = {m_steam};
        for (const char* list : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"})
            if (const auto text = m_c.Read(m_steam + list))
                for (std::string& l : SteamLibraries(*text)) named.push_back(std::move(l));
        std::unordered_set<std::string> seen, resolved;
        for (const std::string& l : named) {
            if (!seen.insert(l).second) continue;
            if (m_libraries.size() == static_cast<size_t>(kMaxLibraries)) {
                ++m_c.Report().librariesPassedOver;
                continue;
            }
            const std::string real = Resolved(l);
            if (!real.empty() && resolved.insert(real).second) m_libraries.push_back(l);
        }
    }

    void AddPrefix(const std::string& compat, const std::string& id) {
        PrefixCandidate p{compat + "/pfx", "Steam"};
        std::optional<std::string> proton;
        if (const auto info = m_c.Read(compat + "/config_info", kSmallFileBound)) {
            proton = ProtonOfConfigInfo(*info);
        } else if (const auto version = m_c.Read(compat + "/version", kSmallFileBound)) {
            // Protons before 5.13 leave only the prefix's version: the one Proton that makes it.
            const std::string v = Trimmed(*version);
            p.recorded = "Proton " + v;
            std::vector<std::string> makers;
            for (const Tool& t : Protons())
                if (ProtonPrefixVersion(m_c.Read(t.dir + "/proton").value_or("")) == v)
                    makers.push_back(t.dir);
            if (makers.size() == 1) proton = makers[0];
        }
        if (proton) p.recorded = Basename(*proton);
        if (const std::optional<Tool> tool = proton ? ReadTool(*proton) : std::nullopt) {
            // Inside the runtime Proton asks for, when it is installed.
            std::optional<Tool> runtime;
            if (!tool->requiredTool.empty()) runtime = Installed(tool->requiredTool);
            if (runtime) {
                p.start.argv = runtime->commandLine;
                p.programFolders.push_back(runtime->dir);
            }
            p.start.argv.insert(p.start.argv.end(), tool->commandLine.begin(), tool->commandLine.end());
            p.programFolders.push_back(tool->dir);
            p.start.env = {"STEAM_COMPAT_DATA_PATH=" + compat,
                           "STEAM_COMPAT_CLIENT_INSTALL_PATH=" + m_steam, "SteamAppId=" + id,
                           "SteamGameId=" + id};
        }
        m_c.Add(std::move(p));
    }

    // A Proton or runtime folder with its command line; a Proton without a manifest (none had
    // one before Steam's tool manifests) runs its script with the verb.
    std::optional<Tool> ReadTool(const std::string& dir) {
        std::optional<ToolManifest> m;
        if (const auto text = m_c.Read(dir + "/toolmanifest.vdf")) m = ReadToolManifest(*text, dir, kVerb);
        if (!m && IsProgram(dir + "/proton")) m = ToolManifest{{dir + "/proton", kVerb}, {}};
        if (!m || m->commandLine.empty() || !IsProgram(m->commandLine[0])) return std::nullopt;
        return Tool{dir, std::move(m->commandLine), std::move(m->requiredTool)};
    }

    // The tool of an app id, as the app manifest of some library names its folder.
    std::optional<Tool> Installed(const std::string& appId) {
        for (const std::string& library : m_libraries) {
            const auto acf = m_c.Read(library + "/steamapps/appmanifest_" + appId + ".acf");
            if (!acf) continue;
            const KvNode root = ParseKeyValues(*acf);
            const KvNode* state = root.children.empty() ? nullptr : &root.children.front();
            const std::string dir = state ? state->Text("installdir") : std::string();
            if (!dir.empty() && dir.find('/') == std::string::npos)
                return ReadTool(library + "/steamapps/common/" + dir);
        }
        return std::nullopt;
    }

    // Every Proton installed: in each library's common folder, Steam's own compatibility tools
    // and the system's.
    const std::vector<Tool>& Protons() {
        if (m_protonsRead) return m_protons;
        m_protonsRead = true;
        std::vector<std::string> roots;
        for (const std::string& l : m_libraries) roots.push_back(l + "/steamapps/common");
        roots.push_back(m_steam + "/compatibilitytools.d");
        roots.push_back("/usr/share/steam/compatibilitytools.d");
        roots.push_back("/usr/local/share/steam/compatibilitytools.d");
        for (const std::string& root : roots)
            for (const std::string& n : m_c.Entries(root))
                if (IsProgram(root + "/" + n + "/proton")) m_protons.push_back({root + "/" + n, {}, {}});
        return m_protons;
    }

    static std::string Trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
        return s;
    }

    Collector& m_c;
    std::string m_steam;
    std::vector<std::string> m_libraries;
    std::vector<Tool> m_protons;
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

void ReadSteam(Collector& c, const std::string& steamDir) {
    if (!IsFolder(steamDir)) return;
    SteamReader(c, steamDir).Run();
}

}  // namespace sx::os::wine
