// SPDX-License-Identifier: GPL-3.0-or-later
// Lutris: the prefix of each game's settings, under the Wine the game (or Lutris' settings for
// its Wine runner) names.
#include "os/wine/Tools.h"
#include "os/wine/Wine.h"

namespace sx::os::wine {

namespace {

// The Wine a version of Lutris' Wine runner names: where it lies, and whether it is the system's.
struct LutrisWine {
    std::string program;  // empty: not on disk
    bool system = false;
};

LutrisWine WineOfVersion(const std::string& version, const std::string& customPath,
                         const std::string& dataDir, bool flatpak, const SearchRoots& roots) {
    if (version == "system") return {{}, !flatpak};  // a Flatpak's system Wine is its own
    std::string program;
    if (version == "winehq-devel") program = "/opt/wine-devel/bin/wine";
    if (version == "winehq-staging") program = "/opt/wine-staging/bin/wine";
    if (version == "custom") program = ExpandHome(customPath, roots);
    if (!program.empty()) return {IsProgram(program) && !InsideSandbox(program) ? program : ""};
    // A runner folder of Lutris' own: whichever layout its build has, whatever its name says.
    return {RunnerWine(dataDir + "/runners/wine/" + version)};
}

// The folder of a Proton version Lutris names: one of its own runners, else one of Steam's.
std::string ProtonFolder(const std::string& version, const std::string& dataDir, const SearchRoots& roots) {
    if (version.find('/') != std::string::npos || version == "..") return {};
    for (const std::string& root :
         {dataDir + "/runners/wine", dataDir + "/runners/proton", roots.home + "/.steam/root/compatibilitytools.d",
          roots.dataHome + "/Steam/compatibilitytools.d", roots.home + "/.steam/root/steamapps/common",
          roots.dataHome + "/Steam/steamapps/common"}) {
        const std::string folder = root + "/" + version;
        if (IsProgram(folder + "/proton") || !RunnerWine(folder).empty()) return folder;
    }
    return {};
}

// The umu Lutris takes: its own runtime's, else umu-run on the PATH.
std::string Umu(const std::string& dataDir) {
    for (const char* entry : {"/runtime/umu/umu_run.py", "/runtime/umu/umu-run"})
        if (IsProgram(dataDir + entry)) return dataDir + entry;
    return FindOnPath("umu-run");
}

}  // namespace

void ReadLutris(Collector& c, const std::string& configDir, const std::string& dataDir,
                bool flatpak) {
    // Older installs keep their settings in the config folder, newer ones beside their data.
    const std::string settings = IsFolder(configDir) ? configDir : dataDir;
    std::vector<std::string> runner(2);
    if (const auto text = c.Read(settings + "/runners/wine.yml"))
        runner = YamlTexts(*text, {{"wine", "version"}, {"wine", "custom_wine_path"}});
    const std::vector<std::string> names = c.Entries(settings + "/games");
    for (size_t k = 0; k < names.size(); ++k) {
        const std::string& n = names[k];
        if (c.Full("Lutris")) {
            c.PassOver(static_cast<int>(names.size() - k));
            break;
        }
        if (!n.ends_with(".yml") && !n.ends_with(".yaml")) continue;
        const auto text = c.Read(settings + "/games/" + n);
        if (!text) continue;
        const std::vector<std::string> game = YamlTexts(
            *text, {{"game", "prefix"}, {"wine", "version"}, {"wine", "custom_wine_path"}});
        PrefixCandidate p{ExpandHome(game[0], c.Roots()), "Lutris"};
        const bool own = !game[1].empty();
        p.recorded = own ? game[1] : runner[0];
        if (IsLutrisProton(p.recorded)) {
            // Lutris runs every Proton through umu, "ge-proton" as the latest GE-Proton umu fetches.
            const bool latest = p.recorded == "ge-proton" || p.recorded.rfind("GE-Proton (", 0) == 0;
            const std::string proton = latest ? "GE-Proton" : ProtonFolder(p.recorded, dataDir, c.Roots());
            const std::string umu = Umu(dataDir);
            if (umu.empty())
                p.recorded = "umu-launcher (for " + p.recorded + ")";
            else if (!proton.empty())
                StartUnderUmu(p, c.Roots(), umu, p.path, proton, {"GAMEID=umu-default", "WINEARCH=win64"});
        } else if (!p.recorded.empty()) {
            const LutrisWine wine = WineOfVersion(p.recorded, own ? game[2] : runner[1], dataDir,
                                                  flatpak, c.Roots());
            p.systemWine = wine.system;
            if (!wine.program.empty()) StartUnderWine(p, wine.program);
            if (p.recorded == "system" && flatpak) p.recorded = "the Wine of its Flatpak";
            if (p.recorded == "custom") p.recorded = own ? game[2] : runner[1];
        }
        c.Add(std::move(p));
    }
}

}  // namespace sx::os::wine
