// SPDX-License-Identifier: GPL-3.0-or-later
// One dialog's window under Win32: made by the dialog manager from the template, its
// notifications forwarded to the dialog.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ui/Dialog.h"

namespace sx::win32 {

class Win32DialogWindow : public ui::IDialogWindow {
  public:
    Win32DialogWindow(ui::CDialog& dlg, HWND owner);
    ~Win32DialogWindow() override;
    Win32DialogWindow(const Win32DialogWindow&) = delete;
    Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

    HWND Handle() const { return m_hwnd; }
    ui::CDialog& Dialog() const { return m_dlg; }

    // ui::IDialogWindow
    void Show(bool focusFirstTabStop, bool modal) override;
    void Hide() override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override { return ::IsWindowEnabled(m_hwnd) != 0; }
    void SetText(int id, const std::string& text) override;
    ui::ControlText GetText(int id) const override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void ListReset(int id) override;
    void ListInsert(int id, int index, const std::string& text) override;
    int ListCount(int id) const override;
    std::string ListText(int id, int index) const override;
    void ListSetCurSel(int id, int index) override;
    int ListCurSel(int id) const override;
    void SetIcon(ui::IconHandle icon, bool big) override;
    bool AppendMenuEntry(unsigned id, const std::string& text) override;
    bool AppendSubmenu(const std::string& text, const std::vector<ui::MenuEntry>& entries) override;
    unsigned ShowControlMenu(int id, const std::vector<ui::MenuEntry>& entries) override;
    void PlatformSysCommand(unsigned id, std::intptr_t param) override;
    bool IsMinimized() const override;
    std::unique_ptr<ui::IPaintContext> BeginPaint() override;
    void DefaultPaint() override { m_defaultPaint = true; }

    // The icon a resource names, at the size the system shows icons (big) or small ones.
    static HICON Icon(ui::IconHandle icon, bool big);

  private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    ui::ControlKind KindOf(int id) const;
    void FitLabels();

    ui::CDialog& m_dlg;
    HWND m_hwnd = nullptr;
    HWND m_owner = nullptr;
    bool m_disabledOwner = false;
    bool m_settingText = false;
    std::vector<std::string> m_dropped;  // the files of a drop, until it has ended
    bool m_defaultPaint = false;
    std::map<int, ui::ControlKind> m_kinds;
    POINT m_menuAt{-1, -1};  // where the user asked for a control's menu (-1: the keyboard)
};

}  // namespace sx::win32
