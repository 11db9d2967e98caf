// SPDX-License-Identifier: GPL-3.0-or-later
// Briefing extraction: the text is one of the fixed texts or starts with the separator.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "missionfile/MissionText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    sx::MemorySource src(bytes);
    sx::LineReader reader(src);
    const std::string briefing = sx::ExtractBriefing(reader);
    if (!sx::StartsWith(briefing, sx::kNoBriefing) &&
        !sx::StartsWith(briefing, sx::kBriefingSeparator))
        std::abort();
    if (briefing.find(sx::kSummaryEnd) != std::string::npos &&
        bytes.find(std::string(sx::kSummaryEnd)) == std::string::npos)
        std::abort();
    return 0;
}
