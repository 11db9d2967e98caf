// SPDX-License-Identifier: GPL-3.0-or-later
// Files: reading a file by its name in the current folder, and replacing files' contents
// safely. Handles and error numbers stay inside the backend.
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
    // Opens the very file other has open (never its name again), to be read from its start on
    // its own.
    bool OpenSame(const InputFile& other);
    // Why the last Open failed.
    std::error_code OpenError() const;
    // Reads up to size bytes: the count, 0 at the end, -1 on an error.
    std::ptrdiff_t Read(char* buffer, size_t size);
    // The open file's version; false when it cannot be told.
    bool Version(FileVersion& version) const;
    void Close();
    bool IsOpen() const;

    // The backend's own state of the file.
    struct Impl;
    Impl& Native() { return *m_impl; }
    const Impl& Native() const { return *m_impl; }

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

// Waits for the lock of a file: tryLock takes it when it is free. Returns whether it was taken.
using LockWait = std::function<bool(const std::function<bool()>& tryLock)>;

struct ReplaceResult {
    bool ok = false;
    bool inUse = false;  // the file's lock stayed taken by another program
    // The file may not be changed at all, and nothing was touched: it is missing, a link, not a
    // regular file, or neither writable for this user nor this user's to make writable.
    bool refused = false;
    // The caller found nothing to change in the file, which was left as it is.
    bool unchanged = false;
    FileOp failedOp = FileOp::Open;
    std::error_code error;

    // A replacement that failed at op (an error is always given, I/O error when none is known).
    static ReplaceResult Failure(FileOp op, std::error_code err, bool inUse = false) {
        return {false, inUse, false, false, op, err ? err : std::make_error_code(std::errc::io_error)};
    }
    static ReplaceResult Refusal(std::error_code err) {
        ReplaceResult r = Failure(FileOp::Open, err);
        r.refused = true;
        return r;
    }
};

// What a replacement asks of its caller once the file is open and locked. Both read the very
// file that was opened, from its start, never the name again: a name swapped meanwhile for a link
// or another file sends nothing of that one into the copy.
// Whether the file is to change at all; false leaves it as it is (unchanged).
using CopyNeeded = std::function<bool(InputFile& file)>;
// Writes the copy that takes the file's place.
using CopyWriter = std::function<bool(InputFile& file, OutputFile& copy)>;

// Replaces regular files, by their names in the current folder or host paths, with the copies
// the caller writes, so that each file is always either exactly as before or completely
// replaced, many files at less cost than one at a time.
//
// Add opens the file's folder once (links in the folders above it are followed) and the file in
// it without following a link: a name that is itself a link is refused, never written through.
// Under the file's lock (rewrites of one file by several processes take turns; no reader waits
// for it; when another program holds it, waitForLock is asked to wait, and if it gives up
// nothing is touched and inUse is set) the copy goes into a temporary file that Add creates
// afresh beside the file (a name of its own ending in ".tmp", never a file that was there) and
// takes the file's permissions, attributes and, where this user may give them, owner. A file
// this user cannot write but owns stays read-only until its copy takes its place (which is then
// writable); one this user can neither write nor make writable is refused. Nothing of the file
// changes until Commit, which puts the group's copies on the disk together (one sync of their
// file system where the system can, each copy flushed on Windows), puts each in its file's place
// in one atomic step (where the name still leads to the file that was opened), and flushes each
// folder once. A file whose step fails keeps its bytes and attributes, and the others go on.
// Add also removes, once a group in each folder, the temporary files killed rewrites left there.
class ReplacementGroup {
  public:
    ReplacementGroup();
    // What was added but not committed is removed, its locks let go.
    ~ReplacementGroup();
    ReplacementGroup(const ReplacementGroup&) = delete;
    ReplacementGroup& operator=(const ReplacementGroup&) = delete;
    // ok: added; else refused, unchanged (needed said no), in use, or failed with the step.
    ReplaceResult Add(const std::string& name, const CopyWriter& writeCopy,
                      const LockWait& waitForLock, const CopyNeeded& needed = {});
    size_t Size() const;
    // True when the group holds as many files as the system lets it keep open at once (half
    // of what it lets the program hold): commit before the next.
    bool Full() const;
    // The result of each file added since the last commit, in the order of their adding.
    // placing, when given, is told how many are in place, now and then, while they are put
    // there.
    std::vector<ReplaceResult> Commit(const std::function<void(size_t placed)>& placing = {});

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

// One file is a group of one: the same steps, one sync of its own copy. (Here, and not in the
// code both backends share, because that code lies below the backends.)
inline ReplaceResult ReplaceFileSafely(const std::string& name, const CopyWriter& writeCopy,
                                       const LockWait& waitForLock) {
    ReplacementGroup group;
    const ReplaceResult added = group.Add(name, writeCopy, waitForLock);
    return added.ok ? group.Commit().front() : added;
}

// Removes, from a folder (as the program holds it), the temporary files of this program's
// rewrites that were killed or cut off: a file only when it has the program's own name pattern,
// is a regular file with one name, belongs to this user and no running rewrite holds it.
void RemoveLeftoverCopies(const std::string& folder);

}  // namespace sx::os
