// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversions for display: the program's single-byte text to what the user sees, and back.
#pragma once

#include <QString>
#include <string>

#include "ui/Host.h"

namespace sx::qt {

// Windows-1252 bytes as the user sees them.
QString DecodeForDisplay(const std::string& bytes);
// What the user typed, as Windows-1252; characters the code page lacks make the text inexact.
ui::ControlText EncodeFromDisplay(const QString& text);
// A multi-line edit's text: its lines as the text holds them, whatever their line ends.
QString ForMultiLine(const std::string& bytes);
// A list entry: a file name (the file system's UTF-8) or a line of the game's files.
QString ForList(const std::string& bytes);

}  // namespace sx::qt
