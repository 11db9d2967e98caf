// Reader of Wine's text registry files (system.reg, user.reg).
//
// The file is Wine's own save format: a "WINE REGISTRY Version 2" header, then sections
// "[Key\\Path] <time>" whose key paths are relative to the file's root, each followed by value
// lines ("@=" for the unnamed value, "\"Name\"=" for the others) and Wine's "#" meta lines.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sx::os::wine {

struct WineRegValue {
    std::string name;  // single-byte text; empty for the unnamed value
    std::string text;  // the value as a program reading it as text gets it (see below)
};

// Looks a key up. keyPath uses single backslashes ("Software\\Microsoft\\...") and compares
// without regard to case. Sections marked #link hold no values and are passed over.
// Returns false when the text is not a Wine registry file or holds no such key.
//
// Values become single-byte text in Windows-1252: string values (plain, str(n), hex(1), hex(2),
// hex(7)) up to their first NUL, characters the code page lacks as '?'; other types as their
// raw bytes up to the first NUL. Lines that cannot be parsed are skipped, as Wine does.
bool ReadWineRegistryKey(std::string_view fileText, std::string_view keyPath,
                         std::vector<WineRegValue>& values);

}  // namespace sx::os::wine
