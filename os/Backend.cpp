// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/Backend.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace sx::os {

namespace {
FaultHook& Hook() {
    static FaultHook hook;
    return hook;
}
std::function<std::string()>& TempNameSource() {
    static std::function<std::string()> source;
    return source;
}
OwnerHook& Owners() {
    static OwnerHook hook;
    return hook;
}
}  // namespace

const char* FileOpName(FileOp op) {
    switch (op) {
        case FileOp::Open:
            return "open";
        case FileOp::Read:
            return "read";
        case FileOp::Write:
            return "write";
        case FileOp::Flush:
            return "flush";
        case FileOp::Sync:
            return "sync";
        case FileOp::Close:
            return "close";
        case FileOp::Access:
            return "access";
        case FileOp::Chmod:
            return "chmod";
        case FileOp::Rename:
            return "rename";
        case FileOp::SyncFolder:
            return "sync-folder";
        case FileOp::Unlink:
            return "unlink";
    }
    return "?";
}

void SetFaultHook(FaultHook hook) {
    Hook() = std::move(hook);
}

void SetTempNameSource(std::function<std::string()> source) {
    TempNameSource() = std::move(source);
}

void SetOwnerHook(OwnerHook hook) {
    Owners() = std::move(hook);
}

namespace backend {

std::error_code AskFaultHook(FileOp op, const std::string& path) {
    const FaultHook& hook = Hook();
    return hook ? hook(op, path) : std::error_code();
}

std::optional<PathOwner> AskOwnerHook(const std::string& path) {
    return Owners() ? Owners()(path) : std::nullopt;
}

std::string RandomHex() {
    // 128 random bits: a name nobody else picks, and one no leftover of another program has.
    static std::mt19937_64 rng(std::random_device{}() ^ (uint64_t{std::random_device{}()} << 32));
    char hex[40];
    std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(rng()),
                  static_cast<unsigned long long>(rng()));
    return hex;
}

std::string TempName() {
    if (TempNameSource()) return TempNameSource()();
    return kTempStart + RandomHex() + kTempEnd;
}

namespace {
// start, then kTempDigits lowercase hex digits, then end.
bool HasPattern(std::string_view name, std::string_view start, std::string_view end) {
    if (name.size() != start.size() + kTempDigits + end.size() || !name.starts_with(start) ||
        !name.ends_with(end))
        return false;
    return name.substr(start.size(), kTempDigits).find_first_not_of("0123456789abcdef") ==
           std::string_view::npos;
}
}  // namespace

bool IsStagingName(std::string_view name) {
    return HasPattern(name, kStagingStart, "");
}

bool IsReplacedName(std::string_view name) {
    return HasPattern(name, kReplacedStart, kTempEnd);
}

bool IsLeftoverName(std::string_view name) {
    return HasPattern(name, kTempStart, kTempEnd);
}

bool BufferedOutputFile::Fail(std::error_code err) {
    if (!m_err) m_err = err ? err : std::make_error_code(std::errc::io_error);
    return false;
}

bool BufferedOutputFile::Ask(FileOp op) {
    const std::error_code err = AskFaultHook(op, m_path);
    return !err || Fail(err);
}

bool BufferedOutputFile::Write(const char* data, size_t size) {
    if (!IsOpen() || m_err || !Ask(FileOp::Write)) return false;
    constexpr size_t kBuffer = 1 << 16;
    if (m_buffer.size() + size > kBuffer) {
        if (const std::error_code err = WriteHandle(m_buffer.data(), m_buffer.size()))
            return Fail(err);
        m_buffer.clear();
        if (size > kBuffer) {
            const std::error_code err = WriteHandle(data, size);
            return !err || Fail(err);
        }
    }
    m_buffer.append(data, size);
    return true;
}

bool BufferedOutputFile::Flush() {
    if (!IsOpen() || m_err || !Ask(FileOp::Flush)) return false;
    if (const std::error_code err = WriteHandle(m_buffer.data(), m_buffer.size())) return Fail(err);
    m_buffer.clear();
    return true;
}

bool BufferedOutputFile::Sync() {
    if (!Flush() || !Ask(FileOp::Sync)) return false;
    const std::error_code err = SyncHandle();
    return !err || Fail(err);
}

bool BufferedOutputFile::Close() {
    if (!IsOpen()) return !m_err;
    const bool allowed = Ask(FileOp::Close);
    const std::error_code err = CloseHandle();
    if (allowed && err) Fail(err);
    return !m_err;
}

}  // namespace backend
}  // namespace sx::os
