// SPDX-License-Identifier: GPL-3.0-or-later
// An install's files on Windows: staged in a folder of the install's own, then put in place one
// by one. A file replaced goes aside under a backup name by ReplaceFileW, and from there to the
// recycle bin; where the recycle bin does not take it, it comes back and nothing is replaced.
#include <string>
#include <vector>

#include "os/Backend.h"
#include "os/Install.h"
#include "os/win32/Win32.h"

#include <shellapi.h>

namespace sx::os {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A category folder (as the program holds it) in the long form, with a trailing separator.
std::wstring FolderPath(const std::string& folder) {
    if (!win32::IsAbsolute(folder)) return {};
    std::wstring path = win32::WidePath(win32::Normalized(folder));
    if (path.rfind(L"\\\\?\\", 0) != 0) {
        std::wstring full(32768, L'\0');
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        full.resize(n);
        path = full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
    }
    if (path.back() != L'\\') path += L'\\';
    return path;
}

DWORD AttributesOf(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

class HandleStagedFile : public StagedFile {
  public:
    HandleStagedFile(HANDLE h, std::string path) : m_h(h), m_path(std::move(path)) {}
    ~HandleStagedFile() override {
        if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
    }
    HandleStagedFile(const HandleStagedFile&) = delete;
    HandleStagedFile& operator=(const HandleStagedFile&) = delete;
    bool Write(const char* data, size_t size) override {
        if (m_h == INVALID_HANDLE_VALUE || m_err) return false;
        if (!win32::Allowed(FileOp::Write, m_path)) return Fail(win32::LastError());
        while (size > 0) {
            const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD done = 0;
            if (!::WriteFile(m_h, data, chunk, &done, nullptr) || done == 0) return Fail(win32::LastError());
            data += done;
            size -= done;
        }
        return true;
    }
    std::error_code Error() const override { return m_err; }
    // On the disk before it is put in place: Windows has no flush of a whole volume for users.
    bool Finish() override {
        if (m_h == INVALID_HANDLE_VALUE) return !m_err;
        if (!m_err && !::FlushFileBuffers(m_h)) Fail(win32::LastError());
        ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return !m_err;
    }

  private:
    bool Fail(std::error_code err) {
        if (!m_err) m_err = err;
        return false;
    }
    HANDLE m_h;
    std::string m_path;
    std::error_code m_err;
};

}  // namespace

namespace win32 {

// Sends a file to the recycle bin; false where it would be deleted for good or cannot go.
bool Recycle(const std::wstring& longPath) {
    // The shell takes no "\\?\" path, and none past MAX_PATH.
    std::wstring plain = longPath.rfind(L"\\\\?\\UNC\\", 0) == 0 ? L"\\\\" + longPath.substr(8)
                         : longPath.rfind(L"\\\\?\\", 0) == 0   ? longPath.substr(4)
                                                                 : longPath;
    if (plain.size() >= MAX_PATH || !Allowed(FileOp::Unlink, Narrow(plain))) return false;
    plain.push_back(L'\0');  // the list ends with a second NUL
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = plain.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING;
    return ::SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted &&
           ::GetFileAttributesW(longPath.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace win32

struct StagingFolder::Impl {
    std::wstring path;  // with its trailing separator
    HANDLE held = INVALID_HANDLE_VALUE;
    ~Impl() { Remove(); }
    void Remove() {
        if (held == INVALID_HANDLE_VALUE) return;
        WIN32_FIND_DATAW data;
        const HANDLE find = ::FindFirstFileW((path + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
                    ::DeleteFileW((path + data.cFileName).c_str());
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        ::RemoveDirectoryW(path.c_str());
    }
};

StagingFolder::StagingFolder() : m_impl(std::make_unique<Impl>()) {}

StagingFolder::~StagingFolder() = default;

bool StagingFolder::IsOpen() const {
    return m_impl->held != INVALID_HANDLE_VALUE;
}

bool StagingFolder::Create(const std::string& folder) {
    Impl& s = *m_impl;
    s.Remove();
    const std::wstring parent = FolderPath(folder);
    if (parent.empty()) return false;
    for (int attempt = 0; attempt < 10; ++attempt) {
        s.path = parent + win32::Widen(backend::kStagingStart + backend::RandomHex()) + L"\\";
        if (!win32::Allowed(FileOp::Open, win32::Narrow(s.path))) return false;
        if (!::CreateDirectoryW(s.path.c_str(), nullptr)) {
            if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
            return false;
        }
        // Held open without letting it be deleted: a clean-up passes it over.
        s.held = ::CreateFileW(s.path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr);
        return s.held != INVALID_HANDLE_VALUE;
    }
    return false;
}

std::unique_ptr<StagedFile> StagingFolder::Stage(size_t index) {
    const std::wstring path = m_impl->path + std::to_wstring(index);
    if (!IsOpen() || !win32::Allowed(FileOp::Open, win32::Narrow(path))) return nullptr;
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<HandleStagedFile>(h, win32::Narrow(path));
}

bool StagingFolder::OpenStaged(size_t index, InputFile& in) const {
    const std::wstring path = m_impl->path + std::to_wstring(index);
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return h != INVALID_HANDLE_VALUE && win32::AdoptInput(in, h, win32::Narrow(path));
}

void StagingFolder::Discard(size_t index) {
    if (IsOpen()) ::DeleteFileW((m_impl->path + std::to_wstring(index)).c_str());
}

bool StagingFolder::Sync() {
    return IsOpen();  // every staged file was flushed as it was finished
}

PlaceLookUp LookUpPlace(const std::string& folder, const std::vector<std::string>& parts) {
    PlaceLookUp found;
    found.spelled = parts;
    std::wstring at = FolderPath(folder);
    if (at.empty()) return found;
    for (size_t i = 0; i < parts.size(); ++i) {
        // The file system matches without regard to case, and tells the name as it spells it.
        WIN32_FIND_DATAW data;
        const std::wstring wanted = Wide(parts[i]);
        if (wanted.find_first_of(L"*?") != std::wstring::npos) break;
        const HANDLE find = ::FindFirstFileW((at + wanted).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) break;
        ::FindClose(find);
        found.spelled[i] = Utf8(data.cFileName);
        const bool last = i + 1 == parts.size();
        const DWORD a = data.dwFileAttributes;
        if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
            found.kind = PlaceLookUp::NoFile;
            break;
        }
        if (last) {
            found.kind = (a & FILE_ATTRIBUTE_DIRECTORY) ? PlaceLookUp::NoFile : PlaceLookUp::File;
            break;
        }
        if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
            found.kind = PlaceLookUp::NoFile;
            break;
        }
        at += std::wstring(data.cFileName) + L"\\";
    }
    return found;
}

namespace {
std::wstring PlacePath(const std::string& folder, const std::vector<std::string>& spelled) {
    std::wstring path = FolderPath(folder);
    for (size_t i = 0; i < spelled.size() && !path.empty(); ++i) path += Wide(spelled[i]) + (i + 1 < spelled.size() ? L"\\" : L"");
    return path;
}
}  // namespace

bool OpenPlaced(const std::string& folder, const std::vector<std::string>& spelled, InputFile& in) {
    const std::wstring path = PlacePath(folder, spelled);
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return h != INVALID_HANDLE_VALUE && win32::AdoptInput(in, h, win32::Narrow(path));
}

PlaceResult PlaceStaged(StagingFolder& staging, size_t index, const std::string& folder,
                        const std::vector<std::string>& spelled, bool replace, const LockWait& waitForLock) {
    PlaceResult result;
    const std::wstring staged = staging.Native().path + std::to_wstring(index);
    const std::wstring target = PlacePath(folder, spelled);
    if (!staging.IsOpen() || target.empty() || spelled.empty()) return result;
    // The folders below the category folder, made where they are missing, never through a link.
    std::wstring at = FolderPath(folder);
    for (size_t i = 0; i + 1 < spelled.size(); ++i) {
        at += Wide(spelled[i]) + L"\\";
        ::CreateDirectoryW(at.c_str(), nullptr);
        const DWORD a = AttributesOf(at);
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
            result.outcome = Placed::NotAFile;
            return result;
        }
    }
    if (!win32::Allowed(FileOp::Rename, win32::Narrow(target))) {
        result.error = win32::LastError();
        return result;
    }
    if (!replace) {
        // Never over a file that came meanwhile.
        if (::MoveFileExW(staged.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            result.outcome = Placed::New;
        else
            result.error = win32::PortableError(::GetLastError());
        return result;
    }
    // The file replaced, under the lock a rewrite takes (a byte range far past its end).
    const HANDLE h = ::CreateFileW(target.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = ::GetLastError();
        result.outcome = e == ERROR_ACCESS_DENIED ? Placed::MayNotChange : win32::IsBusy(e) ? Placed::InUse : Placed::Failed;
        result.error = win32::PortableError(e);
        return result;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    ::GetFileInformationByHandle(h, &info);
    const auto done = [&](Placed outcome) {
        ::CloseHandle(h);
        result.outcome = outcome;
        return result;
    };
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return done(Placed::NotAFile);
    OVERLAPPED ov{};
    ov.Offset = 0xFFFFFFFFu;
    ov.OffsetHigh = 0x7FFFFFFFu;
    const auto tryLock = [&] { return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov) != 0; };
    if (!tryLock() && !(waitForLock && waitForLock(tryLock))) return done(Placed::InUse);
    const std::wstring folderOf = target.substr(0, target.find_last_of(L'\\') + 1);
    const std::wstring backup = folderOf + win32::Widen(backend::kReplacedStart + backend::RandomHex() + backend::kTempEnd);
    const DWORD before = info.dwFileAttributes;
    constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const auto setAttributes = [h](DWORD attributes) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
        return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) != 0;
    };
    if ((before & kInTheWay) && !setAttributes(FILE_ATTRIBUTE_ARCHIVE)) return done(Placed::MayNotChange);
    if (!::ReplaceFileW(target.c_str(), staged.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) ::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
        if (before & kInTheWay) setAttributes(before);
        result.error = win32::PortableError(e);
        return done(e == ERROR_ACCESS_DENIED ? Placed::MayNotChange : win32::IsBusy(e) ? Placed::InUse : Placed::Failed);
    }
    ::UnlockFileEx(h, 0, 1, 0, &ov);
    ::CloseHandle(h);
    if (win32::Recycle(backup)) {
        result.outcome = Placed::Replaced;
        return result;
    }
    // The recycle bin does not take it: the old file comes back, the new one goes.
    ::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    result.outcome = Placed::NoTrash;
    return result;
}

void FlushPlaced() {}

Trashed MoveToTrash(const std::string& name, const LockWait& waitForLock) {
    if (name.empty() || win32::IsDeviceName(name)) return Trashed::NotAFile;
    const std::wstring path = win32::WidePath(name);
    const DWORD a = AttributesOf(path);
    if (a == INVALID_FILE_ATTRIBUTES || (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) return Trashed::NotAFile;
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Trashed::InUse;
    OVERLAPPED ov{};
    ov.Offset = 0xFFFFFFFFu;
    ov.OffsetHigh = 0x7FFFFFFFu;
    const auto tryLock = [&] { return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov) != 0; };
    if (!tryLock() && !(waitForLock && waitForLock(tryLock))) {
        ::CloseHandle(h);
        return Trashed::InUse;
    }
    ::UnlockFileEx(h, 0, 1, 0, &ov);
    ::CloseHandle(h);
    std::wstring full(32768, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
    return win32::Recycle(full) ? Trashed::Yes : Trashed::NoTrash;
}

namespace {
void ListInto(const std::wstring& folder, const std::string& prefix, std::vector<TreeEntry>& out, size_t limit,
              bool& complete, int depth) {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring n = data.cFileName;
        if (n == L"." || n == L"..") continue;
        if (out.size() >= limit) {
            complete = false;
            break;
        }
        const DWORD a = data.dwFileAttributes;
        TreeEntry e{prefix + Utf8(n), (a & FILE_ATTRIBUTE_REPARSE_POINT) ? TreeEntry::Link
                                             : (a & FILE_ATTRIBUTE_DIRECTORY)      ? TreeEntry::Folder
                                                                                   : TreeEntry::File};
        out.push_back(e);
        if (e.kind == TreeEntry::Folder && depth < 64) ListInto(folder + n + L"\\", e.name + "/", out, limit, complete, depth + 1);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}
}  // namespace

std::vector<TreeEntry> ListTree(const std::string& hostFolder, size_t limit, bool& complete) {
    std::vector<TreeEntry> out;
    complete = true;
    std::wstring folder = FolderPath(hostFolder);
    if (!folder.empty()) ListInto(folder, "", out, limit, complete, 0);
    return out;
}

bool OpenTreeFile(const std::string& hostFolder, const std::string& name, InputFile& in) {
    std::wstring path = FolderPath(hostFolder);
    if (path.empty()) return false;
    for (const wchar_t c : Wide(name)) path += c == L'/' ? L'\\' : c;
    const DWORD a = AttributesOf(path);
    if (a == INVALID_FILE_ATTRIBUTES || (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) return false;
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return h != INVALID_HANDLE_VALUE && win32::AdoptInput(in, h, win32::Narrow(path));
}

bool CanSpellName(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) return true;
    BOOL lossy = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                          nullptr, &lossy);
    return !lossy;
}

std::string NameForPaths(const std::string& utf8) {
    return win32::Narrow(Wide(utf8));
}

std::string NameForTexts(const std::string& utf8) {
    return NameForPaths(utf8);
}

std::string NameFromPaths(const std::string& spelled) {
    return Utf8(win32::Widen(spelled));
}

}  // namespace sx::os
