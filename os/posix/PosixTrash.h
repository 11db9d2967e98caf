// SPDX-License-Identifier: GPL-3.0-or-later
// The trash of a file's file system, for the POSIX backend's files.
#pragma once

#include <sys/types.h>

#include <string>

namespace sx::os::posix {

// A place in the trash for one file: its info file written, its name in the trash's files
// folder free. What the file becomes is the caller's: linked or renamed in under trashName.
struct TrashSlot {
    int filesFd = -1, infoFd = -1;
    std::string trashName;

    TrashSlot() = default;
    TrashSlot(const TrashSlot&) = delete;
    TrashSlot& operator=(const TrashSlot&) = delete;
    ~TrashSlot() { Release(true); }
    // For the file name of folder (its real path), which lies on device dev; false when no trash
    // of that file system can take it.
    bool Reserve(const std::string& folder, const std::string& name, dev_t dev);
    // Lets the slot go; unused, its info file goes too.
    void Release(bool used);
};

}  // namespace sx::os::posix
