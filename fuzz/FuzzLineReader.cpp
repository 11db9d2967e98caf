// SPDX-License-Identifier: GPL-3.0-or-later
// The line reader: pieces never hold a line feed nor exceed their limit, and the reading ends.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "missionfile/LineReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (size_t limit : {sx::LineReader::kMaxPiece, size_t{3}, sx::LineReader::kWholeLines}) {
        sx::MemorySource src(bytes);
        sx::LineReader reader(src, limit);
        std::string line;
        size_t taken = 0, reads = 0;
        while (reader.ReadLine(line)) {
            if (line.find('\n') != std::string::npos || line.find('\x1a') != std::string::npos)
                std::abort();
            if (line.size() > limit) std::abort();
            taken += line.size();
            if (++reads > bytes.size() + 1) std::abort();  // every read consumes something
        }
        if (!line.empty() || taken > bytes.size()) std::abort();
        if (reader.ReadLine(line) || !reader.Exhausted()) std::abort();
    }
    return 0;
}
