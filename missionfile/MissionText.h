// SPDX-License-Identifier: GPL-3.0-or-later
// What Sortilex reads from and writes into a mission file: the briefing of the summary block
// and the player's callsign.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/Text.h"
#include "missionfile/LineReader.h"

namespace sx {

inline constexpr std::string_view kMissionNotFound = "Mission file not found";
inline constexpr std::string_view kNoBriefing = "No Briefing available for this mission";
inline constexpr std::string_view kBriefingSeparator = "\r\r\n";
inline constexpr std::string_view kSummaryBegin = ".MissionSummary";
inline constexpr std::string_view kSummaryEnd = ".EndMissionSummary";
// A briefing keeps at most this much text, then a last row that says it was shortened.
inline constexpr size_t kBriefingLimit = 1 << 20;
inline constexpr std::string_view kBriefingShortened = "(briefing shortened)";
inline constexpr std::string_view kPlayerLine = "\t.IsPlayer";
inline constexpr std::string_view kCallsignKey = "\t.Callsign  ";
inline constexpr std::string_view kMpCallsignKey = "\t.MPCallsign  ";

// The briefing shown for a file that could be opened: the body of its first summary block, each
// line after a separator, or the "no briefing" text while no non-empty body line came. A body
// longer than kBriefingLimit ends in a row kBriefingShortened.
std::string ExtractBriefing(LineReader& reader);

// The callsign of the player record the reading stops at (the first player line that is exactly
// the player key, else the last player record of the file); nothing when the file holds no
// player line.
std::optional<std::string> ReadCallsign(LineReader& reader);

// Both at once, in one pass over the file: what ExtractBriefing and ReadCallsign give when each
// reads the file from its start.
struct MissionScan {
    std::string briefing;
    std::optional<std::string> callsign;
};
MissionScan ScanMission(LineReader& reader);

// Copies a mission file, writing callsign into both callsign lines of every player record. Line
// ends become CR LF; every other byte is kept: long lines stay whole, and a control-Z with what
// follows it is copied unchanged. Returns false when reading or writing failed. records, when
// given, learns how many player records the copy rewrote.
bool CopyWithCallsign(ByteSource& in, ByteSink& out, std::string_view callsign,
                      int* records = nullptr);

// True when the text can be stored as a callsign: a name without control characters. A line
// break would split the player record, a control-Z ends the file for every reader of it, and
// the others have no place in a name the game shows.
bool IsStorableCallsign(std::string_view callsign);

}  // namespace sx
