// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/windows/WindowsSupport.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

namespace wintest {

namespace {
const char* const kGameKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe";
}  // namespace

TempFolder::TempFolder() {
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    for (;;) {
        m_path = std::string(base) + "sortilex-test-" + std::to_string(::GetCurrentProcessId()) +
                 "-" + std::to_string(++counter);
        if (::CreateDirectoryA(m_path.c_str(), nullptr)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Leave the folder before removing it, so that being current does not keep it.
    char cwd[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, cwd);
    if (std::string(cwd).rfind(m_path, 0) == 0) ::SetCurrentDirectoryA("C:\\");
    for (const auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
        ::SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(m_path, ec);
}

Installed::Installed(bool withPath, unsigned view) : m_view(view) {
    std::filesystem::create_directories(missions());
    std::filesystem::create_directories(campaigns());
    HKEY key = nullptr;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                      &key, nullptr);
    const std::string exe = game() + "\\vnt.exe";
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(exe.c_str()),
                     static_cast<DWORD>(exe.size() + 1));
    if (withPath) {
        const std::string folder = game();
        ::RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>(folder.size() + 1));
    }
    ::RegCloseKey(key);
}

Installed::~Installed() {
    Uninstall();
}

void Uninstall() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kGameKey, view, 0);
}

Env::Env(const char* name, const std::string& value) : m_name(name) {
    ::SetEnvironmentVariableA(name, value.c_str());
    _putenv_s(name, value.c_str());
}

Env::~Env() {
    ::SetEnvironmentVariableA(m_name.c_str(), nullptr);
    _putenv_s(m_name.c_str(), "");
}

}  // namespace wintest
