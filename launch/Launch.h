// Building what the game is started with, and the mission time report.
#pragma once

#include <cstdint>
#include <string>

namespace sx {

inline constexpr const char* kGameExecutable = "vnt.exe";
inline constexpr const char* kMissionSwitch = "-m";
inline constexpr const char* kMissionNotLocated =
    "The selected mission cannot be located\n Vantorra will not be launched";
inline constexpr const char* kResultsQuestion = "\nWould you like to view the results table ?";
inline constexpr const char* kLaunchCaption = "Sortilex";

// The full path of the selected mission: the category's folder, one backslash, the name.
std::string MissionPath(int category, const std::string& gameDir, const std::string& customDir,
                        const std::string& name);

// "Total Mission Time : HH:MM:SS". Hours are counted in full, so a run of more than a day is
// not shortened; a span below zero (which a monotonic clock never gives) reads as zero.
std::string FormatMissionTime(int64_t seconds);

}  // namespace sx
