// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Launcher.h"

#include <algorithm>

namespace sxtest {

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
    std::erase_if(names, [](const std::string& n) {
        return n.rfind("SXTemp", 0) != 0 && n.rfind("SXStaging", 0) != 0 && n.rfind("SXReplaced", 0) != 0;
    });
    return names;
}

}  // namespace sxtest
