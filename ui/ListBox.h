// SPDX-License-Identifier: GPL-3.0-or-later
// A list box of a dialog, addressed through the dialog's window.
#pragma once

#include <string>

namespace sx::ui {

class CDialog;
class IDialogWindow;

class CListBox {
  public:
    void Attach(CDialog* dlg, int id);
    bool IsAttached() const { return m_pDlg != nullptr; }
    int GetDlgCtrlID() const { return m_id; }

    void ResetContent();
    // Adds an entry; a sorted list inserts it in order without regard to case. Returns its index.
    int AddString(const std::string& text);
    // Index of the first entry after startAfter (-1: from the top) that begins with text,
    // without regard to case; ListError when none does.
    int FindString(int startAfter, const std::string& text) const;
    // Selects index; -1 (or an index past the end) leaves nothing selected.
    int SetCurSel(int index);
    int GetCurSel() const;
    int GetCount() const;
    std::string GetText(int index) const;

  private:
    IDialogWindow* Wnd() const;
    CDialog* m_pDlg = nullptr;
    int m_id = 0;
};

}  // namespace sx::ui
