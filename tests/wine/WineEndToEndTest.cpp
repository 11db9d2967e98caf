// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through real Wine: the registry of a real prefix, the Windows build of the
// substitute game started through wine, and its results shown in the table.
// Run by run-wine-test.sh, which makes the prefix and installs the game; see there.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "os/wine/RegistrySeek.h"
#include "os/wine/RegistryText.h"
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

TEST(Wine, ARealRegistryIsInTheOrderTheHeaderSearchTrusts) {
    // Every section header of the prefix wineboot made follows the one before it in Wine's
    // order, and the game's key is found by the headers alone.
    const char* prefix = std::getenv("WINEPREFIX");
    ASSERT_TRUE(prefix) << "run through run-wine-test.sh";
    const std::string path = std::string(prefix) + "/system.reg", text = ReadFile(path);
    std::istringstream lines(text);
    std::u16string before;
    int headers = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != '[') continue;
        size_t i = 1;
        const auto name = sx::os::wine::regtext::ParseEscaped(line, i, ']');
        ASSERT_TRUE(name) << line;
        bool unsure = false;
        if (headers++ > 0) {
            const int order = sx::os::wine::WineKeyOrder(before, *name, unsure);
            EXPECT_TRUE(order < 0 || unsure) << line;
        }
        before = *name;
    }
    EXPECT_GT(headers, 5000);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    uint64_t at = 0;
    EXPECT_EQ(sx::os::wine::SeekSection(fd, text.size(), "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe", at),
              sx::os::wine::SeekOutcome::Found);
    ::close(fd);
    EXPECT_EQ(text.compare(at, 9, "[Software"), 0);
}

}  // namespace
