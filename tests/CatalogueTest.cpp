// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's opening, game lookup and mission catalogue, driven through the fake host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "app/ResultsDlg.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;

namespace {

std::string Cwd() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::filesystem::canonical(buf).string() : std::string();
}

TEST(GameLookup, ThreeOutcomes) {
    const struct {
        const char* what;
        std::string values;  // empty: no key
        std::string gameDir;
        bool message;
    } cases[] = {
        {"both values", InstalledGameValues(), "C:\\Games\\Vantorra", false},
        {"only the unnamed value", "@=\"C:\\\\Games\\\\Vantorra\\\\vnt.exe\"\n",
         "C:\\Games\\Vantorra\\vnt.exe", false},
        {"key without values", "#time=1\n", "", false},
        {"no key", "", "none", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Launcher l(c.values);
        WriteFile(l.Missions("a.mis"), Mission("A", "Ace"));
        FakeWindow& w = l.Open();
        EXPECT_EQ(l.dlg->m_strGameDir, c.gameDir);
        if (c.message) {
            EXPECT_TRUE(OneMessage(l.host, text::kNotDetected));
            // The window opens all the same, on an empty list.
            EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{});
            EXPECT_EQ(w.Text(IDC_BRIEFING), text::kMissionNotFound);
        } else {
            EXPECT_TRUE(NoMessage(l.host));
        }
        EXPECT_EQ(l.dlg->m_strCustomDir, l.dlg->m_strGameDir);
        EXPECT_TRUE(w.Checked(IDC_SINGLE_MISSIONS));
    }
}

TEST(Catalogue, OpeningListsSingleMissionsSortedWithoutRegardToCase) {
    Launcher l;
    WriteFile(l.Missions("b.mis"), Mission("Bee", "Bravo"));
    WriteFile(l.Missions("A.MIS"), Mission("Ay", "Alpha"));
    WriteFile(l.Missions("c.Mis"), Mission("Sea", "Charlie"));
    WriteFile(l.Missions("notes.txt"), "x");
    MakeDirs(l.Missions("dir.mis"));  // a folder that matches is listed too
    FakeWindow& w = l.Open();
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"A.MIS", "b.mis", "c.Mis", "dir.mis"}));
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 0);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nAy");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Alpha");
    EXPECT_EQ(l.dlg->m_nCategory, 0);
    EXPECT_EQ(Cwd(), Canon(l.prefix.missions()));
    EXPECT_TRUE(NoMessage(l.host));
    // The menu entry and the icons.
    ASSERT_EQ(w.menu.size(), 2u);
    EXPECT_EQ(w.menu[0].second, "");
    EXPECT_EQ(w.menu[1], (std::pair<unsigned, std::string>{0x10, text::kAboutEntry}));
    EXPECT_NE(w.bigIcon, nullptr);
    EXPECT_EQ(w.bigIcon, w.smallIcon);
}

TEST(Catalogue, CategoryButtonsSwitchFoldersAndSelectTheFirstEntry) {
    Launcher l;
    WriteFile(l.Missions("single.mis"), Mission("S", "Solo"));
    WriteFile(l.prefix.campaigns() + "/Camp 2.mis", Mission("C2", "Two"));
    WriteFile(l.prefix.campaigns() + "/camp 1.mis", Mission("C1", "One"));
    FakeWindow& w = l.Open();

    w.Click(IDC_CAMPAIGN_MISSIONS);
    EXPECT_EQ(l.dlg->m_nCategory, 1);
    EXPECT_TRUE(w.Checked(IDC_CAMPAIGN_MISSIONS));
    EXPECT_FALSE(w.Checked(IDC_SINGLE_MISSIONS));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"camp 1.mis", "Camp 2.mis"}));
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 0);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nC1");
    EXPECT_EQ(Cwd(), Canon(l.prefix.campaigns()));

    w.SelectListItem(IDC_MISSION_LIST, 1);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nC2");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Two");

    w.Click(IDC_SINGLE_MISSIONS);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"single.mis"});
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Solo");
    EXPECT_EQ(Cwd(), Canon(l.prefix.missions()));
}

TEST(Catalogue, CustomChoiceCancelAndBack) {
    Launcher l;
    WriteFile(l.Missions("z single.mis"), Mission("S", "Solo"));
    WriteFile(l.Missions("a single.mis"), Mission("S", "Solo"));
    TempDir custom;
    for (const char* n : {"a.mis", "B.mis", "c.mis"}) WriteFile(custom / n, Mission(n, n));
    FakeWindow& w = l.Open();

    // Cancel: the list stays, the single-missions button is checked again.
    l.host.AnswerFileDialog(std::nullopt);
    w.Click(IDC_CUSTOM_MISSIONS);
    ASSERT_EQ(l.host.fileDialogs.size(), 1u);
    const ui::FileDialogRequest& r = l.host.fileDialogs[0];
    EXPECT_TRUE(r.open);
    EXPECT_EQ(r.defaultExt, "mis");
    EXPECT_EQ(r.fileName, "*.mis");
    EXPECT_EQ(r.flags, ui::OfnFileMustExist);
    EXPECT_EQ(r.filter, "Vantorra Mission (*.mis)|*.mis||");
    EXPECT_EQ(Canon(r.initialDir), Canon(l.prefix.game()));
    EXPECT_EQ(l.dlg->m_nCategory, 0);
    EXPECT_TRUE(w.Checked(IDC_SINGLE_MISSIONS));
    EXPECT_FALSE(w.Checked(IDC_CUSTOM_MISSIONS));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"a single.mis", "z single.mis"}));

    // Choose B.mis: its folder is listed and B.mis selected.
    l.PickCustom(custom / "B.mis");
    EXPECT_EQ(l.dlg->m_nCategory, 2);
    EXPECT_TRUE(w.Checked(IDC_CUSTOM_MISSIONS));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"a.mis", "B.mis", "c.mis"}));
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 1);
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "B.mis");
    EXPECT_EQ(l.dlg->m_strCustomDir, custom.path());
    EXPECT_EQ(l.dlg->m_strSelectedMission, "B.mis");
    EXPECT_EQ(l.dlg->m_bReselect, 1);

    // The next dialog opens in the folder chosen last.
    l.host.AnswerFileDialog(std::nullopt);
    w.Click(IDC_CUSTOM_MISSIONS);
    EXPECT_EQ(l.host.fileDialogs.back().initialDir, custom.path());
    EXPECT_TRUE(w.Checked(IDC_CUSTOM_MISSIONS));

    // Single missions after a custom choice select the first entry.
    w.Click(IDC_SINGLE_MISSIONS);
    EXPECT_EQ(l.dlg->m_bReselect, 0);
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), 0);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST)[0], "a single.mis");
}

TEST(Catalogue, TheChosenFileItselfIsSelected) {
    // A Linux folder may hold names that differ only in case: the chosen one is selected, and
    // a name that begins the chosen one is not taken for it.
    Launcher l;
    TempDir custom;
    for (const char* n : {"b.mis", "B.mis", "b.mis.mis"}) WriteFile(custom / n, Mission(n, n));
    FakeWindow& w = l.Open();
    for (const char* chosen : {"B.mis", "b.mis", "b.mis.mis"}) {
        l.PickCustom(custom / chosen);
        EXPECT_EQ(w.Items(IDC_MISSION_LIST)[static_cast<size_t>(w.CurSel(IDC_MISSION_LIST))],
                  chosen);
        EXPECT_EQ(w.Text(IDC_CALLSIGN), chosen);
    }
}

TEST(Catalogue, EmptyAndMissingFolders) {
    // A category whose folder cannot be entered lists nothing, and nothing of the folder that
    // happens to be current (the one listed before) is read or changed: the briefing says the
    // mission is not found, "Change" changes nothing, the callsign field keeps its text.
    const struct {
        const char* what;
        std::string registry;
        bool customFirst;  // a custom pack is listed before
        int button;
    } rows[] = {
        {"the campaigns folder is missing", InstalledGameValues(), false, IDC_CAMPAIGN_MISSIONS},
        {"single missions gone after a custom pick", InstalledGameValues(), true, IDC_SINGLE_MISSIONS},
        {"game directory none", "", true, IDC_SINGLE_MISSIONS},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l(row.registry);
        WriteFile(l.Missions("a.mis"), Mission("A", "Ace"));
        std::filesystem::remove_all(l.prefix.campaigns());
        TempDir pack;
        WriteFile(pack / "p.mis", Mission("P", "Ace"));
        FakeWindow& w = l.Open();
        l.host.messages.clear();
        if (row.customFirst) {
            l.PickCustom(pack / "p.mis");
            std::filesystem::remove_all(l.prefix.missions());
        }
        ASSERT_EQ(w.Text(IDC_CALLSIGN), "Ace");
        w.Click(row.button);
        EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{});
        EXPECT_EQ(w.Text(IDC_BRIEFING), text::kMissionNotFound);
        EXPECT_TRUE(NoMessage(l.host));
        l.Change("Changed");
        EXPECT_TRUE(OneMessage(l.host, text::kCannotModify));
        EXPECT_EQ(ReadFile(pack / "p.mis"), Mission("P", "Ace"));
        if (!row.customFirst) {
            EXPECT_EQ(ReadFile(l.Missions("a.mis")), Mission("A", "Ace"));
        }
    }

    // Empty folder: nothing listed or selected; the briefing says so, the callsign stays.
    Launcher l;
    WriteFile(l.Missions("a.mis"), Mission("A", "Ace"));
    TempDir empty;
    FakeWindow& w = l.Open();
    l.PickCustom(empty / "gone.mis");
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{});
    EXPECT_EQ(w.CurSel(IDC_MISSION_LIST), -1);
    EXPECT_EQ(w.Text(IDC_BRIEFING), text::kMissionNotFound);
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Ace");
}

TEST(LauncherWindow, SelectionChangeDiscardsAnUnappliedCallsign) {
    Launcher l;
    WriteFile(l.Missions("a.mis"), Mission("A", "Ace"));
    WriteFile(l.Missions("b.mis"), Mission("B", "Bravo"));
    WriteFile(l.Missions("c.mis"), ".MissionSummary\nC\n.EndMissionSummary\n");
    FakeWindow& w = l.Open();
    w.Type(IDC_CALLSIGN, "Typed");
    w.SelectListItem(IDC_MISSION_LIST, 1);
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Bravo");
    // A file without a player record keeps the callsign held before the edit.
    w.Type(IDC_CALLSIGN, "Typed again");
    w.SelectListItem(IDC_MISSION_LIST, 2);
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nC");
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Bravo");
    EXPECT_EQ(l.dlg->m_bReselect, 0);
}

TEST(LauncherWindow, EscapeEnterCloseBoxAndInitInstanceEndTheRun) {
    for (int how = 0; how < 3; ++how) {
        Launcher l;
        FakeWindow& w = l.Open();
        // Enter ends the run even with a callsign the code page cannot hold in the field.
        w.Type(IDC_CALLSIGN, "Pulled ?", false);
        if (how == 0) w.PressEscape();
        if (how == 1) w.CloseBox();
        if (how == 2) w.PressEnter();
        EXPECT_TRUE(l.dlg->HasEnded());
        EXPECT_FALSE(w.Visible());
        EXPECT_EQ(l.dlg->Result(), how == 2 ? ui::IdOk : ui::IdCancel);
        EXPECT_EQ(l.dlg->m_strCallsign, how == 2 ? "Pulled ?" : "");
    }
    // The application object runs the main window modally once and ends the process.
    Launcher l;
    l.host.ScriptDialog(IDD_LAUNCHER_DIALOG, [](FakeWindow& w) { w.PressEscape(); });
    CLauncherApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(l.host.modalRuns, std::vector<int>{IDD_LAUNCHER_DIALOG});
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(LauncherWindow, TheMinimizedWindowShowsItsIconInTheMiddle) {
    Launcher l;
    FakeWindow& w = l.Open();
    l.dlg->DispatchPaint();
    EXPECT_EQ(w.painted, Items{"default"});
    // A client area of 36 x 37 and an icon of 32 x 32: (36 - 32 + 1) / 2 and (37 - 32 + 1) / 2.
    w.painted.clear();
    w.minimized = true;
    l.dlg->DispatchPaint();
    EXPECT_EQ(w.painted, (Items{"erase", "icon 128 at 2,3", "end"}));
    EXPECT_EQ(l.dlg->DispatchQueryDragIcon(), l.dlg->m_hIcon);
}

TEST(LauncherWindow, AboutEntryOpensTheAboutBox) {
    Launcher l;
    FakeWindow& w = l.Open();
    // The platform keeps the low four bits of window-menu ids: 0x10 to 0x1F are the entry.
    for (unsigned id : {0x10u, 0x11u, 0x1Fu, 0x20u, 0x0Fu, ui::SysMinimize}) w.SysCommand(id);
    EXPECT_EQ(l.host.modalRuns, (std::vector<int>{IDD_ABOUTBOX, IDD_ABOUTBOX, IDD_ABOUTBOX}));
    EXPECT_TRUE(w.minimized);
    EXPECT_FALSE(l.dlg->HasEnded());
}

}  // namespace

namespace {

TEST(Modality, EveryBoxAndDialogBelongsToTheTopmostVisibleWindow) {
    // Without the game's key the first box comes before the main window shows: it has no owner.
    Launcher l("");
    WriteFile(l.Missions("a.mis"), Mission("A", "Ace"));
    FakeWindow& w = l.Open();
    const auto resultsTable = [&l](bool withFile) {
        return [&l, withFile] {
            if (withFile)
                WriteFile(l.Missions("Results.txt"), "Fighters: 1\n");
            else
                std::filesystem::remove(l.Missions("Results.txt"));
            CResultsDlg results;
            results.m_strGameDir = "C:\\Games\\Vantorra";
            results.DoModal();
        };
    };
    const struct {
        const char* what;
        std::function<void()> act;
        std::string opened;  // the box's text, the dialog's caption, or "file dialog"
        int owner;
    } rows[] = {
        {"opening without the game", [] {}, text::kNotDetected, 0},
        {"the about box", [&] { w.SysCommand(IDM_ABOUTBOX); }, "Info \xfc" "ber Sortilex",
         IDD_LAUNCHER_DIALOG},
        {"the file dialog", [&] { w.Click(IDC_CUSTOM_MISSIONS); }, "file dialog",
         IDD_LAUNCHER_DIALOG},
        {"a refusal", [&] { l.Change("Two\nLines"); }, text::kBadCallsign, IDD_LAUNCHER_DIALOG},
        {"a game that is not there", [&] { w.Click(IDC_LAUNCH_GAME); }, text::kNoGameExe,
         IDD_LAUNCHER_DIALOG},
        {"the results table", resultsTable(true), "Results Table", IDD_LAUNCHER_DIALOG},
        // The results window never shows: its box belongs to the main window.
        {"no results file", resultsTable(false), text::kResultsNotFound, IDD_LAUNCHER_DIALOG},
    };
    size_t seen = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        ASSERT_EQ(l.host.modals.size(), seen + 1);
        const ModalRecord& opened = l.host.modals[seen++];
        EXPECT_EQ(opened.what, row.opened);
        EXPECT_EQ(opened.owner, row.owner);
        // Every other window took no input meanwhile; the main window takes it again after.
        EXPECT_EQ(opened.othersEnabled, std::vector<int>{});
        EXPECT_TRUE(w.Enabled());
    }
}

}  // namespace
