// The main window's opening, game lookup and mission catalogue, driven through the fake host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "app/LauncherDlg.h"
#include "catalogue/Catalogue.h"
#include "platform/fake/FakeHost.h"
#include "tests/TestSupport.h"

using namespace sx;
using sxtest::FakePrefix;
using sxtest::WriteFile;

namespace {

std::string Cwd() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::filesystem::canonical(buf).string() : std::string();
}

std::string Canon(const std::string& p) {
    return std::filesystem::canonical(p).string();
}

std::string Mission(const std::string& briefing, const std::string& callsign) {
    return ".MissionSummary\r\n" + briefing +
           "\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  1\r\n"
           "\t.Callsign  " +
           callsign + "\r\n\t.MPCallsign  " + callsign + "\r\n";
}

using Items = std::vector<std::string>;

TEST(GameLookup, ThreeOutcomes) {
    const struct {
        const char* what;
        std::string values;  // empty: no key
        std::string gameDir;
        bool message;
    } cases[] = {
        {"both values", sxtest::InstalledGameValues(), "C:\\Games\\Vantorra", false},
        {"only the unnamed value", "@=\"C:\\\\Games\\\\Vantorra\\\\vnt.exe\"\n",
         "C:\\Games\\Vantorra\\vnt.exe", false},
        {"key without values", "#time=1\n", "", false},
        {"no key", "", "none", true},
    };
    for (const auto& c : cases) {
        FakePrefix prefix(c.values);
        WriteFile(prefix.missions() + "/a.mis", Mission("A", "Ace"));
        FakeHost host;
        CLauncherDlg dlg;
        FakeWindow& w = host.Open(dlg);
        EXPECT_EQ(dlg.m_strGameDir, c.gameDir) << c.what;
        ASSERT_EQ(host.messages.size(), c.message ? 1u : 0u) << c.what;
        if (c.message) {
            EXPECT_EQ(host.messages[0].text, "Vantorra not detected on your machine");
            EXPECT_EQ(host.messages[0].caption, "Sortilex");
            EXPECT_EQ(host.messages[0].type, MB_OK);
            // The window opens all the same, on an empty list.
            EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{});
            EXPECT_EQ(w.Text(IDC_BRIEFING), "Mission file not found");
        }
        EXPECT_EQ(dlg.m_strCustomDir, dlg.m_strGameDir) << c.what;
        EXPECT_TRUE(w.Checked(IDC_SINGLE_MISSIONS)) << c.what;
    }
}

TEST(GameLookup, RegistryUnreadableIsNotFound) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    std::filesystem::remove(prefix.root() + "/system.reg");
    FakeHost host;
    CLauncherDlg dlg;
    host.Open(dlg);
    EXPECT_EQ(dlg.m_strGameDir, "none");
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST(Catalogue, CategoryFolders) {
    const struct {
        int category;
        std::optional<std::string> folder;
    } cases[] = {
        {0, "G\\Data\\Missions"}, {1, "G\\Data\\Campaigns"}, {2, "D:\\My Missions"},
        {3, std::nullopt},        {-1, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CategoryFolder(c.category, "G", "D:\\My Missions"), c.folder) << c.category;
    EXPECT_EQ(FolderOfChoice("D:\\My Missions\\x.mis", "x.mis"), "D:\\My Missions");
    EXPECT_EQ(FolderOfChoice("E:\\x.mis", "x.mis"), "E:");
}

TEST(Catalogue, OpeningListsSingleMissionsSortedWithoutRegardToCase) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    WriteFile(prefix.missions() + "/b.mis", Mission("Bee", "Bravo"));
    WriteFile(prefix.missions() + "/A.MIS", Mission("Ay", "Alpha"));
    WriteFile(prefix.missions() + "/c.Mis", Mission("Sea", "Charlie"));
    WriteFile(prefix.missions() + "/notes.txt", "x");
    sxtest::MakeDirs(prefix.missions() + "/dir.mis");  // a folder that matches is listed too
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"A.MIS", "b.mis", "c.Mis", "dir.mis"}));
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 0);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nAy");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Alpha");
    EXPECT_EQ(dlg.m_nCategory, 0);
    EXPECT_EQ(Cwd(), Canon(prefix.missions()));
    EXPECT_TRUE(host.messages.empty());
    // The menu entry and the icons.
    ASSERT_EQ(w.menu.size(), 2u);
    EXPECT_EQ(w.menu[0].second, "");
    EXPECT_EQ(w.menu[1], (std::pair<unsigned, std::string>{0x10,
                                                           "Inf&o \xFC"
                                                           "ber Sortilex..."}));
    EXPECT_NE(w.bigIcon, nullptr);
    EXPECT_EQ(w.bigIcon, w.smallIcon);
}

TEST(Catalogue, CategoryButtonsSwitchFoldersAndSelectTheFirstEntry) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    WriteFile(prefix.missions() + "/single.mis", Mission("S", "Solo"));
    WriteFile(prefix.campaigns() + "/Camp 2.mis", Mission("C2", "Two"));
    WriteFile(prefix.campaigns() + "/camp 1.mis", Mission("C1", "One"));
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);

    w.Click(IDC_CAMPAIGN_MISSIONS);
    EXPECT_EQ(dlg.m_nCategory, 1);
    EXPECT_TRUE(w.Checked(IDC_CAMPAIGN_MISSIONS));
    EXPECT_FALSE(w.Checked(IDC_SINGLE_MISSIONS));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"camp 1.mis", "Camp 2.mis"}));
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 0);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nC1");
    EXPECT_EQ(Cwd(), Canon(prefix.campaigns()));

    w.SelectListItem(IDC_MISSION_LIST, 1);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nC2");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Two");

    w.Click(IDC_SINGLE_MISSIONS);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"single.mis"});
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Solo");
    EXPECT_EQ(Cwd(), Canon(prefix.missions()));
}

TEST(Catalogue, CustomChoiceCancelAndBack) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    WriteFile(prefix.missions() + "/z single.mis", Mission("S", "Solo"));
    WriteFile(prefix.missions() + "/a single.mis", Mission("S", "Solo"));
    sxtest::TempDir custom;
    for (const char* n : {"a.mis", "B.mis", "c.mis"}) WriteFile(custom / n, Mission(n, n));
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);

    // Cancel: the list stays, the single-missions button is checked again.
    host.AnswerFileDialog(std::nullopt);
    w.Click(IDC_CUSTOM_MISSIONS);
    ASSERT_EQ(host.fileDialogs.size(), 1u);
    const FileDialogRequest& r = host.fileDialogs[0];
    EXPECT_TRUE(r.open);
    EXPECT_EQ(r.defaultExt, "mis");
    EXPECT_EQ(r.fileName, "*.mis");
    EXPECT_EQ(r.flags, OFN_FILEMUSTEXIST);
    EXPECT_EQ(r.filter, "Vantorra Mission (*.mis)|*.mis||");
    EXPECT_EQ(r.initialDir, "C:\\Games\\Vantorra");
    EXPECT_EQ(dlg.m_nCategory, 0);
    EXPECT_TRUE(w.Checked(IDC_SINGLE_MISSIONS));
    EXPECT_FALSE(w.Checked(IDC_CUSTOM_MISSIONS));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"a single.mis", "z single.mis"}));

    // Choose B.mis: its folder is listed and B.mis selected.
    host.AnswerFileDialog(custom / "B.mis");
    w.Click(IDC_CUSTOM_MISSIONS);
    EXPECT_EQ(dlg.m_nCategory, 2);
    EXPECT_TRUE(w.Checked(IDC_CUSTOM_MISSIONS));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"a.mis", "B.mis", "c.mis"}));
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 1);
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "B.mis");
    EXPECT_EQ(dlg.m_strCustomDir, custom.path());
    EXPECT_EQ(dlg.m_strSelectedMission, "B.mis");
    EXPECT_EQ(dlg.m_bReselect, 1);

    // The next dialog opens in the folder chosen last.
    host.AnswerFileDialog(std::nullopt);
    w.Click(IDC_CUSTOM_MISSIONS);
    EXPECT_EQ(host.fileDialogs.back().initialDir, custom.path());
    EXPECT_TRUE(w.Checked(IDC_CUSTOM_MISSIONS));

    // Single missions after a custom choice select the first entry.
    w.Click(IDC_SINGLE_MISSIONS);
    EXPECT_EQ(dlg.m_bReselect, 0);
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 0);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST)[0], "a single.mis");
}

TEST(Catalogue, CustomChoiceOnAPrefixDriveIsAWindowsPath) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    sxtest::MakeDirs(prefix.root() + "/drive_c/My Missions");
    WriteFile(prefix.root() + "/drive_c/My Missions/x.mis", Mission("X", "Xray"));
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    host.AnswerFileDialog(prefix.root() + "/drive_c/My Missions/x.mis");
    w.Click(IDC_CUSTOM_MISSIONS);
    EXPECT_EQ(dlg.m_strCustomDir, "C:\\My Missions");
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"x.mis"});
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nX");
}

TEST(Catalogue, EmptyAndMissingFolders) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    WriteFile(prefix.missions() + "/a.mis", Mission("A", "Ace"));
    std::filesystem::remove_all(prefix.campaigns());
    sxtest::TempDir empty;
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    ASSERT_EQ(w.Text(IDC_CALLSIGN), "Ace");

    // Missing folder: the current folder stays, so its missions are listed; nothing reported.
    w.Click(IDC_CAMPAIGN_MISSIONS);
    EXPECT_EQ(Cwd(), Canon(prefix.missions()));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"a.mis"});
    EXPECT_TRUE(host.messages.empty());

    // Empty folder: nothing listed or selected; the briefing says so, the callsign stays.
    host.AnswerFileDialog(empty / "gone.mis");
    w.Click(IDC_CUSTOM_MISSIONS);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{});
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), -1);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "Mission file not found");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Ace");
}

TEST(LauncherWindow, SelectionChangeDiscardsAnUnappliedCallsign) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    WriteFile(prefix.missions() + "/a.mis", Mission("A", "Ace"));
    WriteFile(prefix.missions() + "/b.mis", Mission("B", "Bravo"));
    WriteFile(prefix.missions() + "/c.mis", ".MissionSummary\nC\n.EndMissionSummary\n");
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    w.Type(IDC_CALLSIGN, "Typed");
    w.SelectListItem(IDC_MISSION_LIST, 1);
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Bravo");
    // A file without a player record keeps the callsign held before the edit.
    w.Type(IDC_CALLSIGN, "Typed again");
    w.SelectListItem(IDC_MISSION_LIST, 2);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nC");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Bravo");
    EXPECT_EQ(dlg.m_bReselect, 0);
}

TEST(LauncherWindow, EscapeEnterCloseBoxAndInitInstanceEndTheRun) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    for (int how = 0; how < 3; ++how) {
        FakeHost host;
        CLauncherDlg dlg;
        FakeWindow& w = host.Open(dlg);
        // Enter ends the run even with a callsign the code page cannot hold in the field.
        w.Type(IDC_CALLSIGN, "Pulled ?", false);
        if (how == 0) w.PressEscape();
        if (how == 1) w.CloseBox();
        if (how == 2) w.PressEnter();
        EXPECT_TRUE(w.Ended());
        EXPECT_EQ(w.ResultCode(), how == 2 ? IDOK : IDCANCEL);
        EXPECT_EQ(dlg.m_strCallsign, how == 2 ? "Pulled ?" : "");
    }
    // The application object runs the main window modally once and ends the process.
    FakeHost host;
    host.ScriptDialog(IDD_LAUNCHER_DIALOG, [](FakeWindow& w) { w.PressEscape(); });
    CLauncherApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(host.modalRuns, std::vector<int>{IDD_LAUNCHER_DIALOG});
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(LauncherWindow, AboutEntryOpensTheAboutBox) {
    FakePrefix prefix(sxtest::InstalledGameValues());
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    for (unsigned id : {0x10u, 0x11u, 0x1Fu, 0x20u, 0x0Fu, SC_MINIMIZE}) w.SysCommand(id);
    EXPECT_EQ(host.modalRuns, (std::vector<int>{IDD_ABOUTBOX, IDD_ABOUTBOX, IDD_ABOUTBOX}));
    EXPECT_TRUE(w.minimized);
    EXPECT_FALSE(w.Ended());
}

}  // namespace
