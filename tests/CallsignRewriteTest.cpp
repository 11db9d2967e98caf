// Rewriting the callsign: the copy itself, the window's handler, every failing file step, and
// a rewrite killed at random moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "missionfile/MissionText.h"
#include "os/Files.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
using sx::os::FileOp;

namespace {

std::string Copy(const std::string& in, const std::string& callsign) {
    MemorySource src(in);
    StringSink sink;
    EXPECT_TRUE(CopyWithCallsign(src, sink, callsign));
    return sink.text;
}

TEST(CallsignCopy, Records) {
    const std::string longLine = "\t.Note  " + std::string(3000, 'n');
    const struct {
        const char* what;
        std::string in, callsign, out;
    } cases[] = {
        {"one record", "A\n\t.IsPlayer\n\t.Skill 2\n\t.Callsign  Old\n\t.MPCallsign  Other\nZ\n",
         "New",
         "A\r\n\t.IsPlayer\r\n\t.Skill 2\r\n\t.Callsign  New\r\n\t.MPCallsign  New\r\nZ\r\n"},
        {"empty callsign", "\t.IsPlayer\nx\n\t.Callsign  Old\n\t.MPCallsign  Old\n", "",
         "\t.IsPlayer\r\nx\r\n\t.Callsign  \r\n\t.MPCallsign  \r\n"},
        {"two records", "\t.IsPlayer\na\nc\nm\n-\n\t.IsPlayer\nb\nc\nm\n", "Two",
         "\t.IsPlayer\r\na\r\n\t.Callsign  Two\r\n\t.MPCallsign  Two\r\n-\r\n\t.IsPlayer\r\nb\r\n"
         "\t.Callsign  Two\r\n\t.MPCallsign  Two\r\n"},
        {"trailing blanks kept", "\t.IsPlayer\nx\nc\nm\n", "Bob  ",
         "\t.IsPlayer\r\nx\r\n\t.Callsign  Bob  \r\n\t.MPCallsign  Bob  \r\n"},
        {"no record: only line ends change", "a\r\nb\nc", "X", "a\r\nb\r\nc\r\n"},
        {"record cut short by the end", "a\n\t.IsPlayer\n", "X",
         "a\r\n\t.IsPlayer\r\n\r\n\t.Callsign  X\r\n\t.MPCallsign  X\r\n"},
        {"long lines stay whole", longLine + "\n\t.IsPlayer\n" + longLine + "\nc\nm\n", "X",
         longLine + "\r\n\t.IsPlayer\r\n" + longLine +
             "\r\n\t.Callsign  X\r\n\t.MPCallsign  X\r\n"},
        {"bytes after a control-Z kept",
         "\t.IsPlayer\nx\nc\nm\nlast\x1a\n\t.IsPlayer\nnot\nread\n\xff", "X",
         "\t.IsPlayer\r\nx\r\n\t.Callsign  X\r\n\t.MPCallsign  "
         "X\r\nlast\x1a\n\t.IsPlayer\nnot\nread\n\xff"},
        {"control-Z at a line start",
         "a\n\x1a"
         "b",
         "X",
         "a\r\n\x1a"
         "b"},
        {"lone CR and NUL kept", std::string("a\rb\0c\n", 6), "X", std::string("a\rb\0c\r\n", 7)},
    };
    for (const auto& c : cases) {
        const std::string once = Copy(c.in, c.callsign);
        EXPECT_EQ(once, c.out) << c.what;
        EXPECT_EQ(Copy(once, c.callsign), once) << c.what << ": twice is once";
    }
}

// A fresh prefix with one mission and the main window open on it.
struct OneMission : Launcher {
    explicit OneMission(const std::string& bytes, const std::string& name = "m.mis")
        : path(Missions(name)) {
        WriteFile(path, bytes);
        Open();
    }
    std::string path;
    Items Leftovers() const { return Launcher::Leftovers(prefix.missions()); }
};

const std::string kMission =
    ".Mission\r\n.MissionSummary\r\nFly.\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  2\r\n"
    "\t.Callsign  Old One\r\n\t.MPCallsign  Old Two\r\n.End\r\n";

TEST(CallsignChange, RewritesTheFileAndReadsItBack) {
    OneMission l(kMission);
    ASSERT_EQ(l.wnd().Text(IDC_CALLSIGN), "Old One");
    l.Change("Red Leader");
    EXPECT_TRUE(NoMessage(l.host));
    const std::string expected =
        ".Mission\r\n.MissionSummary\r\nFly.\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  "
        "2\r\n"
        "\t.Callsign  Red Leader\r\n\t.MPCallsign  Red Leader\r\n.End\r\n";
    EXPECT_EQ(ReadFile(l.path), expected);
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Red Leader");
    EXPECT_EQ(l.wnd().Text(IDC_BRIEFING), "\r\r\nFly.");
    EXPECT_TRUE(l.Leftovers().empty());
    // Twice in a row: the same lines.
    l.Change("Red Leader");
    EXPECT_EQ(ReadFile(l.path), expected);
    // An empty callsign.
    l.Change("");
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "");
    EXPECT_NE(ReadFile(l.path).find("\t.Callsign  \r\n\t.MPCallsign  \r\n"), std::string::npos);
}

TEST(CallsignChange, BriefingIsReadAgain) {
    OneMission l(kMission);
    // Another program changed the file meanwhile: the reload shows it.
    WriteFile(l.path, ".MissionSummary\nNew text\n.EndMissionSummary\n\t.IsPlayer\nx\nc\nm\n");
    l.Change("Z");
    EXPECT_EQ(l.wnd().Text(IDC_BRIEFING), "\r\r\nNew text");
}

TEST(CallsignLoad, AFileChangedBetweenTheTwoLoadsIsReadAfresh) {
    OneMission l(kMission);
    l.dlg->LoadBriefing();
    WriteFile(l.path, "\t.IsPlayer\nx\n\t.Callsign  Changed meanwhile\n");
    l.dlg->LoadCallsign();
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Changed meanwhile");
    // And a load on its own, with no briefing load before it, reads the file too.
    WriteFile(l.path, "\t.IsPlayer\nx\n\t.Callsign  Alone\n");
    l.dlg->LoadCallsign();
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Alone");
}

TEST(CallsignChange, ReadOnlyFileIsMadeWritable) {
    OneMission l(kMission);
    ASSERT_EQ(::chmod(l.path.c_str(), 0444), 0);
    l.Change("Ace");
    EXPECT_TRUE(NoMessage(l.host));
    struct stat st {};
    ASSERT_EQ(::stat(l.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Ace");
}

TEST(CallsignChange, PermissionBitsKeptAndLinksStayLinks) {
    sxtest::TempDir elsewhere;
    OneMission l(kMission);
    ASSERT_EQ(::chmod(l.path.c_str(), 0640), 0);
    l.Change("A");
    struct stat st {};
    ASSERT_EQ(::stat(l.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A mission that is a link to a file in another folder.
    WriteFile(elsewhere / "real.mis", kMission);
    std::filesystem::remove(l.path);
    std::filesystem::create_symlink(elsewhere / "real.mis", l.path);
    l.Change("Linked");
    EXPECT_TRUE(std::filesystem::is_symlink(l.path));
    EXPECT_NE(ReadFile(elsewhere / "real.mis").find("\t.Callsign  Linked\r\n"), std::string::npos);
    EXPECT_TRUE(sxtest::ListDir(elsewhere.path()) == std::vector<std::string>{"real.mis"});
}

TEST(CallsignChange, RefusalsChangeNothing) {
    OneMission l(kMission);
    // A callsign with a line break, or with characters the code page lacks.
    for (const auto& [typed, exact] : {std::pair<std::string, bool>{"Red\r\nLeader", true},
                                       {"Red\nLeader", true},
                                       {"Red ? Leader", false}}) {
        l.Change(typed, exact);
        EXPECT_TRUE(OneMessage(l.host, text::kBadCallsign));
        EXPECT_EQ(ReadFile(l.path), kMission);
    }
    // Nothing selected: the attribute step fails.
    std::filesystem::remove(l.path);
    l.wnd().Click(IDC_SINGLE_MISSIONS);
    ASSERT_EQ(l.wnd().Items(IDC_MISSION_LIST).size(), 0u);
    l.Change("Nobody");
    EXPECT_TRUE(OneMessage(l.host, text::kCannotModify));
    EXPECT_TRUE(sxtest::ListDir(l.prefix.missions()).empty());
}

TEST(CallsignChange, MissionNamedLikeTheTemporaryFile) {
    OneMission l(kMission, "SXTempMission.mis");
    l.Change("Temp");
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_NE(ReadFile(l.path).find("\t.MPCallsign  Temp\r\n"), std::string::npos);
    EXPECT_EQ(l.Leftovers(), std::vector<std::string>{"SXTempMission.mis"});
}

TEST(CallsignChange, EveryFailingFileStepLeavesTheFileUnchanged) {
    const struct {
        FileOp op;
        bool attributeStep;  // the failure is the attribute step's own message
    } cases[] = {
        {FileOp::Open, false},  {FileOp::Read, false},   {FileOp::Write, false},
        {FileOp::Flush, false}, {FileOp::Sync, false},   {FileOp::Close, false},
        {FileOp::Chmod, false}, {FileOp::Rename, false}, {FileOp::Chmod, true},
    };
    for (const auto& c : cases) {
        OneMission l(kMission);
        std::vector<std::string> calls;
        bool failed = false;
        os::SetFaultHook([&](FileOp op, const std::string& path) {
            const bool temp = path.find("SXTemp") != std::string::npos;
            calls.push_back(std::string(os::FileOpName(op)) + (temp ? " temp" : ""));
            // Reads of the mission that the rewrite makes come after the temporary file opened.
            const bool rewriteStep = c.attributeStep ? !temp && op == FileOp::Chmod
                                                     : (temp || op == FileOp::Read) &&
                                                           std::find(calls.begin(), calls.end(),
                                                                     "open temp") != calls.end();
            if (op == c.op && rewriteStep && !failed) {
                failed = true;
                return std::make_error_code(std::errc::no_space_on_device);
            }
            return std::error_code();
        });
        l.Change("Never");
        os::SetFaultHook(nullptr);
        const std::string what =
            std::string(os::FileOpName(c.op)) + (c.attributeStep ? " (attributes)" : "");
        EXPECT_TRUE(failed) << what;
        EXPECT_EQ(ReadFile(l.path), kMission) << what;
        EXPECT_TRUE(l.Leftovers().empty()) << what;
        EXPECT_TRUE(
            OneMessage(l.host, c.attributeStep ? text::kCannotModify : text::kLeftUnchanged))
            << what;
        EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Old One") << what;
    }
}

TEST(CallsignChange, DataReachesTheDiskBeforeTheRename) {
    OneMission l(kMission);
    std::vector<std::string> calls;
    os::SetFaultHook([&](FileOp op, const std::string& path) {
        if (path.find("SXTemp") != std::string::npos || op == FileOp::SyncFolder ||
            op == FileOp::Rename)
            calls.push_back(os::FileOpName(op));
        return std::error_code();
    });
    l.Change("Order");
    os::SetFaultHook(nullptr);
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    EXPECT_EQ(calls, (std::vector<std::string>{"open", "write", "flush", "sync", "close", "chmod",
                                               "rename", "sync-folder"}));
}

TEST(CallsignChange, PermissionRefusedForAnOrdinaryUser) {
    // Root ignores permissions; the rewrite is run again as an unprivileged user where possible.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    OneMission l(kMission);
    ASSERT_EQ(::chmod(l.prefix.root().c_str(), 0755), 0);
    // nobody may read the folder but not change the root-owned mission or its folder.
    const int status = sxtest::RunAsNobody([&] {
        l.Change("Intruder");
        return OneMessage(l.host, text::kCannotModify);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(l.path), kMission);
}

TEST(CallsignChange, KilledAtRandomMomentsLeavesOldOrNewBytes) {
    // A mission large enough that a kill lands inside the copy.
    std::string big = kMission;
    for (int i = 0; i < 20000; ++i) big += "\t.Waypoint  " + std::to_string(i) + " 1200 300\r\n";
    OneMission l(big);
    const std::string withA = Copy(big, "Alpha");
    const std::string withB = Copy(big, "Bravo");
    std::mt19937 rng(20261206);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    // The soak run asks for more rounds.
    const char* wanted = std::getenv("SORTILEX_KILL_ROUNDS");
    const int rounds = wanted ? std::atoi(wanted) : 200;
    int kills = 0, midRewrite = 0;
    for (int round = 0; round < rounds; ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i) l.Change(i % 2 ? "Alpha" : "Bravo");
        }
        ::usleep(static_cast<useconds_t>(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        kills += WIFSIGNALED(status) ? 1 : 0;
        // A temporary file left behind means the kill came in the middle of a rewrite.
        midRewrite += l.Leftovers().empty() ? 0 : 1;
        const std::string now = ReadFile(l.path);
        ASSERT_TRUE(now == big || now == withA || now == withB)
            << "round " << round << ": " << now.size() << " bytes";
    }
    EXPECT_EQ(kills, rounds);
    EXPECT_GT(midRewrite, rounds / 4) << "too few kills landed inside a rewrite to prove anything";
    std::printf("%d kills, %d of them inside a rewrite; the mission was whole every time\n", kills,
                midRewrite);
}

TEST(CallsignChange, TwoProcessesAtOnceLeaveACompleteFile) {
    std::string big = kMission;
    for (int i = 0; i < 5000; ++i) big += "\t.Waypoint  " + std::to_string(i) + " 1200 300\r\n";
    OneMission l(big);
    const std::string withA = Copy(big, "Alpha");
    const std::string withB = Copy(big, "Bravo");
    for (int round = 0; round < 50; ++round) {
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        pid_t pids[2];
        for (int p = 0; p < 2; ++p) {
            pids[p] = ::fork();
            ASSERT_GE(pids[p], 0);
            if (pids[p] == 0) {
                ::close(go[1]);
                char c;
                // Both start the moment the pipe closes.
                (void)::read(go[0], &c, 1);
                l.host.messages.clear();
                l.Change(p == 0 ? "Alpha" : "Bravo");
                ::_exit(l.host.messages.empty() ? 0 : 1);
            }
        }
        ::close(go[0]);
        ::close(go[1]);
        for (pid_t pid : pids) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        const std::string now = ReadFile(l.path);
        ASSERT_TRUE(now == withA || now == withB)
            << "round " << round << ": " << now.size() << " bytes";
        ASSERT_TRUE(l.Leftovers().empty()) << "round " << round;
    }
}

}  // namespace
