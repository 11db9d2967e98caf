// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/windows/WindowsSupport.h"

#include <windows.h>

#include <algorithm>
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
    // Stepped with an error code: a folder too deep for the plain calls ends the walk, not the
    // program.
    for (std::filesystem::recursive_directory_iterator it(m_path, ec), end; !ec && it != end; it.increment(ec))
        ::SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(m_path, ec);
}

namespace {
std::wstring Long(const std::string& path) {
    std::wstring wide = L"\\\\?\\";
    for (const unsigned char c : path) wide += static_cast<wchar_t>(c);  // Latin-1: the code page of the run
    return wide;
}
}  // namespace

GameFolders::GameFolders(size_t length) : m_game(m_folder.path() + "\\Game Folder") {
    while (m_game.size() + 1 < length)
        m_game += "\\" + std::string(std::min<size_t>(60, length - m_game.size() - 1), 'g');
    for (const std::string& folder : {missions(), campaigns()}) {
        for (size_t sep = m_folder.path().size(); sep != std::string::npos;
             sep = folder.find('\\', sep + 1))
            ::CreateDirectoryW(Long(folder.substr(0, sep)).c_str(), nullptr);
        ::CreateDirectoryW(Long(folder).c_str(), nullptr);
    }
}

Installed::Installed(bool withPath, unsigned view, size_t length) : GameFolders(length), m_view(view) {
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

void WriteLongFile(const std::string& path, const std::string& bytes) {
    const HANDLE h = ::CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(h);
}

std::string ReadLongFile(const std::string& path) {
    const HANDLE h = ::CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (h != INVALID_HANDLE_VALUE && ::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        bytes.append(buf, got);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    return bytes;
}

std::vector<std::string> ListLongDir(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const HANDLE h = ::FindFirstFileW((Long(path) + L"\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring n = data.cFileName;
        if (n != L"." && n != L"..") names.emplace_back(n.begin(), n.end());
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
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
