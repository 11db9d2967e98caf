// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of a file's content on Windows.
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

bool IdOf(HANDLE h, FileId& id) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    id = {info.dwVolumeSerialNumber,
          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

bool IdOfPath(const std::wstring& path, FileId& id) {
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = IdOf(h, id);
    ::CloseHandle(h);
    return ok;
}

// The file a name leads to, through any link: the one to replace, so that a link stays a link.
// The system gives it in the "\\?\" form, which every call below takes at any length.
std::wstring FinalPath(HANDLE h, const std::wstring& fallback) {
    std::wstring buf(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()),
                                                FILE_NAME_NORMALIZED);
    if (n == 0 || n >= buf.size()) return fallback;
    buf.resize(n);
    return buf;
}

// The file being replaced, open for its lock. The handle shares reading, writing and deleting,
// so it stands in the way of neither a reader nor the replacement itself.
class Target {
  public:
    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target() { CloseTarget(); }
    // False with the system's error; Busy() tells whether another program is in the way.
    bool Open(const std::string& name) {
        CloseTarget();
        m_path = win32::WidePath(name);
        m_h = ::CreateFileW(m_path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_h == INVALID_HANDLE_VALUE) {
            m_busy = win32::IsBusy(::GetLastError());
            return false;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileType(m_h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(m_h, &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::SetLastError(ERROR_INVALID_FUNCTION);
            return false;
        }
        return IdOf(m_h, m_id);
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
    HANDLE Handle() const { return m_h; }
    const std::wstring& Path() const { return m_path; }

  private:
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

// Puts the copy in the file's place with the file's attributes and security (ReplaceFile keeps
// them). The file goes aside under a backup name of its own first, so that a replace that stops
// halfway can put it back; a program that holds the file open without letting it be deleted is
// waited for.
ReplaceResult TakePlace(Pending& p) {
    if (!win32::Allowed(FileOp::Rename, win32::Narrow(p.tempPath)))
        return p.Fail(FileOp::Rename, win32::LastError());
    std::wstring backupPath;
    FileId backupId;
    const HANDLE backup = CreateTemp(p.folder, backupPath, backupId);
    if (backup == INVALID_HANDLE_VALUE) return p.Fail(FileOp::Rename, win32::LastError());
    ::CloseHandle(backup);
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

}  // namespace

struct ReplacementGroup::Impl {
    std::vector<std::unique_ptr<Pending>> pending;
};

ReplacementGroup::ReplacementGroup() : m_impl(std::make_unique<Impl>()) {}

ReplacementGroup::~ReplacementGroup() = default;

size_t ReplacementGroup::Size() const {
    return m_impl->pending.size();
}

ReplaceResult ReplacementGroup::Add(const std::string& name,
                                    const std::function<bool(OutputFile&)>& writeCopy,
                                    const LockWait& waitForLock) {
    const auto fail = [](FileOp op, std::error_code err) { return ReplaceResult::Failure(op, err); };
    if (name.empty() || win32::IsDeviceName(name)) return fail(FileOp::Open, win32::LastError());
    // Another launcher rewriting the mission, or another program holding it open without letting
    // others read it, is waited for a while (the windows alive meanwhile), then reported in use.
    auto p = std::make_unique<Pending>();
    Target& target = p->target;
    const auto take = [&target, &name] { return target.Open(name) && target.TryLock(name); };
    if (!take()) {
        if (!target.Busy()) return fail(FileOp::Open, win32::LastError());
        if (!(waitForLock && waitForLock(take))) return InUse();
    }
    p->waitForLock = waitForLock;
    p->path = FinalPath(target.Handle(), target.Path());
    const size_t sep = p->path.find_last_of(L"\\/");
    p->folder = sep == std::wstring::npos ? std::wstring() : p->path.substr(0, sep + 1);
    const HANDLE temp = CreateTemp(p->folder, p->tempPath, p->tempId);
    if (temp == INVALID_HANDLE_VALUE) return fail(FileOp::Open, win32::LastError());
    p->out = std::make_unique<HandleOutputFile>(temp, win32::Narrow(p->tempPath));
    if (!writeCopy(*p->out)) {
        const std::error_code err = p->out->Error();
        return p->Fail(err ? FileOp::Write : FileOp::Read, err);
    }
    if (!p->out->Flush()) return p->Fail(FileOp::Flush, p->out->Error());
    m_impl->pending.push_back(std::move(p));
    ReplaceResult added;
    added.ok = true;
    return added;
}

std::vector<ReplaceResult> ReplacementGroup::Commit() {
    std::vector<std::unique_ptr<Pending>> group = std::move(m_impl->pending);
    m_impl->pending.clear();
    std::vector<ReplaceResult> results(group.size());
    // Every copy on the disk before any takes its file's place.
    for (size_t i = 0; i < group.size(); ++i)
        if (!group[i]->out->Sync()) results[i] = group[i]->Fail(FileOp::Sync, group[i]->out->Error());
    for (size_t i = 0; i < group.size(); ++i) {
        Pending& p = *group[i];
        if (!p.out) continue;
        if (!p.out->Close()) {
            results[i] = p.Fail(FileOp::Close, p.out->Error());
            continue;
        }
        p.out.reset();
        results[i] = TakePlace(p);
    }
    return results;
}

void RemoveLeftoverCopies() {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(L"SXTempMission-*.tmp", &data);
    if (find == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    do {
        const std::string name = win32::Narrow(data.cFileName);
        // A copy that a running rewrite has just closed waits a moment for its ReplaceFile: only
        // one older than ten seconds, and open nowhere (opened here alone), goes.
        if (!backend::IsLeftoverName(name) ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            ticks(now) - ticks(data.ftLastWriteTime) < 10ull * 10000000ull ||
            !win32::Allowed(FileOp::Unlink, name))
            continue;
        const HANDLE h = ::CreateFileW(data.cFileName, DELETE, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

}  // namespace sx::os
