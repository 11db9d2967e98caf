#include "missionfile/MissionText.h"

namespace sx {

std::string ExtractBriefing(LineReader& reader) {
    std::string briefing(kNoBriefing);
    std::string line;
    for (;;) {
        reader.ReadLine(line);
        if (StartsWith(line, kSummaryBegin)) break;
        if (reader.Exhausted()) return briefing;
    }
    bool noTextYet = true;
    for (;;) {
        if (!reader.ReadLine(line)) break;
        if (!StartsWith(line, kSummaryEnd)) {
            if (noTextYet && !line.empty()) {
                briefing.clear();
                noTextYet = false;
            }
            briefing += kBriefingSeparator;
            briefing += line;
        }
        if (line == kSummaryEnd) break;
    }
    return briefing;
}

std::optional<std::string> ReadCallsign(LineReader& reader) {
    std::optional<std::string> callsign;
    std::string line, skipped, callsignLine;
    for (;;) {
        reader.ReadLine(line);
        if (StartsWith(line, kPlayerLine)) {
            // The record's next two lines are taken whether or not the file has them.
            reader.ReadLine(skipped);
            reader.ReadLine(callsignLine);
            callsign = callsignLine.size() > kCallsignKey.size()
                           ? callsignLine.substr(kCallsignKey.size())
                           : std::string();
        }
        if (reader.Exhausted() || line == kPlayerLine) break;
    }
    return callsign;
}

bool CopyWithCallsign(ByteSource& in, ByteSink& out, std::string_view callsign) {
    LineReader reader(in, LineReader::kWholeLines);
    std::string line, dropped;
    const std::string callsignLine = std::string(kCallsignKey) + std::string(callsign);
    const std::string mpCallsignLine = std::string(kMpCallsignKey) + std::string(callsign);
    while (reader.ReadLine(line)) {
        const bool player = StartsWith(line, kPlayerLine);
        // A line cut off by a control-Z keeps its bytes as they were: the control-Z follows it.
        const bool cutByControlZ = !reader.LastLineTerminated() && reader.StoppedAtControlZ();
        if (cutByControlZ && !player) {
            if (!out.Write(line.data(), line.size())) return false;
            break;
        }
        if (!WriteLine(out, line)) return false;
        if (!player) continue;
        reader.ReadLine(line);  // record line 2, kept
        if (!WriteLine(out, line)) return false;
        reader.ReadLine(dropped);  // the old callsign line
        reader.ReadLine(dropped);  // the old MP callsign line
        if (!WriteLine(out, callsignLine) || !WriteLine(out, mpCallsignLine)) return false;
    }
    if (reader.Failed()) return false;
    return reader.CopyRemainder(out) && !reader.Failed();
}

bool IsStorableCallsign(std::string_view callsign) {
    return callsign.find_first_of("\r\n") == std::string_view::npos &&
           callsign.find('\x1a') == std::string_view::npos;
}

}  // namespace sx
