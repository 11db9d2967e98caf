// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of files' contents on Windows, and the clean-up of what killed
// replacements left.
//
// The file is opened once, without following a reparse point (a symbolic link or a junction is
// refused, never written through), and each later step (the lock, the reads of the copy, the
// attribute change, the check before ReplaceFile) acts on that handle.
#include <aclapi.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "os/Backend.h"
#include "os/win32/Win32.h"

namespace sx::os {

namespace {

struct FileId {
    DWORD volume = 0;
    uint64_t index = 0;
    bool operator==(const FileId&) const = default;
};

bool IdOf(HANDLE h, FileId& id, BY_HANDLE_FILE_INFORMATION* all = nullptr) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    id = {info.dwVolumeSerialNumber,
          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    if (all != nullptr) *all = info;
    return true;
}

// What a name leads to now, the name itself where it is a reparse point.
bool IdOfPath(const std::wstring& path, FileId& id, DWORD* attributes = nullptr) {
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = IdOf(h, id, &info);
    if (attributes != nullptr) *attributes = info.dwFileAttributes;
    ::CloseHandle(h);
    return ok;
}

// The full name of the opened file, in the "\\?\" form, which every call below takes at any
// length.
std::wstring FinalPath(HANDLE h, const std::wstring& fallback) {
    std::wstring buf(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()),
                                                FILE_NAME_NORMALIZED);
    if (n == 0 || n >= buf.size()) return fallback;
    buf.resize(n);
    return buf;
}

std::error_code Refused(std::errc e) {
    return std::make_error_code(e);
}

// The attributes SetFileAttributes can set back, and those that keep ReplaceFile out.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_TEMPORARY;
constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Sets the opened file's attributes through its handle, never by its name.
bool SetAttributes(HANDLE h, DWORD attributes) {
    FILE_BASIC_INFO info{};  // times of 0 stay as they are
    info.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) != 0;
}

// The file being replaced, open for its lock and its attributes. The handle shares reading,
// writing and deleting, so it stands in the way of neither a reader nor the replacement itself.
class Target {
  public:
    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target() { CloseTarget(); }
    // False with why; Busy() tells whether another program is in the way.
    bool Open(const std::string& name) {
        CloseTarget();
        m_why = {};
        m_path = win32::WidePath(name);
        if (const std::error_code err = backend::AskFaultHook(FileOp::Open, name)) return Refuse(err);
        const DWORD attrs = ::GetFileAttributesW(m_path.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES) return Refuse(win32::PortableError(::GetLastError()));
        if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) return Refuse(Refused(std::errc::too_many_symbolic_link_levels));
        if (attrs & FILE_ATTRIBUTE_DIRECTORY) return Refuse(Refused(std::errc::is_a_directory));
        // Its attributes are changed through this handle right before it is replaced: a file
        // whose attributes this user may not change may not be changed at all.
        m_h = ::CreateFileW(m_path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (m_h == INVALID_HANDLE_VALUE) {
            const DWORD e = ::GetLastError();
            m_busy = win32::IsBusy(e);
            return Refuse(win32::PortableError(e));
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileType(m_h) != FILE_TYPE_DISK || !IdOf(m_h, m_id, &info))
            return Refuse(Refused(std::errc::invalid_argument));
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return Refuse(Refused(std::errc::too_many_symbolic_link_levels));
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return Refuse(Refused(std::errc::is_a_directory));
        m_attributes = info.dwFileAttributes;
        return true;
    }
    // The lock is a byte range far past the end of any mission: it keeps other rewrites out and
    // no reader waits for it. Taken on the file the name still leads to: a rewrite that
    // finished meanwhile has put another file in its place.
    bool TryLock(const std::string& name) {
        m_busy = true;
        if (m_h == INVALID_HANDLE_VALUE) return false;
        OVERLAPPED ov{};
        ov.Offset = 0xFFFFFFFFu;
        ov.OffsetHigh = 0x7FFFFFFFu;
        if (!::LockFileEx(m_h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov))
            return false;
        m_locked = true;
        FileId now;
        if (IdOfPath(m_path, now) && now == m_id) return true;
        Open(name);
        return false;
    }
    bool Busy() const { return m_busy; }
    std::error_code Why() const { return m_why; }
    HANDLE Handle() const { return m_h; }
    const std::wstring& Path() const { return m_path; }
    const FileId& Id() const { return m_id; }
    DWORD Attributes() const { return m_attributes; }

  private:
    bool Refuse(std::error_code err) {
        m_why = err;
        return false;
    }
    void CloseTarget() {
        m_busy = false;
        if (m_h == INVALID_HANDLE_VALUE) return;
        if (m_locked) {
            OVERLAPPED ov{};
            ov.Offset = 0xFFFFFFFFu;
            ov.OffsetHigh = 0x7FFFFFFFu;
            ::UnlockFileEx(m_h, 0, 1, 0, &ov);
        }
        ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        m_locked = false;
    }
    std::wstring m_path;
    HANDLE m_h = INVALID_HANDLE_VALUE;
    FileId m_id;
    DWORD m_attributes = 0;
    std::error_code m_why;
    bool m_locked = false;
    bool m_busy = false;
};

// Output to the temporary file's handle.
class HandleOutputFile : public backend::BufferedOutputFile {
  public:
    HandleOutputFile(HANDLE h, const std::string& path) : BufferedOutputFile(path), m_h(h) {}
    ~HandleOutputFile() override {
        if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
    }
    HandleOutputFile(const HandleOutputFile&) = delete;
    HandleOutputFile& operator=(const HandleOutputFile&) = delete;

  private:
    bool IsOpen() const override { return m_h != INVALID_HANDLE_VALUE; }
    std::error_code WriteHandle(const char* data, size_t size) override {
        while (size > 0) {
            const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD done = 0;
            if (!::WriteFile(m_h, data, chunk, &done, nullptr) || done == 0)
                return win32::LastError();
            data += done;
            size -= done;
        }
        return {};
    }
    std::error_code SyncHandle() override {
        return ::FlushFileBuffers(m_h) ? std::error_code() : win32::LastError();
    }
    std::error_code CloseHandle() override {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) ? std::error_code() : win32::LastError();
    }
    HANDLE m_h;
};

// A temporary file of our own in folder: created here, never one that was there.
HANDLE CreateTemp(const std::wstring& folder, std::wstring& path, FileId& id) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + win32::Widen(backend::TempName());
        if (!win32::Allowed(FileOp::Open, win32::Narrow(path))) return INVALID_HANDLE_VALUE;
        const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            IdOf(h, id);
            return h;
        }
        const DWORD e = ::GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS && e != ERROR_ACCESS_DENIED)
            return INVALID_HANDLE_VALUE;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

// Removes a file this call made, if the name still leads to it.
void RemoveOurs(const std::wstring& path, const FileId& id) {
    FileId now;
    if (IdOfPath(path, now) && now == id && win32::Allowed(FileOp::Unlink, win32::Narrow(path)))
        ::DeleteFileW(path.c_str());
}

// One file's replacement on its way: the file open and locked, and the copy written but not
// yet in the file's place.
struct Pending {
    Target target;
    std::wstring path, folder, tempPath;
    FileId tempId;
    std::unique_ptr<HandleOutputFile> out;
    LockWait waitForLock;

    ~Pending() {
        if (out) Fail(FileOp::Close, {});
    }
    ReplaceResult Fail(FileOp op, std::error_code err) {
        if (out) out->Close();
        out.reset();
        RemoveOurs(tempPath, tempId);
        return ReplaceResult::Failure(op, err);
    }
};

ReplaceResult InUse() {
    return ReplaceResult::Failure(FileOp::Open,
                                  std::make_error_code(std::errc::device_or_resource_busy), true);
}

// Puts the copy in the file's place with the file's security (ReplaceFile keeps it). The name
// must still lead to the file that was opened. A read-only, hidden or system flag, which keeps
// ReplaceFile out, is cleared through the file's handle right before, one file at a time, and
// set again if the replace fails: a kill leaves at most this one file writable. The file goes
// aside under a backup name of its own first, so that a replace that stops halfway can put it
// back; a program that holds the file open without letting it be deleted is waited for.
ReplaceResult TakePlace(Pending& p) {
    if (!win32::Allowed(FileOp::Rename, win32::Narrow(p.tempPath)))
        return p.Fail(FileOp::Rename, win32::LastError());
    FileId now;
    DWORD nowAttributes = 0;
    if (!IdOfPath(p.path, now, &nowAttributes) || !(now == p.target.Id()) ||
        (nowAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        const bool gone = !IdOfPath(p.path, now);
        ReplaceResult r = p.Fail(FileOp::Rename, Refused(gone ? std::errc::no_such_file_or_directory
                                                            : std::errc::too_many_symbolic_link_levels));
        r.refused = !gone;
        return r;
    }
    std::wstring backupPath;
    FileId backupId;
    const HANDLE backup = CreateTemp(p.folder, backupPath, backupId);
    if (backup == INVALID_HANDLE_VALUE) return p.Fail(FileOp::Rename, win32::LastError());
    ::CloseHandle(backup);
    const DWORD before = p.target.Attributes();
    const bool clear = (before & kInTheWay) != 0;
    if (clear && (!win32::Allowed(FileOp::Chmod, win32::Narrow(p.path)) ||
                  !SetAttributes(p.target.Handle(), FILE_ATTRIBUTE_ARCHIVE))) {
        const std::error_code err = win32::PortableError(::GetLastError());
        ::DeleteFileW(backupPath.c_str());
        ReplaceResult r = p.Fail(FileOp::Chmod, err);
        r.refused = true;
        return r;
    }
    DWORD error = 0;
    const auto replace = [&] {
        error = ::ReplaceFileW(p.path.c_str(), p.tempPath.c_str(), backupPath.c_str(),
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                    ? 0
                    : ::GetLastError();
        return !win32::IsBusy(error);
    };
    if (!replace() && p.waitForLock) p.waitForLock(replace);
    if (error != 0) {
        // The file went aside but the copy did not take its place: it comes back.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExW(backupPath.c_str(), p.path.c_str(), MOVEFILE_REPLACE_EXISTING);
        ::DeleteFileW(backupPath.c_str());
        if (clear) SetAttributes(p.target.Handle(), before & kSettable);
        if (win32::IsBusy(error)) {
            p.Fail(FileOp::Rename, {});
            return InUse();
        }
        return p.Fail(FileOp::Rename, std::error_code(static_cast<int>(error), std::system_category()));
    }
    ::DeleteFileW(backupPath.c_str());
    ReplaceResult done;
    done.ok = true;
    return done;
}

// The user a leftover must belong to: this process's user, or the owner it gives new files (an
// administrator's are the Administrators group's).
bool OwnedByThisUser(HANDLE h) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &sd) != ERROR_SUCCESS)
        return false;
    bool mine = false;
    HANDLE token = nullptr;
    if (owner != nullptr && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
            DWORD size = 0;
            ::GetTokenInformation(token, kind, nullptr, 0, &size);
            std::vector<unsigned char> buffer(size);
            if (size == 0 || !::GetTokenInformation(token, kind, buffer.data(), size, &size)) continue;
            const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                               : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
            mine = mine || ::EqualSid(sid, owner);
        }
        ::CloseHandle(token);
    }
    ::LocalFree(sd);
    return mine;
}

// Removes, from folder (with its trailing separator, in the form the wide calls take), the
// copies of killed rewrites: names of the program's own pattern that are regular files with one
// name, this user's, at least ten seconds old (a copy a running rewrite has just closed waits a
// moment for its ReplaceFile), and open nowhere (opened here alone).
void RemoveLeftoversIn(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    // What killed installs left: a file a replace put aside goes to the recycle bin, never away
    // for good; a staging folder nobody holds goes with the files it holds.
    const HANDLE other = ::FindFirstFileW((folder + L"SX*").c_str(), &data);
    if (other != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = win32::Narrow(data.cFileName);
            const std::wstring path = folder + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (backend::IsReplacedName(name) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                win32::Recycle(path);
            } else if (backend::IsStagingName(name) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                // Opened for this program alone: a running install holds it open.
                const HANDLE held = ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, 0, nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
                if (held == INVALID_HANDLE_VALUE) continue;
                WIN32_FIND_DATAW inside;
                const HANDLE files = ::FindFirstFileW((path + L"\\*").c_str(), &inside);
                if (files != INVALID_HANDLE_VALUE) {
                    do {
                        if (!(inside.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
                            ::DeleteFileW((path + L"\\" + inside.cFileName).c_str());
                    } while (::FindNextFileW(files, &inside));
                    ::FindClose(files);
                }
                ::CloseHandle(held);
                ::RemoveDirectoryW(path.c_str());
            }
        } while (::FindNextFileW(other, &data));
        ::FindClose(other);
    }
    const HANDLE find = ::FindFirstFileW((folder + L"SXTempMission-*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    do {
        const std::wstring path = folder + data.cFileName;
        if (!backend::IsLeftoverName(win32::Narrow(data.cFileName)) ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            ticks(now) - ticks(data.ftLastWriteTime) < 10ull * 10000000ull ||
            !win32::Allowed(FileOp::Unlink, win32::Narrow(path)))
            continue;
        const HANDLE h = ::CreateFileW(path.c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        FileId id;
        BY_HANDLE_FILE_INFORMATION info{};
        if (IdOf(h, id, &info) && info.nNumberOfLinks == 1 &&
            !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            OwnedByThisUser(h)) {
            FILE_DISPOSITION_INFO gone{TRUE};
            ::SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
        }
        ::CloseHandle(h);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

// The most files a group holds at once: its handles and copies, and memory, stay bounded.
constexpr size_t kGroupCapacity = 4096;

}  // namespace

struct ReplacementGroup::Impl {
    std::vector<std::unique_ptr<Pending>> pending;
    std::vector<std::wstring> cleaned;  // folders whose leftovers went
};

ReplacementGroup::ReplacementGroup() : m_impl(std::make_unique<Impl>()) {}

ReplacementGroup::~ReplacementGroup() = default;

size_t ReplacementGroup::Size() const {
    return m_impl->pending.size();
}

bool ReplacementGroup::Full() const {
    return m_impl->pending.size() >= kGroupCapacity;
}

ReplaceResult ReplacementGroup::Add(const std::string& name, const CopyWriter& writeCopy,
                                    const LockWait& waitForLock, const CopyNeeded& needed) {
    if (name.empty()) return ReplaceResult::Refusal(Refused(std::errc::no_such_file_or_directory));
    if (win32::IsDeviceName(name)) return ReplaceResult::Refusal(Refused(std::errc::invalid_argument));
    // Another launcher rewriting the mission, or another program holding it open without letting
    // others read it, is waited for a while (the windows alive meanwhile), then reported in use.
    auto p = std::make_unique<Pending>();
    Target& target = p->target;
    // A second name of a file the group holds already (a hard link) shares its lock, which stays
    // taken until every copy is in place.
    const auto held = [this, &target] {
        return std::any_of(m_impl->pending.begin(), m_impl->pending.end(),
                           [&target](const auto& other) { return other->target.Id() == target.Id(); });
    };
    const auto take = [&target, &name, &held] {
        return (target.Open(name) && (held() || target.TryLock(name))) || (!target.Busy() && target.Why());
    };
    if (!take()) {
        if (!target.Busy()) return ReplaceResult::Refusal(target.Why());
        if (!(waitForLock && waitForLock(take))) return InUse();
    }
    if (target.Handle() == INVALID_HANDLE_VALUE) return ReplaceResult::Refusal(target.Why());
    p->waitForLock = waitForLock;
    p->path = FinalPath(target.Handle(), target.Path());
    const size_t sep = p->path.find_last_of(L"\\/");
    p->folder = sep == std::wstring::npos ? std::wstring() : p->path.substr(0, sep + 1);
    if (std::find(m_impl->cleaned.begin(), m_impl->cleaned.end(), p->folder) == m_impl->cleaned.end()) {
        RemoveLeftoversIn(p->folder);
        m_impl->cleaned.push_back(p->folder);
    }
    const auto readOpened = [&](InputFile& file) {
        HANDLE dup = INVALID_HANDLE_VALUE;
        return ::DuplicateHandle(::GetCurrentProcess(), target.Handle(), ::GetCurrentProcess(),
                                 &dup, GENERIC_READ, FALSE, 0) &&
               win32::AdoptInput(file, dup, name);
    };
    if (needed) {
        InputFile file;
        if (!readOpened(file) || !needed(file)) {
            ReplaceResult left;
            left.unchanged = true;
            return left;
        }
    }
    const HANDLE temp = CreateTemp(p->folder, p->tempPath, p->tempId);
    if (temp == INVALID_HANDLE_VALUE) return ReplaceResult::Failure(FileOp::Open, win32::LastError());
    p->out = std::make_unique<HandleOutputFile>(temp, win32::Narrow(p->tempPath));
    InputFile file;
    if (!readOpened(file) || !writeCopy(file, *p->out)) {
        const std::error_code err = p->out->Error();
        return p->Fail(err ? FileOp::Write : FileOp::Read, err);
    }
    file.Close();
    if (!p->out->Flush()) return p->Fail(FileOp::Flush, p->out->Error());
    m_impl->pending.push_back(std::move(p));
    ReplaceResult added;
    added.ok = true;
    return added;
}

std::vector<ReplaceResult> ReplacementGroup::Commit(const std::function<void(size_t)>& placing) {
    std::vector<std::unique_ptr<Pending>> group = std::move(m_impl->pending);
    m_impl->pending.clear();
    std::vector<ReplaceResult> results(group.size());
    // Every copy on the disk before any takes its file's place.
    for (size_t i = 0; i < group.size(); ++i)
        if (!group[i]->out->Sync()) results[i] = group[i]->Fail(FileOp::Sync, group[i]->out->Error());
    size_t placed = 0;
    for (size_t i = 0; i < group.size(); ++i) {
        Pending& p = *group[i];
        if (!p.out) continue;
        if (!p.out->Close()) {
            results[i] = p.Fail(FileOp::Close, p.out->Error());
            continue;
        }
        p.out.reset();
        results[i] = TakePlace(p);
        if (placing && ++placed % 64 == 0) placing(placed);
    }
    return results;
}

void RemoveLeftoverCopies(const std::string& folder) {
    if (!win32::IsAbsolute(folder)) return;
    std::wstring path = win32::WidePath(win32::Normalized(folder));
    if (path.empty()) return;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    RemoveLeftoversIn(path);
}

}  // namespace sx::os
