// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"

#include <algorithm>
#include <utility>

#include "base/Text.h"
#include "os/Paths.h"
#include "os/Registry.h"

namespace sx {

GameLocation LookUpGame() {
    GameLocation where;
    os::RegistryKey key;
    if (!key.OpenMachineKey(kGameKey, {"", "Path"})) {
        where.gameDir = kNoGameDir;
        return where;
    }
    where.found = true;
    // "Path" is the game's folder; without it the unnamed value (the executable's full path, by
    // the registry's convention) is all there is.
    key.QueryValue("", where.gameDir);
    key.QueryValue("Path", where.gameDir);
    key.Close();
    return where;
}

std::optional<std::string> CategoryFolder(int category, const std::string& gameDir,
                                          const std::string& customDir) {
    switch (category) {
        case kSingleMissions:
            return gameDir + kSingleMissionsDir;
        case kCampaignMissions:
            return gameDir + kCampaignMissionsDir;
        case kCustomMissions:
            return customDir;
        default:
            return std::nullopt;
    }
}

std::string FolderOfChoice(const std::string& pathName, const std::string& fileName) {
    if (pathName.size() < fileName.size() + 1) return std::string();
    return pathName.substr(0, pathName.size() - fileName.size() - 1);
}

std::vector<std::string> ListMissions() {
    std::vector<std::pair<std::string, std::string>> keyed;  // folded key, name
    for (std::string& name : os::FindFiles(kMissionPattern)) {
        std::string key = FoldedKey(name);
        keyed.emplace_back(std::move(key), std::move(name));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& entry : keyed) names.push_back(std::move(entry.second));
    return names;
}

}  // namespace sx
