// SPDX-License-Identifier: GPL-3.0-or-later
// The callsign rewrite. Invariants, not just survival:
// - read back, every player record holds the new callsign in both callsign lines;
// - every line outside the replaced lines is unchanged apart from its line end;
// - rewriting twice gives the same bytes as rewriting once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "missionfile/MissionText.h"

namespace {

struct Split {
    std::vector<std::string> lines;  // whole lines up to a control-Z
    std::string tail;                // the control-Z and what follows
};

Split Lines(const std::string& bytes) {
    Split s;
    sx::MemorySource src(bytes);
    sx::LineReader reader(src, sx::LineReader::kWholeLines);
    std::string line;
    while (reader.ReadLine(line)) s.lines.push_back(line);
    sx::StringSink sink;
    reader.CopyRemainder(sink);
    s.tail = sink.text;
    return s;
}

std::string Rewrite(const std::string& bytes, const std::string& callsign) {
    sx::MemorySource src(bytes);
    sx::StringSink out;
    if (!sx::CopyWithCallsign(src, out, callsign)) std::abort();
    return out.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte says how long the callsign is; the callsign comes next, then the file.
    const size_t n = std::min<size_t>(data[0] % 24, size - 1);
    const std::string callsign(reinterpret_cast<const char*>(data + 1), n);
    if (!sx::IsStorableCallsign(callsign)) return 0;
    const std::string in(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);

    const std::string once = Rewrite(in, callsign);
    if (Rewrite(once, callsign) != once) std::abort();

    const Split before = Lines(in);
    const Split after = Lines(once);
    if (after.tail != before.tail) std::abort();
    const std::string callsignLine = std::string(sx::kCallsignKey) + callsign;
    const std::string mpLine = std::string(sx::kMpCallsignKey) + callsign;
    size_t a = 0;
    for (size_t b = 0; b < before.lines.size();) {
        // Lines outside records come through unchanged.
        if (a >= after.lines.size() || after.lines[a] != before.lines[b]) std::abort();
        if (!sx::StartsWith(before.lines[b], sx::kPlayerLine)) {
            ++a, ++b;
            continue;
        }
        // A record: line 2 kept, then the two callsign lines.
        const std::string line2 = b + 1 < before.lines.size() ? before.lines[b + 1] : "";
        if (a + 4 > after.lines.size()) std::abort();
        if (after.lines[a + 1] != line2 || after.lines[a + 2] != callsignLine ||
            after.lines[a + 3] != mpLine)
            std::abort();
        a += 4;
        b += 4;
    }
    if (a != after.lines.size()) std::abort();
    return 0;
}
