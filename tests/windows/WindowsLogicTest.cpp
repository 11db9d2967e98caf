// SPDX-License-Identifier: GPL-3.0-or-later
// The launcher on Windows: the real registry, files, lock and program start of the Windows
// backend, driven through the scripted host.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

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

TEST(WindowsRegistry, TheGameInEitherViewOrNowhere) {
    // The game's folder the window opens on, and the box it shows (nullptr: none).
    const auto gameDir = [](const char* message) {
        FakeHost host;
        CLauncherDlg dlg;
        host.Open(dlg);
        EXPECT_TRUE(message ? OneMessage(host, message) : NoMessage(host));
        return dlg.m_strGameDir;
    };
    const struct {
        const char* what;
        bool withPath;
        unsigned view;
        std::string expected;  // {} for the game's folder
    } cases[] = {
        {"both values", true, 0, {}},
        {"only the unnamed value", false, 0, "\\vnt.exe"},
        {"the other registry view", true, sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installed game(c.withPath, c.view);
        EXPECT_EQ(gameDir(nullptr), game.game() + c.expected);
    }
    {
        // A value longer than the first guess at its size, stored without its NUL.
        Installed game;
        HKEY key = nullptr;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe",
                                  0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        const std::string longPath = "C:\\" + std::string(300, 'x');
        ::RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.data()),
                         static_cast<DWORD>(longPath.size()));
        ::RegCloseKey(key);
        EXPECT_EQ(gameDir(nullptr), longPath);
    }
    Uninstall();
    EXPECT_EQ(gameDir(text::kNotDetected), "none");
}

TEST(WindowsCallsign, AReadOnlyHiddenMissionChangedOrLeftAsItWas) {
    // Rewritten and left writable; or a step of the rewrite fails, and the mission keeps its
    // bytes and attributes.
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    for (const auto failing : {std::optional<os::FileOp>(), std::optional(os::FileOp::Open),
                               std::optional(os::FileOp::Write), std::optional(os::FileOp::Sync),
                               std::optional(os::FileOp::Rename)}) {
        SCOPED_TRACE(failing ? os::FileOpName(*failing) : "none");
        Window w;
        const std::string path = w.game.missions() + "\\Alpha 1.mis";
        const std::string before = ReadFile(path);
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), kept));
        os::SetFaultHook([failing](os::FileOp o, const std::string& p) {
            return o == failing && p.find("SXTemp") != std::string::npos
                       ? std::make_error_code(std::errc::no_space_on_device)
                       : std::error_code();
        });
        w.Change("Red Leader");
        os::SetFaultHook(nullptr);
        if (failing) {
            EXPECT_TRUE(OneMessage(w.host, text::kLeftUnchanged));
            EXPECT_EQ(ReadFile(path), before);
            EXPECT_EQ(Attributes(path) & kept, kept);
        } else {
            EXPECT_TRUE(NoMessage(w.host));
            EXPECT_EQ(ReadFile(path), Mission("Fly.", "Red Leader"));
            EXPECT_EQ(Attributes(path) & kept, 0u);
        }
        EXPECT_EQ(w.wnd->Text(IDC_CALLSIGN), failing ? "Old" : "Red Leader");
        EXPECT_EQ(ListDir(w.game.missions()), (Items{"Alpha 1.mis", "b.mis"}));
    }
}

TEST(WindowsCallsign, ReadersAndTakenNamesHoldNothingUp) {
    Window w;
    const std::string path = w.game.missions() + "\\Alpha 1.mis";
    const HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    os::SetTempNameSource([n = 0]() mutable {
        return ++n == 1 ? std::string("SXTempMission-taken.tmp")
                        : "SXTempMission-free" + std::to_string(n) + ".tmp";
    });
    WriteFile(w.game.missions() + "\\SXTempMission-taken.tmp", "someone's");
    w.Change("Through");
    os::SetTempNameSource(nullptr);
    ::CloseHandle(reader);
    EXPECT_TRUE(NoMessage(w.host));
    EXPECT_EQ(ReadFile(path), Mission("Fly.", "Through"));
    EXPECT_EQ(ReadFile(w.game.missions() + "\\SXTempMission-taken.tmp"), "someone's");
}

TEST(WindowsCallsign, AMissionDeepInItsFolderIsChanged) {
    // The game 221 and 240 characters deep: the paths of a mission and of the temporary file
    // beside it pass the 260 characters of the system's plain calls; 272 characters deep, its
    // mission folder is too long to be made the current folder.
    for (size_t length : {221u, 240u, 272u}) {
        SCOPED_TRACE(length);
        Installed game(true, 0, length);
        const std::string path = game.missions() + "\\Alpha 1.mis";
        WriteLongFile(path, Mission("Fly.", "Old"));
        // What a rewrite that was cut off may leave is no mission.
        WriteLongFile(game.missions() + "\\SXTempMission-0123abcd.tmp", "left by a crash");
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
        EXPECT_EQ(ListLongDir(game.missions()), (Items{"Alpha 1.mis", "SXTempMission-0123abcd.tmp"}));
    }
}

// Another program that holds the mission: another launcher's lock (a byte range far past the
// end), or a handle that does not let others at the file.
HANDLE Hold(const std::string& path, DWORD share, bool lock) {
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    OVERLAPPED ov{};
    ov.Offset = 0xFFFFFFFFu;
    ov.OffsetHigh = 0x7FFFFFFFu;
    if (lock) ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov);
    return h;
}

TEST(WindowsCallsign, AMissionAnotherProgramHoldsIsWaitedFor) {
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const struct {
        const char* what;
        DWORD share;  // what the other program lets others do
        bool lock;
        int heldMs;
        const char* message;  // nullptr: rewritten once the other program lets go
    } cases[] = {
        {"another launcher's lock, let go after a second", all, true, 1000, nullptr},
        {"another launcher's lock, held on", all, true, 60000, text::kMissionInUse},
        {"no sharing, let go after a second", 0, false, 1000, nullptr},
        {"no sharing, held on", 0, false, 60000, text::kMissionInUse},
        {"reading only, let go after a second", FILE_SHARE_READ, false, 1000, nullptr},
        {"reading only, held on", FILE_SHARE_READ, false, 60000, text::kMissionInUse},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Window w;
        const std::string path = w.game.missions() + "\\Alpha 1.mis";
        HANDLE other = Hold(path, c.share, c.lock);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        // A reader is not held up by it.
        w.wnd->SelectListItem(IDC_MISSION_LIST, 0);
        EXPECT_EQ(w.wnd->Text(IDC_BRIEFING), c.share != 0 ? "\r\r\nFly." : text::kMissionNotFound);
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
        w.Change("Waited");
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
            EXPECT_EQ(ReadFile(path), Mission("Fly.", "Waited"));
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
        EXPECT_TRUE(os::ReplaceFileSafely(device, [](os::InputFile&, os::OutputFile&) { return true; }, nullptr).refused);
    }
    // A name without a drive is no folder, whatever the current folder holds.
    std::filesystem::create_directories(folder / "none\\Data");
    EXPECT_FALSE(os::ChangeDir("none\\Data"));
    EXPECT_FALSE(os::PathExists("none\\Data"));
    EXPECT_TRUE(os::ChangeDir(folder.path() + "\\none\\Data"));
}

TEST(WindowsCallsign, ALinkNamedLikeAMissionIsNeverWrittenThrough) {
    // A link of the host to a folder, named x.mis, which Wine shows as a reparse point (Wine
    // makes no links of its own): listed, never changed, and what it leads to stays as it was.
    const char* links = std::getenv("SORTILEX_LINK_FOLDER");
    if (links == nullptr) GTEST_SKIP() << "run through run-under-wine.sh";
    Window w;
    const std::string inside = std::string(links) + "\\target\\inside.mis", before = ReadFile(inside);
    w.dlg.m_strCustomDir = links;
    w.dlg.m_nCategory = kCustomMissions;
    w.dlg.RefreshMissionList();
    ASSERT_EQ(w.wnd->Items(IDC_MISSION_LIST), Items{"x.mis"});
    w.Change("Through");
    EXPECT_TRUE(OneMessage(w.host, text::kCannotModify));
    EXPECT_EQ(ListDir(std::string(links) + "\\target"), Items{"inside.mis"});
    EXPECT_EQ(ReadFile(inside), before);
    EXPECT_EQ(ListDir(links), (Items{"target", "x.mis"}));
}

TEST(WindowsFiles, OnlyTheProgramsOwnLeftoversGo) {
    // The copy of a rewrite killed a while ago goes; one too young (a running rewrite may be
    // about to put it in place), one of the old pattern, and a second name of a mission stay.
    TempFolder folder;
    const std::string leftover = "SXTempMission-0123456789abcdef0123456789abcdef.tmp";
    const auto old = [](const std::string& path) {
        const HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        FILETIME t;
        ::GetSystemTimeAsFileTime(&t);
        ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
        v.QuadPart -= 60ull * 10000000ull;
        t = {v.LowPart, v.HighPart};
        ::SetFileTime(h, nullptr, nullptr, &t);
        ::CloseHandle(h);
    };
    WriteFile(folder / leftover, "killed");
    old(folder / leftover);
    WriteFile(folder / "SXTempMission-ffffffffffffffffffffffffffffffff.tmp", "young");
    WriteFile(folder / "SXTempMission-0123abcd.tmp", "old pattern");
    old(folder / "SXTempMission-0123abcd.tmp");
    WriteFile(folder / "a.mis", Mission("A.", "Old"));
    ::CreateHardLinkA((folder / "SXTempMission-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.tmp").c_str(),
                      (folder / "a.mis").c_str(), nullptr);
    old(folder / "a.mis");
    os::RemoveLeftoverCopies(folder.path());
    EXPECT_EQ(ListDir(folder.path()), (Items{"SXTempMission-0123abcd.tmp",
                                             "SXTempMission-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.tmp",
                                             "SXTempMission-ffffffffffffffffffffffffffffffff.tmp", "a.mis"}));
}

TEST(WindowsProcess, TheLibrarySearchLeavesOutTheCurrentFolder) {
    os::InitializeProcess(0, nullptr);
    char dir[MAX_PATH] = "unset";
    EXPECT_EQ(::GetDllDirectoryA(MAX_PATH, dir), 0u);
    EXPECT_STREQ(dir, "");
}

}  // namespace
