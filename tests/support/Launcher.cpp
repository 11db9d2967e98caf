#include "tests/support/Launcher.h"

#include <algorithm>

namespace sxtest {

std::string Mission(const std::string& briefing, const std::string& callsign) {
    return ".MissionSummary\r\n" + briefing +
           "\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  1\r\n"
           "\t.Callsign  " +
           callsign + "\r\n\t.MPCallsign  " + callsign + "\r\n";
}

Launcher::Launcher(const std::string& registryValues) : prefix(registryValues) {}

sx::FakeWindow& Launcher::Open() {
    dlg = std::make_unique<CLauncherDlg>();
    m_wnd = &host.Open(*dlg);
    return *m_wnd;
}

void Launcher::Change(const std::string& callsign, bool exact) {
    m_wnd->Type(sx::IDC_CALLSIGN, callsign, exact);
    m_wnd->Click(sx::IDC_CHANGE_CALLSIGN);
}

void Launcher::PickCustom(const std::string& hostPath) {
    host.AnswerFileDialog(hostPath);
    m_wnd->Click(sx::IDC_CUSTOM_MISSIONS);
}

OneMission::OneMission(const std::string& bytes, const std::string& name) : path(Missions(name)) {
    WriteFile(path, bytes);
    Open();
}

Items Launcher::Leftovers(const std::string& folder) const {
    Items names = ListDir(folder);
    std::erase_if(names, [](const std::string& n) { return n.rfind("SXTemp", 0) != 0; });
    return names;
}

::testing::AssertionResult OneMessage(sx::FakeHost& host, const std::string& text) {
    const auto messages = std::exchange(host.messages, {});
    if (messages.size() != 1) {
        auto failure = ::testing::AssertionFailure() << messages.size() << " message boxes";
        for (const auto& m : messages) failure << "\n  \"" << m.text << "\"";
        return failure;
    }
    if (messages[0].text != text)
        return ::testing::AssertionFailure() << "message \"" << messages[0].text << "\"";
    if (messages[0].caption != "Sortilex" || messages[0].type != sx::ui::MbOk)
        return ::testing::AssertionFailure() << "caption \"" << messages[0].caption << "\"";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult NoMessage(const sx::FakeHost& host) {
    if (host.messages.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message \"" << host.messages.front().text << "\"";
}

void CaptureResultsTable(sx::FakeHost& host, ShownTable& table) {
    host.ScriptDialog(sx::IDD_RESULTS_DIALOG, [&table](sx::FakeWindow& w) {
        table.shown = true;
        for (int id : {sx::IDC_FIGHTER_LOSSES, sx::IDC_BOMBER_LOSSES, sx::IDC_FIGHTERS_BY_PLAYER,
                       sx::IDC_BOMBERS_BY_PLAYER})
            table.counts[id] = w.Text(id);
        table.allied = w.Items(sx::IDC_ALLIED_LOSSES);
        table.axis = w.Items(sx::IDC_AXIS_LOSSES);
    });
}

}  // namespace sxtest
