// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FileDialog.h"

#include "os/Paths.h"
#include "ui/Dialog.h"
#include "ui/Constants.h"

namespace sx::ui {

CFileDialog::CFileDialog(bool openFileDialog, const char* defExt, const char* fileName,
                         unsigned flags, const char* filter, CDialog*) {
    m_request.open = openFileDialog;
    m_request.defaultExt = defExt ? defExt : "";
    m_request.fileName = fileName ? fileName : "";
    m_request.filter = filter ? filter : "";
    m_ofn.Flags = flags;
}

int CFileDialog::DoModal() {
    m_request.flags = m_ofn.Flags;
    // The folder as the disk has it, not through the prefix's drive links; the drives among the
    // places, so that the user can still go by them.
    m_request.initialDir = os::RealHostPath(os::ToHostPath(m_ofn.lpstrInitialDir));
    m_request.places.clear();
    for (const os::DrivePlace& d : os::DrivePlaces()) m_request.places.push_back({d.label, d.hostPath});
    m_request.title = m_ofn.lpstrTitle;
    const ModalScope scope;
    if (m_request.flags & OfnAllowMultiSelect) {
        const IHost::ChosenFiles chosen = Host().OpenFilesDialog(scope.Owner(), m_request);
        m_hostPaths = chosen.paths;
        m_tooMany = chosen.tooMany;
        if (m_hostPaths.empty()) return IdCancel;
        m_strPathName = os::FromHostPath(m_hostPaths.front());
        return IdOk;
    }
    std::optional<std::string> chosen = Host().OpenFileDialog(scope.Owner(), m_request);
    if (!chosen) return IdCancel;
    m_strPathName = os::FromHostPath(*chosen);
    return IdOk;
}

std::string CFileDialog::GetFileName() const {
    const size_t sep = m_strPathName.find_last_of("\\/");
    return sep == std::string::npos ? m_strPathName : m_strPathName.substr(sep + 1);
}

}  // namespace sx::ui
