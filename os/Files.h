// SPDX-License-Identifier: GPL-3.0-or-later
// Files: reading a file by its name in the current folder, making a file writable, and
// replacing a file's content safely. Handles and error numbers stay inside the backend.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace sx::os {

// ---- Fault seam -------------------------------------------------------------------------------

// Every file operation asks the hook first; an error it returns makes the operation fail with
// that error without touching the file system. Tests use it to fail any step and to record the
// order of the calls. Access is the test whether this user may write a file.
enum class FileOp {
    Open,
    Read,
    Write,
    Flush,
    Sync,
    Close,
    Access,
    Chmod,
    Rename,
    SyncFolder,
    Unlink
};
const char* FileOpName(FileOp op);
using FaultHook = std::function<std::error_code(FileOp op, const std::string& path)>;
void SetFaultHook(FaultHook hook);
// Where the names of temporary files come from (tests make them collide); null: random names.
void SetTempNameSource(std::function<std::string()> source);

// Who owns a path and who may change it, as the program sees it before it trusts what lies
// there (a Wine prefix, the folder of a program it would start). Tests answer for the paths of
// their choice; nothing: the file system answers.
struct PathOwner {
    uint32_t uid = 0;
    uint32_t gid = 0;
    uint32_t mode = 0;  // type and permission bits
};
using OwnerHook = std::function<std::optional<PathOwner>(const std::string& path)>;
void SetOwnerHook(OwnerHook hook);

// ---- Reading ----------------------------------------------------------------------------------

// What tells one version of a file from another: equal values name the same file, unchanged
// since. The meaning of the numbers is the backend's.
struct FileVersion {
    std::array<uint64_t, 5> key{};
    bool operator==(const FileVersion&) const = default;
};

class InputFile {
  public:
    InputFile();
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // Opens an existing regular file for reading, by its name in the current folder or by a
    // host path; never creates one. Anything else (a folder, a FIFO, a device, a socket) is
    // refused at once, and reading stops at the size the file had when it was opened.
    bool Open(const std::string& name);
    // Why the last Open failed.
    std::error_code OpenError() const;
    // Reads up to size bytes: the count, 0 at the end, -1 on an error.
    std::ptrdiff_t Read(char* buffer, size_t size);
    // The open file's version; false when it cannot be told.
    bool Version(FileVersion& version) const;
    void Close();
    bool IsOpen() const;

    struct Impl;

  private:
    bool OpenRegular(const std::string& name);
    std::unique_ptr<Impl> m_impl;
};

// ---- Writing ----------------------------------------------------------------------------------

// The copy a safe replacement writes. Every write is checked; after a failure every later write
// fails too.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual bool Write(const char* data, size_t size) = 0;
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
    virtual std::error_code Error() const = 0;
};

// What a file's attributes were before MakeWritable changed them.
struct FileAttributes {
    uint32_t value = 0;
    bool changed = false;
};

// Makes a regular file, by its name in the current folder, writable for this user where it is
// not yet: the read-only flag of a file copied from a CD. On Windows the read-only, hidden and
// system flags are cleared; on Linux, which has no such flags, only the owner's write bit is
// added, and only when this user cannot write the file already. Returns what the attributes were;
// nothing when the file is missing, is not a regular file, or cannot be made writable (and then
// nothing was changed), with why in why when asked.
std::optional<FileAttributes> MakeWritable(const std::string& name, std::error_code* why = nullptr);
// Puts back what MakeWritable changed, after a rewrite that failed.
void RestoreAttributes(const std::string& name, const FileAttributes& before);

// Waits for the lock of a file: tryLock takes it when it is free. Returns whether it was taken.
using LockWait = std::function<bool(const std::function<bool()>& tryLock)>;

struct ReplaceResult {
    bool ok = false;
    bool inUse = false;  // the file's lock stayed taken by another program
    FileOp failedOp = FileOp::Open;
    std::error_code error;

    // A replacement that failed at op (an error is always given, I/O error when none is known).
    static ReplaceResult Failure(FileOp op, std::error_code err, bool inUse = false) {
        return {false, inUse, op, err ? err : std::make_error_code(std::errc::io_error)};
    }
};

// Replaces a regular file, by its name in the current folder, with the content that writeCopy
// produces, so that the file is always either exactly as before or completely replaced. The copy
// goes into a temporary file that this call creates afresh beside the file (a name of its own
// that ends in ".tmp", never a file that was there), is flushed to disk, takes the file's
// permissions, attributes and, where this user may give them, owner, and then takes the file's
// place in one atomic step. A symbolic link stays a link: the file it points to is replaced.
// On failure the temporary file is removed and the file is untouched.
// Rewrites of one file by several processes take turns under the file's lock, which no reader
// waits for. When another program holds it, waitForLock is asked to wait (it may run the
// program's event loop meanwhile); if it gives up, nothing is touched and inUse is set.
// writeCopy runs under the lock, so it should open the file it copies from itself.
inline ReplaceResult ReplaceFileSafely(const std::string& name,
                                       const std::function<bool(OutputFile&)>& writeCopy,
                                       const LockWait& waitForLock);

// The steps of ReplaceFileSafely for many files, at less cost than one call each: a file's copy
// is written under the file's lock as the file is added (nothing of the file changes yet); Commit
// then puts the group's copies on the disk together (one sync of their file system where the
// system can, each copy flushed on Windows), puts each in its file's place, and flushes each
// folder once. A file whose step fails keeps its bytes and attributes, and the others go on. A
// file's lock is held from its Add until its copy has taken its place.
class ReplacementGroup {
  public:
    ReplacementGroup();
    // What was added but not committed is removed, its locks let go.
    ~ReplacementGroup();
    ReplacementGroup(const ReplacementGroup&) = delete;
    ReplacementGroup& operator=(const ReplacementGroup&) = delete;
    // Fails as ReplaceFileSafely's first steps fail (the lock, the copy); ok: added.
    ReplaceResult Add(const std::string& name, const std::function<bool(OutputFile&)>& writeCopy,
                      const LockWait& waitForLock);
    size_t Size() const;
    // The result of each file added since the last commit, in the order of their adding.
    std::vector<ReplaceResult> Commit();

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

// One file is a group of one: the same steps, one sync of its own copy. (Here, and not in the
// code both backends share, because that code lies below the backends.)
inline ReplaceResult ReplaceFileSafely(const std::string& name,
                                       const std::function<bool(OutputFile&)>& writeCopy,
                                       const LockWait& waitForLock) {
    ReplacementGroup group;
    const ReplaceResult added = group.Add(name, writeCopy, waitForLock);
    return added.ok ? group.Commit().front() : added;
}

// Removes, from the current folder, the temporary files of this program's rewrites that no
// running rewrite holds: those a rewrite that was killed or cut off left behind. Only names of
// the program's own pattern are looked at, only regular files are removed.
void RemoveLeftoverCopies();

}  // namespace sx::os
