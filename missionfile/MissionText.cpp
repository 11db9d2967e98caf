#include "missionfile/MissionText.h"

namespace sx {

namespace {

// The briefing, fed one line at a time.
class BriefingScan {
  public:
    // Returns false once the briefing needs no more lines.
    bool Feed(std::string_view line, bool exhausted) {
        if (!m_inBody) {
            if (StartsWith(line, kSummaryBegin)) m_inBody = true;
            return !m_inBody ? !exhausted : true;
        }
        if (exhausted) return false;
        if (!StartsWith(line, kSummaryEnd)) {
            if (m_noTextYet && !line.empty()) {
                m_briefing.clear();
                m_noTextYet = false;
            }
            m_briefing += kBriefingSeparator;
            m_briefing += line;
        }
        return line != kSummaryEnd;
    }
    std::string Take() { return std::move(m_briefing); }

  private:
    std::string m_briefing{kNoBriefing};
    bool m_inBody = false;
    bool m_noTextYet = true;
};

// The callsign, fed one line at a time: a player line, then the record's line 2 (skipped), then
// its callsign line.
class CallsignScan {
  public:
    bool Feed(std::string_view line, bool exhausted) {
        if (m_afterPlayer == 0) {
            if (!StartsWith(line, kPlayerLine)) return !exhausted;
            m_stopAfterRecord = line == kPlayerLine;
            m_afterPlayer = 1;
            return true;
        }
        if (m_afterPlayer == 1) {
            m_afterPlayer = 2;
            return true;
        }
        m_callsign = line.size() > kCallsignKey.size()
                         ? std::string(line.substr(kCallsignKey.size()))
                         : std::string();
        m_afterPlayer = 0;
        return !exhausted && !m_stopAfterRecord;
    }
    // At the end of the file a record's missing lines read as empty lines.
    void Finish() {
        while (m_afterPlayer != 0) Feed({}, true);
    }
    std::optional<std::string> Take() { return std::move(m_callsign); }

  private:
    std::optional<std::string> m_callsign;
    int m_afterPlayer = 0;
    bool m_stopAfterRecord = false;
};

}  // namespace

std::string ExtractBriefing(LineReader& reader) {
    BriefingScan scan;
    std::string_view line;
    for (;;) {
        const bool read = reader.ReadLine(line);
        if (!scan.Feed(line, !read)) break;
    }
    return scan.Take();
}

std::optional<std::string> ReadCallsign(LineReader& reader) {
    CallsignScan scan;
    std::string_view line;
    for (;;) {
        const bool read = reader.ReadLine(line);
        if (!scan.Feed(line, !read)) break;
        if (!read) break;
    }
    scan.Finish();
    return scan.Take();
}

MissionScan ScanMission(LineReader& reader) {
    BriefingScan briefing;
    CallsignScan callsign;
    bool wantBriefing = true, wantCallsign = true;
    std::string_view line;
    while (wantBriefing || wantCallsign) {
        const bool read = reader.ReadLine(line);
        if (wantBriefing) wantBriefing = briefing.Feed(line, !read);
        if (wantCallsign) wantCallsign = callsign.Feed(line, !read) && read;
        if (!read) break;
    }
    callsign.Finish();
    return {briefing.Take(), callsign.Take()};
}

bool CopyWithCallsign(ByteSource& in, ByteSink& out, std::string_view callsign) {
    LineReader reader(in, LineReader::kWholeLines);
    // Lines that go out as they came (those that end in CR LF already, the most) are gathered
    // into one span of the reader's buffer and written at once.
    const char* spanBegin = nullptr;
    size_t spanSize = 0;
    auto flush = [&]() {
        const bool ok = spanSize == 0 || out.Write(spanBegin, spanSize);
        spanSize = 0;
        return ok;
    };
    reader.SetBeforeRefill(flush);
    auto write = [&](std::string_view text) {
        return flush() && out.Write(text.data(), text.size());
    };
    auto writeLine = [&](std::string_view text) { return flush() && WriteLine(out, text); };

    std::string_view line;
    const std::string callsignLine = std::string(kCallsignKey) + std::string(callsign);
    const std::string mpCallsignLine = std::string(kMpCallsignKey) + std::string(callsign);
    while (reader.ReadLine(line)) {
        const bool player = StartsWith(line, kPlayerLine);
        if (!player) {
            const std::string_view raw = reader.LastRaw();
            if (raw.size() >= 2 && raw.substr(raw.size() - 2) == "\r\n") {
                if (spanSize != 0 && spanBegin + spanSize != raw.data() && !flush()) return false;
                if (spanSize == 0) spanBegin = raw.data();
                spanSize += raw.size();
                continue;
            }
            // A line cut off by a control-Z keeps its bytes as they were: the control-Z follows.
            if (!reader.LastLineTerminated() && reader.StoppedAtControlZ()) {
                if (!write(line)) return false;
                break;
            }
            if (!writeLine(line)) return false;
            continue;
        }
        if (!writeLine(line)) return false;
        std::string_view skipped;
        reader.ReadLine(skipped);  // record line 2, kept
        if (!writeLine(skipped)) return false;
        reader.ReadLine(skipped);  // the old callsign line
        reader.ReadLine(skipped);  // the old MP callsign line
        if (!writeLine(callsignLine) || !writeLine(mpCallsignLine)) return false;
    }
    if (!flush() || reader.Failed()) return false;
    reader.SetBeforeRefill(nullptr);
    return reader.CopyRemainder(out) && !reader.Failed();
}

bool IsStorableCallsign(std::string_view callsign) {
    return callsign.find_first_of("\r\n") == std::string_view::npos &&
           callsign.find('\x1a') == std::string_view::npos;
}

}  // namespace sx
