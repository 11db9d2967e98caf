// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting without freezing the windows: while the program waits for something outside it (a
// game that runs, a file another program holds), its windows are disabled but keep painting and
// answering the window system, so that nobody is offered to kill a program that is only
// waiting. No command and no close request reaches a dialog meanwhile.
#pragma once

#include <functional>
#include <optional>

namespace sx::ui {

// Runs the event loop until done() holds or timeoutMs milliseconds have passed (none: no
// limit). Returns whether done() held.
bool WaitKeepingWindowsAlive(const std::function<bool()>& done,
                             std::optional<int> timeoutMs = std::nullopt);

// True while such a wait runs.
bool IsWaiting();

}  // namespace sx::ui
