// SPDX-License-Identifier: GPL-3.0-or-later
// The Wine registry-file reader over any text, behind a valid header or not. Read a few bytes at
// a time, the scan finds what it finds in the whole text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "os/wine/WineRegistry.h"

namespace {
const char* const kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe";

std::vector<sx::os::wine::WineRegKey> Scan(const std::string& text, size_t piece) {
    size_t pos = 0;
    const sx::os::wine::ReadFn read = [&](char* buffer, size_t size) -> std::ptrdiff_t {
        const size_t n = std::min({size, piece, text.size() - pos});
        std::memcpy(buffer, text.data() + pos, n);
        pos += n;
        return static_cast<std::ptrdiff_t>(n);
    };
    std::vector<sx::os::wine::WineRegKey> keys;
    const std::string_view wanted[] = {kKey};
    const std::string_view values[] = {"", "Path", "x"};
    if (!sx::os::wine::ScanWineRegistry(read, wanted, values, keys)) keys.clear();
    return keys;
}

bool Same(const std::vector<sx::os::wine::WineRegKey>& a,
          const std::vector<sx::os::wine::WineRegKey>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].found != b[i].found || a[i].values.size() != b[i].values.size()) return false;
        for (size_t k = 0; k < a[i].values.size(); ++k)
            if (a[i].values[k].name != b[i].values[k].name ||
                a[i].values[k].text != b[i].values[k].text)
                return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    for (const std::string& text : {body, "WINE REGISTRY Version 2\n" + body}) {
        const auto whole = Scan(text, text.size() + 1);
        for (size_t piece : {size_t{1}, size_t{7}, size_t{64}})
            if (!Same(Scan(text, piece), whole)) std::abort();
    }
    return 0;
}
