// SPDX-License-Identifier: GPL-3.0-or-later
// One install of mission packs: the items the user gave (archives, .mis files, folders) read
// into a staging folder, each entry placed by the pack rules and looked up where it would go,
// then, once the user agreed, put in place; with the texts the user reads before and after.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/Files.h"
#include "os/Install.h"
#include "packs/PackRules.h"

namespace sx::packs {

// The bounds an install holds to, whatever its archives claim.
inline constexpr size_t kMaxEntries = 10000;
inline constexpr uint64_t kMaxBytes = uint64_t{4} << 30;       // written by one install
inline constexpr uint64_t kMaxEntryBytes = uint64_t{1} << 30;  // of one entry
// At every moment, bytes written at most this many times the archive's bytes read, plus a MiB.
inline constexpr uint64_t kMaxRatio = 1000;
inline constexpr uint64_t kRatioSlack = uint64_t{1} << 20;
// How many left-out entries the summary names; the rest it counts.
inline constexpr size_t kSummaryNamed = 20;

// The folders an install writes into, as the program holds them; empty where there is none.
struct InstallFolders {
    std::string single, campaign, custom;
    Target shown = Target::Single;
};

enum class Fate { New, Replaces, Already, LeftOut };

struct InstallEntry {
    size_t item = 0;
    std::string name;  // as the pack names it (UTF-8)
    Fate fate = Fate::LeftOut;
    LeftOut why = LeftOut::None;
    Target target = Target::Single;
    std::vector<std::string> spelled;  // under the target folder, as it is (or will be) spelled
    bool mission = false;
    size_t staged = SIZE_MAX;  // its staged file
};

struct InstallSummary {
    int missions = 0, others = 0, already = 0, trashed = 0;
    std::vector<std::pair<std::string, LeftOut>> leftOut;  // name, why
    std::vector<std::string> problems;                     // an item's own lines
};

// The summary the user reads afterwards (and the command line prints).
std::string InstallSummaryText(const InstallSummary& summary);

// Asked now and then while the items are read and their files put in place, with what is being
// done; false while reading stops the install (nothing of it is written).
using InstallTick = std::function<bool(const std::string& doing)>;

class PackInstall {
  public:
    explicit PackInstall(InstallFolders folders);
    // Reads every item (host paths). False: nothing of them can be installed (Problems() says
    // why, one line an item); the install was stopped; or no staging folder could be made.
    bool Prepare(const std::vector<std::string>& items, const InstallTick& tick);
    const std::vector<std::string>& Problems() const { return m_problems; }
    const std::vector<InstallEntry>& Entries() const { return m_entries; }
    // Before anything is written: one line an item and target folder ("%1 missions and %2 other
    // files from %3 go into %4."), then what they replace. folderName names a target folder as
    // the game names it.
    std::vector<std::string> ConfirmationLines(const std::function<std::string(Target)>& folderName) const;
    // One line an entry: "<name>: new", "replaces", "already installed", "left out: <reason>".
    std::vector<std::string> EntryLines() const;
    // What the summary says where nothing is put in place: what was there already and what is
    // left out.
    InstallSummary Unplaced() const;
    // Puts every new and replacing entry in place, each under its lock.
    InstallSummary Place(const os::LockWait& waitForLock, const InstallTick& tick);

    // The mission installed first in the list's order: where it lies.
    struct Shown {
        bool any = false;
        Target target = Target::Single;
        std::vector<std::string> folders;  // its subfolders under the target folder
        std::string name;                  // as the program's paths spell it
    };
    Shown FirstMission() const;

  private:
    bool ReadItem(size_t item, const std::string& path, const InstallTick& tick);
    const std::string& FolderOf(Target t) const;
    InstallFolders m_folders;
    std::unique_ptr<os::StagingFolder> m_staging;
    std::vector<std::string> m_items;  // their names, as shown
    std::vector<InstallEntry> m_entries;
    std::vector<std::string> m_problems;
    size_t m_nextStaged = 0;
    uint64_t m_written = 0;
    size_t m_count = 0;
    std::vector<InstallEntry> m_placed;  // what Place put in place
};

}  // namespace sx::packs
