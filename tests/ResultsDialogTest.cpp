// SPDX-License-Identifier: GPL-3.0-or-later
// The results table, reading the game's results file in its missions folder.
#include <gtest/gtest.h>

#include "app/ResultsDlg.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;

namespace {

using Lines = std::vector<std::string>;

TEST(ResultsDialog, ShowsTheTableOfTheMissionsFolder) {
    sxtest::FakePrefix prefix(sxtest::InstalledGameValues());
    sxtest::WriteFile(prefix.missions() + "/Results.txt",
                      "Fighters: 12\r\nBombers: 3\r\nFightersByPlayer: 4\r\nBombersByPlayer: 1\r\n"
                      "AxisFlak: 3\r\nAlliedOther: 1\r\nAxisArmor: 2\r\n");
    FakeHost host;
    CResultsDlg dlg;
    dlg.m_strGameDir = "C:\\Games\\Vantorra";
    FakeWindow& w = host.Open(dlg);
    EXPECT_TRUE(NoMessage(host));
    EXPECT_TRUE(w.Visible());
    EXPECT_EQ(w.Text(IDC_FIGHTER_LOSSES), "12");
    EXPECT_EQ(w.Text(IDC_BOMBER_LOSSES), "3");
    EXPECT_EQ(w.Text(IDC_FIGHTERS_BY_PLAYER), "4");
    EXPECT_EQ(w.Text(IDC_BOMBERS_BY_PLAYER), "1");
    EXPECT_EQ(w.Items(IDC_ALLIED_LOSSES), Lines{"AlliedOther: 1"});
    EXPECT_EQ(w.Items(IDC_AXIS_LOSSES), (Lines{"AxisFlak: 3", "AxisArmor: 2"}));
    // Enter pulls the read-only values back and always succeeds.
    w.PressEnter();
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.Result(), ui::IdOk);
}

TEST(ResultsDialog, MissingFileEndsTheDialogBeforeItShows) {
    sxtest::FakePrefix prefix(sxtest::InstalledGameValues());
    FakeHost host;
    bool shown = false;
    host.ScriptDialog(IDD_RESULTS_DIALOG, [&shown](FakeWindow&) { shown = true; });
    CResultsDlg dlg;
    dlg.m_strGameDir = "none";
    EXPECT_EQ(dlg.DoModal(), ui::IdOk);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(OneMessage(host, text::kResultsNotFound));
}

}  // namespace
