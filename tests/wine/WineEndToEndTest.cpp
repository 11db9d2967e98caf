// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through real Wine: the registry of a real prefix, the Windows build of the
// substitute game started through wine, and its results shown in the table.
// Run by run-wine-test.sh, which makes the prefix and installs the game; see there.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/Launcher.h"

using namespace sx;
using namespace sxtest;

namespace {

TEST(Wine, RegistryGameStartAndResults) {
    const char* prefix = std::getenv("WINEPREFIX");
    const char* log = std::getenv("SORTILEX_VNT_LOG");
    ASSERT_TRUE(prefix && log) << "run through run-wine-test.sh";

    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    EXPECT_TRUE(NoMessage(host));
    EXPECT_EQ(dlg.m_strGameDir, "C:\\Games\\Wine Game");
    ASSERT_EQ(w.Items(IDC_MISSION_LIST), Items{"Strike One.mis"});
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Wine Leader");

    host.AnswerMessages({ui::IdYes});
    ShownTable table;
    CaptureResultsTable(host, table);
    w.Click(IDC_LAUNCH_MISSION);

    // The Windows game ran in its folder with the Windows path of the mission.
    const Items run = Split(Split(ReadFile(log), '\n').at(0), '\t');
    ASSERT_EQ(run.size(), 4u);
    EXPECT_EQ(run[0], "C:\\Games\\Wine Game");
    EXPECT_EQ(run[2], "-m");
    EXPECT_EQ(run[3], "C:\\Games\\Wine Game\\Data\\Missions\\Strike One.mis");
    ASSERT_EQ(host.messages.size(), 1u);
    // The game runs a second; Wine's own start adds to it.
    EXPECT_EQ(host.messages[0].text.rfind("Total Mission Time : 00:00:0", 0), 0u)
        << host.messages[0].text;
    EXPECT_NE(host.messages[0].text.rfind("00:00:00"), 21u) << "the game's run time is counted";

    // What the game wrote (run-wine-test.sh gives it its results) is what the table shows.
    ASSERT_EQ(host.modalRuns, std::vector<int>{IDD_RESULTS_DIALOG});
    ASSERT_TRUE(table.shown);
    EXPECT_EQ(table.counts, (std::map<int, std::string>{{IDC_FIGHTER_LOSSES, "7"},
                                                        {IDC_BOMBER_LOSSES, "2"},
                                                        {IDC_FIGHTERS_BY_PLAYER, "3"},
                                                        {IDC_BOMBERS_BY_PLAYER, "0"}}));
    EXPECT_EQ(table.allied, (Items{"AlliedFlak: 4", "AlliedFlakByPlayer: 1"}));
    EXPECT_EQ(table.axis, Items{"AxisArmor: 6"});
}

}  // namespace
