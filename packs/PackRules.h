// SPDX-License-Identifier: GPL-3.0-or-later
// Where the entries of a mission pack go: the layouts players' packs come in, the names Windows
// cannot hold, what is never installed, and the twins a case-insensitive file system would make.
// Pure rules over the entries' names and kinds; reading and writing are elsewhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sx::packs {

// What an entry of a pack is, as its reader tells it.
enum class EntryKind { File, Folder, Link, Other };

struct PackEntry {
    std::string name;  // UTF-8, its parts parted by "/" or "\" (zips made on Windows)
    EntryKind kind = EntryKind::File;
    bool encrypted = false;
    bool spellable = true;  // the system can spell every part of the name
    bool archive = false;   // its bytes begin as an archive's do
};

// Why an entry is not installed.
enum class LeftOut {
    None,
    Outside,
    Link,
    NotAFile,
    WindowsName,
    TooLong,
    SameName,
    Encrypted,
    Program,
    ArchiveInside,
    NotPart,
    NoGameFolder,
    NoTrash,
    CannotSpell,
    MayNotChange,
    InUse,
    NotWritten,
};
// "outside the folder", "a link", ...: what follows "left out: ".
const char* LeftOutText(LeftOut why);

// The folders an install writes into.
enum class Target { Single, Campaign, Custom };

struct Placement {
    LeftOut leftOut = LeftOut::None;
    bool counted = true;  // folder entries are not
    Target target = Target::Single;
    std::vector<std::string> parts;  // under the target folder: its subfolders, then its name
    bool mission = false;            // a .mis file
};

// Where a pack without a mission folder of its own goes, and whether the game's folders exist.
struct Layout {
    Target shown = Target::Single;
    bool gameFolders = true;  // false: the game directory is "none"
};

// The placement of each entry of one pack (the same order), by these rules:
// 1. An anchor, a folder named Missions or Campaigns at any depth (Data/Missions too): what lies
//    below it goes into the game's single or campaign folder, its subfolders kept.
// 2. In a pack with an anchor, what lies below none is not part of a mission folder.
// 3. A pack without one: its .mis files and every file of the same base name (x.mis with
//    x.properties, x_ru.properties, x.txt, images) go into the folder shown; a subfolder that holds
//    .mis files goes in as a subfolder of it, with all its files; other files at the top are not
//    part of a mission folder.
// 4. Never: an archive inside, a program or a script, a link, what is no file, a name outside the
//    pack, a name Windows cannot hold, encrypted entries.
// A folder of the pack that holds nothing but one folder is a wrapper and is gone through.
std::vector<Placement> PlacePack(const std::vector<PackEntry>& entries, const Layout& layout);

// Across every pack of one install, in order: of the entries that land on one name (the same
// target, the same parts without regard to case), the first keeps it and the later are left
// out as the same name as another entry.
void LeaveOutTwins(std::vector<std::vector<Placement>*> packs);

// The name's parts: "/" and "\" part them, "." and empty parts go; outside is set for a name
// that is absolute, begins with a drive, or climbs with "..".
struct EntryName {
    std::vector<std::string> parts;
    bool outside = false;
};
EntryName SplitEntryName(std::string_view name);

// A name that a Windows file system can hold and gives back as this very name: no device name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension), no trailing dot or blank, none of
// <>:"|?* and no control character.
bool IsWindowsName(std::string_view part);
// Programs and scripts a desktop may run, by their extension.
bool IsProgramOrScript(std::string_view name);
// An archive, by its extension or by the first bytes of its content.
bool IsArchiveName(std::string_view name);
bool BeginsLikeArchive(std::string_view firstBytes);

}  // namespace sx::packs
