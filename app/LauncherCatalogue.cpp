// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's catalogue: the game's location, the category folders, the list refill and
// the three category buttons.
#include "app/LauncherDlg.h"
#include "os/Files.h"
#include "os/Paths.h"
#include "ui/FileDialog.h"

using namespace sx;
using namespace sx::ui;

void CLauncherDlg::LocateGame() {
    const GameLocation where = LookUpGame();
    if (!where.found) ShowMessageBox(kGameNotDetected);
    m_strGameDir = where.gameDir;
}

bool CLauncherDlg::EnterCategoryFolder() {
    // A folder that cannot be entered (gone, game directory "none") is no folder of missions:
    // nothing is read or changed in the folder that happens to be current instead.
    const std::optional<std::string> folder = CategoryFolder(m_nCategory, m_strGameDir, m_strCustomDir);
    return folder && os::ChangeDir(*folder);
}

void CLauncherDlg::RefreshMissionList() {
    m_listMissions.ResetContent();
    const bool entered = EnterCategoryFolder();
    m_strListFolder = entered ? CategoryFolder(m_nCategory, m_strGameDir, m_strCustomDir).value_or("") : "";
    // What a rewrite that was killed left in the folder goes, before anyone sees the folder.
    if (entered) os::RemoveLeftoverCopies(m_strListFolder);
    // In the list's own order already: every entry lands at the end, so a large folder fills
    // the list in linear time.
    if (entered)
        for (const std::string& name : ListMissions()) m_listMissions.AddString(name);
    if (m_bReselect) {
        // The chosen file itself when the folder holds it (a folder here may hold b.mis and
        // B.mis); else the first entry that begins with its name, without regard to case.
        int index = m_listMissions.FindString(-1, m_strSelectedMission);
        for (int i = 0; i < m_listMissions.GetCount(); ++i) {
            if (m_listMissions.GetText(i) == m_strSelectedMission) {
                index = i;
                break;
            }
        }
        m_listMissions.SetCurSel(index);
    } else {
        m_listMissions.SetCurSel(0);
    }
    LoadBriefing();
    LoadCallsign();
}

void CLauncherDlg::OnSingleMissions() {
    m_bReselect = 0;
    m_nCategory = kSingleMissions;
    RefreshMissionList();
}

void CLauncherDlg::OnCampaignMissions() {
    m_bReselect = 0;
    m_nCategory = kCampaignMissions;
    RefreshMissionList();
}

void CLauncherDlg::OnCustomMissions() {
    const int previous = m_nCategory;
    CFileDialog dlg(true, kMissionExtension, kMissionPattern, OfnFileMustExist, kMissionFilter,
                    nullptr);
    dlg.m_ofn.lpstrInitialDir = m_strCustomDir;
    if (dlg.DoModal() == IdOk) {
        const std::string path = dlg.GetPathName();
        const std::string name = dlg.GetFileName();
        m_strSelectedMission = name;
        m_bReselect = 1;
        m_strCustomDir = FolderOfChoice(path, name);
        m_nCategory = kCustomMissions;
        RefreshMissionList();
    } else {
        m_nCategory = previous;
        UpdateData(false);
    }
}
