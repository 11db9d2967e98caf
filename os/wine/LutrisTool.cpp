// SPDX-License-Identifier: GPL-3.0-or-later
// Lutris: the prefix of each game's settings, under the Wine the game (or Lutris' settings for
// its Wine runner) names.
#include "os/wine/Tools.h"

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

}  // namespace

void ReadLutris(Collector& c, const std::string& configDir, const std::string& dataDir,
                bool flatpak) {
    // Older installs keep their settings in the config folder, newer ones beside their data.
    const std::string settings = IsFolder(configDir) ? configDir : dataDir;
    std::vector<std::string> runner(2);
    if (const auto text = c.Read(settings + "/runners/wine.yml"))
        runner = YamlTexts(*text, {{"wine", "version"}, {"wine", "custom_wine_path"}});
    for (const std::string& n : c.Entries(settings + "/games")) {
        if (!n.ends_with(".yml") && !n.ends_with(".yaml")) continue;
        const auto text = c.Read(settings + "/games/" + n);
        if (!text) continue;
        const std::vector<std::string> game = YamlTexts(
            *text, {{"game", "prefix"}, {"wine", "version"}, {"wine", "custom_wine_path"}});
        PrefixCandidate p{ExpandHome(game[0], c.Roots()), "Lutris"};
        const bool own = !game[1].empty();
        p.recorded = own ? game[1] : runner[0];
        if (!p.recorded.empty()) {
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
