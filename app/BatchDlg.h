// SPDX-License-Identifier: GPL-3.0-or-later
// The windows of one callsign for every mission of the list: the dialog that asks for it, and
// the progress window of the batch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "missionfile/CallsignBatch.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"

// Asks for the callsign, and says how many of the missions it would change. It shows at once:
// the missions are counted while it waits for the user, afresh after each edit of the callsign.
class CCallsignBatchDlg : public sx::ui::CDialog {
  public:
    // names: bare names in the current folder, which stays current while the dialog runs.
    explicit CCallsignBatchDlg(const std::vector<std::string>& names)
        : CDialog(sx::IDD_BATCH_CALLSIGN), m_nMissions(static_cast<int>(names.size())), m_count(names) {}

    int m_nMissions;  // of the list
    std::string m_strCallsign;
    bool m_bExact = true;  // the typed callsign is one the program's text can hold

    // The count so far; complete when Counted().
    int OtherCallsigns() const { return m_count.Count(); }
    bool Counted() const { return m_count.Done(); }

  protected:
    void DoDataExchange(sx::ui::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    bool OnIdle() override;
    void OnOK() override;
    std::span<const sx::ui::EventEntry> GetEventTable() const override;

  private:
    void OnEditCallsign();
    void ShowCount();
    sx::OtherCallsignCount m_count;
};

// Shows where the batch is; Cancel, Escape and the close box ask it to stop before the next
// copy. It answers while every other window waits.
class CProgressDlg : public sx::ui::CDialog {
  public:
    explicit CProgressDlg(int templateId = sx::IDD_PROGRESS);
    void ShowText(const std::string& text);
    bool Cancelled() const { return m_bCancelled; }

  protected:
    void OnCancel() override { m_bCancelled = true; }

  private:
    bool m_bCancelled = false;
};

// The progress window of work on the user-interface thread: shown once the work has taken half
// a second, its text set at most ten times a second.
class DelayedProgress {
  public:
    explicit DelayedProgress(int templateId = sx::IDD_PROGRESS);
    // Shows what text() says, when it is time; false once the user asked to stop.
    bool Tick(const std::function<std::string()>& text);
    bool Cancelled() const { return m_window && m_window->Cancelled(); }

  private:
    int m_templateId;
    std::unique_ptr<CProgressDlg> m_window;
    int64_t m_start, m_shown = 0;
};
