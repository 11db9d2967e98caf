#include "platform/fake/FakeHost.h"

#include <cstdlib>

namespace sx {

FakeHost::FakeHost() {
    SetHost(this);
}

FakeHost::~FakeHost() {
    // Dialogs opened by a test are destroyed before the host (declared after it), so their
    // windows are dropped without touching them.
    m_open.clear();
    SetHost(nullptr);
}

FakeWindow& FakeHost::Open(CDialog& dlg) {
    m_open.push_back(std::make_unique<FakeWindow>(dlg));
    FakeWindow& wnd = *m_open.back();
    dlg.ResetEnded();
    dlg.AttachWindow(&wnd);
    dlg.OnInitDialog();
    return wnd;
}

int FakeHost::RunModal(CDialog& dlg) {
    modalRuns.push_back(dlg.TemplateId());
    FakeWindow wnd(dlg);
    dlg.AttachWindow(&wnd);
    dlg.OnInitDialog();
    if (!dlg.HasEnded()) {
        auto& queue = m_scripts[dlg.TemplateId()];
        if (!queue.empty()) {
            auto script = std::move(queue.front());
            queue.pop_front();
            script(wnd);
        }
        if (!dlg.HasEnded()) dlg.OnCancel();
    }
    dlg.AttachWindow(nullptr);
    modalResults.push_back(dlg.Result());
    return dlg.Result();
}

int FakeHost::MessageBox(CDialog*, const std::string& text, const char* caption, unsigned type) {
    messages.push_back({text, caption ? caption : m_appName, type});
    if (!m_answers.empty()) {
        const int a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

std::optional<std::string> FakeHost::OpenFileDialog(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    if (m_fileAnswers.empty()) return std::nullopt;
    auto a = std::move(m_fileAnswers.front());
    m_fileAnswers.pop_front();
    return a;
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

FakeWindow::FakeWindow(CDialog& dlg) : m_dlg(dlg) {
    if (const DialogTemplate* t = dlg.Template()) {
        for (const ControlTemplate& c : t->controls) {
            if (c.id == IDC_STATIC) continue;
            Control ctl;
            ctl.kind = c.kind;
            if (c.kind == ControlKind::PushButton || c.kind == ControlKind::RadioButton)
                ctl.text = c.text;
            m_controls[c.id] = ctl;
        }
    }
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
    if (c.kind == ControlKind::RadioButton) {
        // Automatic radio buttons check themselves, and clear their group, before the handler.
        for (auto& [otherId, other] : m_controls)
            if (other.kind == ControlKind::RadioButton) other.checked = otherId == id;
    }
    if (!m_dlg.DispatchCommand(id, Event::Clicked)) {
        if (id == IDOK) m_dlg.OnOK();
        if (id == IDCANCEL) m_dlg.OnCancel();
    }
}

void FakeWindow::SelectListItem(int id, int index) {
    Ctl(id).curSel = index;
    m_dlg.DispatchCommand(id, Event::SelChange);
}

void FakeWindow::Type(int id, const std::string& text, bool exact) {
    Ctl(id).text = text;
    Ctl(id).exact = exact;
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

void FakeWindow::DefaultSysCommand(unsigned id, long) {
    if ((id & 0xFFF0) == SC_CLOSE) m_dlg.OnCancel();
    if ((id & 0xFFF0) == SC_MINIMIZE) minimized = true;
}

void FakeWindow::End(int result) {
    m_ended = true;
    m_result = result;
}

}  // namespace sx
