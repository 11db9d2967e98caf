// SPDX-License-Identifier: GPL-3.0-or-later
// Heroic: the prefix of each game's settings, under the Wine or the Proton they name, started as
// Heroic starts it.
#include <nlohmann/json.hpp>

#include "os/wine/Tools.h"

namespace sx::os::wine {

namespace {
std::string Member(const nlohmann::json& object, const char* key) {
    return object.is_object() && object.contains(key) && object[key].is_string()
               ? object[key].get<std::string>()
               : std::string();
}
}  // namespace

void ReadHeroic(Collector& c, const std::string& configDir, const std::string& steamDir,
                bool flatpak) {
    const std::string folder = configDir + "/GamesConfig";
    for (const std::string& n : c.Entries(folder)) {
        if (!n.ends_with(".json")) continue;
        const auto text = c.Read(folder + "/" + n);
        if (!text) continue;
        const nlohmann::json doc = nlohmann::json::parse(*text, nullptr, false);
        if (!doc.is_object()) continue;
        for (const auto& [app, game] : doc.items()) {
            const std::string winePrefix = ExpandHome(Member(game, "winePrefix"), c.Roots());
            if (winePrefix.empty()) continue;
            const nlohmann::json version =
                game.contains("wineVersion") ? game["wineVersion"] : nlohmann::json();
            const std::string bin = ExpandHome(Member(version, "bin"), c.Roots());
            const bool proton = Member(version, "type") == "proton";
            // A Proton's prefix is the pfx folder of the folder Heroic names.
            PrefixCandidate p{proton ? winePrefix + "/pfx" : winePrefix, "Heroic"};
            p.recorded = Member(version, "name");
            if (p.recorded.empty()) p.recorded = bin;
            const bool onDisk = IsProgram(bin) && !(flatpak && InsideSandbox(bin));
            if (onDisk && proton) {
                p.start.argv = {bin, "run"};
                p.start.env = {"STEAM_COMPAT_DATA_PATH=" + winePrefix};
                if (!steamDir.empty())
                    p.start.env.push_back("STEAM_COMPAT_CLIENT_INSTALL_PATH=" + steamDir);
                p.programFolders = {bin.substr(0, bin.find_last_of('/'))};
            } else if (onDisk) {
                StartUnderWine(p, bin);
            }
            c.Add(std::move(p));
        }
    }
}

}  // namespace sx::os::wine
