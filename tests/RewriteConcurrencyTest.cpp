// SPDX-License-Identifier: GPL-3.0-or-later
// Rewrites that meet other programs: a rewrite or a whole list's batch killed at random moments,
// two launchers at once on one mission or on two missions of one folder, a lock another program
// holds, readers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "missionfile/CallsignBatch.h"
#include "missionfile/MissionText.h"
#include "os/Files.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
using Clock = std::chrono::steady_clock;

namespace {

// A mission large enough that a rewrite takes a while.
std::string BigMission(int waypoints) {
    std::string big = Mission("Fly.", "Old");
    for (int i = 0; i < waypoints; ++i)
        big += "\t.Waypoint  " + std::to_string(i) + " 1200 300\r\n";
    return big;
}

int Rounds(int normal) {
    const char* wanted = std::getenv("SORTILEX_ROUNDS");
    return wanted ? std::atoi(wanted) : normal;
}

// Runs body in a child process; returns a handle that waits for it.
struct Child {
    explicit Child(const std::function<int()>& body) {
        pid = ::fork();
        if (pid == 0) ::_exit(body());
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    }
    pid_t pid;
};

// Takes a mission's lock in another process for a while, as another launcher does.
Child HoldLock(const std::string& path, int milliseconds) {
    int ready[2];
    if (::pipe(ready) != 0) std::abort();
    Child holder([&] {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) return 1;
        if (::write(ready[1], "x", 1) != 1) return 1;
        ::usleep(static_cast<useconds_t>(milliseconds) * 1000);
        return 0;
    });
    char c;
    if (::read(ready[0], &c, 1) != 1) std::abort();
    ::close(ready[0]);
    ::close(ready[1]);
    return holder;
}

TEST(RewriteConcurrency, KilledAtRandomMomentsLeavesOldOrNewBytes) {
    // A single change of one big mission, and one callsign for a whole list (its missions
    // written in groups that share one sync, a fifth of them read-only ones the player owns but
    // may not write): killed at any moment, every mission is whole, old or new, a read-only one
    // is still read-only unless it is new, and a later run leaves no temporary file behind.
    const struct {
        const char* what;
        int missions, waypoints, rounds, maxDelayUs;
        bool batch;
    } cases[] = {
        {"a single change", 1, 20000, Rounds(200), 20000, false},
        {"the whole list", 150, 300, Rounds(50), 60000, true},
    };
    std::mt19937 rng(20261206);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Launcher l;
        const std::string big = BigMission(c.waypoints);
        const std::string withA = Rewritten(big, "Alpha"), withB = Rewritten(big, "Bravo");
        std::vector<std::string> names;
        std::vector<bool> readOnly;
        for (int i = 0; i < c.missions; ++i) {
            names.push_back("m" + std::to_string(i) + ".mis");
            WriteFile(l.Missions(names.back()), big);
            readOnly.push_back(c.batch && i % 5 == 0);
            if (readOnly.back()) ::chmod(l.Missions(names.back()).c_str(), 0444);
        }
        // Root may write any file: the player's refusal comes through the fault seam, which the
        // killed process inherits.
        os::SetFaultHook([](os::FileOp op, const std::string& path) {
            struct stat st {};
            return op == os::FileOp::Access && ::stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)
                       ? std::make_error_code(std::errc::permission_denied)
                       : std::error_code();
        });
        l.Open();
        std::uniform_int_distribution<int> delayUs(0, c.maxDelayUs);
        int kills = 0, midRewrite = 0;
        for (int round = 0; round < c.rounds; ++round) {
            Child rewriter([&] {
                for (int i = 0;; ++i) {
                    if (c.batch)
                        SetCallsignInAll(names, i % 2 ? "Alpha" : "Bravo", nullptr);
                    else
                        l.Change(i % 2 ? "Alpha" : "Bravo");
                }
                return 0;
            });
            ::usleep(static_cast<useconds_t>(delayUs(rng)));
            ::kill(rewriter.pid, SIGKILL);
            kills += rewriter.Wait() == 100 ? 1 : 0;
            // A temporary file left behind means the kill came in the middle of a rewrite.
            midRewrite += l.Leftovers(l.prefix.missions()).empty() ? 0 : 1;
            for (size_t k = 0; k < names.size(); ++k) {
                const std::string now = ReadFile(l.Missions(names[k]));
                ASSERT_TRUE(now == big || now == withA || now == withB)
                    << "round " << round << ", " << names[k] << ": " << now.size() << " bytes";
                struct stat st {};
                ::stat(l.Missions(names[k]).c_str(), &st);
                if (readOnly[k] && now == big) {
                    ASSERT_EQ(st.st_mode & 0777, 0444u) << "round " << round << ", " << names[k];
                }
            }
        }
        os::SetFaultHook(nullptr);
        EXPECT_EQ(kills, c.rounds);
        EXPECT_GT(midRewrite, c.rounds / 4) << "too few kills landed inside a rewrite to prove anything";
        l.wnd().SelectListItem(IDC_MISSION_LIST, 0);
        l.Change("Later");
        EXPECT_TRUE(l.Leftovers(l.prefix.missions()).empty());
        std::printf("%s: %d kills, %d of them inside a rewrite; every mission was whole every time\n",
                    c.what, kills, midRewrite);
    }
}

// Two launchers started the same moment, each changing the mission at one index of the list.
void RaceTwoLaunchers(Launcher& l, const int (&index)[2], const std::string (&callsign)[2],
                      int round) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<Child> children;
    for (int p = 0; p < 2; ++p) {
        children.emplace_back([&, p] {
            ::close(go[1]);
            char c;
            (void)::read(go[0], &c, 1);  // both start the moment the pipe closes
            l.wnd().SelectListItem(IDC_MISSION_LIST, index[p]);
            l.Change(callsign[p]);
            return NoMessage(l.host) ? 0 : 1;
        });
    }
    ::close(go[0]);
    ::close(go[1]);
    for (Child& c : children) ASSERT_EQ(c.Wait(), 0) << "round " << round;
}

TEST(RewriteConcurrency, TwoLaunchersAtOnce) {
    // On one mission they take turns; on two missions of one folder each has a copy of its own
    // and neither ever touches the other's.
    Launcher l;
    const std::string big = BigMission(5000);
    WriteFile(l.Missions("a.mis"), big);
    WriteFile(l.Missions("b.mis"), big);
    l.Open();
    for (const bool oneMission : {true, false}) {
        const int rounds = oneMission ? 50 : Rounds(50);
        for (int round = 0; round < rounds; ++round) {
            const std::string a = "Alpha " + std::to_string(round), b = "Bravo " + std::to_string(round);
            RaceTwoLaunchers(l, {0, oneMission ? 0 : 1}, {a, b}, round);
            const std::string first = ReadFile(l.Missions("a.mis"));
            if (oneMission) {
                ASSERT_TRUE(first == Rewritten(big, a) || first == Rewritten(big, b))
                    << "round " << round << ": " << first.size() << " bytes";
            } else {
                ASSERT_EQ(first, Rewritten(big, a)) << "round " << round;
                ASSERT_EQ(ReadFile(l.Missions("b.mis")), Rewritten(big, b)) << "round " << round;
            }
            ASSERT_TRUE(l.Leftovers(l.prefix.missions()).empty()) << "round " << round;
        }
    }
    std::printf("%d rounds of two launchers on two missions: both complete every time\n", Rounds(50));
}

TEST(RewriteConcurrency, ALockHeldElsewhereIsWaitedForAWhile) {
    const struct {
        const char* what;
        int heldMs;
        const char* message;  // nullptr: rewritten once the other lets go
        int minMs, maxMs;
    } cases[] = {
        {"let go after a second", 1000, nullptr, 900, 2900},
        {"held on", 8000, text::kMissionInUse, 2900, 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OneMission l(Mission("Fly.", "Old"));
        const std::string before = ReadFile(l.path);
        Child holder = HoldLock(l.path, c.heldMs);
        // Meanwhile the window is disabled, and what the user does is refused.
        bool disabledMeanwhile = false;
        l.host.whileWaiting = [&] {
            disabledMeanwhile = !l.wnd().Enabled();
            l.wnd().Click(IDC_LAUNCH_MISSION);
            l.wnd().CloseBox();
        };
        const auto start = Clock::now();
        l.Change("Waited");
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        l.host.whileWaiting = nullptr;
        EXPECT_GE(ms.count(), c.minMs);
        EXPECT_LE(ms.count(), c.maxMs);
        EXPECT_TRUE(disabledMeanwhile);
        EXPECT_TRUE(l.wnd().Enabled());
        EXPECT_FALSE(l.dlg->HasEnded());
        if (c.message) {
            EXPECT_TRUE(OneMessage(l.host, c.message));
            EXPECT_EQ(ReadFile(l.path), before);
        } else {
            EXPECT_TRUE(NoMessage(l.host));
            EXPECT_EQ(ReadFile(l.path), Mission("Fly.", "Waited"));
        }
        ::kill(holder.pid, SIGKILL);
        holder.Wait();
    }
}

TEST(RewriteConcurrency, ReadersNeitherWaitNorStall) {
    OneMission l(Mission("Fly.", "Old"));
    // A reader holding the mission open does not hold up a rewrite...
    Child reader([&] {
        const int fd = ::open(l.path.c_str(), O_RDONLY);
        ::sleep(5);
        return fd >= 0 ? 0 : 1;
    });
    auto start = Clock::now();
    l.Change("Quick");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(NoMessage(l.host));
    ::kill(reader.pid, SIGKILL);
    reader.Wait();
    // ...and a rewrite under way elsewhere does not hold up reading.
    Child holder = HoldLock(l.path, 5000);
    start = Clock::now();
    l.wnd().SelectListItem(IDC_MISSION_LIST, 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(l.wnd().Text(IDC_CALLSIGN), "Quick");
    ::kill(holder.pid, SIGKILL);
    holder.Wait();
}

}  // namespace
