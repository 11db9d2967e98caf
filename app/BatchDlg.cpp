// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchDlg.h"

#include <array>

#include "base/Text.h"
#include "os/Process.h"
#include "ui/DataExchange.h"

using namespace sx;
using namespace sx::ui;

namespace {
constexpr const char* kCounting = "Counting the missions that hold another callsign...";
// How long one piece of the count may keep the dialog from its events.
constexpr int64_t kCountSliceMs = 15;
}  // namespace

void CCallsignBatchDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_BATCH_CALLSIGN, m_strCallsign);
}

std::span<const EventEntry> CCallsignBatchDlg::GetEventTable() const {
    static const std::array kTable = {
        OnEditChange(IDC_BATCH_CALLSIGN, &CCallsignBatchDlg::OnEditCallsign),
    };
    return kTable;
}

bool CCallsignBatchDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (IDialogWindow* wnd = GetWindow())
        wnd->SetText(IDC_BATCH_COUNT, m_nMissions == 1 ? std::string("Callsign for the one mission of this list:")
                                                       : "Callsign for the " + std::to_string(m_nMissions) +
                                                             " missions of this list:");
    m_count.Restart(m_strCallsign);
    ShowCount();
    return true;
}

void CCallsignBatchDlg::OnEditCallsign() {
    if (IDialogWindow* wnd = GetWindow()) m_count.Restart(wnd->GetText(IDC_BATCH_CALLSIGN).bytes);
    ShowCount();
}

bool CCallsignBatchDlg::OnIdle() {
    if (m_count.Done()) return false;
    if (m_count.Step(kCountSliceMs)) ShowCount();
    return !m_count.Done();
}

void CCallsignBatchDlg::ShowCount() {
    IDialogWindow* wnd = GetWindow();
    if (wnd == nullptr) return;
    if (!m_count.Done()) {
        wnd->SetText(IDC_BATCH_OTHER, kCounting);
        return;
    }
    const int other = m_count.Count();
    wnd->SetText(IDC_BATCH_OTHER, std::to_string(other) +
                                      (other == 1 ? " of them holds" : " of them hold") +
                                      " another callsign now. This cannot be undone.");
}

void CCallsignBatchDlg::OnOK() {
    m_bExact = UpdateData(true);
    EndDialog(IdOk);
}

CProgressDlg::CProgressDlg(int templateId) : CDialog(templateId) {
    StayAnswering();
}


void CProgressDlg::ShowText(const std::string& text) {
    if (IDialogWindow* wnd = GetWindow()) wnd->SetText(IDC_PROGRESS_TEXT, text);
}

namespace {
// The progress window shows once work has run this long, and changes at most this often.
constexpr int64_t kProgressAfterMs = 500;
constexpr int64_t kProgressEveryMs = 100;
}  // namespace

DelayedProgress::DelayedProgress(int templateId)
    : m_templateId(templateId), m_start(os::MonotonicMilliseconds()) {}

bool DelayedProgress::Tick(const std::function<std::string()>& text) {
    const int64_t now = os::MonotonicMilliseconds();
    if (!m_window && now - m_start >= kProgressAfterMs) {
        m_window = std::make_unique<CProgressDlg>(m_templateId);
        if (m_window->Create()) m_window->GetWindow()->SetEnabled(true);
        m_shown = 0;
    }
    if (m_window && now - m_shown >= kProgressEveryMs) {
        m_window->ShowText(text());
        m_shown = now;
    }
    return !Cancelled();
}
