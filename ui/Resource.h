// SPDX-License-Identifier: GPL-3.0-or-later
// Resource types: dialog templates, icons, bitmaps and strings described as data, so that every
// window host builds the same windows from one source (the data lives in resources/).
//
// Names here are chosen so that no macro of the Windows headers takes them: this header is
// compiled with <windows.h> included before or after it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sx::ui {

// Window and control styles. The values are those of the Win32 headers, so a Win32 host can
// hand them to the system unchanged.
namespace style {
inline constexpr uint32_t TabStop = 0x00010000;
inline constexpr uint32_t Group = 0x00020000;
inline constexpr uint32_t MinimizeBox = 0x00020000;  // on a dialog, not a control
inline constexpr uint32_t SysMenu = 0x00080000;
inline constexpr uint32_t VScroll = 0x00200000;
inline constexpr uint32_t Border = 0x00800000;
inline constexpr uint32_t Caption = 0x00C00000;
inline constexpr uint32_t Popup = 0x80000000;
inline constexpr uint32_t ModalFrame = 0x0080;
inline constexpr uint32_t ExAppWindow = 0x00040000;  // extended style
// List box.
inline constexpr uint32_t ListNotify = 0x0001;
inline constexpr uint32_t ListSort = 0x0002;
inline constexpr uint32_t ListNoIntegralHeight = 0x0100;
inline constexpr uint32_t ListWantKeys = 0x0400;  // the dialog hears its Delete key
// Edit.
inline constexpr uint32_t EditCenter = 0x0001;
inline constexpr uint32_t EditMultiLine = 0x0004;
inline constexpr uint32_t EditAutoVScroll = 0x0040;
inline constexpr uint32_t EditAutoHScroll = 0x0080;
inline constexpr uint32_t EditReadOnly = 0x0800;
// Button.
inline constexpr uint32_t ButtonDefault = 0x0001;
inline constexpr uint32_t ButtonAutoRadio = 0x0009;
inline constexpr uint32_t ButtonPushLike = 0x1000;
inline constexpr uint32_t ButtonMultiLine = 0x2000;
// Static.
inline constexpr uint32_t StaticIcon = 0x0003;
inline constexpr uint32_t StaticBitmap = 0x000E;
inline constexpr uint32_t StaticEtchedFrame = 0x0012;
// A text too long for its label ends in "..." (a mission name of any length in one line).
inline constexpr uint32_t StaticEndEllipsis = 0x4000;
}  // namespace style

enum class ControlKind { Label, Frame, Picture, Icon, PushButton, RadioButton, Edit, ListBox };

// Id of a control without one (labels, frames and pictures).
inline constexpr int NoControlId = -1;

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // single-byte text; for pictures and icons, the resource id in decimal
    int x, y, cx, cy;  // dialog units
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // dialog units
    const char* fontFace;
    int fontPoints;
    uint32_t style;
    uint32_t exStyle;
    std::span<const ControlTemplate> controls;  // in tab order
};

enum class PictureKind { Icon, Bitmap };

// A picture resource: its id and the file that holds it inside resources/.
struct PictureResource {
    int id;
    PictureKind kind;
    const char* fileName;
};

struct StringResource {
    int id;
    const char* text;
};

// Everything a program's windows are built from.
struct ResourceTable {
    std::span<const DialogTemplate> dialogs;
    std::span<const PictureResource> pictures;
    std::span<const StringResource> strings;
};

// An icon handle is the icon resource it was loaded from.
using IconHandle = const PictureResource*;

// The program's resources, installed once at start-up (the application object does it).
void InstallResources(const ResourceTable& table);
const ResourceTable& Resources();

// Look-ups in the installed resources. Null (or empty text) when there is no such resource.
const DialogTemplate* FindDialogTemplate(int id);
const PictureResource* FindPicture(int id);
std::string LoadResString(int id);
IconHandle LoadIconResource(int id);

// The name a screen reader gives a control: a button's own caption, an edit's or a list's label
// (the label just left of it or just above it), a picture's the program's name. Decorative
// frames have none. Without the '&' of a mnemonic, line breaks as spaces, no closing colon.
std::string AccessibleName(const DialogTemplate& dlg, const ControlTemplate& c,
                           std::string_view appName);

inline const ControlTemplate* FindControl(const DialogTemplate& dlg, int id) {
    for (const auto& c : dlg.controls)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace sx::ui
