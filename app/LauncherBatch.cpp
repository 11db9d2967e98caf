// SPDX-License-Identifier: GPL-3.0-or-later
// The mission list's own menu: one callsign for every mission of the list, and the list's folder
// in the desktop's file manager.
#include <memory>

#include "app/BatchDlg.h"
#include "base/Text.h"
#include "app/LauncherDlg.h"
#include "missionfile/CallsignBatch.h"
#include "missionfile/MissionText.h"
#include "os/Paths.h"
#include "ui/Wait.h"

using namespace sx;
using namespace sx::ui;

namespace {
constexpr const char* kBatchBadCallsign =
    "A callsign must be one line of text made of characters\nthat mission files can hold.\nNo "
    "mission has been changed.";
constexpr const char* kFolderNotOpened = "The folder could not be opened.";
}  // namespace

void CLauncherDlg::OnMissionListMenu() {
    IDialogWindow* wnd = GetWindow();
    if (wnd == nullptr) return;
    // The folder only where it is one: a link to a file would be handed to the file manager,
    // which may run it.
    const bool folder = !m_strListFolder.empty() && os::IsFolder(m_strListFolder);
    const std::vector<MenuEntry> entries = {
        {IDM_INSTALL_MISSIONS, "&Install missions...", false, folder},
        {IDM_SET_CALLSIGN_ALL, "Set callsign in &all missions...", false,
         m_listMissions.GetCount() > 0},
        {IDM_OPEN_FOLDER, "Open this &folder", false, folder},
        {IDM_MOVE_TO_TRASH, "Move to &trash", false, !SelectedMission().empty()},
    };
    switch (wnd->ShowControlMenu(IDC_MISSION_LIST, entries)) {
        case IDM_INSTALL_MISSIONS:
            OnInstallMissions();
            break;
        case IDM_MOVE_TO_TRASH:
            OnMoveToTrash();
            break;
        case IDM_SET_CALLSIGN_ALL:
            OnSetCallsignInAll();
            break;
        case IDM_OPEN_FOLDER:
            if (!os::OpenFolder(m_strListFolder)) ShowMessageBox(kFolderNotOpened);
            break;
        default:
            break;
    }
}

void CLauncherDlg::OnSetCallsignInAll() {
    UpdateData(true);  // the callsign field's text, to start from
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(m_listMissions.GetCount()));
    for (int i = 0; i < m_listMissions.GetCount(); ++i) names.push_back(m_listMissions.GetText(i));
    // The list's folder went away since it was filled: there is nothing of it to change.
    if (!EnterCategoryFolder()) {
        RefreshMissionList();
        return;
    }
    CCallsignBatchDlg ask(names);
    ask.m_strCallsign = m_strCallsign;
    if (ask.DoModal() != IdOk) return;
    // Refused at once, before any mission is touched.
    if (!ask.m_bExact || !IsStorableCallsign(ask.m_strCallsign)) {
        ShowMessageBox(kBatchBadCallsign);
        return;
    }
    const std::string selected = SelectedMission();
    BatchSummary summary;
    {
        // The windows paint meanwhile and take nothing but the progress window's Cancel.
        const BusyScope busy;
        DelayedProgress progress;
        const int total = static_cast<int>(names.size());
        int at = 0;          // the mission whose copy is made next
        int placing = -1;    // the copies going in place, once they do
        const auto tick = [&] {
            return progress.Tick([&] {
                return placing >= 0 ? "Putting " + Counted(placing, "mission", "missions") + " in place"
                                    : "Copy " + std::to_string(at + 1) + " of " + std::to_string(total) + ": " +
                                          names[static_cast<size_t>(at)];
            });
        };
        // A mission another program holds is waited for with the progress window up; Cancel
        // ends the wait too.
        const os::LockWait waitForLock = [&](const std::function<bool()>& tryLock) {
            bool locked = false;
            WaitKeepingWindowsAlive([&] { return (locked = tryLock()) || !tick(); }, kLockWaitMs);
            return locked;
        };
        BatchProgress steps;
        steps.copying = [&](int index, const std::string&) {
            at = index;
            PumpEvents();
            return tick();
        };
        steps.placing = [&](int count) {
            // Placing is not cancelled: every copy made goes in place.
            placing = count;
            tick();
            PumpEvents();
        };
        summary = SetCallsignInAll(names, ask.m_strCallsign, waitForLock, steps);
    }
    ShowMessageBox(BatchSummaryText(summary));
    // The list again, the mission selected before still selected, its callsign in the field.
    m_bReselect = 0;
    RefreshMissionList();
    for (int i = 1; i < m_listMissions.GetCount(); ++i) {  // the first is selected already
        if (m_listMissions.GetText(i) != selected) continue;
        m_listMissions.SetCurSel(i);
        LoadBriefing();
        LoadCallsign();
        break;
    }
}
