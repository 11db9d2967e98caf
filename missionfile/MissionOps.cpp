// The main window's operations on the selected mission file: briefing, callsign, rewrite.
#include <utility>

#include "app/LauncherDlg.h"
#include "missionfile/FileStreams.h"
#include "missionfile/MissionText.h"
#include "platform/Os.h"

using namespace sx;

namespace {

constexpr const char* kTempMission = "SXTempMission.mis";
// Used when the selected mission is itself named like the temporary file; it does not end in
// ".mis", so a copy left behind by a crash is not listed as a mission.
constexpr const char* kAltTempMission = "SXTempMission.mis.new";

constexpr const char* kCannotModify =
    "Mission file cannot be modified.\nPlease make sure it is available on\nyour hard drive and "
    "not on a CD";
constexpr const char* kRewriteFailed =
    "The new callsign could not be written.\nThe mission file has been left unchanged.";
constexpr const char* kBadCallsign =
    "A callsign must be one line of text made of characters\nthat mission files can hold.\nThe "
    "mission file has been left unchanged.";

}  // namespace

namespace {
// Every briefing load is followed by a callsign load of the same file. The briefing load reads
// both in one pass and leaves the callsign here; the callsign load takes it only when it opens
// the very same file, unchanged since, and otherwise reads the file itself.
struct PendingCallsign {
    bool valid = false;
    os::FileIdentity file;
    std::optional<std::string> callsign;
};
PendingCallsign g_pending;
}  // namespace

void CLauncherDlg::LoadBriefing() {
    const std::string name = SelectedMission();
    EnterCategoryFolder();
    g_pending.valid = false;
    os::InputFile file;
    if (!file.Open(name)) {
        m_strBriefing = kMissionNotFound;
    } else {
        FileSource source(file);
        LineReader reader(source);
        MissionScan scan = ScanMission(reader);
        m_strBriefing = std::move(scan.briefing);
        g_pending.valid = file.Identity(g_pending.file) && !reader.Failed();
        g_pending.callsign = std::move(scan.callsign);
        file.Close();
    }
    UpdateData(false);
}

void CLauncherDlg::LoadCallsign() {
    const std::string name = SelectedMission();
    EnterCategoryFolder();
    const PendingCallsign pending = std::exchange(g_pending, PendingCallsign{});
    os::InputFile file;
    if (!file.Open(name)) return;
    std::optional<std::string> callsign;
    os::FileIdentity id;
    if (pending.valid && file.Identity(id) && id == pending.file) {
        callsign = pending.callsign;
    } else {
        FileSource source(file);
        LineReader reader(source);
        callsign = ReadCallsign(reader);
    }
    file.Close();
    if (callsign) {
        m_strCallsign = std::move(*callsign);
        UpdateData(false);
    }
}

void CLauncherDlg::OnChangeCallsign() {
    const bool pulled = UpdateData(true);
    const std::string name = SelectedMission();
    EnterCategoryFolder();
    // A line break would split the record; a character the code page lacks would be written as
    // something else. Neither reaches the file.
    if (!pulled || !IsStorableCallsign(m_strCallsign)) {
        MessageBox(kBadCallsign);
        return;
    }
    if (!os::MakeWritable(name)) {
        MessageBox(kCannotModify);
        LoadCallsign();
        return;
    }
    const os::ReplaceResult result =
        os::ReplaceFileSafely(name, kTempMission, kAltTempMission, [&](os::OutputFile& out) {
            // Opened here, under the file's lock, so the copy starts from the latest version.
            os::InputFile in;
            if (!in.Open(name)) return false;
            FileSource source(in);
            FileSink sink(out);
            return CopyWithCallsign(source, sink, m_strCallsign);
        });
    if (!result.ok) MessageBox(kRewriteFailed);
    LoadBriefing();
    LoadCallsign();
}
