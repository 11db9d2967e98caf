// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting without freezing the windows: while the program waits for something outside it (a
// game that runs, a file another program holds), its windows are disabled but keep painting and
// answering the window system, so that nobody is offered to kill a program that is only
// waiting. No command and no close request reaches a dialog meanwhile.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace sx::ui {

class IDialogWindow;

// Runs the event loop until done() holds or timeoutMs milliseconds have passed (none: no
// limit). Returns whether done() held.
bool WaitKeepingWindowsAlive(const std::function<bool()>& done,
                             std::optional<int> timeoutMs = std::nullopt);

// True while such a wait, or a BusyScope, runs.
bool IsWaiting();

// Work on the user-interface thread that takes a while (a batch over many files): while it
// lives, every open window is disabled but keeps painting, and no command reaches a dialog but
// one that stays answering (a progress window, made while it lives, takes its input again). The
// work calls PumpEvents between its steps.
class BusyScope {
  public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    std::vector<IDialogWindow*> m_disabled;
};

// Handles the events waiting now, without waiting for more.
void PumpEvents();

}  // namespace sx::ui
