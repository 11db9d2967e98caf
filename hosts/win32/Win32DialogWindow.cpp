// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/win32/Win32DialogWindow.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "hosts/win32/DialogTemplate.h"

#include <shellapi.h>
#include "hosts/win32/Win32Text.h"

namespace sx::win32 {

namespace {

HINSTANCE Instance() {
    return ::GetModuleHandleW(nullptr);
}

class Win32Paint : public ui::IPaintContext {
  public:
    explicit Win32Paint(HWND hwnd) : m_hwnd(hwnd), m_dc(::BeginPaint(hwnd, &m_ps)) {}
    ~Win32Paint() override { ::EndPaint(m_hwnd, &m_ps); }
    void EraseIconBackground() override {
        ::SendMessageW(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(m_dc), 0);
    }
    ui::Extent IconSize() const override {
        return {::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
    }
    ui::Extent ClientSize() const override {
        RECT r{};
        ::GetClientRect(m_hwnd, &r);
        return {r.right - r.left, r.bottom - r.top};
    }
    void DrawIcon(int x, int y, ui::IconHandle icon) override {
        ::DrawIcon(m_dc, x, y, Win32DialogWindow::Icon(icon, true));
    }

  private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
    HDC m_dc;
};

}  // namespace

HICON Win32DialogWindow::Icon(ui::IconHandle icon, bool big) {
    static std::map<std::pair<int, bool>, HICON> loaded;
    if (icon == nullptr) return nullptr;
    HICON& h = loaded[{icon->id, big}];
    if (h == nullptr)
        h = static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(icon->id), IMAGE_ICON,
                                            ::GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON),
                                            ::GetSystemMetrics(big ? SM_CYICON : SM_CYSMICON),
                                            LR_DEFAULTCOLOR));
    return h;
}

Win32DialogWindow::Win32DialogWindow(ui::CDialog& dlg, HWND owner) : m_dlg(dlg), m_owner(owner) {
    const ui::DialogTemplate* t = dlg.Template();
    if (t == nullptr) return;
    for (const ui::ControlTemplate& c : t->controls)
        if (c.id != ui::NoControlId) m_kinds[c.id] = c.kind;
    const std::vector<uint16_t> words = BuildDialogTemplate(*t);
    m_hwnd =
        ::CreateDialogIndirectParamW(Instance(), reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                     owner, &Procedure, reinterpret_cast<LPARAM>(this));
    if (m_hwnd != nullptr) FitLabels();
    if (m_hwnd != nullptr && dlg.AcceptsDroppedFiles()) ::DragAcceptFiles(m_hwnd, TRUE);
}

// The font standing in for the dialog's may run wider than the one the layout was drawn with
// (Wine's does): a label grows to the right rather than wrap or cut its text.
void Win32DialogWindow::FitLabels() {
    const ui::DialogTemplate* t = m_dlg.Template();
    HWND child = ::GetWindow(m_hwnd, GW_CHILD);
    HDC dc = ::GetDC(m_hwnd);
    const HGDIOBJ oldFont =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hwnd, WM_GETFONT, 0, 0)));
    for (const ui::ControlTemplate& c : t->controls) {
        if (child == nullptr) break;
        if (c.kind == ui::ControlKind::Label) {
            const std::wstring text = Widen(c.text);
            RECT need{0, 0, 0, 0};
            ::DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
            RECT now{};
            ::GetWindowRect(child, &now);
            ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&now), 2);
            const int width = std::max<int>(now.right - now.left, need.right + 2);
            const int height = std::max<int>(now.bottom - now.top, need.bottom);
            ::SetWindowPos(child, nullptr, 0, 0, width, height,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(m_hwnd, dc);
}

Win32DialogWindow::~Win32DialogWindow() {
    if (m_disabledOwner) ::EnableWindow(m_owner, TRUE);
    if (m_hwnd != nullptr) {
        ::SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
        ::DestroyWindow(m_hwnd);
    }
}

INT_PTR CALLBACK Win32DialogWindow::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        reinterpret_cast<Win32DialogWindow*>(lp)->m_hwnd = hwnd;
        return FALSE;  // the focus is set when the dialog shows
    }
    auto* self = reinterpret_cast<Win32DialogWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->OnMessage(msg, wp, lp) : FALSE;
}

ui::ControlKind Win32DialogWindow::KindOf(int id) const {
    const auto it = m_kinds.find(id);
    return it == m_kinds.end() ? ui::ControlKind::Label : it->second;
}

INT_PTR Win32DialogWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            const int code = HIWORD(wp);
            if (lp == 0 || KindOf(id) == ui::ControlKind::PushButton ||
                KindOf(id) == ui::ControlKind::RadioButton) {
                // A click, or the dialog manager's Enter (the default button, else OK) and
                // Escape (Cancel).
                if (code == BN_CLICKED) m_dlg.DispatchCommand(id, ui::Event::Clicked);
            } else if (KindOf(id) == ui::ControlKind::ListBox && code == LBN_SELCHANGE) {
                m_dlg.DispatchCommand(id, ui::Event::SelChange);
            } else if (KindOf(id) == ui::ControlKind::Edit && code == EN_CHANGE && !m_settingText) {
                // The user's edits only: the program's own SetText sends it too.
                m_dlg.DispatchCommand(id, ui::Event::Changed);
            }
            return TRUE;
        }
        case WM_CONTEXTMENU: {
            // A control with a menu of its own: the dialog shows it; elsewhere nothing.
            const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(wp));
            if (!m_dlg.Handles(id, ui::Event::ContextMenu)) return FALSE;
            // The click's screen position (signed), or -1, -1 from the keyboard.
            m_menuAt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            m_dlg.DispatchCommand(id, ui::Event::ContextMenu);
            return TRUE;
        }
        case WM_DROPFILES: {
            const auto drop = reinterpret_cast<HDROP>(wp);
            std::vector<std::string> paths;
            const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::string path(::DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
                path.resize(::DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size())));
                paths.push_back(path);
            }
            ::DragFinish(drop);
            // The install runs once the drop has ended, so that the source is not held meanwhile.
            m_dropped = std::move(paths);
            ::PostMessageW(m_hwnd, WM_APP + 7, 0, 0);
            return TRUE;
        }
        case WM_APP + 7:
            m_dlg.DispatchDropFiles(std::exchange(m_dropped, {}));
            return TRUE;
        case WM_VKEYTOITEM: {
            // A list that wants its keys: Delete is the dialog's; every other key the list's own.
            const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            if (LOWORD(wp) != VK_DELETE || !m_dlg.Handles(id, ui::Event::DeleteKey)) {
                ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, -1);
                return TRUE;
            }
            m_dlg.DispatchCommand(id, ui::Event::DeleteKey);
            ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, -2);
            return TRUE;
        }
        case WM_SYSCOMMAND:
            m_dlg.DispatchSysCommand(static_cast<unsigned>(wp), static_cast<std::intptr_t>(lp));
            ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_CLOSE:
            m_dlg.DispatchCommand(ui::IdCancel, ui::Event::Clicked);
            return TRUE;
        case WM_PAINT:
            m_defaultPaint = false;
            if (!m_dlg.DispatchPaint()) return FALSE;
            return m_defaultPaint ? FALSE : TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(Icon(m_dlg.DispatchQueryDragIcon(), true));
        default:
            return FALSE;
    }
}

void Win32DialogWindow::Show(bool focusFirstTabStop, bool modal) {
    // A modal dialog takes the input of its owner while it shows, as the dialog manager's own
    // modal loop does.
    if (modal && m_owner != nullptr && ::IsWindowEnabled(m_owner)) {
        ::EnableWindow(m_owner, FALSE);
        m_disabledOwner = true;
    }
    ::ShowWindow(m_hwnd, SW_SHOW);
    ::SetForegroundWindow(m_hwnd);
    if (focusFirstTabStop) {
        if (HWND first = ::GetNextDlgTabItem(m_hwnd, nullptr, FALSE)) ::SetFocus(first);
    }
}

void Win32DialogWindow::Hide() {
    // The owner takes input again before this window goes, so that the system makes it the
    // active window, as the dialog manager's own modal loop does.
    const bool wasActive = ::GetActiveWindow() == m_hwnd;
    if (m_disabledOwner) ::EnableWindow(m_owner, TRUE);
    ::ShowWindow(m_hwnd, SW_HIDE);
    if (m_disabledOwner && wasActive) ::SetActiveWindow(m_owner);
    m_disabledOwner = false;
}

void Win32DialogWindow::SetEnabled(bool enabled) {
    ::EnableWindow(m_hwnd, enabled ? TRUE : FALSE);
}

void Win32DialogWindow::SetText(int id, const std::string& text) {
    m_settingText = true;
    ::SetDlgItemTextW(m_hwnd, id, Widen(text).c_str());
    m_settingText = false;
}

ui::ControlText Win32DialogWindow::GetText(int id) const {
    HWND ctl = ::GetDlgItem(m_hwnd, id);
    const int length = ::GetWindowTextLengthW(ctl);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(ctl, text.data(), length + 1)));
    return Narrow(text);
}

void Win32DialogWindow::SetCheck(int id, bool checked) {
    ::CheckDlgButton(m_hwnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32DialogWindow::GetCheck(int id) const {
    return ::IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED;
}

// List entries are file names, in the system's code page, as the file search gave them.
void Win32DialogWindow::ListReset(int id) {
    ::SendDlgItemMessageA(m_hwnd, id, LB_RESETCONTENT, 0, 0);
}

void Win32DialogWindow::ListInsert(int id, int index, const std::string& text) {
    ::SendDlgItemMessageA(m_hwnd, id, LB_INSERTSTRING, static_cast<WPARAM>(index),
                          reinterpret_cast<LPARAM>(text.c_str()));
}

int Win32DialogWindow::ListCount(int id) const {
    return static_cast<int>(::SendDlgItemMessageA(m_hwnd, id, LB_GETCOUNT, 0, 0));
}

std::string Win32DialogWindow::ListText(int id, int index) const {
    const LRESULT length = ::SendDlgItemMessageA(m_hwnd, id, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT got =
        ::SendDlgItemMessageA(m_hwnd, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

void Win32DialogWindow::ListSetCurSel(int id, int index) {
    ::SendDlgItemMessageA(m_hwnd, id, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32DialogWindow::ListCurSel(int id) const {
    const LRESULT sel = ::SendDlgItemMessageA(m_hwnd, id, LB_GETCURSEL, 0, 0);
    return sel == LB_ERR ? ui::ListError : static_cast<int>(sel);
}

void Win32DialogWindow::SetIcon(ui::IconHandle icon, bool big) {
    ::SendMessageW(m_hwnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                   reinterpret_cast<LPARAM>(Icon(icon, big)));
}

bool Win32DialogWindow::AppendMenuEntry(unsigned id, const std::string& text) {
    HMENU menu = ::GetSystemMenu(m_hwnd, FALSE);
    if (menu == nullptr) return false;
    if (text.empty()) return ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) != 0;
    return ::AppendMenuW(menu, MF_STRING, id, Widen(text).c_str()) != 0;
}

bool Win32DialogWindow::AppendSubmenu(const std::string& text,
                                      const std::vector<ui::MenuEntry>& entries) {
    HMENU menu = ::GetSystemMenu(m_hwnd, FALSE);
    HMENU sub = ::CreatePopupMenu();
    if (menu == nullptr || sub == nullptr) return false;
    for (const ui::MenuEntry& e : entries) {
        if (e.text.empty())
            ::AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuW(sub, MF_STRING | (e.checked ? MF_CHECKED : 0), e.id, Widen(e.text).c_str());
    }
    return ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), Widen(text).c_str()) != 0;
}

unsigned Win32DialogWindow::ShowControlMenu(int id, const std::vector<ui::MenuEntry>& entries) {
    HMENU menu = ::CreatePopupMenu();
    if (menu == nullptr) return 0;
    for (const ui::MenuEntry& e : entries) {
        if (e.text.empty())
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuW(menu, MF_STRING | (e.enabled ? 0 : MF_GRAYED), e.id, Widen(e.text).c_str());
    }
    // Then the window menu's entries, as the window menu has them now.
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    HMENU system = ::GetSystemMenu(m_hwnd, FALSE);
    const int count = system ? ::GetMenuItemCount(system) : 0;
    // The system sets the window menu's states as that menu opens; here they follow from the
    // window's style and state the same way.
    const LONG style = ::GetWindowLongW(m_hwnd, GWL_STYLE);
    const bool iconic = ::IsIconic(m_hwnd), zoomed = ::IsZoomed(m_hwnd);
    const auto grayed = [&](UINT entry, UINT state) {
        switch (entry & 0xFFF0) {
            case SC_RESTORE:
                return !iconic && !zoomed;
            case SC_MOVE:
                return zoomed;
            case SC_SIZE:
                return !(style & WS_THICKFRAME) || iconic || zoomed;
            case SC_MINIMIZE:
                return !(style & WS_MINIMIZEBOX) || iconic;
            case SC_MAXIMIZE:
                return !(style & WS_MAXIMIZEBOX) || zoomed;
            default:
                return (state & MFS_DISABLED) != 0;
        }
    };
    std::vector<unsigned> windowIds;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = 255;
        if (!::GetMenuItemInfoW(system, static_cast<UINT>(i), TRUE, &item) || item.hSubMenu) continue;
        if (item.fType & MFT_SEPARATOR) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        ::AppendMenuW(menu, MF_STRING | (grayed(item.wID, item.fState) ? MF_GRAYED : 0), item.wID, text);
        windowIds.push_back(item.wID);
    }
    // Where the user clicked, else beside the list's current entry, as the keyboard asks.
    POINT at = m_menuAt;
    if (at.x == -1 && at.y == -1) {
        HWND control = ::GetDlgItem(m_hwnd, id);
        RECT r{};
        const LRESULT sel = ::SendMessageW(control, LB_GETCURSEL, 0, 0);
        if (sel == LB_ERR || ::SendMessageW(control, LB_GETITEMRECT, static_cast<WPARAM>(sel),
                                            reinterpret_cast<LPARAM>(&r)) == LB_ERR)
            ::GetClientRect(control, &r);
        at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ::ClientToScreen(control, &at);
    }
    m_menuAt = {-1, -1};
    const unsigned chosen = static_cast<unsigned>(::TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_hwnd, nullptr));
    ::DestroyMenu(menu);
    if (std::find(windowIds.begin(), windowIds.end(), chosen) != windowIds.end()) {
        ::SendMessageW(m_hwnd, WM_SYSCOMMAND, chosen, 0);
        return 0;
    }
    return chosen;
}

void Win32DialogWindow::PlatformSysCommand(unsigned id, std::intptr_t param) {
    ::DefWindowProcW(m_hwnd, WM_SYSCOMMAND, id, param);
}

bool Win32DialogWindow::IsMinimized() const {
    return ::IsIconic(m_hwnd) != 0;
}

std::unique_ptr<ui::IPaintContext> Win32DialogWindow::BeginPaint() {
    return std::make_unique<Win32Paint>(m_hwnd);
}

}  // namespace sx::win32
