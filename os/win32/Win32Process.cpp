// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a program on Windows, and the clock.
#include "os/Paths.h"
#include "os/Process.h"
#include "os/win32/Win32.h"

#include <shellapi.h>

namespace sx::os {

struct RunningProgram::Impl {
    HANDLE process = nullptr;
};

RunningProgram::RunningProgram() : m_impl(std::make_unique<Impl>()) {}

RunningProgram::~RunningProgram() {
    if (m_impl->process != nullptr) ::CloseHandle(m_impl->process);
}

bool RunningProgram::HasEnded() {
    if (m_impl->process == nullptr) return true;
    if (::WaitForSingleObject(m_impl->process, 0) == WAIT_TIMEOUT) return false;
    ::CloseHandle(m_impl->process);
    m_impl->process = nullptr;
    return true;
}

namespace {
std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n ? std::string(text, n) : "error " + std::to_string(error);
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message + ".";
}
}  // namespace

StartResult StartProgram(const std::string& folder, const std::string& exeName,
                         const std::vector<ProgramArgument>& args, RunningProgram* waitable) {
    StartResult result;
    // The program of the game's folder and no other: its full path is the application name,
    // so that no other folder is searched, and the game's folder is its current folder.
    const std::string dir = win32::Normalized(folder);
    const std::string exePath = dir + (dir.empty() || dir.back() == '\\' ? "" : "\\") + exeName;
    const DWORD attrs = ::GetFileAttributesA(exePath.c_str());
    if (!win32::IsAbsolute(folder) || attrs == INVALID_FILE_ATTRIBUTES ||
        (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        result.failure = StartFailure::NotFound;
        return result;
    }
    // The command line the game expects: its name, then each argument after a blank, a quoted
    // one between double quotes.
    std::string commandLine = exeName;
    for (const ProgramArgument& a : args)
        commandLine += " " + (a.quoted ? "\"" + a.text + "\"" : a.text);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir.c_str(), &si, &pi)) {
        result.failure = StartFailure::Failed;
        result.message = SystemMessage(::GetLastError());
        return result;
    }
    ::CloseHandle(pi.hThread);
    if (waitable != nullptr)
        waitable->Native().process = pi.hProcess;
    else
        ::CloseHandle(pi.hProcess);
    result.started = true;
    return result;
}

void InitializeProcess(int, char**) {
    // The current folder is often a downloaded mission pack: no library is ever loaded from it.
    ::SetDllDirectoryA("");
}

bool OpenFolder(const std::string& folder) {
    // Only a folder, and as one: "explore" with a trailing separator opens nothing else.
    if (!IsFolder(folder)) return false;
    std::wstring path = win32::WidePath(win32::Normalized(folder));
    if (path.back() != L'\\') path += L'\\';
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"explore", path.c_str(), nullptr,
                                                     nullptr, SW_SHOWNORMAL)) > 32;
}

// Windows has one registry and runs the game itself: one installation, nothing to choose.
void NamePrefix(const std::string&) {}

std::vector<std::string> InstallationPlaces() {
    return {};
}

std::vector<GameInstallation> GameInstallations(const std::string&, const std::string&,
                                                std::vector<std::string>*) {
    return {};
}

bool RestartWithPrefix(const std::string&) {
    return false;
}

std::optional<WineSubstitution> SubstituteWine(const std::string&, const std::string&) {
    return std::nullopt;
}

int64_t MonotonicMilliseconds() {
    return static_cast<int64_t>(::GetTickCount64());
}

}  // namespace sx::os
