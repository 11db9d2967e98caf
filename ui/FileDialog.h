// SPDX-License-Identifier: GPL-3.0-or-later
// The file-open dialog. It takes and gives paths as the program holds them; the conversion to
// and from the host's paths happens here, in both directions, and nowhere else.
#pragma once

#include <string>
#include <vector>

#include "ui/Host.h"

namespace sx::ui {

class CDialog;

class CFileDialog {
  public:
    CFileDialog(bool openFileDialog, const char* defExt, const char* fileName, unsigned flags,
                const char* filter, CDialog* parent = nullptr);
    // IdOk when the user chose a file, IdCancel otherwise.
    int DoModal();
    // The chosen file as the program holds paths (see os::FromHostPath).
    std::string GetPathName() const { return m_strPathName; }
    std::string GetFileName() const;
    // With OfnAllowMultiSelect: every chosen file, as the host names it (what is read, not what
    // the game is told); TooMany when the user chose more than the dialog could take.
    const std::vector<std::string>& GetHostPathNames() const { return m_hostPaths; }
    bool TooMany() const { return m_tooMany; }

    struct Options {
        std::string lpstrInitialDir;  // as the program holds paths
        unsigned Flags = 0;
        std::string lpstrTitle;       // the caption; empty: the host's own
    } m_ofn;

  private:
    FileDialogRequest m_request;
    std::string m_strPathName;
    std::vector<std::string> m_hostPaths;
    bool m_tooMany = false;
};

}  // namespace sx::ui
