// The dialog templates, pictures and string table of Sortilex.
#include <array>

#include "platform/Resource.h"
#include "resources/ResourceIds.h"

namespace sx {
namespace {
using namespace style;
using K = ControlKind;

constexpr uint32_t kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr uint32_t kListStyle =
    LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
constexpr uint32_t kCountStyle = ES_READONLY | ES_CENTER | WS_BORDER;
constexpr uint32_t kCategoryStyle = BS_AUTORADIOBUTTON | BS_PUSHLIKE | BS_MULTILINE;

constexpr std::array kMainControls = {
    ControlTemplate{IDC_STATIC, K::Frame, "", 7, 7, 380, 48, SS_ETCHEDFRAME},
    ControlTemplate{IDC_STATIC, K::Frame, "", 7, 62, 380, 231, SS_ETCHEDFRAME},
    ControlTemplate{IDC_MISSION_LIST, K::ListBox, "", 16, 78, 124, 177, kListStyle | LBS_SORT},
    ControlTemplate{
        IDC_BRIEFING, K::Edit, "", 145, 78, 231, 152,
        ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | WS_BORDER | WS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::Label, "Mission Briefing", 146, 66, 50, 8, 0},
    ControlTemplate{IDC_STATIC, K::Label, "Available Missions", 19, 66, 58, 8, 0},
    ControlTemplate{IDC_STATIC, K::Picture, "132", 13, 11, 368, 39, SS_BITMAP},
    ControlTemplate{IDC_LAUNCH_MISSION, K::PushButton, "Launch\nMission", 215, 256, 50, 29,
                    BS_MULTILINE | WS_TABSTOP},
    ControlTemplate{IDC_LAUNCH_GAME, K::PushButton, "Launch\nVantorra", 269, 256, 50, 29,
                    BS_MULTILINE | WS_TABSTOP},
    ControlTemplate{IDC_SINGLE_MISSIONS, K::RadioButton, "Single\nMissions", 16, 260, 40, 25,
                    kCategoryStyle | WS_GROUP},
    ControlTemplate{IDC_CAMPAIGN_MISSIONS, K::RadioButton, "Campaign\nMissions", 58, 260, 40, 25,
                    kCategoryStyle},
    ControlTemplate{IDC_CUSTOM_MISSIONS, K::RadioButton, "Custom\nMissions", 100, 260, 40, 25,
                    kCategoryStyle},
    ControlTemplate{IDC_STATIC, K::Label, "Current Callsign :", 145, 237, 54, 8, 0},
    ControlTemplate{IDC_CALLSIGN, K::Edit, "", 200, 235, 130, 12,
                    ES_CENTER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    ControlTemplate{IDC_CHANGE_CALLSIGN, K::PushButton, "Change", 333, 235, 44, 12, WS_TABSTOP},
};

constexpr std::array kAboutControls = {
    ControlTemplate{IDC_STATIC, K::Icon, "128", 11, 17, 20, 20, SS_ICON},
    ControlTemplate{IDC_STATIC, K::Label, "Sortilex\nVersion 2.1", 55, 10, 65, 20, 0},
    ControlTemplate{IDC_STATIC, K::Label, "Copyright (C) 2026\nThe Sortilex developers", 55, 30, 88,
                    18, 0},
    ControlTemplate{IDOK_CONTROL, K::PushButton, "OK", 142, 7, 32, 14,
                    BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
};

constexpr std::array kResultsControls = {
    ControlTemplate{IDC_ALLIED_LOSSES, K::ListBox, "", 7, 88, 119, 82, kListStyle},
    ControlTemplate{IDC_STATIC, K::Label, "Allied Losses :", 42, 78, 46, 8, 0},
    ControlTemplate{IDC_AXIS_LOSSES, K::ListBox, "", 130, 88, 119, 82, kListStyle},
    ControlTemplate{IDC_STATIC, K::Label, "Axis Losses :", 164, 78, 42, 8, 0},
    ControlTemplate{IDC_STATIC, K::Label, "Total Fighter Losses :", 7, 10, 68, 8, 0},
    ControlTemplate{IDC_STATIC, K::Label, "Total Bomber Losses :", 7, 23, 71, 8, 0},
    ControlTemplate{IDC_STATIC, K::Label, "Fighters killed by Player :", 7, 43, 78, 8, 0},
    ControlTemplate{IDC_STATIC, K::Label, "Bombers killed by Player :", 7, 57, 81, 8, 0},
    ControlTemplate{IDC_FIGHTER_LOSSES, K::Edit, "", 91, 7, 40, 12, kCountStyle},
    ControlTemplate{IDC_BOMBER_LOSSES, K::Edit, "", 91, 20, 40, 12, kCountStyle},
    ControlTemplate{IDC_FIGHTERS_BY_PLAYER, K::Edit, "", 91, 41, 40, 12, kCountStyle},
    ControlTemplate{IDC_BOMBERS_BY_PLAYER, K::Edit, "", 91, 55, 40, 12, kCountStyle},
};

constexpr const char* kFont = "MS Sans Serif";

const std::array kDialogs = {
    DialogTemplate{IDD_LAUNCHER_DIALOG, "Sortilex v2.1", 394, 300, kFont, 8,
                   kDialogStyle | WS_MINIMIZEBOX, WS_EX_APPWINDOW, kMainControls},
    DialogTemplate{IDD_ABOUTBOX,
                   "Info \xFC"
                   "ber Sortilex",
                   181, 61, kFont, 8, kDialogStyle, 0, kAboutControls},
    DialogTemplate{IDD_RESULTS_DIALOG, "Results Table", 256, 177, kFont, 8, kDialogStyle, 0,
                   kResultsControls},
};

constexpr std::array kPictures = {
    PictureResource{IDR_MAINFRAME, ResourceKind::Icon, "sortilex.ico"},
    PictureResource{IDB_BANNER, ResourceKind::Bitmap, "banner.bmp"},
};
}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const auto& d : kDialogs)
        if (d.id == id) return &d;
    return nullptr;
}

const PictureResource* FindPicture(int id) {
    for (const auto& p : kPictures)
        if (p.id == id) return &p;
    return nullptr;
}

std::string LoadResString(int id) {
    if (id == IDS_ABOUTBOX)
        return "Inf&o \xFC"
               "ber Sortilex...";
    return {};
}

}  // namespace sx
