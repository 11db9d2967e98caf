// SPDX-License-Identifier: GPL-3.0-or-later
// Mission packs installed from the list's menu or dropped on the window, and a mission moved to
// the trash.
#include <algorithm>

#include "app/BatchDlg.h"
#include "app/InstallDlg.h"
#include "app/LauncherDlg.h"
#include "missionfile/MissionFile.h"
#include "os/Install.h"
#include "os/Paths.h"
#include "packs/PackInstall.h"
#include "ui/FileDialog.h"
#include "ui/Wait.h"

using namespace sx;
using namespace sx::ui;

namespace {
constexpr const char* kInstallCaption = "Install missions";
constexpr const char* kInstallFilter =
    "Mission packs (*.zip;*.7z;*.rar;*.mis)|*.zip;*.7z;*.rar;*.mis|All files (*.*)|*.*||";
constexpr const char* kTooManyChosen =
    "More files were chosen than the file dialog can take at once.\nChoose fewer of them, or "
    "drop them on the window.";
constexpr const char* kCannotTrash = "This mission cannot be moved to the trash.";
constexpr const char* kNoTrash = "The mission could not be moved to the trash.\nIt has been left where it is.";

// A text of names read from disk and archives (UTF-8) as the message boxes show text.
std::string ForBox(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + os::NameForTexts(line);
    return text;
}

os::LockWait WaitAWhile() {
    return [](const std::function<bool()>& tryLock) { return WaitKeepingWindowsAlive(tryLock, kLockWaitMs); };
}
}  // namespace

void CLauncherDlg::OnInstallMissions() {
    if (m_strListFolder.empty()) return;
    CFileDialog dlg(true, "", "", OfnFileMustExist | OfnAllowMultiSelect, kInstallFilter, this);
    dlg.m_ofn.lpstrInitialDir = m_strCustomDir;
    dlg.m_ofn.lpstrTitle = kInstallCaption;
    if (dlg.DoModal() != IdOk) {
        if (dlg.TooMany()) ShowMessageBox(kTooManyChosen);
        return;
    }
    InstallItems(dlg.GetHostPathNames());
}

void CLauncherDlg::InstallItems(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    packs::InstallFolders folders;
    if (m_strGameDir != kNoGameDir) {
        for (const auto& [folder, where] : {std::pair{&folders.single, kSingleMissionsDir},
                                            std::pair{&folders.campaign, kCampaignMissionsDir}})
            if (os::IsFolder(m_strGameDir + where)) *folder = m_strGameDir + where;
    }
    folders.shown = m_nCategory == kCampaignMissions ? packs::Target::Campaign
                    : m_nCategory == kCustomMissions ? packs::Target::Custom
                                                     : packs::Target::Single;
    if (folders.shown == packs::Target::Custom && os::IsFolder(m_strCustomDir)) folders.custom = m_strCustomDir;
    const auto folderName = [&folders](packs::Target t) {
        return os::NameFromPaths(t == packs::Target::Single     ? folders.single
                                 : t == packs::Target::Campaign ? folders.campaign
                                                                : folders.custom);
    };

    packs::PackInstall install(folders);
    bool ready = false;
    {
        // Read with the windows painting; the progress window's Cancel stops before anything
        // is written.
        const BusyScope busy;
        DelayedProgress progress(IDD_INSTALL_PROGRESS);
        ready = install.Prepare(paths, [&progress](const std::string& item) {
            PumpEvents();
            return progress.Tick([&item] { return "Reading " + os::NameForTexts(item); });
        });
        if (progress.Cancelled()) return;
    }
    if (!ready) {
        ShowMessageBox(ForBox(install.Problems()));
        return;
    }
    CInstallDlg confirm;
    for (const std::string& line : install.ConfirmationLines(folderName)) confirm.m_lines.push_back(os::NameForTexts(line));
    for (const std::string& line : install.EntryLines()) confirm.m_entries.push_back(os::NameForPaths(line));
    if (confirm.DoModal() != IdOk) return;

    packs::InstallSummary summary;
    {
        const BusyScope busy;
        DelayedProgress progress(IDD_INSTALL_PROGRESS);
        summary = install.Place(WaitAWhile(), [&progress](const std::string& name) {
            PumpEvents();
            progress.Tick([&name] { return "Putting in place: " + os::NameForTexts(name); });
            return true;
        });
    }
    for (auto& left : summary.leftOut) left.first = os::NameForTexts(left.first);
    for (std::string& line : summary.problems) line = os::NameForTexts(line);
    ShowMessageBox(packs::InstallSummaryText(summary));

    // The category of the first mission installed, that mission selected; a subfolder's as
    // custom missions.
    const packs::PackInstall::Shown first = install.FirstMission();
    if (first.any) {
        if (first.folders.empty() && first.target != packs::Target::Custom) {
            m_nCategory = first.target == packs::Target::Single ? kSingleMissions : kCampaignMissions;
        } else {
            std::string folder = first.target == packs::Target::Single     ? folders.single
                                 : first.target == packs::Target::Campaign ? folders.campaign
                                                                           : folders.custom;
            for (const std::string& part : first.folders) folder += "\\" + os::NameForPaths(part);
            m_strCustomDir = folder;
            m_nCategory = kCustomMissions;
        }
        m_strSelectedMission = first.name;
        m_bReselect = 1;
    }
    RefreshMissionList();
    UpdateData(false);
}

void CLauncherDlg::OnMoveToTrash() {
    const int index = m_listMissions.GetCurSel();
    const std::string name = MissionInFolder();
    if (name.empty()) return;
    if (ShowMessageBox("Move \"" + os::NameForTexts(os::NameFromPaths(name)) + "\" to the trash?", nullptr,
                       MbYesNo | MbDefaultSecond) != IdYes)
        return;
    switch (os::MoveToTrash(name, WaitAWhile())) {
        case os::Trashed::NotAFile:
            ShowMessageBox(kCannotTrash);
            return;
        case os::Trashed::NoTrash:
            ShowMessageBox(kNoTrash);
            return;
        case os::Trashed::InUse:
            ShowMessageBox(kMissionInUse);
            return;
        case os::Trashed::Yes:
            break;
    }
    // The list again, the next mission selected (the one before, where it was the last).
    m_bReselect = 0;
    RefreshMissionList();
    if (m_listMissions.GetCount() > 0 && index > 0) {
        m_listMissions.SetCurSel(std::min(index, m_listMissions.GetCount() - 1));
        LoadBriefing();
        LoadCallsign();
    }
}
