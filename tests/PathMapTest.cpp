// SPDX-License-Identifier: GPL-3.0-or-later
// Mapping the program's Windows-style paths to host paths through the Wine prefix, and back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "os/Paths.h"
#include "tests/support/TestSupport.h"

using sx::os::FromHostPath;
using sx::os::ToHostPath;

namespace {

TEST(PathMap, WindowsPathsToHostPaths) {
    sxtest::FakePrefix prefix;
    const std::string c = prefix.root() + "/dosdevices/c:";
    sxtest::MakeDirs(prefix.game() + "/Data/Missions/Sub Dir");
    sxtest::MakeDirs(prefix.root() + "/drive_c/Spiele/Fl\xc3\xbcgel");
    sxtest::WriteFile(prefix.missions() + "/Alpha.MIS", "x");
    sxtest::WriteFile(prefix.missions() + "/b.mis", "x");
    sxtest::WriteFile(prefix.missions() + "/B.mis", "x");
    sxtest::MakeDirs(prefix.root() + "/dosdevices/unc/server/share/Game");
    const struct {
        std::string in, out;
    } cases[] = {
        {"C:\\Games\\Vantorra", c + "/Games/Vantorra"},
        {"c:\\games\\VANTORRA\\data\\missions", c + "/Games/Vantorra/Data/Missions"},
        {"C:\\Games\\Vantorra\\Data\\Missions\\alpha.mis",
         c + "/Games/Vantorra/Data/Missions/Alpha.MIS"},
        {"C:\\Games\\Vantorra\\Data\\Missions\\sub dir",
         c + "/Games/Vantorra/Data/Missions/Sub Dir"},
        // The exact spelling wins over a namesake in another case.
        {"C:\\Games\\Vantorra\\Data\\Missions\\B.mis", c + "/Games/Vantorra/Data/Missions/B.mis"},
        // Names compare without regard to case beyond ASCII too.
        {"C:\\SPIELE\\FL\xc3\x9c"
         "GEL",
         c + "/Spiele/Fl\xc3\xbcgel"},
        {"C:\\Games\\\\Vantorra\\", c + "/Games/Vantorra"},  // doubled and trailing separators
        {"C:\\Games\\Nowhere\\x.mis", c + "/Games/Nowhere/x.mis"},  // missing parts kept as given
        {"C:", c},
        {"D:\\x", prefix.root() + "/dosdevices/d:/x"},
        {"\\\\?\\C:\\Games", c + "/Games"},
        // ".." stops at the drive's root, as Wine resolves it.
        {"C:\\..\\..\\Games\\.\\Vantorra", c + "/Games/Vantorra"},
        {"C:\\Games\\..\\..\\..", c},
        // UNC paths go through the prefix's unc folder; ".." never climbs over the share.
        {"\\\\server\\share\\Game", prefix.root() + "/dosdevices/unc/server/share/Game"},
        {"\\\\server\\share\\..\\..\\x", prefix.root() + "/dosdevices/unc/server/share/x"},
        {"\\\\server", ""},
        {"\\\\.\\C:", ""},
        // A host path stands as it is, backslashes and all.
        {prefix.missions() + "\\Alpha.MIS", prefix.missions() + "\\Alpha.MIS"},
        // A relative name is never a file of the current folder.
        {"none\\Data\\Missions", ""},
        {"Games\\Vantorra", ""},
        {"", ""},
    };
    for (const auto& t : cases) EXPECT_EQ(ToHostPath(t.in), t.out) << t.in;
}

TEST(PathMap, UncWithoutTheUncFolderIsRefused) {
    sxtest::FakePrefix prefix;
    EXPECT_EQ(ToHostPath("\\\\server\\share\\Game"), "");
}

TEST(PathMap, HostPathsBackToWindowsPaths) {
    sxtest::FakePrefix prefix;
    sxtest::TempDir elsewhere;
    sxtest::MakeDirs(elsewhere / "deep/er");
    // A second drive whose root lies inside drive C: the longer root wins.
    std::filesystem::create_directory_symlink(prefix.game(), prefix.root() + "/dosdevices/e:");
    // A link to the game folder outside the prefix resolves to drive C:.
    std::filesystem::create_directory_symlink(prefix.root() + "/drive_c", elsewhere / "link");
    const std::string drive = prefix.root() + "/drive_c";
    for (const char* dir : {"Custom", "a\\b", "Trailing.", "CON", "case"})
        sxtest::MakeDirs(drive + "/" + dir);
    for (const char* file : {"Custom/x.mis", "a\\b/y.mis", "Trailing./z.mis", "CON/w.mis",
                             "case/Same.mis", "case/same.mis", "b.mis"})
        sxtest::WriteFile(drive + "/" + file, "x");
    const struct {
        std::string in, out;
    } cases[] = {
        {drive + "/Custom/x.mis", "C:\\Custom\\x.mis"},
        {prefix.game(), "E:\\"},
        {elsewhere / "link/b.mis", "C:\\b.mis"},
        {drive, "C:\\"},  // a drive's root itself
        {drive + "/case/same.mis", "C:\\case\\same.mis"},
        {drive + "/case/Same.mis", "C:\\case\\Same.mis"},
        // No Windows spelling leads back to these: they stay host paths.
        {elsewhere / "deep/er", elsewhere / "deep/er"},  // on no drive
        {drive + "/a\\b/y.mis", drive + "/a\\b/y.mis"},
        {drive + "/Trailing./z.mis", drive + "/Trailing./z.mis"},
        {drive + "/CON/w.mis", drive + "/CON/w.mis"},
        {drive + "/missing.mis", drive + "/missing.mis"},
    };
    for (const auto& t : cases) {
        const std::string back = FromHostPath(t.in);
        EXPECT_EQ(back, t.out) << t.in;
        // Whatever the spelling, it names the very file the user chose.
        struct stat a {
        }, b{};
        if (::stat(t.in.c_str(), &a) == 0) {
            ASSERT_EQ(::stat(ToHostPath(back).c_str(), &b), 0) << back;
            EXPECT_TRUE(a.st_dev == b.st_dev && a.st_ino == b.st_ino) << back;
        }
    }
}

}  // namespace
