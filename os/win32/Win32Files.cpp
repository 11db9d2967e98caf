// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Windows: reading, and the helpers of the Windows backend.
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

namespace {
std::wstring& LongFolder() {
    static std::wstring folder;
    return folder;
}
}  // namespace

const std::wstring& LongCurrentFolder() {
    return LongFolder();
}

void SetLongCurrentFolder(std::wstring folder) {
    LongFolder() = std::move(folder);
}

std::wstring WidePath(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    if (!LongFolder().empty() && !IsAbsolute(path) && !wide.empty() && wide[0] != L'\\' &&
        wide[0] != L'/')
        return LongFolder() + L"\\" + wide;
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

std::error_code PortableError(DWORD error) {
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
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        default:
            return std::error_code(static_cast<int>(error), std::system_category());
    }
}

bool AdoptInput(InputFile& file, HANDLE h, const std::string& path) {
    file.Close();
    InputFile::Impl& impl = file.Native();
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(h);
        impl.openError = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    impl.h = h;
    impl.path = path;
    impl.offset = 0;
    impl.left = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    impl.openError = {};
    return true;
}

}  // namespace win32

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

bool InputFile::Open(const std::string& name) {
    Close();
    m_impl->openError = {};
    if (OpenRegular(name)) return true;
    if (!m_impl->openError) m_impl->openError = win32::PortableError(::GetLastError());
    return false;
}

bool InputFile::OpenSame(const InputFile& other) {
    Close();
    HANDLE dup = INVALID_HANDLE_VALUE;
    if (other.m_impl->h == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), other.m_impl->h, ::GetCurrentProcess(), &dup, 0,
                           FALSE, DUPLICATE_SAME_ACCESS)) {
        m_impl->openError = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    return win32::AdoptInput(*this, dup, other.m_impl->path);
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
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (!win32::AdoptInput(*this, h, name)) {
        m_impl->openError = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, size_t size) {
    if (m_impl->h == INVALID_HANDLE_VALUE) return -1;
    if (!win32::Allowed(FileOp::Read, m_impl->path)) return -1;
    if (size > m_impl->left) size = static_cast<size_t>(m_impl->left);
    if (size > (1u << 30)) size = 1u << 30;
    if (size == 0) return 0;
    // At a position of its own: several readers of one opened file each read it whole.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(m_impl->offset);
    at.OffsetHigh = static_cast<DWORD>(m_impl->offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(m_impl->h, buffer, static_cast<DWORD>(size), &got, &at))
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    m_impl->left -= got;
    m_impl->offset += got;
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

}  // namespace sx::os
