// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Assertions.h"

#include <utility>

#include "resources/ResourceIds.h"

namespace sxtest {

::testing::AssertionResult OneMessage(sx::FakeHost& host, const std::string& text) {
    const auto messages = std::exchange(host.messages, {});
    if (messages.size() != 1) {
        auto failure = ::testing::AssertionFailure() << messages.size() << " message boxes";
        for (const auto& m : messages) failure << "\n  \"" << m.text << "\"";
        return failure;
    }
    if (messages[0].text != text)
        return ::testing::AssertionFailure() << "message \"" << messages[0].text << "\"";
    if (messages[0].caption != "Sortilex" || messages[0].type != sx::ui::MbOk)
        return ::testing::AssertionFailure() << "caption \"" << messages[0].caption << "\"";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult NoMessage(const sx::FakeHost& host) {
    if (host.messages.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message \"" << host.messages.front().text << "\"";
}

void CaptureResultsTable(sx::FakeHost& host, ShownTable& table) {
    host.ScriptDialog(sx::IDD_RESULTS_DIALOG, [&table](sx::FakeWindow& w) {
        table.shown = true;
        for (int id : {sx::IDC_FIGHTER_LOSSES, sx::IDC_BOMBER_LOSSES, sx::IDC_FIGHTERS_BY_PLAYER,
                       sx::IDC_BOMBERS_BY_PLAYER})
            table.counts[id] = w.Text(id);
        table.allied = w.Items(sx::IDC_ALLIED_LOSSES);
        table.axis = w.Items(sx::IDC_AXIS_LOSSES);
    });
}

}  // namespace sxtest
