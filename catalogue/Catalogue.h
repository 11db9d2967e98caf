// Game location and the category folders of the mission list.
#pragma once

#include <optional>
#include <string>

namespace sx {

inline constexpr const char* kGameKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe";
inline constexpr const char* kGameNotDetected = "Vantorra not detected on your machine";
inline constexpr const char* kNoGameDir = "none";
inline constexpr const char* kSingleMissionsDir = "\\Data\\Missions";
inline constexpr const char* kCampaignMissionsDir = "\\Data\\Campaigns";
inline constexpr const char* kMissionPattern = "*.mis";
inline constexpr const char* kMissionFilter = "Vantorra Mission (*.mis)|*.mis||";

// The folder of a category; nothing for a value that is no category.
std::optional<std::string> CategoryFolder(int category, const std::string& gameDir,
                                          const std::string& customDir);

// The folder of a path chosen in the file dialog: the path without its file name and without
// the separator before it.
std::string FolderOfChoice(const std::string& pathName, const std::string& fileName);

}  // namespace sx
