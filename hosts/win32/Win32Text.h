// SPDX-License-Identifier: GPL-3.0-or-later
// Text for the window system: the program's Windows-1252 bytes as UTF-16, and back.
#pragma once

#include <string>

#include "ui/Host.h"

namespace sx::win32 {

std::wstring Widen(const std::string& cp1252);
ui::ControlText Narrow(const std::wstring& text);

}  // namespace sx::win32
