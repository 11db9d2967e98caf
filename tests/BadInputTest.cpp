// SPDX-License-Identifier: GPL-3.0-or-later
// What Sortilex meets in the wild: every row drives the real operations through the window and
// checks that nothing crashes or hangs, nothing is lost, and the user sees exactly the text
// that belongs to the case.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "missionfile/MissionText.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const std::string kNotFound = text::kMissionNotFound;
const std::string kNoBriefing = text::kNoBriefing;
const std::string kFirst = "first.mis";  // a sound mission listed before the case's own
const std::string kFirstMission =
    ".MissionSummary\r\nSound.\r\n.EndMissionSummary\r\n\t.IsPlayer\r\nx\r\n\t.Callsign  "
    "Before\r\n\t.MPCallsign  Before\r\n";

std::string Junk(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string Copied(const std::string& bytes, const std::string& callsign) {
    MemorySource src(bytes);
    StringSink out;
    CopyWithCallsign(src, out, callsign);
    return out.text;
}

// One case: a mission file (or something in its place) in the single-missions folder, named so
// that it sorts after first.mis.
struct Row {
    const char* what;
    std::string name;
    std::function<void(const std::string& path)> make;
    std::string briefing;       // shown when the case is selected
    std::string callsign;       // shown then (the sound mission's when the case has none)
    std::string changeMessage;  // what "Change" says ("" for nothing)
    std::function<std::string(const std::string& before)> afterChange;  // the file after "Change"
};

class BadInput : public ::testing::Test {
  protected:
    Launcher l;
};

TEST_F(BadInput, MissionFiles) {
    const std::string big(64u << 20, 'x');
    const std::string utf16 = [] {
        std::string s = "\xff\xfe";
        for (char c : std::string(".MissionSummary\r\nHi\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n"))
            s += c, s += '\0';
        return s;
    }();
    auto rewritten = [](const std::string& before) { return Copied(before, "Typed"); };
    const Row rows[] = {
        {"binary junk", "junk.mis", [](auto& p) { WriteFile(p, Junk(100000, 7)); }, kNoBriefing,
         "Before", "", rewritten},
        {"NUL bytes", "nul.mis",
         [](auto& p) { WriteFile(p, "\t.IsPlayer\n\0\n\t.Callsign  A\0B\n\t.MPCallsign  A\n"s); },
         kNoBriefing, std::string("A\0B", 3), "", rewritten},
        {"64 MiB single line", "long.mis", [&](auto& p) { WriteFile(p, big); }, kNoBriefing,
         "Before", "", rewritten},
        {"CR-only line ends", "cr.mis",
         [](auto& p) {
             WriteFile(
                 p, ".MissionSummary\rText\r.EndMissionSummary\r\t.IsPlayer\rx\r\t.Callsign  C\r");
         },
         kNoBriefing, "Before", "", rewritten},
        {"UTF-16 file", "utf16.mis", [&](auto& p) { WriteFile(p, utf16); }, kNoBriefing, "Before",
         "", rewritten},
        {"empty file", "empty.mis", [](auto& p) { WriteFile(p, ""); }, kNoBriefing, "Before", "",
         rewritten},
        {"left-behind temporary file", "SXTempMission.mis",
         [](auto& p) { WriteFile(p, kFirstMission); }, "\r\r\nSound.", "Before", "", rewritten},
        {"quotes and blanks", "a \"quoted\" it's.mis", [](auto& p) { WriteFile(p, kFirstMission); },
         "\r\r\nSound.", "Before", "", rewritten},
        {"line feed in the name", "line\nfeed.mis", [](auto& p) { WriteFile(p, kFirstMission); },
         "\r\r\nSound.", "Before", "", rewritten},
        {"non-UTF-8 name", "\xff\xfe caf\xe9.mis", [](auto& p) { WriteFile(p, kFirstMission); },
         "\r\r\nSound.", "Before", "", rewritten},
        {"backslash in the name", "back\\slash.mis", [](auto& p) { WriteFile(p, kFirstMission); },
         "\r\r\nSound.", "Before", "", rewritten},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string folder = l.prefix.missions();
        for (const auto& e : fs::directory_iterator(folder)) fs::remove_all(e.path());
        WriteFile(folder + "/" + kFirst, kFirstMission);
        const std::string path = folder + "/" + row.name;
        row.make(path);
        std::error_code ec;
        const bool isFile = fs::is_regular_file(path, ec);
        const std::string before = isFile ? ReadFile(path) : std::string();

        const auto start = std::chrono::steady_clock::now();
        FakeHost h;
        CLauncherDlg d;
        FakeWindow& w = h.Open(d);
        const auto items = w.Items(IDC_MISSION_LIST);
        ASSERT_EQ(items.size(), 2u);
        const int index = items[0] == kFirst ? 1 : 0;
        ASSERT_EQ(items[static_cast<size_t>(index)], row.name) << "listed byte for byte";
        w.SelectListItem(IDC_MISSION_LIST, index == 0 ? 1 : 0);
        w.SelectListItem(IDC_MISSION_LIST, index);
        EXPECT_EQ(w.Text(IDC_BRIEFING), row.briefing);
        EXPECT_EQ(w.Text(IDC_CALLSIGN), row.callsign);

        w.Type(IDC_CALLSIGN, "Typed");
        w.Click(IDC_CHANGE_CALLSIGN);
        EXPECT_TRUE(row.changeMessage.empty() ? NoMessage(h) : OneMessage(h, row.changeMessage));
        if (isFile) {
            EXPECT_TRUE(ReadFile(path) == row.afterChange(before)) << "file content";
        }
        EXPECT_EQ(ReadFile(folder + "/" + kFirst), kFirstMission) << "the other mission untouched";
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string n = e.path().filename().string();
            EXPECT_TRUE(n == kFirst || n == row.name) << "left behind: " << n;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60))
            << "bounded time";
    }
}

TEST_F(BadInput, MissionGoneOrUnreachable) {
    WriteFile(l.prefix.missions() + "/a.mis", kFirstMission);
    WriteFile(l.prefix.missions() + "/b.mis", kFirstMission);
    FakeWindow& w = l.Open();
    // Deleted between listing and selecting.
    fs::remove(l.prefix.missions() + "/b.mis");
    w.SelectListItem(IDC_MISSION_LIST, 1);
    EXPECT_EQ(w.Text(IDC_BRIEFING), kNotFound);
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Before");
    w.Click(IDC_CHANGE_CALLSIGN);
    EXPECT_TRUE(OneMessage(l.host, text::kCannotModify));
    w.Click(IDC_LAUNCH_MISSION);
    EXPECT_TRUE(OneMessage(l.host, text::kNotLocated));
    EXPECT_FALSE(sxtest::Exists(l.prefix.missions() + "/b.mis"));

    // A very long custom path.
    std::string deep = l.prefix.root() + "/drive_c";
    for (int i = 0; i < 120; ++i) deep += "/folder with a long name " + std::to_string(i);
    sxtest::MakeDirs(deep);
    WriteFile(deep + "/deep.mis", kFirstMission);
    l.PickCustom(deep + "/deep.mis");
    l.Change("Deep");
    EXPECT_GT(l.dlg->m_strCustomDir.size(), 3000u);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), std::vector<std::string>{"deep.mis"});
    EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nSound.");
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_NE(ReadFile(deep + "/deep.mis").find("\t.Callsign  Deep\r\n"), std::string::npos);
}

// Unmounts at the end of a test what the test mounted.
struct Unmount {
    std::string dir;
    ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
};

TEST_F(BadInput, UnwritableFolderLeavesTheMissionAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    // The mission belongs to the player, the folder does not: no temporary file can be made.
    const std::string path = l.prefix.missions() + "/mine.mis";
    WriteFile(path, kFirstMission);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    for (std::string d = l.prefix.missions(); d.size() >= l.prefix.root().size();
         d = fs::path(d).parent_path())
        ::chmod(d.c_str(), 0755);
    const int status = sxtest::RunAsNobody([&] {
        l.Open();
        l.Change("Intruder");
        return OneMessage(l.host, text::kLeftUnchanged) && l.wnd().Text(IDC_CALLSIGN) == "Before";
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(path), kFirstMission);
    EXPECT_EQ(sxtest::ListDir(l.prefix.missions()), std::vector<std::string>{"mine.mis"});
}

TEST_F(BadInput, FullDiskLeavesTheMissionAlone) {
    const std::string disk = l.prefix.missions() + "/tiny";
    sxtest::MakeDirs(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << ")";
    const Unmount unmount{disk};
    std::string mission = kFirstMission;
    while (mission.size() < 40000) mission += "\t.Waypoint  1000 2000 300\r\n";
    WriteFile(disk + "/full.mis", mission);
    l.Open();
    l.PickCustom(disk + "/full.mis");
    l.Change("Roomless");
    EXPECT_TRUE(OneMessage(l.host, text::kLeftUnchanged));
    EXPECT_EQ(ReadFile(disk + "/full.mis"), mission);
    EXPECT_EQ(sxtest::ListDir(disk), std::vector<std::string>{"full.mis"});
}

TEST_F(BadInput, ReadOnlyMount) {
    const std::string ro = l.prefix.missions() + "/cd";
    sxtest::MakeDirs(ro);
    WriteFile(ro + "/cd.mis", kFirstMission);
    if (::mount(ro.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "cannot make a read-only mount here (" << std::strerror(errno) << ")";
    const Unmount unmount{ro};
    FakeWindow& w = l.Open();
    l.PickCustom(ro + "/cd.mis");
    l.Change("Pressed");
    EXPECT_TRUE(OneMessage(l.host, text::kCannotModify));
    EXPECT_EQ(w.Text(IDC_CALLSIGN), "Before");
    EXPECT_EQ(ReadFile(ro + "/cd.mis"), kFirstMission);
}

}  // namespace
