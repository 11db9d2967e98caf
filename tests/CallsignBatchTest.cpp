// SPDX-License-Identifier: GPL-3.0-or-later
// One callsign for every mission of a list, below any window, on both systems: what each kind of
// mission becomes and how the summary counts it, a failure amid the others, the lock wait spent
// once, groups sharing one sync, and a batch stopped half way.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "missionfile/CallsignBatch.h"
#include "missionfile/MissionText.h"
#include "os/Paths.h"
#include "tests/support/FileBytes.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/windows/WindowsSupport.h"
using TempFolder = wintest::TempFolder;
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TestSupport.h"
using TempFolder = sxtest::TempDir;
#endif

using namespace sx;
using namespace sxtest;

namespace {

// Another program's hold on a mission, as another launcher takes it, for the life of the object.
class HeldByAnother {
  public:
    explicit HeldByAnother(const std::string& path) {
#ifdef _WIN32
        m_handle = ::CreateFileA(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        OVERLAPPED pastTheEnd{};
        pastTheEnd.Offset = 0xFFFFFFFFu;
        pastTheEnd.OffsetHigh = 0x7FFFFFFFu;
        ::LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &pastTheEnd);
#else
        m_fd = ::open(path.c_str(), O_RDONLY);
        ::flock(m_fd, LOCK_EX);
#endif
    }
    ~HeldByAnother() {
#ifdef _WIN32
        ::CloseHandle(m_handle);
#else
        ::close(m_fd);
#endif
    }
    HeldByAnother(const HeldByAnother&) = delete;
    HeldByAnother& operator=(const HeldByAnother&) = delete;

  private:
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    int m_fd = -1;
#endif
};

// A folder of missions made current for the life of the object.
struct MissionFolder {
    MissionFolder() { EXPECT_TRUE(os::ChangeDir(dir.path())); }
    ~MissionFolder() { os::ChangeDir(std::filesystem::temp_directory_path().string()); }
    std::string operator/(const std::string& name) const { return dir / name; }
    TempFolder dir;
};

TEST(CallsignBatch, EveryKindOfMissionAndAFailureAmidThem) {
    enum Outcome { Set, Already, NoRecord, Failed };
    const auto write = [](std::string bytes) {
        return [bytes](const std::string& path) { WriteFile(path, bytes); };
    };
    const auto nothing = [](const std::string&) {};
    TempFolder outside;
    WriteFile(outside / "precious.mis", Mission("Precious.", "Old"));
    MissionFolder folder;
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        Outcome outcome;
        const char* reason = "";
    } rows[] = {
        {"a.mis", write(Mission("A.", "Old")), Set},
        {"b.mis", write(Mission("B.", "New")), Already},
        // The callsign it holds, but a rewrite gives CR LF line ends.
        {"c.mis", write("\t.IsPlayer\n\t.Callsign  New\n\t.MPCallsign  New\n"), Set},
        {"d.mis", write("no player here\r\n"), NoRecord},
        {"e.mis", write(""), NoRecord},
        {"f.mis", [](const std::string& p) { std::filesystem::create_directory(p); }, Failed, "it is not a file"},
        {"g.mis", nothing, Failed, "it is gone"},
        // The fault seam fills the disk as the third copy takes its mission's place.
        {"h.mis", write(Mission("H.", "Old")), Failed, "the disk is full"},
        {"i.mis", write(Mission("I.", "Old")), Failed, "it is in use by another program"},
        {"j.mis", write(Mission("J.", "Old")), Failed, "it is in use by another program"},
#ifdef _WIN32
        {"k.mis",
         [](const std::string& p) {
             WriteFile(p, Mission("K.", "Old"));
             ::SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
         },
         Set},
#else
        // A link to a file outside the folder is never written through.
        {"k.mis", [&outside](const std::string& p) { ::symlink((outside / "precious.mis").c_str(), p.c_str()); },
         Failed, "it is a link"},
        {"l.mis", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }, Failed, "it is not a file"},
#endif
        // The system says the mission is a link (a reparse point on Windows) as it is opened.
        {"m.mis", write(Mission("M.", "Old")), Failed, "it is a link"},
        // A second name of a.mis: both names get their copy, no lock waited for.
        {"n.mis",
         [&folder](const std::string& p) {
#ifdef _WIN32
             ::CreateHardLinkA(p.c_str(), (folder / "a.mis").c_str(), nullptr);
#else
             ::link((folder / "a.mis").c_str(), p.c_str());
#endif
         },
         Set},
        {"z.mis", write(Mission("Z.", "Old")), Set},
    };
    std::vector<std::string> names, before;
    for (const auto& row : rows) {
        row.make(folder / row.name);
        names.push_back(row.name);
        before.push_back(row.outcome == Failed ? "" : ReadFile(folder / row.name));
    }
    const std::vector<std::string> listed = ListDir(folder.dir.path());
    int renames = 0, waits = 0;
#ifdef _WIN32
    const std::error_code diskFull(ERROR_DISK_FULL, std::system_category());
#else
    const std::error_code diskFull = std::make_error_code(std::errc::no_space_on_device);
#endif
    os::SetFaultHook([&renames, diskFull](os::FileOp op, const std::string& path) {
        if (op == os::FileOp::Open && path.ends_with("m.mis"))
            return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return op == os::FileOp::Rename && ++renames == 3 ? diskFull : std::error_code();
    });
    BatchSummary summary;
    {
        const HeldByAnother i(folder / "i.mis"), j(folder / "j.mis");
        summary = SetCallsignInAll(names, "New",
                                   [&waits](const std::function<bool()>& tryLock) {
                                       ++waits;
                                       return tryLock();
                                   });
    }
    os::SetFaultHook(nullptr);

    EXPECT_EQ(waits, 1) << "another program's lock is waited for once a batch";
    std::string expected;
    int set = 0, already = 0, noRecord = 0;
    std::vector<std::string> failures;
    for (size_t k = 0; k < std::size(rows); ++k) {
        const auto& row = rows[k];
        SCOPED_TRACE(row.name);
        set += row.outcome == Set;
        already += row.outcome == Already;
        noRecord += row.outcome == NoRecord;
        if (row.outcome == Failed) {
            failures.push_back(std::string(row.name) + ": " + row.reason);
            if (!before[k].empty()) {
                EXPECT_EQ(ReadFile(folder / row.name), before[k]);
            }
        } else {
            EXPECT_EQ(ReadFile(folder / row.name), row.outcome == Set ? Rewritten(before[k], "New") : before[k]);
        }
    }
    expected = "Callsign set in " + std::to_string(set) + " missions.\n" + std::to_string(already) +
               " already had it.\n" + std::to_string(noRecord) + " have no player record.\n" +
               std::to_string(failures.size()) + " could not be changed:";
    for (const std::string& f : failures) expected += "\n" + f;
    EXPECT_EQ(BatchSummaryText(summary), expected);
    EXPECT_EQ(ListDir(folder.dir.path()), listed) << "nothing left beside the missions";
    EXPECT_EQ(ReadFile(outside / "precious.mis"), Mission("Precious.", "Old"));
    EXPECT_EQ(SetCallsignInAll(names, "New", nullptr).set, 4) << "those held back before";
}

TEST(CallsignBatch, StoppedHalfWayAndSummedUp) {
    // The batch stops before the mission it is asked about; what is done stays done.
    MissionFolder folder;
    std::vector<std::string> names;
    for (int i = 0; i < 150; ++i) {
        names.push_back("m" + std::to_string(i) + ".mis");
        WriteFile(folder / names.back(), Mission("Fly.", "Old"));
    }
    int syncs = 0, folderSyncs = 0;
    os::SetFaultHook([&](os::FileOp op, const std::string&) {
        syncs += op == os::FileOp::Sync;
        folderSyncs += op == os::FileOp::SyncFolder;
        return std::error_code();
    });
    std::vector<std::string> asked;
    BatchProgress progress;
    progress.copying = [&](int index, const std::string& name) {
        EXPECT_EQ(name, names[static_cast<size_t>(index)]);
        asked.push_back(name);
        return index < 140;
    };
    const BatchSummary summary = SetCallsignInAll(names, "New", nullptr, progress);
    os::SetFaultHook(nullptr);
    EXPECT_EQ(asked.size(), 141u);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFile(folder / names[i]), Mission("Fly.", i < 140 ? "New" : "Old")) << names[i];
#ifndef _WIN32
    // The copies made before the stop share one trip to the disk and one to the folder.
    EXPECT_EQ(syncs, 1);
    EXPECT_EQ(folderSyncs, 1);
#endif
    EXPECT_EQ(BatchSummaryText(summary),
              "Callsign set in 140 missions.\n0 already had it.\n0 have no player record.\n"
              "Cancelled after 140 of 150 missions.");

    // Failures beyond twenty are counted, not named.
    BatchSummary many;
    for (int i = 0; i < 23; ++i) many.failed.push_back({"f" + std::to_string(i), "it is gone"});
    const std::string text = BatchSummaryText(many);
    EXPECT_NE(text.find("\n23 could not be changed:\nf0: it is gone\n"), std::string::npos);
    EXPECT_NE(text.find("\nf19: it is gone\nand 3 more"), std::string::npos) << text;
    EXPECT_EQ(text.find("f20"), std::string::npos);
}

}  // namespace
