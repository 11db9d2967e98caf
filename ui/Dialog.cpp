// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Dialog.h"

#include <algorithm>
#include <cstdlib>

#include "ui/DataExchange.h"
#include "ui/Wait.h"

namespace sx::ui {

namespace {
IHost* g_host = nullptr;
CWinApp* g_app = nullptr;
std::vector<CDialog*> g_open;

// The program's topmost visible window: what opens next belongs to it.
IDialogWindow* TopmostShownWindow() {
    for (auto it = g_open.rbegin(); it != g_open.rend(); ++it)
        if ((*it)->IsShown()) return (*it)->GetWindow();
    return nullptr;
}
}  // namespace

std::vector<IDialogWindow*> OpenDialogWindows(bool withAnswering) {
    std::vector<IDialogWindow*> windows;
    for (CDialog* d : g_open)
        if (withAnswering || !d->StaysAnswering()) windows.push_back(d->GetWindow());
    return windows;
}

void SetHost(IHost* host) {
    g_host = host;
}

IHost& Host() {
    if (g_host == nullptr) std::abort();  // a program without a window system cannot go on
    return *g_host;
}

CDialog::CDialog(int templateId, CDialog* parent) : m_nTemplateId(templateId), m_pParent(parent) {}

CDialog::~CDialog() {
    CloseWindow();
}

void CDialog::CloseWindow() {
    std::erase(g_open, this);
    m_bShown = false;
    m_window.reset();
}

const DialogTemplate* CDialog::Template() const {
    return FindDialogTemplate(m_nTemplateId);
}

ModalScope::ModalScope() : m_owner(TopmostShownWindow()) {
    for (CDialog* d : g_open) {
        IDialogWindow* w = d->GetWindow();
        if (w == m_owner || !w->IsEnabled()) continue;
        w->SetEnabled(false);
        m_disabled.push_back(w);
    }
}

ModalScope::~ModalScope() {
    // Only windows still open take their input back.
    const std::vector<IDialogWindow*> open = OpenDialogWindows();
    for (IDialogWindow* w : m_disabled)
        if (std::find(open.begin(), open.end(), w) != open.end()) w->SetEnabled(true);
}

bool CDialog::OpenWindow(IDialogWindow* owner) {
    m_bEnded = false;
    m_bShown = false;
    m_nResult = 0;
    CloseWindow();
    m_window = Host().CreateDialogWindow(*this, owner);
    if (m_window != nullptr) g_open.push_back(this);
    return m_window != nullptr;
}

void CDialog::ShowWindow(bool focusFirstTabStop, bool modal) {
    m_bShown = true;
    m_window->Show(focusFirstTabStop, modal);
}

int CDialog::DoModal() {
    const ModalScope scope;
    if (!OpenWindow(scope.Owner())) return -1;
    const bool focusFirst = OnInitDialog();
    // A dialog that ended in its own initialisation is never shown.
    if (!m_bEnded) {
        ShowWindow(focusFirst, true);
        Host().RunUntil([this] { return m_bEnded; }, [this] { return !m_bEnded && OnIdle(); });
    }
    CloseWindow();
    return m_bEnded ? m_nResult : IdCancel;
}

bool CDialog::Create() {
    if (!OpenWindow(TopmostShownWindow())) return false;
    const bool focusFirst = OnInitDialog();
    if (!m_bEnded) ShowWindow(focusFirst, false);
    return true;
}

void CDialog::DestroyWindow() {
    CloseWindow();
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (m_window == nullptr) return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::EndDialog(int result) {
    m_bEnded = true;
    m_bShown = false;
    m_nResult = result;
    if (m_window != nullptr) m_window->Hide();
}

int CDialog::ShowMessageBox(const std::string& text, const char* caption, unsigned type) {
    IHost& host = Host();
    const ModalScope scope;
    return host.ShowMessageBox(scope.Owner(), text, caption ? caption : host.AppName(), type);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    // The values are pulled for whoever reads them after the run; a value that cannot be taken
    // does not keep the dialog open.
    UpdateData(true);
    EndDialog(IdOk);
}

void CDialog::OnCancel() {
    EndDialog(IdCancel);
}

void CDialog::OnSysCommand(unsigned id, std::intptr_t param) {
    if ((id & SysCommandMask) == SysClose) {
        DispatchCommand(IdCancel, Event::Clicked);
        return;
    }
    if (m_window != nullptr) m_window->PlatformSysCommand(id, param);
}

void CDialog::OnPaint() {
    if (m_window != nullptr) m_window->DefaultPaint();
}

bool CDialog::IsIconic() const {
    return m_window != nullptr && m_window->IsMinimized();
}

CPaintDC::CPaintDC(CDialog* dlg) {
    if (dlg != nullptr && dlg->GetWindow() != nullptr) m_context = dlg->GetWindow()->BeginPaint();
}

bool CDialog::Handles(int id, Event event) const {
    for (const auto& e : GetEventTable())
        if (e.event == event && e.id == id) return true;
    return false;
}

void CDialog::DispatchCommand(int id, Event event) {
    if (IsWaiting() && !m_bStaysAnswering) return;
    for (const auto& e : GetEventTable()) {
        if (e.event == event && e.id == id) {
            (this->*std::get<CommandHandler>(e.handler))();
            return;
        }
    }
    if (event != Event::Clicked) return;
    if (id == IdOk) OnOK();
    if (id == IdCancel) OnCancel();
}

void CDialog::DispatchSysCommand(unsigned id, std::intptr_t param) {
    if (IsWaiting() && !m_bStaysAnswering) return;
    for (const auto& e : GetEventTable()) {
        if (e.event == Event::SysCommand) {
            (this->*std::get<SysCommandHandler>(e.handler))(id, param);
            return;
        }
    }
    OnSysCommand(id, param);
}

void CDialog::DispatchDropFiles(const std::vector<std::string>& paths) {
    if (IsWaiting() || !AcceptsDroppedFiles() || paths.empty() || m_window == nullptr || !m_window->IsEnabled())
        return;
    if (TopmostShownWindow() != m_window.get()) return;
    OnDropFiles(paths);
}

void CDialog::DispatchDefaultCommand() {
    if (IsWaiting() && !m_bStaysAnswering) return;
    int id = IdOk;
    if (const DialogTemplate* t = Template()) {
        for (const ControlTemplate& c : t->controls)
            if (c.kind == ControlKind::PushButton && (c.style & style::ButtonDefault) != 0)
                id = c.id;
    }
    DispatchCommand(id, Event::Clicked);
}

bool CDialog::DispatchPaint() {
    for (const auto& e : GetEventTable()) {
        if (e.event == Event::Paint) {
            (this->*std::get<CommandHandler>(e.handler))();
            return true;
        }
    }
    return false;
}

IconHandle CDialog::DispatchQueryDragIcon() {
    for (const auto& e : GetEventTable())
        if (e.event == Event::QueryDragIcon) return (this->*std::get<DragIconHandler>(e.handler))();
    return nullptr;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

}  // namespace sx::ui
