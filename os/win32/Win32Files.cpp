// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Windows: reading, the attribute step, and the helpers of the Windows backend.
#include <cstdint>

#include "os/Backend.h"
#include "os/win32/Win32.h"

namespace sx::os {

namespace win32 {

bool Allowed(FileOp op, const std::string& path) {
    const std::error_code err = backend::AskFaultHook(op, path);
    if (!err) return true;
    ::SetLastError(err.category() == std::system_category() ? static_cast<DWORD>(err.value())
                                                            : ERROR_WRITE_FAULT);
    return false;
}

std::error_code LastError() {
    const DWORD e = ::GetLastError();
    return std::error_code(e != 0 ? static_cast<int>(e) : ERROR_GEN_FAILURE,
                           std::system_category());
}

bool IsDeviceName(const std::string& path) {
    const size_t sep = path.find_last_of("\\/:");
    std::string stem = path.substr(sep == std::string::npos ? 0 : sep + 1);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && (stem.back() == ' ')) stem.pop_back();
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (stem == d) return true;
    return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

bool IsAbsolute(const std::string& path) {
    std::string p = path;
    if (p.rfind("\\\\?\\", 0) == 0) p = p.substr(4);
    if (p.size() >= 2 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) &&
        p[1] == ':')
        return p.size() == 2 || p[2] == '\\' || p[2] == '/';
    return p.size() > 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/') &&
           p[2] != '.' && p[2] != '?';
}

std::string Normalized(const std::string& path) {
    return path.size() == 2 && path[1] == ':' ? path + "\\" : path;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                          nullptr, nullptr);
    return narrow;
}

std::wstring WidePath(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    full.resize(n);
    if (full.size() < MAX_PATH) return wide;  // the plain form takes it as it stands
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool IsBusy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace win32

struct InputFile::Impl {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::string path;
    uint64_t left = 0;  // what may still be read: the size the file had when it was opened
    std::error_code openError;
};

InputFile::InputFile() : m_impl(std::make_unique<Impl>()) {}

InputFile::~InputFile() {
    Close();
}

bool InputFile::IsOpen() const {
    return m_impl->h != INVALID_HANDLE_VALUE;
}

std::error_code InputFile::OpenError() const {
    return m_impl->openError;
}

namespace {
// The system's reason as the portable one the callers tell apart.
std::error_code Portable(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return std::make_error_code(std::errc::device_or_resource_busy);
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_WRITE_PROTECT:
            return std::make_error_code(std::errc::read_only_file_system);
        default:
            return std::error_code(static_cast<int>(error), std::system_category());
    }
}
}  // namespace

bool InputFile::Open(const std::string& name) {
    Close();
    m_impl->openError = {};
    if (OpenRegular(name)) return true;
    if (!m_impl->openError) m_impl->openError = Portable(::GetLastError());
    return false;
}

bool InputFile::OpenRegular(const std::string& name) {
    if (name.empty() || win32::IsDeviceName(name)) {
        m_impl->openError = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    m_impl->path = name;
    if (!win32::Allowed(FileOp::Open, name)) return false;
    const std::wstring path = win32::WidePath(name);
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return false;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
        m_impl->openError = std::make_error_code(std::errc::is_a_directory);
        return false;
    }
    m_impl->h = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_impl->h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(m_impl->h) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(m_impl->h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Close();
        m_impl->openError = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    m_impl->left = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, size_t size) {
    if (m_impl->h == INVALID_HANDLE_VALUE) return -1;
    if (!win32::Allowed(FileOp::Read, m_impl->path)) return -1;
    if (size > m_impl->left) size = static_cast<size_t>(m_impl->left);
    if (size > (1u << 30)) size = 1u << 30;
    if (size == 0) return 0;
    DWORD got = 0;
    if (!::ReadFile(m_impl->h, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    m_impl->left -= got;
    return static_cast<std::ptrdiff_t>(got);
}

bool InputFile::Version(FileVersion& version) const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (m_impl->h == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(m_impl->h, &info))
        return false;
    version.key = {info.dwVolumeSerialNumber,
                   (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                   (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                   (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                       info.ftLastWriteTime.dwLowDateTime,
                   info.dwFileAttributes};
    return true;
}

void InputFile::Close() {
    if (m_impl->h != INVALID_HANDLE_VALUE) ::CloseHandle(m_impl->h);
    m_impl->h = INVALID_HANDLE_VALUE;
}

namespace {
// Archive together with normal: no read-only, hidden or system flag.
constexpr DWORD kWritableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
// The attributes SetFileAttributes can set back.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_TEMPORARY;
}  // namespace

std::optional<FileAttributes> MakeWritable(const std::string& name, std::error_code* why) {
    const auto refuse = [why](std::errc err) -> std::optional<FileAttributes> {
        if (why != nullptr) *why = std::make_error_code(err);
        return std::nullopt;
    };
    if (name.empty()) return refuse(std::errc::no_such_file_or_directory);
    if (win32::IsDeviceName(name)) return refuse(std::errc::invalid_argument);
    const std::wstring path = win32::WidePath(name);
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return refuse(std::errc::no_such_file_or_directory);
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) return refuse(std::errc::is_a_directory);
    if (!win32::Allowed(FileOp::Chmod, name) ||
        !::SetFileAttributesW(path.c_str(), kWritableAttributes))
        return refuse(::GetLastError() == ERROR_WRITE_PROTECT ? std::errc::read_only_file_system
                                                              : std::errc::permission_denied);
    return FileAttributes{attrs & kSettable, (attrs & kSettable) != FILE_ATTRIBUTE_ARCHIVE};
}

void RestoreAttributes(const std::string& name, const FileAttributes& before) {
    if (before.changed && win32::Allowed(FileOp::Chmod, name))
        ::SetFileAttributesW(win32::WidePath(name).c_str(),
                             before.value != 0 ? before.value : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace sx::os
