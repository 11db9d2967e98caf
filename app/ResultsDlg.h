// SPDX-License-Identifier: GPL-3.0-or-later
// The results table of the last run: four loss counts and each side's loss lines.
#pragma once

#include <string>

#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/ListBox.h"

class CResultsDlg : public sx::ui::CDialog {
  public:
    explicit CResultsDlg(sx::ui::CDialog* parent = nullptr);
    ~CResultsDlg() override;

    std::string m_strGameDir;
    sx::ui::CListBox m_listAxisLosses;
    sx::ui::CListBox m_listAlliedLosses;
    int m_nBomberLosses = 0;
    int m_nFighterLosses = 0;
    int m_nBombersByPlayer = 0;
    int m_nFightersByPlayer = 0;

  protected:
    void DoDataExchange(sx::ui::CDataExchange* pDX) override;
    bool OnInitDialog() override;
};
