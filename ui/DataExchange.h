// SPDX-License-Identifier: GPL-3.0-or-later
// Data exchange between a dialog's members and its controls, in both directions.
#pragma once

#include <string>

namespace sx::ui {

class CDialog;
class CListBox;

// One exchange between a dialog's members and its controls.
class CDataExchange {
  public:
    CDataExchange(CDialog* dlg, bool saveAndValidate)
        : m_pDlg(dlg), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlg;
    bool m_bSaveAndValidate;  // true: pull from the controls into the members
    // Set when a pulled value could not be taken (text the program cannot hold, not a number).
    bool m_bFailed = false;
    int m_idFailed = 0;
    void Fail(int id) {
        if (!m_bFailed) m_idFailed = id;
        m_bFailed = true;
    }
};

void DDX_Control(CDataExchange* pDX, int id, CListBox& control);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);
// The radio group that starts at firstId: the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);

}  // namespace sx::ui
