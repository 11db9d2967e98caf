// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the game, alone or on a mission, with the substitute game standing in for it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "launch/Launch.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;

namespace {

// What the substitute game writes as its results in these tests, and what the table shows.
const char* const kResults =
    "[Mission Results]\nFighters: 12\nFightersByPlayer: 4\nBombers: 3\nBombersByPlayer: 1\n"
    "AxisFlak: 3\nAlliedOther: 1\nAxisArmor: 2\nDuration: 12 min\n";
const std::map<int, std::string> kShownCounts = {{IDC_FIGHTER_LOSSES, "12"},
                                                 {IDC_BOMBER_LOSSES, "3"},
                                                 {IDC_FIGHTERS_BY_PLAYER, "4"},
                                                 {IDC_BOMBERS_BY_PLAYER, "1"}};

std::string TimeQuestion(const char* time) {
    return std::string("Total Mission Time : ") + time + text::kResultsQuestion;
}

// A game installation with the substitute game, the main window open on it.
struct Installation : Launcher {
    explicit Installation(const std::string& exeName = "vnt.exe", double seconds = 0)
        : log(logDir / "game.log"),
          logEnv("SORTILEX_VNT_LOG", log),
          secondsEnv("SORTILEX_VNT_SECONDS", std::to_string(seconds)),
          resultsEnv("SORTILEX_VNT_RESULTS", kResults) {
        if (!exeName.empty())
            std::filesystem::copy_file(SORTILEX_SUBSTITUTE_GAME, prefix.game() + "/" + exeName);
        WriteFile(Missions("Alpha 1.mis"), "x");
        WriteFile(prefix.campaigns() + "/Camp.mis", "x");
        Open();
    }
    // Each logged run: working folder, then the arguments.
    std::vector<Items> Runs() const {
        std::vector<Items> runs;
        for (const std::string& line : Split(ReadFile(log), '\n'))
            runs.push_back(Split(line, '\t'));
        return runs;
    }
    TempDir logDir;
    std::string log;
    Env logEnv, secondsEnv, resultsEnv;
};

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

TEST(LaunchMission, TheGameReceivesTheMissionPathInTheGameFolder) {
    Installation inst("VNT.EXE");  // found without regard to case
    TempDir custom;
    WriteFile(custom / "my x.mis", "x");
    // A drive whose root is a folder of its own: a mission at its root is "E:\x.mis".
    TempDir driveE;
    WriteFile(driveE / "x.mis", "x");
    std::filesystem::create_directory_symlink(driveE.path(), inst.prefix.root() + "/dosdevices/e:");
    const struct {
        int button;
        std::string chosen;  // the file dialog's answer for the custom button
        std::string path;
    } cases[] = {
        {IDC_SINGLE_MISSIONS, "", "C:\\Games\\Vantorra\\Data\\Missions\\Alpha 1.mis"},
        {IDC_CAMPAIGN_MISSIONS, "", "C:\\Games\\Vantorra\\Data\\Campaigns\\Camp.mis"},
        // A folder on none of the prefix's drives is the host's path, joined the host's way.
        {IDC_CUSTOM_MISSIONS, custom / "my x.mis", custom / "my x.mis"},
        {IDC_CUSTOM_MISSIONS, driveE / "x.mis", "E:\\x.mis"},
    };
    size_t runs = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (!c.chosen.empty()) inst.host.AnswerFileDialog(c.chosen);
        inst.wnd().Click(c.button);
        inst.wnd().Click(IDC_LAUNCH_MISSION);
        const auto logged = inst.Runs();
        ASSERT_EQ(logged.size(), ++runs);
        EXPECT_EQ(logged.back(), (Items{Canon(inst.prefix.game()), "vnt.exe", "-m", c.path}));
        ASSERT_EQ(inst.host.messages.size(), 1u);
        EXPECT_EQ(inst.host.messages[0].text, TimeQuestion("00:00:00"));
        EXPECT_EQ(inst.host.messages[0].caption, "Sortilex");
        EXPECT_EQ(inst.host.messages[0].type, ui::MbYesNo);
        inst.host.messages.clear();
    }
    // No opens nothing.
    EXPECT_TRUE(inst.host.modalRuns.empty());
}

TEST(LaunchMission, WaitsForTheGameAndOffersItsResults) {
    Installation inst("vnt.exe", 1.2);
    inst.host.AnswerMessages({ui::IdYes});
    ShownTable table;
    CaptureResultsTable(inst.host, table);
    // While the game runs, the window is disabled but alive: what the user does is refused.
    int waits = 0;
    bool disabled = true;
    inst.host.whileWaiting = [&] {
        ++waits;
        disabled = disabled && !inst.wnd().Enabled();
        inst.wnd().Click(IDC_LAUNCH_MISSION);
        inst.wnd().Click(IDC_SINGLE_MISSIONS);
        inst.wnd().CloseBox();
        inst.wnd().PressEscape();
    };
    // The table is read from the single missions' folder whatever the mission's category.
    inst.wnd().Click(IDC_CAMPAIGN_MISSIONS);
    inst.wnd().Click(IDC_LAUNCH_MISSION);
    inst.host.whileWaiting = nullptr;
    EXPECT_GT(waits, 10);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(inst.wnd().Enabled());
    EXPECT_FALSE(inst.dlg->HasEnded());
    EXPECT_EQ(inst.dlg->m_nCategory, 1);
    EXPECT_EQ(inst.Runs().size(), 1u);
    ASSERT_EQ(inst.host.messages.size(), 1u);
    // At least the game's run time, and well under a second more.
    EXPECT_EQ(inst.host.messages[0].text, TimeQuestion("00:00:01"));
    EXPECT_EQ(inst.host.modalRuns, std::vector<int>{IDD_RESULTS_DIALOG});
    ASSERT_TRUE(table.shown);
    EXPECT_EQ(table.counts, kShownCounts);
    EXPECT_EQ(table.allied, Items{"AlliedOther: 1"});
    EXPECT_EQ(table.axis, (Items{"AxisFlak: 3", "AxisArmor: 2"}));
}

TEST(LaunchMission, NothingToLaunch) {
    Installation inst;
    const struct {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"mission deleted after listing",
         [&] { std::filesystem::remove(inst.Missions("Alpha 1.mis")); }},
        {"empty list", [&] { inst.wnd().Click(IDC_SINGLE_MISSIONS); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        inst.wnd().Click(IDC_LAUNCH_MISSION);
        EXPECT_TRUE(OneMessage(inst.host, text::kNotLocated));
        EXPECT_FALSE(Exists(inst.log));
    }
}

TEST(LaunchMission, GameThatCannotBeStarted) {
    TempDir bin;
    // The substitute game asking for a program loader this system lacks.
    std::string elsewhere = ReadFile(SORTILEX_SUBSTITUTE_GAME);
    const size_t loader = elsewhere.find("/ld-linux");
    ASSERT_NE(loader, std::string::npos);
    elsewhere.replace(loader, 9, "/ld-nowhe");
    const std::string loaderPath = elsewhere.c_str() + elsewhere.rfind('\0', loader) + 1;
    const struct {
        const char* what;
        std::string exe;  // written into the game folder as vnt.exe ("" for none)
        std::string message;
    } cases[] = {
        {"no vnt.exe", "", text::kNoGameExe},
        {"Windows program without Wine", WindowsProgram(), text::kNoWine},
        {"script whose interpreter is missing", "#!/no/such/shell -e\necho\n",
         "Vantorra cannot be started:\nits interpreter /no/such/shell is missing."},
        {"program for another system", elsewhere,
         "Vantorra cannot be started:\nit needs the program loader " + loaderPath +
             ", which this system lacks;\nit may be built for another system."},
        {"no program at all", std::string(64, '\x01'),
         "Vantorra cannot be started:\nit is not a program this system can run."},
    };
    Env path("PATH", bin.path());
    Env wine("WINE", "no-such-wine");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installation inst("");
        if (!c.exe.empty()) {
            WriteFile(inst.prefix.game() + "/vnt.exe", c.exe);
            ::chmod((inst.prefix.game() + "/vnt.exe").c_str(), 0755);
        }
        for (int button : {IDC_LAUNCH_MISSION, IDC_LAUNCH_GAME}) {
            inst.wnd().Click(button);
            EXPECT_TRUE(OneMessage(inst.host, c.message));
        }
    }
}

TEST(LaunchMission, WindowsGameStartsThroughWineInThePrefix) {
    TempDir bin;
    const std::string wineLog = bin / "wine.log";
    WriteFile(bin / "wine",
              "#!/bin/sh\nprintf '%s|' \"$WINEPREFIX\" \"$PWD\" \"$@\" >> '" + wineLog + "'\n");
    ASSERT_EQ(::chmod((bin / "wine").c_str(), 0755), 0);
    Env path("PATH", bin.path() + ":/usr/bin:/bin");
    Env wine("WINE", "");
    Installation inst("");
    WriteFile(inst.prefix.game() + "/Vnt.Exe", WindowsProgram());
    inst.wnd().Click(IDC_LAUNCH_MISSION);
    EXPECT_EQ(ReadFile(wineLog),
              inst.prefix.root() + "|" + Canon(inst.prefix.game()) +
                  "|Vnt.Exe|-m|C:\\Games\\Vantorra\\Data\\Missions\\Alpha 1.mis|");
}

TEST(LaunchMission, NonAsciiGameFolderAndMission) {
    // The registry's value (Unicode in the file), the folder and the mission names as the host
    // spells them (UTF-8); the mission's content in the game's code page.
    Launcher l("\"Path\"=\"C:\\\\Spiele\\\\Fl\\x00fcgel \\x00e9\"\n");
    const std::string game = l.prefix.root() + "/drive_c/Spiele/Fl\xc3\xbcgel \xc3\xa9";
    const std::string name =
        "Stra\xc3\x9f"
        "e \xc3\xa4\xc3\xb6\xc3\xbc.mis";
    MakeDirs(game + "/Data/Missions");
    std::filesystem::copy_file(SORTILEX_SUBSTITUTE_GAME, game + "/vnt.exe");
    WriteFile(game + "/Data/Missions/" + name, Mission("\xdc"
                                                       "berflug",
                                                       "Alt"));
    TempDir logDir;
    Env log("SORTILEX_VNT_LOG", logDir / "game.log"), seconds("SORTILEX_VNT_SECONDS", "0");
    FakeWindow& w = l.Open();
    EXPECT_EQ(l.dlg->m_strGameDir, "C:\\Spiele\\Fl\xc3\xbcgel \xc3\xa9");
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{name});
    EXPECT_EQ(w.Text(IDC_BRIEFING),
              "\r\r\n\xdc"
              "berflug");
    l.Change("J\xe4ger");
    EXPECT_EQ(ReadFile(game + "/Data/Missions/" + name), Mission("\xdc"
                                                                 "berflug",
                                                                 "J\xe4ger"));
    w.Click(IDC_LAUNCH_MISSION);
    const Items run = Split(ReadFile(logDir / "game.log"), '\t');
    EXPECT_EQ(run, (Items{Canon(game), "vnt.exe", "-m",
                          "C:\\Spiele\\Fl\xc3\xbcgel \xc3\xa9\\Data\\Missions\\" + name + "\n"}));
}

TEST(LaunchMission, GamesThatEndBadly) {
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
    const struct {
        const char* what;
        const char* end;    // how the game ends
        bool staleResults;  // a junk results file lies there from before
        bool tableShown;    // otherwise: the results file is missing
    } cases[] = {
        {"exits at once", "", false, true},
        {"crashes", "crash", false, false},
        {"killed by a signal", "killed", false, false},
        {"crashes over a junk results file", "crash", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installation inst("vnt.exe", 0);
        Env end("SORTILEX_VNT_END", c.end);
        if (c.staleResults) WriteFile(inst.Missions("Results.txt"), junk);
        inst.host.AnswerMessages({ui::IdYes});
        ShownTable table;
        CaptureResultsTable(inst.host, table);
        inst.wnd().Click(IDC_LAUNCH_MISSION);
        ASSERT_GE(inst.host.messages.size(), 1u);
        EXPECT_EQ(inst.host.messages[0].text, TimeQuestion("00:00:00"));
        inst.host.messages.erase(inst.host.messages.begin());
        EXPECT_EQ(table.shown, c.tableShown);
        if (!c.tableShown) {
            EXPECT_TRUE(OneMessage(inst.host, text::kResultsNotFound));
        }
        if (c.staleResults) {
            EXPECT_EQ(table.counts.at(IDC_FIGHTER_LOSSES), "0");
            EXPECT_TRUE(table.allied.empty() && table.axis.empty());
        } else if (c.tableShown) {
            EXPECT_EQ(table.counts, kShownCounts);
        }
        // The launcher carries on.
        EXPECT_FALSE(inst.dlg->HasEnded());
    }
}

TEST(LaunchGame, DetachedStartReturnsAtOnceAndLeavesNoZombie) {
    Installation inst("vnt.exe", 2);
    const auto start = std::chrono::steady_clock::now();
    inst.wnd().Click(IDC_LAUNCH_GAME);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(NoMessage(inst.host));
    // The game is nobody's child here: nothing to reap, now or later.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    // And it did start, alone, in the game folder.
    for (int i = 0; i < 100 && !Exists(inst.log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(inst.Runs().size(), 1u);
    EXPECT_EQ(inst.Runs()[0], (Items{Canon(inst.prefix.game()), "vnt.exe"}));
}

}  // namespace
