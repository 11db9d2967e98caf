// SPDX-License-Identifier: GPL-3.0-or-later
// Briefing and callsign as read from a mission file's lines.
#include <gtest/gtest.h>

#include <string>

#include "missionfile/MissionText.h"
#include "tests/support/FileBytes.h"

namespace {

const std::string S = "\r\r\n";  // the briefing's separator
const std::string kNo = "No Briefing available for this mission";

// The single pass the window makes must give what the two separate reads give.
void ExpectOnePassAgrees(const std::string& bytes) {
    sx::MemorySource a(bytes), b(bytes), c(bytes);
    sx::LineReader ra(a), rb(b), rc(c);
    const sx::MissionScan both = sx::ScanMission(ra);
    EXPECT_EQ(both.briefing, sx::ExtractBriefing(rb));
    EXPECT_EQ(both.callsign, sx::ReadCallsign(rc));
}

std::string Briefing(const std::string& bytes) {
    sx::MemorySource src(bytes);
    sx::LineReader reader(src);
    return sx::ExtractBriefing(reader);
}

std::string Callsign(const std::string& bytes) {
    sx::MemorySource src(bytes);
    sx::LineReader reader(src);
    return sx::ReadCallsign(reader).value_or("<none>");
}

TEST(Briefing, SummaryBlock) {
    const std::string a1023(1023, 'a');
    const struct {
        const char* what;
        std::string file, expected;
    } cases[] = {
        {"no block", "x\ny\n", kNo},
        {"empty file", "", kNo},
        {"begin then end", ".MissionSummary\n.EndMissionSummary\n", kNo},
        {"one line", ".MissionSummary\nHello\n.EndMissionSummary\n", S + "Hello"},
        {"empty lines inside", ".MissionSummary\n\nA\n\nB\n.EndMissionSummary\n",
         S + "A" + S + S + "B"},
        {"two empty lines only", ".MissionSummary\n\n\n.EndMissionSummary\n", kNo + S + S},
        {"text after the begin key", ".MissionSummary of the day\nA\n.EndMissionSummary\n",
         S + "A"},
        {"indented begin does not open", " .MissionSummary\nA\n.EndMissionSummary\n", kNo},
        {"end with a blank neither ends nor shows",
         ".MissionSummary\nA\n.EndMissionSummary \nB\n.EndMissionSummary\nC\n", S + "A" + S + "B"},
        {"no end line: to the end of the file", ".MissionSummary\nA\nB", S + "A" + S + "B"},
        {"second begin is a body line", ".MissionSummary\nA\n.MissionSummary\n.EndMissionSummary\n",
         S + "A" + S + ".MissionSummary"},
        {"only the first block", ".MissionSummary\nA\n.EndMissionSummary\n.MissionSummary\nB\n",
         S + "A"},
        {"begin as the last line", "x\n.MissionSummary", kNo},
        {"blank line counts as text", ".MissionSummary\n \n.EndMissionSummary\n", S + " "},
        {"CR LF file", ".MissionSummary\r\nA\r\n\r\nB\r\n.EndMissionSummary\r\n",
         S + "A" + S + S + "B"},
        {"long line in pieces", ".MissionSummary\n" + a1023 + "bc\n.EndMissionSummary\n",
         S + a1023 + S + "bc"},
        {"control-Z ends the body",
         ".MissionSummary\nA\x1a"
         "B\n.EndMissionSummary\n",
         S + "A"},
        {"case matters", ".missionsummary\nA\n.EndMissionSummary\n", kNo},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Briefing(c.file), c.expected) << c.what;
        ExpectOnePassAgrees(c.file);
    }
}

TEST(Callsign, PlayerRecord) {
    const struct {
        const char* what;
        std::string file, expected;
    } cases[] = {
        {"no record", "x\n\t.Callsign  Bob\n", "<none>"},
        {"plain record", "\t.IsPlayer\n\t.Skill 2\n\t.Callsign  Red Leader\n\t.MPCallsign  X\n",
         "Red Leader"},
        {"trailing blanks kept", "\t.IsPlayer\nx\n\t.Callsign  Bob  \n", "Bob  "},
        {"key alone gives empty", "\t.IsPlayer\nx\n\t.Callsign  \n", ""},
        {"short line gives empty", "\t.IsPlayer\nx\nshort\n", ""},
        {"whatever the key, 12 characters cut", "\t.IsPlayer\nx\nXXXXXXXXXXXXName\n", "Name"},
        {"first exact record wins",
         "\t.IsPlayer\nx\n\t.Callsign  One\n\t.IsPlayer\nx\n\t.Callsign  Two\n", "One"},
        {"longer player lines: the last record wins",
         "\t.IsPlayer 1\nx\n\t.Callsign  One\n\t.IsPlayer 2\nx\n\t.Callsign  Two\n", "Two"},
        {"an exact record stops the search",
         "\t.IsPlayer 1\nx\n\t.Callsign  One\n\t.IsPlayer\nx\n\t.Callsign  Two\n\t.IsPlayer "
         "3\nx\n\t.Callsign  Three\n",
         "Two"},
        {"record at the end of the file", "a\n\t.IsPlayer\nx\n", ""},
        {"player line last", "a\n\t.IsPlayer", ""},
        {"indented differently is no record", "  .IsPlayer\nx\n\t.Callsign  Bob\n", "<none>"},
        {"CR LF", "\t.IsPlayer\r\nx\r\n\t.Callsign  Bob\r\n", "Bob"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Callsign(c.file), c.expected) << c.what;
        ExpectOnePassAgrees(c.file);
        ExpectOnePassAgrees(".MissionSummary\nA\n" + c.file + "\n.EndMissionSummary\n" + c.file);
    }
}

using sxtest::Rewritten;

TEST(CallsignCopy, Records) {
    const std::string longLine = "\t.Note  " + std::string(3000, 'n');
    const struct {
        const char* what;
        std::string in, callsign, out;
    } cases[] = {
        {"one record", "A\n\t.IsPlayer\n\t.Skill 2\n\t.Callsign  Old\n\t.MPCallsign  Other\nZ\n",
         "New",
         "A\r\n\t.IsPlayer\r\n\t.Skill 2\r\n\t.Callsign  New\r\n\t.MPCallsign  New\r\nZ\r\n"},
        {"empty callsign", "\t.IsPlayer\nx\n\t.Callsign  Old\n\t.MPCallsign  Old\n", "",
         "\t.IsPlayer\r\nx\r\n\t.Callsign  \r\n\t.MPCallsign  \r\n"},
        {"two records", "\t.IsPlayer\na\nc\nm\n-\n\t.IsPlayer\nb\nc\nm\n", "Two",
         "\t.IsPlayer\r\na\r\n\t.Callsign  Two\r\n\t.MPCallsign  Two\r\n-\r\n\t.IsPlayer\r\nb\r\n"
         "\t.Callsign  Two\r\n\t.MPCallsign  Two\r\n"},
        {"trailing blanks kept", "\t.IsPlayer\nx\nc\nm\n", "Bob  ",
         "\t.IsPlayer\r\nx\r\n\t.Callsign  Bob  \r\n\t.MPCallsign  Bob  \r\n"},
        {"no record: only line ends change", "a\r\nb\nc", "X", "a\r\nb\r\nc\r\n"},
        {"record cut short by the end", "a\n\t.IsPlayer\n", "X",
         "a\r\n\t.IsPlayer\r\n\r\n\t.Callsign  X\r\n\t.MPCallsign  X\r\n"},
        {"long lines stay whole", longLine + "\n\t.IsPlayer\n" + longLine + "\nc\nm\n", "X",
         longLine + "\r\n\t.IsPlayer\r\n" + longLine +
             "\r\n\t.Callsign  X\r\n\t.MPCallsign  X\r\n"},
        {"bytes after a control-Z kept",
         "\t.IsPlayer\nx\nc\nm\nlast\x1a\n\t.IsPlayer\nnot\nread\n\xff", "X",
         "\t.IsPlayer\r\nx\r\n\t.Callsign  X\r\n\t.MPCallsign  "
         "X\r\nlast\x1a\n\t.IsPlayer\nnot\nread\n\xff"},
        {"control-Z at a line start",
         "a\n\x1a"
         "b",
         "X",
         "a\r\n\x1a"
         "b"},
        {"lone CR and NUL kept", std::string("a\rb\0c\n", 6), "X", std::string("a\rb\0c\r\n", 7)},
        {"player line cut by a control-Z",
         "\t.IsPlayer\x1a"
         "rest",
         "X",
         "\t.IsPlayer\r\n\r\n\t.Callsign  X\r\n\t.MPCallsign  X\r\n\x1a"
         "rest"},
    };
    for (const auto& c : cases) {
        const std::string once = Rewritten(c.in, c.callsign);
        EXPECT_EQ(once, c.out) << c.what;
        EXPECT_EQ(Rewritten(once, c.callsign), once) << c.what << ": twice is once";
    }
}

// Where two long texts part, rather than both of them.
::testing::AssertionResult SameText(const std::string& got, const std::string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return ::testing::AssertionFailure()
           << "sizes " << got.size() << " and " << want.size() << ", first difference at " << i
           << ": \"" << got.substr(i, 16) << "\" for \"" << want.substr(i, 16) << "\"";
}

// Lines far longer than the piece the copy reads at a time, and line ends that fall on the
// pieces' edges, come out whole, each with one CR LF.
TEST(CallsignCopy, LinesOfAnyLength) {
    constexpr size_t kPiece = 1 << 16;
    for (size_t length : {kPiece - 2, kPiece - 1, kPiece, kPiece + 1, 3 * kPiece, 5 * kPiece + 7}) {
        const std::string line(length, 'q');
        for (const char* end : {"\n", "\r\n", "", "\r"}) {
            SCOPED_TRACE(std::to_string(length) + " + " + std::to_string(std::string(end).size()));
            // A line ending in a lone CR keeps it: only a CR before a line feed is a line end.
            const std::string tail = std::string(end) == "\r" ? "\r\r\n" : "\r\n";
            EXPECT_TRUE(SameText(Rewritten(line + end, "X"), line + tail));
            // In a player record: kept as line 2, dropped as a callsign line.
            const std::string ended = line + end + (std::string(end).ends_with('\n') ? "" : "\n");
            EXPECT_TRUE(SameText(
                Rewritten("\t.IsPlayer\n" + line + "\n" + ended + "m\nz", "X"),
                "\t.IsPlayer\r\n" + line + "\r\n\t.Callsign  X\r\n\t.MPCallsign  X\r\nz\r\n"));
        }
        // A long line cut off by a control-Z keeps its bytes as they were.
        EXPECT_TRUE(SameText(Rewritten(line + "\x1a"
                                         "after",
                                  "X"),
                             line + "\x1a"
                                    "after"));
    }
}

}  // namespace
