// The main window's operations on the selected mission file: briefing, callsign, rewrite.
#include "app/LauncherDlg.h"
#include "missionfile/MissionText.h"

#include <utility>

using namespace sx;

void CLauncherDlg::LoadBriefing() {
    const std::string name = SelectedMission();
    EnterCategoryFolder();
    m_strBriefing = ReadMissionBriefing(name, m_callsignHandOver);
    UpdateData(false);
}

void CLauncherDlg::LoadCallsign() {
    const std::string name = SelectedMission();
    EnterCategoryFolder();
    const CallsignHandOver handOver = std::exchange(m_callsignHandOver, CallsignHandOver{});
    if (std::optional<std::string> callsign = ReadMissionCallsign(name, handOver)) {
        m_strCallsign = std::move(*callsign);
        UpdateData(false);
    }
}

void CLauncherDlg::OnChangeCallsign() {
    const bool pulled = UpdateData(true);
    const std::string name = SelectedMission();
    EnterCategoryFolder();
    // A line break would split the record; a character the code page lacks would be written as
    // something else. Neither reaches the file.
    if (!pulled || !IsStorableCallsign(m_strCallsign)) {
        ShowMessageBox(kBadCallsign);
        return;
    }
    switch (RewriteMissionCallsign(name, m_strCallsign)) {
        case RewriteOutcome::CannotModify:
            ShowMessageBox(kCannotModify);
            LoadCallsign();
            return;
        case RewriteOutcome::Failed:
            ShowMessageBox(kRewriteFailed);
            break;
        case RewriteOutcome::Rewritten:
            break;
    }
    LoadBriefing();
    LoadCallsign();
}
