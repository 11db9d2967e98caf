#include "ui/Wait.h"

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

bool WaitKeepingWindowsAlive(const std::function<bool()>& done, std::optional<int> timeoutMs) {
    if (done()) return true;
    const std::vector<IDialogWindow*> windows = OpenDialogWindows();
    for (IDialogWindow* w : windows) w->SetEnabled(false);
    ++g_waits;
    const int64_t deadline = timeoutMs ? os::MonotonicMilliseconds() + *timeoutMs : 0;
    bool held = false;
    Host().RunUntil([&] {
        held = done();
        return held || (timeoutMs && os::MonotonicMilliseconds() >= deadline);
    });
    --g_waits;
    for (IDialogWindow* w : windows) w->SetEnabled(true);
    return held;
}

}  // namespace sx::ui
