// SPDX-License-Identifier: GPL-3.0-or-later
// What a player's downloaded packs, other tools' prefixes and odd disks may hold: files that are
// no mission file, missions that are no files, names that collide with the rewrite's own,
// folders that look like Windows paths, odd registry and results files, disks that refuse a
// rewrite. Every row checks what the user saw, that the files are as they were (bytes and mode),
// and that each action came back in bounded time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <random>

#include "app/ResultsDlg.h"
#include "missionfile/MissionText.h"
#include "os/Files.h"
#include "os/Process.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const std::string kSound = Mission("Sound.", "Before");

// What a path is: its type and mode, and a regular file's bytes; a link's target.
std::string Snapshot(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "missing";
    std::string s = std::to_string(st.st_mode);
    if (S_ISREG(st.st_mode)) s += ":" + ReadFile(path);
    if (S_ISLNK(st.st_mode)) s += "->" + fs::read_symlink(path).string();
    return s;
}

// Runs an action of the user and checks that it came back in time (a rewrite of 64 MiB under
// the sanitizers takes a few seconds; a hang takes for ever).
template <class F>
void Timed(const char* what, F action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << what;
}

bool Write(const std::string& path, const std::string& bytes) {
    WriteFile(path, bytes);
    return true;
}

bool MakeSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    const bool made = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return made;
}

std::string Junk(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

TEST(HostileInput, MissionFiles) {
    // Odd contents and names are listed byte for byte, read and rewritten by the rules (line
    // ends become CR LF, every other byte kept); what is no regular file is a mission that can
    // be neither found nor changed, and is left exactly as it was.
    const std::string utf16 = [] {
        std::string u = "\xff\xfe";
        for (char c : std::string(".MissionSummary\r\nHi\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n"))
            u += c, u += '\0';
        return u;
    }();
    const std::string big(64u << 20, 'x');
    const std::string cr = ".MissionSummary\rText\r.EndMissionSummary\r\t.IsPlayer\rx\r\t.Callsign  C\r";
    const std::string nul = "\t.IsPlayer\n\0\n\t.Callsign  A\0B\n\t.MPCallsign  A\n"s;
    const std::string kNoBriefing = text::kNoBriefing, kSoundBriefing = "\r\r\nSound.";
    const struct {
        const char* what;
        std::string name;
        std::function<bool(const std::string&)> make;  // false: this system cannot make it
        std::string briefing, callsign;                  // shown once it is selected
        bool rewritten;  // else "Change" is refused, and the path stays as it was
    } rows[] = {
        {"binary junk", "junk.mis", [](auto& p) { return Write(p, Junk(100000, 7)); }, kNoBriefing, "Before", true},
        {"NUL bytes", "nul.mis", [&](auto& p) { return Write(p, nul); }, kNoBriefing, "A\0B"s, true},
        {"one line of 64 MiB", "long.mis", [&](auto& p) { return Write(p, big); }, kNoBriefing, "Before", true},
        {"CR-only line ends", "cr.mis", [&](auto& p) { return Write(p, cr); }, kNoBriefing, "Before", true},
        {"UTF-16", "utf16.mis", [&](auto& p) { return Write(p, utf16); }, kNoBriefing, "Before", true},
        {"empty", "empty.mis", [](auto& p) { return Write(p, ""); }, kNoBriefing, "Before", true},
        {"the old temporary name", "SXTempMission.mis", [](auto& p) { return Write(p, kSound); }, kSoundBriefing, "Before", true},
        {"quotes and blanks", "a \"quoted\" it's.mis", [](auto& p) { return Write(p, kSound); }, kSoundBriefing, "Before", true},
        {"a line feed in the name", "line\nfeed.mis", [](auto& p) { return Write(p, kSound); }, kSoundBriefing, "Before", true},
        {"a name that is no UTF-8", "\xff\xfe caf\xe9.mis", [](auto& p) { return Write(p, kSound); }, kSoundBriefing, "Before", true},
        {"a backslash in the name", "back\\slash.mis", [](auto& p) { return Write(p, kSound); }, kSoundBriefing, "Before", true},
        {"FIFO", "odd.mis", [](auto& p) { return ::mkfifo(p.c_str(), 0644) == 0; }, text::kMissionNotFound, "Before", false},
        {"device like /dev/zero", "odd.mis", [](auto& p) { return ::mknod(p.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0; }, text::kMissionNotFound, "Before", false},
        {"link to a device", "odd.mis", [](auto& p) { return ::symlink("/dev/zero", p.c_str()) == 0; }, text::kMissionNotFound, "Before", false},
        {"socket", "odd.mis", [](auto& p) { return MakeSocket(p); }, text::kMissionNotFound, "Before", false},
        {"folder", "odd.mis", [](auto& p) { return ::mkdir(p.c_str(), 0755) == 0; }, text::kMissionNotFound, "Before", false},
        {"link loop", "odd.mis", [](auto& p) { return ::symlink(p.c_str(), p.c_str()) == 0; }, text::kMissionNotFound, "Before", false},
        {"dangling link", "odd.mis", [](auto& p) { return ::symlink("gone.mis", p.c_str()) == 0; }, text::kMissionNotFound, "Before", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        WriteFile(l.Missions("sound.mis"), kSound);
        const std::string path = l.Missions(row.name);
        if (!row.make(path)) {
            std::printf("%s: not made here (%s)\n", row.what, std::strerror(errno));
            continue;
        }
        const std::string before = Snapshot(path);
        FakeWindow& w = l.Open();
        const Items items = w.Items(IDC_MISSION_LIST);
        ASSERT_EQ(items.size(), 2u);
        const int index = items[0] == row.name ? 0 : 1;
        ASSERT_EQ(items[static_cast<size_t>(index)], row.name) << "listed byte for byte";
        Timed("select", [&] {
            w.SelectListItem(IDC_MISSION_LIST, 1 - index);
            w.SelectListItem(IDC_MISSION_LIST, index);
        });
        EXPECT_EQ(w.Text(IDC_BRIEFING), row.briefing);
        EXPECT_EQ(w.Text(IDC_CALLSIGN), row.callsign);
        Timed("change", [&] { l.Change("Typed"); });
        if (row.rewritten) {
            EXPECT_TRUE(NoMessage(l.host));
            EXPECT_TRUE(ReadFile(path) == Rewritten(before.substr(before.find(':') + 1), "Typed"));
        } else {
            EXPECT_TRUE(OneMessage(l.host, text::kCannotModify));
            EXPECT_EQ(Snapshot(path), before);
        }
        EXPECT_EQ(ReadFile(l.Missions("sound.mis")), kSound);
        EXPECT_EQ(ListDir(l.prefix.missions()).size(), 2u) << "nothing left behind";
    }
}

TEST(HostileInput, TemporaryNamesThatAreTaken) {
    // The rewrite's first name is taken by something it did not make: it is passed over, never
    // opened, followed, emptied or removed.
    TempDir outside;
    const std::string kTaken = "SXTempMission-taken.tmp";
    const struct {
        const char* what;
        std::function<void(const std::string& taken, Launcher& l)> make;
    } rows[] = {
        {"file", [](auto& p, auto&) { WriteFile(p, "someone's file"); }},
        {"link to a file elsewhere",
         [&](auto& p, auto&) {
             WriteFile(outside / "precious", "precious");
             fs::create_symlink(outside / "precious", p);
         }},
        {"hard link to another mission",
         [](auto& p, Launcher& l) { fs::create_hard_link(l.Missions("b other.mis"), p); }},
        {"FIFO", [](auto& p, auto&) { ::mkfifo(p.c_str(), 0644); }},
        {"dangling link", [&](auto& p, auto&) { fs::create_symlink(outside / "not yet", p); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        WriteFile(l.Missions("a.mis"), kSound);
        WriteFile(l.Missions("b other.mis"), Mission("Other.", "Other"));
        const std::string taken = l.Missions(kTaken);
        row.make(taken, l);
        const std::string before = Snapshot(taken);
        int calls = 0;
        os::SetTempNameSource([&] { return ++calls == 1 ? kTaken : "SXTempMission-free.tmp"; });
        l.Open();
        Timed("change", [&] { l.Change("New"); });
        os::SetTempNameSource(nullptr);
        EXPECT_TRUE(NoMessage(l.host));
        EXPECT_EQ(ReadFile(l.Missions("a.mis")), Mission("Sound.", "New"));
        EXPECT_EQ(Snapshot(taken), before);
        EXPECT_EQ(ReadFile(l.Missions("b other.mis")), Mission("Other.", "Other"));
        if (fs::exists(outside / "precious")) {
            EXPECT_EQ(ReadFile(outside / "precious"), "precious");
        }
        EXPECT_FALSE(fs::exists(outside / "not yet"));
        EXPECT_EQ(l.Leftovers(l.prefix.missions()), Items{kTaken});
    }
    // Every name taken: the rewrite gives up and says so.
    Launcher l;
    WriteFile(l.Missions("a.mis"), kSound);
    WriteFile(l.Missions(kTaken), "taken");
    os::SetTempNameSource([&] { return kTaken; });
    l.Open();
    Timed("change", [&] { l.Change("New"); });
    os::SetTempNameSource(nullptr);
    EXPECT_TRUE(OneMessage(l.host, text::kLeftUnchanged));
    EXPECT_EQ(ReadFile(l.Missions("a.mis")), kSound);
    EXPECT_EQ(ReadFile(l.Missions(kTaken)), "taken");
}

// A substitute for the game that leaves a mark when it runs: it must not run at all here.
void PlantGame(const std::string& folder, const std::string& mark) {
    MakeDirs(folder);
    WriteFile(folder + "/vnt.exe", "#!/bin/sh\ntouch '" + mark + "'\n");
    ::chmod((folder + "/vnt.exe").c_str(), 0755);
}

TEST(HostileInput, FoldersThatLookLikeWindowsPaths) {
    // A pack unpacked into the custom folder holds folders named like the game's: Sortilex
    // neither enters them nor starts the program inside.
    const struct {
        const char* what;
        std::string registry;  // the game's registry values ("" for no key)
        std::string planted;   // the folder of the pack that looks like the game's
    } rows[] = {
        {"the registry's game folder, spelled as one name", InstalledGameValues(),
         "C:\\Games\\Vantorra"},
        {"the game folder of a missing game", "", "none"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l(row.registry);
        fs::remove_all(l.prefix.game());  // the registry names a game that is not there
        TempDir pack, marks;
        WriteFile(pack / "pack.mis", kSound);
        PlantGame(pack / row.planted, marks / "ran");
        MakeDirs(pack / row.planted + "/Data/Missions");
        WriteFile(pack / row.planted + "/Data/Missions/planted.mis", kSound);
        l.Open();
        l.host.messages.clear();
        l.PickCustom(pack / "pack.mis");
        Timed("launch", [&] { l.wnd().Click(IDC_LAUNCH_GAME); });
        EXPECT_TRUE(OneMessage(l.host, text::kNoGameExe));
        Timed("single missions", [&] { l.wnd().Click(IDC_SINGLE_MISSIONS); });
        EXPECT_EQ(l.wnd().Items(IDC_MISSION_LIST), Items{});  // not the pack's folder either
        ::usleep(200000);
        EXPECT_FALSE(Exists(marks / "ran"));
    }
}

TEST(HostileInput, PathsThatClimbOrHoldBackslashes) {
    // ".." past the drive's root stays on the drive, as Wine resolves it.
    Launcher l("\"Path\"=\"C:\\\\..\\\\..\\\\..\\\\Games\\\\Vantorra\"\n");
    WriteFile(l.Missions("a.mis"), kSound);
    FakeWindow& w = l.Open();
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"a.mis"});
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Before");

    // A custom folder whose name holds a backslash has no Windows spelling: it stays the host's
    // path, and everything works in it.
    TempDir custom;
    const std::string odd = custom / "pack\\2";
    MakeDirs(odd);
    WriteFile(odd + "/m.mis", kSound);
    l.PickCustom(odd + "/m.mis");
    EXPECT_EQ(l.dlg->m_strCustomDir, odd);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"m.mis"});
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nSound.");
    l.Change("Slash");
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_EQ(ReadFile(odd + "/m.mis"), Mission("Sound.", "Slash"));

    // A custom folder more than 3,000 characters deep.
    std::string deep = l.prefix.root() + "/drive_c";
    for (int i = 0; i < 120; ++i) deep += "/folder with a long name " + std::to_string(i);
    MakeDirs(deep);
    WriteFile(deep + "/deep.mis", kSound);
    l.PickCustom(deep + "/deep.mis");
    l.Change("Deep");
    EXPECT_GT(l.dlg->m_strCustomDir.size(), 3000u);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"deep.mis"});
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_EQ(ReadFile(deep + "/deep.mis"), Mission("Sound.", "Deep"));
}

// Unmounts at the end of a test what the test mounted.
struct Unmount {
    std::string dir;
    ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
};

TEST(HostileInput, DisksThatRefuseARewrite) {
    // The mission keeps its bytes and nothing is left beside it, whatever the disk refuses.
    const struct {
        const char* what;
        // Lays out the mission's folder and says why it cannot here ("" when it can).
        std::function<std::string(const std::string& folder)> make;
        const char* message;
        bool asNobody;  // the player is an unprivileged user (root ignores permissions)
    } rows[] = {
        {"a folder the player may not write",
         [](const std::string& folder) {
             if (::geteuid() != 0) return std::string("needs root to switch to another user");
             ::chown((folder + "/m.mis").c_str(), 65534, 65534);
             // The prefix's folders, up to its root and no further.
             const std::string root = folder.substr(0, folder.find("/drive_c"));
             for (fs::path d = folder; d.string().size() >= root.size(); d = d.parent_path())
                 ::chmod(d.c_str(), 0755);
             return std::string();
         },
         text::kLeftUnchanged, true},
        {"a full disk",
         [](const std::string& folder) {
             const std::string mission = ReadFile(folder + "/m.mis");
             if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
                 return std::string(std::strerror(errno));
             WriteFile(folder + "/m.mis", mission);
             return std::string();
         },
         text::kLeftUnchanged, false},
        {"a read-only mount",
         [](const std::string& folder) {
             if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                 ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                         nullptr) != 0)
                 return std::string(std::strerror(errno));
             return std::string();
         },
         text::kCannotModify, false},
    };
    std::string mission = kSound;
    while (mission.size() < 40000) mission += "\t.Waypoint  1000 2000 300\r\n";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        const std::string folder = l.Missions("disk");
        MakeDirs(folder);
        WriteFile(folder + "/m.mis", mission);
        if (const std::string why = row.make(folder); !why.empty()) {
            std::printf("%s: not here (%s)\n", row.what, why.c_str());
            continue;
        }
        const Unmount unmount{folder};
        const auto change = [&] {
            l.Open();
            l.PickCustom(folder + "/m.mis");
            l.Change("Refused");
            return OneMessage(l.host, row.message) && l.wnd().Text(IDC_CALLSIGN) == "Before";
        };
        EXPECT_EQ(row.asNobody ? RunAsNobody(change) : (change() ? 0 : 1), 0);
        EXPECT_EQ(ReadFile(folder + "/m.mis"), mission);
        EXPECT_EQ(ListDir(folder), Items{"m.mis"});
    }
}

TEST(HostileInput, RelativePrefix) {
    // A WINEPREFIX relative to the folder Sortilex starts in still names that prefix after the
    // program has moved elsewhere.
    Launcher l;
    WriteFile(l.Missions("a.mis"), kSound);
    const fs::path root = l.prefix.root();
    ASSERT_EQ(::chdir(root.parent_path().c_str()), 0);
    Env relative("WINEPREFIX", root.filename().string());
    char program[] = "Sortilex";
    char* argv[] = {program, nullptr};
    os::InitializeProcess(1, argv);
    ASSERT_EQ(::chdir("/"), 0);
    FakeWindow& w = l.Open();
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"a.mis"});
}

TEST(HostileInput, RegistryFilesThatAreNoFiles) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        std::string gameDir;
    } rows[] = {
        {"no file", [](auto&) {}, "none"},
        {"FIFO", [](auto& p) { ::mkfifo(p.c_str(), 0644); }, "none"},
        {"link to a device", [](auto& p) { fs::create_symlink("/dev/zero", p); }, "none"},
        {"64 MiB of blank lines before the key",
         [](auto& p) {
             WriteFile(p, "WINE REGISTRY Version 2\n" + std::string(64 << 20, '\n') +
                              "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
                              "Paths\\\\vnt.exe] 1\n\"Path\"=\"C:\\\\Late\"\n");
         },
         "C:\\Late"},
        {"one line of 64 MiB",
         [](auto& p) { WriteFile(p, "WINE REGISTRY Version 2\n" + std::string(64 << 20, 'x')); },
         "none"},
        {"no registry at all", [](auto& p) { WriteFile(p, std::string("\x7f" "ELF\x02\x01", 6)); },
         "none"},
        {"the key's section with 30,000 values",
         [](auto& p) {
             std::string reg = "WINE REGISTRY Version 2\n[Software\\\\Microsoft\\\\Windows\\\\"
                               "CurrentVersion\\\\App Paths\\\\vnt.exe] 1\n\"Path\"=\"C:\\\\Old\"\n";
             for (int i = 0; i < 30000; ++i) reg += "\"v" + std::to_string(i) + "\"=\"x\"\n";
             WriteFile(p, reg + "\"Path\"=\"C:\\\\Games\\\\Vantorra\"\n");
         },
         "C:\\Games\\Vantorra"},
        {"cut off in the key's value",
         [](auto& p) {
             WriteFile(p, "WINE REGISTRY Version 2\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion"
                          "\\\\App Paths\\\\vnt.exe] 1\n\"Path\"=\"C:\\\\Ga");
         },
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        fs::remove(l.prefix.root() + "/system.reg");
        row.make(l.prefix.root() + "/system.reg");
        Timed("open", [&] { l.Open(); });
        EXPECT_EQ(l.dlg->m_strGameDir, row.gameDir);
        EXPECT_TRUE(row.gameDir == "none" ? OneMessage(l.host, text::kNotDetected)
                                          : NoMessage(l.host));
    }
}

TEST(HostileInput, ResultsFilesThatAreNoFilesOrHuge) {
    std::string huge;
    for (int i = 0; i < 30000; ++i) huge += "AxisFlak: " + std::to_string(i) + "\nFighters: 3\n";
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        bool shown;
    } rows[] = {
        {"FIFO", [](auto& p) { ::mkfifo(p.c_str(), 0644); }, false},
        {"link to a device", [](auto& p) { fs::create_symlink("/dev/zero", p); }, false},
        {"folder", [](auto& p) { MakeDirs(p); }, false},
        {"30,000 loss lines", [&](auto& p) { WriteFile(p, huge); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        row.make(l.Missions("Results.txt"));
        l.Open();
        ShownTable table;
        CaptureResultsTable(l.host, table);
        CResultsDlg results;
        results.m_strGameDir = "C:\\Games\\Vantorra";
        Timed("results", [&] { results.DoModal(); });
        EXPECT_EQ(table.shown, row.shown);
        if (!row.shown) {
            EXPECT_TRUE(OneMessage(l.host, text::kResultsNotFound));
            continue;
        }
        // Each list keeps its first 10,000 lines and says it was shortened.
        ASSERT_EQ(table.axis.size(), 10001u);
        EXPECT_EQ(table.axis[9999], "AxisFlak: 9999");
        EXPECT_EQ(table.axis[10000], "(list shortened)");
        EXPECT_EQ(table.counts[IDC_FIGHTER_LOSSES], "3");
    }
}

TEST(HostileInput, BriefingOfMegabytes) {
    std::string body;
    for (int i = 0; i < 40000; ++i) body += std::string(79, 'b') + "\n";  // 3.2 MB
    Launcher l;
    WriteFile(l.Missions("long.mis"), ".MissionSummary\n" + body +
                                          ".EndMissionSummary\n\t.IsPlayer\nx\n\t.Callsign  End\n");
    FakeWindow& w = l.Open();
    const std::string briefing = w.Text(IDC_BRIEFING);
    const std::string tail = "\r\r\n(briefing shortened)";
    EXPECT_LE(briefing.size(), (1u << 20) + tail.size());
    EXPECT_EQ(briefing.substr(briefing.size() - tail.size()), tail);
    // The callsign after it is found all the same.
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "End");
}

}  // namespace
