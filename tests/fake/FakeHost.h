// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted window host for tests: no window system, every control held in memory.
//
// It records every message box and file dialog and answers them from queues; a test clicks
// buttons, changes list selections and types into edits as a user would, and reads every
// control's content by id. A dialog run modally does what the test scripted for its template,
// and is cancelled if the script leaves it open.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/Dialog.h"

namespace sx {

class FakeWindow;

struct MessageRecord {
    std::string text;
    std::string caption;
    unsigned type = ui::MbOk;
};

// A modal window as it opened: a box (its text), the file dialog ("file dialog") or a dialog
// (its template's caption); the template id of its owner's dialog (0: none); the template ids of
// the program's other windows that took input meanwhile (the owner is the host's to disable).
struct ModalRecord {
    std::string what;
    int owner = 0;
    std::vector<int> othersEnabled;
};

class FakeHost : public ui::IHost {
  public:
    FakeHost();
    ~FakeHost() override;

    std::unique_ptr<ui::IDialogWindow> CreateDialogWindow(ui::CDialog& dlg,
                                                          ui::IDialogWindow* owner) override;
    void RunUntil(const std::function<bool()>& done, const std::function<bool()>& idle = {}) override;
    // Lets the modal dialog that runs now do the work it does while it waits for the user,
    // until it has none left.
    void RunIdle() {
        while (m_idle && m_idle()) {
        }
    }
    void PumpEvents() override {
        if (whileWaiting) whileWaiting();
    }
    int ShowMessageBox(ui::IDialogWindow* owner, const std::string& text,
                       const std::string& caption, unsigned type) override;
    std::optional<std::string> OpenFileDialog(ui::IDialogWindow* owner,
                                              const ui::FileDialogRequest& request) override;
    std::string AppName() const override { return "Sortilex"; }

    // Opens a dialog without waiting for its end, so the test can act on it.
    FakeWindow& Open(ui::CDialog& dlg);

    // What a modal run of a dialog with this template does once it shows.
    void ScriptDialog(int templateId, std::function<void(FakeWindow&)> script);
    // Answers for the next message boxes (default: OK, or No for a Yes/No box).
    void AnswerMessages(std::initializer_list<int> answers);
    // Answers for the next file dialogs: a path, or nothing for cancel.
    void AnswerFileDialog(std::optional<std::string> path);
    // Answers for the next dialogs of several files: the paths (none for cancel).
    void AnswerFilesDialog(std::vector<std::string> paths) { m_filesAnswers.push_back(std::move(paths)); }
    ChosenFiles OpenFilesDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request) override;
    // The entry chosen in the next control menus (default: none).
    void AnswerControlMenu(unsigned id) { menuAnswers.push_back(id); }
    std::deque<unsigned> menuAnswers;
    // The entries of every control menu shown, in order.
    std::vector<std::vector<ui::MenuEntry>> controlMenus;

    std::vector<MessageRecord> messages;
    std::vector<ui::FileDialogRequest> fileDialogs;
    // Template ids of every modal run, in order.
    std::vector<int> modalRuns;
    // Every modal window, in the order they opened.
    std::vector<ModalRecord> modals;
    // Called again and again while the program waits for something outside it.
    std::function<void()> whileWaiting;

  private:
    friend class FakeWindow;
    void Shown(FakeWindow& wnd, bool modal);
    void RecordModal(std::string what, ui::IDialogWindow* owner, ui::IDialogWindow* self = nullptr);
    std::deque<int> m_answers;
    std::deque<std::optional<std::string>> m_fileAnswers;
    std::deque<std::vector<std::string>> m_filesAnswers;
    std::map<int, std::deque<std::function<void(FakeWindow&)>>> m_scripts;
    FakeWindow* m_justShown = nullptr;
    std::function<bool()> m_idle;
};

class FakeWindow : public ui::IDialogWindow {
  public:
    FakeWindow(FakeHost& host, ui::CDialog& dlg, FakeWindow* owner);

    // ---- What a user does
    void Click(int id);
    void SelectListItem(int id, int index);
    void Type(int id, const std::string& text, bool exact = true);
    void PressEscape() { m_dlg.DispatchCommand(ui::IdCancel, ui::Event::Clicked); }
    // Enter while no push button has the focus.
    void PressEnter() { m_dlg.DispatchDefaultCommand(); }
    void CloseBox() { m_dlg.DispatchSysCommand(ui::SysClose, 0); }
    void SysCommand(unsigned id) { m_dlg.DispatchSysCommand(id, 0); }
    void PressDelete(int id) { m_dlg.DispatchCommand(id, ui::Event::DeleteKey); }
    void DropFiles(const std::vector<std::string>& paths) { m_dlg.DispatchDropFiles(paths); }

    // ---- What the user sees
    std::string Text(int id) const { return Ctl(id).text; }
    bool Checked(int id) const { return Ctl(id).checked; }
    std::vector<std::string> Items(int id) const { return Ctl(id).items; }
    int CurSel(int id) const { return Ctl(id).curSel; }
    bool Visible() const { return m_visible; }
    bool Enabled() const { return m_enabled; }
    ui::CDialog& Dialog() const { return m_dlg; }
    FakeWindow* Owner() const { return m_owner; }
    std::vector<std::pair<unsigned, std::string>> menu;
    ui::IconHandle bigIcon = nullptr;
    ui::IconHandle smallIcon = nullptr;
    bool minimized = false;

    // ---- ui::IDialogWindow
    void Show(bool focusFirstTabStop, bool modal) override;
    void Hide() override;
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() const override { return m_enabled; }
    void SetText(int id, const std::string& text) override {
        Ctl(id).text = text;
        Ctl(id).exact = true;
    }
    ui::ControlText GetText(int id) const override { return {Ctl(id).text, Ctl(id).exact}; }
    void SetCheck(int id, bool checked) override { Ctl(id).checked = checked; }
    bool GetCheck(int id) const override { return Ctl(id).checked; }
    void ListReset(int id) override;
    void ListInsert(int id, int index, const std::string& text) override;
    int ListCount(int id) const override { return static_cast<int>(Ctl(id).items.size()); }
    std::string ListText(int id, int index) const override;
    void ListSetCurSel(int id, int index) override { Ctl(id).curSel = index; }
    int ListCurSel(int id) const override { return Ctl(id).curSel; }
    void SetIcon(ui::IconHandle icon, bool big) override { (big ? bigIcon : smallIcon) = icon; }
    bool AppendMenuEntry(unsigned id, const std::string& text) override;
    unsigned ShowControlMenu(int, const std::vector<ui::MenuEntry>& entries) override {
        m_host.controlMenus.push_back(entries);
        if (m_host.menuAnswers.empty()) return 0;
        const unsigned chosen = m_host.menuAnswers.front();
        m_host.menuAnswers.pop_front();
        return chosen;
    }
    // The user asks for a control's own menu.
    void OpenControlMenu(int id) { m_dlg.DispatchCommand(id, ui::Event::ContextMenu); }
    bool AppendSubmenu(const std::string& text, const std::vector<ui::MenuEntry>& entries) override {
        menu.emplace_back(0, text);
        submenus[text] = entries;
        return true;
    }
    std::map<std::string, std::vector<ui::MenuEntry>> submenus;
    void PlatformSysCommand(unsigned id, std::intptr_t param) override;
    bool IsMinimized() const override { return minimized; }
    std::unique_ptr<ui::IPaintContext> BeginPaint() override;
    void DefaultPaint() override { painted.push_back("default"); }
    // What painting did, in order; the client area and icon size the window reports.
    std::vector<std::string> painted;
    ui::Extent clientSize{36, 37};
    ui::Extent iconSize{32, 32};

  private:
    struct Control {
        ui::ControlKind kind = ui::ControlKind::Label;
        std::string text;
        bool exact = true;
        bool checked = false;
        std::vector<std::string> items;
        int curSel = -1;
    };
    Control& Ctl(int id);
    const Control& Ctl(int id) const;

    FakeHost& m_host;
    ui::CDialog& m_dlg;
    FakeWindow* m_owner;
    bool m_disabledOwner = false;
    std::map<int, Control> m_controls;
    bool m_visible = false;
    bool m_enabled = true;
};

}  // namespace sx
