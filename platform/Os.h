// Operating-system operations the logic needs: folders, file search, files, attributes, safe
// replacement, registry, process start and clock.
//
// Paths are text as the program holds it: Windows-style ("C:\Games\Vantorra\Data\Missions") or a
// bare name relative to the current folder. On POSIX the backend maps such a text to a host
// path through the Wine prefix when it touches the file system; a text that starts with '/' is
// a host path already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sx::os {

// ---- Folders and search -------------------------------------------------------------------

// Makes a folder the current folder. On failure the current folder stays as it was.
bool ChangeDir(const std::string& folder);
// Names (no folder) of every file and folder that matches the pattern's last component, in the
// pattern's folder (or the current one). The extension matches without regard to case.
std::vector<std::string> FindFiles(const std::string& pattern);
// True when a file or folder of that name exists.
bool PathExists(const std::string& path);

// Host path of a program path (see above). Exposed for the file dialog and for tests.
std::string ToHostPath(const std::string& path);
// The program's spelling of a host path: a Windows path when the file lies on one of the
// prefix's drives (the longest drive root wins), else the host path unchanged.
std::string FromHostPath(const std::string& hostPath);

// ---- Fault seam -----------------------------------------------------------------------------

// Every file operation below asks the hook first; a non-zero answer makes the operation fail
// with that error number without touching the file system. Tests use it to fail any step and to
// record the order of the calls.
enum class FileOp { Open, Read, Write, Flush, Fsync, Close, Chmod, Rename, FsyncDir, Unlink };
const char* FileOpName(FileOp op);
using FaultHook = std::function<int(FileOp op, const std::string& path)>;
void SetFaultHook(FaultHook hook);

// ---- Files ----------------------------------------------------------------------------------

// What tells one version of a file from another: the same file, unchanged since.
struct FileIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modifiedNs = 0, changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // Opens an existing file for reading; never creates one.
    bool Open(const std::string& name);
    // Reads up to size bytes: the count, 0 at the end, -1 on an error.
    long Read(char* buffer, size_t size);
    // The open file's identity; false when it cannot be told.
    bool Identity(FileIdentity& id) const;
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
    std::string m_path;
};

// Buffered output whose every step is checked.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Creates the file, or empties it if it exists.
    bool Create(const std::string& name);
    bool Write(const char* data, size_t size);
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
    bool Flush();
    bool Sync();
    bool Close();
    int Error() const { return m_err; }

  private:
    bool WriteOut(const char* data, size_t size);
    int m_fd = -1;
    int m_err = 0;
    std::string m_path;
    std::string m_buffer;
};

// Makes a file writable for its owner (the read-only flag of a file copied from a CD).
// Fails when the file is missing or cannot be made writable.
bool MakeWritable(const std::string& name);

struct ReplaceResult {
    bool ok = false;
    FileOp failedOp = FileOp::Open;
    int error = 0;
};

// Replaces a file with the content that writeCopy produces, so that the file is always either
// exactly as before or completely replaced: the copy goes into a temporary file beside the file
// (tempName, or altTempName when the file itself bears tempName), is flushed to disk, takes the
// file's permission bits and then the file's place in one atomic rename. A symbolic link stays
// a link: the file it points to is replaced. On failure the temporary file is removed.
// Rewrites of the same file by several processes take turns: writeCopy runs while this process
// holds the file's lock, so it should open the file it copies from itself.
ReplaceResult ReplaceFileSafely(const std::string& name, const std::string& tempName,
                                const std::string& altTempName,
                                const std::function<bool(OutputFile&)>& writeCopy);

// ---- Registry --------------------------------------------------------------------------------

// Values of one key of HKEY_LOCAL_MACHINE, read as single-byte text. On Wine the key is read
// from the prefix's system.reg; the 32-bit view (Wow6432Node) is looked at second.
class RegistryKey {
  public:
    // False when the key does not exist or the registry cannot be read.
    bool OpenMachineKey(const std::string& subKey);
    // An empty name is the key's unnamed value. False when there is no such value.
    bool QueryValue(const std::string& name, std::string& value) const;
    void Close();

  private:
    bool m_open = false;
    std::vector<std::pair<std::string, std::string>> m_values;
};

// ---- Processes and clock ----------------------------------------------------------------------

enum class StartFailure { None, NotFound, NoWine, Failed };

struct SpawnResult {
    bool started = false;
    StartFailure failure = StartFailure::None;
    std::string message;  // the system's reason, for a failure of its own
};

// Starts the game's executable, looked up by name in the current folder (without regard to case
// on systems where case matters), with the arguments after its own name; the game receives
// exeName as its own name. A Windows executable on a system that is not Windows is started
// through Wine in the prefix the registry was read from. With wait, returns when the game has
// ended; without, returns at once and leaves nothing behind. The game's output goes nowhere.
SpawnResult StartGame(const std::string& exeName, const std::vector<std::string>& args, bool wait);

// Milliseconds on a clock that never goes back.
int64_t MonotonicMilliseconds();

}  // namespace sx::os
