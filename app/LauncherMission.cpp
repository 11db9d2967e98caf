// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's operations on the selected mission file: briefing, callsign, rewrite.
#include "app/LauncherDlg.h"
#include "missionfile/MissionText.h"
#include "ui/Wait.h"

#include <utility>

using namespace sx;

std::string CLauncherDlg::MissionInFolder() {
    // Without the category's folder there is no mission: "" is found nowhere.
    std::string name = SelectedMission();
    return EnterCategoryFolder() ? name : std::string();
}

void CLauncherDlg::LoadBriefing() {
    const std::string name = MissionInFolder();
    m_strBriefing = ReadMissionBriefing(name, m_callsignHandOver);
    UpdateData(false);
}

void CLauncherDlg::LoadCallsign() {
    const std::string name = MissionInFolder();
    const CallsignHandOver handOver = std::exchange(m_callsignHandOver, CallsignHandOver{});
    if (std::optional<std::string> callsign = ReadMissionCallsign(name, handOver)) {
        m_strCallsign = std::move(*callsign);
        UpdateData(false);
    }
}

void CLauncherDlg::OnChangeCallsign() {
    const bool pulled = UpdateData(true);
    const std::string name = MissionInFolder();
    // A line break would split the record, a control-Z end the file; a character the code page
    // lacks would be written as something else. None of them reaches the file.
    if (!pulled || !IsStorableCallsign(m_strCallsign)) {
        ShowMessageBox(kBadCallsign);
        return;
    }
    // Another launcher may be rewriting the same mission: wait a little for it, with the window
    // answering meanwhile.
    const os::LockWait waitForLock = [](const std::function<bool()>& tryLock) {
        return ui::WaitKeepingWindowsAlive(tryLock, kLockWaitMs);
    };
    switch (RewriteMissionCallsign(name, m_strCallsign, waitForLock)) {
        case RewriteOutcome::CannotModify:
            ShowMessageBox(kCannotModify);
            LoadCallsign();
            return;
        case RewriteOutcome::InUse:
            ShowMessageBox(kMissionInUse);
            break;
        case RewriteOutcome::Failed:
            ShowMessageBox(kRewriteFailed);
            break;
        case RewriteOutcome::Rewritten:
            break;
    }
    LoadBriefing();
    LoadCallsign();
}
