// The mission catalogue: game location, category folders, the list refill and the category
// buttons.
#include "catalogue/Catalogue.h"

#include <algorithm>

#include "app/LauncherDlg.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace sx {

std::optional<std::string> CategoryFolder(int category, const std::string& gameDir,
                                          const std::string& customDir) {
    switch (category) {
        case kSingleMissions:
            return gameDir + kSingleMissionsDir;
        case kCampaignMissions:
            return gameDir + kCampaignMissionsDir;
        case kCustomMissions:
            return customDir;
        default:
            return std::nullopt;
    }
}

std::string FolderOfChoice(const std::string& pathName, const std::string& fileName) {
    if (pathName.size() < fileName.size() + 1) return std::string();
    return pathName.substr(0, pathName.size() - fileName.size() - 1);
}

}  // namespace sx

using namespace sx;

void CLauncherDlg::LocateGame() {
    os::RegistryKey key;
    std::string value;
    if (!key.OpenMachineKey(kGameKey)) {
        MessageBox(kGameNotDetected);
        value = kNoGameDir;
    } else {
        // "Path" is the game's folder; without it the unnamed value (the executable's full
        // path, by the registry's convention) is all there is.
        key.QueryValue("", value);
        key.QueryValue("Path", value);
        key.Close();
    }
    m_strGameDir = value;
}

void CLauncherDlg::EnterCategoryFolder() {
    if (auto folder = CategoryFolder(m_nCategory, m_strGameDir, m_strCustomDir))
        os::ChangeDir(*folder);
}

void CLauncherDlg::RefreshMissionList() {
    m_listMissions.ResetContent();
    EnterCategoryFolder();
    // Sorted first, the way the list sorts (stable, so equal names keep their order): every
    // insertion then lands at the end, and a large folder fills the list in linear time.
    std::vector<std::pair<std::string, std::string>> names;  // folded key, name
    for (std::string& name : os::FindFiles(kMissionPattern)) {
        std::string key = FoldedKey(name);
        names.emplace_back(std::move(key), std::move(name));
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : names) m_listMissions.AddString(entry.second);
    if (m_bReselect)
        m_listMissions.SetCurSel(m_listMissions.FindString(-1, m_strSelectedMission));
    else
        m_listMissions.SetCurSel(0);
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
    CFileDialog dlg(true, "mis", kMissionPattern, OFN_FILEMUSTEXIST, kMissionFilter, nullptr);
    dlg.m_ofn.lpstrInitialDir = m_strCustomDir;
    if (dlg.DoModal() == IDOK) {
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
