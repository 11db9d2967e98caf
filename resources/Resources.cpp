// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>

#include "resources/Resources.h"

#include "resources/ResourceIds.h"
#include "ui/Constants.h"
#include "version/Version.h"

namespace sx {
namespace {
using namespace ui::style;
using ui::ControlTemplate;
using ui::DialogTemplate;
using K = ui::ControlKind;

constexpr uint32_t kDialogStyle = Popup | Caption | SysMenu | ModalFrame;
constexpr uint32_t kListStyle = ListNotify | VScroll | Border | ListNoIntegralHeight | TabStop;
constexpr uint32_t kCountStyle = EditReadOnly | EditCenter | Border;
constexpr uint32_t kCategoryStyle = ButtonAutoRadio | ButtonPushLike | ButtonMultiLine;

constexpr std::array kMainControls = {
    ControlTemplate{ui::NoControlId, K::Frame, "", 7, 7, 380, 48, StaticEtchedFrame},
    ControlTemplate{ui::NoControlId, K::Frame, "", 7, 62, 380, 231, StaticEtchedFrame},
    ControlTemplate{IDC_MISSION_LIST, K::ListBox, "", 16, 78, 124, 177, kListStyle | ListSort | ListWantKeys},
    ControlTemplate{IDC_BRIEFING, K::Edit, "", 145, 78, 231, 152,
                    EditMultiLine | EditReadOnly | VScroll | EditAutoVScroll | Border | TabStop},
    ControlTemplate{ui::NoControlId, K::Label, "Mission Briefing", 146, 66, 50, 8, 0},
    ControlTemplate{ui::NoControlId, K::Label, "Available Missions", 19, 66, 58, 8, 0},
    ControlTemplate{ui::NoControlId, K::Picture, "132", 13, 11, 368, 39, StaticBitmap},
    ControlTemplate{IDC_LAUNCH_MISSION, K::PushButton, "Launch\nMission", 215, 256, 50, 29,
                    ButtonMultiLine | TabStop},
    ControlTemplate{IDC_LAUNCH_GAME, K::PushButton, "Launch\nVantorra", 269, 256, 50, 29,
                    ButtonMultiLine | TabStop},
    ControlTemplate{IDC_SINGLE_MISSIONS, K::RadioButton, "Single\nMissions", 16, 260, 40, 25,
                    kCategoryStyle | Group},
    ControlTemplate{IDC_CAMPAIGN_MISSIONS, K::RadioButton, "Campaign\nMissions", 58, 260, 40, 25,
                    kCategoryStyle},
    ControlTemplate{IDC_CUSTOM_MISSIONS, K::RadioButton, "Custom\nMissions", 100, 260, 40, 25,
                    kCategoryStyle},
    ControlTemplate{ui::NoControlId, K::Label, "Current Callsign :", 145, 237, 54, 8, 0},
    ControlTemplate{IDC_CALLSIGN, K::Edit, "", 200, 235, 130, 12,
                    EditCenter | EditAutoHScroll | Border | TabStop},
    ControlTemplate{IDC_CHANGE_CALLSIGN, K::PushButton, "Change", 333, 235, 44, 12, TabStop},
};

constexpr std::array kAboutControls = {
    ControlTemplate{ui::NoControlId, K::Icon, "128", 11, 17, 20, 20, StaticIcon},
    ControlTemplate{ui::NoControlId, K::Label, kAboutVersion, 55, 10, 65, 20, 0},
    ControlTemplate{ui::NoControlId, K::Label, "Copyright (C) 2026\nThe Sortilex developers", 55,
                    30, 88, 18, 0},
    ControlTemplate{ui::IdOk, K::PushButton, "OK", 142, 7, 32, 14, ButtonDefault | TabStop | Group},
};

constexpr std::array kResultsControls = {
    ControlTemplate{IDC_ALLIED_LOSSES, K::ListBox, "", 7, 88, 119, 82, kListStyle},
    ControlTemplate{ui::NoControlId, K::Label, "Allied Losses :", 42, 78, 46, 8, 0},
    ControlTemplate{IDC_AXIS_LOSSES, K::ListBox, "", 130, 88, 119, 82, kListStyle},
    ControlTemplate{ui::NoControlId, K::Label, "Axis Losses :", 164, 78, 42, 8, 0},
    ControlTemplate{ui::NoControlId, K::Label, "Total Fighter Losses :", 7, 10, 68, 8, 0},
    ControlTemplate{ui::NoControlId, K::Label, "Total Bomber Losses :", 7, 23, 71, 8, 0},
    ControlTemplate{ui::NoControlId, K::Label, "Fighters killed by Player :", 7, 43, 78, 8, 0},
    ControlTemplate{ui::NoControlId, K::Label, "Bombers killed by Player :", 7, 57, 81, 8, 0},
    ControlTemplate{IDC_FIGHTER_LOSSES, K::Edit, "", 91, 7, 40, 12, kCountStyle},
    ControlTemplate{IDC_BOMBER_LOSSES, K::Edit, "", 91, 20, 40, 12, kCountStyle},
    ControlTemplate{IDC_FIGHTERS_BY_PLAYER, K::Edit, "", 91, 41, 40, 12, kCountStyle},
    ControlTemplate{IDC_BOMBERS_BY_PLAYER, K::Edit, "", 91, 55, 40, 12, kCountStyle},
};

constexpr std::array kBatchControls = {
    ControlTemplate{IDC_BATCH_COUNT, K::Label, "Callsign for the missions of this list:", 7, 9, 246,
                    8, 0},
    ControlTemplate{IDC_BATCH_CALLSIGN, K::Edit, "", 7, 21, 246, 12,
                    EditAutoHScroll | Border | TabStop},
    ControlTemplate{IDC_BATCH_OTHER, K::Label,
                    "Some of them hold another callsign now. This cannot be undone.", 7, 40, 246,
                    8, 0},
    ControlTemplate{ui::IdOk, K::PushButton, "OK", 149, 58, 50, 14, ButtonDefault | TabStop | Group},
    ControlTemplate{ui::IdCancel, K::PushButton, "Cancel", 203, 58, 50, 14, TabStop},
};

constexpr std::array kProgressControls = {
    ControlTemplate{IDC_PROGRESS_TEXT, K::Label, "Mission", 7, 9, 246, 8, StaticEndEllipsis},
    ControlTemplate{ui::IdCancel, K::PushButton, "Cancel", 203, 26, 50, 14,
                    ButtonDefault | TabStop | Group},
};

// OK comes first in the tab order, so that it has the focus when the dialog opens: Enter
// installs, and the text is not shown selected. Tab goes on to the text and the list.
constexpr std::array kInstallControls = {
    ControlTemplate{ui::IdOk, K::PushButton, "OK", 249, 181, 50, 14, ButtonDefault | TabStop | Group},
    ControlTemplate{ui::IdCancel, K::PushButton, "Cancel", 303, 181, 50, 14, TabStop},
    ControlTemplate{IDC_INSTALL_TEXT, K::Edit, "", 7, 7, 346, 48,
                    EditMultiLine | EditReadOnly | VScroll | EditAutoVScroll | Border | TabStop | Group},
    ControlTemplate{ui::NoControlId, K::Label, "What becomes of each file:", 7, 61, 120, 8, 0},
    ControlTemplate{IDC_INSTALL_ENTRIES, K::ListBox, "", 7, 71, 346, 104,
                    VScroll | Border | ListNoIntegralHeight | TabStop},
};

constexpr const char* kFont = "MS Sans Serif";

const std::array kDialogs = {
    DialogTemplate{IDD_LAUNCHER_DIALOG, kMainCaption, 394, 300, kFont, 8,
                   kDialogStyle | MinimizeBox, ExAppWindow, kMainControls},
    DialogTemplate{IDD_ABOUTBOX,
                   "Info \xFC"
                   "ber Sortilex",
                   181, 61, kFont, 8, kDialogStyle, 0, kAboutControls},
    DialogTemplate{IDD_RESULTS_DIALOG, "Results Table", 256, 177, kFont, 8, kDialogStyle, 0,
                   kResultsControls},
    DialogTemplate{IDD_BATCH_CALLSIGN, "Callsign for all missions", 260, 79, kFont, 8,
                   kDialogStyle, 0, kBatchControls},
    DialogTemplate{IDD_PROGRESS, "Setting callsign", 260, 47, kFont, 8, kDialogStyle, 0,
                   kProgressControls},
    DialogTemplate{IDD_INSTALL, "Install missions", 360, 202, kFont, 8, kDialogStyle, 0,
                   kInstallControls},
    DialogTemplate{IDD_INSTALL_PROGRESS, "Install missions", 260, 47, kFont, 8, kDialogStyle, 0,
                   kProgressControls},
};

constexpr std::array kPictures = {
    ui::PictureResource{IDR_MAINFRAME, ui::PictureKind::Icon, "sortilex.ico"},
    ui::PictureResource{IDB_BANNER, ui::PictureKind::Bitmap, "banner.bmp"},
};
constexpr std::array kStrings = {
    ui::StringResource{IDS_ABOUTBOX,
                       "Inf&o \xFC"
                       "ber Sortilex..."},
};
}  // namespace

const ui::ResourceTable& AppResources() {
    static const ui::ResourceTable table{kDialogs, kPictures, kStrings};
    return table;
}

}  // namespace sx
