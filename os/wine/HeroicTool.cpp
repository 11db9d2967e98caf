// SPDX-License-Identifier: GPL-3.0-or-later
// Heroic: the prefix of each game's settings, under the Wine or the Proton they name, started as
// Heroic starts it: a Proton through umu unless the settings turn umu off.
#include <nlohmann/json.hpp>

#include "os/wine/Tools.h"
#include "os/wine/Wine.h"

namespace sx::os::wine {

namespace {
std::string Member(const nlohmann::json& object, const char* key) {
    return object.is_object() && object.contains(key) && object[key].is_string()
               ? object[key].get<std::string>()
               : std::string();
}

// A setting's true or false; nothing where it holds no boolean.
std::optional<bool> Flag(const nlohmann::json& object, const char* key) {
    if (!object.is_object() || !object.contains(key) || !object[key].is_boolean()) return std::nullopt;
    return object[key].get<bool>();
}

nlohmann::json Parsed(const std::string* text) {
    return text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
}

// The store a game comes from, as umu is told it: the store whose list of installed games holds
// the game's name ("none" for one added by hand).
std::string StoreOf(Collector& c, const std::string& configDir, const std::string& app) {
    const nlohmann::json epic = Parsed(c.Read(configDir + "/legendaryConfig/legendary/installed.json"));
    if (epic.is_object() && epic.contains(app)) return "egs";
    const nlohmann::json gog = Parsed(c.Read(configDir + "/gog_store/installed.json"));
    if (gog.is_object() && gog.contains("installed") && gog["installed"].is_array())
        for (const auto& g : gog["installed"])
            if (Member(g, "appName") == app) return "gog";
    const nlohmann::json amazon = Parsed(c.Read(configDir + "/nile_config/nile/installed.json"));
    if (amazon.is_array())
        for (const auto& g : amazon)
            if (Member(g, "id") == app) return "amazon";
    return "none";
}
}  // namespace

void ReadHeroic(Collector& c, const std::string& configDir, const std::string& steamDir,
                bool flatpak) {
    const std::string folder = configDir + "/GamesConfig";
    // umu is on by default; Heroic's settings may turn it off for every game.
    const nlohmann::json settings = Parsed(c.Read(configDir + "/config.json"));
    const std::optional<bool> offForAll =
        settings.is_object() && settings.contains("defaultSettings") ? Flag(settings["defaultSettings"], "disableUMU")
                                                                     : std::nullopt;
    const std::vector<std::string> names = c.Entries(folder);
    for (size_t k = 0; k < names.size(); ++k) {
        const std::string& n = names[k];
        if (c.Full("Heroic")) {
            c.PassOver(static_cast<int>(names.size() - k));
            break;
        }
        if (!n.ends_with(".json")) continue;
        const std::string* text = c.Read(folder + "/" + n);
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
            const bool umuOff = Flag(game, "disableUMU").value_or(offForAll.value_or(false));
            if (onDisk && proton && !umuOff) {
                std::string umu = FindOnPath("umu-run");
                if (umu.empty() && IsProgram(configDir + "/tools/runtimes/umu/umu_run.py"))
                    umu = configDir + "/tools/runtimes/umu/umu_run.py";
                if (umu.empty())
                    p.recorded = "umu-launcher (for " + p.recorded + ")";
                else
                    StartUnderUmu(p, c.Roots(), umu, winePrefix, bin.substr(0, bin.find_last_of('/')),
                                  {"GAMEID=umu-0", "STORE=" + StoreOf(c, configDir, app)});
            } else if (onDisk && proton) {
                p.start.argv = {bin, "waitforexitandrun"};
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
