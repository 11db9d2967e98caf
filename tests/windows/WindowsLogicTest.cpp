// SPDX-License-Identifier: GPL-3.0-or-later
// The launcher on Windows: the real registry, files, lock and program start of the Windows
// backend, driven through the scripted host.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/LauncherDlg.h"
#include "os/Files.h"
#include "os/Paths.h"
#include "os/Process.h"
#include "tests/support/Assertions.h"
#include "tests/support/Messages.h"
#include "tests/windows/WindowsSupport.h"

using namespace sx;
using namespace sxtest;
using namespace wintest;

namespace {

std::string Mission(const std::string& briefing, const std::string& callsign) {
    return ".MissionSummary\r\n" + briefing +
           "\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  1\r\n\t.Callsign  " + callsign +
           "\r\n\t.MPCallsign  " + callsign + "\r\n";
}

// The main window open on an installed game with two missions.
struct Window {
    Window() {
        WriteFile(game.missions() + "\\Alpha 1.mis", Mission("Fly.", "Old"));
        WriteFile(game.missions() + "\\b.mis", Mission("Bee.", "Bravo"));
        WriteFile(game.campaigns() + "\\Camp.mis", Mission("Camp.", "Camper"));
        wnd = &host.Open(dlg);
    }
    void Change(const std::string& callsign) {
        wnd->Type(IDC_CALLSIGN, callsign);
        wnd->Click(IDC_CHANGE_CALLSIGN);
    }
    Installed game;
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow* wnd = nullptr;
};

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

TEST(WindowsRegistry, TheGameAsItsInstallerLeftIt) {
    // The prefix's key as wine reg wrote it (run-under-wine.sh installs the demo game so).
    const char* demo = std::getenv("SORTILEX_DEMO_GAME");
    if (demo == nullptr) GTEST_SKIP() << "run through run-under-wine.sh";
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    EXPECT_TRUE(NoMessage(host));
    EXPECT_EQ(dlg.m_strGameDir, demo);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"Channel Sweep.mis", "harbour strike.mis",
                                                  "Night Patrol.mis", "Zephyr Training.mis"}));
}

TEST(WindowsRegistry, TheGameIsFoundInEitherView) {
    const struct {
        const char* what;
        bool withPath;
        unsigned view;
        std::string expected;  // {} for the game's folder
    } cases[] = {
        {"both values", true, 0, {}},
        {"only the unnamed value", false, 0, "\\vnt.exe"},
        {"the other registry view",
         true,
         sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installed game(c.withPath, c.view);
        FakeHost host;
        CLauncherDlg dlg;
        host.Open(dlg);
        EXPECT_TRUE(NoMessage(host));
        EXPECT_EQ(dlg.m_strGameDir, game.game() + c.expected);
    }
    Uninstall();
    FakeHost host;
    CLauncherDlg dlg;
    host.Open(dlg);
    EXPECT_TRUE(OneMessage(host, text::kNotDetected));
    EXPECT_EQ(dlg.m_strGameDir, "none");
}

TEST(WindowsRegistry, LongValuesAndValuesWithoutTheirNul) {
    Installed game;
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe", 0,
                              KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const std::string longPath = "C:\\" + std::string(300, 'x');
    ::RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.data()),
                     static_cast<DWORD>(longPath.size()));  // stored without its NUL
    ::RegCloseKey(key);
    FakeHost host;
    CLauncherDlg dlg;
    host.Open(dlg);
    EXPECT_EQ(dlg.m_strGameDir, longPath);
}

TEST(WindowsCatalogue, ListsTheMissionsButNoTemporaryFile) {
    Window w;
    WriteFile(w.game.missions() + "\\SXTempMission-0123abcd.tmp", "left by a crash");
    w.wnd->Click(IDC_SINGLE_MISSIONS);
    EXPECT_EQ(w.wnd->Items(IDC_MISSION_LIST), (Items{"Alpha 1.mis", "b.mis"}));
    EXPECT_EQ(w.wnd->Text(IDC_BRIEFING), "\r\r\nFly.");
    EXPECT_EQ(w.wnd->Text(IDC_CALLSIGN), "Old");
    w.wnd->Click(IDC_CAMPAIGN_MISSIONS);
    EXPECT_EQ(w.wnd->Items(IDC_MISSION_LIST), Items{"Camp.mis"});
}

TEST(WindowsCallsign, ReadOnlyHiddenMissionRewrittenAndLeftWritable) {
    Window w;
    const std::string path = w.game.missions() + "\\Alpha 1.mis";
    ASSERT_TRUE(
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    w.Change("Red Leader");
    EXPECT_TRUE(NoMessage(w.host));
    EXPECT_EQ(ReadFile(path), Mission("Fly.", "Red Leader"));
    EXPECT_EQ(Attributes(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(w.wnd->Text(IDC_CALLSIGN), "Red Leader");
    // Nothing left beside it.
    EXPECT_EQ(ListDir(w.game.missions()), (Items{"Alpha 1.mis", "b.mis"}));
}

TEST(WindowsCallsign, AFailedRewriteLeavesBytesAndAttributes) {
    for (os::FileOp op :
         {os::FileOp::Open, os::FileOp::Write, os::FileOp::Sync, os::FileOp::Rename}) {
        SCOPED_TRACE(os::FileOpName(op));
        Window w;
        const std::string path = w.game.missions() + "\\Alpha 1.mis";
        const std::string before = ReadFile(path);
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        os::SetFaultHook([op](os::FileOp o, const std::string& p) {
            const bool temp = p.find("SXTemp") != std::string::npos;
            return o == op && temp ? std::make_error_code(std::errc::no_space_on_device)
                                   : std::error_code();
        });
        w.Change("Never");
        os::SetFaultHook(nullptr);
        EXPECT_TRUE(OneMessage(w.host, text::kLeftUnchanged));
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_EQ(Attributes(path) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(ListDir(w.game.missions()), (Items{"Alpha 1.mis", "b.mis"}));
    }
}

TEST(WindowsCallsign, LockReadersAndTakenNames) {
    Window w;
    const std::string path = w.game.missions() + "\\Alpha 1.mis";
    // Another launcher's lock: the byte range far past the end.
    const HANDLE other = ::CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    OVERLAPPED ov{};
    ov.Offset = 0xFFFFFFFFu;
    ov.OffsetHigh = 0x7FFFFFFFu;
    ASSERT_TRUE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov));
    // A reader of the mission is not held up by it...
    w.wnd->SelectListItem(IDC_MISSION_LIST, 0);
    EXPECT_EQ(w.wnd->Text(IDC_BRIEFING), "\r\r\nFly.");
    // ...a rewrite waits three seconds, then says so.
    const auto start = std::chrono::steady_clock::now();
    w.Change("Waiting");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(2900));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_TRUE(OneMessage(w.host, text::kMissionInUse));
    EXPECT_EQ(ReadFile(path), Mission("Fly.", "Old"));
    ::UnlockFileEx(other, 0, 1, 0, &ov);
    // A reader holding the mission open does not hold up a rewrite, nor does a name taken.
    os::SetTempNameSource([n = 0]() mutable {
        return ++n == 1 ? std::string("SXTempMission-taken.tmp")
                        : "SXTempMission-free" + std::to_string(n) + ".tmp";
    });
    WriteFile(w.game.missions() + "\\SXTempMission-taken.tmp", "someone's");
    w.Change("Through");
    os::SetTempNameSource(nullptr);
    ::CloseHandle(other);
    EXPECT_TRUE(NoMessage(w.host));
    EXPECT_EQ(ReadFile(path), Mission("Fly.", "Through"));
    EXPECT_EQ(ReadFile(w.game.missions() + "\\SXTempMission-taken.tmp"), "someone's");
}

TEST(WindowsCallsign, AMissionDeepInItsFolderIsChanged) {
    // The game 221 and 240 characters deep: the paths of a mission and of the temporary file
    // beside it pass the 260 characters of the system's plain calls.
    for (size_t length : {221u, 240u}) {
        SCOPED_TRACE(length);
        Installed game(true, 0, length);
        const std::string path = game.missions() + "\\Alpha 1.mis";
        WriteLongFile(path, Mission("Fly.", "Old"));
        ASSERT_TRUE(::SetFileAttributesW(
            (L"\\\\?\\" + std::wstring(path.begin(), path.end())).c_str(), FILE_ATTRIBUTE_READONLY));
        FakeHost host;
        CLauncherDlg dlg;
        FakeWindow& w = host.Open(dlg);
        ASSERT_EQ(w.Items(IDC_MISSION_LIST), Items{"Alpha 1.mis"});
        ASSERT_EQ(w.Text(IDC_CALLSIGN), "Old");
        w.Type(IDC_CALLSIGN, "Deep");
        w.Click(IDC_CHANGE_CALLSIGN);
        EXPECT_TRUE(NoMessage(host));
        EXPECT_EQ(ReadLongFile(path), Mission("Fly.", "Deep"));
        EXPECT_EQ(w.Text(IDC_CALLSIGN), "Deep");
        EXPECT_EQ(ListLongDir(game.missions()), Items{"Alpha 1.mis"});
    }
}

TEST(WindowsCallsign, AMissionHeldOpenWithoutSharingIsInUse) {
    const struct {
        const char* what;
        DWORD share;  // what the other program lets others do
        int heldMs;
        const char* message;  // nullptr: rewritten once the other program lets go
    } cases[] = {
        {"nothing, let go after a second", 0, 1000, nullptr},
        {"nothing, held on", 0, 60000, text::kMissionInUse},
        {"reading only, let go after a second", FILE_SHARE_READ, 1000, nullptr},
        {"reading only, held on", FILE_SHARE_READ, 60000, text::kMissionInUse},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Window w;
        const std::string path = w.game.missions() + "\\Alpha 1.mis";
        HANDLE other = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, c.share,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        const auto start = std::chrono::steady_clock::now();
        bool disabled = false;
        w.host.whileWaiting = [&] {
            disabled = !w.wnd->Enabled();
            if (other != nullptr && std::chrono::steady_clock::now() - start >
                                        std::chrono::milliseconds(c.heldMs)) {
                ::CloseHandle(other);
                other = nullptr;
            }
        };
        w.Change("Shared");
        const auto waited = std::chrono::steady_clock::now() - start;
        w.host.whileWaiting = nullptr;
        if (other != nullptr) ::CloseHandle(other);
        EXPECT_TRUE(disabled) << "the window waits alive";
        EXPECT_LT(waited, std::chrono::seconds(5));
        if (c.message) {
            EXPECT_GE(waited, std::chrono::milliseconds(2900));
            EXPECT_TRUE(OneMessage(w.host, c.message));
            EXPECT_EQ(ReadFile(path), Mission("Fly.", "Old"));
        } else {
            EXPECT_TRUE(NoMessage(w.host));
            EXPECT_EQ(ReadFile(path), Mission("Fly.", "Shared"));
        }
        EXPECT_EQ(ListDir(w.game.missions()), (Items{"Alpha 1.mis", "b.mis"}));
    }
}

TEST(WindowsFiles, DevicesAndRelativeNamesAreNoFiles) {
    TempFolder folder;
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.path().c_str()));
    for (const char* device : {"CON", "nul.mis", "COM1.mis", "lpt1", "CONOUT$"}) {
        SCOPED_TRACE(device);
        os::InputFile in;
        EXPECT_FALSE(in.Open(device));
        EXPECT_FALSE(os::MakeWritable(device));
    }
    // A name without a drive is no folder, whatever the current folder holds.
    std::filesystem::create_directories(folder / "none\\Data");
    EXPECT_FALSE(os::ChangeDir("none\\Data"));
    EXPECT_FALSE(os::PathExists("none\\Data"));
    EXPECT_TRUE(os::ChangeDir(folder.path() + "\\none\\Data"));
}

TEST(WindowsProcess, TheLibrarySearchLeavesOutTheCurrentFolder) {
    os::InitializeProcess(0, nullptr, "Sortilex", "");
    char dir[MAX_PATH] = "unset";
    EXPECT_EQ(::GetDllDirectoryA(MAX_PATH, dir), 0u);
    EXPECT_STREQ(dir, "");
}

TEST(WindowsLaunch, TheGameGetsItsCommandLineInItsFolder) {
    Window w;
    std::filesystem::copy_file(SORTILEX_WINDOWS_GAME, w.game.game() + "\\vnt.exe");
    TempFolder logs;
    const std::string log = logs / "game.log";
    Env logEnv("SORTILEX_VNT_LOG", log), seconds("SORTILEX_VNT_SECONDS", "1"),
        results("SORTILEX_VNT_RESULTS", "Fighters: 9\nAxisFlak: 2\nAlliedOther: 1\n");
    w.host.AnswerMessages({ui::IdYes});
    ShownTable table;
    CaptureResultsTable(w.host, table);
    bool disabled = true;
    w.host.whileWaiting = [&] { disabled = disabled && !w.wnd->Enabled(); };
    w.wnd->Click(IDC_LAUNCH_MISSION);
    w.host.whileWaiting = nullptr;
    EXPECT_TRUE(disabled);
    // The game's folder, and exactly the command line of the game's table.
    const Items lines = Split(ReadFile(log), '\n');
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Split(lines[0], '\t').at(0), w.game.game());
    EXPECT_EQ(lines[1], "command line\tvnt.exe -m \"" + w.game.missions() + "\\Alpha 1.mis\"");
    ASSERT_EQ(w.host.messages.size(), 1u);
    // The game ran a second; starting a process under Wine may add to it.
    const std::string& question = w.host.messages[0].text;
    EXPECT_TRUE(
        question == "Total Mission Time : 00:00:01\nWould you like to view the results table ?" ||
        question == "Total Mission Time : 00:00:02\nWould you like to view the results table ?")
        << question;
    ASSERT_TRUE(table.shown);
    EXPECT_EQ(table.counts[IDC_FIGHTER_LOSSES], "9");
    EXPECT_EQ(table.axis, Items{"AxisFlak: 2"});
    EXPECT_EQ(table.allied, Items{"AlliedOther: 1"});

    // The game alone: its name, nothing else.
    std::filesystem::remove(log);
    w.host.messages.clear();
    w.wnd->Click(IDC_LAUNCH_GAME);
    EXPECT_TRUE(NoMessage(w.host));
    for (int i = 0; i < 100 && Split(ReadFile(log), '\n').size() < 2; ++i) ::Sleep(50);
    EXPECT_EQ(Split(ReadFile(log), '\n').at(1), "command line\tvnt.exe");
}

}  // namespace
