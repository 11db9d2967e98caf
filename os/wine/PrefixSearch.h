// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the Wine prefix the game lives in, among the prefixes the usual tools make, and the
// Wine each of them runs under.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sx::os::wine {

// A prefix, the tool that made it, and the Wine that tool records for it.
struct PrefixCandidate {
    std::string path;
    std::string tool;          // "Wine", "winetricks", "Lutris", "Bottles", "Steam", ...
    std::string wine;          // the wine program the tool records; empty: none
    bool systemWine = false;   // the tool records the system's Wine itself
    long long modified = 0;    // when its system.reg last changed (nanoseconds)

    // True for a prefix that plain Wine (or winetricks, which uses the system's Wine) made.
    bool PlainWine() const { return tool == "Wine" || tool == "winetricks"; }
};

// Where the tools keep their settings: the home folder and the XDG folders.
struct SearchRoots {
    std::string home, configHome, dataHome;
};
SearchRoots RootsFromEnvironment();

// Every prefix the tools' settings name (and ~/.wine), that exists, newest system.reg first.
std::vector<PrefixCandidate> FindPrefixes(const SearchRoots& roots);

// The first of those whose registry holds the key (either registry view); only the registry's
// section headers are read. Nothing when none does.
std::optional<PrefixCandidate> FindGamePrefix(const SearchRoots& roots, std::string_view key);

// The candidate a prefix is, by its real path; a prefix no tool names is plain Wine's.
PrefixCandidate DescribePrefix(const SearchRoots& roots, const std::string& prefix);

// The places FindPrefixes looks, for the user (--help).
std::vector<std::string> SearchPlaces();

}  // namespace sx::os::wine
