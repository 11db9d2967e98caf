// The registry under Wine: the keys of HKEY_LOCAL_MACHINE are read from the prefix's system.reg.
#include <utility>
#include <vector>

#include "base/Text.h"
#include "os/Files.h"
#include "os/Registry.h"
#include "os/wine/Wine.h"
#include "os/wine/WineRegistry.h"

namespace sx::os {

struct RegistryKey::Impl {
    bool open = false;
    std::vector<std::pair<std::string, std::string>> values;
};

RegistryKey::RegistryKey() : m_impl(std::make_unique<Impl>()) {}

RegistryKey::~RegistryKey() = default;

bool RegistryKey::OpenMachineKey(const std::string& subKey) {
    Close();
    const std::string prefix = wine::Prefix();
    if (prefix.empty()) return false;
    InputFile f;
    if (!f.Open(prefix + "/system.reg")) return false;
    std::string text;
    std::vector<char> buf(1 << 16);
    for (;;) {
        const std::ptrdiff_t n = f.Read(buf.data(), buf.size());
        if (n < 0) return false;
        if (n == 0) break;
        text.append(buf.data(), static_cast<size_t>(n));
    }
    std::vector<wine::WineRegValue> values;
    // The 64-bit view first, then the 32-bit one where 32-bit installers write.
    std::string wow = subKey;
    if (StartsWithNoCase(wow, "Software\\")) wow.insert(9, "Wow6432Node\\");
    if (!wine::ReadWineRegistryKey(text, subKey, values) &&
        !wine::ReadWineRegistryKey(text, wow, values))
        return false;
    for (auto& v : values) m_impl->values.emplace_back(std::move(v.name), std::move(v.text));
    m_impl->open = true;
    return true;
}

bool RegistryKey::QueryValue(const std::string& name, std::string& value) const {
    if (!m_impl->open) return false;
    for (const auto& [n, v] : m_impl->values) {
        if (EqualsNoCase(n, name)) {
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
