// SPDX-License-Identifier: GPL-3.0-or-later
// "Change": the rewrite of the selected mission through the window, what it keeps of the file,
// and every file step failing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "os/Files.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
using sx::os::FileOp;

namespace {

const std::string kMission =
    ".Mission\r\n.MissionSummary\r\nFly.\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  2\r\n"
    "\t.Callsign  Old One\r\n\t.MPCallsign  Old Two\r\n.End\r\n";

std::string WithCallsign(const std::string& callsign) {
    return kMission.substr(0, kMission.find("\t.Callsign")) + "\t.Callsign  " + callsign +
           "\r\n\t.MPCallsign  " + callsign + "\r\n.End\r\n";
}

unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(CallsignChange, RewritesTheFileAndReadsItBack) {
    OneMission l(kMission);
    ASSERT_EQ(l.wnd().Text(IDC_CALLSIGN), "Old One");
    l.Change("Red Leader");
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_EQ(ReadFile(l.path), WithCallsign("Red Leader"));
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Red Leader");
    EXPECT_EQ(l.wnd().Text(IDC_BRIEFING), "\r\r\nFly.");
    EXPECT_TRUE(l.Leftovers().empty());
    // Twice in a row: the same lines.
    l.Change("Red Leader");
    EXPECT_EQ(ReadFile(l.path), WithCallsign("Red Leader"));
    // An empty callsign.
    l.Change("");
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "");
    EXPECT_EQ(ReadFile(l.path), WithCallsign(""));
    // Another program changed the file meanwhile: the briefing is read again.
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

TEST(CallsignChange, WhatTheFileWasIsKept) {
    OneMission l(kMission);
    // Permission bits, and the extended attributes where the file system keeps them.
    ASSERT_EQ(::chmod(l.path.c_str(), 0640), 0);
    const bool xattrs = ::setxattr(l.path.c_str(), "user.sortilex", "kept", 4, 0) == 0;
    l.Change("A");
    EXPECT_EQ(Mode(l.path), 0640u);
    if (xattrs) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(l.path.c_str(), "user.sortilex", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
}

TEST(CallsignChange, ReadOnlyFilesAndSharedFolders) {
    // Root ignores permissions: the player is the unprivileged user nobody here.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const struct {
        const char* what;
        uid_t owner;
        unsigned mode;
        const char* message;  // nullptr: rewritten
        unsigned modeAfter;
    } cases[] = {
        {"the player's read-only file: made writable", 65534, 0444, nullptr, 0644},
        {"a file the player may write but does not own", 0, 0666, nullptr, 0666},
        {"a file the player may neither write nor make writable", 0, 0644, text::kCannotModify,
         0644},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OneMission l(kMission);
        // The folder is the player's and everybody's, as a shared mission folder is.
        for (std::string d = l.prefix.missions(); d.size() >= l.prefix.root().size();
             d = std::filesystem::path(d).parent_path())
            ::chmod(d.c_str(), 0777);
        ASSERT_EQ(::chown(l.path.c_str(), c.owner, c.owner), 0);
        ASSERT_EQ(::chmod(l.path.c_str(), c.mode), 0);
        const int status = RunAsNobody([&] {
            l.Change("Ace");
            return c.message ? bool(OneMessage(l.host, c.message)) : bool(NoMessage(l.host));
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(ReadFile(l.path), c.message ? kMission : WithCallsign("Ace"));
        EXPECT_EQ(Mode(l.path), c.modeAfter);
    }
}

TEST(CallsignChange, RefusalsChangeNothing) {
    OneMission l(kMission);
    // A callsign with a line break, or with characters the code page lacks.
    for (const auto& [typed, exact] : {std::pair<std::string, bool>{"Red\r\nLeader", true},
                                       {"Red\nLeader", true}, {"Red\tLeader", true},
                                       {"Red\x1a", true}, {"Red ? Leader", false}}) {
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
    EXPECT_TRUE(ListDir(l.prefix.missions()).empty());
}

TEST(CallsignChange, EveryFailingFileStepLeavesTheFileAsItWas) {
    const auto failure = std::make_error_code(std::errc::no_space_on_device);
    struct Case {
        FileOp op;         // the step of the rewrite that fails (on the temporary file, or the
                           // mission's reads during the copy)
        bool notWritable;  // the player cannot write the file, so it is made writable first
        const char* message;
    };
    std::vector<Case> cases;
    for (FileOp op : {FileOp::Open, FileOp::Read, FileOp::Write, FileOp::Flush, FileOp::Sync,
                      FileOp::Chmod, FileOp::Close, FileOp::Rename})
        cases.push_back({op, false, text::kLeftUnchanged});
    // Made writable, then the rewrite fails: the file gets its read-only mode back; or the
    // attribute step itself fails.
    cases.push_back({FileOp::Rename, true, text::kLeftUnchanged});
    cases.push_back({FileOp::Access, true, text::kCannotModify});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(os::FileOpName(c.op)) + (c.notWritable ? ", not writable" : ""));
        OneMission l(kMission);
        const unsigned mode = c.notWritable ? 0444 : 0644;
        ASSERT_EQ(::chmod(l.path.c_str(), mode), 0);
        bool failed = false, tempOpened = false;
        int accessChecks = 0;
        os::SetFaultHook([&](FileOp op, const std::string& path) {
            const bool temp = path.find("SXTemp") != std::string::npos;
            if (temp && op == FileOp::Open) tempOpened = true;
            if (op == FileOp::Access && c.notWritable && ++accessChecks == 1)
                return std::make_error_code(std::errc::permission_denied);
            if (c.op == FileOp::Access && op == FileOp::Chmod && !temp && !failed) {
                failed = true;
                return failure;
            }
            const bool rewriteStep = temp || (op == FileOp::Read && tempOpened);
            if (op == c.op && rewriteStep && !failed) {
                failed = true;
                return failure;
            }
            return std::error_code();
        });
        l.Change("Never");
        os::SetFaultHook(nullptr);
        EXPECT_TRUE(failed);
        EXPECT_EQ(ReadFile(l.path), kMission);
        EXPECT_EQ(Mode(l.path), mode);
        EXPECT_TRUE(l.Leftovers().empty());
        EXPECT_TRUE(OneMessage(l.host, c.message));
        EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Old One");
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
    EXPECT_EQ(calls,
              (Items{"open", "write", "flush", "chmod", "close", "sync", "rename", "sync-folder"}));
}

}  // namespace
