// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the POSIX backend's files.
#pragma once

#include <string>

#include "os/Files.h"

namespace sx::os::posix {

// Asks the fault seam; sets errno and returns false when the step is to fail.
bool Allowed(FileOp op, const std::string& path);

std::string Dirname(const std::string& path);
std::string Basename(const std::string& path);
// The path with every link resolved; empty when it cannot be resolved.
std::string RealPath(const std::string& path);
// A relative path joined to the current folder.
std::string Absolute(const std::string& path);

}  // namespace sx::os::posix
