// A small dialog framework: modal dialogs built from the templates in resources/, data exchange
// between members and controls, list boxes, message boxes and the file-open dialog.
//
// The framework itself holds no window system code. A host (Qt, Win32, or the scripted fake used
// by the tests) creates the windows and reports user actions back through CDialog's dispatch
// functions.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/Resource.h"

namespace sx {

// Dialog results and message-box answers (the Win32 values).
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
// Message-box buttons.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
// Window-menu commands handled by the platform itself.
constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_CLOSE = 0xF060;
// File-dialog options.
constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;
// List box answers.
constexpr int LB_ERR = -1;

class CDialog;

// Text pulled from a control. exact is false when the control holds characters that the
// single-byte code page lacks (they come back as '?').
struct ControlText {
    std::string bytes;
    bool exact = true;
};

// The window of a running dialog, as a host created it. Control ids are those of the template.
class IDialogWindow {
  public:
    virtual ~IDialogWindow() = default;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual ControlText GetText(int id) const = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool GetCheck(int id) const = 0;
    // List boxes: entries are single-byte text; the framework keeps them sorted where the
    // template asks for it, so a host only inserts at the index it is given.
    virtual void ListReset(int id) = 0;
    virtual void ListInsert(int id, int index, const std::string& text) = 0;
    virtual int ListCount(int id) const = 0;
    virtual std::string ListText(int id, int index) const = 0;
    // Selects an entry, or clears the selection for -1. Never reported as a user's change.
    virtual void ListSetCurSel(int id, int index) = 0;
    virtual int ListCurSel(int id) const = 0;
    virtual void SetIcon(HICON icon, bool big) = 0;
    // Adds an entry to the window menu (or the host's stand-in for it); an empty text adds a
    // separator. Returns false when the window has no such menu.
    virtual bool AppendMenuEntry(unsigned id, const std::string& text) = 0;
    // The platform's own handling of a window-menu command (minimize, close, ...).
    virtual void DefaultSysCommand(unsigned id, long param) = 0;
    // Ends the modal run with the result.
    virtual void End(int result) = 0;
};

// What the file-open dialog is asked for.
struct FileDialogRequest {
    bool open = true;
    std::string defaultExt;
    std::string fileName;
    unsigned flags = 0;
    std::string filter;      // "Name (*.ext)|*.ext||"
    std::string initialDir;  // as the program holds it (a Windows-style path on Wine)
};

// The window system. One host serves the process; tests install the fake one.
class IHost {
  public:
    virtual ~IHost() = default;
    // Creates the dialog's window, calls OnInitDialog and returns when the dialog has ended.
    virtual int RunModal(CDialog& dlg) = 0;
    // caption null: the application's name.
    virtual int MessageBox(CDialog* owner, const std::string& text, const char* caption,
                           unsigned type) = 0;
    // Shows the file-open dialog. Returns the chosen path as the host's file system spells it,
    // or nothing when the user cancels.
    virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;
    // The application's name: the executable's file name without its extension.
    virtual std::string AppName() const = 0;
};

void SetHost(IHost* host);
IHost& Host();

// One exchange between a dialog's members and its controls.
class CDataExchange {
  public:
    CDataExchange(CDialog* dlg, bool saveAndValidate)
        : m_pDlg(dlg), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlg;
    bool m_bSaveAndValidate;  // true: pull from the controls into the members
    // Set when a pulled value could not be taken (text the code page lacks, not a number).
    bool m_bFailed = false;
    int m_idFailed = 0;
    void Fail(int id) {
        if (!m_bFailed) m_idFailed = id;
        m_bFailed = true;
    }
};

class CListBox {
  public:
    void Attach(CDialog* dlg, int id);
    bool IsAttached() const { return m_pDlg != nullptr; }
    int GetDlgCtrlID() const { return m_id; }

    void ResetContent();
    // Adds an entry; a sorted list inserts it in order without regard to case. Returns its index.
    int AddString(const std::string& text);
    // Index of the first entry after startAfter (-1: from the top) that begins with text,
    // without regard to case; LB_ERR when none does.
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

void DDX_Control(CDataExchange* pDX, int id, CListBox& control);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);
// The radio group that starts at firstId: the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);

// Events a dialog can take in its event table.
enum class Event { Clicked, SelChange, SysCommand, Paint, QueryDragIcon };

using CommandHandler = void (CDialog::*)();
using SysCommandHandler = void (CDialog::*)(unsigned id, long param);
using DragIconHandler = HICON (CDialog::*)();

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
template <class D>
EventEntry OnSysCommandEvent(void (D::*h)(unsigned, long)) {
    return {Event::SysCommand, 0, static_cast<SysCommandHandler>(h)};
}
template <class D>
EventEntry OnPaintEvent(void (D::*h)()) {
    return {Event::Paint, 0, static_cast<CommandHandler>(h)};
}
template <class D>
EventEntry OnQueryDragIconEvent(HICON (D::*h)()) {
    return {Event::QueryDragIcon, 0, static_cast<DragIconHandler>(h)};
}

class CDialog {
  public:
    explicit CDialog(int templateId, CDialog* parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    int DoModal();
    // Pushes the members to the controls (false) or pulls them back (true). Returns false when
    // a pulled value could not be taken; the members that could be taken are set all the same.
    bool UpdateData(bool saveAndValidate = true);
    void EndDialog(int result);
    int MessageBox(const std::string& text, const char* caption = nullptr, unsigned type = MB_OK);

    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    virtual std::span<const EventEntry> GetEventTable() const { return {}; }

    // Called by hosts for user actions. Return false when no handler took the event.
    bool DispatchCommand(int id, Event event);
    void DispatchSysCommand(unsigned id, long param);
    bool DispatchPaint();
    HICON DispatchQueryDragIcon();

    // Called by hosts around a modal run.
    void AttachWindow(IDialogWindow* wnd) { m_pWnd = wnd; }
    IDialogWindow* GetWindow() const { return m_pWnd; }
    int TemplateId() const { return m_nTemplateId; }
    const DialogTemplate* Template() const;
    CDialog* Parent() const { return m_pParent; }
    bool HasEnded() const { return m_bEnded; }
    int Result() const { return m_nResult; }
    void ResetEnded() {
        m_bEnded = false;
        m_nResult = 0;
    }

  private:
    int m_nTemplateId;
    CDialog* m_pParent;
    IDialogWindow* m_pWnd = nullptr;
    bool m_bEnded = false;
    int m_nResult = 0;
};

class CFileDialog {
  public:
    CFileDialog(bool openFileDialog, const char* defExt, const char* fileName, unsigned flags,
                const char* filter, CDialog* parent = nullptr);
    int DoModal();
    // The chosen file: a Windows-style path where the file lies on one of the Wine prefix's
    // drives, otherwise the host's own path.
    std::string GetPathName() const { return m_strPathName; }
    std::string GetFileName() const;

    struct Options {
        std::string lpstrInitialDir;
        unsigned Flags = 0;
    } m_ofn;

  private:
    FileDialogRequest m_request;
    std::string m_strPathName;
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
    CDialog* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
HICON LoadIcon(int id);

}  // namespace sx
