// SPDX-License-Identifier: GPL-3.0-or-later
// The registry on Windows.
#include <vector>

#include "os/Registry.h"
#include "os/win32/Win32.h"

namespace sx::os {

struct RegistryKey::Impl {
    HKEY key = nullptr;
};

RegistryKey::RegistryKey() : m_impl(std::make_unique<Impl>()) {}

RegistryKey::~RegistryKey() {
    Close();
}

bool RegistryKey::OpenMachineKey(const std::string& subKey, const std::vector<std::string>&) {
    Close();
    // This program's own view of the registry first, then the other one: a 32-bit installer on
    // 64-bit Windows writes into the 32-bit view.
    const bool wide = sizeof(void*) == 8;
    const REGSAM views[] = {wide ? KEY_WOW64_64KEY : KEY_WOW64_32KEY,
                            wide ? KEY_WOW64_32KEY : KEY_WOW64_64KEY};
    for (REGSAM view : views)
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE | view,
                            &m_impl->key) == ERROR_SUCCESS)
            return true;
    m_impl->key = nullptr;
    return false;
}

bool RegistryKey::QueryValue(const std::string& name, std::string& value) const {
    if (m_impl->key == nullptr) return false;
    const char* valueName = name.empty() ? nullptr : name.c_str();
    // Values of any length: the size is asked first, and again when the value grew meanwhile.
    std::vector<char> data(256);
    DWORD type = 0;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LONG r = ::RegQueryValueExA(m_impl->key, valueName, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &size);
        if (r == ERROR_MORE_DATA) {
            data.resize(size + 2);
            continue;
        }
        if (r != ERROR_SUCCESS) return false;
        // Data stored without a terminating NUL ends where its size ends.
        std::string text(data.data(), size);
        value = text.substr(0, text.find('\0'));
        return true;
    }
}

void RegistryKey::Close() {
    if (m_impl->key != nullptr) ::RegCloseKey(m_impl->key);
    m_impl->key = nullptr;
}

}  // namespace sx::os
