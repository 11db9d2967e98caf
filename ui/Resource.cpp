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

}  // namespace sx::ui
