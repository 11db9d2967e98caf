#include "os/Backend.h"

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

namespace backend {

std::error_code AskFaultHook(FileOp op, const std::string& path) {
    const FaultHook& hook = Hook();
    return hook ? hook(op, path) : std::error_code();
}

std::string TempName() {
    if (TempNameSource()) return TempNameSource()();
    static std::mt19937_64 rng(std::random_device{}());
    char name[64];
    std::snprintf(name, sizeof name, "SXTempMission-%08llx.tmp",
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFu));
    return name;
}

}  // namespace backend
}  // namespace sx::os
