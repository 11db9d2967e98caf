// SPDX-License-Identifier: GPL-3.0-or-later
// Writing what an install of missions brings: its files staged beside the folder they go into,
// then put in place one by one, a file they replace going to the system's trash. A name always
// holds its old or its new bytes, and a replaced file's old bytes are in place or in the trash,
// whenever the program is stopped.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "os/Files.h"

namespace sx::os {

// A staged file, written before it is put in place.
class StagedFile : public OutputFile {
  public:
    // Ends the writing; false when any step of it failed.
    virtual bool Finish() = 0;
};

// A folder of the install's own inside a folder it writes into (so on that folder's file
// system): "SXStaging-<32 hex digits>", a name no mission list shows, held under a lock while
// the object lives so that no clean-up takes it. Its files are named by the entries' numbers,
// never by their names. Removed, with the files it still holds, when the object goes.
class StagingFolder {
  public:
    StagingFolder();
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    // Makes it in folder (as the program holds it).
    bool Create(const std::string& folder);
    bool IsOpen() const;
    // A new staged file for entry number index; null when it cannot be made.
    std::unique_ptr<StagedFile> Stage(size_t index);
    // Opens the staged file of index for reading.
    bool OpenStaged(size_t index, InputFile& in) const;
    // Removes the staged file of index.
    void Discard(size_t index);
    // Puts the staged files on the disk, all at once.
    bool Sync();

    struct Impl;
    Impl& Native() { return *m_impl; }

  private:
    std::unique_ptr<Impl> m_impl;
};

// What lies at a place under a folder now: each part is matched exactly, else without regard to
// case (as Windows matches names), never through a link.
struct PlaceLookUp {
    enum Kind { Nothing, File, NoFile } kind = Nothing;  // NoFile: what lies there is no file
    std::vector<std::string> spelled;  // the parts as the folder spells them, where they exist
};
PlaceLookUp LookUpPlace(const std::string& folder, const std::vector<std::string>& parts);
// Opens the file a look-up found, for reading.
bool OpenPlaced(const std::string& folder, const std::vector<std::string>& spelled, InputFile& in);

enum class Placed { New, Replaced, Failed, NoTrash, InUse, NotAFile, MayNotChange };
struct PlaceResult {
    Placed outcome = Placed::Failed;
    std::error_code error;
};

// Puts staged file index at spelled under folder (its folders made where they are missing). A
// file there (replace) is replaced under its lock: its old bytes go to the trash first (on Linux
// the freedesktop.org trash of its file system, on Windows the recycle bin); where the trash
// cannot take them, nothing is replaced (NoTrash). A file that came meanwhile where none was is
// not replaced (Failed).
PlaceResult PlaceStaged(StagingFolder& staging, size_t index, const std::string& folder,
                        const std::vector<std::string>& spelled, bool replace, const LockWait& waitForLock);

// Flushes the folders placed into, once each: the names stay after a power cut.
void FlushPlaced();

// Moves a file (by its name in the current folder) to the trash under its lock. Refused for a
// link and for what is no regular file.
enum class Trashed { Yes, NotAFile, NoTrash, InUse };
Trashed MoveToTrash(const std::string& name, const LockWait& waitForLock);

// The files and folders below a folder (a host path), without following a link, as a dropped
// folder is read: names relative to it, "/" between their parts, at most limit of them (more:
// complete is false).
struct TreeEntry {
    std::string name;
    enum Kind { File, Folder, Link, Other } kind = File;
};
std::vector<TreeEntry> ListTree(const std::string& hostFolder, size_t limit, bool& complete);
// Opens a file ListTree listed, never through a link.
bool OpenTreeFile(const std::string& hostFolder, const std::string& name, InputFile& in);

// Whether a name (UTF-8) can be spelled in the system's names: on Windows, in the ANSI code page
// the program's paths and the game's command line are in.
bool CanSpellName(const std::string& utf8);
// A UTF-8 name as the program's paths spell it (UTF-8 on Linux, the ANSI code page on Windows),
// and as its texts (Windows-1252 on Linux, the ANSI code page on Windows), where a character it
// lacks is a "?".
std::string NameForPaths(const std::string& utf8);
std::string NameForTexts(const std::string& utf8);
// A name or path as the program's paths spell it, in UTF-8.
std::string NameFromPaths(const std::string& spelled);

}  // namespace sx::os
