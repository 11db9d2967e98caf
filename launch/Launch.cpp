// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/Launch.h"

#include <cstdio>

#include "catalogue/Catalogue.h"
#include "os/Paths.h"

namespace sx {

std::string MissionPath(int category, const std::string& gameDir, const std::string& customDir,
                        const std::string& name) {
    // A folder the program holds as a host path (one no Windows path can name) is joined the
    // host's way.
    if (auto folder = CategoryFolder(category, gameDir, customDir))
        return *folder + (!folder->empty() && folder->front() == '/' ? "/" : "\\") + name;
    return name;
}

std::string FormatMissionTime(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[64];
    std::snprintf(text, sizeof text, "Total Mission Time : %02lld:%02lld:%02lld",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string CannotStartMessage(const os::StartResult& r) {
    switch (r.failure) {
        case os::StartFailure::NotFound:
            return "Vantorra cannot be started:\nvnt.exe was not found in the game folder.";
        case os::StartFailure::NoWine:
            return "Vantorra cannot be started:\nit is a Windows program, and Wine is not "
                   "installed.";
        case os::StartFailure::NoFailure:
        case os::StartFailure::Failed:
            break;
    }
    return "Vantorra cannot be started:\n" + r.message;
}

std::optional<std::string> StartQuestion(const std::string& gameDir) {
    const std::optional<os::WineSubstitution> s = os::SubstituteWine(gameDir, kGameExecutable);
    if (!s) return std::nullopt;
    return s->tool + " made this game's prefix for " + s->recorded +
           ", which is not installed.\nStart the game with " + s->instead +
           " instead?\nAnother Wine may upgrade the prefix so that " + s->tool +
           " can no longer use it.";
}

os::StartResult StartGameAlone(const std::string& gameDir) {
    os::ChangeDir(gameDir);
    return os::StartProgram(gameDir, kGameExecutable, {});
}

MissionRun RunMission(const std::string& gameDir, const std::string& missionPath,
                      const WaitForEnd& waitForEnd) {
    MissionRun run;
    os::ChangeDir(gameDir);
    const int64_t start = os::MonotonicMilliseconds();
    os::RunningProgram game;
    run.start =
        os::StartProgram(gameDir, kGameExecutable, {{kMissionSwitch}, {missionPath, true}}, &game);
    if (run.start.started) waitForEnd([&game] { return game.HasEnded(); });
    // The run's length in whole seconds: a run of 0.9 s reads 00:00:00 whenever it starts.
    run.seconds = (os::MonotonicMilliseconds() - start) / 1000;
    return run;
}

}  // namespace sx
