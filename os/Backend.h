// SPDX-License-Identifier: GPL-3.0-or-later
// What every OS backend shares: the fault seam's hook and the names of temporary files. For the
// backends only; the layers above use Files.h.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "os/Files.h"

namespace sx::os::backend {

// The fault seam's answer for a step: an error makes the step fail without touching the file
// system.
std::error_code AskFaultHook(FileOp op, const std::string& path);

// The owner hook's answer for a path; nothing when the file system is to answer.
std::optional<PathOwner> AskOwnerHook(const std::string& path);

// A fresh name for a temporary file: "SXTempMission-<32 lowercase hex digits>.tmp", or what a
// test's source gives. The extension is not ".mis" and does not begin with "mis", so that neither
// the name nor a short 8.3 name of it is ever listed among the missions.
inline constexpr const char* kTempStart = "SXTempMission-";
inline constexpr const char* kTempEnd = ".tmp";
inline constexpr size_t kTempDigits = 32;
std::string TempName();
// 32 random lowercase hex digits.
std::string RandomHex();
// An install's staging folder ("SXStaging-<32 hex digits>"), and on Windows the name a replaced
// file waits under for the recycle bin ("SXReplaced-<32 hex digits>.tmp"): names of the
// program's own, which no mission list shows.
inline constexpr const char* kStagingStart = "SXStaging-";
inline constexpr const char* kReplacedStart = "SXReplaced-";
bool IsStagingName(std::string_view name);
bool IsReplacedName(std::string_view name);
// True for a name TempName makes itself: a leftover of this program's, never a name a test, a
// user or an older version of the program chose.
bool IsLeftoverName(std::string_view name);

// Buffered output to a temporary file a backend created, every step asked of the fault seam
// first. A backend supplies the handle's own writing, syncing and closing.
class BufferedOutputFile : public OutputFile {
  public:
    bool Write(const char* data, size_t size) override;
    using OutputFile::Write;
    std::error_code Error() const override { return m_err; }
    // Writes out what the buffer holds.
    bool Flush();
    // Flushes, then has the system put the file's data on the disk.
    bool Sync();
    // Closes the handle (whatever fails); true when no step of this file failed.
    bool Close();

  protected:
    explicit BufferedOutputFile(std::string path) : m_path(std::move(path)) {}
    virtual bool IsOpen() const = 0;
    // The whole of data written, or the error.
    virtual std::error_code WriteHandle(const char* data, size_t size) = 0;
    virtual std::error_code SyncHandle() = 0;
    // Closes the handle in any case.
    virtual std::error_code CloseHandle() = 0;

  private:
    bool Fail(std::error_code err);
    bool Ask(FileOp op);
    std::string m_path;
    std::error_code m_err;
    std::string m_buffer;
};

}  // namespace sx::os::backend
