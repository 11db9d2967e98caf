// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's launch buttons: the game alone, or the game on the selected mission with
// the run timed and its results offered.
#include "launch/Launch.h"
#include "app/LauncherDlg.h"
#include "app/ResultsDlg.h"
#include "os/Paths.h"
#include "ui/Wait.h"

using namespace sx;
using namespace sx::ui;

namespace {
// Asks before the game starts where starting it could harm a prefix another tool manages; No,
// the default, starts nothing.
bool MayStart(CDialog& dlg, const std::string& gameDir) {
    const std::optional<std::string> question = StartQuestion(gameDir);
    return !question || dlg.ShowMessageBox(*question, nullptr, MbYesNo | MbDefaultSecond) == IdYes;
}
}  // namespace

void CLauncherDlg::OnLaunchGame() {
    if (!MayStart(*this, m_strGameDir)) return;
    const os::StartResult started = StartGameAlone(m_strGameDir);
    if (!started.started) ShowMessageBox(CannotStartMessage(started));
}

void CLauncherDlg::OnLaunchMission() {
    const std::string path =
        MissionPath(m_nCategory, m_strGameDir, m_strCustomDir, SelectedMission());
    if (!os::PathExists(path)) {
        ShowMessageBox(kMissionNotLocated);
        return;
    }
    if (!MayStart(*this, m_strGameDir)) return;
    // The launcher waits for the game to end, its windows disabled but painting and answering
    // the window system, so that nobody is offered to kill it meanwhile.
    const MissionRun run = RunMission(m_strGameDir, path, [](const std::function<bool()>& ended) {
        ui::WaitKeepingWindowsAlive(ended);
    });
    if (!run.start.started) {
        ShowMessageBox(CannotStartMessage(run.start));
        return;
    }
    const std::string text = FormatMissionTime(run.seconds) + kResultsQuestion;
    if (ShowMessageBox(text, kLaunchCaption, MbYesNo) == IdYes) {
        CResultsDlg results;
        results.m_strGameDir = m_strGameDir;
        results.DoModal();
    }
}
