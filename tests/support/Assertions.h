// SPDX-License-Identifier: GPL-3.0-or-later
// The checks that recur in the window tests, on every platform.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/fake/FakeHost.h"

namespace sxtest {

using Items = std::vector<std::string>;

// Exactly one message box was shown since the last check, with this text and the program's
// name as caption; the record is cleared for the next check.
::testing::AssertionResult OneMessage(sx::FakeHost& host, const std::string& text);
// No message box was shown.
::testing::AssertionResult NoMessage(const sx::FakeHost& host);

// What the next results table showed.
struct ShownTable {
    bool shown = false;
    std::map<int, std::string> counts;  // by edit id
    Items allied, axis;
};
void CaptureResultsTable(sx::FakeHost& host, ShownTable& table);

}  // namespace sxtest
