// SPDX-License-Identifier: GPL-3.0-or-later
// Callsign reading: a callsign never holds a line end and comes only from a file with a player
// line; the single pass that reads briefing and callsign together agrees with the separate reads.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "missionfile/MissionText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    sx::MemorySource src(bytes);
    sx::LineReader reader(src);
    const auto callsign = sx::ReadCallsign(reader);
    if (callsign && callsign->find('\n') != std::string::npos) std::abort();
    if (callsign && bytes.find(std::string(sx::kPlayerLine)) == std::string::npos) std::abort();
    sx::MemorySource a(bytes), b(bytes);
    sx::LineReader ra(a), rb(b);
    const sx::MissionScan both = sx::ScanMission(ra);
    if (both.callsign != callsign || both.briefing != sx::ExtractBriefing(rb)) std::abort();
    return 0;
}
