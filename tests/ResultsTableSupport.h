// Reading back what the results table showed, for the tests that run a mission.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/fake/FakeHost.h"

namespace sxtest {

struct ShownTable {
    bool shown = false;
    std::map<int, std::string> counts;  // by edit id
    std::vector<std::string> allied, axis;
};

// The next results table records what it shows into table.
void CaptureResultsTable(sx::FakeHost& host, ShownTable& table);
// Expects the table to show the counts and the loss lines of the results file.
void ExpectTableShowsFile(const ShownTable& table, const std::string& resultsFile);

}  // namespace sxtest
