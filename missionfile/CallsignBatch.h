// SPDX-License-Identifier: GPL-3.0-or-later
// One callsign for every mission of a list: each mission changed by the rules of a single
// change, many of them sharing one trip to the disk.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "os/Files.h"

namespace sx {

// How many missions share one sync of their copies.
inline constexpr size_t kBatchGroup = 64;
// How many failures the summary names; the rest it counts.
inline constexpr size_t kSummaryNamed = 20;

struct BatchFailure {
    std::string name;
    std::string reason;
};

struct BatchSummary {
    int set = 0;       // rewritten
    int already = 0;   // the rewrite would have given the bytes the mission holds
    int noRecord = 0;  // no player record: nothing to set
    std::vector<BatchFailure> failed;
    bool cancelled = false;
    int done = 0;   // missions looked at
    int total = 0;  // of how many
};

// The summary the user reads afterwards.
std::string BatchSummaryText(const BatchSummary& summary);

// Asked before each mission (its index and name) and between the steps of the batch; false
// stops the batch there: what is done stays done.
using BatchProgress = std::function<bool(int index, const std::string& name)>;

// Sets callsign (which IsStorableCallsign accepts: the caller refuses any other before anything
// is touched) in every mission of names, bare names in the current folder. A mission without a
// player record, or one whose rewrite would give the bytes it already holds, is left as it is
// and counted; one that cannot be changed is named with the reason and the others go on. Each
// mission changes completely or not at all. waitForLock is asked at most once a batch: a
// mission another program holds after that is in use.
BatchSummary SetCallsignInAll(const std::vector<std::string>& names, const std::string& callsign,
                              const os::LockWait& waitForLock, const BatchProgress& progress);

// How many of the missions hold a callsign other than callsign now: those the batch would
// rewrite.
int MissionsWithOtherCallsign(const std::vector<std::string>& names, const std::string& callsign);

}  // namespace sx
