// SPDX-License-Identifier: GPL-3.0-or-later
// The game's prefix among those the usual tools make, in fake home folders laid out as those
// tools lay out theirs: which prefix is found, what starts the game there (each tool's programs
// log how they were started), and when the user is asked first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
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
    // Programs of the home's own on the PATH first (umu-run, where a row installs it there).
    Env onPath{"PATH", dir / "ubin:" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")};
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
                   "\"C=$STEAM_COMPAT_CLIENT_INSTALL_PATH\" \"A=$SteamAppId/$SteamGameId\" "
                   "${PROTONPATH+\"U=$PROTONPATH $GAMEID $STORE $PROTON_VERB\"} >> " + log +
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

// Steam's config.vdf with the tool it was told to use for one app id.
std::string kConfig(const std::string& app, const std::string& tool) {
    return "\"InstallConfigStore\"\n{\n\t\"Software\"\n\t{\n\t\t\"valve\"\n\t\t{\n\t\t\t\"Steam\"\n\t\t\t{\n"
           "\t\t\t\t\"CompatToolMapping\"\n\t\t\t\t{\n\t\t\t\t\t\"" + app + "\"\n\t\t\t\t\t{\n"
           "\t\t\t\t\t\t\"name\"\t\t\"" + tool + "\"\n\t\t\t\t\t\t\"config\"\t\t\"\"\n\t\t\t\t\t\t\"priority\"\t\t\"250\"\n"
           "\t\t\t\t\t}\n\t\t\t\t}\n";
}
const std::string kConfigEnd = "\t\t\t}\n\t\t}\n\t}\n}\n";

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
        {"Lutris, a Proton from the runner's settings, through the umu of its runtime",
         [](Home& h) {
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\n");
             h.File(".config/lutris/runners/wine.yml", "wine:\n  version: GE-Proton8-26\n");
             h.Program(".local/share/lutris/runners/wine/GE-Proton8-26/files/bin/wine");
             h.Program(".local/share/lutris/runtime/umu/umu_run.py");
             h.Program("ubin/umu-run");
         },
         "G", "~/.local/share/lutris/runtime/umu/umu_run.py|vnt.exe|W=~/G|S=|C=|A=/|U=~/.local/share/lutris/runners/wine/GE-Proton8-26 umu-default  waitforexitandrun|", ""},
        {"Lutris, the latest GE-Proton, through umu on the PATH",
         [](Home& h) {
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: ge-proton\n");
             h.Program("ubin/umu-run");
         },
         "G", "~/ubin/umu-run|vnt.exe|W=~/G|S=|C=|A=/|U=GE-Proton umu-default  waitforexitandrun|", ""},
        {"Lutris, a Proton of Steam's, umu not installed",
         [](Home& h) {
             h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: Proton 9.0\n");
             h.Proton(".steam/root/steamapps/common/Proton 9.0");
         },
         "G", "~/bin/wine|vnt.exe|W=~/G|S=|C=|A=/|", "umu-launcher (for Proton 9.0)"},
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
        {"Bottles, a bottle of a path of its own (placeholder.yml)",
         [](Home& h) {
             h.File(".local/share/bottles/bottles/V/placeholder.yml", "Path: ~/MyBottle\n");
             h.File("MyBottle/bottle.yml", "Name: V\nRunner: soda-7\n");
             h.Program(".local/share/bottles/runners/soda-7/files/bin/wine");
         },
         "MyBottle", "~/.local/share/bottles/runners/soda-7/files/bin/wine|vnt.exe|W=~/MyBottle|S=|C=|A=/|", ""},
        {"Bottles, its bottles moved by custom_bottles_path; a win64 bottle under the runner's wine64",
         [](Home& h) {
             h.File(".local/share/bottles/data.yml", "custom_bottles_path: ~/Elsewhere\nnotifications: true\n");
             h.File("Elsewhere/V/bottle.yml", "Name: V\nArch: win64\nRunner: soda-7\n");
             h.Program(".local/share/bottles/runners/soda-7/files/bin/wine");
             h.Program(".local/share/bottles/runners/soda-7/files/bin/wine64");
         },
         "Elsewhere/V", "~/.local/share/bottles/runners/soda-7/files/bin/wine64|vnt.exe|W=~/Elsewhere/V|S=|C=|A=/|", ""},
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
        {"Steam, the tool it was told to use for the game (a GE-Proton of its own), not the one that made the prefix",
         [](Home& h) {
             SteamGame(h, "\"libraryfolders\" { \"1\" { \"path\" \"" + (h / kLib) + "\" } }");
             h.Proton(".steam/root/compatibilitytools.d/GE9");
             h.File(".steam/root/compatibilitytools.d/GE9/compatibilitytool.vdf",
                    "\"compatibilitytools\" { \"compat_tools\" { \"GE-Proton9-20\" { \"install_path\" \".\" \"display_name\" \"GE\" } } }");
             h.File(".steam/root/config/config.vdf", kConfig("42", "GE-Proton9-20") + kConfigEnd);
         },
         kPfx, "~/.steam/root/compatibilitytools.d/GE9/proton|waitforexitandrun|vnt.exe" + kSteamEnv, ""},
        {"Steam, the tool for every other game, one of Valve's by its internal name",
         [](Home& h) {
             SteamGame(h, "\"libraryfolders\" { \"1\" { \"path\" \"" + (h / kLib) + "\" } }");
             h.Proton(kLib + "/steamapps/common/Proton 9.0");
             h.File(".steam/root/config/config.vdf", kConfig("0", "proton_9") + kConfigEnd);
         },
         kPfx, "~/" + kLib + "/steamapps/common/Proton 9.0/proton|waitforexitandrun|vnt.exe" + kSteamEnv, ""},
        {"Steam, the tool it was told to use is gone: the one that made the prefix",
         [](Home& h) {
             SteamGame(h, "\"libraryfolders\" { \"1\" { \"path\" \"" + (h / kLib) + "\" } }");
             h.File(".steam/root/config/config.vdf", kConfig("42", "GE-Proton7-1") + kConfigEnd);
         },
         kPfx, kProton + kSteamEnv, ""},
        {"Steam, a non-Steam game: app 0, the shortcut's id in the game id",
         [](Home& h) {
             h.Prefix(".steam/root/steamapps/compatdata/3000000000/pfx");
             h.File(".steam/root/steamapps/compatdata/3000000000/config_info", "8\n" + (h / ".steam/root/steamapps/common/P/files/share/fonts/") + "\n");
             h.Proton(".steam/root/steamapps/common/P");
             // shortcuts.vdf, binary: "shortcuts" { "0" { appid 3000000000 (int32), AppName "Vantorra" } }
             using namespace std::string_literals;
             const std::string shortcuts = "\0shortcuts\0\0" "0\0\x02" "appid\0"s + "\x00\x5e\xd0\xb2"s +
                                           "\x01" "AppName\0Vantorra\0\x08\x08\x08"s;
             h.File(".steam/root/userdata/1234/config/shortcuts.vdf", shortcuts);
         },
         ".steam/root/steamapps/compatdata/3000000000/pfx",
         "~/.steam/root/steamapps/common/P/proton|waitforexitandrun|vnt.exe|W=|S=~/.steam/root/steamapps/compatdata/3000000000|"
         "C=~/.steam/root|A=0/12884901888033554432|", ""},
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
        {"Heroic, a Proton with umu turned off for every game: its pfx, started as Heroic starts it",
         [](Home& h) {
             h.Program("GE/proton");
             MakeDirs(h / ".steam/steam");
             h.File(".config/heroic/config.json", R"({"defaultSettings": {"disableUMU": true}})");
             h.File(".config/heroic/GamesConfig/a.json", R"({"a": {"winePrefix": "~/H", "wineVersion": {"bin": "~/GE/proton", "name": "GE", "type": "proton"}}})");
         },
         "H/pfx", "~/GE/proton|waitforexitandrun|vnt.exe|W=|S=~/H|C=~/.steam/steam|A=/|", ""},
        {"Heroic, a Proton through umu on the PATH, a game of the Epic store",
         [](Home& h) {
             h.Program("GE/proton");
             h.Program("ubin/umu-run");
             h.File(".config/heroic/legendaryConfig/legendary/installed.json", R"({"a": {"title": "V"}})");
             h.File(".config/heroic/GamesConfig/a.json", R"({"a": {"winePrefix": "~/H", "wineVersion": {"bin": "~/GE/proton", "name": "GE", "type": "proton"}}})");
         },
         "H/pfx", "~/ubin/umu-run|vnt.exe|W=~/H|S=|C=|A=/|U=~/GE umu-0 egs waitforexitandrun|", ""},
        {"Heroic, a Proton through its own umu, umu on for this game",
         [](Home& h) {
             h.Program("GE/proton");
             h.Program(".config/heroic/tools/runtimes/umu/umu_run.py");
             h.File(".config/heroic/config.json", R"({"defaultSettings": {"disableUMU": true}})");
             h.File(".config/heroic/GamesConfig/a.json", R"({"a": {"winePrefix": "~/H", "disableUMU": false, "wineVersion": {"bin": "~/GE/proton", "name": "GE", "type": "proton"}}})");
         },
         "H/pfx", "~/.config/heroic/tools/runtimes/umu/umu_run.py|vnt.exe|W=~/H|S=|C=|A=/|U=~/GE umu-0 none waitforexitandrun|", ""},
        {"Heroic, a Proton, umu not installed",
         [](Home& h) {
             h.Program("GE/proton");
             h.File(".config/heroic/GamesConfig/a.json", R"({"a": {"winePrefix": "~/H", "wineVersion": {"bin": "~/GE/proton", "name": "GE", "type": "proton"}}})");
         },
         "H/pfx", "~/bin/wine|vnt.exe|W=~/H/pfx|S=|C=|A=/|", "umu-launcher (for GE)"},
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
        {"a Proton's manifest naming a program outside its folder",
         [](Home& h) {
             h.Prefix(".steam/root/steamapps/compatdata/1/pfx", true, 60);
             h.File(".steam/root/steamapps/compatdata/1/config_info", "8\n" + (h / "P/files/share/fonts/") + "\n");
             h.Program("theirs/run");
             h.File("P/toolmanifest.vdf", "\"manifest\" { \"commandline\" \"/../theirs/run %verb%\" }");
         },
         "refused: the program ~/P/../theirs/run that ~/P/toolmanifest.vdf names lies outside that tool's folder.\n" + kWine, ""},
        {"a prefix named with ESC and CR",
         [](Home& h) { h.Prefix(".local/share/wineprefixes/a\x1b]0;owned\x07" "b\rc", true, 60); },
         "winetricks\t~/.local/share/wineprefixes/a\\x1B]0;owned\\x07b\\x0Dc\t" + kGame +
             "\tWINEPREFIX=~/.local/share/wineprefixes/a\\x1B]0;owned\\x07b\\x0Dc ~/bin/wine vnt.exe\n" + kWine,
         ""},
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

// A text file of exactly bytes bytes: the text, then a comment line that fills it up.
std::string AtBound(const std::string& text, size_t bytes, const std::string& comment = "//") {
    return text + comment + std::string(bytes - text.size() - comment.size() - 1, 'x') + "\n";
}

TEST(PrefixSearch, AHostileHomeWithinEveryBound) {
    // 64 Steam libraries of two prefixes each, every settings and manifest file at its bound, each
    // Proton asking for a runtime whose manifest lies in every library: each file is read at most
    // once, within the run's bound of files, and the window opens at once.
#if defined(__SANITIZE_ADDRESS__)
    const long limitMs = 20000;
#else
    const long limitMs = 2000;
#endif
    Home h;
    std::string list = "\"libraryfolders\" {\n";
    for (int l = 0; l < 64; ++l) {
        const std::string lib = "L" + std::to_string(l);
        list += "\"" + std::to_string(l) + "\" { \"path\" \"" + (h / lib) + "\" }\n";
        h.Proton(lib + "/steamapps/common/P");
        h.File(lib + "/steamapps/common/P/toolmanifest.vdf",
               AtBound("\"manifest\" { \"commandline\" \"/proton %verb%\" \"require_tool_appid\" \"1628350\" }\n",
                       os::wine::kManifestBound));
        h.File(lib + "/steamapps/appmanifest_1628350.acf",
               AtBound("\"AppState\" { \"appid\" \"1628350\" \"installdir\" \"Missing\" }\n", os::wine::kManifestBound));
        for (int k = 0; k < 2; ++k) {
            const std::string compat = lib + "/steamapps/compatdata/" + std::to_string(100 + k);
            h.Prefix(compat + "/pfx", l == 0 && k == 0, 100 + l);
            h.File(compat + "/config_info",
                   AtBound("8\n" + (h / lib) + "/steamapps/common/P/files/share/fonts/\n", os::wine::kSmallFileBound, ""));
        }
    }
    h.File(".steam/root/steamapps/libraryfolders.vdf", AtBound(list + "}\n", os::wine::kSettingsBound));
    h.File(".steam/root/config/config.vdf", AtBound("\"InstallConfigStore\" { }\n", os::wine::kSettingsBound));
    h.File(".steam/root/userdata/1/config/shortcuts.vdf", std::string(os::wine::kSettingsBound, '\x01'));
    std::map<std::string, int> opened;
    os::SetFaultHook([&opened, &h](os::FileOp op, const std::string& path) {
        // The tools' files; not the registries (the header search bounds those) nor the game's
        // (opened by their names in their folder).
        if (op == os::FileOp::Open && path.rfind(h.dir.path(), 0) == 0 && !path.ends_with("/system.reg") &&
            path.find("/drive_c/") == std::string::npos)
            ++opened[path];
        return std::error_code();
    });
    const auto start = std::chrono::steady_clock::now();
    {
        FakeHost host;
        CLauncherDlg dlg;
        host.Open(dlg);
        EXPECT_EQ(dlg.m_strGameDir, "C:\\Games\\Vantorra");
        EXPECT_EQ(os::wine::Prefix(), h / "L0/steamapps/compatdata/100/pfx");
    }
    const long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start).count());
    os::SetFaultHook(nullptr);
    int twice = 0;
    for (const auto& [path, times] : opened)
        if (times > 1) ADD_FAILURE() << path << " read " << times << " times", ++twice;
    EXPECT_EQ(twice, 0);
    EXPECT_LE(opened.size(), static_cast<size_t>(os::wine::kRunFiles));
    EXPECT_GT(opened.size(), 64u * 3);  // every Proton's manifest and every prefix's config_info
    EXPECT_LT(ms, limitMs);
    const CommandRun l = ListInstallations(h);
    EXPECT_EQ(l.code, 0);
    EXPECT_LT(l.ms, limitMs);
    std::printf("window %ld ms, --list-installations %ld ms, %zu files read\n", ms, l.ms, opened.size());
}

TEST(PrefixSearch, TrustIsCheckedAgainRightBeforeTheStart) {
    // The runner was the player's own at the search; by the time of "Launch" another user may
    // change its folder: nothing starts, and the player is told why.
    Home h;
    h.File(".config/lutris/games/v.yml", "game:\n  prefix: ~/G\nwine:\n  version: w\n");
    h.Program(".local/share/lutris/runners/wine/w/bin/wine");
    h.Prefix("G");
    FakeHost host;
    CLauncherDlg dlg;
    FakeWindow& w = host.Open(dlg);
    ASSERT_EQ(os::wine::Prefix(), h / "G");
    const std::string bin = h / ".local/share/lutris/runners/wine/w/bin";
    os::SetOwnerHook([&bin](const std::string& p) -> std::optional<os::PathOwner> {
        if (p == bin) return os::PathOwner{4242, 4242, S_IFDIR | 0755};
        return std::nullopt;
    });
    w.Click(IDC_LAUNCH_GAME);
    os::SetOwnerHook(nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find(bin + " belongs to another user."), std::string::npos) << host.messages[0].text;
    ::usleep(200000);
    EXPECT_EQ(ReadFile(h / "started"), "");
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
