// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DataExchange.h"

#include <charconv>
#include <vector>

#include "ui/Dialog.h"
#include "ui/ListBox.h"

namespace sx::ui {

void DDX_Control(CDataExchange* pDX, int id, CListBox& control) {
    if (!control.IsAttached()) control.Attach(pDX->m_pDlg, id);
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    IDialogWindow* w = pDX->m_pDlg->GetWindow();
    if (w == nullptr) return;
    if (!pDX->m_bSaveAndValidate) {
        w->SetText(id, value);
        return;
    }
    ControlText text = w->GetText(id);
    value = std::move(text.bytes);
    if (!text.exact) pDX->Fail(id);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    IDialogWindow* w = pDX->m_pDlg->GetWindow();
    if (w == nullptr) return;
    if (!pDX->m_bSaveAndValidate) {
        w->SetText(id, std::to_string(value));
        return;
    }
    const std::string text = w->GetText(id).bytes;
    const size_t b = text.find_first_not_of(" \t");
    const size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos) {
        pDX->Fail(id);
        return;
    }
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    if (*first == '+') ++first;
    int parsed = 0;
    auto [ptr, ec] = std::from_chars(first, last, parsed);
    if (ec != std::errc() || ptr != last) {
        pDX->Fail(id);
        return;
    }
    value = parsed;
}

namespace {
// The buttons of the radio group that starts at firstId, in template order.
std::vector<int> RadioGroup(const DialogTemplate& tmpl, int firstId) {
    std::vector<int> ids;
    bool inGroup = false;
    for (const auto& c : tmpl.controls) {
        if (!inGroup) {
            inGroup = c.id == firstId;
            if (inGroup) ids.push_back(c.id);
            continue;
        }
        if (c.kind != ControlKind::RadioButton || (c.style & style::Group) != 0) break;
        ids.push_back(c.id);
    }
    return ids;
}
}  // namespace

void DDX_Radio(CDataExchange* pDX, int firstId, int& value) {
    IDialogWindow* w = pDX->m_pDlg->GetWindow();
    const DialogTemplate* tmpl = pDX->m_pDlg->Template();
    if (w == nullptr || tmpl == nullptr) return;
    const std::vector<int> ids = RadioGroup(*tmpl, firstId);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < ids.size(); ++i)
            if (w->GetCheck(ids[i])) value = static_cast<int>(i);
        return;
    }
    for (size_t i = 0; i < ids.size(); ++i) w->SetCheck(ids[i], static_cast<int>(i) == value);
}

}  // namespace sx::ui
