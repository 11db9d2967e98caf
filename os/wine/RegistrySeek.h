// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a key's section in a registry file by its section headers alone, in the order Wine
// writes them: every key after its parent, siblings compared as lower-case UTF-16 units, a
// shorter name before a longer one it begins. A search of a 1.7 MB system.reg reads a few
// blocks of it instead of all of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sx::os::wine {

enum class SeekOutcome {
    Found,      // sectionAt is where the key's header line starts
    Absent,     // no header names the key
    ScanWhole,  // the headers cannot be trusted to be in that order: read the file whole
};

// Searches the open registry file (fd, of size bytes) for keyPath (UTF-8, single backslashes).
// A file that does not begin as Wine's own ("WINE REGISTRY Version 2"), a header met out of
// order, a line too long to be a header, a name beyond ASCII where the order is decided, and a
// failed read: ScanWhole.
SeekOutcome SeekSection(int fd, uint64_t size, std::string_view keyPath, uint64_t& sectionAt);

// The same for several keys of one file, which share what was read of it.
class HeaderSearch {
  public:
    HeaderSearch(int fd, uint64_t size);
    ~HeaderSearch();
    HeaderSearch(const HeaderSearch&) = delete;
    HeaderSearch& operator=(const HeaderSearch&) = delete;
    // hint: where the search of another file of the same layout (a prefix of the same Wine) ended
    // for the same key, 0 for none; the search starts around it and widens, and sets it to where
    // this one ended.
    SeekOutcome Find(std::string_view keyPath, uint64_t& sectionAt, uint64_t* hint = nullptr);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Wine's order of two key paths (UTF-16, single backslashes): negative, 0 or positive. unsure
// is set where the order turns on a character beyond ASCII, whose case this does not fold.
int WineKeyOrder(std::u16string_view a, std::u16string_view b, bool& unsure);

}  // namespace sx::os::wine
