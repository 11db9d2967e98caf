// SPDX-License-Identifier: GPL-3.0-or-later
// Folders, file search and paths.
//
// Paths are text as the program holds it: Windows-style ("C:\Games\Vantorra\Data\Missions")
// or the host's own. Where the game runs under Wine, the backend maps a Windows path to a host
// path through the Wine prefix when it touches the file system.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sx::os {

// Makes a folder the current folder. On failure the current folder stays as it was.
bool ChangeDir(const std::string& folder);
// Names (no folder) of every file and folder in the current folder that matches the pattern
// ("*.mis"). The pattern matches without regard to case.
std::vector<std::string> FindFiles(const std::string& pattern);
// True when a file or folder of that path exists.
bool PathExists(const std::string& path);
// True when the path leads to a folder (through links), and to nothing else.
bool IsFolder(const std::string& path);

// What tells one file from another however its path is spelled: equal for the same file (a
// link counts as a file of its own, not as the one it leads to).
struct FileIdentity {
    uint64_t device = 0, file = 0;
    auto operator<=>(const FileIdentity&) const = default;
};
// Nothing when the path leads to nothing.
std::optional<FileIdentity> IdentityOf(const std::string& hostPath);

// The host's path for a path as the program holds it.
std::string ToHostPath(const std::string& path);
// The program's spelling of a host path: a Windows path when the file lies on one of the
// prefix's drives (the longest drive root wins), else the host path unchanged.
std::string FromHostPath(const std::string& hostPath);

// The host path with every link resolved, as a file dialog should show it; the path unchanged
// when it cannot be resolved.
std::string RealHostPath(const std::string& hostPath);

// A drive of the game's Wine prefix, for the file dialog's places.
struct DrivePlace {
    std::string label;     // "C:"
    std::string hostPath;  // the folder the prefix maps it to, links resolved
};
// The drives the prefix maps, in letter order; none where the system has drives of its own.
std::vector<DrivePlace> DrivePlaces();

}  // namespace sx::os
