// SPDX-License-Identifier: GPL-3.0-or-later
// Line reading and writing over the platform's files.
#pragma once

#include "missionfile/LineReader.h"
#include "os/Files.h"

namespace sx {

class FileSource : public ByteSource {
  public:
    explicit FileSource(os::InputFile& f) : m_file(f) {}
    long Read(char* buffer, size_t size) override {
        return static_cast<long>(m_file.Read(buffer, size));
    }

  private:
    os::InputFile& m_file;
};

class FileSink : public ByteSink {
  public:
    explicit FileSink(os::OutputFile& f) : m_file(f) {}
    bool Write(const char* data, size_t size) override { return m_file.Write(data, size); }

  private:
    os::OutputFile& m_file;
};

}  // namespace sx
