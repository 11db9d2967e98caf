#include "missionfile/MissionFile.h"

#include <utility>

#include "missionfile/FileStreams.h"
#include "missionfile/MissionText.h"

namespace sx {

namespace {
constexpr const char* kTempMission = "SXTempMission.mis";
// Used when the selected mission is itself named like the temporary file; it does not end in
// ".mis", so a copy left behind by a crash is not listed as a mission.
constexpr const char* kAltTempMission = "SXTempMission.mis.new";
}  // namespace

std::string ReadMissionBriefing(const std::string& name, CallsignHandOver& handOver) {
    handOver = {};
    os::InputFile file;
    if (!file.Open(name)) return std::string(kMissionNotFound);
    FileSource source(file);
    LineReader reader(source);
    MissionScan scan = ScanMission(reader);
    handOver.valid = file.Version(handOver.version) && !reader.Failed();
    handOver.callsign = std::move(scan.callsign);
    return std::move(scan.briefing);
}

std::optional<std::string> ReadMissionCallsign(const std::string& name,
                                               const CallsignHandOver& handOver) {
    os::InputFile file;
    if (!file.Open(name)) return std::nullopt;
    os::FileVersion version;
    if (handOver.valid && file.Version(version) && version == handOver.version)
        return handOver.callsign;
    FileSource source(file);
    LineReader reader(source);
    return ReadCallsign(reader);
}

RewriteOutcome RewriteMissionCallsign(const std::string& name, const std::string& callsign) {
    if (!os::MakeWritable(name)) return RewriteOutcome::CannotModify;
    const os::ReplaceResult result =
        os::ReplaceFileSafely(name, kTempMission, kAltTempMission, [&](os::OutputFile& out) {
            // Opened here, under the file's lock, so the copy starts from the latest version.
            os::InputFile in;
            if (!in.Open(name)) return false;
            FileSource source(in);
            FileSink sink(out);
            return CopyWithCallsign(source, sink, callsign);
        });
    return result.ok ? RewriteOutcome::Rewritten : RewriteOutcome::Failed;
}

}  // namespace sx
