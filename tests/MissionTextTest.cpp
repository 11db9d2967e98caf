// Briefing and callsign as read from a mission file's lines.
#include <gtest/gtest.h>

#include <string>

#include "missionfile/MissionText.h"

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

}  // namespace
