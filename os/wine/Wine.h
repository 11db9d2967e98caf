// SPDX-License-Identifier: GPL-3.0-or-later
// What the POSIX backend needs to know of Wine: the prefix, and how to start a Windows program
// in it.
#pragma once

#include <string>

#include "os/wine/PrefixSearch.h"

namespace sx::os::wine {

// The Wine prefix: the one --prefix named, else $WINEPREFIX, else the one found holding the
// game's key (see FindGamePrefix), else ~/.wine; empty when none can be told.
std::string Prefix();

// Names the prefix for the rest of the run (--prefix); made absolute.
void UsePrefix(const std::string& prefix);
// True when --prefix or $WINEPREFIX named the prefix: then nothing is searched.
bool PrefixNamed();
// The prefix found holding the game's key, for the rest of the run.
void UseFoundPrefix(const PrefixCandidate& found);

// True for a Windows executable: an MZ header whose e_lfanew points at a PE signature.
bool IsWindowsExecutable(const std::string& hostPath);

// The wine program: $WINE (a path, or a name looked up on the PATH), else wine on the PATH;
// empty when there is none.
std::string FindWine();

// How a Windows program starts in the prefix: under the Wine its tool records, else the
// system's. unrecordedTool names the tool (not plain Wine) that made the prefix but recorded no
// Wine for it: the user is asked before the system's Wine runs in it.
struct Runner {
    std::string wine;
    std::string unrecordedTool;
};
Runner RunnerForPrefix();

}  // namespace sx::os::wine
