// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog template in the form the Windows dialog manager takes (DLGTEMPLATE and its
// DLGITEMTEMPLATEs), built from the program's template data.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/Resource.h"

namespace sx::win32 {

// The template's words, DWORD-aligned where the dialog manager wants them.
std::vector<uint16_t> BuildDialogTemplate(const ui::DialogTemplate& dialog);

}  // namespace sx::win32
