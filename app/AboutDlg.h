// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: program icon, name, version and authors; OK or Escape close it.
#pragma once

#include "resources/ResourceIds.h"
#include "ui/Dialog.h"

class CAboutDlg : public sx::ui::CDialog {
  public:
    CAboutDlg() : CDialog(sx::IDD_ABOUTBOX) {}
};
