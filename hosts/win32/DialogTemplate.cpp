// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/win32/DialogTemplate.h"

#include <cstdlib>

#include "hosts/win32/Win32Text.h"

namespace sx::win32 {

namespace {

// Window styles and control classes the data leaves to the window system.
constexpr uint32_t kChild = 0x40000000;
constexpr uint32_t kVisible = 0x10000000;
constexpr uint32_t kSetFont = 0x40;
constexpr uint32_t k3dLook = 0x4;
constexpr uint32_t kCenter = 0x800;
constexpr uint32_t kRealSizeControl = 0x40;  // a bitmap stretched to its control
constexpr uint16_t kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kListBox = 0x0083;

class Writer {
  public:
    void Word(uint16_t w) { m_words.push_back(w); }
    void Dword(uint32_t d) {
        Word(static_cast<uint16_t>(d & 0xFFFF));
        Word(static_cast<uint16_t>(d >> 16));
    }
    void Text(const std::string& cp1252) {
        for (wchar_t c : Widen(cp1252)) Word(static_cast<uint16_t>(c));
        Word(0);
    }
    void AlignDword() {
        if (m_words.size() % 2 != 0) Word(0);
    }
    std::vector<uint16_t> Take() { return std::move(m_words); }

  private:
    std::vector<uint16_t> m_words;
};

uint16_t ClassOf(ui::ControlKind kind) {
    switch (kind) {
        case ui::ControlKind::PushButton:
        case ui::ControlKind::RadioButton:
            return kButton;
        case ui::ControlKind::Edit:
            return kEdit;
        case ui::ControlKind::ListBox:
            return kListBox;
        case ui::ControlKind::Label:
        case ui::ControlKind::Frame:
        case ui::ControlKind::Picture:
        case ui::ControlKind::Icon:
            break;
    }
    return kStatic;
}

}  // namespace

std::vector<uint16_t> BuildDialogTemplate(const ui::DialogTemplate& dialog) {
    Writer w;
    w.Dword(dialog.style | kSetFont | k3dLook | kCenter);
    w.Dword(dialog.exStyle);
    w.Word(static_cast<uint16_t>(dialog.controls.size()));
    for (int v : {0, 0, dialog.cx, dialog.cy}) w.Word(static_cast<uint16_t>(v));
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(dialog.caption);
    w.Word(static_cast<uint16_t>(dialog.fontPoints));
    w.Text(dialog.fontFace);
    for (const ui::ControlTemplate& c : dialog.controls) {
        w.AlignDword();
        uint32_t style = c.style | kChild | kVisible;
        if (c.kind == ui::ControlKind::Picture) style |= kRealSizeControl;
        w.Dword(style);
        w.Dword(0);
        for (int v : {c.x, c.y, c.cx, c.cy}) w.Word(static_cast<uint16_t>(v));
        w.Word(static_cast<uint16_t>(c.id));
        w.Word(0xFFFF);
        w.Word(ClassOf(c.kind));
        if (c.kind == ui::ControlKind::Picture || c.kind == ui::ControlKind::Icon) {
            // The picture by its resource id.
            w.Word(0xFFFF);
            w.Word(static_cast<uint16_t>(std::atoi(c.text)));
        } else {
            w.Text(c.text);
        }
        w.Word(0);  // no creation data
    }
    return w.Take();
}

}  // namespace sx::win32
