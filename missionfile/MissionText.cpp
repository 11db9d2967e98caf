// SPDX-License-Identifier: GPL-3.0-or-later
#include "missionfile/MissionText.h"

#include <algorithm>

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
            // A briefing of megabytes is no briefing a user reads; it would only cost memory.
            if (m_briefing.size() + kBriefingSeparator.size() + line.size() > kBriefingLimit) {
                m_briefing += kBriefingSeparator;
                m_briefing += kBriefingShortened;
                return false;
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

bool CopyWithCallsign(ByteSource& in, ByteSink& out, std::string_view callsign, int* records) {
    if (records != nullptr) *records = 0;
    // Lines are read in pieces: a line of any length costs no more memory than a piece.
    constexpr size_t kPiece = 1 << 16;
    LineReader reader(in, kPiece);
    // Lines that go out as they came (whole lines that end in CR LF already, the most) are
    // gathered into one span of the reader's buffer and written at once.
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
    const std::string callsignLine = std::string(kCallsignKey) + std::string(callsign);
    const std::string mpCallsignLine = std::string(kMpCallsignKey) + std::string(callsign);

    // What a line is, decided by its first piece: a player record's player line, its line 2
    // (kept), its two callsign lines (dropped and written anew), or any other line.
    enum class Role { Text, Player, Line2, Drop };
    Role role = Role::Text;
    int recordLeft = 0;  // lines of the current player record still to come: 3, 2, 1
    bool open = false;   // a line has begun and its end has not been read yet
    auto endLine = [&]() {
        open = false;
        if (role == Role::Player) {
            recordLeft = 3;
        } else if (recordLeft > 0 && --recordLeft == 0) {
            return writeLine(callsignLine) && writeLine(mpCallsignLine);
        }
        return true;
    };

    std::string_view piece;
    while (reader.ReadLine(piece)) {
        const bool terminated = reader.LastLineTerminated();
        // A line cut off by a control-Z ends there; the control-Z and what follows come last.
        const bool cut = !terminated && reader.StoppedAtControlZ();
        const bool first = !open;
        if (first) {
            open = true;
            role = recordLeft == 3                  ? Role::Line2
                   : recordLeft > 0                 ? Role::Drop
                   : StartsWith(piece, kPlayerLine) ? Role::Player
                                                    : Role::Text;
            if (role == Role::Player && records != nullptr) ++*records;
        }
        if (role != Role::Drop) {
            const std::string_view raw = reader.LastRaw();
            const bool crlf = raw.size() >= 2 && raw.substr(raw.size() - 2) == "\r\n";
            bool ok = true;
            if (terminated && crlf && first) {
                if (spanSize != 0 && spanBegin + spanSize != raw.data()) ok = flush();
                if (spanSize == 0) spanBegin = raw.data();
                spanSize += raw.size();
            } else if (terminated && crlf) {
                ok = write(raw);
            } else if (terminated || (cut && role != Role::Text)) {
                ok = writeLine(piece);
            } else {
                ok = write(piece);  // more of the line follows, or it ends without a line end
            }
            if (!ok) return false;
        }
        if ((terminated || cut) && !endLine()) return false;
    }
    // The last line had no line end: it gets one.
    if (open && role != Role::Drop && !reader.StoppedAtControlZ() && !writeLine({})) return false;
    if (open && !endLine()) return false;
    // A record cut short by the end of the file: its missing lines read as empty lines.
    while (recordLeft > 0) {
        if (recordLeft == 3 && !writeLine({})) return false;
        if (--recordLeft == 0 && !(writeLine(callsignLine) && writeLine(mpCallsignLine)))
            return false;
    }
    if (!flush() || reader.Failed()) return false;
    reader.SetBeforeRefill(nullptr);
    return reader.CopyRemainder(out) && !reader.Failed();
}

bool IsStorableCallsign(std::string_view callsign) {
    return std::none_of(callsign.begin(), callsign.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
    });
}

}  // namespace sx
