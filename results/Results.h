// SPDX-License-Identifier: GPL-3.0-or-later
// The results file the game leaves after a run, as Sortilex reads it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "missionfile/LineReader.h"

namespace sx {

inline constexpr const char* kResultsFile = "Results.txt";
inline constexpr const char* kResultsFolder = "\\Data\\Missions";
inline constexpr const char* kResultsNotFound = "Results file cannot be located";

// Each list keeps at most this many lines, then a last entry that says it was shortened.
inline constexpr size_t kResultsListLimit = 10000;
inline constexpr const char* kListShortened = "(list shortened)";

struct ResultsTable {
    int fighterLosses = 0;
    int bomberLosses = 0;
    int fightersByPlayer = 0;
    int bombersByPlayer = 0;
    std::vector<std::string> alliedLosses;
    std::vector<std::string> axisLosses;
};

// Applies every line of the file to the table: count keys set their count (the last one wins),
// list keys append the whole line to their side's list; other lines are ignored.
void ReadResults(LineReader& reader, ResultsTable& table);

// The value after a count key, the way atoi reads it (leading blanks, a sign, digits), with
// values beyond the 32-bit range clamped to it.
int ParseCount(std::string_view text);

// Reads the results file of the game's missions folder; nothing when it cannot be opened. The
// missions folder is left the current folder.
std::optional<ResultsTable> ReadResultsFile(const std::string& gameDir);

}  // namespace sx
