// Starting the game, alone or on a mission, with the substitute game standing in for it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "app/LauncherDlg.h"
#include "launch/Launch.h"
#include "platform/fake/FakeHost.h"
#include "tests/ResultsTableSupport.h"
#include "tests/TestSupport.h"

using namespace sx;
using sxtest::ReadFile;
using sxtest::WriteFile;

namespace {

const char* const kNotLocated =
    "The selected mission cannot be located\n Vantorra will not be launched";

using sxtest::Env;
using sxtest::Split;

// A game installation with the substitute game, the main window open on it.
struct Installation {
    explicit Installation(const std::string& exeName = "vnt.exe", double seconds = 0)
        : log(logDir / "game.log"),
          logEnv("SORTILEX_VNT_LOG", log),
          secondsEnv("SORTILEX_VNT_SECONDS", std::to_string(seconds)) {
        if (!exeName.empty())
            std::filesystem::copy_file(SORTILEX_SUBSTITUTE_GAME, prefix.game() + "/" + exeName);
        WriteFile(prefix.missions() + "/Alpha 1.mis", "x");
        WriteFile(prefix.campaigns() + "/Camp.mis", "x");
        wnd = &host.Open(dlg);
    }
    // Each logged run: working folder, then the arguments.
    std::vector<std::vector<std::string>> Runs() const {
        std::vector<std::vector<std::string>> runs;
        for (const std::string& line : Split(ReadFile(log), '\n'))
            runs.push_back(Split(line, '\t'));
        return runs;
    }
    sxtest::FakePrefix prefix{sxtest::InstalledGameValues()};
    sxtest::TempDir logDir;
    std::string log;
    Env logEnv, secondsEnv;
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow* wnd = nullptr;
};

std::string Canon(const std::string& p) {
    return std::filesystem::canonical(p).string();
}

TEST(MissionTime, Texts) {
    const struct {
        int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "Total Mission Time : 00:00:00"},     {59, "Total Mission Time : 00:00:59"},
        {3725, "Total Mission Time : 01:02:05"},  {86399, "Total Mission Time : 23:59:59"},
        {90180, "Total Mission Time : 25:03:00"}, {-5, "Total Mission Time : 00:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatMissionTime(c.seconds), c.text) << c.seconds;
}

TEST(MissionPath, Categories) {
    const struct {
        int category;
        std::string customDir, name, path;
    } cases[] = {
        {0, "", "Alpha 1.mis", "C:\\Games\\V\\Data\\Missions\\Alpha 1.mis"},
        {1, "", "c.mis", "C:\\Games\\V\\Data\\Campaigns\\c.mis"},
        {2, "D:\\My Missions", "x.mis", "D:\\My Missions\\x.mis"},
        {2, "E:", "x.mis", "E:\\x.mis"},
        {7, "", "x.mis", "x.mis"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MissionPath(c.category, "C:\\Games\\V", c.customDir, c.name), c.path)
            << c.category;
}

TEST(LaunchMission, TheGameReceivesTheMissionPathInTheGameFolder) {
    Installation inst("VNT.EXE");  // found without regard to case
    sxtest::TempDir custom;
    WriteFile(custom / "my x.mis", "x");
    const struct {
        int button;
        std::string path;
    } cases[] = {
        {IDC_SINGLE_MISSIONS, "C:\\Games\\Vantorra\\Data\\Missions\\Alpha 1.mis"},
        {IDC_CAMPAIGN_MISSIONS, "C:\\Games\\Vantorra\\Data\\Campaigns\\Camp.mis"},
        {IDC_CUSTOM_MISSIONS, custom.path() + "\\my x.mis"},
    };
    size_t runs = 0;
    for (const auto& c : cases) {
        if (c.button == IDC_CUSTOM_MISSIONS) inst.host.AnswerFileDialog(custom / "my x.mis");
        inst.wnd->Click(c.button);
        inst.host.messages.clear();
        inst.wnd->Click(IDC_LAUNCH_MISSION);
        const auto logged = inst.Runs();
        ASSERT_EQ(logged.size(), ++runs);
        EXPECT_EQ(logged.back(),
                  (std::vector<std::string>{Canon(inst.prefix.game()), "vnt.exe", "-m", c.path}));
        ASSERT_EQ(inst.host.messages.size(), 1u);
        EXPECT_EQ(inst.host.messages[0].text,
                  "Total Mission Time : 00:00:00\nWould you like to view the results table ?");
        EXPECT_EQ(inst.host.messages[0].caption, "Sortilex");
        EXPECT_EQ(inst.host.messages[0].type, MB_YESNO);
    }
    // No opens nothing.
    EXPECT_TRUE(inst.host.modalRuns.empty());
}

TEST(LaunchMission, WaitsForTheGameAndOffersItsResults) {
    Installation inst("vnt.exe", 1.2);
    inst.host.AnswerMessages({IDYES});
    sxtest::ShownTable table;
    sxtest::CaptureResultsTable(inst.host, table);
    inst.wnd->Click(
        IDC_CAMPAIGN_MISSIONS);  // the table is read from the single missions all the same
    inst.wnd->Click(IDC_LAUNCH_MISSION);
    ASSERT_EQ(inst.host.messages.size(), 1u);
    const std::string& text = inst.host.messages[0].text;
    ASSERT_EQ(text.rfind("Total Mission Time : 00:00:0", 0), 0u) << text;
    EXPECT_GE(text[28] - '0', 1) << "the reported time is at least the game's run time";
    EXPECT_EQ(inst.host.modalRuns, std::vector<int>{IDD_RESULTS_DIALOG});

    // The table shows what the game wrote.
    sxtest::ExpectTableShowsFile(table, inst.prefix.missions() + "/Results.txt");
}

TEST(LaunchMission, NothingToLaunch) {
    Installation inst;
    const struct {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"mission deleted after listing",
         [&] { std::filesystem::remove(inst.prefix.missions() + "/Alpha 1.mis"); }},
        {"empty list", [&] { inst.wnd->Click(IDC_SINGLE_MISSIONS); }},
    };
    for (const auto& c : cases) {
        c.prepare();
        inst.host.messages.clear();
        inst.wnd->Click(IDC_LAUNCH_MISSION);
        ASSERT_EQ(inst.host.messages.size(), 1u) << c.what;
        EXPECT_EQ(inst.host.messages[0].text, kNotLocated) << c.what;
        EXPECT_EQ(inst.host.messages[0].caption, "Sortilex") << c.what;
        EXPECT_FALSE(sxtest::Exists(inst.log)) << c.what;
    }
}

TEST(LaunchMission, GameThatCannotBeStarted) {
    sxtest::TempDir bin;
    const struct {
        const char* what;
        std::string exe;  // written into the game folder as vnt.exe ("" for none)
        std::string message;
    } cases[] = {
        {"no vnt.exe", "",
         "Vantorra cannot be started:\nvnt.exe was not found in the game folder."},
        {"Windows program without Wine",
         std::string("MZ") + std::string(58, '\0') + std::string("\x40\0\0\0", 4) +
             std::string("PE\0\0", 4),
         "Vantorra cannot be started:\nit is a Windows program, and Wine is not installed."},
    };
    Env path("PATH", bin.path());
    Env wine("WINE", "no-such-wine");
    for (const auto& c : cases) {
        Installation inst("");
        if (!c.exe.empty()) WriteFile(inst.prefix.game() + "/vnt.exe", c.exe);
        for (int button : {IDC_LAUNCH_MISSION, IDC_LAUNCH_GAME}) {
            inst.host.messages.clear();
            inst.wnd->Click(button);
            ASSERT_EQ(inst.host.messages.size(), 1u) << c.what;
            EXPECT_EQ(inst.host.messages[0].text, c.message) << c.what;
        }
    }
}

TEST(LaunchMission, WindowsGameStartsThroughWineInThePrefix) {
    sxtest::TempDir bin;
    const std::string wineLog = bin / "wine.log";
    WriteFile(bin / "wine",
              "#!/bin/sh\nprintf '%s|' \"$WINEPREFIX\" \"$PWD\" \"$@\" >> '" + wineLog + "'\n");
    ASSERT_EQ(::chmod((bin / "wine").c_str(), 0755), 0);
    Env path("PATH", bin.path() + ":/usr/bin:/bin");
    Env wine("WINE", "");
    Installation inst("");
    WriteFile(inst.prefix.game() + "/Vnt.Exe", std::string("MZ") + std::string(58, '\0') +
                                                   std::string("\x40\0\0\0", 4) +
                                                   std::string("PE\0\0", 4));
    inst.wnd->Click(IDC_LAUNCH_MISSION);
    EXPECT_EQ(ReadFile(wineLog),
              inst.prefix.root() + "|" + Canon(inst.prefix.game()) +
                  "|Vnt.Exe|-m|C:\\Games\\Vantorra\\Data\\Missions\\Alpha 1.mis|");
}

TEST(LaunchMission, GamesThatEndBadly) {
    const std::string junk = [] {
        std::string s;
        for (int i = 0; i < 5000; ++i) s += static_cast<char>((i * 7919) & 0xFF);
        return s;
    }();
    const struct {
        const char* what;
        const char* end;           // how the game ends
        bool staleResults;         // a junk results file lies there from before
        std::string tableMessage;  // what the results question leads to ("" for the table)
    } cases[] = {
        {"exits at once", "", false, ""},
        {"crashes", "crash", false, "Results file cannot be located"},
        {"killed by a signal", "killed", false, "Results file cannot be located"},
        {"crashes over a junk results file", "crash", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installation inst("vnt.exe", 0);
        Env end("SORTILEX_VNT_END", c.end);
        if (c.staleResults) WriteFile(inst.prefix.missions() + "/Results.txt", junk);
        inst.host.AnswerMessages({IDYES});
        sxtest::ShownTable table;
        sxtest::CaptureResultsTable(inst.host, table);
        inst.wnd->Click(IDC_LAUNCH_MISSION);
        ASSERT_GE(inst.host.messages.size(), 1u);
        EXPECT_EQ(inst.host.messages[0].text,
                  "Total Mission Time : 00:00:00\nWould you like to view the results table ?");
        if (c.tableMessage.empty()) {
            EXPECT_EQ(inst.host.messages.size(), 1u);
            sxtest::ExpectTableShowsFile(table, inst.prefix.missions() + "/Results.txt");
        } else {
            ASSERT_EQ(inst.host.messages.size(), 2u);
            EXPECT_EQ(inst.host.messages[1].text, c.tableMessage);
            EXPECT_FALSE(table.shown) << "the table never shows";
        }
        if (c.staleResults) {
            EXPECT_EQ(table.counts.at(IDC_FIGHTER_LOSSES), "0");
            EXPECT_TRUE(table.allied.empty() && table.axis.empty());
        }
        // The launcher carries on: the next launch works.
        EXPECT_FALSE(inst.wnd->Ended());
    }
}

TEST(LaunchGame, DetachedStartReturnsAtOnceAndLeavesNoZombie) {
    Installation inst("vnt.exe", 2);
    const auto start = std::chrono::steady_clock::now();
    inst.wnd->Click(IDC_LAUNCH_GAME);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(inst.host.messages.empty());
    // The game is nobody's child here: nothing to reap, now or later.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    // And it did start, alone, in the game folder.
    for (int i = 0; i < 100 && !sxtest::Exists(inst.log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(inst.Runs().size(), 1u);
    EXPECT_EQ(inst.Runs()[0], (std::vector<std::string>{Canon(inst.prefix.game()), "vnt.exe"}));
}

TEST(SubstituteGame, EveryResultsKeyAppearsOverSeveralRuns) {
    sxtest::TempDir dir;
    std::set<std::string> keys;
    Env seconds("SORTILEX_VNT_SECONDS", "0");
    for (int run = 0; run < 12; ++run) {
        const std::string cmd =
            "cd '" + dir.path() + "' && '" SORTILEX_SUBSTITUTE_GAME "' -m 'C:\\x.mis'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        for (const std::string& line : Split(ReadFile(dir / "Data/Missions/Results.txt"), '\n'))
            if (line.find(':') != std::string::npos)
                keys.insert(line.substr(0, line.find(':') + 1));
    }
    for (const char* key :
         {"Fighters:",    "FightersByPlayer:",    "Bombers:",         "BombersByPlayer:",
          "AlliedArmor:", "AlliedArmorByPlayer:", "AlliedArtillery:", "AlliedArtilleryByPlayer:",
          "AlliedFlak:",  "AlliedFlakByPlayer:",  "AlliedOther:",     "AlliedOtherByPlayer:",
          "AxisArmor:",   "AxisArmorByPlayer:",   "AxisArtillery:",   "AxisArtilleryByPlayer:",
          "AxisFlak:",    "AxisFlakByPlayer:",    "AxisOther:",       "AxisOtherByPlayer:"})
        EXPECT_TRUE(keys.count(key)) << key;
}

}  // namespace
