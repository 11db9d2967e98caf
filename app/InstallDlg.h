// SPDX-License-Identifier: GPL-3.0-or-later
// The confirmation of an install of missions: what goes where, what it replaces, and what
// becomes of every entry; nothing is written before OK.
#pragma once

#include <string>
#include <vector>

#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/ListBox.h"

class CInstallDlg : public sx::ui::CDialog {
  public:
    CInstallDlg() : CDialog(sx::IDD_INSTALL) {}

    std::vector<std::string> m_lines;    // the lines said of the items and their folders
    std::vector<std::string> m_entries;  // one line an entry
    sx::ui::CListBox m_listEntries;

  protected:
    void DoDataExchange(sx::ui::CDataExchange* pDX) override;
    bool OnInitDialog() override;
};
