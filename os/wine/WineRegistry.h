// SPDX-License-Identifier: GPL-3.0-or-later
// Reader of Wine's text registry files (system.reg, user.reg).
//
// The file is Wine's own save format: a "WINE REGISTRY Version 2" header, then sections
// "[Key\\Path] <time>" whose key paths are relative to the file's root, each followed by value
// lines ("@=" for the unnamed value, "\"Name\"=" for the others) and Wine's "#" meta lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sx::os::wine {

struct WineRegValue {
    std::string name;  // as the caller asked for it; empty for the unnamed value
    std::string text;  // the value as a program reading it as text gets it (see below)
};

struct WineRegKey {
    bool found = false;
    std::vector<WineRegValue> values;
};

// Gives the next bytes of the file: the count, 0 at the end, negative on an error.
using ReadFn = std::function<std::ptrdiff_t(char* buffer, size_t size)>;

// Looks keys up in a registry file read a buffer at a time. keyPaths use single backslashes
// ("Software\\Microsoft\\...") and compare without regard to case. Only the section headers
// are looked at until one names a wanted key, and only that section's values are decoded, so
// time goes with the file's size at the speed of a byte search and memory stays flat. Sections
// marked #link hold no values and are passed over; when a key's section comes twice, values of
// the later one win. Returns false when the file is not a Wine registry file or a read failed.
// Of a key's values only those named in valueNames (without regard to case; "" is the unnamed
// value) are decoded and kept, in that order, the later of two lines of one name winning: a
// section of any number of values costs one pass over it and no memory beyond those values.
//
// Values become text as the host spells names (UTF-8): string values (plain, str(n), hex(1),
// hex(2), hex(7)) up to their first NUL; other types as their raw bytes up to the first NUL.
// Lines that cannot be parsed are skipped, as Wine does; so are lines over a megabyte.
bool ScanWineRegistry(const ReadFn& read, std::span<const std::string_view> keyPaths,
                      std::span<const std::string_view> valueNames, std::vector<WineRegKey>& keys);

// The same over a registry file, by its path (a regular file only). Where Wine's order of the
// headers holds, each key is found by a search of them, and only its section is read; hints,
// where given (one a key), carry where the search of one file ended to the search of the next.
bool ScanWineRegistryFile(const std::string& path, std::span<const std::string_view> keyPaths,
                          std::span<const std::string_view> valueNames,
                          std::vector<WineRegKey>& keys, std::vector<uint64_t>* hints = nullptr);

// One key of registry text held in memory; false when there is no such key.
bool ReadWineRegistryKey(std::string_view fileText, std::string_view keyPath,
                         std::span<const std::string_view> valueNames,
                         std::vector<WineRegValue>& values);

}  // namespace sx::os::wine
