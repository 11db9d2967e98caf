// Resource types: dialog templates, icons, bitmaps and strings described as data, so that every
// window backend builds the same windows from one source (the data lives in resources/).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace sx {

// Window and control styles. The values are those of the Win32 headers, so a Win32 backend can
// hand them to the system unchanged.
namespace style {
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;  // on a dialog, not a control
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t DS_MODALFRAME = 0x0080;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;
// List box.
constexpr uint32_t LBS_NOTIFY = 0x0001;
constexpr uint32_t LBS_SORT = 0x0002;
constexpr uint32_t LBS_NOINTEGRALHEIGHT = 0x0100;
// Edit.
constexpr uint32_t ES_CENTER = 0x0001;
constexpr uint32_t ES_MULTILINE = 0x0004;
constexpr uint32_t ES_AUTOVSCROLL = 0x0040;
constexpr uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr uint32_t ES_READONLY = 0x0800;
// Button.
constexpr uint32_t BS_DEFPUSHBUTTON = 0x0001;
constexpr uint32_t BS_AUTORADIOBUTTON = 0x0009;
constexpr uint32_t BS_MULTILINE = 0x2000;
constexpr uint32_t BS_PUSHLIKE = 0x1000;
// Static.
constexpr uint32_t SS_ICON = 0x0003;
constexpr uint32_t SS_BITMAP = 0x000E;
constexpr uint32_t SS_ETCHEDFRAME = 0x0012;
}  // namespace style

enum class ControlKind { Label, Frame, Picture, Icon, PushButton, RadioButton, Edit, ListBox };

// Id of a control without one (labels, frames and pictures).
constexpr int IDC_STATIC = -1;

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

enum class ResourceKind { Icon, Bitmap };

// A picture resource: its id and the file that holds it inside resources/.
struct PictureResource {
    int id;
    ResourceKind kind;
    const char* fileName;
};

// An icon handle is the icon resource it was loaded from.
using HICON = const PictureResource*;

// Looks up the resource data (defined in resources/). Null when there is no such resource.
const DialogTemplate* FindDialogTemplate(int id);
const PictureResource* FindPicture(int id);
// Loads a string of the string table; empty when there is none.
std::string LoadResString(int id);

inline const ControlTemplate* FindControl(const DialogTemplate& dlg, int id) {
    for (const auto& c : dlg.controls)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace sx
