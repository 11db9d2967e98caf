// SPDX-License-Identifier: GPL-3.0-or-later
// Folders, file search and paths on Windows, where the program's paths are the host's.
#include "os/Paths.h"
#include "os/win32/Win32.h"

namespace sx::os {

bool ChangeDir(const std::string& folder) {
    // A name without a drive is never a folder of the current folder: a pack holding a folder
    // named like the game's would otherwise be entered.
    if (!win32::IsAbsolute(folder)) return false;
    return ::SetCurrentDirectoryA(win32::Normalized(folder).c_str()) != 0;
}

std::vector<std::string> FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const HANDLE h = ::FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string n = data.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (::FindNextFileA(h, &data));
    ::FindClose(h);
    return names;
}

bool PathExists(const std::string& path) {
    // A path that ends in a separator names no file (a mission path built without a name).
    if (!win32::IsAbsolute(path) || path.back() == '\\' || path.back() == '/') return false;
    if (path.find_first_of("*?") != std::string::npos) return false;
    // What the folder lists under that name, file or folder; a device is listed nowhere.
    WIN32_FIND_DATAA data;
    const HANDLE h = ::FindFirstFileA(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return true;
}

std::string ToHostPath(const std::string& path) {
    return win32::IsAbsolute(path) ? win32::Normalized(path) : std::string();
}

std::string FromHostPath(const std::string& hostPath) {
    return hostPath;
}

std::string RealHostPath(const std::string& hostPath) {
    return hostPath;
}

std::vector<DrivePlace> DrivePlaces() {
    return {};  // the common dialog lists the drives itself
}

}  // namespace sx::os
