#include "platform/Dialog.h"

#include <charconv>
#include <cstdlib>

#include "platform/Os.h"
#include "platform/Text.h"

namespace sx {

namespace {
IHost* g_host = nullptr;
CWinApp* g_app = nullptr;
}  // namespace

void SetHost(IHost* host) {
    g_host = host;
}

IHost& Host() {
    if (g_host == nullptr) std::abort();  // a program without a window system cannot go on
    return *g_host;
}

// ---- CListBox --------------------------------------------------------------------------------

void CListBox::Attach(CDialog* dlg, int id) {
    m_pDlg = dlg;
    m_id = id;
}

IDialogWindow* CListBox::Wnd() const {
    return m_pDlg ? m_pDlg->GetWindow() : nullptr;
}

void CListBox::ResetContent() {
    if (auto* w = Wnd()) w->ListReset(m_id);
}

int CListBox::AddString(const std::string& text) {
    auto* w = Wnd();
    if (w == nullptr) return LB_ERR;
    const int count = w->ListCount(m_id);
    int index = count;
    const auto* tmpl = m_pDlg->Template();
    const auto* ctl = tmpl ? FindControl(*tmpl, m_id) : nullptr;
    if (ctl != nullptr && (ctl->style & style::LBS_SORT) != 0 && count > 0 &&
        CompareNoCase(w->ListText(m_id, count - 1), text) > 0) {
        // Binary search for the first entry greater than text: equal entries keep their order.
        // (Text that sorts after the last entry, as names added in order do, goes to the end.)
        int lo = 0, hi = count;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (CompareNoCase(w->ListText(m_id, mid), text) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        index = lo;
    }
    w->ListInsert(m_id, index, text);
    return index;
}

int CListBox::FindString(int startAfter, const std::string& text) const {
    auto* w = Wnd();
    if (w == nullptr) return LB_ERR;
    const int count = w->ListCount(m_id);
    if (count == 0) return LB_ERR;
    // The search wraps around the end of the list, as the platform's does.
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int k = 0; k < count; ++k) {
        const int i = (first + k) % count;
        if (StartsWithNoCase(w->ListText(m_id, i), text)) return i;
    }
    return LB_ERR;
}

int CListBox::SetCurSel(int index) {
    auto* w = Wnd();
    if (w == nullptr) return LB_ERR;
    if (index < 0 || index >= w->ListCount(m_id)) {
        w->ListSetCurSel(m_id, -1);
        return LB_ERR;
    }
    w->ListSetCurSel(m_id, index);
    return index;
}

int CListBox::GetCurSel() const {
    auto* w = Wnd();
    return w ? w->ListCurSel(m_id) : LB_ERR;
}

int CListBox::GetCount() const {
    auto* w = Wnd();
    return w ? w->ListCount(m_id) : 0;
}

std::string CListBox::GetText(int index) const {
    auto* w = Wnd();
    if (w == nullptr || index < 0 || index >= w->ListCount(m_id)) return {};
    return w->ListText(m_id, index);
}

// ---- Data exchange ---------------------------------------------------------------------------

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
    size_t b = text.find_first_not_of(" \t");
    size_t e = text.find_last_not_of(" \t");
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
        if (c.kind != ControlKind::RadioButton || (c.style & style::WS_GROUP) != 0) break;
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

// ---- CDialog -------------------------------------------------------------------------------

CDialog::CDialog(int templateId, CDialog* parent) : m_nTemplateId(templateId), m_pParent(parent) {}

CDialog::~CDialog() = default;

const DialogTemplate* CDialog::Template() const {
    return FindDialogTemplate(m_nTemplateId);
}

int CDialog::DoModal() {
    ResetEnded();
    return Host().RunModal(*this);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (m_pWnd == nullptr) return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::EndDialog(int result) {
    m_bEnded = true;
    m_nResult = result;
    if (m_pWnd != nullptr) m_pWnd->End(result);
}

int CDialog::MessageBox(const std::string& text, const char* caption, unsigned type) {
    return Host().MessageBox(this, text, caption, type);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    // The values are pulled for whoever reads them after the run; a value that cannot be taken
    // (text the code page lacks) does not keep the dialog open.
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::DispatchCommand(int id, Event event) {
    for (const auto& e : GetEventTable()) {
        if (e.event == event && e.id == id) {
            (this->*std::get<CommandHandler>(e.handler))();
            return true;
        }
    }
    return false;
}

void CDialog::DispatchSysCommand(unsigned id, long param) {
    for (const auto& e : GetEventTable()) {
        if (e.event == Event::SysCommand) {
            (this->*std::get<SysCommandHandler>(e.handler))(id, param);
            return;
        }
    }
    if (m_pWnd != nullptr) m_pWnd->DefaultSysCommand(id, param);
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

HICON CDialog::DispatchQueryDragIcon() {
    for (const auto& e : GetEventTable())
        if (e.event == Event::QueryDragIcon) return (this->*std::get<DragIconHandler>(e.handler))();
    return nullptr;
}

// ---- CFileDialog ---------------------------------------------------------------------------

CFileDialog::CFileDialog(bool openFileDialog, const char* defExt, const char* fileName,
                         unsigned flags, const char* filter, CDialog*) {
    m_request.open = openFileDialog;
    m_request.defaultExt = defExt ? defExt : "";
    m_request.fileName = fileName ? fileName : "";
    m_request.filter = filter ? filter : "";
    m_ofn.Flags = flags;
}

int CFileDialog::DoModal() {
    m_request.flags = m_ofn.Flags;
    m_request.initialDir = m_ofn.lpstrInitialDir;
    std::optional<std::string> chosen = Host().OpenFileDialog(m_request);
    if (!chosen) return IDCANCEL;
    m_strPathName = os::FromHostPath(*chosen);
    return IDOK;
}

std::string CFileDialog::GetFileName() const {
    const size_t sep = m_strPathName.find_last_of("\\/");
    return sep == std::string::npos ? m_strPathName : m_strPathName.substr(sep + 1);
}

// ---- Application -----------------------------------------------------------------------------

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

HICON LoadIcon(int id) {
    const PictureResource* r = FindPicture(id);
    return (r != nullptr && r->kind == ResourceKind::Icon) ? r : nullptr;
}

}  // namespace sx
