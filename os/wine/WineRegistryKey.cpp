// SPDX-License-Identifier: GPL-3.0-or-later
// The registry under Wine: the keys of HKEY_LOCAL_MACHINE are read from the prefix's system.reg.
#include <utility>
#include <vector>

#include "base/Text.h"
#include "os/Files.h"
#include "os/Registry.h"
#include "os/wine/PrefixSearch.h"
#include "os/wine/Wine.h"
#include "os/wine/WineRegistry.h"

namespace sx::os {

struct RegistryKey::Impl {
    bool open = false;
    std::vector<std::pair<std::string, std::string>> values;
};

RegistryKey::RegistryKey() : m_impl(std::make_unique<Impl>()) {}

RegistryKey::~RegistryKey() = default;

bool RegistryKey::OpenMachineKey(const std::string& subKey,
                                 const std::vector<std::string>& valueNames) {
    Close();
    // Unless the user named the prefix, the registry is that of the prefix holding the key,
    // whichever tool made it; the rest of the run works in that prefix.
    if (!wine::PrefixNamed()) {
        wine::PrefixCandidate found;
        for (const wine::PrefixCandidate& p : wine::PrefixesHolding(subKey)) {
            if (p.refused.empty()) {
                found = p;
                break;
            }
        }
        wine::UseFoundPrefix(found);
    }
    const std::string prefix = wine::Prefix();
    if (prefix.empty()) return false;
    // The 64-bit view first, then the 32-bit one where 32-bit installers write; one pass finds
    // both.
    std::string wow = subKey;
    if (StartsWithNoCase(wow, "Software\\")) wow.insert(9, "Wow6432Node\\");
    const std::string_view wanted[] = {subKey, wow};
    const std::vector<std::string_view> names(valueNames.begin(), valueNames.end());
    std::vector<wine::WineRegKey> keys;
    if (!wine::ScanWineRegistryFile(prefix + "/system.reg", wanted, names, keys)) return false;
    for (wine::WineRegKey& key : keys) {
        if (!key.found) continue;
        for (auto& v : key.values)
            m_impl->values.emplace_back(std::move(v.name), std::move(v.text));
        m_impl->open = true;
        return true;
    }
    return false;
}

bool RegistryKey::QueryValue(const std::string& name, std::string& value) const {
    if (!m_impl->open) return false;
    for (const auto& [n, v] : m_impl->values) {
        if (EqualsNoCaseUtf8(n, name)) {
            value = v;
            return true;
        }
    }
    return false;
}

void RegistryKey::Close() {
    m_impl->open = false;
    m_impl->values.clear();
}

}  // namespace sx::os
