// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the game, alone or on a mission, and the mission time report.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "os/Process.h"

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

// Why the game did not start, in the user's words.
std::string CannotStartMessage(const os::StartResult& result);

// The question to ask before the game starts, when the Wine the tool that made its prefix
// records is not installed (or not named) and another Wine would start it; nothing otherwise.
// No is the default answer, and starts nothing.
std::optional<std::string> StartQuestion(const std::string& gameDir);

// Starts the game on its own from the game folder; returns at once.
os::StartResult StartGameAlone(const std::string& gameDir);

struct MissionRun {
    os::StartResult start;
    int64_t seconds = 0;  // how long the game ran, in whole seconds
};

// Waits until ended() holds: the caller's way of waiting (its windows may go on answering).
using WaitForEnd = std::function<void(const std::function<bool()>& ended)>;

// Starts the game from the game folder straight into the mission, and waits for it to end.
MissionRun RunMission(const std::string& gameDir, const std::string& missionPath,
                      const WaitForEnd& waitForEnd);

}  // namespace sx
