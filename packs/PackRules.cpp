// SPDX-License-Identifier: GPL-3.0-or-later
#include "packs/PackRules.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/Text.h"

namespace sx::packs {

namespace {

// A part of a name may hold this many bytes (what ext4 holds, and NTFS in UTF-16), the whole
// name under its target folder this many.
constexpr size_t kPartBytes = 255;
constexpr size_t kNameBytes = 1024;

std::string Lower(std::string_view s) {
    return FoldedKeyUtf8(s);
}

// The extension, folded, with its dot: ".mis"; empty for none.
std::string Extension(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string() : Lower(name.substr(dot));
}

std::string Stem(std::string_view name) {
    const size_t dot = name.rfind('.');
    return Lower(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

bool IsMission(std::string_view name) {
    return Extension(name) == ".mis";
}

bool IsAnchor(std::string_view part) {
    const std::string p = Lower(part);
    return p == "missions" || p == "campaigns";
}

// The per-entry rules, before the layout: what no layout installs.
LeftOut EntryRule(const PackEntry& e, const EntryName& n) {
    if (n.outside) return LeftOut::Outside;
    if (e.kind == EntryKind::Link) return LeftOut::Link;
    if (e.kind == EntryKind::Other) return LeftOut::NotAFile;
    if (e.encrypted) return LeftOut::Encrypted;
    size_t total = 0;
    for (const std::string& part : n.parts) {
        if (!IsWindowsName(part)) return LeftOut::WindowsName;
        if (part.size() > kPartBytes) return LeftOut::TooLong;
        total += part.size() + 1;
    }
    if (total > kNameBytes) return LeftOut::TooLong;
    if (!e.spellable) return LeftOut::CannotSpell;
    if (e.kind == EntryKind::File && !n.parts.empty()) {
        if (IsProgramOrScript(n.parts.back())) return LeftOut::Program;
        if (e.archive || IsArchiveName(n.parts.back())) return LeftOut::ArchiveInside;
    }
    return LeftOut::None;
}

}  // namespace

const char* LeftOutText(LeftOut why) {
    switch (why) {
        case LeftOut::None:
            return "";
        case LeftOut::Outside:
            return "outside the folder";
        case LeftOut::Link:
            return "a link";
        case LeftOut::NotAFile:
            return "not a file";
        case LeftOut::WindowsName:
            return "a name Windows cannot hold";
        case LeftOut::TooLong:
            return "a name too long";
        case LeftOut::SameName:
            return "same name as another entry";
        case LeftOut::Encrypted:
            return "encrypted";
        case LeftOut::Program:
            return "a program or script";
        case LeftOut::ArchiveInside:
            return "an archive inside";
        case LeftOut::NotPart:
            return "not part of a mission folder";
        case LeftOut::NoGameFolder:
            return "no game folder";
        case LeftOut::NoTrash:
            return "could not be moved to the trash";
        case LeftOut::CannotSpell:
            return "a name this system cannot spell";
        case LeftOut::MayNotChange:
            return "it may not be changed";
        case LeftOut::InUse:
            return "it is in use by another program";
        case LeftOut::NotWritten:
            return "it could not be written";
    }
    return "";
}

EntryName SplitEntryName(std::string_view name) {
    EntryName n;
    if (name.empty()) return n;
    n.outside = name[0] == '/' || name[0] == '\\';
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t end = name.find_first_of("/\\", pos);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") n.outside = true;
        // "C:" and "C:name": a drive, which names a place outside the pack.
        if (n.parts.empty() && part.size() >= 2 && part[1] == ':' &&
            ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z')))
            n.outside = true;
        n.parts.emplace_back(part);
    }
    return n;
}

bool IsWindowsName(std::string_view part) {
    if (part.empty() || part == "." || part == "..") return false;
    for (const char c : part)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*/\\").find(c) != std::string_view::npos)
            return false;
    if (part.back() == '.' || part.back() == ' ') return false;
    // A device, with any extension and blanks before it: CON, COM1, LPT9, COM¹ (U+00B9, U+00B2,
    // U+00B3), CONIN$.
    std::string stem = Lower(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const std::set<std::string> kDevices = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    if (kDevices.count(stem) != 0) return false;
    if (stem.size() >= 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0)) {
        const std::string_view digit = std::string_view(stem).substr(3);
        if (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') return false;
        if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3") return false;
    }
    return true;
}

bool IsProgramOrScript(std::string_view name) {
    static const std::set<std::string> kRun = {".exe", ".dll", ".com", ".bat", ".cmd", ".scr", ".ps1",
                                               ".vbs", ".js",  ".lnk", ".url", ".desktop", ".sh"};
    return kRun.count(Extension(name)) != 0;
}

bool IsArchiveName(std::string_view name) {
    static const std::set<std::string> kArchives = {
        ".zip", ".7z", ".rar", ".tar", ".gz",  ".tgz", ".bz2", ".tbz", ".tbz2", ".xz", ".txz",
        ".lzma", ".zst", ".cab", ".iso", ".arj", ".lzh", ".lha", ".cpio", ".z", ".ace", ".001"};
    return kArchives.count(Extension(name)) != 0;
}

bool BeginsLikeArchive(std::string_view b) {
    const auto starts = [b](std::string_view magic) { return b.substr(0, magic.size()) == magic; };
    return starts("PK\x03\x04") || starts("PK\x05\x06") || starts(std::string_view("7z\xBC\xAF\x27\x1C", 6)) ||
           starts("Rar!\x1A\x07") || starts("\x1F\x8B") || starts("BZh") ||
           starts(std::string_view("\xFD" "7zXZ\x00", 6)) || starts(std::string_view("\x28\xB5\x2F\xFD", 4)) ||
           starts("MSCF") || (b.size() >= 262 && b.substr(257, 5) == "ustar");
}

std::vector<Placement> PlacePack(const std::vector<PackEntry>& entries, const Layout& layout) {
    std::vector<Placement> out(entries.size());
    std::vector<EntryName> names;
    names.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        names.push_back(SplitEntryName(entries[i].name));
        out[i].counted = entries[i].kind != EntryKind::Folder;
        out[i].leftOut = EntryRule(entries[i], names[i]);
        out[i].parts = names[i].parts;
        out[i].mission = entries[i].kind == EntryKind::File && !names[i].parts.empty() && IsMission(names[i].parts.back());
    }
    // Wrappers: while everything inside the pack lies in one folder (that is no anchor), that
    // folder is gone through.
    for (;;) {
        std::string only;
        bool one = true, any = false;
        for (size_t i = 0; i < entries.size() && one; ++i) {
            const auto& parts = out[i].parts;
            if (names[i].outside || parts.empty()) continue;
            const bool folder = parts.size() > 1 || entries[i].kind == EntryKind::Folder;
            if (!folder || (any && Lower(parts[0]) != only)) one = false;
            only = Lower(parts[0]);
            any = true;
        }
        if (!one || !any || IsAnchor(only)) break;
        for (size_t i = 0; i < entries.size(); ++i)
            if (!names[i].outside && !out[i].parts.empty()) out[i].parts.erase(out[i].parts.begin());
    }
    // Anchors.
    bool anchored = false;
    std::vector<ptrdiff_t> anchorAt(entries.size(), -1);
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& parts = out[i].parts;
        for (size_t k = 0; k + 1 < parts.size(); ++k) {
            if (!IsAnchor(parts[k])) continue;
            anchorAt[i] = static_cast<ptrdiff_t>(k);
            anchored = anchored || (out[i].counted && out[i].leftOut == LeftOut::None);
            break;
        }
    }
    // Without an anchor: the missions at the top and what shares their base names; subfolders
    // that hold missions, whole.
    std::vector<std::string> stems;
    std::set<std::string> missionFolders;
    if (!anchored) {
        for (size_t i = 0; i < entries.size(); ++i) {
            const Placement& p = out[i];
            if (!p.mission || p.leftOut != LeftOut::None) continue;
            if (p.parts.size() == 1)
                stems.push_back(Stem(p.parts[0]));
            else
                missionFolders.insert(Lower(p.parts[0]));
        }
    }
    const auto sharesAStem = [&stems](const std::string& name) {
        const std::string stem = Stem(name);
        return std::any_of(stems.begin(), stems.end(), [&stem](const std::string& s) {
            return stem == s || (stem.size() > s.size() && stem.compare(0, s.size(), s) == 0 && stem[s.size()] == '_');
        });
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        Placement& p = out[i];
        if (p.leftOut != LeftOut::None || !p.counted) continue;
        if (anchored) {
            if (anchorAt[i] < 0) {
                p.leftOut = LeftOut::NotPart;
                continue;
            }
            const auto k = static_cast<size_t>(anchorAt[i]);
            p.target = Lower(p.parts[k]) == "missions" ? Target::Single : Target::Campaign;
            p.parts.erase(p.parts.begin(), p.parts.begin() + static_cast<ptrdiff_t>(k) + 1);
            if (!layout.gameFolders) p.leftOut = LeftOut::NoGameFolder;
            continue;
        }
        p.target = layout.shown;
        const bool top = p.parts.size() == 1;
        if ((top && !sharesAStem(p.parts[0])) || (!top && missionFolders.count(Lower(p.parts[0])) == 0))
            p.leftOut = LeftOut::NotPart;
        else if (!layout.gameFolders && layout.shown != Target::Custom)
            p.leftOut = LeftOut::NoGameFolder;
    }
    return out;
}

void LeaveOutTwins(std::vector<std::vector<Placement>*> packs) {
    std::set<std::string> taken;
    for (std::vector<Placement>* pack : packs) {
        for (Placement& p : *pack) {
            if (p.leftOut != LeftOut::None || !p.counted) continue;
            std::string key(1, static_cast<char>('0' + static_cast<int>(p.target)));
            for (const std::string& part : p.parts) key += "/" + Lower(part);
            if (!taken.insert(key).second) p.leftOut = LeftOut::SameName;
        }
    }
}

}  // namespace sx::packs
