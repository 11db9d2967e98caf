// Files: reading a file by its name in the current folder, making a file writable, and
// replacing a file's content safely. Handles and error numbers stay inside the backend.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

namespace sx::os {

// ---- Fault seam -------------------------------------------------------------------------------

// Every file operation asks the hook first; an error it returns makes the operation fail with
// that error without touching the file system. Tests use it to fail any step and to record the
// order of the calls.
enum class FileOp { Open, Read, Write, Flush, Sync, Close, Chmod, Rename, SyncFolder, Unlink };
const char* FileOpName(FileOp op);
using FaultHook = std::function<std::error_code(FileOp op, const std::string& path)>;
void SetFaultHook(FaultHook hook);

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
    // Opens an existing file, by its name in the current folder, for reading; never creates
    // one.
    bool Open(const std::string& name);
    // Reads up to size bytes: the count, 0 at the end, -1 on an error.
    std::ptrdiff_t Read(char* buffer, size_t size);
    // The open file's version; false when it cannot be told.
    bool Version(FileVersion& version) const;
    void Close();
    bool IsOpen() const;

    struct Impl;

  private:
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

// Makes a file, by its name in the current folder, writable for this user (the read-only flag
// of a file copied from a CD). Fails when the file is missing or cannot be made writable.
bool MakeWritable(const std::string& name);

struct ReplaceResult {
    bool ok = false;
    FileOp failedOp = FileOp::Open;
    std::error_code error;
};

// Replaces a file, by its name in the current folder, with the content that writeCopy
// produces, so that the file is always either exactly as before or completely replaced: the
// copy goes into a temporary file beside the file (tempName, or altTempName when the file
// itself bears tempName), is flushed to disk, takes the file's permission bits and then the
// file's place in one atomic step. A symbolic link stays a link: the file it points to is
// replaced. On failure the temporary file is removed.
// Rewrites of the same file by several processes take turns: writeCopy runs while this process
// holds the file's lock, so it should open the file it copies from itself.
ReplaceResult ReplaceFileSafely(const std::string& name, const std::string& tempName,
                                const std::string& altTempName,
                                const std::function<bool(OutputFile&)>& writeCopy);

}  // namespace sx::os
