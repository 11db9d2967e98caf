// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt window host: real widgets built from the dialog templates.
#pragma once

#include <QFont>
#include <QSize>

#include "ui/Host.h"

namespace sx::qt {

class QtHost : public ui::IHost {
  public:
    QtHost();
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

    // The dialog font and its base units (pixels per 4 horizontal and 8 vertical dialog units).
    static QFont DialogFont();
    static QSize BaseUnits();
    static int DluToPixelsX(int dlu);
    static int DluToPixelsY(int dlu);
    // True when the control's text fits inside its rectangle in the font.
    static bool TextFits(const ui::ControlTemplate& c, const QFont& font);

  private:
    ChosenFiles RunFileDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request, bool several);
};

}  // namespace sx::qt
