// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's registry, read as text.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace sx::os {

// One key of HKEY_LOCAL_MACHINE, opened for reading values. Under Wine the key is read from the
// prefix's system.reg; the 32-bit view (Wow6432Node) is looked at second.
class RegistryKey {
  public:
    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    // False when the key does not exist or the registry cannot be read. valueNames are the
    // values QueryValue will be asked for: where the registry is a file that is read whole,
    // only they are kept, so that a key with a great many values costs no more.
    bool OpenMachineKey(const std::string& subKey, const std::vector<std::string>& valueNames);
    // An empty name is the key's unnamed value. False when there is no such value.
    bool QueryValue(const std::string& name, std::string& value) const;
    void Close();

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sx::os
