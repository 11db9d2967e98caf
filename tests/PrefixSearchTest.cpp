// SPDX-License-Identifier: GPL-3.0-or-later
// The game's prefix among those the usual tools make, in fake home folders laid out as those
// tools lay out theirs: which prefix is found, what starts the game there (each tool's programs
// log how they were started), and when the user is asked first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "catalogue/Catalogue.h"
#include "os/Files.h"
#include "os/wine/Wine.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
namespace fs = std::filesystem;

namespace {

// A fake home folder, the XDG folders in their usual places, WINEPREFIX unset.
struct Home {
    TempDir dir;
    Env home{"HOME", dir.path()}, prefix{"WINEPREFIX", std::nullopt};
    Env config{"XDG_CONFIG_HOME", std::nullopt}, data{"XDG_DATA_HOME", std::nullopt};
    Env system{"WINE", dir / "bin/wine"};  // the system's Wine, which a tool's own must beat
    Home() { Program("bin/wine"); }
    std::string operator/(const std::string& p) const { return dir / p; }

    void File(const std::string& path, const std::string& text) const {
        MakeDirs(fs::path(dir / path).parent_path());
        WriteFile(dir / path, text);
    }
    // A prefix, holding the game or not, its registry used that many seconds ago.
    std::string Prefix(const std::string& path, bool withGame = true, int age = 0) const {
        const std::string p = dir / path;
        MakeDirs(p + "/dosdevices");
        MakeDirs(p + "/drive_c/Games/Vantorra/Data/Missions");
        if (!fs::exists(p + "/dosdevices/c:")) fs::create_directory_symlink("../drive_c", p + "/dosdevices/c:");
        WriteFile(p + "/drive_c/Games/Vantorra/vnt.exe", WindowsProgram());
        WriteFile(p + "/drive_c/Games/Vantorra/Data/Missions/A.mis", Mission("Sea.", "Ace"));
        WriteFile(p + "/system.reg",
                  "WINE REGISTRY Version 2\n[Software\\\\" +
                      std::string(withGame ? "Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
                                             "Paths\\\\vnt.exe] 1\n\"Path\"=\"C:\\\\Games\\\\Vantorra\"\n"
                                           : "Other] 1\n"));
        fs::last_write_time(p + "/system.reg", fs::file_time_type::clock::now() - std::chrono::seconds(age));
        return p;
    }
    // A program of a tool's own: it logs how it was started, and what of the environment matters.
    std::string Program(const std::string& path, const std::string& more = "") const {
        const std::string log = "'" + (dir / "started") + "'";
        File(path, "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" \"W=$WINEPREFIX\" \"S=$STEAM_COMPAT_DATA_PATH\" "
                   "\"C=$STEAM_COMPAT_CLIENT_INSTALL_PATH\" \"A=$SteamAppId/$SteamGameId\" >> " + log +
                       "\necho >> " + log + "\n" + more);
        ::chmod((dir / path).c_str(), 0755);
        return dir / path;
    }
    // A Proton (its script, and a manifest asking for the runtime of that app id).
    void Proton(const std::string& folder, const std::string& runtime = "", const std::string& version = "") const {
        Program(folder + "/proton", version.empty() ? "" : "CURRENT_PREFIX_VERSION=\"" + version + "\"\n");
        File(folder + "/toolmanifest.vdf", "\"manifest\"\n{\n  \"version\" \"2\"\n  \"commandline\" \"/proton %verb%\"\n" +
                                               (runtime.empty() ? "" : "  \"require_tool_appid\" \"" + runtime + "\"\n") + "}\n");
    }
    // The Steam Linux Runtime of an app id, installed in a library.
    void Runtime(const std::string& library, const std::string& appId) const {
        Program(library + "/steamapps/common/SteamLinuxRuntime_sniper/_v2-entry-point");
        File(library + "/steamapps/common/SteamLinuxRuntime_sniper/toolmanifest.vdf",
             "\"manifest\" { \"commandline\" \"/_v2-entry-point --verb=%verb% --\" }");
        File(library + "/steamapps/appmanifest_" + appId + ".acf",
             "\"AppState\"\n{\n\t\"appid\"\t\t\"" + appId + "\"\n\t\"installdir\"\t\t\"SteamLinuxRuntime_sniper\"\n}\n");
    }
    // The line the tools' programs logged, home folder as ~, once one did (the game alone is
    // not waited for).
    std::string Started() const {
        std::string log;
        for (int i = 0; i < 1000 && !(log = ReadFile(dir / "started")).ends_with('\n'); ++i) ::usleep(10000);
        for (size_t at; (at = log.find(dir.path())) != std::string::npos;) log.replace(at, dir.path().size(), "~");
        return log;
    }
};

std::string Question(const std::string& tool, const std::string& recorded, const std::string& instead) {
    return tool + " made this game's prefix for " + recorded + ", which is not installed.\nStart the game with " +
           instead + " instead?\nAnother Wine may upgrade the prefix so that " + tool + " can no longer use it.";
}

const std::string kLib = "Library";  // a second Steam library
const std::string kPfx = kLib + "/steamapps/compatdata/42/pfx";
const std::string kSteamEnv = "|W=|S=~/" + kLib + "/steamapps/compatdata/42|C=~/.steam/root|A=42/42|";
const std::string kProton = "~/" + kLib + "/steamapps/common/Proton 8.0/proton|waitforexitandrun|vnt.exe";
const std::string kRuntime = "~/" + kLib + "/steamapps/common/SteamLinuxRuntime_sniper/_v2-entry-point|--verb=waitforexitandrun|--|";

// A Steam prefix of app 42 in the second library, made by Proton 8.0 as its config_info says.
void SteamGame(Home& h, const std::string& list, const std::string& fonts = "/files/share/fonts/") {
    h.File(".steam/root/steamapps/libraryfolders.vdf", list);
    h.Prefix(kPfx);
    h.File(kLib + "/steamapps/compatdata/42/config_info", "8.0-5\n" + (h / kLib) + "/steamapps/common/Proton 8.0" + fonts + "\n");
    h.Proton(kLib + "/steamapps/common/Proton 8.0");
}

TEST(PrefixSearch, EachToolsSetups) {
    const struct {
        const char* what;
        std::function<void(Home&)> make;
        std::string prefix;  // found, in the home ("" none)
        std::string started;
        std::string asksFor;  // the Wine the question names ("" no question)
    } rows[] = {
        {"plain ~/.wine", [](Home& h) { h.Prefix(".wine"); }, ".wine", "~/bin/wine|vnt.exe|W=~/.wine|S=|C=|A=/|", ""},
        {"winetricks", [](Home& h) { h.Prefix(".local/share/wineprefixes/v"); }, ".local/share/wineprefixes/v",
         "~/bin/wine|vnt.exe|W=~/.local/share/wineprefixes/v|S=|C=|A=/|", ""},
        {"Lutris, a runner folder with bin/wine",
         [](Home& h) {
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: lutris-8\n");
             h.Program(".local/share/lutris/runners/wine/lutris-8/bin/wine");
         },
         "G", "~/.local/share/lutris/runners/wine/lutris-8/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", ""},
        {"Lutris, files/bin/wine in a folder named like a Proton, from the runner's settings",
         [](Home& h) {
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\n");
             h.File(".config/lutris/runners/wine.yml", "wine:\n  version: GE-Proton8-26\n");
             h.Program(".local/share/lutris/runners/wine/GE-Proton8-26/files/bin/wine");
         },
         "G", "~/.local/share/lutris/runners/wine/GE-Proton8-26/files/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", ""},
        {"Lutris, dist/bin/wine; settings beside the data (no ~/.config/lutris)",
         [](Home& h) {
             h.File(".local/share/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: wine-9\n");
             h.Program(".local/share/lutris/runners/wine/wine-9/dist/bin/wine");
         },
         "G", "~/.local/share/lutris/runners/wine/wine-9/dist/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", ""},
        {"Lutris, the system's Wine", [](Home& h) { h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: system\n"); },
         "G", "~/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", ""},
        {"Lutris, a custom Wine",
         [](Home& h) {
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: custom\n  custom_wine_path: ~/w/bin/wine\n");
             h.Program("w/bin/wine");
         },
         "G", "~/w/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", ""},
        {"Lutris, WineHQ's staging Wine, not installed",
         [](Home& h) { h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: winehq-staging\n"); },
         "G", "~/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", "winehq-staging"},
        {"Lutris, no Wine named", [](Home& h) { h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\n"); }, "G",
         "~/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", "a Wine it does not name"},
        {"Lutris from Flathub, its system Wine inside its sandbox",
         [](Home& h) { h.File(".var/app/net.lutris.Lutris/config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: system\n"); },
         "G", "~/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", "the Wine of its Flatpak"},
        {"Bottles, a runner with files/bin/wine",
         [](Home& h) {
             h.File(".local/share/bottles/bottles/V/bottle.yml", "Name: V\nRunner: soda-7\n");
             h.Program(".local/share/bottles/runners/soda-7/files/bin/wine");
         },
         ".local/share/bottles/bottles/V", "~/.local/share/bottles/runners/soda-7/files/bin/wine|vnt.exe|W=~/.local/share/bottles/bottles/V|S=|C=|A=/|", ""},
        {"Bottles, the system's Wine", [](Home& h) { h.File(".local/share/bottles/bottles/V/bottle.yml", "Runner: sys-wine-9.0\n"); },
         ".local/share/bottles/bottles/V", "~/bin/wine|vnt.exe|W=~/.local/share/bottles/bottles/V|S=|C=|A=/|", ""},
        {"Bottles from Flathub, the system Wine of its sandbox",
         [](Home& h) { h.File(".var/app/com.usebottles.bottles/data/bottles/bottles/V/bottle.yml", "Runner: sys-wine-9.0\n"); },
         ".var/app/com.usebottles.bottles/data/bottles/bottles/V",
         "~/bin/wine|vnt.exe|W=~/.var/app/com.usebottles.bottles/data/bottles/bottles/V|S=|C=|A=/|", "sys-wine-9.0"},
        {"Steam before 2021: numbered paths; Proton inside the runtime it asks for",
         [](Home& h) {
             SteamGame(h, "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\"1\"\n\t\"ContentStatsID\"\t\"-5\"\n\t\"1\"\t\"" + (h / kLib) + "\"\n}\n");
             h.Proton(kLib + "/steamapps/common/Proton 8.0", "1628350");
             h.Runtime(kLib, "1628350");
         },
         kPfx, kRuntime + kProton + kSteamEnv, ""},
        {"Steam 2021: library blocks, a gap in the numbers; Proton's dist layout",
         [](Home& h) {
             SteamGame(h, "\"libraryfolders\" { \"contentstatsid\" \"1\" \"3\" { \"path\" \"" + (h / kLib) + "\" \"label\" \"\" \"mounted\" \"1\" } }",
                       "/dist/share/fonts/");
         },
         kPfx, kProton + kSteamEnv, ""},
        {"Steam 2022 in config/, comments and escapes; a library under a folder named files",
         [](Home& h) {
             h.File(".steam/root/config/libraryfolders.vdf",
                    "// Steam's\n\"LibraryFolders\" { \"1\" { \"PATH\" \"" + (h / "files/L") +
                        "\" \"contentid\" \"7\" \"totalsize\" \"0\" \"apps\" { \"42\" \"1\" } } }");
             h.Prefix("files/L/steamapps/compatdata/42/pfx");
             h.File("files/L/steamapps/compatdata/42/config_info", "8.0\n" + (h / "files/L/steamapps/common/P/files/share/fonts/") + "\n");
             h.Proton("files/L/steamapps/common/P");
         },
         "files/L/steamapps/compatdata/42/pfx", "~/files/L/steamapps/common/P/proton|waitforexitandrun|vnt.exe|W=|S=~/files/L/steamapps/compatdata/42|C=~/.steam/root|A=42/42|", ""},
        {"Steam, a Proton before 5.13: the prefix version names it",
         [](Home& h) {
             SteamGame(h, "\"libraryfolders\" { \"1\" { \"path\" \"" + (h / kLib) + "\" } }");
             fs::remove(h / kLib + "/steamapps/compatdata/42/config_info");
             h.File(kLib + "/steamapps/compatdata/42/version", "4.11-2\n");
             h.Proton(".steam/root/compatibilitytools.d/Proton 4.11", "", "4.11-2");
             h.Proton(kLib + "/steamapps/common/Proton 8.0", "", "8.0-5");
         },
         kPfx, "~/.steam/root/compatibilitytools.d/Proton 4.11/proton|waitforexitandrun|vnt.exe" + kSteamEnv, ""},
        {"Steam, a prefix version no Proton makes",
         [](Home& h) {
             SteamGame(h, "\"libraryfolders\" { \"1\" { \"path\" \"" + (h / kLib) + "\" } }");
             fs::remove(h / kLib + "/steamapps/compatdata/42/config_info");
             h.File(kLib + "/steamapps/compatdata/42/version", "3.7-8\n");
         },
         kPfx, "~/bin/wine|vnt.exe|W=~/" + kPfx + "|S=|C=|A=/|", "Proton 3.7-8"},
        {"Steam from the Snap store",
         [](Home& h) { h.Prefix("snap/steam/common/.local/share/Steam/steamapps/compatdata/7/pfx"); },
         "snap/steam/common/.local/share/Steam/steamapps/compatdata/7/pfx",
         "~/bin/wine|vnt.exe|W=~/snap/steam/common/.local/share/Steam/steamapps/compatdata/7/pfx|S=|C=|A=/|", "a Wine it does not name"},
        {"Steam from Flathub",
         [](Home& h) {
             const std::string steam = ".var/app/com.valvesoftware.Steam/.local/share/Steam";
             h.Prefix(steam + "/steamapps/compatdata/9/pfx");
             h.File(steam + "/steamapps/compatdata/9/config_info", "8\n" + (h / steam) + "/steamapps/common/P/files/share/fonts/\n");
             h.Proton(steam + "/steamapps/common/P");
         },
         ".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/9/pfx",
         "~/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/P/proton|waitforexitandrun|vnt.exe|W=|"
         "S=~/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/9|C=~/.var/app/com.valvesoftware.Steam/.local/share/Steam|A=9/9|",
         ""},
        {"PlayOnLinux",
         [](Home& h) {
             h.Prefix(".PlayOnLinux/wineprefix/V");
             h.File(".PlayOnLinux/wineprefix/V/playonlinux.cfg", "ARCH=amd64\nVERSION=5.0\n");
             h.Program(".PlayOnLinux/wine/linux-amd64/5.0/bin/wine");
         },
         ".PlayOnLinux/wineprefix/V", "~/.PlayOnLinux/wine/linux-amd64/5.0/bin/wine|vnt.exe|W=~/.PlayOnLinux/wineprefix/V|S=|C=|A=/|", ""},
        {"Heroic, a Wine",
         [](Home& h) {
             h.Program("hw/bin/wine");
             h.File(".config/heroic/GamesConfig/a.json", R"({"a": {"winePrefix": "~/H", "wineVersion": {"bin": "~/hw/bin/wine", "name": "Wine-GE", "type": "wine"}}})");
         },
         "H", "~/hw/bin/wine|vnt.exe|W=~/H|S=|C=|A=/|", ""},
        {"Heroic, a Proton: its pfx, started as Heroic starts it",
         [](Home& h) {
             h.Program("GE/proton");
             MakeDirs(h / ".steam/steam");
             h.File(".config/heroic/GamesConfig/a.json", R"({"a": {"winePrefix": "~/H", "wineVersion": {"bin": "~/GE/proton", "name": "GE", "type": "proton"}}})");
         },
         "H/pfx", "~/GE/proton|run|vnt.exe|W=|S=~/H|C=~/.steam/steam|A=/|", ""},
        {"Heroic from Flathub, its Wine inside its sandbox",
         [](Home& h) {
             h.File(".var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig/a.json",
                    R"({"a": {"winePrefix": "~/H", "wineVersion": {"bin": "/app/bin/wine", "name": "Wine-GE-8", "type": "wine"}}})");
         },
         "H", "~/bin/wine|vnt.exe|W=~/H|S=|C=|A=/|", "Wine-GE-8"},
        {"two prefixes with the game: the one used last",
         [](Home& h) {
             h.Prefix(".wine", true, 3600);
             h.Prefix(".local/share/wineprefixes/newer", true, 10);
             h.Prefix(".local/share/wineprefixes/newest-without", false, 0);
         },
         ".local/share/wineprefixes/newer", "~/bin/wine|vnt.exe|W=~/.local/share/wineprefixes/newer|S=|C=|A=/|", ""},
        {"none with the game", [](Home& h) { h.Prefix(".wine", false); }, "", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Home h;
        // Where a prefix is one of the setup's, it holds the game.
        if (!row.prefix.empty() && !Exists(h / row.prefix)) h.Prefix(row.prefix);
        row.make(h);
        FakeHost host;
        CLauncherDlg dlg;
        FakeWindow& w = host.Open(dlg);
        EXPECT_EQ(dlg.m_strGameDir, row.prefix.empty() ? "none" : "C:\\Games\\Vantorra");
        if (row.prefix.empty()) continue;
        EXPECT_EQ(os::wine::Prefix(), h / row.prefix);
        EXPECT_TRUE(NoMessage(host));
        host.AnswerMessages({ui::IdYes});
        w.Click(IDC_LAUNCH_GAME);
        if (row.asksFor.empty()) {
            EXPECT_TRUE(NoMessage(host));
        } else {
            const std::string tool = std::string(row.what).substr(0, std::string(row.what).find_first_of(", "));
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, Question(tool, row.asksFor, h / "bin/wine"));
            EXPECT_EQ(host.messages[0].type, ui::MbYesNo | ui::MbDefaultSecond);
        }
        EXPECT_EQ(h.Started(), row.started + "\n");
    }
}

// What --list-installations printed, the home's folder written "~".
CommandRun ListInstallations(const Home& h) {
    CommandRun l = RunCommandLine({"--list-installations"}, h.dir.path());
    for (std::string* text : {&l.out, &l.err})
        for (size_t at; (at = text->find(h.dir.path())) != std::string::npos;) text->replace(at, h.dir.path().size(), "~");
    return l;
}

TEST(PrefixSearch, BoundsAndTrust) {
#if defined(__SANITIZE_ADDRESS__)
    const long limitMs = 10000;  // the sanitizers slow every step down; their memory is theirs
#else
    const long limitMs = 1000;
#endif
    // The game's folder as a field: its backslashes escaped.
    const std::string kGame = "C:\\\\Games\\\\Vantorra";
    const std::string kWine = "Wine\t~/.wine\t" + kGame + "\tWINEPREFIX=~/.wine ~/bin/wine vnt.exe\n";
    const auto owner = [](const std::string& path, uint32_t uid, uint32_t gid, uint32_t mode) {
        os::SetOwnerHook([=](const std::string& p) -> std::optional<os::PathOwner> {
            if (p == path) return os::PathOwner{uid, gid, mode};
            return std::nullopt;
        });
    };
    // A Lutris game in ~/G, whose Wine is the runner folder "w".
    const auto lutrisRunner = [](Home& h) {
        h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: w\n");
        h.Program(".local/share/lutris/runners/wine/w/bin/wine");
        h.Prefix("G");
    };
    const struct {
        const char* what;
        std::function<void(Home&)> make;
        std::string out;   // what is listed
        std::string err;   // how what stderr says ends ("" nothing)
    } rows[] = {
        {"a library list naming one library 200,000 times",
         [](Home& h) {
             std::string list = "\"libraryfolders\" {\n";
             for (int i = 0; i < 200000; ++i) list += "\"" + std::to_string(i) + "\" { \"path\" \"" + (h / "L") + "\" }\n";
             h.File(".steam/root/steamapps/libraryfolders.vdf", list + "}\n");
             h.Prefix("L/steamapps/compatdata/1/pfx", true, 60);
         },
         "Steam\t~/L/steamapps/compatdata/1/pfx\t" + kGame + "\tasks first\n" + kWine,
         " bytes of 1 settings files past their size bound\n"},
        {"a config_info of 4 MB",
         [](Home& h) {
             h.Prefix(".steam/root/steamapps/compatdata/1/pfx", true, 60);
             h.File(".steam/root/steamapps/compatdata/1/config_info", std::string(4u << 20, 'x'));
         },
         "Steam\t~/.steam/root/steamapps/compatdata/1/pfx\t" + kGame + "\tasks first\n" + kWine,
         "Sortilex: passed over: 4,186,112 bytes of 1 settings files past their size bound\n"},
        {"40,000 prefix folders",
         [](Home& h) {
             for (int i = 0; i < 40000; ++i) MakeDirs(h / ".local/share/wineprefixes/" + std::to_string(i));
         },
         kWine, "Sortilex: passed over: 35,904 prefixes beyond the first 4,096 of a tool\n"},
        {"another user's prefix, dated in the future, naming that user's Proton",
         [&](Home& h) {
             const std::string pfx = h.Prefix(".steam/root/steamapps/compatdata/1/pfx");
             fs::last_write_time(pfx + "/system.reg", fs::file_time_type::clock::now() + std::chrono::hours(24 * 365));
             h.File(".steam/root/steamapps/compatdata/1/config_info", "8\n" + (h / "theirs/files/share/fonts/") + "\n");
             h.Proton("theirs");
             owner(pfx, 4242, 4242, S_IFDIR | 0755);
         },
         "refused: the Wine prefix ~/.steam/root/steamapps/compatdata/1/pfx belongs to another user.\n" + kWine, ""},
        {"a runner every user may change",
         [&](Home& h) {
             lutrisRunner(h);
             owner(h / ".local/share/lutris/runners/wine/w/bin", 0, 0, S_IFDIR | 0777);
         },
         "refused: ~/.local/share/lutris/runners/wine/w/bin can be changed by every user.\n" + kWine, ""},
        {"a folder above a runner that another group may change",
         [&](Home& h) {
             lutrisRunner(h);
             owner(h / ".local/share/lutris/runners", 0, 4242, S_IFDIR | 0775);
         },
         "refused: ~/.local/share/lutris/runners can be changed by the other users of its group.\n" + kWine, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Home h;
        h.Prefix(".wine", true, 3600);
        row.make(h);
        const CommandRun l = ListInstallations(h);
        os::SetOwnerHook(nullptr);
        EXPECT_EQ(l.code, 0);
        EXPECT_EQ(l.out, row.out);
        EXPECT_TRUE(row.err.empty() ? l.err.empty() : l.err.ends_with(row.err)) << l.err;
        EXPECT_LT(l.ms, limitMs);
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_LT(l.peakKiB, 100 * 1024);
#endif
        std::printf("%s: %ld ms, %ld KiB\n", row.what, l.ms, l.peakKiB);
    }
}

TEST(PrefixSearch, TheWindowMenuOffersEveryInstallation) {
    Home h;
    h.Prefix(".wine", true, 3600);
    h.Prefix(".local/share/wineprefixes/v", true, 60);
    h.Prefix(".local/share/wineprefixes/old", true, 7200);
    // Sortilex started as a program that logs how it is started again.
    const std::string self = h.Program("Sortilex");
    char program[] = "x", option[] = "--prefix=/elsewhere", other[] = "--keep";
    char* argv[] = {program, option, other, nullptr};
    argv[0] = const_cast<char*>(self.c_str());
    os::InitializeProcess(3, argv);
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    // Before the separator that precedes the about entry, the newest in use.
    ASSERT_EQ(w.menu.size(), 3u);
    EXPECT_EQ(w.menu[0].second, "&Game installation");
    const std::vector<ui::MenuEntry>& entries = w.submenus["&Game installation"];
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, "winetricks: " + (h / ".local/share/wineprefixes/v"));
    EXPECT_TRUE(entries[0].checked);
    EXPECT_EQ(entries[1].text, "Wine: " + (h / ".wine"));
    EXPECT_FALSE(entries[1].checked);
    // The one in use: nothing; another: Sortilex starts again on it, its other arguments kept.
    w.SysCommand(entries[0].id);
    EXPECT_FALSE(dlg.HasEnded());
    w.SysCommand(entries[1].id);
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(h.Started(), "~/Sortilex|--keep|--prefix|~/.wine|W=|S=|C=|A=/|\n");
    os::InitializeProcess(0, nullptr);
}

TEST(PrefixSearch, NothingInstalledIsSaidOnStderr) {
    Home h;
    const CommandRun l = ListInstallations(h);
    EXPECT_EQ(l.code, 1);
    EXPECT_EQ(l.out, "");
    EXPECT_EQ(l.err, "Vantorra not detected on your machine\n");
}

TEST(PrefixSearch, ARunSearchesOnce) {
    Home h;
    h.Prefix("G");
    h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\n");
    int reads = 0;
    os::SetFaultHook([&reads](os::FileOp op, const std::string& path) {
        if (op == os::FileOp::Open && path.ends_with("games/v.yml")) ++reads;
        return std::error_code();
    });
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    for (int i = 0; i < 2; ++i) w.Click(IDC_LAUNCH_GAME);
    os::SetFaultHook(nullptr);
    EXPECT_EQ(reads, 1);
}

TEST(CommandLine, Options) {
    TempDir cwd;
    ASSERT_EQ(::chdir(cwd.path().c_str()), 0);
    Env prefixVar("WINEPREFIX", "/from/the/environment");
    const struct {
        std::vector<std::string> args;
        std::optional<int> exitCode;  // nothing: the program goes on
        std::string prefix;           // the prefix afterwards, when it goes on
    } cases[] = {
        {{}, {}, "/from/the/environment"},
        {{"--prefix", "/games/pfx"}, {}, "/games/pfx"},
        {{"--prefix=games/pfx"}, {}, cwd / "games/pfx"},
        {{"--prefix"}, 2, ""},
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
        {{"--prefix", "/p", "mission.mis"}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("none") : c.args[0]);
        std::vector<std::string> args = {"Sortilex"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(CLauncherApp().CommandLine(static_cast<int>(args.size()), argv.data()), c.exitCode);
        if (!c.exitCode) {
            EXPECT_EQ(os::wine::Prefix(), c.prefix);
        }
        os::wine::UsePrefix("");
    }
    ASSERT_EQ(::chdir("/"), 0);
}

}  // namespace
