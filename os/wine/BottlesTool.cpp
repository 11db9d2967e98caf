// SPDX-License-Identifier: GPL-3.0-or-later
// Bottles: each bottle is a prefix, under the runner its bottle.yml names. Bottles lie in the
// bottles folder of Bottles' data, or in the one its setting custom_bottles_path names; a bottle
// made with a path of its own leaves a placeholder.yml there that names its folder.
#include "os/wine/Tools.h"

namespace sx::os::wine {

namespace {

void ReadBottle(Collector& c, const std::string& dataDir, bool flatpak, std::string folder) {
    if (const std::string* placeholder = c.Read(folder + "/placeholder.yml")) {
        const std::string path = ExpandHome(YamlTexts(*placeholder, {{"Path"}})[0], c.Roots());
        if (path.empty() || path.front() != '/') return;
        folder = path;
    }
    PrefixCandidate p{folder, "Bottles"};
    std::string arch;
    if (const std::string* text = c.Read(p.path + "/bottle.yml")) {
        const std::vector<std::string> bottle = YamlTexts(*text, {{"Runner"}, {"Arch"}});
        p.recorded = bottle[0];
        arch = bottle[1];
    }
    if (p.recorded.rfind("sys-", 0) == 0) {
        // The system's Wine; a Flatpak's is its own, inside its sandbox.
        p.systemWine = !flatpak;
    } else if (!p.recorded.empty()) {
        std::string wine = RunnerWine(dataDir + "/runners/" + p.recorded);
        // A 64-bit bottle runs under the runner's wine64, where it has one, as Bottles starts it.
        if (!wine.empty() && arch == "win64" && IsProgram(wine + "64")) wine += "64";
        if (!wine.empty()) StartUnderWine(p, wine);
    }
    c.Add(std::move(p));
}

}  // namespace

void ReadBottles(Collector& c, const std::string& dataDir, bool flatpak) {
    std::vector<std::string> roots = {dataDir + "/bottles"};
    if (const std::string* data = c.Read(dataDir + "/data.yml")) {
        const std::string custom = ExpandHome(YamlTexts(*data, {{"custom_bottles_path"}})[0], c.Roots());
        if (!custom.empty() && custom.front() == '/' && custom != roots[0]) roots.push_back(custom);
    }
    for (const std::string& root : roots) {
        const std::vector<std::string> names = c.Entries(root);
        for (size_t k = 0; k < names.size(); ++k) {
            if (c.Full("Bottles")) {
                c.PassOver(static_cast<int>(names.size() - k));
                break;
            }
            ReadBottle(c, dataDir, flatpak, root + "/" + names[k]);
        }
    }
}

}  // namespace sx::os::wine
