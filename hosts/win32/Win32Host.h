// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 window host: real dialogs made by the dialog manager from the templates.
#pragma once

#include "ui/Host.h"

namespace sx::win32 {

class Win32Host : public ui::IHost {
  public:
    Win32Host();
    std::unique_ptr<ui::IDialogWindow> CreateDialogWindow(ui::CDialog& dlg,
                                                          ui::IDialogWindow* owner) override;
    void RunUntil(const std::function<bool()>& done, const std::function<bool()>& idle = {}) override;
    void PumpEvents() override;
    int ShowMessageBox(ui::IDialogWindow* owner, const std::string& text,
                       const std::string& caption, unsigned type) override;
    std::optional<std::string> OpenFileDialog(ui::IDialogWindow* owner,
                                              const ui::FileDialogRequest& request) override;
    ChosenFiles OpenFilesDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request) override;
    std::string AppName() const override;
};

}  // namespace sx::win32
