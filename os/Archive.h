// SPDX-License-Identifier: GPL-3.0-or-later
// Reading archives as players download them (zip, 7z, rar, tar and its compressed forms): the
// entries one after the other, each entry's bytes as they come. Only reading: what becomes of an
// entry is the caller's to decide, and every file is written by the program's own file layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sx::os {

enum class ArchiveEntryKind { File, Folder, Link, Other };

struct ArchiveEntry {
    // UTF-8, as the format's rules decode it: zip names without the UTF-8 flag in CP437, RAR4
    // names without the Unicode flag in the OEM code page, 7z and RAR5 names in Unicode.
    std::string name;
    ArchiveEntryKind kind = ArchiveEntryKind::File;  // Link: a symbolic or a hard link
    bool encrypted = false;
};

class ArchiveReader {
  public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens an archive file (a host path) of any format the reader knows, told by its content.
    bool Open(const std::string& hostPath);
    // The next entry; false at the end, or when the archive is damaged (Damaged() tells).
    bool Next(ArchiveEntry& entry);
    // The current entry's bytes: the count, 0 at its end, -1 when the archive is damaged.
    std::ptrdiff_t Read(char* buffer, size_t size);
    // The archive's own bytes read so far (compressed), for the bounds on what it may unpack to.
    uint64_t BytesRead() const;
    bool Damaged() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sx::os
