// SPDX-License-Identifier: GPL-3.0-or-later
// What the POSIX backend needs to know of Wine: the prefix of this run, the prefixes that hold
// the game, and how to start a Windows program in the prefix.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/wine/PrefixSearch.h"

namespace sx::os::wine {

// The Wine prefix: the one --prefix named, else $WINEPREFIX, else the one found holding the
// game's key, else ~/.wine; empty when none can be told.
std::string Prefix();
// Names the prefix for the rest of the run (--prefix); an absolute path.
void UsePrefix(const std::string& prefix);
// True when --prefix or $WINEPREFIX named the prefix: then the game's key is not searched for.
bool PrefixNamed();
// The prefix found holding the game's key, for the rest of the run.
void UseFoundPrefix(const PrefixCandidate& found);

// Every prefix of this user's tools, and those that hold the key, refused ones included: found
// once a run (for the folders of the environment) and kept.
const std::vector<PrefixCandidate>& AllPrefixes();
const std::vector<PrefixCandidate>& PrefixesHolding(std::string_view key);
// What the run's search passed over because a bound was reached.
const SearchReport& PassedOver();

// True for a Windows executable: an MZ header whose e_lfanew points at a PE signature.
bool IsWindowsExecutable(const std::string& hostPath);

// The wine program: $WINE (a path, or a name looked up on the PATH), else wine on the PATH;
// empty when there is none.
std::string FindWine();
// A program of that name in the folders of the PATH; empty when there is none.
std::string FindOnPath(const std::string& program);

// The Wine a prefix's tool records but that is not installed (or that the tool does not
// name), and the one that would start the game instead.
struct Substitution {
    std::string tool, recorded, instead;
};

// How a Windows program starts in the prefix of this run: as the prefix's tool starts it,
// else under the system's Wine (after a question, where another tool made the prefix).
struct Runner {
    StartCommand start;  // no argv: there is no Wine at all
    std::optional<Substitution> asks;
    std::string refused;  // why nothing may start: the trust rules
};
Runner RunnerForPrefix();

}  // namespace sx::os::wine
