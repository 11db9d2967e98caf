// SPDX-License-Identifier: GPL-3.0-or-later
// The tools that make Wine prefixes, as their files tell: each reader turns a tool's settings
// into the prefixes it made and the way that tool starts a Windows program in each. The readers
// take folders (and the text of the files in them); PrefixSearch orders what they find, checks
// it and chooses.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sx::os::wine {

// Where the tools keep their settings: the home folder and the XDG folders.
struct SearchRoots {
    std::string home, configHome, dataHome;
    bool operator==(const SearchRoots&) const = default;
};

// How a Windows program starts in a prefix: the program and the arguments that come before the
// game's own name, and what is added to the environment ("NAME=value").
struct StartCommand {
    std::vector<std::string> argv;
    std::vector<std::string> env;
};

// A prefix, the tool that made it, and how that tool starts a program in it.
struct PrefixCandidate {
    PrefixCandidate() = default;
    PrefixCandidate(std::string folder, std::string madeBy)
        : path(std::move(folder)), tool(std::move(madeBy)) {}

    std::string path;
    std::string tool;      // "Wine", "winetricks", "Lutris", "Bottles", "Steam", "PlayOnLinux", "Heroic"
    std::string recorded;  // the tool's name for the Wine it records; empty: it names none
    // The tool's own way of starting; no argv when its Wine is not on disk or is unknown.
    StartCommand start;
    // The tool chose the system's Wine: a start under it needs no question.
    bool systemWine = false;
    // The folders of the programs start runs (a runner, a Proton, a runtime): checked before
    // anything of them runs.
    std::vector<std::string> programFolders;
    long long modified = 0;  // when its system.reg last changed (nanoseconds), never later than now
    std::string refused;     // why the trust rules refuse the prefix; empty: it may be used

    bool PlainWine() const { return tool == "Wine" || tool == "winetricks"; }
};

// What a search passed over because a bound was reached, for --list-installations to say.
struct SearchReport {
    uint64_t bytesPassedOver = 0;  // of settings files past their bound
    int filesCut = 0;
    int filesNotRead = 0;  // past the run's bound of files or bytes
    int librariesPassedOver = 0;
    int candidatesPassedOver = 0;
    std::vector<std::string> Lines() const;
};

// Bounds that keep a hostile home from costing more than a real one. They hold together: every
// file is read at most once a run and parsed once, and the caps apply before the reads.
inline constexpr size_t kSettingsBound = 1u << 20;   // a tool's settings file
inline constexpr size_t kManifestBound = 64u << 10;  // a tool's or an app's manifest
inline constexpr size_t kSmallFileBound = 8u << 10;  // Proton's config_info and version files
inline constexpr int kMaxLibraries = 64;             // Steam libraries
inline constexpr int kMaxCandidatesPerTool = 4096;
inline constexpr uint64_t kRunBytes = uint64_t{64} << 20;  // settings and manifests, in all
inline constexpr int kRunFiles = 4096;

// Gathers what the readers find.
class Collector {
  public:
    Collector(const SearchRoots& roots, SearchReport& report) : m_roots(roots), m_report(report) {}
    const SearchRoots& Roots() const { return m_roots; }
    SearchReport& Report() { return m_report; }

    // A prefix a tool names; a tool's first kMaxCandidatesPerTool only.
    void Add(PrefixCandidate candidate);
    // True when the tool has its kMaxCandidatesPerTool already: what would be read for another
    // is not read. A reader asks before it reads a prefix's files, and counts what it passes by.
    bool Full(const std::string& tool);
    void PassOver(int candidates) { m_report.candidatesPassedOver += candidates; }
    // A settings file whole if it is a regular file; past bound, its first bound bytes (the rest
    // is counted as passed over). Null when it cannot be read, or when the run's reads have
    // reached kRunFiles files or kRunBytes bytes. A file is read once a run: asked again, the
    // text read the first time (which lives as long as the collector).
    const std::string* Read(const std::string& path, size_t bound = kSettingsBound);
    // The names in a folder, sorted; a folder's first kMaxCandidatesPerTool entries only.
    std::vector<std::string> Entries(const std::string& folder);

    std::vector<PrefixCandidate> Take() { return std::move(m_found); }

  private:
    SearchRoots m_roots;
    SearchReport& m_report;
    std::vector<PrefixCandidate> m_found;
    std::map<std::string, std::optional<std::string>> m_read;  // each file asked for, once
    std::map<std::string, int> m_ofTool;                       // candidates added, by tool
    int m_files = 0;
    uint64_t m_bytes = 0;
};

bool IsFolder(const std::string& path);
bool IsProgram(const std::string& path);
// "~/x" with the home folder's path.
std::string ExpandHome(const std::string& path, const SearchRoots& roots);
// The Wine of a runner's folder: the first of bin/wine, files/bin/wine and dist/bin/wine in it
// that is a program; empty when none is.
std::string RunnerWine(const std::string& folder);
// The start under a Wine program: that program, with WINEPREFIX naming the prefix. The runner's
// folder (the one above its bin, else its own) is the program folder to check.
void StartUnderWine(PrefixCandidate& c, const std::string& wine);
// The start through umu-launcher (the program umu), as Lutris and Heroic start a Proton: the
// prefix in WINEPREFIX, the Proton in PROTONPATH (a folder, or "GE-Proton" for the latest one umu
// fetches), the tool's own variables (GAMEID, STORE) and Proton's verb. The folders checked are
// umu's, the Proton's and the one umu keeps its runtime in.
void StartUnderUmu(PrefixCandidate& c, const SearchRoots& roots, const std::string& umu, const std::string& prefix,
                   const std::string& protonPath, const std::vector<std::string>& toolEnv);
// True for a Proton's name as Lutris tells one from a Wine's, or its "latest GE-Proton" entry.
bool IsLutrisProton(const std::string& version);
// True for a path inside a Flatpak tool's sandbox, which nothing outside it can run.
bool InsideSandbox(std::string_view path);
// The scalar texts at these key paths of a YAML document ("" where there is none, and for all of
// them when the text is no YAML).
std::vector<std::string> YamlTexts(const std::string& text,
                                   const std::vector<std::vector<const char*>>& paths);

// ---- The readers -------------------------------------------------------------------------------

// ~/.wine and winetricks' prefixes, under the system's Wine.
void ReadPlainWine(Collector& c);
// Lutris: the config folder is ~/.config/lutris where it exists, else ~/.local/share/lutris
// (newer installs keep their settings beside their data); a Flatpak Lutris keeps both in its
// sandbox's folders.
void ReadLutris(Collector& c, const std::string& configDir, const std::string& dataDir,
                bool flatpak);
// Bottles: each bottle is a prefix, under the runner its bottle.yml names.
void ReadBottles(Collector& c, const std::string& dataDir, bool flatpak);
// Steam: the prefix of each game Proton ran, in every library of every installation (each
// once, however many of the folders are links to one), under the tool Steam would start: the one
// it was told to use for the game or for every game (config.vdf), else the Proton that made the
// prefix.
void ReadSteam(Collector& c, const std::vector<std::string>& steamDirs);
// PlayOnLinux: its prefixes, under the Wine version each one's settings name.
void ReadPlayOnLinux(Collector& c);
// Heroic: the prefix of each game's settings, under the Wine or Proton they name.
void ReadHeroic(Collector& c, const std::string& configDir, const std::string& steamDir,
                bool flatpak);

// ---- Steam's files, as text --------------------------------------------------------------------

// The libraries a library list (libraryfolders.vdf) names: every numbered key's string value
// and every block's "path", of any generation of the format.
std::vector<std::string> SteamLibraries(std::string_view libraryList);
// The Proton folder a prefix's config_info names: its second line (the Proton's fonts folder)
// without "/files/share/fonts/" or "/dist/share/fonts/" at its end.
std::optional<std::string> ProtonOfConfigInfo(std::string_view configInfo);
// The prefix version a proton script makes: its CURRENT_PREFIX_VERSION="..." line.
std::optional<std::string> ProtonPrefixVersion(std::string_view protonScript);
// A tool's command line from its toolmanifest.vdf, with its verb put in and its leading "/"
// made the tool's folder; and the tool it must run inside (require_tool_appid).
struct ToolManifest {
    std::vector<std::string> commandLine;
    std::string requiredTool;
};
std::optional<ToolManifest> ReadToolManifest(std::string_view manifest, const std::string& toolDir,
                                             std::string_view verb);

}  // namespace sx::os::wine
