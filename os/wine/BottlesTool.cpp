// SPDX-License-Identifier: GPL-3.0-or-later
// Bottles: each bottle is a prefix, under the runner its bottle.yml names.
#include "os/wine/Tools.h"

namespace sx::os::wine {

void ReadBottles(Collector& c, const std::string& dataDir, bool flatpak) {
    const std::string root = dataDir + "/bottles";
    for (const std::string& n : c.Entries(root)) {
        PrefixCandidate p{root + "/" + n, "Bottles"};
        if (const auto text = c.Read(p.path + "/bottle.yml")) p.recorded = YamlTexts(*text, {{"Runner"}})[0];
        if (p.recorded.rfind("sys-", 0) == 0) {
            // The system's Wine; a Flatpak's is its own, inside its sandbox.
            p.systemWine = !flatpak;
        } else if (!p.recorded.empty()) {
            if (const std::string wine = RunnerWine(dataDir + "/runners/" + p.recorded); !wine.empty())
                StartUnderWine(p, wine);
        }
        c.Add(std::move(p));
    }
}

}  // namespace sx::os::wine
