// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the POSIX backend's files.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <system_error>

#include "os/Files.h"

namespace sx::os {

struct InputFile::Impl {
    int fd = -1;
    std::string path;
    uint64_t size = 0;    // what may be read of it in all
    uint64_t offset = 0;  // where the next read starts
    // What may still be read: the size the file had when it was opened. A file of the proc and
    // sys kinds tells a size of 0 and is read up to a bound.
    uint64_t left = 0;
    std::error_code openError;
};

}  // namespace sx::os

namespace sx::os::posix {

std::error_code Errno(int e);
std::error_code LastError();  // errno's
bool SameFile(const struct stat& a, const struct stat& b);
// What a name in a folder is now, not following a link.
bool StatAt(int dirFd, const std::string& name, struct stat& st);
// Opens a regular file of a folder for reading, never following a link and never opening
// anything else (a device would have to be opened to be told from a file otherwise). Refuses
// with ELOOP for a link, EISDIR for a folder and EINVAL for the other kinds.
int OpenRegularAt(int dirFd, const std::string& name, struct stat& st, std::error_code& why);

// Asks the fault seam; sets errno and returns false when the step is to fail.
bool Allowed(FileOp op, const std::string& path);

std::string Dirname(const std::string& path);
std::string Basename(const std::string& path);
// The path with every link resolved; empty when it cannot be resolved.
std::string RealPath(const std::string& path);
// A relative path joined to the current folder.
std::string Absolute(const std::string& path);
// Makes file read the regular file fd has open (taking fd over, closing it on failure, unless
// not owned: then the caller keeps it and takes it back with ReleaseInput); path is the name
// the fault seam is asked with; st, when given, what fstat says of fd already.
bool AdoptInput(InputFile& file, int fd, const std::string& path, const struct stat* st = nullptr,
                bool owned = true);
// Gives a descriptor lent to file back, unclosed.
void ReleaseInput(InputFile& file);
// Makes file read its file from the start again.
bool RewindInput(InputFile& file);

}  // namespace sx::os::posix
