// SPDX-License-Identifier: GPL-3.0-or-later
// Mission packs on Windows: real archives made by the host's archivers, the recycle bin (which
// Wine keeps in the desktop's trash), a drive whose files it cannot take, a folder past
// MAX_PATH, and names the ANSI code page cannot spell.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "packs/PackInstall.h"
#include "tests/windows/WindowsSupport.h"

using namespace sx;
using namespace sx::packs;
using namespace wintest;

namespace {

std::string FromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct Outcome {
    InstallSummary summary;
    std::vector<std::string> leftOut;  // "<name>: <reason>", sorted (7-Zip orders entries its own way)
};

Outcome Install(const std::string& game, const std::string& item) {
    PackInstall install({game + "\\Data\\Missions", game + "\\Data\\Campaigns", "", Target::Single});
    Outcome out;
    out.summary = install.Prepare({item}, nullptr) ? install.Place(nullptr, nullptr) : install.Unplaced();
    for (const auto& [name, why] : out.summary.leftOut) out.leftOut.push_back(name + ": " + LeftOutText(why));
    std::sort(out.leftOut.begin(), out.leftOut.end());
    return out;
}

// Answers No to every box the system shows while it lives (its warning that a file it cannot
// recycle would be deleted for good), and counts them.
class SayNo {
  public:
    SayNo()
        : m_thread([this] {
              while (!m_stop) {
                  ::EnumWindows(&SayNo::Each, reinterpret_cast<LPARAM>(this));
                  ::Sleep(20);
              }
          }) {}
    ~SayNo() {
        m_stop = true;
        m_thread.join();
    }
    int Seen() const { return m_seen; }

  private:
    static BOOL CALLBACK Each(HWND w, LPARAM self) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        wchar_t cls[16] = {};
        ::GetClassNameW(w, cls, 16);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w) && std::wstring(cls) == L"#32770") {
            ::PostMessageW(w, WM_COMMAND, IDNO, 0);
            ++reinterpret_cast<SayNo*>(self)->m_seen;
        }
        return TRUE;
    }
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_seen{0};
    std::thread m_thread;
};

const std::string kFar = "Vantorra/Data/Missions/\xE5\x90\x8D.mis";  // a CJK letter

TEST(WindowsPacks, RealArchivesIntoTheGameAndTheOldToTheRecycleBin) {
    // A zip of bsdtar and a 7z of 7-Zip, of one layout: the game's folders kept, the existing
    // spelling kept, the replaced mission in the recycle bin; the script, the readme and the
    // name this code page has no letter for left out.
    const std::string packs = FromEnv("SORTILEX_PACKS"), trash = FromEnv("SORTILEX_TRASH");
    if (packs.empty()) GTEST_SKIP() << "run through run-under-wine.sh";
    for (const char* archive : {"layout.zip", "layout.7z"}) {
        SCOPED_TRACE(archive);
        GameFolders game;
        WriteFile(game.missions() + "\\alpha.mis", Mission("Old.", "Old"));
        const Outcome out = Install(game.game(), packs + "\\" + archive);
        EXPECT_EQ(out.summary.missions, 3);
        EXPECT_EQ(out.summary.trashed, 1);
        EXPECT_EQ(out.leftOut, (std::vector<std::string>{"Vantorra/Data/Missions/run.bat: a program or script",
                                                         kFar + ": a name this system cannot spell",
                                                         "Vantorra/readme.txt: not part of a mission folder"}));
        EXPECT_EQ(ListDir(game.missions()), (std::vector<std::string>{"Ops", "alpha.mis"}));
        EXPECT_NE(ReadFile(game.missions() + "\\alpha.mis").find("Alpha"), std::string::npos);
        EXPECT_NE(ReadFile(game.missions() + "\\Ops\\b\xE9ta.mis").find("Beta"), std::string::npos);
        EXPECT_NE(ReadFile(game.campaigns() + "\\Autumn\\c.mis").find("Autumn"), std::string::npos);
        // What the recycle bin holds comes back from the desktop's trash.
        std::vector<std::string> inBin;
        for (const std::string& name : ListDir(trash + "\\files"))
            if (ReadFile(trash + "\\files\\" + name) == Mission("Old.", "Old")) inBin.push_back(name);
        EXPECT_EQ(inBin.size(), 1u);
        for (const std::string& name : inBin) ::DeleteFileA((trash + "\\files\\" + name).c_str());
        EXPECT_EQ(Install(game.game(), packs + "\\" + archive).summary.already, 3);
    }
}

TEST(WindowsPacks, WhatTheRecycleBinCannotTakeIsNotReplaced) {
    // A recycle bin that takes nothing (a file where its folder would be: the system warns that
    // the file would be deleted for good, and No is said to it) and a folder past MAX_PATH (the
    // shell is never asked): the old mission stays with its reason, the new ones go in, no
    // backup is left.
    const std::string packs = FromEnv("SORTILEX_PACKS"), trash = FromEnv("SORTILEX_TRASH");
    if (packs.empty()) GTEST_SKIP() << "run through run-under-wine.sh";
    const struct {
        const char* what;
        bool binTakesNothing;
        size_t length;
    } rows[] = {
        {"a recycle bin that takes nothing", true, 0},
        {"a folder past MAX_PATH", false, 300},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        GameFolders game(row.length);
        const std::string old = Mission("Old.", "Old"), alpha = game.missions() + "\\Alpha.mis";
        WriteLongFile(alpha, old);
        if (row.binTakesNothing) {
            ASSERT_TRUE(::MoveFileA((trash + "\\files").c_str(), (trash + "\\files.away").c_str()));
            WriteFile(trash + "\\files", "no folder");
        }
        Outcome out;
        int warnings = 0;
        {
            SayNo no;
            out = Install(game.game(), packs + "\\layout.zip");
            warnings = no.Seen();
        }
        if (row.binTakesNothing) {
            ::DeleteFileA((trash + "\\files").c_str());
            ::MoveFileA((trash + "\\files.away").c_str(), (trash + "\\files").c_str());
        }
        EXPECT_EQ(warnings > 0, row.binTakesNothing);
        EXPECT_EQ(out.summary.missions, 2);
        EXPECT_EQ(out.summary.trashed, 0);
        EXPECT_EQ(out.leftOut.front(), "Vantorra/Data/Missions/Alpha.mis: could not be moved to the trash");
        EXPECT_EQ(ReadLongFile(alpha), old);
        EXPECT_NE(ReadLongFile(game.missions() + "\\Ops\\b\xE9ta.mis").find("Beta"), std::string::npos);
        EXPECT_EQ(ListLongDir(game.missions()), (std::vector<std::string>{"Alpha.mis", "Ops"}));
    }
}

}  // namespace
