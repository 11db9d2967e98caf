#include "ui/FileDialog.h"

#include "os/Paths.h"
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
    m_request.initialDir = os::ToHostPath(m_ofn.lpstrInitialDir);
    std::optional<std::string> chosen = Host().OpenFileDialog(m_request);
    if (!chosen) return IdCancel;
    m_strPathName = os::FromHostPath(*chosen);
    return IdOk;
}

std::string CFileDialog::GetFileName() const {
    const size_t sep = m_strPathName.find_last_of("\\/");
    return sep == std::string::npos ? m_strPathName : m_strPathName.substr(sep + 1);
}

}  // namespace sx::ui
