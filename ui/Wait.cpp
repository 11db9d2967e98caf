// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Wait.h"

#include <algorithm>
#include <cstdint>

#include "os/Process.h"
#include "ui/Dialog.h"

namespace sx::ui {

namespace {
int g_waits = 0;
}  // namespace

bool IsWaiting() {
    return g_waits > 0;
}

BusyScope::BusyScope() {
    // Only the windows that take input now; one a modal window keeps disabled stays so, and a
    // progress window keeps taking its Cancel.
    for (IDialogWindow* w : OpenDialogWindows(false)) {
        if (!w->IsEnabled()) continue;
        w->SetEnabled(false);
        m_disabled.push_back(w);
    }
    ++g_waits;
}

BusyScope::~BusyScope() {
    --g_waits;
    const std::vector<IDialogWindow*> open = OpenDialogWindows();
    for (IDialogWindow* w : m_disabled)
        if (std::find(open.begin(), open.end(), w) != open.end()) w->SetEnabled(true);
}

void PumpEvents() {
    Host().PumpEvents();
}

bool WaitKeepingWindowsAlive(const std::function<bool()>& done, std::optional<int> timeoutMs) {
    if (done()) return true;
    const BusyScope busy;
    const int64_t deadline = timeoutMs ? os::MonotonicMilliseconds() + *timeoutMs : 0;
    bool held = false;
    Host().RunUntil([&] {
        held = done();
        return held || (timeoutMs && os::MonotonicMilliseconds() >= deadline);
    });
    return held;
}

}  // namespace sx::ui
