// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/fake/FakeHost.h"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "resources/Resources.h"

namespace sx {

FakeHost::FakeHost() {
    ui::InstallResources(AppResources());
    ui::SetHost(this);
}

FakeHost::~FakeHost() {
    ui::SetHost(nullptr);
}

std::unique_ptr<ui::IDialogWindow> FakeHost::CreateDialogWindow(ui::CDialog& dlg,
                                                                ui::IDialogWindow* owner) {
    return std::make_unique<FakeWindow>(*this, dlg, static_cast<FakeWindow*>(owner));
}

void FakeHost::Shown(FakeWindow& wnd, bool modal) {
    if (!modal) return;
    modalRuns.push_back(wnd.Dialog().TemplateId());
    const ui::DialogTemplate* t = wnd.Dialog().Template();
    RecordModal(t ? t->caption : "", wnd.Owner(), &wnd);
    m_justShown = &wnd;
}

void FakeHost::RecordModal(std::string what, ui::IDialogWindow* owner, ui::IDialogWindow* self) {
    ModalRecord r{std::move(what), 0, {}};
    for (ui::IDialogWindow* w : ui::OpenDialogWindows()) {
        const int id = static_cast<FakeWindow*>(w)->Dialog().TemplateId();
        if (w == owner)
            r.owner = id;
        else if (w != self && w->IsEnabled())
            r.othersEnabled.push_back(id);
    }
    modals.push_back(std::move(r));
}

void FakeHost::RunUntil(const std::function<bool()>& done, const std::function<bool()>& idle) {
    const std::function<bool()> outer = std::exchange(m_idle, idle);
    if (FakeWindow* wnd = m_justShown) {
        // A modal dialog has just shown: it does what the test scripted (its idle work only when
        // the script lets it, RunIdle), then is cancelled if it is still open.
        m_justShown = nullptr;
        auto& queue = m_scripts[wnd->Dialog().TemplateId()];
        if (!queue.empty()) {
            auto script = std::move(queue.front());
            queue.pop_front();
            script(*wnd);
        }
        if (!done()) wnd->Dialog().OnCancel();
    }
    while (!done()) {
        if (idle && idle()) continue;
        if (whileWaiting) whileWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m_idle = outer;
}

int FakeHost::ShowMessageBox(ui::IDialogWindow* owner, const std::string& text,
                             const std::string& caption, unsigned type) {
    messages.push_back({text, caption, type});
    RecordModal(text, owner);
    if (!m_answers.empty()) {
        const int a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    return (type & 0xF) == ui::MbYesNo ? ui::IdNo : ui::IdOk;
}

std::optional<std::string> FakeHost::OpenFileDialog(ui::IDialogWindow* owner,
                                                    const ui::FileDialogRequest& request) {
    fileDialogs.push_back(request);
    RecordModal("file dialog", owner);
    if (m_fileAnswers.empty()) return std::nullopt;
    auto a = std::move(m_fileAnswers.front());
    m_fileAnswers.pop_front();
    return a;
}

ui::IHost::ChosenFiles FakeHost::OpenFilesDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request) {
    fileDialogs.push_back(request);
    RecordModal("file dialog", owner);
    ChosenFiles chosen;
    if (!m_filesAnswers.empty()) {
        chosen.paths = std::move(m_filesAnswers.front());
        m_filesAnswers.pop_front();
    }
    return chosen;
}

FakeWindow& FakeHost::Open(ui::CDialog& dlg) {
    dlg.Create();
    return static_cast<FakeWindow&>(*dlg.GetWindow());
}

void FakeHost::ScriptDialog(int templateId, std::function<void(FakeWindow&)> script) {
    m_scripts[templateId].push_back(std::move(script));
}

void FakeHost::AnswerMessages(std::initializer_list<int> answers) {
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

void FakeHost::AnswerFileDialog(std::optional<std::string> path) {
    m_fileAnswers.push_back(std::move(path));
}

// ---- FakeWindow ----------------------------------------------------------------------------

FakeWindow::FakeWindow(FakeHost& host, ui::CDialog& dlg, FakeWindow* owner)
    : m_host(host), m_dlg(dlg), m_owner(owner) {
    if (const ui::DialogTemplate* t = dlg.Template()) {
        for (const ui::ControlTemplate& c : t->controls) {
            if (c.id == ui::NoControlId) continue;
            Control ctl;
            ctl.kind = c.kind;
            if (c.kind == ui::ControlKind::PushButton || c.kind == ui::ControlKind::RadioButton)
                ctl.text = c.text;
            m_controls[c.id] = ctl;
        }
    }
}

void FakeWindow::Show(bool, bool modal) {
    m_visible = true;
    // As a window system's modal window does: the owner takes no input while it shows.
    if (modal && m_owner != nullptr && m_owner->m_enabled) {
        m_owner->m_enabled = false;
        m_disabledOwner = true;
    }
    m_host.Shown(*this, modal);
}

void FakeWindow::Hide() {
    if (m_disabledOwner) m_owner->m_enabled = true;
    m_disabledOwner = false;
    m_visible = false;
}

FakeWindow::Control& FakeWindow::Ctl(int id) {
    auto it = m_controls.find(id);
    if (it == m_controls.end()) {
        // A test or the program addressed a control the template lacks: a fault worth a crash
        // in a test run.
        std::abort();
    }
    return it->second;
}

const FakeWindow::Control& FakeWindow::Ctl(int id) const {
    return const_cast<FakeWindow*>(this)->Ctl(id);
}

void FakeWindow::Click(int id) {
    Control& c = Ctl(id);
    if (c.kind == ui::ControlKind::RadioButton) {
        // Automatic radio buttons check themselves, and clear their group, before the handler.
        for (auto& [otherId, other] : m_controls)
            if (other.kind == ui::ControlKind::RadioButton) other.checked = otherId == id;
    }
    m_dlg.DispatchCommand(id, ui::Event::Clicked);
}

void FakeWindow::SelectListItem(int id, int index) {
    Ctl(id).curSel = index;
    m_dlg.DispatchCommand(id, ui::Event::SelChange);
}

void FakeWindow::Type(int id, const std::string& text, bool exact) {
    Ctl(id).text = text;
    Ctl(id).exact = exact;
    m_dlg.DispatchCommand(id, ui::Event::Changed);
}

void FakeWindow::ListReset(int id) {
    Ctl(id).items.clear();
    Ctl(id).curSel = -1;
}

void FakeWindow::ListInsert(int id, int index, const std::string& text) {
    auto& items = Ctl(id).items;
    items.insert(items.begin() + index, text);
}

std::string FakeWindow::ListText(int id, int index) const {
    const auto& items = Ctl(id).items;
    return (index >= 0 && static_cast<size_t>(index) < items.size())
               ? items[static_cast<size_t>(index)]
               : std::string();
}

bool FakeWindow::AppendMenuEntry(unsigned id, const std::string& text) {
    menu.emplace_back(id, text);
    return true;
}

namespace {
class FakePaint : public ui::IPaintContext {
  public:
    explicit FakePaint(FakeWindow& w) : m_w(w) {}
    ~FakePaint() override { m_w.painted.push_back("end"); }
    void EraseIconBackground() override { m_w.painted.push_back("erase"); }
    ui::Extent IconSize() const override { return m_w.iconSize; }
    ui::Extent ClientSize() const override { return m_w.clientSize; }
    void DrawIcon(int x, int y, ui::IconHandle icon) override {
        m_w.painted.push_back("icon " + std::to_string(icon ? icon->id : 0) + " at " +
                              std::to_string(x) + "," + std::to_string(y));
    }

  private:
    FakeWindow& m_w;
};
}  // namespace

std::unique_ptr<ui::IPaintContext> FakeWindow::BeginPaint() {
    return std::make_unique<FakePaint>(*this);
}

void FakeWindow::PlatformSysCommand(unsigned id, std::intptr_t) {
    if ((id & ui::SysCommandMask) == ui::SysMinimize) minimized = true;
}

}  // namespace sx
