// A scripted window host for tests: no window system, every control held in memory.
//
// It records every message box and file dialog and answers them from queues; a test clicks
// buttons, changes list selections and types into edits as a user would, and reads every
// control's content by id.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialog.h"

namespace sx {

class FakeWindow;

struct MessageRecord {
    std::string text;
    std::string caption;  // as shown: the application's name when none was given
    unsigned type = MB_OK;
};

class FakeHost : public IHost {
  public:
    FakeHost();
    ~FakeHost() override;

    int RunModal(CDialog& dlg) override;
    int MessageBox(CDialog* owner, const std::string& text, const char* caption,
                   unsigned type) override;
    std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
    std::string AppName() const override { return m_appName; }

    // Opens a dialog (creates its window and runs OnInitDialog) without waiting for its end,
    // so the test can act on it. The window goes with the host.
    FakeWindow& Open(CDialog& dlg);

    // What a modal run of a dialog with this template does once it is open; without a script
    // the dialog is cancelled at once.
    void ScriptDialog(int templateId, std::function<void(FakeWindow&)> script);
    // Answers for the next message boxes (default: OK, or No for a Yes/No box).
    void AnswerMessages(std::initializer_list<int> answers);
    // Answers for the next file dialogs: a path, or nothing for cancel.
    void AnswerFileDialog(std::optional<std::string> path);

    std::vector<MessageRecord> messages;
    std::vector<FileDialogRequest> fileDialogs;
    // Template ids of every modal run, in order.
    std::vector<int> modalRuns;
    // Results the modal runs returned (after an ended run).
    std::vector<int> modalResults;

  private:
    std::string m_appName = "Sortilex";
    std::deque<int> m_answers;
    std::deque<std::optional<std::string>> m_fileAnswers;
    std::map<int, std::deque<std::function<void(FakeWindow&)>>> m_scripts;
    std::vector<std::unique_ptr<FakeWindow>> m_open;
};

class FakeWindow : public IDialogWindow {
  public:
    explicit FakeWindow(CDialog& dlg);

    // ---- What a user does
    void Click(int id);
    void SelectListItem(int id, int index);
    void Type(int id, const std::string& text, bool exact = true);
    void PressEscape() { m_dlg.OnCancel(); }
    // Enter while no push button has the focus: the dialog's OK.
    void PressEnter() { m_dlg.OnOK(); }
    void CloseBox() { m_dlg.DispatchSysCommand(SC_CLOSE, 0); }
    void SysCommand(unsigned id) { m_dlg.DispatchSysCommand(id, 0); }

    // ---- What the user sees
    std::string Text(int id) const { return Ctl(id).text; }
    bool Checked(int id) const { return Ctl(id).checked; }
    std::vector<std::string> Items(int id) const { return Ctl(id).items; }
    int CurSel(int id) const { return Ctl(id).curSel; }
    bool Ended() const { return m_ended; }
    CDialog& Dialog() const { return m_dlg; }
    int ResultCode() const { return m_result; }
    std::vector<std::pair<unsigned, std::string>> menu;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    bool minimized = false;

    // ---- IDialogWindow
    void SetText(int id, const std::string& text) override {
        Ctl(id).text = text;
        Ctl(id).exact = true;
    }
    ControlText GetText(int id) const override { return {Ctl(id).text, Ctl(id).exact}; }
    void SetCheck(int id, bool checked) override { Ctl(id).checked = checked; }
    bool GetCheck(int id) const override { return Ctl(id).checked; }
    void ListReset(int id) override;
    void ListInsert(int id, int index, const std::string& text) override;
    int ListCount(int id) const override { return static_cast<int>(Ctl(id).items.size()); }
    std::string ListText(int id, int index) const override;
    void ListSetCurSel(int id, int index) override { Ctl(id).curSel = index; }
    int ListCurSel(int id) const override { return Ctl(id).curSel; }
    void SetIcon(HICON icon, bool big) override { (big ? bigIcon : smallIcon) = icon; }
    bool AppendMenuEntry(unsigned id, const std::string& text) override;
    void DefaultSysCommand(unsigned id, long param) override;
    void End(int result) override;

  private:
    struct Control {
        ControlKind kind = ControlKind::Label;
        std::string text;
        bool exact = true;
        bool checked = false;
        std::vector<std::string> items;
        int curSel = -1;
    };
    Control& Ctl(int id);
    const Control& Ctl(int id) const;

    CDialog& m_dlg;
    std::map<int, Control> m_controls;
    bool m_ended = false;
    int m_result = 0;
};

}  // namespace sx
