// Starting the game, alone or on the selected mission, and timing a mission run.
#include "launch/Launch.h"

#include <cstdio>

#include "app/LauncherDlg.h"
#include "catalogue/Catalogue.h"
#include "platform/Os.h"
#include "results/ResultsDlg.h"

namespace sx {

std::string MissionPath(int category, const std::string& gameDir, const std::string& customDir,
                        const std::string& name) {
    if (auto folder = CategoryFolder(category, gameDir, customDir)) return *folder + "\\" + name;
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

}  // namespace sx

using namespace sx;

namespace {

// Why the game did not start, in the user's words.
std::string CannotStartMessage(const os::SpawnResult& r) {
    switch (r.failure) {
        case os::StartFailure::NotFound:
            return "Vantorra cannot be started:\nvnt.exe was not found in the game folder.";
        case os::StartFailure::NoWine:
            return "Vantorra cannot be started:\nit is a Windows program, and Wine is not "
                   "installed.";
        case os::StartFailure::None:
        case os::StartFailure::Failed:
            break;
    }
    return "Vantorra cannot be started:\n" + r.message;
}

}  // namespace

void CLauncherDlg::OnLaunchGame() {
    os::ChangeDir(m_strGameDir);
    const os::SpawnResult started = os::StartGame(kGameExecutable, {}, false);
    if (!started.started) MessageBox(CannotStartMessage(started));
}

void CLauncherDlg::OnLaunchMission() {
    const std::string path =
        MissionPath(m_nCategory, m_strGameDir, m_strCustomDir, SelectedMission());
    if (!os::PathExists(path)) {
        MessageBox(kMissionNotLocated);
        return;
    }
    os::ChangeDir(m_strGameDir);
    const int64_t start = os::MonotonicMilliseconds();
    const os::SpawnResult run = os::StartGame(kGameExecutable, {kMissionSwitch, path}, true);
    if (!run.started) {
        MessageBox(CannotStartMessage(run));
        return;
    }
    const int64_t end = os::MonotonicMilliseconds();
    // The run's length in whole seconds: a run of 0.9 s reads 00:00:00 whenever it starts.
    const std::string text = FormatMissionTime((end - start) / 1000) + kResultsQuestion;
    if (MessageBox(text, kLaunchCaption, MB_YESNO) == IDYES) {
        CResultsDlg results;
        results.m_strGameDir = m_strGameDir;
        results.DoModal();
    }
}
