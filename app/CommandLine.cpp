// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the Linux build, read before any window: the prefix to use, and what the
// program can tell without a display.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <set>
#include <thread>
#include <utility>

#include "app/LauncherDlg.h"
#include "catalogue/Catalogue.h"
#include "base/Text.h"
#include "launch/Launch.h"
#include "missionfile/CallsignBatch.h"
#include "missionfile/MissionFile.h"
#include "missionfile/MissionText.h"
#include "os/Paths.h"
#include "packs/PackInstall.h"
#include "os/Process.h"
#include "version/Version.h"

namespace {

constexpr const char* kProgram = "Sortilex";

// A field of a tab-separated line, and any name said on the terminal: nothing in it can break
// the line or move the terminal's cursor.
std::string Field(const std::string& text) {
    return sx::EscapeForTerminal(text);
}

int Help() {
    std::printf(
        "Usage: %s [--prefix DIR]\n"
        "       %s --list-installations\n"
        "       %s --set-callsign NAME [--] FILE...\n"
        "       %s --install-missions [--category single|campaign|custom DIR] [--] FILE...\n"
        "Manages the missions of Vantorra, a Windows game run under Wine.\n\n"
        "  --prefix DIR           the Wine prefix the game is installed in\n"
        "  --list-installations   list the game's installations, the one used last first\n"
        "  --set-callsign NAME [--] FILE...\n"
        "                         set the callsign of every player record of the missions\n"
        "                         to NAME, print what was done; exit 1 when a mission could\n"
        "                         not be changed\n"
        "  --install-missions [--category single|campaign|custom DIR] [--] FILE...\n"
        "                         install the missions of archives, .mis files and folders\n"
        "                         into the game's folders (a pack without a Missions or\n"
        "                         Campaigns folder into the category given, single missions\n"
        "                         without one); files replaced go to the trash\n"
        "  --help                 show this text and end\n"
        "  --version              show the version and end\n\n"
        "Without --prefix, the prefix is $WINEPREFIX. Without that, %s looks for the\n"
        "prefixes that hold the game in these places, takes the one used last, and starts\n"
        "the game as the prefix's tool starts it:\n",
        kProgram, kProgram, kProgram, kProgram, kProgram);
    for (const std::string& place : sx::os::InstallationPlaces()) std::printf("  %s\n", place.c_str());
    std::printf("\n%s is free software under the GNU General Public License, version 3 or\n"
                "later: you may share and change it under its terms.\n",
                kProgram);
    return 0;
}

int Version() {
    std::printf("%s %s\n"
                "Copyright (C) 2026 The Sortilex developers\n"
                "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n",
                kProgram, sx::kVersion);
    return 0;
}

// Every installation, one a line: tool, prefix, game folder, the command it would start (or
// "asks first"); those the trust rules refuse, with their reason.
int ListInstallations() {
    std::vector<std::string> passedOver;
    const auto list = sx::os::GameInstallations(sx::kGameKey, sx::kGameExecutable, &passedOver);
    int usable = 0;
    for (const sx::os::GameInstallation& g : list) {
        if (!g.refused.empty()) {
            std::printf("refused: %s\n", Field(g.refused).c_str());
            continue;
        }
        ++usable;
        std::printf("%s\t%s\t%s\t%s\n", Field(g.tool).c_str(), Field(g.prefix).c_str(),
                    Field(g.gameDir).c_str(),
                    g.command.empty() ? "asks first" : Field(g.command).c_str());
    }
    for (const std::string& line : passedOver)
        std::fprintf(stderr, "%s: passed over: %s\n", kProgram, Field(line).c_str());
    if (usable > 0) return 0;
    std::fprintf(stderr, "%s\n", sx::kGameNotDetected);
    return 1;
}

// The text of the user's locale as Windows-1252, the mission files' code page; nothing when a
// character has no place there or the text is not of the locale.
std::optional<std::string> FromLocale(const std::string& text) {
    std::setlocale(LC_CTYPE, "");
    std::mbstate_t state{};
    std::string out;
    for (size_t at = 0; at < text.size();) {
        wchar_t wc = 0;
        const size_t n = std::mbrtowc(&wc, text.data() + at, text.size() - at, &state);
        unsigned char byte = 0;
        if (n == 0 || n > text.size() - at || !sx::UnicodeToCp1252(static_cast<char32_t>(wc), byte))
            return std::nullopt;
        out += static_cast<char>(byte);
        at += n;
    }
    return out;
}

// The missions named on the command line, folder by folder, as the list's menu changes a list:
// NAME [--] FILE..., each file once however it is spelled.
int SetCallsign(int argc, char** argv, int first) {
    int files = first + 1;
    if (files < argc && std::string(argv[files]) == "--") ++files;
    if (files >= argc) {
        std::fprintf(stderr, "%s: --set-callsign needs a callsign and at least one mission\n"
                             "Try '%s --help'.\n", kProgram, kProgram);
        return 2;
    }
    const std::optional<std::string> callsign = FromLocale(argv[first]);
    if (!callsign || !sx::IsStorableCallsign(*callsign)) {
        std::fprintf(stderr,
                     "%s: %s: a callsign must be one line of text made of characters that "
                     "mission files can hold\n",
                     kProgram, Field(argv[first]).c_str());
        return 2;
    }
    std::error_code err;
    const std::string start = std::filesystem::current_path(err).string();
    // Missions in one folder are changed together; a name is said as the user gave it (its
    // argument's index is kept beside it). Each file once: by what it is, or, where nothing is
    // there, by its spelling.
    struct Folder {
        std::string path;
        std::vector<std::string> names;
        std::vector<int> args;
    };
    // The same file by another spelling (./a.mis, a hard link) is changed once, as first named.
    std::vector<bool> again(static_cast<size_t>(argc), false);
    {
        std::vector<std::pair<sx::os::FileIdentity, int>> ids;
        for (int i = files; i < argc; ++i)
            if (const std::optional<sx::os::FileIdentity> id = sx::os::IdentityOf(argv[i])) ids.push_back({*id, i});
        std::sort(ids.begin(), ids.end());
        for (size_t k = 1; k < ids.size(); ++k)
            if (ids[k].first == ids[k - 1].first) again[static_cast<size_t>(ids[k].second)] = true;
    }
    std::set<std::string> missing;  // names that lead nowhere, by their spelling
    std::vector<Folder> folders;
    sx::BatchSummary all;
    for (int i = files; i < argc; ++i) {
        const std::string arg = argv[i];
        if (again[static_cast<size_t>(i)]) continue;
        if (!sx::os::IdentityOf(arg)) {
            if (!missing.insert(arg).second) continue;
        } else if (std::filesystem::is_directory(std::filesystem::symlink_status(arg, err))) {
            all.failed.push_back({Field(arg), "it is not a file"});
            continue;
        }
        const size_t slash = arg.rfind('/');
        std::string folder = slash == std::string::npos ? "." : arg.substr(0, slash + 1);
        if (folder[0] != '/') folder = start + "/" + folder;
        if (folders.empty() || folders.back().path != folder) folders.push_back({folder, {}, {}});
        folders.back().names.push_back(slash == std::string::npos ? arg : arg.substr(slash + 1));
        folders.back().args.push_back(i);
    }
    // Once for the whole run, however many folders the missions lie in.
    bool waited = false;
    const sx::os::LockWait waitForLock = [&waited](const std::function<bool()>& tryLock) {
        if (std::exchange(waited, true)) return tryLock();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(sx::kLockWaitMs);
        while (!tryLock()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    };
    for (const Folder& f : folders) {
        sx::BatchSummary part;
        if (!sx::os::ChangeDir(f.path)) {
            for (size_t k = 0; k < f.names.size(); ++k) part.failed.push_back({f.names[k], "its folder cannot be opened", k});
        } else {
            part = sx::SetCallsignInAll(f.names, *callsign, waitForLock);
        }
        all.set += part.set;
        all.already += part.already;
        all.noRecord += part.noRecord;
        for (const sx::BatchFailure& failure : part.failed)
            all.failed.push_back({Field(argv[f.args[failure.index]]), failure.reason});
    }
    std::printf("%s\n", sx::BatchSummaryText(all).c_str());
    return all.failed.empty() ? 0 : 1;
}

// Installs mission packs without a window and without asking: where the rules put them, the
// summary on stdout.
int InstallMissions(int argc, char** argv, int first) {
    const auto usage = [](const std::string& why) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, Field(why).c_str(), kProgram);
        return 2;
    };
    sx::packs::InstallFolders folders;
    std::error_code err;
    const std::string start = std::filesystem::current_path(err).string();
    const auto absolute = [&start](const std::string& path) { return path.empty() || path[0] == '/' ? path : start + "/" + path; };
    int i = first;
    if (i < argc && std::string(argv[i]) == "--category") {
        if (++i >= argc) return usage("--category needs single, campaign or custom DIR");
        const std::string category = argv[i++];
        if (category == "single") {
            folders.shown = sx::packs::Target::Single;
        } else if (category == "campaign") {
            folders.shown = sx::packs::Target::Campaign;
        } else if (category == "custom") {
            if (i >= argc || !sx::os::IsFolder(absolute(argv[i])))
                return usage("--category custom needs a folder that exists");
            folders.shown = sx::packs::Target::Custom;
            folders.custom = absolute(argv[i++]);
        } else {
            return usage(category + ": not a category (single, campaign or custom DIR)");
        }
    }
    if (i < argc && std::string(argv[i]) == "--") ++i;
    if (i >= argc) return usage("--install-missions needs at least one file");
    std::vector<std::string> items;
    for (; i < argc; ++i) items.push_back(absolute(argv[i]));
    const sx::GameLocation game = sx::LookUpGame();
    if (game.found) {
        const std::string single = game.gameDir + sx::kSingleMissionsDir, campaign = game.gameDir + sx::kCampaignMissionsDir;
        if (sx::os::IsFolder(single)) folders.single = single;
        if (sx::os::IsFolder(campaign)) folders.campaign = campaign;
    }
    sx::packs::PackInstall install(folders);
    sx::packs::InstallSummary summary;
    if (install.Prepare(items, nullptr))
        summary = install.Place(nullptr, nullptr);
    else
        summary = install.Unplaced();
    // Names from the archives as a terminal may show them.
    for (auto& left : summary.leftOut) left.first = Field(left.first);
    for (std::string& line : summary.problems) line = Field(line);
    std::printf("%s\n", sx::packs::InstallSummaryText(summary).c_str());
    const bool clean = summary.problems.empty() &&
                       std::all_of(summary.leftOut.begin(), summary.leftOut.end(), [](const auto& l) {
                           return l.second == sx::packs::LeftOut::NotPart;
                       });
    return clean ? 0 : 1;
}

}  // namespace

std::optional<int> CLauncherApp::CommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Help();
        if (arg == "--version" || arg == "-V") return Version();
        if (arg == "--list-installations") return ListInstallations();
        if (arg == "--set-callsign") return SetCallsign(argc, argv, i + 1);
        if (arg == "--install-missions") return InstallMissions(argc, argv, i + 1);
        if (arg == "--prefix") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s: --prefix needs a folder\nTry '%s --help'.\n", kProgram, kProgram);
                return 2;
            }
            sx::os::NamePrefix(argv[++i]);
        } else if (arg.rfind("--prefix=", 0) == 0) {
            sx::os::NamePrefix(arg.substr(9));
        } else {
            std::fprintf(stderr, "%s: %s: unknown option\nTry '%s --help'.\n", kProgram,
                         Field(arg).c_str(), kProgram);
            return 2;
        }
    }
    return std::nullopt;
}
