// SPDX-License-Identifier: GPL-3.0-or-later
// The windows of one callsign for every mission of the list: the dialog that asks for it, and
// the progress window of the batch.
#pragma once

#include <string>

#include "resources/ResourceIds.h"
#include "ui/Dialog.h"

class CCallsignBatchDlg : public sx::ui::CDialog {
  public:
    CCallsignBatchDlg() : CDialog(sx::IDD_BATCH_CALLSIGN) {}

    int m_nMissions = 0;  // of the list
    int m_nOther = 0;     // of them holding another callsign now
    std::string m_strCallsign;
    bool m_bExact = true;  // the typed callsign is one the program's text can hold

  protected:
    void DoDataExchange(sx::ui::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
};

// Shows which mission the batch is at; Cancel, Escape and the close box ask it to stop before
// the next mission. It answers while every other window waits.
class CProgressDlg : public sx::ui::CDialog {
  public:
    CProgressDlg();
    void ShowMission(int number, int total, const std::string& name);
    bool Cancelled() const { return m_bCancelled; }

  protected:
    void OnCancel() override { m_bCancelled = true; }

  private:
    bool m_bCancelled = false;
};
