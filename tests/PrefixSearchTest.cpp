// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the game's prefix among the prefixes the usual tools make, in fake home folders, and
// the Wine the game then runs under.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "catalogue/Catalogue.h"
#include "os/Process.h"
#include "os/wine/PrefixSearch.h"
#include "os/wine/Wine.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
using namespace sx::ui;
using sx::os::wine::PrefixCandidate;
using sx::os::wine::SearchRoots;
namespace fs = std::filesystem;

namespace {

const std::string kWithKey =
    "WINE REGISTRY Version 2\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\vnt.exe] 1\n"
    "\"Path\"=\"C:\\\\Games\\\\Vantorra\"\n";
const std::string kWithoutKey = "WINE REGISTRY Version 2\n[Software\\\\Other] 1\n\"x\"=\"y\"\n";

// A fake home folder with the XDG folders in their usual places.
struct Home {
    TempDir dir;
    SearchRoots roots{dir.path(), dir / ".config", dir / ".local/share"};
    std::string operator/(const std::string& p) const { return dir / p; }

    // A prefix folder whose registry holds the key or not; age in seconds before now.
    std::string Prefix(const std::string& path, bool withKey = true, int age = 0) const {
        const std::string p = dir / path;
        MakeDirs(p + "/drive_c");
        WriteFile(p + "/system.reg", withKey ? kWithKey : kWithoutKey);
        const auto when = fs::file_time_type::clock::now() - std::chrono::seconds(age);
        fs::last_write_time(p + "/system.reg", when);
        return p;
    }
    // A wine program of a tool's own.
    std::string Wine(const std::string& path) const {
        const std::string p = dir / path;
        MakeDirs(fs::path(p).parent_path());
        WriteFile(p, "#!/bin/sh\n");
        ::chmod(p.c_str(), 0755);
        return p;
    }
    void File(const std::string& path, const std::string& text) const {
        MakeDirs(fs::path(dir / path).parent_path());
        WriteFile(dir / path, text);
    }
};

struct Row {
    const char* what;
    std::function<void(Home&)> make;
    std::string prefix;  // relative to the home; "" for none found
    std::string tool;
    std::string wine;    // relative to the home; "" for none recorded
};

TEST(PrefixSearch, EachToolsPrefixesAndTheirWine) {
    const Row rows[] = {
        {"plain ~/.wine", [](Home& h) { h.Prefix(".wine"); }, ".wine", "Wine", ""},
        {"winetricks", [](Home& h) { h.Prefix(".local/share/wineprefixes/game"); },
         ".local/share/wineprefixes/game", "winetricks", ""},
        {"Lutris, with its Wine",
         [](Home& h) {
             h.Prefix("Games/vantorra");
             h.File(".config/lutris/games/vantorra-1.yml",
                    "game:\n  exe: x.exe\n  prefix: " + h / "Games/vantorra" +
                        "\nwine:\n  version: lutris-8.0\n");
             h.Wine(".local/share/lutris/runners/wine/lutris-8.0/bin/wine");
         },
         "Games/vantorra", "Lutris", ".local/share/lutris/runners/wine/lutris-8.0/bin/wine"},
        {"Lutris, its games in the data folder, Wine from its runner settings",
         [](Home& h) {
             h.Prefix("Games/v2");
             h.File(".local/share/lutris/games/v.yml", "game:\n  prefix: ~/Games/v2\n");
             h.File(".config/lutris/runners/wine.yml", "wine:\n  version: ge-9\n");
             h.Wine(".local/share/lutris/runners/wine/ge-9/bin/wine");
         },
         "Games/v2", "Lutris", ".local/share/lutris/runners/wine/ge-9/bin/wine"},
        {"Lutris, no Wine recorded",
         [](Home& h) {
             h.Prefix("Games/v3");
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/Games/v3\n");
         },
         "Games/v3", "Lutris", ""},
        {"Bottles, with its runner",
         [](Home& h) {
             h.Prefix(".local/share/bottles/bottles/Vantorra");
             h.File(".local/share/bottles/bottles/Vantorra/bottle.yml", "Name: V\nRunner: soda-7\n");
             h.Wine(".local/share/bottles/runners/soda-7/bin/wine");
         },
         ".local/share/bottles/bottles/Vantorra", "Bottles",
         ".local/share/bottles/runners/soda-7/bin/wine"},
        {"Steam, a second library, Proton's Wine",
         [](Home& h) {
             h.File(".steam/root/steamapps/libraryfolders.vdf",
                    "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + h / "Library2" +
                        "\"\n\t}\n}\n");
             h.Prefix("Library2/steamapps/compatdata/4242/pfx");
             const std::string proton = h / "Library2/steamapps/common/Proton 8.0";
             h.Wine("Library2/steamapps/common/Proton 8.0/files/bin/wine");
             h.File("Library2/steamapps/compatdata/4242/config_info",
                    "8.0-5\n" + proton + "/files/share/fonts/\n");
         },
         "Library2/steamapps/compatdata/4242/pfx", "Steam",
         "Library2/steamapps/common/Proton 8.0/files/bin/wine"},
        {"Steam, Debian's installation",
         [](Home& h) { h.Prefix(".steam/debian-installation/steamapps/compatdata/7/pfx"); },
         ".steam/debian-installation/steamapps/compatdata/7/pfx", "Steam", ""},
        {"PlayOnLinux",
         [](Home& h) {
             h.Prefix(".PlayOnLinux/wineprefix/Vantorra");
             h.File(".PlayOnLinux/wineprefix/Vantorra/playonlinux.cfg", "ARCH=amd64\nVERSION=5.0\n");
             h.Wine(".PlayOnLinux/wine/linux-amd64/5.0/bin/wine");
         },
         ".PlayOnLinux/wineprefix/Vantorra", "PlayOnLinux", ".PlayOnLinux/wine/linux-amd64/5.0/bin/wine"},
        {"Heroic",
         [](Home& h) {
             h.Prefix("Games/Heroic/Prefixes/vantorra");
             const std::string wine = h.Wine("heroic-wine/bin/wine");
             h.File(".config/heroic/GamesConfig/abc.json",
                    "{\"abc\": {\"winePrefix\": \"" + h / "Games/Heroic/Prefixes/vantorra" +
                        "\", \"wineVersion\": {\"bin\": \"" + wine + "\", \"type\": \"wine\"}}}");
         },
         "Games/Heroic/Prefixes/vantorra", "Heroic", "heroic-wine/bin/wine"},
        {"Steam from Flathub",
         [](Home& h) {
             h.Prefix(".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/9/pfx");
         },
         ".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/9/pfx", "Steam", ""},
        {"Lutris from Flathub",
         [](Home& h) {
             h.Prefix("Games/flat");
             h.File(".var/app/net.lutris.Lutris/config/lutris/games/v.yml",
                    "game:\n  prefix: ~/Games/flat\n");
         },
         "Games/flat", "Lutris", ""},
        {"Bottles from Flathub",
         [](Home& h) { h.Prefix(".var/app/com.usebottles.bottles/data/bottles/bottles/B"); },
         ".var/app/com.usebottles.bottles/data/bottles/bottles/B", "Bottles", ""},
        {"Heroic from Flathub",
         [](Home& h) {
             h.Prefix("Games/hflat");
             h.File(".var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig/x.json",
                    "{\"x\": {\"winePrefix\": \"" + h / "Games/hflat" + "\"}}");
         },
         "Games/hflat", "Heroic", ""},
        {"two prefixes with the key: the one used last",
         [](Home& h) {
             h.Prefix(".wine", true, 3600);
             h.Prefix(".local/share/wineprefixes/newer", true, 10);
             h.Prefix(".local/share/wineprefixes/newest-without", false, 0);
         },
         ".local/share/wineprefixes/newer", "winetricks", ""},
        {"none with the key",
         [](Home& h) {
             h.Prefix(".wine", false);
             h.Prefix(".local/share/wineprefixes/other", false);
         },
         "", "", ""},
        {"odd entries beside the one",
         [](Home& h) {
             // A FIFO as a registry, a dangling bottle, settings that are no YAML, no JSON, no
             // library list, a prefix named by a file.
             MakeDirs(h / ".local/share/wineprefixes/fifo");
             ::mkfifo((h / ".local/share/wineprefixes/fifo/system.reg").c_str(), 0644);
             MakeDirs(h / ".local/share/bottles/bottles");
             fs::create_symlink(h / "gone", h / ".local/share/bottles/bottles/gone");
             h.File(".config/lutris/games/bad.yml", "game: [unclosed\n  prefix: :\n");
             h.File(".config/heroic/GamesConfig/bad.json", "{\"x\": ");
             h.File(".steam/root/steamapps/libraryfolders.vdf", "\"path\" \"/nowhere\" \"");
             h.File("afile", "x");
             h.File(".config/lutris/games/file.yml", "game:\n  prefix: ~/afile\n");
             h.Prefix(".wine", true, 100);
         },
         ".wine", "Wine", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Home home;
        row.make(home);
        const auto start = std::chrono::steady_clock::now();
        const std::optional<PrefixCandidate> found = os::wine::FindGamePrefix(home.roots, kGameKey);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        if (row.prefix.empty()) {
            EXPECT_FALSE(found.has_value());
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->path, home / row.prefix);
        EXPECT_EQ(found->tool, row.tool);
        EXPECT_EQ(found->wine, row.wine.empty() ? std::string() : home / row.wine);
    }
}

TEST(PrefixSearch, FiftyPrefixesOfTwoMegabytesAreSearchedQuickly) {
    Home home;
    // Sections as dense as in a prefix Wine just made: one every 200 bytes or so.
    std::string big = kWithoutKey;
    while (big.size() < (2u << 20))
        big += "[Software\\\\Classes\\\\CLSID\\\\{" + std::to_string(big.size()) +
               "}\\\\InprocServer32] 1700000000\n#time=1d9c0e4b7a2f3e0\n@=\"C:\\\\windows\\\\system32\\\\x.dll\"\n"
               "\"ThreadingModel\"=\"Both\"\n\"x\"=dword:00000001\n";
    for (int i = 0; i < 50; ++i) {
        const std::string p = home.Prefix(".local/share/wineprefixes/p" + std::to_string(i), false, i);
        WriteFile(p + "/system.reg", big);
    }
    // Only the oldest holds the key: every registry is read.
    home.Prefix(".wine", true, 1000);
    os::wine::FindGamePrefix(home.roots, kGameKey);  // the files in the page cache
    // The best of three: a busy machine slows a run down, never speeds one up.
    std::optional<PrefixCandidate> found;
    auto ms = std::chrono::milliseconds::max();
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        found = os::wine::FindGamePrefix(home.roots, kGameKey);
        ms = std::min(ms, std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start));
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path, home / ".wine");
#if defined(__SANITIZE_ADDRESS__)
    const int limit = 1500;  // the sanitizers slow every byte down
#else
    const int limit = 150;
#endif
    EXPECT_LE(ms.count(), limit);
    std::printf("50 prefixes of 2 MB searched in %lld ms\n", static_cast<long long>(ms.count()));
}

}  // namespace

namespace {

// The launcher on a game installed in a prefix some tool made, with WINEPREFIX unset: the
// prefix is found, and the game runs in it under the Wine the tool records, or the user is
// asked first.
struct FoundByTool {
    Home home;
    Launcher launcher;  // its prefix holds the game
    Env unset{"WINEPREFIX", std::nullopt};
    Env homeVar{"HOME", home.dir.path()};
    Env config{"XDG_CONFIG_HOME", std::nullopt}, data{"XDG_DATA_HOME", std::nullopt};
    std::string log = home / "wine.log";

    FoundByTool() {
        // The game a Windows program; a plain ~/.wine without the game, used more recently.
        WriteFile(launcher.prefix.game() + "/vnt.exe",
                  std::string("MZ") + std::string(58, '\0') + std::string("\x40\0\0\0", 4) +
                      std::string("PE\0\0", 4));
        WriteFile(launcher.Missions("A.mis"), Mission("Over the sea", "Ace"));
        home.Prefix(".wine", false);
    }
    // A wine program that records the prefix it runs in and its arguments.
    std::string LoggingWine(const std::string& path) const {
        const std::string wine = home.Wine(path);
        WriteFile(wine, "#!/bin/sh\nprintf '%s|' \"$WINEPREFIX\" \"$@\" >> '" + log + "'\n");
        return wine;
    }
    // What the wine programs logged, once something did (the game alone is not waited for).
    std::string Started() const {
        for (int i = 0; i < 500 && !Exists(log); ++i) ::usleep(10000);
        ::usleep(20000);
        return Exists(log) ? ReadFile(log) : std::string();
    }
};

TEST(PrefixSearch, TheGameRunsUnderTheWineItsToolRecords) {
    FoundByTool t;
    t.home.File(".config/lutris/games/vantorra.yml",
                "game:\n  prefix: " + t.launcher.prefix.root() + "\nwine:\n  version: lutris-9\n");
    t.LoggingWine(".local/share/lutris/runners/wine/lutris-9/bin/wine");
    Env path("PATH", "/usr/bin:/bin"), wine("WINE", "");  // no system Wine to fall back on

    FakeWindow& w = t.launcher.Open();
    EXPECT_TRUE(NoMessage(t.launcher.host));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"A.mis"});
    w.Click(IDC_LAUNCH_GAME);
    EXPECT_TRUE(NoMessage(t.launcher.host));
    EXPECT_EQ(t.Started(), t.launcher.prefix.root() + "|vnt.exe|");
}

TEST(PrefixSearch, ASystemWineInAnotherToolsPrefixIsStartedOnlyIfTheUserSaysYes) {
    FoundByTool t;
    // A bottle whose settings name no runner: only the system's Wine could run it.
    const std::string bottle = t.home / ".local/share/bottles/bottles/Vantorra";
    fs::create_directories(fs::path(bottle).parent_path());
    fs::create_directory_symlink(t.launcher.prefix.root(), bottle);
    const std::string system = t.LoggingWine("bin/wine");
    Env wine("WINE", system);

    FakeWindow& w = t.launcher.Open();
    EXPECT_TRUE(NoMessage(t.launcher.host));
    for (int button : {IDC_LAUNCH_GAME, IDC_LAUNCH_MISSION}) {
        SCOPED_TRACE(button);
        t.launcher.host.AnswerMessages({IdNo});
        w.Click(button);
        ASSERT_EQ(t.launcher.host.messages.size(), 1u);
        EXPECT_EQ(t.launcher.host.messages[0].type, MbYesNo);
        EXPECT_NE(t.launcher.host.messages[0].text.find("made by Bottles"), std::string::npos);
        t.launcher.host.messages.clear();
    }
    t.launcher.host.AnswerMessages({IdYes});
    w.Click(IDC_LAUNCH_GAME);
    // One start only: the two answered No started nothing.
    EXPECT_EQ(t.Started(), bottle + "|vnt.exe|");
}

}  // namespace

namespace {

TEST(CommandLine, PrefixHelpVersionAndUnknownOptions) {
    TempDir cwd;
    ASSERT_EQ(::chdir(cwd.path().c_str()), 0);
    Env prefixVar("WINEPREFIX", "/from/the/environment");
    const struct {
        std::vector<std::string> args;
        bool run;
        int exitCode;
        std::string prefix;  // the prefix afterwards, when the program runs
    } cases[] = {
        {{}, true, 0, "/from/the/environment"},
        {{"--prefix", "/games/pfx"}, true, 0, "/games/pfx"},
        {{"--prefix=games/pfx"}, true, 0, cwd / "games/pfx"},
        {{"--prefix"}, false, 2, ""},
        {{"--help"}, false, 0, ""},
        {{"--version"}, false, 0, ""},
        {{"--prefix", "/p", "mission.mis"}, false, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("none") : c.args[0]);
        std::vector<std::string> args = {"Sortilex"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const os::StartOutcome outcome =
            os::InitializeProcess(static_cast<int>(args.size()), argv.data(), "Sortilex", "2.1.0");
        EXPECT_EQ(outcome.run, c.run);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        if (c.run) {
            EXPECT_EQ(os::wine::Prefix(), c.prefix);
            EXPECT_TRUE(os::wine::PrefixNamed());
        }
        os::wine::UsePrefix("");
    }
    ASSERT_EQ(::chdir("/"), 0);
}

}  // namespace
