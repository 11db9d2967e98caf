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

#include <string>
#include <system_error>

#include "os/Files.h"

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

}  // namespace sx::os::win32
