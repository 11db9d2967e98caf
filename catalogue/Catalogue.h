// SPDX-License-Identifier: GPL-3.0-or-later
// Game location and the mission catalogue: where the game is, which folder each category of
// missions lies in, and which missions a folder holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sx {

inline constexpr const char* kGameKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe";
inline constexpr const char* kGameNotDetected = "Vantorra not detected on your machine";
inline constexpr const char* kNoGameDir = "none";
inline constexpr const char* kSingleMissionsDir = "\\Data\\Missions";
inline constexpr const char* kCampaignMissionsDir = "\\Data\\Campaigns";
inline constexpr const char* kMissionPattern = "*.mis";
inline constexpr const char* kMissionExtension = "mis";
inline constexpr const char* kMissionFilter = "Vantorra Mission (*.mis)|*.mis||";

// The index of the checked category button.
enum MissionCategory : int {
    kSingleMissions = 0,
    kCampaignMissions = 1,
    kCustomMissions = 2,
};

// What the registry says of the game.
struct GameLocation {
    bool found = false;   // false: the key is missing, and gameDir is "none"
    std::string gameDir;  // the "Path" value, else the unnamed value, else empty
};
GameLocation LookUpGame();

// The folder of a category; nothing for a value that is no category.
std::optional<std::string> CategoryFolder(int category, const std::string& gameDir,
                                          const std::string& customDir);

// The folder of a path chosen in the file dialog: the path without its file name and without
// the separator before it.
std::string FolderOfChoice(const std::string& pathName, const std::string& fileName);

// The missions of the current folder, sorted as the mission list sorts them (without regard
// to case; equal names keep the folder's order), so that adding them in this order puts each at
// the end of the list.
std::vector<std::string> ListMissions();

}  // namespace sx
