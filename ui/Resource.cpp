// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Resource.h"

namespace sx::ui {

namespace {
ResourceTable g_resources;
}  // namespace

void InstallResources(const ResourceTable& table) {
    g_resources = table;
}

const ResourceTable& Resources() {
    return g_resources;
}

const DialogTemplate* FindDialogTemplate(int id) {
    for (const auto& d : g_resources.dialogs)
        if (d.id == id) return &d;
    return nullptr;
}

const PictureResource* FindPicture(int id) {
    for (const auto& p : g_resources.pictures)
        if (p.id == id) return &p;
    return nullptr;
}

std::string LoadResString(int id) {
    for (const auto& s : g_resources.strings)
        if (s.id == id) return s.text;
    return {};
}

IconHandle LoadIconResource(int id) {
    const PictureResource* r = FindPicture(id);
    return (r != nullptr && r->kind == PictureKind::Icon) ? r : nullptr;
}

namespace {

std::string SpokenText(std::string_view text) {
    std::string spoken;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;  // "&&" says one '&'
        spoken += text[i] == '\n' ? ' ' : text[i];
    }
    while (!spoken.empty() && (spoken.back() == ' ' || spoken.back() == ':')) spoken.pop_back();
    return spoken;
}

bool Overlap(int a, int aLength, int b, int bLength) {
    return a < b + bLength && b < a + aLength;
}

}  // namespace

std::string AccessibleName(const DialogTemplate& dlg, const ControlTemplate& c,
                           std::string_view appName) {
    switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::PushButton:
        case ControlKind::RadioButton:
            return SpokenText(c.text);
        case ControlKind::Picture:
        case ControlKind::Icon:
            return std::string(appName);
        case ControlKind::Frame:
            return {};
        case ControlKind::Edit:
        case ControlKind::ListBox:
            break;
    }
    // The nearest label that ends a little before the control starts, on its left in the same
    // row or above it in the same column (dialog units).
    constexpr int kReach = 20;
    const ControlTemplate* best = nullptr;
    int bestGap = kReach + 1;
    for (const ControlTemplate& l : dlg.controls) {
        if (l.kind != ControlKind::Label || *l.text == '\0') continue;
        int gap = kReach + 1;
        if (Overlap(l.y, l.cy, c.y, c.cy) && l.x < c.x) gap = c.x - (l.x + l.cx);
        else if (Overlap(l.x, l.cx, c.x, c.cx) && l.y < c.y) gap = c.y - (l.y + l.cy);
        if (gap >= -2 && gap < bestGap) {
            best = &l;
            bestGap = gap;
        }
    }
    return best != nullptr ? SpokenText(best->text) : std::string();
}

}  // namespace sx::ui
