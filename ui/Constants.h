// SPDX-License-Identifier: GPL-3.0-or-later
// The values the dialog framework shares with its callers: dialog results, message-box buttons
// and answers, window-menu commands, file-dialog options. They are the Win32 values under names
// that no macro of the Windows headers takes.
#pragma once

namespace sx::ui {

// Dialog results, message-box answers and the ids of the standard buttons.
inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;

// Message-box buttons, and which one is the default (the first, unless the second is asked for).
inline constexpr unsigned MbOk = 0x0;
inline constexpr unsigned MbYesNo = 0x4;
inline constexpr unsigned MbDefaultSecond = 0x100;

// Window-menu commands the platform handles itself. The low four bits of a window-menu command
// are the platform's own.
inline constexpr unsigned SysCommandMask = 0xFFF0;
inline constexpr unsigned SysMinimize = 0xF020;
inline constexpr unsigned SysClose = 0xF060;

// File-dialog options.
inline constexpr unsigned OfnFileMustExist = 0x1000;
inline constexpr unsigned OfnAllowMultiSelect = 0x0200;

// List-box answer for "no such entry".
inline constexpr int ListError = -1;

}  // namespace sx::ui
