// SPDX-License-Identifier: GPL-3.0-or-later
// The results parser: every listed line starts with its side's name.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Text.h"
#include "results/Results.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    sx::MemorySource src(bytes);
    sx::LineReader reader(src);
    sx::ResultsTable table;
    sx::ReadResults(reader, table);
    for (const auto& l : table.alliedLosses)
        if (!sx::StartsWith(l, "Allied")) std::abort();
    for (const auto& l : table.axisLosses)
        if (!sx::StartsWith(l, "Axis")) std::abort();
    (void)sx::ParseCount(bytes);
    return 0;
}
