// SPDX-License-Identifier: GPL-3.0-or-later
#include "missionfile/MissionFile.h"

#include <utility>

#include "missionfile/FileStreams.h"
#include "missionfile/MissionText.h"

namespace sx {

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

bool WriteCallsignCopy(os::InputFile& in, const std::string& callsign, os::OutputFile& out) {
    FileSource source(in);
    FileSink sink(out);
    return CopyWithCallsign(source, sink, callsign);
}

RewriteOutcome RewriteMissionCallsign(const std::string& name, const std::string& callsign,
                                      const os::LockWait& waitForLock) {
    const os::ReplaceResult result = os::ReplaceFileSafely(
        name,
        [&callsign](os::InputFile& in, os::OutputFile& out) {
            return WriteCallsignCopy(in, callsign, out);
        },
        waitForLock);
    if (result.ok) return RewriteOutcome::Rewritten;
    if (result.refused) return RewriteOutcome::CannotModify;
    return result.inUse ? RewriteOutcome::InUse : RewriteOutcome::Failed;
}

}  // namespace sx
