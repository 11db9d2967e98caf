// The about box: program icon, name, version and authors; OK or Escape close it.
#pragma once

#include "platform/Dialog.h"
#include "resources/ResourceIds.h"

class CAboutDlg : public sx::CDialog {
  public:
    CAboutDlg() : CDialog(sx::IDD_ABOUTBOX) {}
};
