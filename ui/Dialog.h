// SPDX-License-Identifier: GPL-3.0-or-later
// A small dialog framework: modal and modeless dialogs built from the templates in resources/,
// their event tables, data exchange between members and controls (DataExchange.h), list boxes
// (ListBox.h), message boxes and the file-open dialog (FileDialog.h).
//
// The framework holds no window-system code. The modal protocol lives here, once: DoModal has
// the host create the window, calls OnInitDialog, shows the window unless the dialog already
// ended, and runs the host's event loop until it ends. The default commands live here too: a
// click of the OK or Cancel button that the dialog does not handle itself ends it, and the
// window menu's Close cancels it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ui/Constants.h"
#include "ui/Host.h"
#include "ui/Resource.h"

namespace sx::ui {

class CDialog;
class CDataExchange;

// Events a dialog can take in its event table.
// Changed: the user changed an edit's text (never reported for the program's own SetText).
// DeleteKey: the Delete key on a list that wants its keys (style::ListWantKeys).
enum class Event { Clicked, SelChange, SysCommand, Paint, QueryDragIcon, ContextMenu, Changed, DeleteKey };

using CommandHandler = void (CDialog::*)();
using SysCommandHandler = void (CDialog::*)(unsigned id, std::intptr_t param);
using DragIconHandler = IconHandle (CDialog::*)();

struct EventEntry {
    Event event;
    int id;  // control id; 0 for window events
    std::variant<CommandHandler, SysCommandHandler, DragIconHandler> handler;
};

template <class D>
EventEntry OnClicked(int id, void (D::*h)()) {
    return {Event::Clicked, id, static_cast<CommandHandler>(h)};
}
template <class D>
EventEntry OnSelChange(int id, void (D::*h)()) {
    return {Event::SelChange, id, static_cast<CommandHandler>(h)};
}
// The user asked for a control's own menu (a right click, the menu key, Shift+F10).
template <class D>
EventEntry OnContextMenu(int id, void (D::*h)()) {
    return {Event::ContextMenu, id, static_cast<CommandHandler>(h)};
}
template <class D>
EventEntry OnEditChange(int id, void (D::*h)()) {
    return {Event::Changed, id, static_cast<CommandHandler>(h)};
}
template <class D>
EventEntry OnDeleteKey(int id, void (D::*h)()) {
    return {Event::DeleteKey, id, static_cast<CommandHandler>(h)};
}
template <class D>
EventEntry OnSysCommandEvent(void (D::*h)(unsigned, std::intptr_t)) {
    return {Event::SysCommand, 0, static_cast<SysCommandHandler>(h)};
}
template <class D>
EventEntry OnPaintEvent(void (D::*h)()) {
    return {Event::Paint, 0, static_cast<CommandHandler>(h)};
}
template <class D>
EventEntry OnQueryDragIconEvent(IconHandle (D::*h)()) {
    return {Event::QueryDragIcon, 0, static_cast<DragIconHandler>(h)};
}

class CDialog {
  public:
    explicit CDialog(int templateId, CDialog* parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns its result (IdCancel when it ended without one).
    int DoModal();
    // Opens the dialog without waiting for its end: the window is created, initialised and
    // shown, and lives until DestroyWindow or the dialog's destruction.
    bool Create();
    void DestroyWindow();

    // Pushes the members to the controls (false) or pulls them back (true). Returns false when
    // a pulled value could not be taken; the members that could be taken are set all the same.
    bool UpdateData(bool saveAndValidate = true);
    void EndDialog(int result);
    // A modal message box owned by this dialog; no caption shows the application's name.
    int ShowMessageBox(const std::string& text, const char* caption = nullptr,
                       unsigned type = MbOk);

    virtual bool OnInitDialog();
    // Work the dialog does while it waits for the user, a little at a time: called whenever no
    // event is waiting during its modal run; true while there is more to do.
    virtual bool OnIdle() { return false; }
    // Files dropped on the window, where AcceptsDroppedFiles.
    virtual void OnDropFiles(const std::vector<std::string>&) {}
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    // The platform's handling of a window-menu command: Close cancels the dialog, the rest is
    // the window system's.
    void OnSysCommand(unsigned id, std::intptr_t param);
    // The platform's painting of the window.
    void OnPaint();
    bool IsIconic() const;
    virtual std::span<const EventEntry> GetEventTable() const { return {}; }

    // Called by hosts for the user's actions. While the program waits or works (ui/Wait.h) they
    // are refused, painting excepted, unless the dialog stays answering then (a progress window).
    void DispatchCommand(int id, Event event);
    // True when the event table handles the event for the control.
    bool Handles(int id, Event event) const;
    void DispatchSysCommand(unsigned id, std::intptr_t param);
    // Files dropped on the window (host paths). Refused while the program waits or works, and
    // while another window of the program is modal over this one.
    void DispatchDropFiles(const std::vector<std::string>& paths);
    // Whether the window takes dropped files at all.
    virtual bool AcceptsDroppedFiles() const { return false; }
    // Enter while the focus is on no push button: the default button's click, else OK.
    void DispatchDefaultCommand();
    // False when the dialog leaves painting to the window system.
    bool DispatchPaint();
    IconHandle DispatchQueryDragIcon();

    IDialogWindow* GetWindow() const { return m_window.get(); }
    // A dialog that answers while the program works: a progress window's Cancel.
    void StayAnswering() { m_bStaysAnswering = true; }
    bool StaysAnswering() const { return m_bStaysAnswering; }
    // True from the moment its window shows until the dialog ends.
    bool IsShown() const { return m_bShown; }
    int TemplateId() const { return m_nTemplateId; }
    const DialogTemplate* Template() const;
    CDialog* Parent() const { return m_pParent; }
    bool HasEnded() const { return m_bEnded; }
    int Result() const { return m_nResult; }

  private:
    bool OpenWindow(IDialogWindow* owner);
    void ShowWindow(bool focusFirstTabStop, bool modal);
    void CloseWindow();
    int m_nTemplateId;
    CDialog* m_pParent;
    std::unique_ptr<IDialogWindow> m_window;
    bool m_bEnded = false;
    bool m_bShown = false;
    bool m_bStaysAnswering = false;
    int m_nResult = 0;
};

// The application object: one per process. InitInstance runs the program; returning false ends
// the process without a message loop of its own.
class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual bool InitInstance() { return false; }
    // Reads the command line, where a platform gives the program one, before the window system
    // starts: the process's exit code when the program is to end at once, nothing to go on.
    virtual std::optional<int> CommandLine(int, char**) { return std::nullopt; }
    CDialog* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// Painting a dialog's window, from its paint handler; ends when the object goes.
class CPaintDC {
  public:
    explicit CPaintDC(CDialog* dlg);
    explicit operator bool() const { return m_context != nullptr; }
    IPaintContext* operator->() const { return m_context.get(); }

  private:
    std::unique_ptr<IPaintContext> m_context;
};

// The windows of the dialogs that are open, oldest first; without those of dialogs that stay
// answering while the program is busy, when asked.
std::vector<IDialogWindow*> OpenDialogWindows(bool withAnswering = true);

// What every modal window of the program (a dialog, a message box, the file dialog) has around
// it, made before the window opens: its owner is the program's topmost visible window (none
// before the main window shows), and while it is open every other window of the program is
// disabled (the owner by the host, which gives it back its input before the modal window goes,
// the rest here). When it ends, the windows this disabled take input again.
class ModalScope {
  public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    IDialogWindow* Owner() const { return m_owner; }

  private:
    IDialogWindow* m_owner = nullptr;
    std::vector<IDialogWindow*> m_disabled;
};

}  // namespace sx::ui
