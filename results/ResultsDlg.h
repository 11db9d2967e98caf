// The results table of the last run: four loss counts and each side's loss lines.
#pragma once

#include <string>

#include "platform/Dialog.h"
#include "resources/ResourceIds.h"

class CResultsDlg : public sx::CDialog {
  public:
    explicit CResultsDlg(sx::CDialog* parent = nullptr);
    ~CResultsDlg() override;

    std::string m_strGameDir;
    sx::CListBox m_listAxisLosses;
    sx::CListBox m_listAlliedLosses;
    int m_nBomberLosses = 0;
    int m_nFighterLosses = 0;
    int m_nBombersByPlayer = 0;
    int m_nFightersByPlayer = 0;

  protected:
    void DoDataExchange(sx::CDataExchange* pDX) override;
    bool OnInitDialog() override;
};
