// SPDX-License-Identifier: GPL-3.0-or-later
// Folders, file search and paths on Windows, where the program's paths are the host's.
#include "os/Paths.h"
#include "os/win32/Win32.h"

namespace sx::os {

bool ChangeDir(const std::string& folder) {
    // A name without a drive is never a folder of the current folder: a pack holding a folder
    // named like the game's would otherwise be entered.
    if (!win32::IsAbsolute(folder)) return false;
    const std::string normalized = win32::Normalized(folder);
    if (::SetCurrentDirectoryW(win32::Widen(normalized).c_str())) {
        win32::SetLongCurrentFolder({});
        return true;
    }
    // The system's current folder holds no more than MAX_PATH characters; a deeper folder is
    // entered all the same, and the names in it are given in full (the long form) from then on.
    win32::SetLongCurrentFolder({});
    std::wstring full = win32::WidePath(normalized);
    if (full.rfind(L"\\\\?\\", 0) != 0) return false;
    while (full.size() > 7 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    const DWORD attrs = ::GetFileAttributesW(full.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) return false;
    win32::SetLongCurrentFolder(std::move(full));
    return true;
}

std::vector<std::string> FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const HANDLE h = ::FindFirstFileW(win32::WidePath(pattern).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        // Names in the program's code page, as the ANSI calls give them.
        const std::string n = win32::Narrow(data.cFileName);
        if (n != "." && n != "..") names.push_back(n);
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
    return names;
}

bool PathExists(const std::string& path) {
    // A path that ends in a separator names no file (a mission path built without a name).
    if (!win32::IsAbsolute(path) || path.back() == '\\' || path.back() == '/') return false;
    if (path.find_first_of("*?") != std::string::npos) return false;
    // What the folder lists under that name, file or folder; a device is listed nowhere.
    WIN32_FIND_DATAW data;
    const HANDLE h = ::FindFirstFileW(win32::WidePath(path).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return true;
}

std::optional<FileIdentity> IdentityOf(const std::string& hostPath) {
    const HANDLE h = ::CreateFileW(win32::WidePath(hostPath).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    if (!ok) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool IsFolder(const std::string& path) {
    if (!win32::IsAbsolute(path)) return false;
    const DWORD attrs = ::GetFileAttributesW(win32::WidePath(win32::Normalized(path)).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
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
