// SPDX-License-Identifier: GPL-3.0-or-later
#include "packs/PackInstall.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "base/Text.h"
#include "os/Archive.h"
#include "os/Paths.h"

namespace sx::packs {

namespace {

std::string LastPart(const std::string& path) {
    const size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool SameBytes(os::InputFile& a, os::InputFile& b) {
    static char x[1 << 16], y[1 << 16];
    for (;;) {
        const std::ptrdiff_t n = a.Read(x, sizeof x);
        std::ptrdiff_t m = 0;
        while (m < n) {
            const std::ptrdiff_t got = b.Read(y + m, static_cast<size_t>(n - m));
            if (got <= 0) break;
            m += got;
        }
        if (n < 0 || m != n || std::memcmp(x, y, static_cast<size_t>(n)) != 0) return false;
        if (n == 0) return b.Read(y, 1) == 0;
    }
}

// What an item holds, as read: its entries, and the staged file of each (SIZE_MAX: none).
struct ItemRead {
    std::vector<PackEntry> entries;
    std::vector<size_t> staged;
};

// A source of one entry's bytes: an archive's current entry, or a file.
using ReadFn = std::function<std::ptrdiff_t(char*, size_t)>;

}  // namespace

std::string InstallSummaryText(const InstallSummary& s) {
    std::string text = "Installed " + Counted(s.missions, "mission", "missions") + " and " +
                       Counted(s.others, "other file", "other files") + ".";
    if (s.already > 0)
        text += "\n" + std::to_string(s.already) + (s.already == 1 ? " was" : " were") + " already installed.";
    if (s.trashed > 0)
        text += "\n" + std::to_string(s.trashed) +
                (s.trashed == 1 ? " replaced file is in the trash." : " replaced files are in the trash.");
    if (!s.leftOut.empty()) {
        text += "\n" + std::to_string(s.leftOut.size()) + (s.leftOut.size() == 1 ? " was left out:" : " were left out:");
        for (size_t i = 0; i < s.leftOut.size() && i < kSummaryNamed; ++i)
            text += "\n" + s.leftOut[i].first + ": " + LeftOutText(s.leftOut[i].second);
        if (s.leftOut.size() > kSummaryNamed) text += "\nand " + std::to_string(s.leftOut.size() - kSummaryNamed) + " more";
    }
    for (const std::string& p : s.problems) text += "\n" + p;
    return text;
}

PackInstall::PackInstall(InstallFolders folders) : m_folders(std::move(folders)) {}

const std::string& PackInstall::FolderOf(Target t) const {
    return t == Target::Single ? m_folders.single : t == Target::Campaign ? m_folders.campaign : m_folders.custom;
}

bool PackInstall::Prepare(const std::vector<std::string>& items, const InstallTick& tick) {
    m_entries.clear();
    m_problems.clear();
    m_items.clear();
    // The staging folder lies in a folder the install writes into, the one shown first: the new
    // files are renamed from there into place on the same file system.
    // What installs and rewrites that were killed left in the folders goes first.
    for (const Target t : {Target::Single, Target::Campaign, Target::Custom})
        if (!FolderOf(t).empty()) os::RemoveLeftoverCopies(FolderOf(t));
    m_staging = std::make_unique<os::StagingFolder>();
    bool staged = false;
    for (const Target t : {m_folders.shown, Target::Single, Target::Custom, Target::Campaign})
        if (!staged && !FolderOf(t).empty() && os::IsFolder(FolderOf(t))) staged = m_staging->Create(FolderOf(t));
    for (const std::string& item : items) m_items.push_back(os::NameFromPaths(LastPart(item)));
    if (!staged) {
        for (const std::string& name : m_items) m_problems.push_back("Nothing in " + name + " can be installed.");
        return false;
    }
    bool read = true;
    for (size_t i = 0; read && i < items.size(); ++i) {
        m_count = 0;
        read = ReadItem(i, items[i], tick);
    }
    if (read && std::any_of(m_entries.begin(), m_entries.end(), [](const InstallEntry& e) { return e.fate != Fate::LeftOut; }))
        return true;
    // Nothing will be placed: the staged files go now, not when the window closes.
    m_staging.reset();
    return false;
}

bool PackInstall::ReadItem(size_t item, const std::string& path, const InstallTick& tick) {
    const std::string& shown = m_items[item];
    ItemRead read;
    bool failed = false, stopped = false;
    uint64_t itemWritten = 0;
    os::ArchiveReader archive;
    const bool isArchive = !os::IsFolder(path) && archive.Open(path);
    // Stages one entry from its bytes, within the bounds; false ends the item.
    const auto stage = [&](PackEntry& entry, const ReadFn& readFn) -> size_t {
        const EntryName n = SplitEntryName(entry.name);
        if (entry.kind != EntryKind::File || entry.encrypted || n.outside || n.parts.empty() ||
            IsProgramOrScript(n.parts.back()) || IsArchiveName(n.parts.back()))
            return SIZE_MAX;
        const size_t index = m_nextStaged++;
        std::unique_ptr<os::StagedFile> out = m_staging->Stage(index);
        if (!out) {
            failed = true;
            return SIZE_MAX;
        }
        static char buffer[1 << 16];
        uint64_t entryBytes = 0;
        for (bool first = true;; first = false) {
            const std::ptrdiff_t got = readFn(buffer, sizeof buffer);
            if (got < 0) {
                failed = true;
                break;
            }
            if (got == 0) break;
            if (first && BeginsLikeArchive(std::string_view(buffer, static_cast<size_t>(got)))) {
                entry.archive = true;
                break;
            }
            const auto n2 = static_cast<uint64_t>(got);
            entryBytes += n2;
            itemWritten += n2;
            m_written += n2;
            if (entryBytes > kMaxEntryBytes || m_written > kMaxBytes ||
                (isArchive && itemWritten > kMaxRatio * archive.BytesRead() + kRatioSlack)) {
                failed = true;
                break;
            }
            if (!out->Write(buffer, static_cast<size_t>(got))) {
                failed = true;
                break;
            }
            if ((entryBytes & ((1u << 22) - 1)) < n2 && tick && !tick(shown)) {
                stopped = true;
                break;
            }
        }
        if (!out->Finish()) failed = true;
        if (failed || stopped || entry.archive) {
            m_staging->Discard(index);
            return SIZE_MAX;
        }
        return index;
    };
    const auto add = [&](PackEntry entry, const ReadFn& readFn) {
        if (++m_count > kMaxEntries) {
            failed = true;
            return;
        }
        const size_t index = readFn ? stage(entry, readFn) : SIZE_MAX;
        read.entries.push_back(std::move(entry));
        read.staged.push_back(index);
        if (tick && !tick(shown)) stopped = true;
    };
    const auto kindOf = [](os::ArchiveEntryKind k) {
        return k == os::ArchiveEntryKind::File     ? EntryKind::File
               : k == os::ArchiveEntryKind::Folder ? EntryKind::Folder
               : k == os::ArchiveEntryKind::Link   ? EntryKind::Link
                                                   : EntryKind::Other;
    };
    if (isArchive) {
        os::ArchiveEntry e;
        while (!failed && !stopped && archive.Next(e)) {
            PackEntry entry{e.name, kindOf(e.kind), e.encrypted, os::CanSpellName(e.name), false};
            add(std::move(entry), [&archive](char* b, size_t n) { return archive.Read(b, n); });
        }
        failed = failed || archive.Damaged();
    } else if (os::IsFolder(path)) {
        // A folder is read as a pack that holds it.
        bool complete = true;
        const std::vector<os::TreeEntry> tree = os::ListTree(path, kMaxEntries + 1, complete);
        failed = !complete;
        for (size_t k = 0; k < tree.size() && !failed && !stopped; ++k) {
            const os::TreeEntry& t = tree[k];
            PackEntry entry{shown + "/" + t.name,
                            t.kind == os::TreeEntry::File     ? EntryKind::File
                            : t.kind == os::TreeEntry::Folder ? EntryKind::Folder
                            : t.kind == os::TreeEntry::Link   ? EntryKind::Link
                                                              : EntryKind::Other,
                            false, os::CanSpellName(shown + "/" + t.name), false};
            os::InputFile in;
            if (t.kind == os::TreeEntry::File && !os::OpenTreeFile(path, t.name, in)) entry.kind = EntryKind::Other;
            const bool file = entry.kind == EntryKind::File;
            add(std::move(entry), file ? ReadFn([&in](char* b, size_t n) { return in.Read(b, n); }) : ReadFn());
        }
    } else {
        // A loose mission file.
        os::InputFile in;
        if (FoldedKeyUtf8(shown).ends_with(".mis") && in.Open(path))
            add(PackEntry{shown, EntryKind::File, false, os::CanSpellName(shown), false},
                [&in](char* b, size_t n) { return in.Read(b, n); });
    }
    if (stopped) return false;
    if (failed) {
        for (size_t s : read.staged)
            if (s != SIZE_MAX) m_staging->Discard(s);
        m_problems.push_back(shown + " is damaged or too large; nothing of it was installed.");
        return true;
    }
    // Where each entry goes, and what lies there now.
    const Layout layout{m_folders.shown, !(m_folders.single.empty() && m_folders.campaign.empty())};
    std::vector<Placement> placed = PlacePack(read.entries, layout);
    std::vector<Placement> earlier;  // twins of the items read before
    for (const InstallEntry& e : m_entries) {
        if (e.fate == Fate::LeftOut) continue;
        Placement p;
        p.target = e.target;
        p.parts = e.spelled;
        earlier.push_back(p);
    }
    LeaveOutTwins({&earlier, &placed});
    bool any = false;
    for (size_t k = 0; k < placed.size(); ++k) {
        const Placement& p = placed[k];
        if (!p.counted) continue;
        InstallEntry e;
        e.item = item;
        e.name = read.entries[k].name;
        e.target = p.target;
        e.spelled = p.parts;
        e.mission = p.mission;
        e.staged = read.staged[k];
        e.why = p.leftOut;
        if (e.why == LeftOut::None && e.staged == SIZE_MAX) e.why = LeftOut::NotAFile;
        if (e.why == LeftOut::None && FolderOf(p.target).empty()) e.why = LeftOut::NoGameFolder;
        if (e.why == LeftOut::None) {
            const os::PlaceLookUp look = os::LookUpPlace(FolderOf(p.target), p.parts);
            e.spelled = look.spelled;
            if (look.kind == os::PlaceLookUp::Nothing) {
                e.fate = Fate::New;
            } else if (look.kind == os::PlaceLookUp::File) {
                os::InputFile mine, theirs;
                const bool same = m_staging->OpenStaged(e.staged, mine) && os::OpenPlaced(FolderOf(p.target), e.spelled, theirs) &&
                                  SameBytes(mine, theirs);
                e.fate = same ? Fate::Already : Fate::Replaces;
            } else {
                e.why = LeftOut::NotAFile;
            }
        }
        if (e.why != LeftOut::None) e.fate = Fate::LeftOut;
        any = any || e.fate != Fate::LeftOut;
        if (e.fate == Fate::LeftOut && e.staged != SIZE_MAX) m_staging->Discard(e.staged);
        m_entries.push_back(std::move(e));
    }
    if (!any) m_problems.push_back("Nothing in " + shown + " can be installed.");
    return true;
}

std::vector<std::string> PackInstall::ConfirmationLines(const std::function<std::string(Target)>& folderName) const {
    std::vector<std::string> lines = m_problems;
    std::vector<std::pair<size_t, Target>> groups;
    std::map<std::pair<size_t, Target>, std::pair<int, int>> counts;
    int replaced = 0;
    for (const InstallEntry& e : m_entries) {
        if (e.fate != Fate::New && e.fate != Fate::Replaces) continue;
        const auto key = std::make_pair(e.item, e.target);
        if (counts.find(key) == counts.end()) groups.push_back(key);
        (e.mission ? counts[key].first : counts[key].second) += 1;
        replaced += e.fate == Fate::Replaces;
    }
    for (const auto& key : groups)
        lines.push_back(Counted(counts[key].first, "mission", "missions") + " and " +
                        Counted(counts[key].second, "other file", "other files") + " from " + m_items[key.first] +
                        " go into " + folderName(key.second) + ".");
    if (replaced == 0)
        lines.push_back("Nothing is replaced.");
    else if (replaced == 1)
        lines.push_back("1 of them replaces a file of the same name, which goes to the trash.");
    else
        lines.push_back(std::to_string(replaced) + " of them replace files of the same name, which go to the trash.");
    return lines;
}

std::vector<std::string> PackInstall::EntryLines() const {
    std::vector<std::string> lines;
    for (const InstallEntry& e : m_entries) {
        const char* fate = e.fate == Fate::New        ? "new"
                           : e.fate == Fate::Replaces ? "replaces"
                           : e.fate == Fate::Already  ? "already installed"
                                                      : nullptr;
        lines.push_back(e.name + ": " + (fate ? std::string(fate) : std::string("left out: ") + LeftOutText(e.why)));
    }
    return lines;
}

InstallSummary PackInstall::Unplaced() const {
    InstallSummary summary;
    summary.problems = m_problems;
    for (const InstallEntry& e : m_entries) {
        if (e.fate == Fate::Already) ++summary.already;
        if (e.fate == Fate::LeftOut) summary.leftOut.push_back({e.name, e.why});
    }
    return summary;
}

InstallSummary PackInstall::Place(const os::LockWait& waitForLock, const InstallTick& tick) {
    InstallSummary summary;
    summary.problems = m_problems;
    m_placed.clear();
    if (!m_staging || !m_staging->IsOpen()) return summary;
    // The new files on the disk before any takes a name.
    const bool synced = m_staging->Sync();
    for (InstallEntry& e : m_entries) {
        if (e.fate == Fate::Already) ++summary.already;
        if (e.fate == Fate::LeftOut) summary.leftOut.push_back({e.name, e.why});
        if (e.fate != Fate::New && e.fate != Fate::Replaces) continue;
        if (tick) tick(e.name);
        const os::PlaceResult r =
            synced ? os::PlaceStaged(*m_staging, e.staged, FolderOf(e.target), e.spelled, e.fate == Fate::Replaces, waitForLock)
                   : os::PlaceResult{};
        switch (r.outcome) {
            case os::Placed::New:
            case os::Placed::Replaced:
                (e.mission ? summary.missions : summary.others) += 1;
                summary.trashed += r.outcome == os::Placed::Replaced;
                m_placed.push_back(e);
                continue;
            case os::Placed::NoTrash:
                e.why = LeftOut::NoTrash;
                break;
            case os::Placed::MayNotChange:
                e.why = LeftOut::MayNotChange;
                break;
            case os::Placed::NotAFile:
                e.why = LeftOut::NotAFile;
                break;
            case os::Placed::InUse:
                e.why = LeftOut::InUse;
                break;
            case os::Placed::Failed:
                e.why = LeftOut::NotWritten;
                break;
        }
        e.fate = Fate::LeftOut;
        summary.leftOut.push_back({e.name, e.why});
    }
    os::FlushPlaced();
    m_staging.reset();
    return summary;
}

PackInstall::Shown PackInstall::FirstMission() const {
    Shown first;
    std::string best;
    for (const InstallEntry& e : m_placed) {
        if (!e.mission || e.spelled.empty()) continue;
        // The list's order: the categories as their buttons stand, the folder's own missions
        // before those of its subfolders, names without regard to case.
        std::string key(1, static_cast<char>('0' + static_cast<int>(e.target)));
        key += e.spelled.size() > 1 ? '1' : '0';
        for (const std::string& part : e.spelled) key += "/" + FoldedKeyUtf8(part);
        if (first.any && key >= best) continue;
        best = key;
        first.any = true;
        first.target = e.target;
        first.folders.assign(e.spelled.begin(), e.spelled.end() - 1);
        first.name = os::NameForPaths(e.spelled.back());
    }
    return first;
}

}  // namespace sx::packs
