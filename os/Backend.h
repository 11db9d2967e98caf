// What every OS backend shares: the fault seam's hook and the names of temporary files. For the
// backends only; the layers above use Files.h.
#pragma once

#include <string>
#include <system_error>

#include "os/Files.h"

namespace sx::os::backend {

// The fault seam's answer for a step: an error makes the step fail without touching the file
// system.
std::error_code AskFaultHook(FileOp op, const std::string& path);

// A fresh name for a temporary file: "SXTempMission-<8 hex digits>.tmp", or what a test's
// source gives. The extension is not ".mis" and does not begin with "mis", so that neither the
// name nor a short 8.3 name of it is ever listed among the missions.
std::string TempName();

}  // namespace sx::os::backend
