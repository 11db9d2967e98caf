// What the POSIX backend needs to know of Wine: the prefix and how to start a Windows program.
#pragma once

#include <string>

namespace sx::os::wine {

// The Wine prefix: $WINEPREFIX, else ~/.wine; empty when neither can be told.
std::string Prefix();

// True for a Windows executable: an MZ header whose e_lfanew points at a PE signature.
bool IsWindowsExecutable(const std::string& hostPath);

// The wine program: $WINE (a path, or a name looked up on the PATH), else wine on the PATH;
// empty when there is none.
std::string FindWine();

}  // namespace sx::os::wine
