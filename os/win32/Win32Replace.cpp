// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of a file's content on Windows.
#include <cstdint>

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

bool IdOfPath(const std::string& path, FileId& id) {
    const HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = IdOf(h, id);
    ::CloseHandle(h);
    return ok;
}

// The file a name leads to, through any link: the one to replace, so that a link stays a link.
std::string FinalPath(HANDLE h, const std::string& fallback) {
    char buf[32768];
    const DWORD n = ::GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= sizeof buf) return fallback;
    std::string p(buf, n);
    if (p.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + p.substr(8);
    if (p.rfind("\\\\?\\", 0) == 0) return p.substr(4);
    return p;
}

// The file being replaced, open for its lock. The handle shares reading, writing and deleting,
// so it stands in the way of neither a reader nor the replacement itself.
class Target {
  public:
    ~Target() { CloseTarget(); }
    bool Open(const std::string& name) {
        CloseTarget();
        m_name = name;
        m_h = ::CreateFileA(name.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_h == INVALID_HANDLE_VALUE) return false;
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
    bool TryLock() {
        if (m_h == INVALID_HANDLE_VALUE) return false;
        OVERLAPPED ov{};
        ov.Offset = 0xFFFFFFFFu;
        ov.OffsetHigh = 0x7FFFFFFFu;
        if (!::LockFileEx(m_h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov))
            return false;
        m_locked = true;
        FileId now;
        if (IdOfPath(m_name, now) && now == m_id) return true;
        Open(m_name);
        return false;
    }
    HANDLE Handle() const { return m_h; }

  private:
    void CloseTarget() {
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
    std::string m_name;
    HANDLE m_h = INVALID_HANDLE_VALUE;
    FileId m_id;
    bool m_locked = false;
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
HANDLE CreateTemp(const std::string& folder, std::string& path, FileId& id) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + backend::TempName();
        if (!win32::Allowed(FileOp::Open, path)) return INVALID_HANDLE_VALUE;
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
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
void RemoveOurs(const std::string& path, const FileId& id) {
    FileId now;
    if (IdOfPath(path, now) && now == id && win32::Allowed(FileOp::Unlink, path))
        ::DeleteFileA(path.c_str());
}

}  // namespace

ReplaceResult ReplaceFileSafely(const std::string& name,
                                const std::function<bool(OutputFile&)>& writeCopy,
                                const LockWait& waitForLock) {
    const auto fail = [](FileOp op, std::error_code err) { return ReplaceResult::Failure(op, err); };
    if (name.empty() || win32::IsDeviceName(name)) return fail(FileOp::Open, win32::LastError());
    Target target;
    if (!target.Open(name)) return fail(FileOp::Open, win32::LastError());
    if (!target.TryLock() &&
        !(waitForLock && waitForLock([&target] { return target.TryLock(); })))
        return ReplaceResult::Failure(
            FileOp::Open, std::make_error_code(std::errc::device_or_resource_busy), true);
    const std::string path = FinalPath(target.Handle(), name);
    const size_t sep = path.find_last_of("\\/");
    const std::string folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);

    std::string tempPath;
    FileId tempId;
    const HANDLE temp = CreateTemp(folder, tempPath, tempId);
    if (temp == INVALID_HANDLE_VALUE) return fail(FileOp::Open, win32::LastError());
    HandleOutputFile out(temp, tempPath);
    auto failWith = [&](FileOp op, std::error_code err) {
        out.Close();
        RemoveOurs(tempPath, tempId);
        return fail(op, err);
    };
    if (!writeCopy(out)) {
        const std::error_code err = out.Error();
        return failWith(err ? FileOp::Write : FileOp::Read, err);
    }
    if (!out.Flush()) return failWith(FileOp::Flush, out.Error());
    if (!out.Sync()) return failWith(FileOp::Sync, out.Error());
    if (!out.Close()) return failWith(FileOp::Close, out.Error());

    // The copy takes the file's place with the file's attributes and security: ReplaceFile
    // keeps them. The file goes aside under a backup name of its own first, so that a replace
    // that stops halfway can put it back.
    std::string backupPath;
    FileId backupId;
    const HANDLE backup = CreateTemp(folder, backupPath, backupId);
    if (backup == INVALID_HANDLE_VALUE) return failWith(FileOp::Rename, win32::LastError());
    ::CloseHandle(backup);
    if (!win32::Allowed(FileOp::Rename, tempPath) ||
        !::ReplaceFileA(path.c_str(), tempPath.c_str(), backupPath.c_str(),
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        const std::error_code err = win32::LastError();
        // The mission went aside but the copy did not take its place: it comes back.
        if (err.value() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExA(backupPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
        RemoveOurs(tempPath, tempId);
        ::DeleteFileA(backupPath.c_str());
        return fail(FileOp::Rename, err);
    }
    ::DeleteFileA(backupPath.c_str());
    ReplaceResult done;
    done.ok = true;
    return done;
}

}  // namespace sx::os
