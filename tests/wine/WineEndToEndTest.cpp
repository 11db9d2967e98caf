// End to end through real Wine: the registry of a real prefix, the Windows build of the
// substitute game started through wine, and its results shown in the table.
// Run by run-wine-test.sh, which makes the prefix and installs the game; see there.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/LauncherDlg.h"
#include "platform/fake/FakeHost.h"
#include "tests/ResultsTableSupport.h"
#include "tests/TestSupport.h"

using namespace sx;

namespace {

using sxtest::Split;

TEST(Wine, RegistryGameStartAndResults) {
    const char* prefix = std::getenv("WINEPREFIX");
    const char* log = std::getenv("SORTILEX_VNT_LOG");
    ASSERT_TRUE(prefix && log) << "run through run-wine-test.sh";
    const std::string game = std::string(prefix) + "/drive_c/Games/Wine Game";

    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(dlg.m_strGameDir, "C:\\Games\\Wine Game");
    ASSERT_EQ(w.Items(IDC_MISSION_LIST), std::vector<std::string>{"Strike One.mis"});
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Wine Leader");

    host.AnswerMessages({IDYES});
    sxtest::ShownTable table;
    sxtest::CaptureResultsTable(host, table);
    w.Click(IDC_LAUNCH_MISSION);

    // The Windows game ran in its folder with the Windows path of the mission.
    const std::vector<std::string> run = Split(Split(sxtest::ReadFile(log), '\n').at(0), '\t');
    ASSERT_EQ(run.size(), 4u);
    EXPECT_EQ(run[0], "C:\\Games\\Wine Game");
    EXPECT_EQ(run[2], "-m");
    EXPECT_EQ(run[3], "C:\\Games\\Wine Game\\Data\\Missions\\Strike One.mis");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind("Total Mission Time : 00:0", 0), 0u)
        << host.messages[0].text;

    // Its Results.txt is what the table shows.
    ASSERT_EQ(host.modalRuns, std::vector<int>{IDD_RESULTS_DIALOG});
    sxtest::ExpectTableShowsFile(table, game + "/Data/Missions/Results.txt");
}

}  // namespace
