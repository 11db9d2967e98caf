// Callsign reading: a callsign never holds a line end and comes only from a file with a player line.
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
    return 0;
}
