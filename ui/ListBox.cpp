// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ListBox.h"

#include "base/Text.h"
#include "ui/Dialog.h"

namespace sx::ui {

void CListBox::Attach(CDialog* dlg, int id) {
    m_pDlg = dlg;
    m_id = id;
}

IDialogWindow* CListBox::Wnd() const {
    return m_pDlg ? m_pDlg->GetWindow() : nullptr;
}

void CListBox::ResetContent() {
    if (auto* w = Wnd()) w->ListReset(m_id);
}

int CListBox::AddString(const std::string& text) {
    auto* w = Wnd();
    if (w == nullptr) return ListError;
    const int count = w->ListCount(m_id);
    int index = count;
    const auto* tmpl = m_pDlg->Template();
    const auto* ctl = tmpl ? FindControl(*tmpl, m_id) : nullptr;
    if (ctl != nullptr && (ctl->style & style::ListSort) != 0 && count > 0 &&
        CompareNoCase(w->ListText(m_id, count - 1), text) > 0) {
        // Binary search for the first entry greater than text: equal entries keep their order.
        // (Text that sorts after the last entry, as names added in order do, goes to the end.)
        int lo = 0, hi = count;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (CompareNoCase(w->ListText(m_id, mid), text) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        index = lo;
    }
    w->ListInsert(m_id, index, text);
    return index;
}

int CListBox::FindString(int startAfter, const std::string& text) const {
    auto* w = Wnd();
    if (w == nullptr) return ListError;
    const int count = w->ListCount(m_id);
    if (count == 0) return ListError;
    // The search wraps around the end of the list, as the platform's does.
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int k = 0; k < count; ++k) {
        const int i = (first + k) % count;
        if (StartsWithNoCase(w->ListText(m_id, i), text)) return i;
    }
    return ListError;
}

int CListBox::SetCurSel(int index) {
    auto* w = Wnd();
    if (w == nullptr) return ListError;
    if (index < 0 || index >= w->ListCount(m_id)) {
        w->ListSetCurSel(m_id, -1);
        return ListError;
    }
    w->ListSetCurSel(m_id, index);
    return index;
}

int CListBox::GetCurSel() const {
    auto* w = Wnd();
    return w ? w->ListCurSel(m_id) : ListError;
}

int CListBox::GetCount() const {
    auto* w = Wnd();
    return w ? w->ListCount(m_id) : 0;
}

std::string CListBox::GetText(int index) const {
    auto* w = Wnd();
    if (w == nullptr || index < 0 || index >= w->ListCount(m_id)) return {};
    return w->ListText(m_id, index);
}

}  // namespace sx::ui
