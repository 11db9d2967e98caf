// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the Windows backend's files.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <system_error>

#include "os/Files.h"

namespace sx::os {

struct InputFile::Impl {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::string path;
    uint64_t offset = 0;  // where the next read starts
    uint64_t left = 0;    // what may still be read: the size the file had when it was opened
    std::error_code openError;
};

}  // namespace sx::os

namespace sx::os::win32 {

// Asks the fault seam; sets the last error and returns false when the step is to fail.
bool Allowed(FileOp op, const std::string& path);

// The last error of the system as an error code.
std::error_code LastError();

// True for a name Windows takes for a device whatever the folder: CON, NUL, COM1.mis, ...
bool IsDeviceName(const std::string& path);

// True for "X:\...", "X:" and "\\server\share\..." (and their "\\?\" forms): a path that names
// the same place whatever the current folder.
bool IsAbsolute(const std::string& path);

// "X:" alone names the drive's root here, not the drive's current folder.
std::string Normalized(const std::string& path);

// The program's text (the ANSI code page) for the system's wide-character calls, and back.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// A path for the system's wide-character calls. Past 259 characters (a relative name counted
// with the current folder it is resolved against) it is given in the "\\?\" form, which knows
// no such limit: a mission that can be read can then be changed too, however deep its folder.
// A relative name in a folder too long to be made current (see LongCurrentFolder) is given in
// full in that folder.
std::wstring WidePath(const std::string& path);

// The folder ChangeDir entered when it was too long for the system to make current, in the
// "\\?\" form, without a trailing separator; empty when the system's current folder is the
// one entered.
const std::wstring& LongCurrentFolder();
void SetLongCurrentFolder(std::wstring folder);

// True for the errors of a file another program holds: open without letting others at it, or
// locked.
bool IsBusy(DWORD error);

// The system's reason as the portable one the callers tell apart.
std::error_code PortableError(DWORD error);

// Sends a file (a full path, any form) to the recycle bin; false where it would be deleted for
// good or cannot go (a path past MAX_PATH is not given to the shell).
bool Recycle(const std::wstring& path);

// Makes file read the regular disk file h has open (taking h over, closing it on failure); path
// is the name the fault seam is asked with.
bool AdoptInput(InputFile& file, HANDLE h, const std::string& path);

}  // namespace sx::os::win32
