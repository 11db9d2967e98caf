// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the Linux build, read before any window: the prefix to use, and what the
// program can tell without a display.
#include <cstdio>

#include "app/LauncherDlg.h"
#include "catalogue/Catalogue.h"
#include "launch/Launch.h"
#include "os/Process.h"
#include "version/Version.h"

namespace {

constexpr const char* kProgram = "Sortilex";

// A field of a tab-separated line: tabs, line feeds and backslashes escaped.
std::string Field(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

int Help() {
    std::printf(
        "Usage: %s [--prefix DIR]\n"
        "       %s --list-installations\n"
        "Manages the missions of Vantorra, a Windows game run under Wine.\n\n"
        "  --prefix DIR           the Wine prefix the game is installed in\n"
        "  --list-installations   list the game's installations, the one used last first\n"
        "  --help                 show this text and end\n"
        "  --version              show the version and end\n\n"
        "Without --prefix, the prefix is $WINEPREFIX. Without that, %s looks for the\n"
        "prefixes that hold the game in these places, takes the one used last, and starts\n"
        "the game as the prefix's tool starts it:\n",
        kProgram, kProgram, kProgram);
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
        std::fprintf(stderr, "%s: passed over: %s\n", kProgram, line.c_str());
    if (usable > 0) return 0;
    std::fprintf(stderr, "%s\n", sx::kGameNotDetected);
    return 1;
}

}  // namespace

std::optional<int> CLauncherApp::CommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Help();
        if (arg == "--version" || arg == "-V") return Version();
        if (arg == "--list-installations") return ListInstallations();
        if (arg == "--prefix" && i + 1 < argc) {
            sx::os::NamePrefix(argv[++i]);
        } else if (arg.rfind("--prefix=", 0) == 0) {
            sx::os::NamePrefix(arg.substr(9));
        } else {
            std::fprintf(stderr, "%s: %s: unknown option\nTry '%s --help'.\n", kProgram,
                         arg == "--prefix" ? "--prefix needs a folder" : arg.c_str(), kProgram);
            return 2;
        }
    }
    return std::nullopt;
}
