// SPDX-License-Identifier: GPL-3.0-or-later
// The operations on a mission file, addressed by its name in the current folder: its briefing,
// its callsign, and the rewrite of its callsign.
#pragma once

#include <optional>
#include <string>

#include "os/Files.h"

namespace sx {

inline constexpr const char* kCannotModify =
    "Mission file cannot be modified.\nPlease make sure it is available on\nyour hard drive and "
    "not on a CD";
inline constexpr const char* kRewriteFailed =
    "The new callsign could not be written.\nThe mission file has been left unchanged.";
inline constexpr const char* kMissionInUse =
    "The mission file is in use by another program.\nThe mission file has been left unchanged.";
inline constexpr const char* kBadCallsign =
    "A callsign must be one line of text made of characters\nthat mission files can hold.\nThe "
    "mission file has been left unchanged.";

// Every briefing read is followed by a callsign read of the same file. The briefing read reads
// both in one pass and hands the callsign on; the callsign read takes it only when it opens the
// very same file, unchanged since, and otherwise reads the file itself.
struct CallsignHandOver {
    bool valid = false;
    os::FileVersion version;
    std::optional<std::string> callsign;
};

// The briefing of the mission: the body of its summary block, or the fixed text for a file
// without one, or kMissionNotFound when the file cannot be opened.
std::string ReadMissionBriefing(const std::string& name, CallsignHandOver& handOver);

// The callsign of the mission; nothing when the file cannot be opened or holds no player record.
std::optional<std::string> ReadMissionCallsign(const std::string& name,
                                               const CallsignHandOver& handOver);

enum class RewriteOutcome { Rewritten, CannotModify, InUse, Failed };

// How long a rewrite waits for another program to let go of the mission.
inline constexpr int kLockWaitMs = 3000;

// Writes callsign into every player record of the mission. CannotModify: the file is missing,
// is a link, is not a regular file, or cannot be made writable, and nothing was touched. InUse:
// another program held the mission's lock for as long as waitForLock waited. Failed: a later
// step failed. In both of the last cases the file keeps its bytes and its attributes.
RewriteOutcome RewriteMissionCallsign(const std::string& name, const std::string& callsign,
                                      const os::LockWait& waitForLock);

// Writes the mission's bytes, as the opened file holds them, with callsign in its player
// records into out.
bool WriteCallsignCopy(os::InputFile& in, const std::string& callsign, os::OutputFile& out);

}  // namespace sx
