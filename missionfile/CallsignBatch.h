// SPDX-License-Identifier: GPL-3.0-or-later
// One callsign for every mission of a list: each mission changed by the rules of a single
// change, many of them sharing one trip to the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os/Files.h"

namespace sx {

// How many failures the summary names; the rest it counts.
inline constexpr size_t kSummaryNamed = 20;

struct BatchFailure {
    std::string name;
    std::string reason;
    size_t index = 0;  // of the mission in the list
};

struct BatchSummary {
    int set = 0;       // rewritten
    int already = 0;   // the rewrite would have given the bytes the mission holds
    int noRecord = 0;  // no player record: nothing to set
    std::vector<BatchFailure> failed;
    bool cancelled = false;
    int done = 0;   // missions dealt with, each in place or left as it was
    int total = 0;  // of how many
};

// The summary the user reads afterwards.
std::string BatchSummaryText(const BatchSummary& summary);

// What the batch tells while it works.
struct BatchProgress {
    // Asked before the copy of each mission is made (its index and name): false stops the batch
    // there, and the copies already made are put in place.
    std::function<bool(int index, const std::string& name)> copying;
    // Told how many copies go in place as they begin to, and now and then while they do.
    std::function<void(int count)> placing;
};

// Sets callsign (which IsStorableCallsign accepts: the caller refuses any other before anything
// is touched) in every mission of names, bare names in the current folder. A mission without a
// player record, or one whose rewrite would give the bytes it already holds, is left as it is
// and counted; one that cannot be changed is named with the reason and the others go on. Each
// mission changes completely or not at all. The copies are made one after the other and put in
// place in groups as large as the system lets the program hold open, each group with one flush
// of the disk. waitForLock is asked at most once a batch: a mission another program holds after
// that is in use.
BatchSummary SetCallsignInAll(const std::vector<std::string>& names, const std::string& callsign,
                              const os::LockWait& waitForLock, const BatchProgress& progress = {});

// Counts, a few missions at a time, how many missions of a list hold a callsign other than a
// given one now: those the batch would rewrite. Names are bare names in the current folder.
class OtherCallsignCount {
  public:
    explicit OtherCallsignCount(const std::vector<std::string>& names) : m_names(names) {}
    // Counts afresh for another callsign.
    void Restart(const std::string& callsign);
    // Looks at missions until budgetMs milliseconds have passed or all are counted; true when
    // the count is complete.
    bool Step(int64_t budgetMs);
    bool Done() const { return m_next >= m_names.size(); }
    int Count() const { return m_other; }

  private:
    const std::vector<std::string>& m_names;
    std::string m_callsign;
    size_t m_next = 0;
    int m_other = 0;
};

}  // namespace sx
