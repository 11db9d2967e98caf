// SPDX-License-Identifier: GPL-3.0-or-later
// What a hostile pack or a second user of the machine puts where missions lie: a mission that is
// a link to a file outside (the player's shell start-up), a name swapped in a loop between links
// or between a link and a file; and files that look like the rewrite's leftovers but are not.
// Nothing outside the mission folder ever changes, and the clean-up removes only its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "missionfile/CallsignBatch.h"
#include "os/Paths.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
namespace fs = std::filesystem;

namespace {

const std::string kShellStart = "alias ls='ls --color'\nexport PATH=$HOME/bin:$PATH\n";

// Swaps a name in a loop, in a process of its own, until the object goes: each step puts a fresh
// object in the name's place in one rename, as another user of a shared folder would.
class Swapper {
  public:
    Swapper(const std::string& name, std::vector<std::function<void(const std::string&)>> makers) {
        m_pid = ::fork();
        if (m_pid != 0) return;
        for (unsigned i = 0;; ++i) {
            const std::string next = name + ".next";
            makers[i % makers.size()](next);
            ::rename(next.c_str(), name.c_str());
        }
    }
    ~Swapper() {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    Swapper(const Swapper&) = delete;
    Swapper& operator=(const Swapper&) = delete;

  private:
    pid_t m_pid;
};

TEST(Links, AMissionThatIsALinkIsNeverWrittenThrough) {
    // The player's shell start-up, and another user's mission, outside the mission folder.
    TempDir home;
    const std::string bashrc = home / ".bashrc", theirs = home / "theirs.mis";
    const auto link = [](const std::string& to) {
        return [to](const std::string& p) { ::symlink(to.c_str(), p.c_str()); };
    };
    const auto file = [](const std::string& p) { WriteFile(p, Mission("Own.", "Old")); };
    const struct {
        const char* what;
        std::vector<std::function<void(const std::string&)>> swaps;  // none: a link that stays
        bool fileAmidThem;  // the name is a mission now and then
    } attacks[] = {
        {"a link to a file outside", {}, false},
        {"swapped between two links", {link(bashrc), link(theirs)}, false},
        {"swapped between a link and a mission", {link(bashrc), file}, true},
    };
    const struct {
        const char* way;
        // Changes the mission Aaa.mis of the launcher's single missions; true when it said
        // that the mission cannot be changed because it is a link.
        std::function<bool(Launcher& l)> change;
    } ways[] = {
        {"Change",
         [](Launcher& l) {
             l.host.messages.clear();
             l.wnd().SelectListItem(IDC_MISSION_LIST, 0);
             l.Change("Intruder");
             return bool(OneMessage(l.host, text::kCannotModify));
         }},
        {"the list's batch",
         [](Launcher& l) {
             os::ChangeDir(l.prefix.missions());
             const BatchSummary s = SetCallsignInAll({"Aaa.mis"}, "Intruder", nullptr);
             return s.failed.size() == 1 && s.failed[0].reason == "it is a link";
         }},
        {"the command line",
         [](Launcher& l) {
             TempDir scratch;
             const CommandRun run = RunCommandLine({"--set-callsign", "Intruder", l.Missions("Aaa.mis")}, scratch.path());
             return run.code == 1 && run.out.find("Aaa.mis: it is a link\n") != std::string::npos;
         }},
    };
    for (const auto& attack : attacks) {
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(attack.what) + ", " + way.way);
            WriteFile(bashrc, kShellStart);
            WriteFile(theirs, "\t.IsPlayer\n\t.Skill  1\n\t.Callsign  rm -rf ~\n");
            Launcher l;
            fs::create_symlink(bashrc, l.Missions("Aaa.mis"));
            l.Open();
            int refused = 0;
            {
                std::unique_ptr<Swapper> swapper;
                if (!attack.swaps.empty()) swapper = std::make_unique<Swapper>(l.Missions("Aaa.mis"), attack.swaps);
                const int tries = attack.swaps.empty() ? 1 : 40;
                for (int i = 0; i < tries; ++i) refused += way.change(l) ? 1 : 0;
                // Where a mission comes now and then, it may be changed, or be swapped away
                // under the change, which then changes nothing.
                if (!attack.fileAmidThem) {
                    EXPECT_EQ(refused, tries);
                }
            }
            EXPECT_EQ(ReadFile(bashrc), kShellStart);
            EXPECT_EQ(ReadFile(theirs), "\t.IsPlayer\n\t.Skill  1\n\t.Callsign  rm -rf ~\n");
            EXPECT_EQ(ListDir(home.path()), (Items{".bashrc", "theirs.mis"}));
            const std::string now = fs::is_symlink(l.Missions("Aaa.mis")) ? "" : ReadFile(l.Missions("Aaa.mis"));
            EXPECT_TRUE(now.empty() || now == Mission("Own.", "Old") || now == Mission("Own.", "Intruder")) << now;
            EXPECT_TRUE(l.Leftovers(l.prefix.missions()).empty());
        }
    }
}

TEST(Leftovers, OnlyTheProgramsOwnCopiesGo) {
    // Named like the copy of a killed rewrite, in the folder listed and changed: only a regular
    // file of the program's own pattern, with one name, this user's and held by nobody, goes.
    const std::string kLeftover = "SXTempMission-0123456789abcdef0123456789abcdef.tmp";
    TempDir outside;
    const struct {
        const char* what;
        std::string name;
        std::function<void(const std::string& path, Launcher& l)> make;
        bool goes;
    } rows[] = {
        {"the copy of a killed rewrite", kLeftover, [](auto& p, auto&) { WriteFile(p, "half a mission"); }, true},
        {"another user's", kLeftover,
         [](auto& p, auto&) {
             WriteFile(p, "theirs");
             ::chown(p.c_str(), 65534, 65534);
         },
         false},
        {"a hard link to a mission", kLeftover, [](auto& p, Launcher& l) { fs::create_hard_link(l.Missions("a.mis"), p); },
         false},
        {"a folder", kLeftover, [](auto& p, auto&) { MakeDirs(p); }, false},
        {"a link to a file outside", kLeftover,
         [&outside](auto& p, auto&) {
             WriteFile(outside / "kept", "kept");
             fs::create_symlink(outside / "kept", p);
         },
         false},
        {"the old pattern", "SXTempMission-0123abcd.tmp", [](auto& p, auto&) { WriteFile(p, "the player's"); }, false},
        {"an upper-case pattern", "SXTempMission-0123456789ABCDEF0123456789ABCDEF.tmp",
         [](auto& p, auto&) { WriteFile(p, "the player's"); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        WriteFile(l.Missions("a.mis"), Mission("A.", "Old"));
        const std::string path = l.Missions(row.name);
        row.make(path, l);
        l.Open();
        l.Change("New");
        EXPECT_EQ(ReadFile(l.Missions("a.mis")), Mission("A.", "New"));
        EXPECT_EQ(fs::exists(fs::symlink_status(path)), !row.goes);
    }
    // The copy a running rewrite holds stays, however long it takes.
    {
        Launcher l;
        WriteFile(l.Missions("a.mis"), Mission("A.", "Old"));
        WriteFile(l.Missions(kLeftover), "being written");
        const int held = ::open(l.Missions(kLeftover).c_str(), O_RDONLY);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            ::pause();
            ::_exit(0);
        }
        ::close(held);
        l.Open();
        l.Change("New");
        EXPECT_TRUE(Exists(l.Missions(kLeftover)));
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    }
    // The single missions' folder is missing: nothing is removed in the folder the program was
    // started from (or any other that happens to be current).
    {
        Launcher l;
        TempDir start;
        WriteFile(start / kLeftover, "not the program's");
        fs::remove_all(l.prefix.missions());
        ASSERT_EQ(::chdir(start.path().c_str()), 0);
        l.Open();
        l.Change("New");
        EXPECT_TRUE(Exists(start / kLeftover));
        ASSERT_EQ(::chdir("/"), 0);
    }
}

}  // namespace
