// Helpers shared by the POSIX backend's files.
#pragma once

#include <string>

#include "os/Files.h"

namespace sx::os::posix {

// Asks the fault seam; sets errno and returns false when the step is to fail.
bool Allowed(FileOp op, const std::string& path);

std::string Dirname(const std::string& path);
std::string Basename(const std::string& path);
// The path with every link resolved; empty when it cannot be resolved.
std::string RealPath(const std::string& path);

// Buffered output to a file descriptor, every step checked.
class FdOutputFile : public OutputFile {
  public:
    FdOutputFile() = default;
    ~FdOutputFile() override;
    FdOutputFile(const FdOutputFile&) = delete;
    FdOutputFile& operator=(const FdOutputFile&) = delete;
    // Writes to fd, a file this program created; path names it in the fault seam.
    void Adopt(int fd, const std::string& path);
    int Fd() const { return m_fd; }
    bool Write(const char* data, size_t size) override;
    using OutputFile::Write;
    std::error_code Error() const override { return m_err; }
    bool Flush();
    bool Sync();
    bool Close();

  private:
    bool WriteOut(const char* data, size_t size);
    bool Fail(int err);
    int m_fd = -1;
    std::error_code m_err;
    std::string m_path;
    std::string m_buffer;
};

}  // namespace sx::os::posix
