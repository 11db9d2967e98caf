// SPDX-License-Identifier: GPL-3.0-or-later
// The real Win32 windows, driven with window messages: clicks, list selection, typing, the
// window menu, the message boxes, the file dialog, and a launch of the Windows substitute game.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/AboutDlg.h"
#include "app/LauncherDlg.h"
#include "app/ResultsDlg.h"
#include "hosts/win32/Win32DialogWindow.h"
#include "hosts/win32/Win32Host.h"
#include "resources/Resources.h"
#include "tests/windows/WindowsSupport.h"

using namespace sx;
using namespace wintest;

namespace {

std::wstring Text(HWND hwnd) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ItemText(HWND dlg, int id) {
    return Text(::GetDlgItem(dlg, id));
}

// Acts on the next window with this caption once it shows: a timer of the test's own, which
// the event loop of the program, of a message box or of the file dialog runs alike.
struct Pending {
    std::wstring caption;
    std::function<void(HWND)> act;
    const wchar_t* windowClass = nullptr;  // a popup menu's "#32768": no caption
    std::function<bool(HWND)> ready;       // what the window must show first
};
std::vector<Pending> g_pending;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    for (size_t i = 0; i < g_pending.size(); ++i) {
        HWND w = g_pending[i].windowClass ? ::FindWindowW(g_pending[i].windowClass, nullptr)
                                          : ::FindWindowW(nullptr, g_pending[i].caption.c_str());
        if (w == nullptr || !::IsWindowVisible(w) || (g_pending[i].ready && !g_pending[i].ready(w))) continue;
        Pending p = std::move(g_pending[i]);
        g_pending.erase(g_pending.begin() + static_cast<std::ptrdiff_t>(i));
        p.act(w);
        return;
    }
}

// The pointer away from where a menu opens: an entry under it would be the one the keys start
// from.
void OutOfTheWay() {
    ::SetCursorPos(0, 0);
}

// Keys as the keyboard sends them, to whatever window has the input.
void Press(std::initializer_list<WORD> keys) {
    std::vector<INPUT> input;
    for (WORD key : keys)
        for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT i{};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = key;
            i.ki.dwFlags = up;
            input.push_back(i);
        }
    ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void WhenShown(const std::wstring& caption, std::function<void(HWND)> act,
               const wchar_t* windowClass = nullptr, std::function<bool(HWND)> ready = {}) {
    static const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &OnTimer);
    (void)timer;
    g_pending.push_back({caption, std::move(act), windowClass, std::move(ready)});
}

class Win32Window : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::InstallResources(AppResources());
        ui::SetHost(&host);
        WriteFile(game.missions() + "\\Alpha 1.mis", Mission("First line.", "Old Fox"));
        WriteFile(game.missions() + "\\b.mis", Mission("Bee.", "Bravo"));
        WriteFile(game.campaigns() + "\\Camp.mis", Mission("Camp.", "Camper"));
        // As in the program, the main window owns the dialogs and message boxes it opens.
        app.m_pMainWnd = &dlg;
        ASSERT_TRUE(dlg.Create());
        main = dynamic_cast<win32::Win32DialogWindow*>(dlg.GetWindow())->Handle();
    }
    void TearDown() override {
        dlg.DestroyWindow();
        ui::SetHost(nullptr);
        g_pending.clear();
    }
    // Lets the windows work through what was posted to them.
    void Pump(int milliseconds = 100) {
        const DWORD end = ::GetTickCount() + static_cast<DWORD>(milliseconds);
        host.RunUntil([end] { return ::GetTickCount() >= end; });
    }
    void Click(int id) { ::SendMessageW(::GetDlgItem(main, id), BM_CLICK, 0, 0); }
    std::vector<std::wstring> Entries() {
        std::vector<std::wstring> texts;
        HWND list = ::GetDlgItem(main, IDC_MISSION_LIST);
        const int n = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            std::wstring t(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1,
                           L'\0');
            t.resize(static_cast<size_t>(
                ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(t.data()))));
            texts.push_back(t);
        }
        return texts;
    }

    Installed game;
    win32::Win32Host host;
    ui::CWinApp app;
    CLauncherDlg dlg;
    HWND main = nullptr;
};

TEST_F(Win32Window, ResourcesOfTheProgram) {
    wchar_t entry[64] = {};
    ASSERT_GT(::LoadStringW(::GetModuleHandleW(nullptr), 101, entry, 64), 0);
    EXPECT_STREQ(entry, L"Inf&o \u00fcber Sortilex...");
    // The version record, as the about box's settings give it.
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::vector<char> record(::GetFileVersionInfoSizeA(exe, nullptr));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(::GetFileVersionInfoA(exe, 0, static_cast<DWORD>(record.size()), record.data()));
    const std::pair<const char*, const char*> entries[] = {
        {"FileVersion", "2,0,0,1"},
        {"ProductVersion", "2,0,0,1"},
        {"FileDescription", "Sortilex MFC Application"},
        {"InternalName", "Sortilex"},
        {"OriginalFilename", "Sortilex.EXE"},
        {"ProductName", "Sortilex Application"},
        {"CompanyName", ""}};
    for (const auto& [name, expected] : entries) {
        char* value = nullptr;
        UINT size = 0;
        const std::string query = std::string("\\StringFileInfo\\040704b0\\") + name;
        ASSERT_TRUE(
            ::VerQueryValueA(record.data(), query.c_str(), reinterpret_cast<void**>(&value), &size))
            << name;
        EXPECT_STREQ(size ? value : "", expected) << name;
    }
}

TEST_F(Win32Window, TheMainWindowAsTheTemplateSays) {
    EXPECT_EQ(Text(main), L"Sortilex v2.1");
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_EQ(ItemText(main, IDC_LAUNCH_MISSION), L"Launch\nMission");
    EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"Alpha 1.mis", L"b.mis"}));
    EXPECT_EQ(::SendDlgItemMessageW(main, IDC_MISSION_LIST, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ItemText(main, IDC_BRIEFING), L"\r\r\nFirst line.");
    EXPECT_EQ(ItemText(main, IDC_CALLSIGN), L"Old Fox");
    EXPECT_EQ(::IsDlgButtonChecked(main, IDC_SINGLE_MISSIONS), BST_CHECKED);
    EXPECT_NE(::SendMessageW(main, WM_GETICON, ICON_BIG, 0), 0);
    // The window menu ends in a separator and the about entry.
    HMENU menu = ::GetSystemMenu(main, FALSE);
    const int n = ::GetMenuItemCount(menu);
    ASSERT_GE(n, 2);
    EXPECT_EQ(::GetMenuItemID(menu, n - 2), 0u);  // the separator
    EXPECT_EQ(::GetMenuItemID(menu, n - 1), 0x10u);
    wchar_t entry[64] = {};
    ::GetMenuStringW(menu, n - 1, entry, 64, MF_BYPOSITION);
    EXPECT_STREQ(entry, L"Inf&o \u00fcber Sortilex...");
}

TEST_F(Win32Window, ClicksSelectionAndTyping) {
    Click(IDC_CAMPAIGN_MISSIONS);
    EXPECT_EQ(Entries(), std::vector<std::wstring>{L"Camp.mis"});
    EXPECT_EQ(::IsDlgButtonChecked(main, IDC_CAMPAIGN_MISSIONS), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(main, IDC_SINGLE_MISSIONS), BST_UNCHECKED);
    Click(IDC_SINGLE_MISSIONS);
    // The user picks the second entry.
    HWND list = ::GetDlgItem(main, IDC_MISSION_LIST);
    ::SendMessageW(list, LB_SETCURSEL, 1, 0);
    ::SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_MISSION_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(ItemText(main, IDC_CALLSIGN), L"Bravo");
    // Types a callsign with a letter of the code page and clicks "Change".
    ::SetDlgItemTextW(main, IDC_CALLSIGN, L"J\u00e4ger");
    Click(IDC_CHANGE_CALLSIGN);
    EXPECT_EQ(ReadFile(game.missions() + "\\b.mis"), Mission("Bee.", "J\xe4ger"));
    EXPECT_EQ(ItemText(main, IDC_CALLSIGN), L"J\u00e4ger");
    // Enter in the callsign field ends the run, as the dialog manager makes it OK.
    ::SetFocus(::GetDlgItem(main, IDC_CALLSIGN));
    ::PostMessageW(::GetDlgItem(main, IDC_CALLSIGN), WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.Result(), ui::IdOk);
}

TEST_F(Win32Window, EveryModalWindowBelongsToTheTopmostVisibleWindow) {
    struct Seen {
        HWND owner = nullptr;
        bool mainEnabled = true, foreground = false, toolWindow = true;
        std::wstring name;  // the file dialog's name box
    };
    const auto watch = [this](const std::wstring& caption, Seen& seen) {
        WhenShown(caption, [this, &seen](HWND w) {
            seen = {::GetWindow(w, GW_OWNER), ::IsWindowEnabled(main) != 0,
                    ::GetForegroundWindow() == w,
                    (::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0,
                    ItemText(w, 0x47C)};
            ::PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
        });
    };
    const std::string appName = host.AppName();
    const std::wstring caption(appName.begin(), appName.end());
    const struct {
        const char* what;
        std::wstring caption;
        std::function<void()> open;
    } rows[] = {
        {"message box", caption, [this] { dlg.ShowMessageBox("Over the main window"); }},
        {"file dialog", L"Open", [this] { Click(IDC_CUSTOM_MISSIONS); }},
        {"about box", L"Info \u00fcber Sortilex", [this] { ::SendMessageW(main, WM_SYSCOMMAND, 0x10, 0); }},
        // The results window ends before it shows: its box belongs to the main window.
        {"no results file", caption,
         [this] {
             CResultsDlg missing;
             missing.m_strGameDir = game.game();
             missing.DoModal();
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Seen seen;
        watch(row.caption, seen);
        row.open();
        EXPECT_EQ(seen.owner, main);
        EXPECT_FALSE(seen.mainEnabled);
        EXPECT_TRUE(seen.foreground);
        // Closed: the main window takes input again and is the active one.
        EXPECT_TRUE(::IsWindowEnabled(main));
        EXPECT_EQ(::GetActiveWindow(), main);
        // The file dialog's name box starts with the pattern; cancelled, the list stays.
        if (row.caption == L"Open") {
            EXPECT_EQ(seen.name, L"*.mis");
            EXPECT_EQ(::IsDlgButtonChecked(main, IDC_SINGLE_MISSIONS), BST_CHECKED);
        }
    }
    // Before the main window shows, a box has no owner: a window of its own in the task bar,
    // in front.
    dlg.DestroyWindow();
    Seen seen;
    watch(caption, seen);
    CAboutDlg().ShowMessageBox("Vantorra not detected on your machine");
    EXPECT_EQ(seen.owner, nullptr);
    EXPECT_TRUE(seen.foreground);
    EXPECT_FALSE(seen.toolWindow);
}

TEST_F(Win32Window, OneCallsignForTheWholeListFromItsMenu) {
    // The list's menu as the keyboard opens it, its first entry, the dialog, the summary.
    ::SetDlgItemTextW(main, IDC_CALLSIGN, L"Gr\u00fcn Fox");
    std::vector<std::wstring> menu, dialog;
    std::wstring summary;
    WhenShown(
        L"",
        [&](HWND popup) {
            const HMENU h = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
            for (int i = 0; i < ::GetMenuItemCount(h); ++i) {
                wchar_t text[128] = {};
                ::GetMenuStringW(h, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
                menu.push_back(text);
            }
            WhenShown(L"Callsign for all missions", [&](HWND d) {
                dialog = {::GetWindow(d, GW_OWNER) == main ? L"owned by the main window" : L"?",
                          ItemText(d, IDC_BATCH_COUNT), ItemText(d, IDC_BATCH_CALLSIGN)};
                // An edit counts afresh; OK once the count is there.
                ::SetDlgItemTextW(d, IDC_BATCH_CALLSIGN, L"Bravo");
                WhenShown(
                    L"Callsign for all missions",
                    [&](HWND counted) {
                        dialog.push_back(ItemText(counted, IDC_BATCH_OTHER));
                        const std::string appName = host.AppName();
                        WhenShown(std::wstring(appName.begin(), appName.end()), [&summary](HWND box) {
                            summary = ItemText(box, 0xFFFF);
                            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                        });
                        ::SendMessageW(::GetDlgItem(counted, IDOK), BM_CLICK, 0, 0);
                    },
                    nullptr, [](HWND w) { return ItemText(w, IDC_BATCH_OTHER).rfind(L"Counting", 0) != 0; });
            });
            (void)popup;
            Press({VK_DOWN, VK_DOWN, VK_RETURN});
        },
        L"#32768");
    HWND list = ::GetDlgItem(main, IDC_MISSION_LIST);
    OutOfTheWay();
    ::SendMessageW(main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    ASSERT_GE(menu.size(), 4u);
    EXPECT_EQ(menu[0], L"&Install missions...");
    EXPECT_EQ(menu[1], L"Set callsign in &all missions...");
    EXPECT_EQ(menu[2], L"Open this &folder");
    EXPECT_EQ(menu[3], L"Move to &trash");
    EXPECT_EQ(menu[4], L"");
    EXPECT_EQ(menu.back(), L"Inf&o \u00fcber Sortilex...");
    EXPECT_EQ(dialog, (std::vector<std::wstring>{
                          L"owned by the main window", L"Callsign for the 2 missions of this list:",
                          L"Gr\u00fcn Fox", L"1 of them holds another callsign now. This cannot be undone."}));
    EXPECT_EQ(summary, L"Callsign set in 1 mission.\n1 already had it.\n0 have no player record.");
    EXPECT_EQ(ReadFile(game.missions() + "\\Alpha 1.mis"), Mission("First line.", "Bravo"));
    EXPECT_EQ(ReadFile(game.missions() + "\\b.mis"), Mission("Bee.", "Bravo"));
    EXPECT_EQ(ItemText(main, IDC_CALLSIGN), L"Bravo");
    EXPECT_TRUE(::IsWindowEnabled(main));
}

TEST_F(Win32Window, TheListsFolderFromItsMenu) {
    // The folder, handed to the program the system opens folders with: in this throwaway
    // prefix, a stand-in that notes what it was given takes the place of the shell's own.
    std::filesystem::copy_file(SORTILEX_WINDOWS_GAME, game.game() + "\\opener.exe");
    TempFolder logs;
    Env log("SORTILEX_VNT_LOG", logs / "opened.log");
    const std::wstring command =
        L"\"" + std::filesystem::path(game.game() + "\\opener.exe").wstring() + L"\" \"%1\"";
    for (const wchar_t* verb : {L"open", L"explore"}) {
        const std::wstring key = std::wstring(L"Folder\\shell\\") + verb;
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (key + L"\\ddeexec").c_str());
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, (key + L"\\command").c_str(), nullptr, REG_SZ,
                                    command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    std::wstring box;
    const std::string appName = host.AppName();
    WhenShown(std::wstring(appName.begin(), appName.end()), [&box](HWND w) {
        box = ItemText(w, 0xFFFF);
        ::PostMessageW(w, WM_COMMAND, IDOK, 0);
    });
    WhenShown(
        L"",
        [](HWND) { Press({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}); },
        L"#32768");
    OutOfTheWay();
    ::SendMessageW(main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(::GetDlgItem(main, IDC_MISSION_LIST)),
                   MAKELPARAM(-1, -1));
    std::string opened;
    for (int i = 0; i < 100 && opened.empty(); ++i) {
        Pump(100);
        opened = ReadFile(logs / "opened.log");
    }
    EXPECT_EQ(box, L"");
    // Explored as the folder it is, its path ending in a separator.
    EXPECT_NE(opened.find("\"" + game.missions() + "\\\"\n"), std::string::npos) << opened;
}

// A drop of these files, as the shell hands it to the window it lands on.
HGLOBAL Dropped(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& p : paths) chars += p.size() + 1;
    const HGLOBAL h = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(h));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* at = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& p : paths) at = std::copy(p.begin(), p.end(), at) + 1;
    ::GlobalUnlock(h);
    return h;
}

TEST_F(Win32Window, InstallByTheMenuAndByADrop) {
    // A real zip picked in the file dialog from the list's menu, the confirmation, the summary;
    // then a mission dropped on the window.
    const char* packs = std::getenv("SORTILEX_PACKS");
    if (packs == nullptr) GTEST_SKIP() << "run through run-under-wine.sh";
    const std::string zip = std::string(packs) + "\\layout.zip";
    const std::string appName = host.AppName();
    const std::wstring caption(appName.begin(), appName.end());
    std::wstring confirmation, summary;
    int entries = 0;
    const auto agree = [&] {
        WhenShown(
            L"Install missions",
            [&](HWND d) {
                confirmation = ItemText(d, IDC_INSTALL_TEXT);
                entries = static_cast<int>(::SendDlgItemMessageW(d, IDC_INSTALL_ENTRIES, LB_GETCOUNT, 0, 0));
                WhenShown(caption, [&summary](HWND box) {
                    summary = ItemText(box, 0xFFFF);
                    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                });
                ::PostMessageW(d, WM_COMMAND, IDOK, 0);
            },
            nullptr, [](HWND w) { return ::GetDlgItem(w, IDC_INSTALL_ENTRIES) != nullptr; });
    };
    WhenShown(
        L"",
        [&](HWND) {
            WhenShown(
                L"Install missions",
                [&](HWND files) {
                    agree();
                    ::SetDlgItemTextA(files, 0x47C, zip.c_str());
                    ::PostMessageW(files, WM_COMMAND, IDOK, 0);
                },
                nullptr, [](HWND w) { return ::GetDlgItem(w, 0x47C) != nullptr; });
            Press({VK_DOWN, VK_RETURN});
        },
        L"#32768");
    OutOfTheWay();
    ::SendMessageW(main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(::GetDlgItem(main, IDC_MISSION_LIST)),
                   MAKELPARAM(-1, -1));
    for (int i = 0; i < 100 && summary.empty(); ++i) Pump(100);
    const std::string missions = game.missions(), campaigns = game.campaigns();
    EXPECT_EQ(confirmation, L"2 missions and 0 other files from layout.zip go into " +
                                std::wstring(missions.begin(), missions.end()) +
                                L".\r\n1 mission and 0 other files from layout.zip go into " +
                                std::wstring(campaigns.begin(), campaigns.end()) + L".\r\nNothing is replaced.");
    EXPECT_EQ(entries, 6);
    EXPECT_EQ(summary.substr(0, summary.find(L'\n')), L"Installed 3 missions and 0 other files.");
    EXPECT_NE(ReadFile(game.missions() + "\\Ops\\b\xE9ta.mis").find("Beta"), std::string::npos);

    // Dropped: the same as picked, and the list shows the mission.
    TempFolder from;
    WriteFile(from / "Dropped.mis", Mission("Dropped.", "Ace"));
    EXPECT_NE(::GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    confirmation.clear();
    summary.clear();
    agree();
    const std::string dropped = from / "Dropped.mis";
    ::PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Dropped({std::wstring(dropped.begin(), dropped.end())})), 0);
    for (int i = 0; i < 100 && summary.empty(); ++i) Pump(100);
    EXPECT_EQ(summary, L"Installed 1 mission and 0 other files.");
    EXPECT_EQ(ReadFile(game.missions() + "\\Dropped.mis"), Mission("Dropped.", "Ace"));
    HWND list = ::GetDlgItem(main, IDC_MISSION_LIST);
    const int selected = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
    ASSERT_GE(selected, 0);
    EXPECT_EQ(Entries()[static_cast<size_t>(selected)], L"Dropped.mis");
}

TEST_F(Win32Window, ALaunchedMissionWithTheWindowAlive) {
    std::filesystem::copy_file(SORTILEX_WINDOWS_GAME, game.game() + "\\vnt.exe");
    TempFolder logs;
    Env log("SORTILEX_VNT_LOG", logs / "game.log"), seconds("SORTILEX_VNT_SECONDS", "2"),
        results("SORTILEX_VNT_RESULTS", "Fighters: 7\nBombers: 2\nAxisArmor: 6\n");
    std::wstring question;
    std::vector<std::wstring> counts;
    WhenShown(L"Sortilex", [&](HWND box) {
        question = ItemText(box, 0xFFFF);
        ::SendMessageW(box, WM_COMMAND, IDYES, 0);
    });
    WhenShown(L"Results Table", [&](HWND table) {
        for (int id :
             {IDC_FIGHTER_LOSSES, IDC_BOMBER_LOSSES, IDC_FIGHTERS_BY_PLAYER, IDC_BOMBERS_BY_PLAYER})
            counts.push_back(ItemText(table, id));
        ::SendMessageW(table, WM_CLOSE, 0, 0);
    });
    // While the game runs, the main window is disabled but goes on taking its messages (a timer
    // of its own looks at it), and closing it is refused.
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ::SetTimer(main, 77, 500, [](HWND wnd, UINT, UINT_PTR, DWORD) {
        ::SetPropW(wnd, L"sxSeen", reinterpret_cast<HANDLE>(::IsWindowEnabled(wnd) ? 1 : 2));
        ::KillTimer(wnd, 77);
    });
    Click(IDC_LAUNCH_MISSION);
    EXPECT_EQ(::GetPropW(main, L"sxSeen"), reinterpret_cast<HANDLE>(2));
    ::RemovePropW(main, L"sxSeen");
    EXPECT_TRUE(::IsWindowEnabled(main));
    EXPECT_FALSE(dlg.HasEnded()) << "closed while the game ran";
    EXPECT_TRUE(
        question == L"Total Mission Time : 00:00:02\nWould you like to view the results table ?" ||
        question == L"Total Mission Time : 00:00:03\nWould you like to view the results table ?");
    EXPECT_EQ(counts, (std::vector<std::wstring>{L"7", L"2", L"0", L"0"}));
    // The game ran in its folder with exactly the command line of the game's table; alone, it
    // gets its name and nothing else.
    std::vector<std::string> lines = Split(ReadFile(logs / "game.log"), '\n');
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Split(lines[0], '\t').at(0), game.game());
    EXPECT_EQ(lines[1], "command line\tvnt.exe -m \"" + game.missions() + "\\Alpha 1.mis\"");
    std::filesystem::remove(logs / "game.log");
    Click(IDC_LAUNCH_GAME);
    for (int i = 0; i < 100 && Split(ReadFile(logs / "game.log"), '\n').size() < 2; ++i) ::Sleep(50);
    lines = Split(ReadFile(logs / "game.log"), '\n');
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "command line\tvnt.exe");
}

}  // namespace
